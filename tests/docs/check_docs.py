#!/usr/bin/env python3
"""Checks the documentation against the code: the manifest's keys and defaults, and the schema's verdicts."""
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


def documented_rows():
    """{key: its "When missing" cell} of docs/manifest.md's key tables (root keys in the first column,
    entry keys in the second)."""
    rows = {}
    for line in text("docs/manifest.md").splitlines():
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        column = len(cells) - 4   # the root table has four columns, the entries' five
        match = re.fullmatch(r"`(\w+)`", cells[column]) if column in (0, 1) else None
        if match:
            rows[match.group(1)] = cells[column + 2]
    return rows


sys.path.insert(0, str(ROOT / "tools"))
schema_tool = importlib.import_module("manifest-schema")
KEYS = schema_tool.manifest_keys(ROOT / "launcher" / "ManifestKeys.h")


def json_examples(relative):
    """The ```json blocks of a document."""
    return [json.loads(block) for block in re.findall(r"```json\n(.*?)```", text(relative), re.S)]


class ManifestReference(unittest.TestCase):
    def test_documents_exactly_the_keys_of_the_table_with_its_defaults(self):
        rows = documented_rows()
        self.assertEqual(set(rows), {row["name"] for row in KEYS})
        for row in KEYS:
            if row["type"] == "string" and row["default"]:
                self.assertIn('"%s"' % row["default"], rows[row["name"]], row["name"])
        # The launcher's version text is made from the project's version (a build's Version.h).
        version = re.search(r'CORVANE_LAUNCHER_VERSION_TEXT "(.+)"', VERSION_HEADER.read_text(encoding="utf-8"))
        self.assertIsNotNone(version)
        self.assertIn('"%s"' % version.group(1), rows["ModVersion"])

    def test_race_limit_is_the_loader_s(self):
        self.assertIn("At most %d races" % schema_tool.race_limit(), text("docs/manifest.md"))

    def test_schema_is_made_from_the_table(self):
        self.assertEqual(text("docs/manifest.schema.json"), schema_tool.schema_text())

    def test_the_schema_says_what_the_loader_does(self):
        schema = json.loads(text("docs/manifest.schema.json"))
        jsonschema.Draft202012Validator.check_schema(schema)
        validator = jsonschema.Draft202012Validator(schema)
        manifests = [json.loads(text("testbed/mods/Demo/manifest.json"))] + json_examples("docs/manifest.md")
        self.assertGreaterEqual(len(manifests), 2)
        for manifest in manifests:
            self.assertEqual([error.message for error in validator.iter_errors(manifest)], [])
        race = {"Skin": "S"}
        cases = [({"ModName": 1}, False), ({"Mpqs": [{"Name": "a", "Priority": -1}]}, False),
                 ({"Races": [race] * schema_tool.race_limit()}, True), ({"Races": [race] * 256}, False),
                 # keys the loader does not read are no error; nor is a number the loader reads as a
                 # floating-point one (JSON Schema cannot tell 20.0 from 20: corvane-check does)
                 ({"Author": "x", "modname": "x", "Addons": [{"Name": "a", "Enable": True, "Version": 2}]}, True),
                 ({"Mpqs": [{"Name": "a", "Priority": 20.0}]}, True)]
        for manifest, valid in cases:
            self.assertEqual(validator.is_valid(manifest), valid, manifest)


if __name__ == "__main__":
    unittest.main()
