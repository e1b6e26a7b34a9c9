#!/usr/bin/env python3
"""Checks the release tools beside this file against the tools that read their output.

changelog.py: the Debian changelog it writes is read back by dpkg-parsechangelog (versions, dates,
the maintainer, every entry); the notes are the Markdown a GitHub release shows; broken metadata is
refused with a message. versions.py: on a copy of the source tree's version places, each place
changed alone is named together with CMakeLists.txt, and so are a wrong tag, a site archive whose
service worker names another version and a .deb (made here with dpkg-deb) whose version or
changelog does.

    check-release-tools.py SOURCE_DIR
"""

import gzip
import io
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else os.path.dirname(HERE)
PLACES = ["CMakeLists.txt", "web/package.json", "web/package-lock.json", "packaging/org.velorin.Velorin.metainfo.xml",
          "packaging/man/velorin.1", "packaging/man/velorinctl.1", "packaging/man/velorin-sim.1"]


def tool(name, *args):
    return subprocess.run([sys.executable, os.path.join(HERE, name), *args], capture_output=True, text=True, timeout=60)


def metainfo(releases):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<component type="desktop-application"><id>x</id><releases>'
            + releases + "</releases></component>\n")


class Changelog(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, text):
        path = os.path.join(self.dir, "m.xml")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def test_debian_changelog_reads_back_with_dpkg(self):
        words = " ".join(["word"] * 30)
        path = self.write(metainfo(
            '<release version="1.2.0" date="2027-03-04"><description><p>Velorin Web <em>published</em>.</p>'
            f"<ul><li>One</li><li>{words}</li></ul></description></release>"
            '<release version="1.0.0" date="2026-12-08"><description><p>First.</p></description></release>'))
        out = os.path.join(self.dir, "changelog")
        done = tool("changelog.py", "debian", path, "A Maintainer <a@example.org>", out)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(out, encoding="utf-8") as f:
            self.assertTrue(all(len(line) <= 80 for line in f), "a line is longer than 80 columns")

        def field(name, *extra):
            return subprocess.run(["dpkg-parsechangelog", "-l", out, *extra, "-S", name], capture_output=True, text=True,
                                  check=True).stdout.strip()
        self.assertEqual(field("Version"), "1.2.0")
        self.assertEqual(field("Maintainer"), "A Maintainer <a@example.org>")
        self.assertEqual(field("Date"), "Thu, 04 Mar 2027 00:00:00 +0000")
        self.assertEqual(field("Version", "--offset", "1", "--count", "1"), "1.0.0")
        self.assertEqual(field("Date", "--offset", "1", "--count", "1"), "Tue, 08 Dec 2026 00:00:00 +0000")
        changes = " ".join(field("Changes").split())
        for entry in ("* Velorin Web published.", "* One", f"* {words}"):
            self.assertIn(entry, changes)

        done = tool("changelog.py", "notes", path, "1.2.0")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout, f"Velorin Web published.\n\n- One\n- {words}\n")

    def test_broken_metadata_is_refused_with_a_message(self):
        cases = [
            ("not XML", "<component><releases>", "not well-formed"),
            ("no releases", metainfo(""), "no <releases>"),
            ("a date that is no date", metainfo('<release version="1" date="8.12.2026"><description><p>x</p></description></release>'),
             "not YYYY-MM-DD"),
            ("no description", metainfo('<release version="1" date="2026-12-08"/>'), "needs a version and a description"),
            ("oldest first", metainfo('<release version="1" date="2026-01-01"><description><p>x</p></description></release>'
                                      '<release version="2" date="2026-02-01"><description><p>y</p></description></release>'),
             "newest first"),
        ]
        for what, text, message in cases:
            with self.subTest(what):
                done = tool("changelog.py", "debian", self.write(text), "M <m@example.org>")
                self.assertEqual(done.returncode, 1, done.stdout)
                self.assertIn(message, done.stderr)
                self.assertNotIn("Traceback", done.stderr)
        valid = metainfo('<release version="1" date="2026-01-01"><description><p>x</p></description></release>')
        done = tool("changelog.py", "notes", self.write(valid), "3")
        self.assertEqual((done.returncode, "no release 3" in done.stderr), (1, True), done.stderr)


class Versions(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp()
        for place in PLACES:
            os.makedirs(os.path.dirname(os.path.join(self.root, place)), exist_ok=True)
            shutil.copy(os.path.join(SOURCE, place), os.path.join(self.root, place))
        done = tool("versions.py", self.root)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.version = done.stdout.strip()
        self.assertRegex(self.version, r"^\d+\.\d+\.\d+$")

    def tearDown(self):
        shutil.rmtree(self.root)

    def expect_named(self, args, *places):
        done = tool("versions.py", self.root, *args)
        self.assertEqual(done.returncode, 1, done.stdout)
        lines = done.stderr.strip().splitlines()
        self.assertEqual(len(lines), len(places), done.stderr)
        for line, place in zip(lines, places):
            self.assertIn(f"CMakeLists.txt (project) says {self.version}", line)
            self.assertIn(place, line)
            self.assertIn("says 9.9.9", line)

    def edit(self, place, pattern, replacement):
        path = os.path.join(self.root, place)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        changed = re.sub(pattern, replacement, text, count=1, flags=re.MULTILINE)
        self.assertNotEqual(changed, text, f"{pattern} in {place}")
        with open(path, "w", encoding="utf-8") as f:
            f.write(changed)

    def test_each_source_place_changed_alone_is_named(self):
        v = re.escape(self.version)
        cases = [
            ("web/package.json", f'"version": "{v}"', '"version": "9.9.9"', "web/package.json (version)"),
            ("web/package-lock.json", f'^  "version": "{v}"', '  "version": "9.9.9"', "web/package-lock.json (version)"),
            ("web/package-lock.json", f'^      "version": "{v}"', '      "version": "9.9.9"', 'web/package-lock.json (packages[""]'),
            ("packaging/org.velorin.Velorin.metainfo.xml", f'<release version="{v}"', '<release version="9.9.9"',
             "metainfo.xml (newest release)"),
            ("packaging/man/velorinctl.1", f'"velorin {v}"', '"velorin 9.9.9"', "packaging/man/velorinctl.1 (.TH)"),
        ]
        for place, pattern, replacement, named in cases:
            with self.subTest(named):
                shutil.copy(os.path.join(SOURCE, place), os.path.join(self.root, place))
                self.edit(place, pattern, replacement)
                self.expect_named([], named)
                shutil.copy(os.path.join(SOURCE, place), os.path.join(self.root, place))
        # A different project version disagrees with every other place.
        self.edit("CMakeLists.txt", f"VERSION {v}", "VERSION 9.9.9")
        done = tool("versions.py", self.root)
        self.assertEqual(done.returncode, 1)
        # Every place but CMake's: the lock file names the version twice.
        self.assertEqual(len(done.stderr.strip().splitlines()), len(PLACES), done.stderr)
        self.assertNotIn("Traceback", done.stderr)

    def test_the_tag_and_the_artifacts_are_named(self):
        self.expect_named(["--tag", "v9.9.9"], "the git tag v9.9.9")
        self.assertEqual(tool("versions.py", self.root, "--tag", f"v{self.version}").returncode, 0)

        site = os.path.join(self.root, "site.tar.gz")
        with tarfile.open(site, "w:gz") as tar:
            data = f'const CACHE = "velorin-web-9.9.9-0123456789abcdef";\n'.encode()
            member = tarfile.TarInfo(f"velorin-web-{self.version}/sw.js")
            member.size = len(data)
            tar.addfile(member, io.BytesIO(data))
        self.expect_named(["--site", site], "site.tar.gz (sw.js cache name)")

        # A .deb saying 9.9.9 whose changelog, the one this tree makes, says the project's version.
        pkg = os.path.join(self.root, "pkg")
        os.makedirs(os.path.join(pkg, "DEBIAN"))
        os.makedirs(os.path.join(pkg, "usr/share/doc/velorin"))
        with open(os.path.join(pkg, "DEBIAN/control"), "w") as f:
            f.write("Package: velorin\nVersion: 9.9.9\nArchitecture: all\nMaintainer: M <m@example.org>\nDescription: d\n d\n")
        made = tool("changelog.py", "debian", os.path.join(self.root, PLACES[3]), "M <m@example.org>")
        with gzip.open(os.path.join(pkg, "usr/share/doc/velorin/changelog.gz"), "wt") as f:
            f.write(made.stdout)
        deb = os.path.join(self.root, "v.deb")
        subprocess.run(["dpkg-deb", "--root-owner-group", "-Zgzip", "--build", pkg, deb], capture_output=True, check=True)
        done = tool("versions.py", self.root, "--deb", deb)
        self.assertEqual(done.returncode, 1)
        self.assertIn(f"CMakeLists.txt (project) says {self.version}, v.deb (Version) says 9.9.9", done.stderr)
        self.assertNotIn("changelog.gz", done.stderr)

    def test_unreadable_places_are_refused_with_a_message(self):
        os.remove(os.path.join(self.root, "web/package.json"))
        done = tool("versions.py", self.root)
        self.assertEqual(done.returncode, 1)
        self.assertIn("web/package.json", done.stderr)
        self.assertNotIn("Traceback", done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=1)
