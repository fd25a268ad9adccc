#!/usr/bin/env python3
"""Prints what the stand-in game saw during the demo launch, from its report and the traces."""
import os
import re
import sys

game, shots = sys.argv[1], sys.argv[2]


def find(name):
    """The path of name under the game folder, matching letter case as Windows does."""
    path = game
    for part in name.split("/"):
        entries = {entry.lower(): entry for entry in os.listdir(path)} if os.path.isdir(path) else {}
        if part.lower() not in entries:
            return None
        path = os.path.join(path, entries[part.lower()])
    return path


def read(name):
    path = find(name)
    if path is None:
        return None
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


report = {}
for line in (read("GameReport.txt") or "").splitlines():
    key, _, value = line.partition("=")
    report[key] = value

exit_code = (read("exit-code") or "?").strip()
print("Corvane demo: Corvane.exe -mod Demo, in %s" % game)
print("  exit code            %s" % exit_code)
if not report:
    print("  the game wrote no report: GameMain was not reached")
    sys.exit(1)

print("  window title         %s" % report.get("title.final", "?"))
cursor = report.get("cursor.blizzard", "?")
print("  cursor               %s%s" % (cursor, " (the launcher's CorvaneCursor.cur)" if cursor == "corvane" else ""))
icon = report.get("icon.war3x", "?").split(" hash=")[0]
sources = {"corvane": "the launcher's icon resource", "other": "the mod's icon file"}
print("  icon                 %s (%s)" % (icon, sources.get(icon.split(" ")[0], "?")))
print("  version text         %s" % report.get("version", "?"))

print("  archives opened (Storm.dll trace):")
for line in (read("StormTrace.txt") or "").splitlines():
    match = re.match(r'(266|293) (\w+) (?:owner=\d+ )?"([^"]*)" priority=(\d+).* -> (\d+)', line)
    if match:
        ordinal, _, path, priority, result = match.groups()
        by = "the file hook, for icon-map" if priority == "0" else ("the game" if ordinal == "293" or path.startswith("War3") else "the launcher")
        print("    priority %-3s %-32s %-8s by %s" % (priority, path, "opened" if result != "0" else "FAILED", by))

print("  archives and the files several of them hold (corvane-check Demo):")
for line in (read("check.txt") or "").splitlines():
    if re.match(r"(engine |game )?archive |conflict ", line):
        print("    " + line.rstrip("\r"))

count = report.get("race.count", "?")
print("  races the game's code reads (count byte %s):" % count)
for number in range(0, int(count) + 2 if count.isdigit() else 0):
    key = report.get("race.key.%d" % number, "?").split(" ")[0]
    skin = report.get("race.skin.%d" % number, "?").split(" ")[0]
    print("    race %-3d key %-10s skin %s" % (number, key, skin))

tools = read("configs/DemoTools.json")
disabled = find("configs/DemoDisabled.json") is not None
print("  add-on DemoTools wrote configs\\DemoTools.json:")
for line in (tools or "(nothing)").splitlines():
    print("    " + line)
print("  add-on DemoDisabled  %s" % ("LOADED (it should not be)" if disabled else "not loaded (Enable false)"))
print("  start-up trace (CORVANE_TRACE):")
for line in (read("trace.txt") or "").splitlines():
    print("    " + line)
for name in ("splash.png", "game-window.png"):
    path = os.path.join(shots, name)
    print("  screenshot           %s" % (path if os.path.exists(path) else name + " (not caught)"))
