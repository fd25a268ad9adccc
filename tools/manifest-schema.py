#!/usr/bin/env python3
"""Makes the JSON Schema of manifest.json from the loader's table of manifest keys (launcher/ManifestKeys.h)
and its race limit (launcher/ModPlan.h). Keys the loader does not read are allowed, as the loader allows
them; an editor still offers the known ones.

    manifest-schema.py [OUTPUT]      default: docs/manifest.schema.json; - writes to standard output
"""
import json
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
TABLE = ROOT / "launcher" / "ManifestKeys.h"
STRING = r'"((?:[^"\\]|\\.)*)"'
ROW = re.compile(r'\{%s,\s*%s,\s*%s,\s*(?:%s|nullptr|(k\w+)),\s*(true|false),\s*((?:%s\s*)+)\},'
                 % (STRING, STRING, STRING, STRING, STRING))
INCLUDE = re.compile(r'#include "([^"]+)"')
UINT32 = {"type": "integer", "minimum": 0, "maximum": 4294967295}


def c_text(literal):
    return re.sub(r"\\(.)", r"\1", literal) if literal is not None else None


def manifest_keys(header=TABLE):
    """The table's rows as dictionaries, in table order."""
    rows = []
    text = Path(header).read_text(encoding="utf-8")
    constants = {}   # defaults named by a constant of an included header (the race texts)
    for included in INCLUDE.findall(text):
        for constant, value in re.findall(r'constexpr char (k\w+)\[\] = %s;' % STRING,
                                          (ROOT / included).read_text(encoding="utf-8")):
            constants[constant] = value
    table = text.split("kManifestKeys[kManifestKeyCount] = {")[1].split("};")[0]
    for match in ROW.finditer(table):
        parent, name, kind, default, constant, required, description = match.groups()[:7]
        if constant:
            default = constants[constant]
        description = "".join(c_text(part) for part in re.findall(STRING, description))   # adjacent literals
        rows.append({"parent": c_text(parent), "name": c_text(name), "type": kind, "default": c_text(default),
                     "required": required == "true", "description": description})
    return rows


def race_limit():
    return int(re.search(r"kMaxRaces = (\d+);", (ROOT / "launcher" / "ModPlan.h").read_text(encoding="utf-8")).group(1))


def schema_key(header=TABLE):
    return re.search(r'kManifestSchemaKey\[\] = %s;' % STRING, Path(header).read_text(encoding="utf-8")).group(1)


def default_value(row):
    if row["type"] in ("string",):
        return row["default"]
    return json.loads(row["default"])


def property_of(row, rows):
    schema = dict(UINT32) if row["type"] == "uint32" else {"type": row["type"]}
    schema["description"] = row["description"]
    if row["default"] is not None:
        schema["default"] = default_value(row)
    if row["type"] in ("object", "array"):
        inner = object_of(row["name"], rows)
        if row["type"] == "object":
            schema.update(inner)
        else:
            schema["items"] = inner
    if row["parent"] == "" and row["name"] == "Races":
        schema["maxItems"] = race_limit()
    return schema


def object_of(parent, rows):
    children = [row for row in rows if row["parent"] == parent]
    schema = {"type": "object", "properties": {row["name"]: property_of(row, rows) for row in children}}
    required = [row["name"] for row in children if row["required"]]
    if required:
        schema["required"] = required
    return schema


def make_schema(header=TABLE):
    rows = manifest_keys(header)
    root = object_of("", rows)
    properties = {schema_key(header): {"type": "string", "description": "Where an editor finds this schema; the "
                                       "launcher does not read it."}}
    properties.update(root["properties"])
    root["properties"] = properties
    return dict({"$schema": "https://json-schema.org/draft/2020-12/schema",
                 "title": "Corvane mod manifest: mods\\NAME\\manifest.json",
                 "description": "Every key is optional; a value of another type is treated as missing."}, **root)


def schema_text(header=TABLE):
    return json.dumps(make_schema(header), indent=2) + "\n"


def main(argv):
    output = argv[0] if argv else str(ROOT / "docs" / "manifest.schema.json")
    if output == "-":
        sys.stdout.write(schema_text())
    else:
        Path(output).write_text(schema_text(), encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
