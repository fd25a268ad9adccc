// Corvane.exe end to end: a fresh game folder per case with the stand-in game and archive library, the
// launcher run as a real process, and its settings file, start-up trace, archive trace and the game's
// report checked exactly.
#include "launcher/LaunchHarness.h"
#include "support/TempFolder.h"
#include "testbed/game/Report.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

using Report = std::map<std::string, std::string>;

const char kFreshSettings[] = "{\n    \"ShowMpqMessage\": true\n}";
const char kDefaultVersion[] = "Corvane (Version 2.0.0 Build 1)";
const char kGameVersion[] = "Warcraft III (Version 1.26a stand-in)";


// The text of a report value up to its first blank ("HUMAN src=exe at=..." gives HUMAN).
std::string firstWord(const std::string& value) {
  return value.substr(0, value.find(' '));
}

std::string mpqLine(const std::string& path, unsigned priority, const std::string& outcome) {
  return "266 OpenArchive \"" + path + "\" priority=" + std::to_string(priority) + " flags=0 -> " + outcome;
}

// A 32 x 32 icon file of one colour, 32 bits per pixel.
std::string iconFile(uint32_t colour) {
  std::string bytes;
  auto put16 = [&](uint16_t value) { bytes.append(reinterpret_cast<const char*>(&value), 2); };
  auto put32 = [&](uint32_t value) { bytes.append(reinterpret_cast<const char*>(&value), 4); };
  const uint32_t pixels = 32 * 32 * 4, mask = 32 * 4, image = 40 + pixels + mask;
  put16(0), put16(1), put16(1);                        // ICONDIR: one icon
  bytes += '\x20', bytes += '\x20', bytes += '\0', bytes += '\0';
  put16(1), put16(32), put32(image), put32(6 + 16);    // ICONDIRENTRY
  put32(40), put32(32), put32(64), put16(1), put16(32), put32(0), put32(pixels + mask);
  put32(0), put32(0), put32(0), put32(0);              // BITMAPINFOHEADER, height doubled for the mask
  for (uint32_t i = 0; i < 32 * 32; ++i) put32(colour);
  bytes.append(mask, '\0');
  return bytes;
}

class LaunchTest : public TempFolderTest {
protected:
  std::string mods(const std::string& path) { return "mods\\" + path; }
  std::string demoArchive(const std::string& name) { return testbedFolder() + "mods\\Demo\\Mpqs\\" + name + ".mpq"; }
  void addArchive(const std::string& mod, const std::string& name, const std::string& from) {
    copyInto(demoArchive(from), mods(mod + "\\Mpqs\\" + name + ".mpq"));
  }
  void addAddon(const std::string& mod, const std::string& name) {
    copyInto(binFolder() + "MarkerAddon.dll", mods(mod + "\\Addons\\" + name + ".dll"));
  }

  Lines trace() { return linesOf(readFile(kLaunchTrace)); }
  Lines stormTrace() { return linesOf(readFile("StormTrace.txt")); }
  // The archive library's lines before the game first opens an archive: what the launcher asked.
  Lines launcherStormLines() {
    Lines lines;
    for (const std::string& line : stormTrace()) {
      if (line.compare(0, 4, "293 ") == 0) break;
      lines.push_back(line);
    }
    return lines;
  }
  Report report() { return GameReport::parse(readFile(GameReport::kFileName)); }

  void expectStandardRaces(Report& game) {
    EXPECT_EQ(game["race.count"], "4");
    const char* keys[] = {"HUMAN", "ORC", "UNDEAD", "NIGHT_ELF"};
    const char* skins[] = {"Human", "Orc", "Undead", "NightElf"};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(firstWord(game["race.key." + std::to_string(i + 1)]), keys[i]);
      EXPECT_EQ(firstWord(game["race.skin." + std::to_string(i + 1)]), skins[i]);
    }
  }

  void expectLauncherPatches(Report& game, const char* version) {
    EXPECT_EQ(game["bytes.4E3BFA"], "9090EB");
    EXPECT_EQ(game["bytes.59B3E4"], "9090909090909090");
    EXPECT_EQ(game["bytes.E5F0"].substr(0, 2), "E8");
    EXPECT_EQ(game["bytes.E5FF"].substr(0, 2), "E8");
    EXPECT_EQ(game["target.E5F0"], "exe");
    EXPECT_EQ(game["target.E5FF"], "exe");
    EXPECT_EQ(game["version"], version);
  }
};

// ---- Start-up without a mod: settings created, every hook and patch in place, the defaults shown.

TEST_F(LaunchTest, FirstStartWithoutModCreatesSettingsAndRunsTheGameWithDefaults) {
  layOutGame();
  LaunchResult run = launch("");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(readFile("Corvane.json"), std::string(kFreshSettings, 30));
  EXPECT_TRUE(folderExists("Mods"));
  EXPECT_EQ(trace(), (startupLines(true) + Lines{"manifest none"} + launchLines(4, "built-in")));
  // The game's archives are missing: the icon requests find no archive to open and fall through.
  const std::string noFile = "0 why=\"cannot open file\"";
  EXPECT_EQ(stormTrace(), (Lines{
      mpqLine("Corvane.mpq", 9, "1 archive=A1"),
      "293 OpenArchiveEx owner=0 \"War3.mpq\" priority=2 flags=0 -> " + noFile,
      mpqLine("War3x.mpq", 3, noFile),
      mpqLine("War3x.mpq", 0, noFile),
      "279 LoadFile \"UI\\Widgets\\Glues\\icon-map-test.blp\" extra=0 -> 0 why=\"not found\"",
      mpqLine("War3x.mpq", 0, noFile),
      "279 LoadFile \"ui\\widgets\\glues\\ICON-MAP.blp\" extra=0 -> 0 why=\"not found\"",
      "279 LoadFile \"war3mapIcon.blp\" extra=0 -> 0 why=\"not found\"",
      "279 LoadFile \"Identity.txt\" extra=0 -> 0 why=\"not found\"",
      "279 LoadFile \"Missing\\Nothing.txt\" extra=0 -> 0 why=\"not found\"",
      "267 OpenFile \"Identity.txt\" -> 0 why=\"not found\"",
  }));

  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  EXPECT_EQ(game["exe"], "Corvane.exe");
  EXPECT_EQ(game["module.same"], "yes");
  expectLauncherPatches(game, kDefaultVersion);
  EXPECT_EQ(game["version.src"], "exe");
  // Titles: the game's title in any case becomes the mod's name; a trailing blank or null passes.
  EXPECT_EQ(game["title.create"], "Corvane");
  EXPECT_EQ(game["title.upper"], "Corvane");
  EXPECT_EQ(game["title.other"], "Warcraft III ");
  EXPECT_EQ(game["title.null"], "");
  EXPECT_EQ(game["title.final"], "Corvane");
  // Cursor: the game's cursor name loads the launcher's through the same instance; others pass.
  EXPECT_EQ(game["cursor.corvane.real"], "present");
  EXPECT_EQ(game["cursor.blizzard"], "corvane");
  EXPECT_EQ(game["cursor.other"], "null");
  EXPECT_EQ(game["cursor.arrow"], "arrow");
  // Icon: with no mod icon the launcher's resource, at the caller's size; others, integer ids too, pass.
  EXPECT_EQ(game["icon.war3x"].substr(0, 8), "corvane ");
  EXPECT_EQ(game["icon.war3x"], game["icon.corvane.real"]);
  EXPECT_EQ(game["icon.other"], "null");
  EXPECT_EQ(game["icon.application"].substr(0, 12), "application ");
  expectStandardRaces(game);
}

// ---- The settings file.

TEST_F(LaunchTest, SettingsWithFalseKeepTheValueAndOtherKeysAndShowNoWarning) {
  layOutGame();
  writeFile("Corvane.json", "{\"Other\": [1, \"two\"], \"ShowMpqMessage\": false}");
  writeMod("M", R"({"Mpqs": [{"Name": "gone"}]})");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(readFile("Corvane.json"),
            "{\n    \"Other\": [\n        1,\n        \"two\"\n    ],\n    \"ShowMpqMessage\": false\n}");
  EXPECT_EQ(trace(), (startupLines(false) +
                         Lines{"manifest .\\mods\\M\\manifest.json opened", "archive .\\mods\\M\\Mpqs\\gone.mpq 10 failed"} +
                         launchLines(4, "built-in")));
  EXPECT_EQ(launcherStormLines(),
            (Lines{mpqLine(".\\mods\\M\\Mpqs\\gone.mpq", 10, "0 why=\"cannot open file\""),
                   mpqLine("Corvane.mpq", 9, "1 archive=A1")}));
  EXPECT_EQ(report()["end"], "ok");
}

TEST_F(LaunchTest, SettingsWithTheNumberOneKeepItAndShowNoWarning) {
  layOutGame();
  writeFile("Corvane.json", "{\"ShowMpqMessage\": 1}");
  writeMod("M", R"({"Mpqs": [{"Name": "gone"}], "Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(readFile("Corvane.json"), "{\n    \"ShowMpqMessage\": 1\n}");
  EXPECT_EQ(lineAt(trace(), 14), "settings ShowMpqMessage off");
}

TEST_F(LaunchTest, ArraySettingsStayAnArrayWithTrueAppended) {
  layOutGame();
  writeFile("Corvane.json", "[false]");
  writeMod("M", R"({"Mpqs": [{"Name": "gone"}], "Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(readFile("Corvane.json"), "[\n    false,\n    true\n]");
  EXPECT_EQ(lineAt(trace(), 14), "settings ShowMpqMessage off");
}

// A damaged file is replaced by the default, so every archive that fails raises its own box.
TEST_F(LaunchTest, MalformedSettingsAreReplacedAndEachFailedArchiveRaisesAWarning) {
  layOutGame();
  writeFile("Corvane.json", "{\"ShowMpqMessage\": false,}");
  writeMod("M", R"({"Mpqs": [{"Name": "gone"}, {"Name": "here"}, {"Name": "lost", "Priority": 30}]})");
  addArchive("M", "here", "music");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(readFile("Corvane.json"), std::string(kFreshSettings, 30));
  ASSERT_EQ(run.boxes.size(), 2u);
  EXPECT_EQ(run.boxes[0].text, "Failed to open gone.mpq");
  EXPECT_EQ(run.boxes[1].text, "Failed to open lost.mpq");
  for (const WarningBox& box : run.boxes) {
    EXPECT_EQ(box.caption, "Warning");
    EXPECT_FALSE(box.owned);
    EXPECT_TRUE(box.okOnly);
  }
  EXPECT_EQ(launcherStormLines(),
            (Lines{mpqLine(".\\mods\\M\\Mpqs\\gone.mpq", 10, "0 why=\"cannot open file\""),
                   mpqLine(".\\mods\\M\\Mpqs\\here.mpq", 11, "1 archive=A1"),
                   mpqLine(".\\mods\\M\\Mpqs\\lost.mpq", 30, "0 why=\"cannot open file\""),
                   mpqLine("Corvane.mpq", 9, "1 archive=A2")}));
  EXPECT_EQ(report()["end"], "ok");
}

// Held open without write sharing, the file can be read but not replaced: the value read counts.
TEST_F(LaunchTest, SettingsThatCannotBeRewrittenKeepTheValueRead) {
  layOutGame();
  const std::string settings = "{ \"ShowMpqMessage\" : false }";
  writeFile("Corvane.json", settings);
  writeMod("M", R"({"Mpqs": [{"Name": "gone"}], "Preview": {"Enable": false}})");
  HANDLE held = CreateFileA("Corvane.json", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  LaunchResult run = launch("-mod M");
  CloseHandle(held);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(readFile("Corvane.json"), settings);
  EXPECT_EQ(lineAt(trace(), 14), "settings ShowMpqMessage off");
}

// ---- The mod's manifest.

TEST_F(LaunchTest, MissingManifestLaunchesWithTheDefaults) {
  layOutGame();
  LaunchResult run = launch("-mod Missing");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(trace(), (startupLines(true) + Lines{"manifest .\\mods\\Missing\\manifest.json missing"} +
                         launchLines(4, "built-in")));
  EXPECT_FALSE(fileExists("mods\\Missing\\manifest.json"));
  Report game = report();
  EXPECT_EQ(game["title.final"], "Corvane");
  EXPECT_EQ(game["version"], kDefaultVersion);
  expectStandardRaces(game);
}

TEST_F(LaunchTest, ManifestUsingEveryKeyIsAppliedWhole) {
  layOutGame();
  writeMod("Test", R"({
    "ModName": "Test Mod",
    "ModIcon": "icon",
    "ModVersion": "Test Mod 1.0",
    "Preview": {"Enable": true, "Logo": "logo", "Info": "A test of every key"},
    "Addons": [{"Name": "tools", "Enable": true}],
    "Mpqs": [{"Name": "data"}, {"Name": "patch", "Priority": 20}],
    "Races": [{"Skin": "Pirates", "RaceKey": "PIRATE"}]
  })");
  addAddon("Test", "tools");
  addArchive("Test", "data", "data");
  addArchive("Test", "patch", "patch");
  writeFile(mods("Test\\icon.ico"), iconFile(0xFF20A040));
  LaunchResult run = launch("-mod Test");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(run.boxes.empty());
  // The add-on loaded before any archive was opened.
  EXPECT_EQ(readFile("Addons.txt"), "tools.dll opens=0\n");
  EXPECT_EQ(trace(), (startupLines(true) +
                         Lines{"manifest .\\mods\\Test\\manifest.json opened",
                               "addon .\\mods\\Test\\Addons\\tools.dll loaded",
                               "archive .\\mods\\Test\\Mpqs\\data.mpq 10 opened",
                               "archive .\\mods\\Test\\Mpqs\\patch.mpq 20 opened",
                               "name Test Mod",
                               "icon .\\mods\\Test\\icon.ico",
                               "version Test Mod 1.0 written"} +
                         launchLines(1, ".\\mods\\Test\\logo.bmp")));
  EXPECT_EQ(launcherStormLines(), (Lines{mpqLine(".\\mods\\Test\\Mpqs\\data.mpq", 10, "1 archive=A1"),
                                         mpqLine(".\\mods\\Test\\Mpqs\\patch.mpq", 20, "1 archive=A2"),
                                         mpqLine("Corvane.mpq", 9, "1 archive=A3")}));
  Report game = report();
  EXPECT_EQ(game["title.create"], "Test Mod");
  EXPECT_EQ(game["title.final"], "Test Mod");
  EXPECT_EQ(game["version"], "Test Mod 1.0");
  EXPECT_EQ(game["version.src"], "heap");
  // The mod's icon comes from its file at the default size, not from the launcher's resource.
  EXPECT_EQ(game["icon.war3x"].substr(0, 15), "other size=32x3");
  EXPECT_NE(game["icon.war3x"], game["icon.corvane.real"]);
  EXPECT_EQ(game["race.count"], "1");
  EXPECT_EQ(firstWord(game["race.key.1"]), "PIRATE");
  EXPECT_EQ(firstWord(game["race.skin.1"]), "Pirates");
}

// One 10, two 20, three 21, the nameless entry skipped, four 5, five 22; 0, wrong types and large
// values follow the same unsigned arithmetic.
TEST_F(LaunchTest, ArchivePrioritiesFollowTheRunningMaximum) {
  layOutGame();
  writeFile("Corvane.json", "{\"ShowMpqMessage\": false}");
  writeMod("P", R"({"Preview": {"Enable": false}, "Races": [], "Mpqs": [
    {"Name": "one"}, {"Name": "two", "Priority": 20}, {"Name": "three"}, {"Priority": 50},
    {"Name": "four", "Priority": 5}, {"Name": "five"}, {"Name": "zero", "Priority": 0},
    {"Name": "text", "Priority": "70"}, "loose", {"Name": 12}, {"Name": "real", "Priority": 90.5},
    {"Name": "big", "Priority": 4000000000}, {"Name": "after"}, {"Name": "wrap", "Priority": -1},
    {"Name": "last"}]})");
  LaunchResult run = launch("-mod P");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(run.boxes.empty());
  const std::pair<const char*, unsigned> expected[] = {
      {"one", 10},   {"two", 20},          {"three", 21},         {"four", 5},
      {"five", 22},  {"zero", 23},         {"text", 24},          {"real", 25},
      {"big", 4000000000u}, {"after", 4000000001u}, {"wrap", 4294967295u}, {"last", 0}};
  Lines archives;
  for (const auto& entry : expected)
    archives.push_back(mpqLine(".\\mods\\P\\Mpqs\\" + std::string(entry.first) + ".mpq", entry.second,
                               "0 why=\"cannot open file\""));
  archives.push_back(mpqLine("Corvane.mpq", 9, "1 archive=A1"));
  EXPECT_EQ(launcherStormLines(), archives);
  Lines traced;
  for (const std::string& line : trace())
    if (line.compare(0, 8, "archive ") == 0) traced.push_back(line);
  ASSERT_EQ(traced.size(), 13u);
  EXPECT_EQ(traced[0], "archive .\\mods\\P\\Mpqs\\one.mpq 10 failed");
  EXPECT_EQ(traced[10], "archive .\\mods\\P\\Mpqs\\wrap.mpq 4294967295 failed");
  // The maximum wrapped round to 0: the next automatic priority is 0 itself.
  EXPECT_EQ(traced[11], "archive .\\mods\\P\\Mpqs\\last.mpq 0 failed");
  // An empty race list gives the standard races.
  Report game = report();
  expectStandardRaces(game);
}

TEST_F(LaunchTest, OnlyAddonsEnabledWithTrueLoadInManifestOrderBeforeTheArchives) {
  layOutGame();
  writeMod("A", R"({"Preview": {"Enable": false}, "Races": {"Skin": "Object"}, "Mpqs": [{"Name": "data"}],
    "Addons": [{"Name": "a", "Enable": true}, {"Name": "b", "Enable": false}, {"Name": "c", "Enable": 1},
      {"Name": "d"}, {"Enable": true}, {"Name": 7, "Enable": true}, "e", {"Name": "ghost", "Enable": true},
      {"Name": "g", "Enable": true}]})");
  for (const char* name : {"a", "b", "c", "d", "e", "g"}) addAddon("A", name);
  addArchive("A", "data", "data");
  LaunchResult run = launch("-mod A");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(readFile("Addons.txt"), "a.dll opens=0\ng.dll opens=0\n");
  EXPECT_EQ(trace(), (startupLines(true) + Lines{"manifest .\\mods\\A\\manifest.json opened",
                                                "addon .\\mods\\A\\Addons\\a.dll loaded",
                                                "addon .\\mods\\A\\Addons\\ghost.dll failed",
                                                "addon .\\mods\\A\\Addons\\g.dll loaded",
                                                "archive .\\mods\\A\\Mpqs\\data.mpq 10 opened"} +
                         launchLines(4, "off")));
  // "Races" given as an object counts as missing.
  Report game = report();
  expectStandardRaces(game);
}

// The game counts races in one byte: the first 255 entries are kept.
TEST_F(LaunchTest, RaceListsKeepTheFirst255Races) {
  layOutGame();
  std::string races = "[{}, \"loose\", {\"Skin\": 5, \"RaceKey\": \"NUMBERSKIN\"}";
  for (int i = 3; i <= 300; ++i)
    races += ", {\"Skin\": \"S" + std::to_string(i) + "\", \"RaceKey\": \"K" + std::to_string(i) + "\"}";
  races += "]";
  writeMod("R", ("{\"Preview\": {\"Enable\": false}, \"Races\": " + races + "}").c_str());
  LaunchResult run = launch("-mod R");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(trace(), (startupLines(true) + Lines{"manifest .\\mods\\R\\manifest.json opened"} +
                         launchLines(255, "off")));
  Report game = report();
  EXPECT_EQ(game["race.count"], "255");
  // Race n is entry n - 1: the empty object and the string keep their places with the defaults, then
  // the number skin, then S3 on.
  for (const char* race : {"1", "2"}) {
    EXPECT_EQ(firstWord(game["race.key." + std::string(race)]), "UNKNOWN");
    EXPECT_EQ(firstWord(game["race.skin." + std::string(race)]), "Default");
  }
  EXPECT_EQ(firstWord(game["race.key.3"]), "NUMBERSKIN");
  EXPECT_EQ(firstWord(game["race.skin.3"]), "Default");
  EXPECT_EQ(firstWord(game["race.key.4"]), "K3");
  EXPECT_EQ(firstWord(game["race.skin.4"]), "S3");
  EXPECT_EQ(firstWord(game["race.key.200"]), "K199");
  EXPECT_EQ(firstWord(game["race.skin.105"]), "S4");
}

// ---- The game module and its variants.

TEST_F(LaunchTest, MissingGameModuleStillReadsSettingsAndModThenEndsWithOne) {
  layOutGame("");
  writeMod("M", R"({"ModVersion": "v", "Addons": [{"Name": "a", "Enable": true}], "Mpqs": [{"Name": "data"}]})");
  addAddon("M", "a");
  addArchive("M", "data", "data");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(readFile("Corvane.json"), std::string(kFreshSettings, 30));
  EXPECT_TRUE(folderExists("Mods"));
  EXPECT_FALSE(fileExists(GameReport::kFileName));
  EXPECT_EQ(readFile("Addons.txt"), "a.dll opens=0\n");
  EXPECT_EQ(trace(), (Lines{"game missing", "imports user32.dll 1", "imports Storm.dll 1",
                            "settings ShowMpqMessage on", "manifest .\\mods\\M\\manifest.json opened",
                            "addon .\\mods\\M\\Addons\\a.dll loaded", "archive .\\mods\\M\\Mpqs\\data.mpq 10 opened",
                            "version v skipped", "launch skipped"}));
  EXPECT_EQ(stormTrace(), Lines{mpqLine(".\\mods\\M\\Mpqs\\data.mpq", 10, "1 archive=A1")});
}

// Without the trace variable nothing is traced; without GameMain nothing is opened and nothing runs.
TEST_F(LaunchTest, GameWithoutGameMainEndsAfterTheSplashWithoutOpeningTheEngineArchive) {
  layOutGame("variants\\nogamemain\\Game.dll");
  LaunchResult run = launch("", false);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_FALSE(fileExists(kLaunchTrace));
  EXPECT_FALSE(fileExists("StormTrace.txt"));
  EXPECT_FALSE(fileExists(GameReport::kFileName));
  EXPECT_EQ(readFile("Corvane.json"), std::string(kFreshSettings, 30));
}

TEST_F(LaunchTest, GameWithoutGameMainTracesWhyItStopped) {
  layOutGame("variants\\nogamemain\\Game.dll");
  writeMod("M", R"({"Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(trace(), (startupLines(true) + Lines{"manifest .\\mods\\M\\manifest.json opened", "races 4",
                                                "splash off", "GameMain missing"}));
  EXPECT_FALSE(fileExists("StormTrace.txt"));
}

// A GameMain that leaves its argument on the stack: the launcher puts its own stack back and ends as usual.
TEST_F(LaunchTest, GameMainThatLeavesItsArgumentOnTheStackReturnsCleanly) {
  layOutGame("variants\\cdecl\\Game.dll");
  writeMod("M", R"({"Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(trace(), (startupLines(true) + Lines{"manifest .\\mods\\M\\manifest.json opened"} + launchLines(4, "off")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  expectLauncherPatches(game, kDefaultVersion);
}

// The archive opened last lacks the map icon here: the request falls through to the plain lookup.
TEST_F(LaunchTest, GameWithoutUser32ImportsStillGetsTheArchiveHooksAndPatches) {
  layOutGame("variants\\nouser32\\Game.dll");
  copyInto(demoArchive("music"), "War3x.mpq");
  writeMod("M", R"({"ModName": "Named", "Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  Lines expected = startupLines(true);
  expected.erase(expected.begin() + 1, expected.begin() + 6);
  expected.insert(expected.begin() + 1, "imports user32.dll 5");
  EXPECT_EQ(trace(), (expected + Lines{"manifest .\\mods\\M\\manifest.json opened", "name Named"} +
                         launchLines(4, "off")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  expectLauncherPatches(game, kDefaultVersion);
  EXPECT_EQ(game["title.final"], "Warcraft III");
  EXPECT_EQ(game["file.UI\\Widgets\\Glues\\icon-map-test.blp"], "missing");
  const Lines lines = stormTrace();
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(Lines(lines.begin() + 4, lines.begin() + 8),
            (Lines{mpqLine("War3x.mpq", 0, "1 archive=A3"),
                   "281 LoadFileEx A3 \"war3mapIcon.blp\" extra=0 scope=0 -> 0 why=\"not found\"",
                   "252 CloseArchive A3 -> 1",
                   "279 LoadFile \"UI\\Widgets\\Glues\\icon-map-test.blp\" extra=0 -> 0 why=\"not found\""}));
}

TEST_F(LaunchTest, GameWithoutStormImportsStillGetsTheWindowHooksAndTheModVersion) {
  layOutGame("variants\\nostorm\\Game.dll");
  writeMod("M", R"({"ModVersion": "Mod 2", "Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  Lines expected = startupLines(true);
  expected.erase(expected.begin() + 6, expected.begin() + 14);
  expected.insert(expected.begin() + 6, "imports Storm.dll 5");
  EXPECT_EQ(trace(), (expected + Lines{"manifest .\\mods\\M\\manifest.json opened", "version Mod 2 written"} +
                         launchLines(4, "off")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  EXPECT_EQ(game["title.final"], "Corvane");
  EXPECT_EQ(game["cursor.blizzard"], "corvane");
  // No launcher patches, but the mod's version text is written all the same.
  EXPECT_NE(game["bytes.4E3BFA"], "9090EB");
  EXPECT_NE(game["target.E5F0"], "exe");
  EXPECT_EQ(game["version"], "Mod 2");
}

// ---- The archive hooks while the game runs.

// The game opens War3.mpq (no map icon) and then War3x.mpq (with one): requests for the map-icon
// pictures are answered from War3x.mpq, the archive opened last; other names go to the plain lookup.
TEST_F(LaunchTest, MapIconRequestsAreAnsweredFromTheArchiveOpenedLast) {
  layOutGame();
  copyInto(demoArchive("music"), "War3.mpq");
  copyInto(demoArchive("data"), "War3x.mpq");
  writeMod("M", R"({"ModIcon": "nothere", "Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  Report game = report();
  EXPECT_EQ(game["archive.War3.mpq"], "exists=yes result=1 via=E5F0 name=War3.mpq");
  EXPECT_EQ(game["archive.War3x.mpq"], "exists=yes result=1 via=E5FF name=War3x.mpq");
  EXPECT_EQ(game["file.UI\\Widgets\\Glues\\icon-map-test.blp"], "loaded size=30 text=BLP1 data.mpq war3mapIcon.blp");
  EXPECT_EQ(game["file.ui\\widgets\\glues\\ICON-MAP.blp"], "loaded size=30 text=BLP1 data.mpq war3mapIcon.blp");
  // A mod icon whose file is missing falls back to the launcher's icon resource.
  EXPECT_EQ(game["icon.war3x"], game["icon.corvane.real"]);

  EXPECT_EQ(stormTrace(), (Lines{
      mpqLine("Corvane.mpq", 9, "1 archive=A1"),
      "293 OpenArchiveEx owner=0 \"War3.mpq\" priority=2 flags=0 -> 1 archive=A2",
      mpqLine("War3x.mpq", 3, "1 archive=A3"),
      "275 GetArchiveName A2 size=260 -> 1 name=\"War3.mpq\"",
      "275 GetArchiveName A3 size=260 -> 1 name=\"War3x.mpq\"",
      mpqLine("War3x.mpq", 0, "1 archive=A4"),
      "281 LoadFileEx A4 \"war3mapIcon.blp\" extra=0 scope=0 -> 1 buffer=B1 size=30 archive=A4 from=\"War3x.mpq\"",
      "252 CloseArchive A4 -> 1",
      "280 UnloadFile B1 -> 1",
      mpqLine("War3x.mpq", 0, "1 archive=A5"),
      "281 LoadFileEx A5 \"war3mapIcon.blp\" extra=0 scope=0 -> 1 buffer=B2 size=30 archive=A5 from=\"War3x.mpq\"",
      "252 CloseArchive A5 -> 1",
      "280 UnloadFile B2 -> 1",
      // Every other name goes straight to the plain lookup.
      "279 LoadFile \"war3mapIcon.blp\" extra=0 -> 1 buffer=B3 size=30 archive=A3 from=\"War3x.mpq\"",
      "280 UnloadFile B3 -> 1",
      "279 LoadFile \"Identity.txt\" extra=0 -> 0 why=\"not found\"",
      "279 LoadFile \"Missing\\Nothing.txt\" extra=0 -> 0 why=\"not found\"",
      "267 OpenFile \"Identity.txt\" -> 0 why=\"not found\"",
      "252 CloseArchive A2 -> 1",
      "252 CloseArchive A3 -> 1",
  }));
}

}  // namespace
