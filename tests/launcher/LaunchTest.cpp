// Corvane.exe end to end: a fresh game folder per case with the stand-in game and archive library, the
// launcher run as a real process, and its settings file, start-up trace, archive trace and the game's
// report checked exactly.
#include "launcher/LaunchHarness.h"
#include "testbed/game/Report.h"

#include <windows.h>

#include <string>

namespace {

const char kFreshSettings[] = "{\n    \"ShowMpqMessage\": true\n}";
const char kNoFile[] = "0 why=\"cannot open file\"";

class LaunchTest : public LaunchFixture {
protected:
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
  EXPECT_EQ(readFile("Corvane.json"), kFreshSettings);
  EXPECT_TRUE(folderExists("Mods"));
  EXPECT_EQ(trace(), (startupLines(true) + Lines{"manifest none"} + launchLines(4, "built-in")));
  // The game's archives are missing: the icon requests find no archive to open and fall through.
  const std::string noFile = kNoFile;
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
  expectLauncherPatches(game, kDefaultVersion);
  expectStandardRaces(game);
  // Titles: the game's title in any case becomes the mod's name; a trailing blank or null passes.
  // Cursor: the game's cursor name loads the launcher's through the same instance; others pass.
  const std::pair<const char*, const char*> values[] = {{"end", "ok"},
                                                        {"exe", "Corvane.exe"},
                                                        {"module.same", "yes"},
                                                        {"version.src", "exe"},
                                                        {"title.create", "Corvane"},
                                                        {"title.upper", "Corvane"},
                                                        {"title.other", "Warcraft III "},
                                                        {"title.null", ""},
                                                        {"title.final", "Corvane"},
                                                        {"cursor.corvane.real", "present"},
                                                        {"cursor.blizzard", "corvane"},
                                                        {"cursor.other", "null"},
                                                        {"cursor.arrow", "arrow"},
                                                        {"icon.other", "null"}};
  for (const auto& value : values) EXPECT_EQ(game[value.first], value.second) << value.first;
  // Icon: with no mod icon the launcher's resource, at the caller's size; others, integer ids too, pass.
  EXPECT_EQ(game["icon.war3x"].substr(0, 8), "corvane ");
  EXPECT_EQ(game["icon.war3x"], game["icon.corvane.real"]);
  EXPECT_EQ(game["icon.application"].substr(0, 12), "application ");
}

// ---- The settings file.

// The value read counts, whatever its type; what can be rewritten keeps its other keys, and a file held
// open without write sharing keeps its bytes.
TEST_F(LaunchTest, SettingsThatSayNoWarningsKeepTheirValueAndShowNone) {
  struct Case {
    const char* before;
    const char* after;
    bool held;
  };
  const Case cases[] = {
      {"{\"Other\": [1, \"two\"], \"ShowMpqMessage\": false}",
       "{\n    \"Other\": [\n        1,\n        \"two\"\n    ],\n    \"ShowMpqMessage\": false\n}", false},
      {"{\"ShowMpqMessage\": 1}", "{\n    \"ShowMpqMessage\": 1\n}", false},
      {"[false]", "[\n    false,\n    true\n]", false},
      {"{ \"ShowMpqMessage\" : false }", "{ \"ShowMpqMessage\" : false }", true},
  };
  layOutGame();
  writeMod("M", R"({"Mpqs": [{"Name": "gone"}], "Preview": {"Enable": false}})");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    writeFile("Corvane.json", c.before);
    HANDLE held = c.held
                      ? CreateFileA("Corvane.json", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                      : nullptr;
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    LaunchResult run = launch("-mod M");
    if (held) CloseHandle(held);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(readFile("Corvane.json"), c.after);
    EXPECT_EQ(trace(), (startupLines(false) + manifestLine("M", "opened") +
                        Lines{"archive .\\mods\\M\\Mpqs\\gone.mpq 10 failed"} + launchLines(4, "off")));
    EXPECT_EQ(launcherStormLines(),
              (Lines{mpqLine(".\\mods\\M\\Mpqs\\gone.mpq", 10, kNoFile), mpqLine("Corvane.mpq", 9, "1 archive=A1")}));
  }
}

// A damaged file is replaced by the default, so every archive that fails raises its own box.
TEST_F(LaunchTest, MalformedSettingsAreReplacedAndEachFailedArchiveRaisesAWarning) {
  layOutGame();
  writeFile("Corvane.json", "{\"ShowMpqMessage\": false,}");
  writeMod("M", R"({"Mpqs": [{"Name": "gone"}, {"Name": "here"}, {"Name": "lost", "Priority": 30}]})");
  addArchive("M", "here", "music");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(readFile("Corvane.json"), kFreshSettings);
  ASSERT_EQ(run.boxes.size(), 2u);
  EXPECT_EQ(run.boxes[0].text, "Failed to open gone.mpq");
  EXPECT_EQ(run.boxes[1].text, "Failed to open lost.mpq");
  for (const WarningBox& box : run.boxes) {
    EXPECT_EQ(box.caption, "Warning");
    EXPECT_FALSE(box.owned);
    EXPECT_TRUE(box.okOnly);
  }
  EXPECT_EQ(launcherStormLines(),
            (Lines{mpqLine(".\\mods\\M\\Mpqs\\gone.mpq", 10, kNoFile),
                   mpqLine(".\\mods\\M\\Mpqs\\here.mpq", 11, "1 archive=A1"),
                   mpqLine(".\\mods\\M\\Mpqs\\lost.mpq", 30, kNoFile), mpqLine("Corvane.mpq", 9, "1 archive=A2")}));
  EXPECT_EQ(report()["end"], "ok");
}

// ---- The mod's manifest.

TEST_F(LaunchTest, MissingManifestLaunchesWithTheDefaults) {
  layOutGame();
  LaunchResult run = launch("-mod Missing");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(trace(), (startupLines(true) + manifestLine("Missing", "missing") + launchLines(4, "built-in")));
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
  copyInto(testbedFolder() + "mods\\Demo\\icon.ico", mods("Test\\icon.ico"));
  LaunchResult run = launch("-mod Test");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_TRUE(run.boxes.empty());
  // The add-on loaded before any archive was opened.
  EXPECT_EQ(readFile("Addons.txt"), "tools.dll opens=0\n");
  EXPECT_EQ(trace(),
            (startupLines(true) + manifestLine("Test", "opened") +
             Lines{"addon .\\mods\\Test\\Addons\\tools.dll loaded", "archive .\\mods\\Test\\Mpqs\\data.mpq 10 opened",
                   "archive .\\mods\\Test\\Mpqs\\patch.mpq 20 opened", "name Test Mod", "icon .\\mods\\Test\\icon.ico",
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
  expectRaces(game, {"Pirates"}, {"PIRATE"});
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
  EXPECT_EQ(trace(), (startupLines(true) + manifestLine("A", "opened") +
                      Lines{"addon .\\mods\\A\\Addons\\a.dll loaded", "addon .\\mods\\A\\Addons\\ghost.dll failed",
                            "addon .\\mods\\A\\Addons\\g.dll loaded", "archive .\\mods\\A\\Mpqs\\data.mpq 10 opened"} +
                      launchLines(4, "off")));
  // "Races" given as an object counts as missing.
  Report game = report();
  expectStandardRaces(game);
}

// ---- The game module and its variants.

TEST_F(LaunchTest, MissingGameModuleStillReadsSettingsAndModThenEndsWithOne) {
  layOutGame("");
  writeMod("M", R"({"ModVersion": "v", "Addons": [{"Name": "a", "Enable": true}], "Mpqs": [{"Name": "data"}]})");
  addAddon("M", "a");
  addArchive("M", "data", "data");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(readFile("Corvane.json"), kFreshSettings);
  EXPECT_TRUE(folderExists("Mods"));
  EXPECT_FALSE(fileExists(GameReport::kFileName));
  EXPECT_EQ(readFile("Addons.txt"), "a.dll opens=0\n");
  EXPECT_EQ(trace(), (Lines{"game missing", "imports user32.dll 1", "imports Storm.dll 1", "settings ShowMpqMessage on",
                            "manifest .\\mods\\M\\manifest.json opened", "addon .\\mods\\M\\Addons\\a.dll loaded",
                            "archive .\\mods\\M\\Mpqs\\data.mpq 10 opened", "version v skipped", "launch skipped"}));
  EXPECT_EQ(stormTrace(), Lines{mpqLine(".\\mods\\M\\Mpqs\\data.mpq", 10, "1 archive=A1")});
}

// Without GameMain nothing is opened and nothing runs; without the trace variable nothing is traced.
TEST_F(LaunchTest, GameWithoutGameMainEndsAfterTheSplashWithoutOpeningTheEngineArchive) {
  layOutGame("variants\\nogamemain\\Game.dll");
  EXPECT_EQ(launch("", false).exitCode, 1u);
  EXPECT_FALSE(fileExists(kLaunchTrace));
  EXPECT_EQ(readFile("Corvane.json"), kFreshSettings);
  writeMod("M", R"({"Preview": {"Enable": false}})");
  EXPECT_EQ(launch("-mod M").exitCode, 1u);
  EXPECT_EQ(trace(),
            (startupLines(true) + manifestLine("M", "opened") + Lines{"races 4", "splash off", "GameMain missing"}));
  EXPECT_FALSE(fileExists("StormTrace.txt"));
  EXPECT_FALSE(fileExists(GameReport::kFileName));
}

// A GameMain that leaves its argument on the stack: the launcher puts its own stack back and ends as usual.
TEST_F(LaunchTest, GameMainThatLeavesItsArgumentOnTheStackReturnsCleanly) {
  layOutGame("variants\\cdecl\\Game.dll");
  writeMod("M", R"({"Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(trace(), (startupLines(true) + manifestLine("M", "opened") + launchLines(4, "off")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  expectLauncherPatches(game, kDefaultVersion);
}

// The archive opened last lacks the map icon here: the request falls through to the plain lookup.
TEST_F(LaunchTest, GameWithoutUser32ImportsStillGetsTheArchiveHooksAndPatches) {
  layOutGame("variants\\nouser32\\Game.dll");
  copyInto(testbedFolder() + "mods\\Demo\\Mpqs\\music.mpq", "War3x.mpq");
  writeMod("M", R"({"ModName": "Named", "Preview": {"Enable": false}})");
  LaunchResult run = launch("-mod M");
  EXPECT_EQ(run.exitCode, 1u);
  Lines expected = startupLines(true);
  expected.erase(expected.begin() + 1, expected.begin() + 6);
  expected.insert(expected.begin() + 1, "imports user32.dll 5");
  EXPECT_EQ(trace(), (expected + manifestLine("M", "opened") + Lines{"name Named"} + launchLines(4, "off")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  expectLauncherPatches(game, kDefaultVersion);
  EXPECT_EQ(game["title.final"], "Warcraft III");
  EXPECT_EQ(game["file.UI\\Widgets\\Glues\\icon-map-test.blp"], "missing");
  const Lines lines = stormTrace();
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(
      Lines(lines.begin() + 4, lines.begin() + 8),
      (Lines{mpqLine("War3x.mpq", 0, "1 archive=A3"),
             "281 LoadFileEx A3 \"war3mapIcon.blp\" extra=0 scope=0 -> 0 why=\"not found\"", "252 CloseArchive A3 -> 1",
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
  EXPECT_EQ(trace(), (expected + manifestLine("M", "opened") + Lines{"version Mod 2 written"} + launchLines(4, "off")));
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
  copyInto(testbedFolder() + "mods\\Demo\\Mpqs\\music.mpq", "War3.mpq");
  copyInto(testbedFolder() + "mods\\Demo\\Mpqs\\data.mpq", "War3x.mpq");
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

  EXPECT_EQ(
      stormTrace(),
      (Lines{
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
