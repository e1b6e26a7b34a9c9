#!/usr/bin/env bash
# Drives velorinctl's bash completion function with partial command lines (COMP_WORDS,
# COMP_CWORD) and checks COMPREPLY; the button and key names come from the velorinctl found
# first on PATH. Also checks the zsh completion's syntax when zsh is there.
#
#   check-completion.sh COMPLETION_DIR VELORINCTL_DIR
set -euo pipefail
dir=$1
PATH=$2:$PATH
tmp=$(mktemp -d "${TMPDIR:-/tmp}/velorin-completion.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
# shellcheck source=packaging/completion/velorinctl.bash
source "$dir/velorinctl.bash"
# Only valid while bash is completing; nothing to do here.
compopt() { :; }
touch "$tmp/a.kvf" "$tmp/b.json" "$tmp/c.txt" "$tmp/d.html" "$tmp/e.svg"
mkdir "$tmp/sub"
failed=0

# check EXPECTED WORD...: the last word is the one completed; EXPECTED is the sorted replies.
check() {
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _velorinctl
    local got=""
    if [ ${#COMPREPLY[@]} -gt 0 ]; then
        got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')
    fi
    if [ "$got" != "$expected" ]; then
        echo "completing '$*': got '$got', expected '$expected'" >&2
        failed=1
    fi
}

COMP_WORDBREAKS=$' \t\n"\'><=;|&(:'
check "select set sheet show" velorinctl s
check "import import-link" velorinctl imp
check "select set" velorinctl --simulate /run/bus se
check "keys" velorinctl help k
check "--console" velorinctl apply a.kvf --co
check "xbox" velorinctl monitor --console x
check "xbox" velorinctl copy a.kvf ps3 x
check "$tmp/a.kvf $tmp/sub" velorinctl show "$tmp/"
check "$tmp/a.kvf $tmp/sub" velorinctl diff "$tmp/a.kvf" "$tmp/"
check "$tmp/b.json $tmp/sub" velorinctl import "$tmp/"
check "$tmp/b.json $tmp/sub" velorinctl export a.kvf -o "$tmp/"
check "$tmp/d.html $tmp/e.svg $tmp/sub" velorinctl sheet a.kvf -o "$tmp/"
check "$tmp/a.kvf $tmp/sub" velorinctl check "$tmp/"
check "en" velorinctl sheet a.kvf --lang e
check "--dry-run" velorinctl apply a.kvf --dr
check "" velorinctl link a.kvf --base h
check "ps3 ps4" velorinctl set a.kvf ps
check "LSTICK_DOWN= LSTICK_LEFT= LSTICK_RIGHT= LSTICK_UP=" velorinctl set a.kvf ps4 L2=A LST
check "SHARE=" velorinctl set a.kvf ps4 SH
check "" velorinctl set a.kvf ps3 SH
# "=" splits the word: the replies are what follows it.
check "KP_Enter" velorinctl set -o b.kvf a.kvf switch L3 = KP_E
check "mouse-right" velorinctl set a.kvf xbox L2 = A R3 = mouse-r
check "ps3 ps4" velorinctl monitor --console = ps
# Without "=" as a word break the whole word is replaced.
COMP_WORDBREAKS=$' \t\n'
check "UP=mouse-middle" velorinctl set a.kvf ps3 UP=mouse-m
check "--console=switch" velorinctl monitor --console=sw
check "--lang=ja" velorinctl sheet a.kvf --lang=j
check "--output=$tmp/e.svg" velorinctl sheet a.kvf --output="$tmp/e"

if command -v zsh >/dev/null; then
    zsh -n "$dir/_velorinctl" || failed=1
fi
[ "$failed" = 0 ] || exit 1
echo "completion ok"
