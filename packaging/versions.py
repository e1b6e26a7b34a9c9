#!/usr/bin/env python3
"""Checks that every place naming Velorin's version names the same one, and prints it.

    versions.py ROOT [--tag TAG] [--deb DEB] [--rpm RPM] [--site ARCHIVE]

The project's version is CMake's (project() in ROOT/CMakeLists.txt); web/package.json and its lock
file, the newest release of the AppStream metadata and the man pages must say the same. With
--tag, the git tag must be "v" and the version. With built artifacts: the .deb's version and the
first entry of its changelog, the RPM's version, and the site archive's folder and service-worker
cache name. Each disagreement is one line naming both places; the exit status is then 1.
"""

import gzip
import io
import json
import os
import re
import subprocess
import sys
import tarfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import changelog  # noqa: E402  (beside this file)

MAX_BYTES = 1 << 20
METAINFO = "packaging/org.velorin.Velorin.metainfo.xml"
MAN_PAGES = ("packaging/man/velorin.1", "packaging/man/velorinctl.1", "packaging/man/velorin-sim.1")


class Unreadable(Exception):
    pass


def read_text(root, relative):
    path = os.path.join(root, relative)
    try:
        with open(path, "rb") as f:
            data = f.read(MAX_BYTES + 1)
    except OSError as e:
        raise Unreadable(f"{relative}: {e.strerror}")
    if len(data) > MAX_BYTES:
        raise Unreadable(f"{relative}: larger than {MAX_BYTES} bytes")
    return data.decode("utf-8", errors="replace")


def one_match(pattern, text, where):
    m = re.search(pattern, text, re.MULTILINE)
    if not m:
        raise Unreadable(f"{where}: no version found")
    return m.group(1)


def source_places(root):
    """(place, version) for every place in the source tree, CMake's first."""
    places = [("CMakeLists.txt (project)",
               one_match(r"^project\(velorin\s+VERSION\s+(\S+?)[\s)]", read_text(root, "CMakeLists.txt"), "CMakeLists.txt"))]
    for name in ("web/package.json", "web/package-lock.json"):
        try:
            data = json.loads(read_text(root, name))
        except json.JSONDecodeError as e:
            raise Unreadable(f"{name}: not JSON ({e})")
        places.append((f"{name} (version)", str(data.get("version"))))
        if name.endswith("lock.json"):
            places.append((f'{name} (packages[""].version)', str(data.get("packages", {}).get("", {}).get("version"))))
    try:
        releases = changelog.read_releases(os.path.join(root, METAINFO))
    except (OSError, changelog.Refused) as e:
        raise Unreadable(str(e))
    places.append((f"{METAINFO} (newest release)", releases[0][0]))
    for page in MAN_PAGES:
        places.append((f"{page} (.TH)", one_match(r'^\.TH\s+\S+\s+\S+\s+"[^"]*"\s+"velorin ([^"]+)"', read_text(root, page), page)))
    return places


def run(command):
    done = subprocess.run(command, capture_output=True, timeout=120)
    if done.returncode != 0:
        raise Unreadable(f"{' '.join(command)}: {done.stderr.decode(errors='replace').strip()}")
    return done.stdout


def deb_places(deb):
    name = os.path.basename(deb)
    places = [(f"{name} (Version)", run(["dpkg-deb", "-f", deb, "Version"]).decode().strip())]
    with tarfile.open(fileobj=io.BytesIO(run(["dpkg-deb", "--fsys-tarfile", deb]))) as tar:
        try:
            member = tar.extractfile("./usr/share/doc/velorin/changelog.gz")
        except KeyError:
            member = None
        if member is None:
            raise Unreadable(f"{name}: no /usr/share/doc/velorin/changelog.gz")
        first = gzip.decompress(member.read(MAX_BYTES)).decode("utf-8", errors="replace").partition("\n")[0]
    places.append((f"{name} (changelog.gz)", one_match(r"^velorin \(([^)]+)\)", first, f"{name}'s changelog")))
    return places


def rpm_places(rpm):
    return [(f"{os.path.basename(rpm)} (VERSION)", run(["rpm", "-qp", "--qf", "%{VERSION}", rpm]).decode().strip())]


def site_places(archive):
    name = os.path.basename(archive)
    with tarfile.open(archive, "r:gz") as tar:
        folders = {m.name.split("/")[0] for m in tar.getmembers()}
        if len(folders) != 1:
            raise Unreadable(f"{name}: not one folder: {sorted(folders)}")
        folder = folders.pop()
        worker = tar.extractfile(f"{folder}/sw.js") if f"{folder}/sw.js" in tar.getnames() else None
        if worker is None:
            raise Unreadable(f"{name}: no sw.js")
        cache = one_match(r'^const CACHE = "velorin-web-(.+)-[0-9a-f]{16}";', worker.read(MAX_BYTES).decode(errors="replace"),
                          f"{name}'s sw.js")
    return [(f"{name} (folder)", one_match(r"^velorin-web-(.+)$", folder, f"{name}'s folder")),
            (f"{name} (sw.js cache name)", cache)]


def main(argv):
    args = argv[1:]
    if not args or args[0].startswith("-") or len(args) % 2 != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root, options = args[0], list(zip(args[1::2], args[2::2]))
    try:
        places = source_places(root)
        for option, value in options:
            if option == "--tag":
                places.append((f"the git tag {value}", value[1:] if value.startswith("v") else f"{value} (no leading v)"))
            elif option == "--deb":
                places += deb_places(value)
            elif option == "--rpm":
                places += rpm_places(value)
            elif option == "--site":
                places += site_places(value)
            else:
                print(__doc__.strip(), file=sys.stderr)
                return 2
    except (Unreadable, OSError, tarfile.TarError, subprocess.TimeoutExpired) as e:
        print(f"versions.py: {e}", file=sys.stderr)
        return 1
    reference, version = places[0]
    wrong = [(place, v) for place, v in places[1:] if v != version]
    for place, v in wrong:
        print(f"version mismatch: {reference} says {version}, {place} says {v}", file=sys.stderr)
    if wrong:
        return 1
    print(version)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
