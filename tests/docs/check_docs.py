#!/usr/bin/env python3
"""Checks the documentation against the code: manifest keys, defaults and the README's commands."""
import re
import sys
import unittest
from pathlib import Path

ROOT = Path(sys.argv.pop(1)) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]
# A build's Version.h, made from the project's version: the launcher's version text.
VERSION_HEADER = Path(sys.argv.pop(1)) if len(sys.argv) > 1 else ROOT / "build/resources/version/Version.h"


def text(relative):
    return (ROOT / relative).read_text(encoding="utf-8")


def documented_keys():
    """Keys named in the first column (root keys) or second column (entry keys) of the tables."""
    keys = set()
    for line in text("docs/manifest.md").splitlines():
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if len(cells) < 3:
            continue
        for cell in cells[:2]:
            match = re.fullmatch(r"`(\w+)`", cell)
            if match:
                keys.add(match.group(1))
    return keys


def loader_keys():
    source = text("launcher/ModPlan.cpp")
    keys = set(re.findall(r'Member\([^)"]*"(\w+)"', source))
    keys |= set(re.findall(r'\["(\w+)"\]', source))
    return keys


class ManifestReference(unittest.TestCase):
    def test_documents_exactly_the_keys_the_loader_reads(self):
        self.assertTrue(loader_keys(), "no keys found in the loader")
        self.assertEqual(documented_keys(), loader_keys())

    def test_defaults_are_the_code_s_own(self):
        doc = text("docs/manifest.md")
        plan = text("launcher/ModPlan.cpp")
        for literal in re.findall(r'k\w+\[\] = "(\w+)";', plan):
            self.assertIn('"%s"' % literal, doc)
        version = re.search(r'CORVANE_LAUNCHER_VERSION_TEXT (".+")', VERSION_HEADER.read_text(encoding="utf-8"))
        self.assertIsNotNone(version)
        self.assertIn(version.group(1), doc)

    def test_race_limit_is_the_loader_s(self):
        limit = re.search(r"kMaxRaces = (\d+);", text("launcher/ModPlan.h")).group(1)
        self.assertIn("At most %s races" % limit, text("docs/manifest.md"))


class Readme(unittest.TestCase):
    def test_the_two_commands_exist(self):
        readme = text("README.md")
        makefile = text("Makefile")
        for command in ("demo", "test"):
            self.assertIn("make %s" % command, readme)
            self.assertRegex(makefile, r"(?m)^%s:" % command)


if __name__ == "__main__":
    unittest.main()
