#!/usr/bin/env python3
"""The adapter's USB ids have one home, core/Identity.h. The files that the system's own tools read
literally (udev, modprobe, AppStream, man, the package's description, the test machine's script)
carry copies; this check fails when a copy names other ids than that home, or none at all."""

import pathlib
import re
import sys

# Each file that must name the adapter, with the shapes its ids take there (vendor, product).
SHAPES = [
    re.compile(r'idVendor}=="([0-9a-fA-F]{4})", ATTRS{idProduct}=="([0-9a-fA-F]{4})"'),
    re.compile(r"\b(?:0x)?([0-9a-fA-F]{4}):(?:0x)?([0-9a-fA-F]{4})\b"),
    re.compile(r"usb:v([0-9a-fA-F]{4})p([0-9a-fA-F]{4})"),
    re.compile(r"0003:0000([0-9a-fA-F]{4}):0000([0-9a-fA-F]{4})"),
    re.compile(r"vendor (?:0x)?([0-9a-fA-F]{4}), product (?:0x)?([0-9a-fA-F]{4})"),
]
COPIES = [
    "packaging/70-velorin.rules",
    "packaging/examples/velorin-usbhid-quirk.conf",
    "packaging/org.velorin.Velorin.metainfo.xml",
    "packaging/man/velorinctl.1",
    "packaging/CMakeLists.txt",
    "scripts/kernel-vm",
]


def home_ids(root: pathlib.Path):
    text = (root / "core/Identity.h").read_text(encoding="utf-8")
    block = re.search(r"kAdapterIdentity\{(.*?)\};", text, re.S)
    if not block:
        sys.exit("core/Identity.h: no kAdapterIdentity")
    ids = []
    for field in ("vendorId", "productId"):
        m = re.search(r"\." + field + r"\s*=\s*0x([0-9a-fA-F]{4})", block.group(1))
        if not m:
            sys.exit(f"core/Identity.h: no {field} in kAdapterIdentity")
        ids.append(m.group(1).lower())
    return tuple(ids)


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    home = home_ids(root)
    bad = 0
    for name in COPIES:
        text = (root / name).read_text(encoding="utf-8")
        found = {(v.lower(), p.lower()) for shape in SHAPES for v, p in shape.findall(text)}
        # Other pairs of four hex digits (a time, a quirk's flags) are no ids: only pairs that
        # share one id with the home, or none found at all, say something.
        if not found & {home}:
            print(f"{name}: names no {home[0]}:{home[1]} (the ids of core/Identity.h)")
            bad += 1
        for pair in sorted(found - {home}):
            if pair[0] == home[0] or pair[1] == home[1]:
                print(f"{name}: names {pair[0]}:{pair[1]}, core/Identity.h says {home[0]}:{home[1]}")
                bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
