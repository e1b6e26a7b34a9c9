#!/usr/bin/env bash
# Builds the .deb from a built tree, unpacks it into a temporary root and checks what it holds:
# lintian finds no error or warning, the description, the file list, the package's dependencies,
# the copyright file and changelog, the desktop entry and AppStream metadata, and that the
# unpacked programs run.
#
#   check-deb.sh BUILD_DIR EXPECT_APP(0|1)
set -euo pipefail
build=$1
expect_app=${2:-1}
tmp=$(mktemp -d "${TMPDIR:-/tmp}/velorin-deb.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "check-deb: $*" >&2; exit 1; }

cd "$build"
cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
debs=("$tmp"/out/*.deb)
deb=${debs[0]}
[ -f "$deb" ] || deb=""
[ -n "$deb" ] || fail "no .deb was built"
echo "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

dpkg-deb --info "$deb" >/dev/null || fail "dpkg-deb cannot read $deb"
[ "$(dpkg-deb -f "$deb" Package)" = velorin ] || fail "wrong package name"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "wrong architecture"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libc6 libqt6core6 qt6-qpa-plugins fonts-wqy-microhei fonts-noto-cjk; do
    grep -q "\b$dep\b" <<<"$depends" || fail "Depends lacks $dep"
done
if [ "$expect_app" = 1 ]; then
    grep -q "libqt6widgets6" <<<"$depends" || fail "Depends lacks libqt6widgets6"
fi
# Each check captures a command's whole output before matching it: a `grep -q` at the end of a
# pipeline exits at its first match, and the writer may then die of SIGPIPE, which pipefail turns
# into a failure of a check that actually passed.
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
grep -qx './postinst' <<<"$control" || fail "no postinst"

# The description: one text, no CMake list separators, every line within 80 columns.
description=$(dpkg-deb -f "$deb" Description)
if grep -q '^ *;' <<<"$description"; then
    fail "a line of the description starts with ';': $description"
fi
long=$(awk 'length > 80' <<<"$description")
[ -z "$long" ] || fail "description lines longer than 80 columns: $long"

# What a distribution's packager checks first. Informational tags may stay.
if command -v lintian >/dev/null; then
    status=0
    lintian --fail-on error,warning --info --display-info --no-tag-display-limit "$deb" >"$tmp/lintian.log" 2>&1 || status=$?
    tags=$(grep -E '^[EWIXP]: ' "$tmp/lintian.log" || true)
    echo "lintian: $(grep -c '^E: ' <<<"$tags" || true) errors, $(grep -c '^W: ' <<<"$tags" || true) warnings, $(grep -c '^I: ' <<<"$tags" || true) informational"
    if [ "$status" != 0 ]; then
        cat "$tmp/lintian.log" >&2
        fail "lintian reports errors or warnings (exit $status)"
    fi
else
    fail "lintian is not installed (scripts/packages.txt lists it)"
fi

root=$tmp/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | sort >"$tmp/files"

expected=(
    /usr/bin/velorinctl
    /usr/bin/velorin-sim
    /usr/lib/udev/rules.d/70-velorin.rules
    /usr/share/applications/org.velorin.Velorin.desktop
    /usr/share/metainfo/org.velorin.Velorin.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/velorin.svg
    /usr/share/man/man1/velorin.1.gz
    /usr/share/man/man1/velorinctl.1.gz
    /usr/share/man/man1/velorin-sim.1.gz
    /usr/share/doc/velorin/README.md
    /usr/share/doc/velorin/HARDWARE.md
    /usr/share/doc/velorin/examples/velorin-usbhid-quirk.conf
    /usr/share/doc/velorin/copyright
    /usr/share/doc/velorin/changelog.gz
    /usr/share/bash-completion/completions/velorinctl
    /usr/share/zsh/vendor-completions/_velorinctl
)
for size in 16 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/velorin.png")
done
if [ "$expect_app" = 1 ]; then
    expected+=(/usr/bin/velorin /usr/lib/velorin/velorin /usr/lib/velorin/default.kvf /usr/lib/velorin/velorin-sim)
fi
for f in "${expected[@]}"; do
    grep -qx "$f" "$tmp/files" || fail "missing from the package: $f"
done
# Nothing from the build tree or the tests is shipped.
if grep -E '_tests|/include/|\.a$|CMakeFiles|velorin-mkdefault' "$tmp/files"; then
    fail "unexpected files in the package"
fi

for size in 16 48 256; do
    magic=$(od -An -tx1 -N8 "$root/usr/share/icons/hicolor/${size}x${size}/apps/velorin.png")
    grep -q '89 50 4e 47' <<<"$magic" || fail "the ${size}px icon is not a PNG"
done
gzip -t "$root"/usr/share/man/man1/*.gz || fail "a man page is not valid gzip"
# The copyright file is machine-readable and names the licence; the changelog's newest entry is
# this version.
copyright=$root/usr/share/doc/velorin/copyright
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" ||
    fail "the copyright file is not in the machine-readable format"
grep -qx 'License: Expat' "$copyright" || fail "the copyright file does not name the MIT (Expat) licence"
changelog=$(gzip -dc "$root/usr/share/doc/velorin/changelog.gz") || fail "changelog.gz is not valid gzip"
newest=${changelog%%$'\n'*}
[ "${newest%%)*}" = "velorin ($(dpkg-deb -f "$deb" Version)" ] || fail "the changelog starts with: $newest"
if command -v man >/dev/null; then
    for page in velorin velorinctl velorin-sim; do
        out=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null) || true
        [ -z "$out" ] || fail "man $page: $out"
    done
fi
desktop-file-validate "$root/usr/share/applications/org.velorin.Velorin.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net --strict "$root/usr/share/metainfo/org.velorin.Velorin.metainfo.xml" >"$tmp/as.log" 2>&1 ||
    { cat "$tmp/as.log" >&2; fail "AppStream metadata invalid"; }

# The unpacked programs run from the temporary root.
help=$("$root/usr/bin/velorinctl" --help) || fail "velorinctl --help failed"
grep -q '^usage: velorinctl' <<<"$help" || fail "velorinctl --help does not show its usage"
help=$("$root/usr/bin/velorin-sim" --help 2>&1) || fail "velorin-sim --help failed"
grep -q 'usage: velorin-sim' <<<"$help" || fail "velorin-sim --help does not show its usage"
if [ "$expect_app" = 1 ]; then
    [ -L "$root/usr/bin/velorin" ] || fail "/usr/bin/velorin is not a link"
    [ "$(readlink -f "$root/usr/bin/velorin")" = "$(readlink -f "$root/usr/lib/velorin/velorin")" ] ||
        fail "/usr/bin/velorin does not lead to /usr/lib/velorin/velorin"
    [ "$(readlink -f "$root/usr/lib/velorin/velorin-sim")" = "$(readlink -f "$root/usr/bin/velorin-sim")" ] ||
        fail "/usr/lib/velorin/velorin-sim does not lead to /usr/bin/velorin-sim"
    [ "$(stat -c %s "$root/usr/lib/velorin/default.kvf")" = 108 ] || fail "default.kvf is not 108 bytes"
    "$root/usr/bin/velorinctl" show "$root/usr/lib/velorin/default.kvf" >/dev/null || fail "default.kvf does not show"
fi

# The unpacked velorinctl reads the unpacked simulator's records.
bus=$tmp/bus
mkfifo "$tmp/ctl"
"$root/usr/bin/velorin-sim" --bus "$bus" <"$tmp/ctl" >"$tmp/sim.log" 2>&1 &
sim=$!
exec 9>"$tmp/ctl"
for _ in $(seq 100); do [ -S "$bus/adapter" ] && break; sleep 0.05; done
status=0
"$root/usr/bin/velorinctl" --simulate="$bus" read -o "$tmp/read.kvf" || status=$?
echo quit >&9
exec 9>&-
wait "$sim" || true
[ "$status" = 0 ] || fail "velorinctl read against velorin-sim failed ($status)"
[ "$(stat -c %s "$tmp/read.kvf")" = 108 ] || fail "the read .kvf is not 108 bytes"

echo "package ok: $(wc -l <"$tmp/files") entries"
