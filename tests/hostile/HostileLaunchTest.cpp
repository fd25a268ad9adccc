// Corvane.exe on files that others wrote: manifests with every wrong JSON type, nesting 100,000 deep, a
// 50 MB manifest, ten thousand archives, a thousand races, names of ten thousand characters, paths
// past MAX_PATH, bytes above 0x7F, and settings that are a folder or read-only. Every run must reach
// the game (or end where the launch stops) with exit code 1 and no fault, and every file that was in
// the game folder before must still be there, byte for byte.
#include "hostile/FolderSnapshot.h"
#include "hostile/LongPath.h"
#include "launcher/LaunchHarness.h"
#include "testbed/game/ReportWriter.h"

#include <windows.h>

#include <string>

namespace {

const char kSettingsOff[] = "{\n    \"ShowMpqMessage\": false\n}";

// Wine's msvcrt converts a path past MAX_PATH whole; Windows without long paths refuses it.
bool underWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Every byte from first to last, in order.
std::string byteRange(int first, int last) {
  std::string bytes;
  for (int c = first; c <= last; ++c) bytes += static_cast<char>(c);
  return bytes;
}

class HostileLaunch : public LaunchFixture {
protected:
  void SetUp() override {
    LaunchFixture::SetUp();
    layOutGame();
  }
  // The ordinary removal stops at MAX_PATH; what lies deeper goes here.
  void TearDown() override {
    LaunchFixture::TearDown();
    removeTreeLong(folder);
  }

  // Runs the launcher and checks what holds for every case: it ended by itself with exit code 1 (a
  // fault ends with its exception code instead), raised no box, left no temporary file, and every
  // file and folder that was there before is still there, unchanged, apart from the spared paths.
  LaunchResult run(const std::string& arguments, const Lines& spared = {"Corvane.json"}) {
    FolderSnapshot before = takeSnapshot(folder);
    LaunchResult result = launch(arguments);
    EXPECT_TRUE(result.ended);
    EXPECT_EQ(result.exitCode, 1u) << "exit code 0x" << std::hex << result.exitCode;
    EXPECT_TRUE(result.boxes.empty());
    FolderSnapshot after = takeSnapshot(folder);
    EXPECT_EQ(lostOrChanged(before, after, spared), Lines{});
    for (const auto& entry : after) EXPECT_EQ(entry.first.find(".tmp"), std::string::npos) << entry.first;
    return result;
  }

  // The game ran with the launcher's defaults: its title, its version text and the standard races.
  void expectDefaults(Report& game) {
    EXPECT_EQ(game["end"], "ok");
    EXPECT_EQ(game["title.final"], "Corvane");
    EXPECT_EQ(game["version"], kDefaultVersion);
    expectStandardRaces(game);
  }
};

// ---- Values of a JSON type that the key does not take. Each type is tried on every key that takes
// another: once on the top-level keys, once on the keys inside the entries and the "Preview" object.

struct WrongType {
  const char* name;
  char kind;             // 'n' number, 's' string, 'a' array, 'o' object, 'z' null, 'b' boolean
  const char* json;      // a value of the type; the object looks like an entry of every list
  const char* settings;  // "Corvane.json" after a start with {"ShowMpqMessage": json}
};

const WrongType kWrongTypes[] = {
    {"Number", 'n', "7.5", "{\n    \"ShowMpqMessage\": 7.5\n}"},
    {"String", 's', "\"data\"", "{\n    \"ShowMpqMessage\": \"data\"\n}"},
    {"Array", 'a', "[\"data\", true]", "{\n    \"ShowMpqMessage\": [\n        \"data\",\n        true\n    ]\n}"},
    {"Object", 'o', R"({"Name": "data", "Enable": true, "Priority": 20, "Skin": "Pirates", "RaceKey": "PIRATE"})",
     "{\n    \"ShowMpqMessage\": {\n        \"Name\": \"data\",\n        \"Enable\": true,\n        \"Priority\": 20,\n"
     "        \"Skin\": \"Pirates\",\n        \"RaceKey\": \"PIRATE\"\n    }\n}"},
    {"Null", 'z', "null", "{\n    \"ShowMpqMessage\": null\n}"},
    {"Boolean", 'b', "false", kSettingsOff},
};

std::string member(const std::string& key, const std::string& value) {
  return "\"" + key + "\": " + value;
}

std::string joined(const Lines& items, const char* open, const char* close) {
  std::string text = open;
  for (size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + items[i];
  return text + close;
}

class WrongTypeLaunch : public HostileLaunch, public ::testing::WithParamInterface<WrongType> {
protected:
  // Adds "key": value to members when the key takes another kind than the value's.
  void addWrong(Lines& members, const std::string& key, char right) {
    if (GetParam().kind != right) members.push_back(member(key, GetParam().json));
  }
};

// No key whose value has the wrong type is used: the game runs with the launcher's defaults, and
// nothing that the object (shaped like an entry) names is loaded or opened.
TEST_P(WrongTypeLaunch, OnTopLevelKeysCountAsMissing) {
  const WrongType& type = GetParam();
  writeFile("Corvane.json", "{\"ShowMpqMessage\": " + std::string(type.json) + "}");
  Lines members;
  for (const char* key : {"ModName", "ModIcon", "ModVersion"}) addWrong(members, key, 's');
  addWrong(members, "Preview", 'o');
  for (const char* key : {"Addons", "Mpqs", "Races"}) addWrong(members, key, 'a');
  writeMod("W", joined(members, "{", "}").c_str());
  addAddon("W", "data");
  addArchive("W", "data");

  run("-mod W");
  EXPECT_EQ(readFile("Corvane.json"), type.settings);
  EXPECT_FALSE(fileExists("Addons.txt"));
  EXPECT_EQ(trace(), startupLines(false) + manifestLine("W", "opened") + launchLines(4, "built-in"));
  EXPECT_EQ(launcherStormLines(), Lines{mpqLine("Corvane.mpq", 9, "1 archive=A1")});
  Report game = report();
  expectDefaults(game);
}

// Entries that are not objects are skipped (races keep their places), keys of the wrong type count as
// missing, and the valid entry after them still loads, opens and counts.
TEST_P(WrongTypeLaunch, InsideEntriesCountAsMissing) {
  const WrongType& type = GetParam();
  const std::string wrong = type.json;
  writeFile("Corvane.json", "{\"ShowMpqMessage\": false}");
  Lines addons, archives, races, preview = {member("Enable", "true")};
  if (type.kind != 'o') addons.push_back(wrong), archives.push_back(wrong), races.push_back(wrong);
  if (type.kind != 's') {
    addons.push_back("{" + member("Name", wrong) + ", \"Enable\": true}");
    archives.push_back("{" + member("Name", wrong) + "}");
    races.push_back("{" + member("Skin", wrong) + ", \"RaceKey\": \"K1\"}");
    races.push_back("{\"Skin\": \"S2\", " + member("RaceKey", wrong) + "}");
    preview.push_back(member("Logo", wrong));
    preview.push_back(member("Info", wrong));
  }
  if (type.kind != 'b') addons.push_back("{\"Name\": \"data\", " + member("Enable", wrong) + "}");
  archives.push_back("{\"Name\": \"data\", " + member("Priority", wrong) + "}");  // 7.5 is no integer
  addons.push_back(R"({"Name": "data", "Enable": true})");
  archives.push_back(R"({"Name": "data"})");
  races.push_back(R"({"Skin": "Pirates", "RaceKey": "PIRATE"})");
  writeMod("E", ("{\"ModName\": \"Entries\", " + member("Preview", joined(preview, "{", "}")) + ", " +
                 member("Addons", joined(addons, "[", "]")) + ", " + member("Mpqs", joined(archives, "[", "]")) + ", " +
                 member("Races", joined(races, "[", "]")) + "}")
                    .c_str());
  addAddon("E", "data");
  addArchive("E", "data");

  run("-mod E");
  EXPECT_EQ(readFile("Corvane.json"), kSettingsOff);
  EXPECT_EQ(readFile("Addons.txt"), "data.dll opens=0\n");
  // A race element that is not an object keeps its place with the defaults.
  Lines skins, keys;
  if (type.kind != 'o') skins.push_back("Default"), keys.push_back("UNKNOWN");
  if (type.kind != 's') skins.insert(skins.end(), {"Default", "S2"}), keys.insert(keys.end(), {"K1", "UNKNOWN"});
  skins.push_back("Pirates"), keys.push_back("PIRATE");
  EXPECT_EQ(trace(), (startupLines(false) + manifestLine("E", "opened") +
                      Lines{"addon .\\mods\\E\\Addons\\data.dll loaded", "archive .\\mods\\E\\Mpqs\\data.mpq 10 opened",
                            "archive .\\mods\\E\\Mpqs\\data.mpq 11 opened", "name Entries"} +
                      launchLines(static_cast<unsigned>(skins.size()), "built-in")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  EXPECT_EQ(game["title.final"], "Entries");
  expectRaces(game, skins, keys);
}

INSTANTIATE_TEST_SUITE_P(EveryType, WrongTypeLaunch, ::testing::ValuesIn(kWrongTypes),
                         [](const ::testing::TestParamInfo<WrongType>& info) { return std::string(info.param.name); });

// ---- Size and depth.

// Nesting 100,000 deep in the manifest and in the settings file. The settings file is read (its true
// counts) but not rewritten: its indented text would pass 256 MiB, so it keeps its own bytes.
TEST_F(HostileLaunch, NestingAHundredThousandDeepIsReadWithoutAFault) {
  const std::string arrays = std::string(100000, '[') + std::string(100000, ']');
  std::string objects;
  for (int i = 0; i < 100000; ++i) objects += "{\"a\": ";
  objects += "0" + std::string(100000, '}');
  const std::string settings = "{\"ShowMpqMessage\": true, \"Nest\": " + arrays + "}";
  writeFile("Corvane.json", settings);
  writeMod("Deep", ("{\"ModName\": \"Deep\", \"Preview\": {\"Enable\": null}, \"Nest\": " + arrays +
                    ", \"Objects\": " + objects + ", \"Races\": " + arrays +
                    ", \"Mpqs\": [{\"Name\": \"data\", \"Priority\": " + arrays + "}]}")
                       .c_str());
  addArchive("Deep", "data");

  run("-mod Deep", {});
  EXPECT_EQ(readFile("Corvane.json"), settings);
  EXPECT_EQ(trace(), (startupLines(true) + manifestLine("Deep", "opened") +
                      Lines{"archive .\\mods\\Deep\\Mpqs\\data.mpq 10 opened", "name Deep"} + launchLines(1, "off")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  EXPECT_EQ(game["title.final"], "Deep");
  expectRaces(game, {"Default"}, {"UNKNOWN"});  // the one race element, an array, keeps its place
}

TEST_F(HostileLaunch, ManifestOfFiftyMegabytesLoadsWhole) {
  writeFile("Corvane.json", "{\"ShowMpqMessage\": false}");
  std::string manifest =
      R"({"ModName": "Big", "Preview": {"Enable": [true]}, "Races": [{"Skin": "Pirates", "RaceKey": "PIRATE"}], "Items": [)";
  for (int i = 0; manifest.size() < (50u << 20); ++i)
    manifest += (i ? ", " : "") + std::string("{\"Id\": ") + std::to_string(i) + ", \"Name\": \"item-" +
                std::to_string(i) + "\", \"Tags\": [\"a\", \"b\"], \"Weight\": 1.5, \"Flag\": true, \"Note\": null}";
  // Keys after the big array are found as well.
  manifest += R"(], "ModVersion": "after the items"})";
  writeMod("Big", manifest.c_str());

  run("-mod Big");
  EXPECT_EQ(readFile("Corvane.json"), kSettingsOff);
  EXPECT_EQ(trace(), (startupLines(false) + manifestLine("Big", "opened") +
                      Lines{"name Big", "version after the items written"} + launchLines(1, "off")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  EXPECT_EQ(game["title.final"], "Big");
  EXPECT_EQ(game["version"], "after the items");
  expectRaces(game, {"Pirates"}, {"PIRATE"});
}

// Ten thousand archives that fail, a thousand races (255 kept) and every text ten thousand long.
TEST_F(HostileLaunch, TenThousandArchivesAThousandRacesAndNamesOfTenThousandCharacters) {
  writeFile("Corvane.json", "{\"ShowMpqMessage\": false}");
  auto longText = [](char c) { return std::string(10000, c); };
  std::string archives;
  for (int i = 0; i < 10000; ++i) archives += "{\"Name\": \"m" + std::to_string(i) + "\"}, ";
  archives += "{\"Name\": \"" + longText('M') + "\"}, {\"Name\": \"data\"}";
  std::string races = "{\"Skin\": \"" + longText('S') + "\", \"RaceKey\": \"" + longText('K') + "\"}";
  for (int i = 1; i < 1000; ++i)
    races += ", {\"Skin\": \"S" + std::to_string(i) + "\", \"RaceKey\": \"K" + std::to_string(i) + "\"}";
  writeMod("Many",
           ("{\"ModName\": \"" + longText('N') + "\", \"ModVersion\": \"" + longText('V') + "\", \"ModIcon\": \"" +
            longText('I') + "\", \"Preview\": {\"Enable\": {\"on\": true}, \"Logo\": \"" + longText('G') +
            "\", \"Info\": \"" + longText('F') + "\"}, \"Addons\": [{\"Name\": \"" + longText('A') +
            "\", \"Enable\": true}, {\"Name\": \"data\", \"Enable\": true}], \"Mpqs\": [" + archives +
            "], \"Races\": [" + races + "]}")
               .c_str());
  addAddon("Many", "data");
  addArchive("Many", "data");

  run("-mod Many");
  EXPECT_EQ(readFile("Corvane.json"), kSettingsOff);
  EXPECT_EQ(readFile("Addons.txt"), "data.dll opens=0\n");
  Lines expected = startupLines(false) + manifestLine("Many", "opened") +
                   Lines{"addon .\\mods\\Many\\Addons\\" + longText('A') + ".dll failed",
                         "addon .\\mods\\Many\\Addons\\data.dll loaded"};
  for (unsigned i = 0; i < 10000; ++i)
    expected.push_back("archive .\\mods\\Many\\Mpqs\\m" + std::to_string(i) + ".mpq " + std::to_string(10 + i) +
                       " failed");
  expected = expected +
             Lines{"archive .\\mods\\Many\\Mpqs\\" + longText('M') + ".mpq 10010 failed",
                   "archive .\\mods\\Many\\Mpqs\\data.mpq 10011 opened", "name " + longText('N'),
                   "icon .\\mods\\Many\\" + longText('I') + ".ico", "version " + longText('V') + " written"} +
             launchLines(255, "off");
  EXPECT_EQ(trace(), expected);
  Lines storm = launcherStormLines();
  ASSERT_EQ(storm.size(), 10003u);
  EXPECT_EQ(storm[10001], mpqLine(".\\mods\\Many\\Mpqs\\data.mpq", 10011, "1 archive=A1"));
  EXPECT_EQ(storm[10002], mpqLine("Corvane.mpq", 9, "1 archive=A2"));

  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  // The game reads at most 255 characters of its title back, and shows "?" for a text past 200.
  EXPECT_EQ(game["title.final"], std::string(255, 'N'));
  EXPECT_EQ(game["version"], "?");
  // The icon path cannot be read: the launcher's own icon stands in.
  EXPECT_EQ(game["icon.war3x"], game["icon.corvane.real"]);
  EXPECT_EQ(game["race.count"], "255");
  EXPECT_EQ(firstWord(game["race.skin.1"]), "?");
  EXPECT_EQ(firstWord(game["race.key.1"]), "?");
  EXPECT_EQ(firstWord(game["race.skin.2"]), "S1");
  EXPECT_EQ(firstWord(game["race.key.255"]), "K254");
}

// ---- Paths and names.

// Files past MAX_PATH exist but cannot be reached through the 8-bit calls: they fail like missing
// ones. Names with bytes 0x80 to 0xFF load, open and reach the game unchanged.
TEST_F(HostileLaunch, PathsPastMaxPathFailAndHighBytesPassUnchanged) {
  writeFile("Corvane.json", "{\"ShowMpqMessage\": false}");
  const std::string mod = "Hi\xC0\xC9\xE9\xFF" + std::string(100, 'p');
  const std::string addon = "Add\xE9\xFC", archive = "Dat\xE9\xF1";
  const std::string deep = std::string(200, 'd');  // one name of 200: every path through it passes 260
  const std::string name = byteRange(0x80, 0xFF), skin = byteRange(0x80, 0xBF), key = byteRange(0xC0, 0xFF);
  const std::string version = "v\x80\x9F\xA0\xFF";
  writeMod(mod, ("{\"ModName\": \"" + name + "\", \"ModVersion\": \"" + version + "\", \"ModIcon\": \"" + deep +
                 "\", \"Preview\": {\"Enable\": true, \"Logo\": \"" + deep + "\", \"Info\": \"" + name +
                 "\"}, \"Addons\": [{\"Name\": \"" + addon +
                 "\", \"Enable\": true}, {\"Name\": \"doc\", \"Enable\": true}, "
                 "{\"Name\": \"" +
                 deep + "\", \"Enable\": true}], \"Mpqs\": [{\"Name\": \"" + archive + "\"}, {\"Name\": \"" + deep +
                 "\"}], \"Races\": [{\"Skin\": \"" + skin + "\", \"RaceKey\": \"" + key + "\"}]}")
                    .c_str());
  addAddon(mod, addon);
  addAddon(mod, "doc", "DocumentAddon.dll");
  addArchive(mod, archive);
  const std::string folder = mods(mod) + "\\";
  ASSERT_TRUE(copyFileLong(binFolder() + "MarkerAddon.dll", folder + "Addons\\" + deep + ".dll"));
  ASSERT_TRUE(copyFileLong(testbedFolder() + "mods\\Demo\\Mpqs\\data.mpq", folder + "Mpqs\\" + deep + ".mpq"));
  ASSERT_TRUE(copyFileLong(testbedFolder() + "mods\\Demo\\icon.ico", folder + deep + ".ico"));
  ASSERT_TRUE(copyFileLong(testbedFolder() + "mods\\Demo\\logo.bmp", folder + deep + ".bmp"));

  run("-mod " + mod);
  EXPECT_EQ(readFile("Corvane.json"), kSettingsOff);
  EXPECT_EQ(readFile("Addons.txt"), addon + ".dll opens=0\n");
  EXPECT_EQ(readFile("DocumentAddon.txt"), "exists=yes\n");
  EXPECT_EQ(readFile("configs\\Addon.json"), "{\n    \"Loads\": 1\n}");
  const std::string at = ".\\mods\\" + mod + "\\";
  EXPECT_EQ(trace(), (startupLines(false) + manifestLine(mod, "opened") +
                      Lines{"addon " + at + "Addons\\" + addon + ".dll loaded",
                            "addon " + at + "Addons\\doc.dll loaded", "addon " + at + "Addons\\" + deep + ".dll failed",
                            "archive " + at + "Mpqs\\" + archive + ".mpq 10 opened",
                            "archive " + at + "Mpqs\\" + deep + ".mpq 11 failed", "name " + name,
                            "icon " + at + deep + ".ico", "version " + version + " written"} +
                      launchLines(1, at + deep + ".bmp")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  // The title goes through the window's wide text and back: every byte of the code page survives.
  EXPECT_EQ(game["title.final"], name);
  EXPECT_EQ(game["version"], printable(version, 256));
  // An icon path that the runtime opens but the loader refuses gives the loader's own answer, no icon;
  // one that the runtime refuses too gives the launcher's icon.
  EXPECT_EQ(game["icon.war3x"], underWine() ? "null" : game["icon.corvane.real"]);
  expectRaces(game, {printable(skin, 256)}, {printable(key, 256)});
}

// ---- Settings that cannot be written, and a configuration folder that is a file.

// "Corvane.json" is a folder: nothing is read or written, warnings are off. The mod's folder lies
// past MAX_PATH: the manifest is applied whole where the runtime opens such a path, else missing.
TEST_F(HostileLaunch, SettingsThatAreAFolderAndAModPastMaxPath) {
  makeFolders("Corvane.json");
  writeFile("Corvane.json\\keep.txt", "kept");
  const std::string mod = std::string(200, 'L') + "\\" + std::string(200, 'M');
  ASSERT_TRUE(writeFileLong(mods(mod) + "\\manifest.json", "{\"ModName\": \"Long\", \"Preview\": {\"Enable\": 1}}"));

  run("-mod " + mod, {});
  EXPECT_TRUE(folderExists("Corvane.json"));
  Report game = report();
  if (underWine()) {
    EXPECT_EQ(trace(),
              (startupLines(false) + manifestLine(mod, "opened") + Lines{"name Long"} + launchLines(4, "off")));
    EXPECT_EQ(game["title.final"], "Long");
  } else {
    EXPECT_EQ(trace(), startupLines(false) + manifestLine(mod, "missing") + launchLines(4, "built-in"));
    EXPECT_EQ(game["title.final"], "Corvane");
  }
  EXPECT_EQ(game["end"], "ok");
  expectStandardRaces(game);
}

// A read-only settings file keeps its bytes, and the value read is the one used. An add-on's
// document cannot exist where "Configs" is a file, and the file is left as it is.
TEST_F(HostileLaunch, ReadOnlySettingsAndConfigsThatIsAFile) {
  const std::string settings = "{\"Other\": [1, 2], \"ShowMpqMessage\": true}";
  writeFile("Corvane.json", settings);
  ASSERT_TRUE(SetFileAttributesA("Corvane.json", FILE_ATTRIBUTE_READONLY));
  writeFile("Configs", "a file, not a folder");
  writeMod("RO",
           R"({"ModName": "ReadOnly", "Preview": {"Enable": "true"}, "Addons": [{"Name": "doc", "Enable": true}]})");
  ASSERT_TRUE(SetFileAttributesA("mods\\RO\\manifest.json", FILE_ATTRIBUTE_READONLY));
  addAddon("RO", "doc", "DocumentAddon.dll");

  run("-mod RO", {});
  EXPECT_EQ(readFile("Corvane.json"), settings);
  EXPECT_EQ(readFile("Configs"), "a file, not a folder");
  EXPECT_EQ(readFile("DocumentAddon.txt"), "exists=no\n");
  EXPECT_EQ(trace(), (startupLines(true) + manifestLine("RO", "opened") +
                      Lines{"addon .\\mods\\RO\\Addons\\doc.dll loaded", "name ReadOnly"} + launchLines(4, "off")));
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  EXPECT_EQ(game["title.final"], "ReadOnly");
}

}  // namespace
