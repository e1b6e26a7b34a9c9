#!/usr/bin/env bash
# Builds the RPM and the .deb from a built tree and checks that the RPM holds the same files
# (rpm -qlp against dpkg-deb -c, folders left out), its name, version and licence, what it
# requires, and that its scripts reload udev.
#
#   check-rpm.sh BUILD_DIR EXPECT_APP(0|1)
set -euo pipefail
build=$1
expect_app=${2:-1}
tmp=$(mktemp -d "${TMPDIR:-/tmp}/velorin-rpm.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "check-rpm: $*" >&2; exit 1; }

cd "$build"
for generator in RPM DEB; do
    cpack -G "$generator" -B "$tmp/$generator" >"$tmp/cpack.log" 2>&1 ||
        { cat "$tmp/cpack.log" >&2; fail "cpack -G $generator failed"; }
done
rpms=("$tmp"/RPM/*.rpm)
debs=("$tmp"/DEB/*.deb)
rpm=${rpms[0]}
deb=${debs[0]}
[ -f "$rpm" ] || fail "no .rpm was built"
[ -f "$deb" ] || fail "no .deb was built"
echo "built $(basename "$rpm") ($(stat -c %s "$rpm") bytes)"

identity=$(rpm -qp --qf '%{NAME} %{VERSION} %{LICENSE} %{ARCH}\n' "$rpm" 2>/dev/null)
[ "$identity" = "velorin $(dpkg-deb -f "$deb" Version) MIT $(uname -m)" ] || fail "name, version, licence, arch: $identity"
description=$(rpm -qp --qf '%{DESCRIPTION}' "$rpm" 2>/dev/null)
[ "${description%% *}" = Velorin ] || fail "the RPM's description is: $description"

# The same files as the .deb; symbolic links count as files.
rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$rpm" 2>/dev/null | awk '$1 !~ /^d/ {print $2}' | sort >"$tmp/rpm.files"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' | sort >"$tmp/deb.files"
[ -s "$tmp/rpm.files" ] || fail "rpm -qlp lists no files"
diff -u "$tmp/deb.files" "$tmp/rpm.files" >&2 || fail "the RPM (+) and the .deb (-) hold different files"
# It claims no folder that belongs to the system or to other packages.
folders=$(rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$rpm" 2>/dev/null | awk '$1 ~ /^d/ {print $2}')
unexpected=$(grep -v -E '^/usr/(lib/velorin|share/doc/velorin)(/[^/]+)*$' <<<"$folders" || true)
[ -z "$unexpected" ] || fail "the RPM claims folders of the system: $unexpected"

requires=$(rpm -qpR "$rpm" 2>/dev/null)
for req in 'qt6-qtbase-gui' 'font(wenquanyimicrohei)' 'font(notosanscjkjp)' 'font(liberationsans)' 'libQt6Core.so.6()(64bit)'; do
    grep -qxF "$req" <<<"$requires" || fail "Requires lacks $req: $requires"
done
if [ "$expect_app" = 1 ]; then
    grep -qxF 'libQt6Widgets.so.6()(64bit)' <<<"$requires" || fail "Requires lacks libQt6Widgets"
fi
scripts=$(rpm -qp --scripts "$rpm" 2>/dev/null)
grep -q 'udevadm control --reload-rules' <<<"$scripts" || fail "the RPM's scripts do not reload udev"
echo "rpm ok: $(wc -l <"$tmp/rpm.files") files, the same as the .deb"
