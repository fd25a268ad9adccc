#!/usr/bin/env python3
"""The player's release end to end: the zip built in two fresh build trees (only what it needs) has the
same bytes; unpacked into an empty game folder with the stand-in game it runs under Wine as shipped; its
SDK builds the example add-on with MinGW and with clang in Microsoft mode, and the launcher loads both.

    check_release.py SOURCE BUILD WORK VERSION -DCMAKE_BUILD_TYPE=TYPE    (Wine ready: run inside scripts/in-display)
"""
import io
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

SOURCE, BUILD, WORK, VERSION, BUILD_TYPE_OPTION = sys.argv[1:6]
del sys.argv[1:6]
MINGW = os.path.join(SOURCE, "cmake", "toolchain-mingw32.cmake")
MICROSOFT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "clang-msvc.cmake")
GAME = os.path.join(WORK, "game")
LIMIT = 1800   # seconds for one build or launch
NUMBERS = [int(part) for part in VERSION.split(".")]


def run(command, cwd=None):
    """Runs command to its end; its output, or AssertionError naming it when it fails or hangs. The
    output goes through a file: Wine's background processes would hold a pipe open."""
    log = os.path.join(WORK, "command.log")
    with open(log, "wb") as out:
        process = subprocess.Popen(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=subprocess.STDOUT, start_new_session=True)
        try:
            status = process.wait(timeout=LIMIT)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            status = "hung for %d s and was ended" % LIMIT
    output = open(log, "rb").read().decode("latin-1")
    return status, "%s: %s\n%s" % (" ".join(command), status, output[-4000:])


def check(command, cwd=None):
    status, output = run(command, cwd)
    if status != 0:
        raise AssertionError(output)


def build_zip(tree):
    """The zip's bytes, made by target dist in a fresh build tree."""
    shutil.rmtree(tree, ignore_errors=True)
    check(["cmake", "-S", SOURCE, "-B", tree, "-G", "Ninja", BUILD_TYPE_OPTION,
           "-DCMAKE_TOOLCHAIN_FILE=" + MINGW])
    check(["cmake", "--build", tree, "--target", "dist"])
    with open(os.path.join(tree, "dist", "Corvane-%s-win32.zip" % VERSION), "rb") as f:
        return f.read()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        cls.zips = [build_zip(os.path.join(WORK, tree)) for tree in ("tree", "second-tree")]
        cls.archive = zipfile.ZipFile(io.BytesIO(cls.zips[0]))
        # An empty game folder: the release, the stand-in game with its archives, the sample mod.
        shutil.rmtree(GAME, ignore_errors=True)
        cls.archive.extractall(GAME)
        testbed = os.path.join(BUILD, "testbed")
        for name in ("Game.dll", "Storm.dll", "game-archives/War3.mpq", "game-archives/War3x.mpq"):
            shutil.copy(os.path.join(testbed, name), GAME)
        shutil.copytree(os.path.join(testbed, "mods", "Demo"), os.path.join(GAME, "mods", "Demo"))

    def launch(self, *options):
        """Runs the release's Corvane.exe in the game folder; the stand-in game's report."""
        report = os.path.join(GAME, "GameReport.txt")
        if os.path.exists(report):
            os.remove(report)
        status, output = run(["wine", "Corvane.exe"] + list(options), cwd=GAME)
        self.assertEqual(1, status, output)
        self.assertTrue(os.path.exists(report), "the game did not run: " + output)
        return dict(line.partition("=")[::2] for line in read(report).decode("latin-1").splitlines())

    def assertRaces(self, report, skins, keys):
        self.assertEqual(str(len(keys)), report["race.count"])
        for number, (skin, key) in enumerate(zip(skins, keys), 1):
            self.assertEqual((skin, key), (report["race.skin.%d" % number].split(" ")[0],
                                           report["race.key.%d" % number].split(" ")[0]))

    def test_two_fresh_build_trees_give_the_same_bytes(self):
        second = zipfile.ZipFile(io.BytesIO(self.zips[1]))
        differ = [info.filename for info in self.archive.infolist() + second.infolist()
                  if self.archive.NameToInfo.get(info.filename, info).CRC != second.NameToInfo.get(info.filename, info).CRC]
        self.assertEqual(self.zips[0], self.zips[1], "entries that differ: %s" % differ)

    def test_the_zip_holds_the_release_and_checksums_of_every_other_file(self):
        names = self.archive.namelist()
        self.assertEqual(sorted(names), names)
        for name in ("Corvane.exe", "Corvane.mpq", "corvane-check.exe", "Corvane-Guide.txt", "Corvane/LICENSE.txt",
                     "Corvane/docs/manifest.md", "Corvane/docs/corvane-check.md", "Corvane/sdk/include/Corvane.h",
                     "Corvane/sdk/lib/Corvane.lib", "Corvane/sdk/lib/libCorvane.a", "Corvane/sdk/example/Example.cpp",
                     "Corvane/sdk/lib/cmake/Corvane/CorvaneConfig.cmake"):
            self.assertIn(name, names)
        # As a player checks them, in the unpacked game folder; they name every other file of the zip.
        listed = [line.split("  ", 1)[1] for line in self.archive.read("Corvane/SHA256SUMS").decode().splitlines()]
        self.assertEqual(listed, [name for name in names if name != "Corvane/SHA256SUMS"])
        check(["sha256sum", "--check", "--strict", "--quiet", "Corvane/SHA256SUMS"], cwd=GAME)
        self.assertIn(b"Release %s\r\n" % VERSION.encode(), self.archive.read("Corvane-Guide.txt"))
        # The engine archive holds nothing of the test bed's: no file but its listfile.
        self.assertEqual("", subprocess.run(["smpq", "-l", os.path.join(GAME, "Corvane.mpq")], capture_output=True,
                                            text=True, check=True, timeout=60).stdout)

    def test_a_folder_of_the_source_goes_in_with_the_files_git_tracks_only(self):
        with tempfile.TemporaryDirectory() as source:
            write(os.path.join(source, "docs", "kept.md"), "tracked\n")
            for command in (["init", "-q"], ["add", "docs/kept.md"],
                            ["-c", "user.name=t", "-c", "user.email=t@t", "commit", "-q", "-m", "docs"]):
                check(["git", "-C", source] + command)
            write(os.path.join(source, "docs", "left.md"), "left over by hand\n")
            made = os.path.join(source, "out.zip")
            check([sys.executable, os.path.join(SOURCE, "release", "make_zip.py"), made, "--strip", "strip", "--source",
                   source, "--sums", "SUMS", "docs=" + os.path.join(source, "docs")])
            self.assertEqual(["SUMS", "docs/kept.md"], zipfile.ZipFile(made).namelist())

    def test_the_version_record_and_the_launchers_version_text_come_from_the_project_version(self):
        exe = read(os.path.join(GAME, "Corvane.exe"))
        fixed = exe.find(struct.pack("<I", 0xFEEF04BD))
        self.assertEqual(struct.pack("<IIII", NUMBERS[0] << 16 | NUMBERS[1], NUMBERS[2] << 16 | NUMBERS[3],
                                     NUMBERS[0] << 16 | NUMBERS[1], NUMBERS[2] << 16 | NUMBERS[3]),
                         exe[fixed + 8:fixed + 24])
        text = "Version %d.%d.%d (Build %d)" % tuple(NUMBERS)
        for key in ("FileVersion", "ProductVersion"):
            pattern = re.escape((key + "\0").encode("utf-16-le")) + b"(?:\0\0)?" + re.escape((text + "\0").encode("utf-16-le"))
            self.assertRegex(exe, pattern, key)

        report = self.launch()
        self.assertEqual("Corvane (Version %d.%d.%d Build %d)" % tuple(NUMBERS), report["version"])
        self.assertEqual("Corvane", report["title.final"])
        self.assertRaces(report, ["Human", "Orc", "Undead", "NightElf"], ["HUMAN", "ORC", "UNDEAD", "NIGHT_ELF"])

    def test_the_unpacked_release_runs_the_sample_mod(self):
        report = self.launch("-mod", "Demo")
        self.assertEqual("Corvane Demo", report["title.final"])
        self.assertEqual("Corvane Demo 1.0 (every manifest key)", report["version"])
        self.assertRaces(report, ["Pirates", "Dwarves", "Nagas"], ["PIRATE", "DWARF", "NAGA"])
        tools = json.loads(read(os.path.join(GAME, "Configs", "DemoTools.json")))
        self.assertEqual(("Demo", 1), (tools["Mod"], tools["Loads"]))

        status, output = run(["wine", "corvane-check.exe", "Demo"], cwd=GAME)
        self.assertEqual(0, status, output)
        self.assertIn("result: the mod loads as written", output)

    def test_the_sdk_builds_the_example_with_both_toolchains_and_the_launcher_loads_each(self):
        example = os.path.join(GAME, "Corvane", "sdk", "example")
        for launches, (mod, toolchain) in enumerate((("ExampleMinGW", MINGW), ("ExampleMicrosoft", MICROSOFT)), 1):
            tree = os.path.join(WORK, mod)
            shutil.rmtree(tree, ignore_errors=True)
            check(["cmake", "-S", example, "-B", tree, "-G", "Ninja", "-DCMAKE_TOOLCHAIN_FILE=" + toolchain])
            check(["cmake", "--build", tree])
            write(os.path.join(GAME, "mods", mod, "manifest.json"), '{"Addons": [{"Name": "Example", "Enable": true}]}')
            os.makedirs(os.path.join(GAME, "mods", mod, "Addons"), exist_ok=True)
            shutil.copy(os.path.join(tree, "Example.dll"), os.path.join(GAME, "mods", mod, "Addons"))
            self.launch("-mod", mod)
            self.assertEqual('{\n    "Launches": %d,\n    "Mod": "%s"\n}' % (launches, mod),
                             read(os.path.join(GAME, "Configs", "Example.json")).decode("latin-1"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
