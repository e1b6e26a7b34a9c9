# shellcheck shell=bash
# Shared by scripts/run, scripts/test, scripts/fuzz and bench/run.
set -euo pipefail
VELORIN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$VELORIN_ROOT"

# Compiler cache keyed on paths relative to the checkout, so another clone or worktree of the project
# on this machine reuses what one build compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$VELORIN_ROOT}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}

say() { printf '\033[1m==> %s\033[0m\n' "$*"; }

# Installs the Debian packages from scripts/packages.txt that are missing; a quick no-op otherwise.
ensure_packages() {
    local wanted missing=()
    wanted=$(grep -v -E '^\s*(#|$)' "$VELORIN_ROOT/scripts/packages.txt")
    for p in $wanted; do
        [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = 'install ok installed' ] || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures (once) and builds one preset.
build_preset() {
    local preset=$1
    shift
    if [ ! -f "build/$preset/build.ninja" ]; then
        cmake --preset "$preset" >/dev/null
    fi
    cmake --build --preset "$preset" "$@"
}

# Configures (once) the packager's build: a plain Release configuration with every option at its
# default, in build/release. scripts/test builds all of it, scripts/release what ships. Packing
# builds nothing more (CMAKE_SKIP_INSTALL_ALL_DEPENDENCY), so a release needs no test compiled.
configure_release() {
    if [ ! -f build/release/build.ninja ] ||
        ! grep -qx 'CMAKE_SKIP_INSTALL_ALL_DEPENDENCY:BOOL=ON' build/release/CMakeCache.txt; then
        cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY:BOOL=ON >/dev/null
    fi
}

# Playwright drives Debian's Chromium; the pinned playwright-core release was made for one major
# version of it. A different one is named here and the run goes on (DESIGN.md: check both when
# either moves).
web_check_chromium() {
    local have want
    have=$(chromium --version 2>/dev/null | sed -n 's/^Chromium \([0-9]*\).*/\1/p')
    want=$(node -p 'require("./web/node_modules/playwright-core/browsers.json").browsers
        .find((b) => b.name === "chromium").browserVersion.split(".")[0]' 2>/dev/null || true)
    if [ -n "$want" ] && [ "$have" != "$want" ]; then
        say "Warning: Debian's chromium is version ${have:-unknown}; playwright-core $(node -p 'require("./web/node_modules/playwright-core/package.json").version') was made for $want"
    fi
}
