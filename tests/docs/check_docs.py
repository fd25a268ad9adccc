#!/usr/bin/env python3
"""Checks the documentation against the code: manifest keys, defaults, the schema and the README's commands."""
import importlib
import json
import re
import sys
import unittest
from pathlib import Path

import jsonschema

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


sys.path.insert(0, str(ROOT / "tools"))
schema_tool = importlib.import_module("manifest-schema")
TABLE = ROOT / "launcher" / "ManifestKeys.h"
KEYS = schema_tool.manifest_keys(TABLE)


def json_examples(relative):
    """The ```json blocks of a document."""
    return [json.loads(block) for block in re.findall(r"```json\n(.*?)```", text(relative), re.S)]


class ManifestReference(unittest.TestCase):
    def test_documents_exactly_the_keys_of_the_table(self):
        self.assertEqual(documented_keys(), {row["name"] for row in KEYS})

    def test_the_loader_names_every_key_through_the_table(self):
        plan = text("launcher/ModPlan.cpp")
        for row in KEYS:
            self.assertNotIn('"%s"' % row["name"], plan)
        ids = re.findall(r"\b(kKey\w+)\b", text("launcher/ManifestKeys.h").split("};")[0])
        self.assertEqual(len(ids), len(KEYS))
        self.assertEqual({key for key in ids if re.search(r"\b%s\b" % key, plan)}, set(ids))

    def test_defaults_are_the_code_s_own(self):
        doc = text("docs/manifest.md")
        defaults = {row["name"]: row["default"] for row in KEYS if row["type"] == "string" and row["default"]}
        for value in defaults.values():
            self.assertIn('"%s"' % value, doc)
        self.assertIn('modName = "%s";' % defaults["ModName"], text("launcher/EngineState.cpp"))
        # The launcher's version text is made from the project's version (a build's Version.h).
        version = re.search(r'CORVANE_LAUNCHER_VERSION_TEXT "(.+)"', VERSION_HEADER.read_text(encoding="utf-8"))
        self.assertIsNotNone(version)
        self.assertEqual(version.group(1), defaults["ModVersion"])

    def test_race_limit_is_the_loader_s(self):
        limit = re.search(r"kMaxRaces = (\d+);", text("launcher/ModPlan.h")).group(1)
        self.assertIn("At most %s races" % limit, text("docs/manifest.md"))

    def test_schema_is_made_from_the_table(self):
        self.assertEqual(text("docs/manifest.schema.json"), schema_tool.schema_text(TABLE))

    def test_sample_mod_and_examples_follow_the_schema(self):
        schema = json.loads(text("docs/manifest.schema.json"))
        validator = jsonschema.Draft202012Validator(schema)
        jsonschema.Draft202012Validator.check_schema(schema)
        manifests = [json.loads(text("testbed/mods/Demo/manifest.json"))] + json_examples("docs/manifest.md")
        self.assertGreaterEqual(len(manifests), 2)
        for manifest in manifests:
            self.assertEqual([error.message for error in validator.iter_errors(manifest)], [])
        # and it does say no: a wrong type, a misspelt key, a negative priority
        for wrong in ({"ModName": 1}, {"modname": "x"}, {"Mpqs": [{"Name": "a", "Priority": -1}]}):
            self.assertFalse(validator.is_valid(wrong), wrong)


class Readme(unittest.TestCase):
    def test_the_two_commands_exist(self):
        readme = text("README.md")
        makefile = text("Makefile")
        for command in ("demo", "test"):
            self.assertIn("make %s" % command, readme)
            self.assertRegex(makefile, r"(?m)^%s:" % command)


if __name__ == "__main__":
    unittest.main()
