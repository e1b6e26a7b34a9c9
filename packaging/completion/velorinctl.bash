# shellcheck shell=bash
# bash completion for velorinctl: verbs, options, consoles, button and key names (asked of
# velorinctl itself), languages, .kvf, .json, .html and .svg file arguments. Needs nothing from the bash-completion package.

_velorinctl_verbs="list read apply select show export import set copy diff check link import-link sheet monitor doctor help"
_velorinctl_consoles="ps3 ps4 switch xbox"
_velorinctl_languages="zh en ja"

# Directories and the files with one of the extensions $1 (blank-separated) that start with $2,
# each reply prefixed with $3.
_velorinctl_files() {
    local ext
    compopt -o filenames 2>/dev/null || true
    mapfile -t COMPREPLY < <(
        compgen -d -P "${3-}" -- "$2" || true
        for ext in $1; do compgen -f -X "!*.$ext" -P "${3-}" -- "$2" || true; done
    )
}

# The extensions of what -o writes for a verb.
_velorinctl_output() {
    case $1 in
    export) echo json ;;
    sheet) echo "html svg" ;;
    *) echo kvf ;;
    esac
}

_velorinctl() {
    # Put back together what COMP_WORDBREAKS split at "=" (BUTTON=KEY, --console=ps4).
    local -a words=()
    local i w joined=0 cword=0
    for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do
        w=${COMP_WORDS[i]}
        if [[ $i -gt 0 && $COMP_WORDBREAKS == *=* && ($w == "=" || ($joined == 1 && ${words[-1]} == *=)) ]]; then
            words[-1]+=$w
            joined=1
        else
            words+=("$w")
            joined=0
        fi
        [[ $i -eq $COMP_CWORD ]] && cword=$((${#words[@]} - 1))
    done
    local cur=${words[cword]} prev=""
    [[ $cword -gt 0 ]] && prev=${words[cword - 1]}
    # With "=" a word break, bash replaces only what follows the last "=": the replies are
    # built for the whole word and cut to that part at the end.
    local keep=""
    [[ $COMP_WORDBREAKS == *=* && $cur == *=* ]] && keep=${cur%=*}=
    local prog=${words[0]}
    [[ $prog == */* && -x $prog ]] || prog=velorinctl

    # The verb, and the arguments after it (options and their values left out).
    local verb=""
    local -a args=()
    for ((i = 1; i < cword; i++)); do
        w=${words[i]}
        case $w in
        -o | --output | --console | --mode | --base | --lang) i=$((i + 1)) ;;
        -*) ;;
        *)
            if [[ -z $verb ]]; then
                # The bus directory after --simulate is no verb.
                if [[ ${words[i - 1]} == --simulate && " $_velorinctl_verbs " != *" $w "* ]]; then
                    continue
                fi
                verb=$w
            else
                args+=("$w")
            fi
            ;;
        esac
    done

    local -a replies=()
    local value=${cur#*=}
    case $prev in
    -o | --output)
        _velorinctl_files "$(_velorinctl_output "$verb")" "$cur"
        return 0
        ;;
    --console | --mode)
        mapfile -t COMPREPLY < <(compgen -W "$_velorinctl_consoles" -- "$cur")
        return 0
        ;;
    --lang)
        mapfile -t COMPREPLY < <(compgen -W "$_velorinctl_languages" -- "$cur")
        return 0
        ;;
    --base) return 0 ;;
    esac
    case $cur in
    --console=* | --mode=*)
        mapfile -t replies < <(compgen -W "$_velorinctl_consoles" -P "${cur%%=*}=" -- "$value")
        ;;
    --simulate=*)
        compopt -o filenames 2>/dev/null || true
        mapfile -t replies < <(compgen -d -P "--simulate=" -- "$value")
        ;;
    --lang=*)
        mapfile -t replies < <(compgen -W "$_velorinctl_languages" -P "--lang=" -- "$value")
        ;;
    --output=*)
        _velorinctl_files "$(_velorinctl_output "$verb")" "$value" "--output="
        replies=("${COMPREPLY[@]}")
        ;;
    -*)
        local opts="--simulate --simulate= -v --verbose -h --help --version"
        case $verb in
        list | diff | show | check) opts+=" --json" ;;
        read) opts+=" --json -o --output=" ;;
        apply) opts+=" --verify --console --dry-run --json" ;;
        monitor) opts+=" --json --console" ;;
        export | import | import-link | set | copy) opts+=" -o --output=" ;;
        link) opts+=" --base --base=" ;;
        sheet) opts+=" -o --output= --lang --lang=" ;;
        doctor) opts+=" --json --write-test" ;;
        esac
        mapfile -t replies < <(compgen -W "$opts" -- "$cur")
        [[ ${#replies[@]} -eq 1 && ${replies[0]} == *= ]] && { compopt -o nospace 2>/dev/null || true; }
        ;;
    *)
        case $verb,${#args[@]} in
        ,*) mapfile -t replies < <(compgen -W "$_velorinctl_verbs" -- "$cur") ;;
        help,0) mapfile -t replies < <(compgen -W "keys buttons $_velorinctl_verbs" -- "$cur") ;;
        select,0) mapfile -t replies < <(compgen -W "$_velorinctl_consoles" -- "$cur") ;;
        show,0 | apply,0 | export,0 | diff,0 | diff,1 | set,0 | copy,0 | check,0 | link,0 | sheet,0)
            _velorinctl_files kvf "$cur"
            return 0
            ;;
        import,0)
            _velorinctl_files json "$cur"
            return 0
            ;;
        set,1 | copy,1 | copy,2) mapfile -t replies < <(compgen -W "$_velorinctl_consoles" -- "$cur") ;;
        set,*)
            if [[ $cur == *=* ]]; then
                mapfile -t replies < <(compgen -W "$("$prog" --list-keys 2>/dev/null)" -P "${cur%%=*}=" -- "$value")
            else
                mapfile -t replies < <(compgen -W "$("$prog" --list-buttons --console "${args[1]}" 2>/dev/null)" \
                    -S "=" -- "$cur")
                compopt -o nospace 2>/dev/null || true
            fi
            ;;
        esac
        ;;
    esac
    COMPREPLY=("${replies[@]#"$keep"}")
    return 0
}

complete -F _velorinctl velorinctl
