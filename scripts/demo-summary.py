#!/usr/bin/env python3
"""Prints what the stand-in game saw during the demo launch, from its report and the traces; exits 1,
after the summary, with the reasons, when the demo did not see everything it reports.

    demo-summary.py GAME_FOLDER SCREENSHOTS_FOLDER LAUNCH_STATUS
"""
import os
import re
import sys

game, shots, launch_status = sys.argv[1], sys.argv[2], sys.argv[3]


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
screenshots = {name: os.path.join(shots, name + ".png") for name in ("splash", "game-window")}
problems = []
if launch_status != "0":
    problems.append("the demo launch step failed (status %s, see its message above)" % launch_status)
if exit_code != "1":
    problems.append("Corvane.exe ended with exit code %s, not the launcher's 1" % exit_code)
if not report:
    problems.append("the game wrote no report: GameMain was not reached")
elif report.get("title.final", "?") in ("", "?"):
    problems.append("the game window has no title")
elif report.get("scene") != "shown":
    problems.append("the game window did not show what the game read")
for name, path in screenshots.items():
    if not os.path.exists(path):
        problems.append("the screenshot of the %s window was not caught" % name.replace("-window", ""))


def finish():
    for name, path in screenshots.items():
        print("  screenshot           %s" % (path if os.path.exists(path) else name + ".png (not caught)"))
    if problems:
        print("\nmake demo FAILED: it did not see all it reports:")
        for problem in problems:
            print("  - " + problem)
        sys.exit(1)


print("Corvane demo: Corvane.exe -mod Demo, in %s" % game)
print("  exit code            %s" % exit_code)
if not report:
    print("  the game wrote no report: GameMain was not reached")
    finish()

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
trace = (read("trace.txt") or "").splitlines()
crashes = find("Crashes")
if "crash report armed" not in trace:
    problems.append("the launcher did not arm its crash report")
if crashes:
    problems.append("the demo left a crash report in %s" % crashes)
print("  crash report         %s" % ("armed: a crash writes %s, and its .dmp beside it"
                                    % os.path.join(game, "Crashes", "crash-YYYYMMDD-HHMMSS.txt")
                                    if "crash report armed" in trace else "NOT armed"))
print("  start-up trace (CORVANE_TRACE):")
for line in trace:
    print("    " + line)
finish()
