#!/usr/bin/env python3
"""The release notes, written once in the AppStream metadata's <releases>, in the other forms.

    changelog.py debian METAINFO MAINTAINER [OUT]   the Debian changelog, newest release first
    changelog.py notes METAINFO VERSION [OUT]       one release's notes as Markdown (the GitHub release)

Without OUT the text goes to standard output.

Each <p> and <li> of a release's description becomes one entry. A release without a description,
a date that is not YYYY-MM-DD, or releases not newest first are refused with a message.
"""

import datetime
import email.utils
import sys
import textwrap
import xml.etree.ElementTree as ET

MAX_BYTES = 1 << 20


class Refused(Exception):
    pass


def text_of(element):
    # The text of <p> or <li> with inline markup (<em>, <code>) flattened, whitespace folded.
    return " ".join("".join(element.itertext()).split())


def read_releases(path):
    with open(path, "rb") as f:
        data = f.read(MAX_BYTES + 1)
    if len(data) > MAX_BYTES:
        raise Refused(f"{path}: larger than {MAX_BYTES} bytes")
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        raise Refused(f"{path}: not well-formed XML ({e})")
    releases = []
    for release in root.findall("./releases/release"):
        version = release.get("version", "")
        date = release.get("date", "")
        try:
            day = datetime.date.fromisoformat(date)
        except ValueError:
            raise Refused(f"{path}: release {version or '?'} has the date {date!r}, not YYYY-MM-DD")
        entries = []
        for element in release.findall("./description/*"):
            if element.tag == "p":
                entries.append(("p", text_of(element)))
            elif element.tag in ("ul", "ol"):
                entries.extend(("li", text_of(li)) for li in element.findall("./li"))
        if not version or not entries:
            raise Refused(f"{path}: a release needs a version and a description (release {version or '?'} of {date})")
        releases.append((version, day, entries))
    if not releases:
        raise Refused(f"{path}: no <releases><release>")
    for newer, older in zip(releases, releases[1:]):
        if newer[1] < older[1]:
            raise Refused(f"{path}: releases must be listed newest first ({newer[0]} of {newer[1]} before {older[0]} of {older[1]})")
    return releases


def debian(releases, maintainer):
    out = []
    for version, day, entries in releases:
        out.append(f"velorin ({version}) unstable; urgency=medium\n\n")
        for _, text in entries:
            out.append(textwrap.fill(text, width=78, initial_indent="  * ", subsequent_indent="    ") + "\n")
        stamp = datetime.datetime(day.year, day.month, day.day, tzinfo=datetime.timezone.utc)
        out.append(f"\n -- {maintainer}  {email.utils.format_datetime(stamp)}\n\n")
    return "".join(out).rstrip("\n") + "\n"


def notes(releases, version):
    for v, _, entries in releases:
        if v == version:
            return "".join((f"- {text}\n" if kind == "li" else f"{text}\n\n") for kind, text in entries).rstrip("\n") + "\n"
    raise Refused(f"no release {version} in the AppStream metadata")


def main(argv):
    if len(argv) not in (4, 5) or argv[1] not in ("debian", "notes"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        releases = read_releases(argv[2])
        text = debian(releases, argv[3]) if argv[1] == "debian" else notes(releases, argv[3])
        if len(argv) == 5:
            with open(argv[4], "w", encoding="utf-8") as f:
                f.write(text)
        else:
            sys.stdout.write(text)
    except (OSError, Refused) as e:
        print(f"changelog.py: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
