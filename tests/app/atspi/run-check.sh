#!/usr/bin/env bash
# The screen-reader check: velorin under Xvfb on a private D-Bus session with the AT-SPI bus,
# find_box.py walking the desktop's accessibility tree. Exit status 77 (skipped) where the tools
# are missing.
#
#   run-check.sh VELORIN VELORIN_SIM
set -euo pipefail
velorin=$1
sim=$2
here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher

for tool in xvfb-run dbus-run-session; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing"
        exit 77
    fi
done
if [ ! -x "$launcher" ] || ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
    echo "SKIP: at-spi2-core or python3-pyatspi is missing"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime" "$work/home"
# The adapter holds Q for the PS3 L2 button (byte 22 of the first record).
/usr/bin/python3 -c 'import sys; open(sys.argv[1], "wb").write(bytes([1] + [0] * 21 + [0x14] + [0] * 85))' \
    "$work/seed.kvf"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
# On the X server (test presets choose the offscreen platform, which has no AT-SPI bridge).
export QT_QPA_PLATFORM=xcb
export VELORIN_SIM=$sim VELORIN=$velorin FIND_BOX=$here/find_box.py LAUNCHER=$launcher BUS=$work/bus SEED=$work/seed.kvf

# The inner script is single-quoted on purpose: it expands its variables itself.
# shellcheck disable=SC2016
xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash -c '
    set -u
    "$LAUNCHER" --launch-immediately &
    launcher=$!
    coproc SIM { "$VELORIN_SIM" --bus "$BUS" --seed "$SEED"; }
    sim=$SIM_PID
    # The simulator says "ready" once the adapter listens; its standard input stays open meanwhile.
    while read -r -t 10 line <&"${SIM[0]}"; do [ "$line" = ready ] && break; done
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 VELORIN_SIM_BUS=$BUS "$VELORIN" >/dev/null 2>&1 &
    app=$!
    status=0
    timeout 100 /usr/bin/python3 "$FIND_BOX" || status=$?
    kill "$app" "$sim" "$launcher" 2>/dev/null
    wait 2>/dev/null
    exit "$status"
'
