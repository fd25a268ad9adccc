// corvane-check run as a real process in fresh game folders: exact output lines and exit statuses.
#include "support/TempFolder.h"
#include "tools/CheckRun.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Build-tree files the cases lay out.
const char kGame[] = "testbed/Game.dll";
const char kArchive[] = "tests/tools/check-fixtures/valid.mpq";
const char kFixtures[] = "tests/tools/check-fixtures/";  // a, b, c, nolist and smpq.mpq
const char kStorm[] = "testbed/Storm.dll";               // read by the Windows program
const char kAddon[] = "testbed/Storm.dll";               // any 32-bit DLL will do as an add-on
const char kProgram[] = "testbed/GameLoader.exe";
const char kDemo[] = "testbed/mods/Demo/";

const char kGameFine[] = "game .\\Game.dll: exports GameMain, imports user32.dll and Storm.dll";
const char kUnread[] = "result: the manifest cannot be read: nothing of the mod is applied";
// What the plan says when the manifest leaves a part to the launcher.
const Lines kNothingAdded = {"add-ons: none", "archives: none"};
const Lines kLauncherLook = {"name \"Corvane\" (the launcher's)", "icon: the launcher's", "version: the launcher's"};
const Lines kDefaultEnd = {"splash on: built-in picture, built-in text",
                           "races: none given: the four standard races are used", kGameFine};

Lines join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class CorvaneCheck : public TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    copyBuild(kStorm, "Storm.dll");
    copyBuild(kGame, "Game.dll");
  }

  // Copies a build-tree file to path in the test's folder, making its folders.
  void copyBuild(const std::string& relative, const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) makeFolders(path.substr(0, slash));
    std::string bytes = readFile(buildFile(relative));
    ASSERT_FALSE(bytes.empty()) << "build file " << relative << " is missing";
    writeFile(path, bytes);
  }

  void writeMod(const std::string& name, const std::string& manifest) {
    makeFolders("mods/" + name);
    writeFile("mods/" + name + "/manifest.json", manifest);
  }

  // Copies fixture archives: {path in the folder, fixture name}.
  void placeArchives(const std::vector<std::pair<std::string, std::string>>& archives) {
    for (const auto& archive : archives) copyBuild(kFixtures + archive.second + ".mpq", archive.first);
  }

  // Runs the checker on mod and compares every output line after the mod's own, and the exit status.
  void expectCheck(const std::string& mod, const Lines& expected, int status) {
    CheckRun run = runCheck({mod});
    ASSERT_TRUE(run.ended);
    Lines all = {"mod " + mod + ": .\\mods\\" + mod + "\\manifest.json"};
    all.insert(all.end(), expected.begin(), expected.end());
    EXPECT_EQ(run.lines, all);
    EXPECT_EQ(run.errorOutput, "");
    EXPECT_EQ(run.exitCode, status);
  }
};

// A 64-bit DLL's headers: "MZ", the pointer to "PE\0\0", an x64 file header and the PE32+ magic.
std::string wideDllBytes() {
  std::string bytes(0x40, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  bytes += std::string("PE\0\0", 4);
  bytes += std::string("\x64\x86\x00\x00", 4);  // machine x64, no sections
  bytes += std::string(12, '\0');
  bytes += std::string("\xF0\x00\x22\x20", 4);  // optional header 240 bytes; executable DLL
  bytes += std::string("\x0B\x02", 2);          // PE32+
  bytes += std::string(238, '\0');
  return bytes;
}

// The sample mod as built (manifest, both add-ons, three archives, icon and logo) in a game folder with
// the engine archive and the game's archives: the files its archives share, and which one serves each.
TEST_F(CorvaneCheck, SampleModLoadsAsWritten) {
  for (const char* file : {"manifest.json", "icon.ico", "logo.bmp", "Addons/DemoTools.dll", "Addons/DemoDisabled.dll",
                           "Mpqs/data.mpq", "Mpqs/patch.mpq", "Mpqs/music.mpq"})
    copyBuild(std::string(kDemo) + file, std::string("mods/Demo/") + file);
  copyBuild("testbed/Corvane.mpq", "Corvane.mpq");
  copyBuild("testbed/game-archives/War3.mpq", "War3.mpq");
  copyBuild("testbed/game-archives/War3x.mpq", "War3x.mpq");
  expectCheck("Demo",
              {"note: Addons[1].Enable: false: the add-on is not loaded",
               "add-on .\\mods\\Demo\\Addons\\DemoTools.dll",
               "archive 10 .\\mods\\Demo\\Mpqs\\data.mpq: 4 files",
               "archive 20 .\\mods\\Demo\\Mpqs\\patch.mpq: 2 files",
               "archive 21 .\\mods\\Demo\\Mpqs\\music.mpq: 1 file",
               "engine archive 9 .\\Corvane.mpq: 3 files",
               "game archive .\\War3.mpq: 2 files",
               "game archive .\\War3x.mpq: 2 files",
               "conflict Shared\\engine-override.txt: data.mpq (10) wins over Corvane.mpq (9)",
               "conflict Shared\\layered.txt: patch.mpq (20) wins over data.mpq (10), Corvane.mpq (9)",
               "conflict war3mapIcon.blp: data.mpq (10); also in the game's War3x.mpq",
               "name \"Corvane Demo\"",
               "icon .\\mods\\Demo\\icon.ico",
               "version \"Corvane Demo 1.0 (every manifest key)\"",
               "splash on: picture .\\mods\\Demo\\logo.bmp, text \"Corvane Demo\\nthree new races, three archives, "
               "one add-on\"",
               "race 1 \"Pirates\" \"PIRATE\"",
               "race 2 \"Dwarves\" \"DWARF\"",
               "race 3 \"Nagas\" \"NAGA\"",
               kGameFine,
               "result: the mod loads as written (1 note)"},
              0);
}

// No manifest (and no game module): nothing of the mod applies, the game does not start either.
TEST_F(CorvaneCheck, MissingManifestAndGame) {
  ASSERT_EQ(remove("Game.dll"), 0);
  makeFolders("mods/Empty");
  expectCheck("Empty",
              {"error: .\\mods\\Empty\\manifest.json: missing: nothing of the mod is applied", "game .\\Game.dll",
               "warning: .\\Game.dll: missing: the game does not start", kUnread},
              2);
}

// The reader's error text at the line and byte column where it stopped: CR LF line ends count as one
// line; a byte order mark stops it at the first byte, with a note of its own; a cut-off text stops after
// its last byte.
TEST_F(CorvaneCheck, ParseErrorsAtLineAndColumn) {
  const struct {
    const char* mod;
    const char* manifest;
    Lines findings;
  } cases[] = {
      {"Comma",
       "{\r\n  \"ModName\": \"x\"\r\n  \"ModIcon\": \"y\"\r\n}\r\n",
       {"error: .\\mods\\Comma\\manifest.json:3:3: Missing a comma or '}' after an object member."}},
      {"Marked",
       "\xEF\xBB\xBF{\"ModName\": \"x\"}",
       {"error: .\\mods\\Marked\\manifest.json:1:1: Invalid value.",
        "note: .\\mods\\Marked\\manifest.json: starts with a UTF-8 byte order mark, which the launcher's "
        "reader does not accept"}},
      {"Cut",
       "{\"Races\": [\n  {\"Skin\": \"A\"},\n  {\"Sk",
       {"error: .\\mods\\Cut\\manifest.json:3:7: Missing a closing quotation mark in string."}},
  };
  for (const auto& parse : cases) {
    writeMod(parse.mod, parse.manifest);
    expectCheck(parse.mod, join({parse.findings, {kGameFine, kUnread}}), 2);
  }
}

// Every key with a value of the wrong type, and what the launcher does instead.
TEST_F(CorvaneCheck, WrongTypesAndSkippedEntries) {
  writeMod("Types", R"({
  "ModName": 12,
  "ModIcon": ["icon"],
  "ModVersion": null,
  "Preview": {"Enable": 1, "Logo": false, "Info": {}},
  "Addons": [
    {"Name": "one", "Enable": "true"},
    {"Name": 2, "Enable": true},
    "three",
    {"Enable": true},
    {"Name": "five"},
    {"Name": "six", "Enable": false}
  ],
  "Mpqs": [
    {"Name": "a", "Priority": "20"},
    {"Name": "b", "Priority": 1.5},
    {"Priority": 30},
    7,
    {"Name": ["c"]}
  ],
  "Races": [{"Skin": 1, "RaceKey": null}, [], {}]
})");
  copyBuild(kArchive, "mods/Types/Mpqs/a.mpq");
  copyBuild(kArchive, "mods/Types/Mpqs/b.mpq");
  expectCheck(
      "Types",
      join({{"warning: ModName: a number, not a string: the title stays \"Corvane\"",
             "warning: ModIcon: an array, not a string: the launcher's icon is used",
             "warning: ModVersion: null, not a string: the launcher's version text stays",
             "warning: Preview.Enable: a number, not true or false: the splash is off",
             "warning: Preview.Logo: false, not a string: the splash shows its built-in picture",
             "warning: Preview.Info: an object, not a string: the splash shows its built-in text",
             "warning: Addons[0].Enable: a string, not true or false: the add-on is not loaded",
             "warning: Addons[1].Name: a number, not a string: the entry is skipped",
             "warning: Addons[2]: a string, not an object: the entry is skipped",
             "warning: Addons[3]: no \"Name\": the entry is skipped",
             "warning: Addons[4]: no \"Enable\": the add-on is not loaded",
             "note: Addons[5].Enable: false: the add-on is not loaded",
             "warning: Mpqs[0].Priority: a string, not an integer: an automatic priority is used",
             "warning: Mpqs[1].Priority: a floating-point number, not an integer: an automatic priority is used",
             "warning: Mpqs[2]: no \"Name\": the entry is skipped",
             "warning: Mpqs[3]: a number, not an object: the entry is skipped",
             "warning: Mpqs[4].Name: an array, not a string: the entry is skipped",
             "warning: Races[0].Skin: a number, not a string: \"Default\" is used",
             "warning: Races[0].RaceKey: null, not a string: \"UNKNOWN\" is used",
             "warning: Races[1]: an array, not an object: \"Default\" and \"UNKNOWN\" are used",
             "note: Races[2]: no \"Skin\": \"Default\" is used",
             "note: Races[2]: no \"RaceKey\": \"UNKNOWN\" is used",
             "add-ons: none",
             "archive 10 .\\mods\\Types\\Mpqs\\a.mpq: 1 file",
             "archive 11 .\\mods\\Types\\Mpqs\\b.mpq: 1 file",
             "conflict readme.txt: b.mpq (11) wins over a.mpq (10)"},
            kLauncherLook,
            {"splash off", "race 1 \"Default\" \"UNKNOWN\"", "race 2 \"Default\" \"UNKNOWN\"",
             "race 3 \"Default\" \"UNKNOWN\"", kGameFine,
             "result: 19 warnings, 3 notes: something will not load as written"}}),
      1);
}

// Whole keys of the wrong type lose everything under them; the root must be an object.
TEST_F(CorvaneCheck, WrongContainers) {
  writeMod("Flat", R"({"Addons": {"Name": "x"}, "Mpqs": "data", "Preview": true, "Races": 4})");
  expectCheck("Flat",
              join({{"warning: Addons: an object, not an array: no add-on is loaded",
                     "warning: Mpqs: a string, not an array: no archive is opened",
                     "warning: Preview: true, not an object: the splash keeps its defaults",
                     "warning: Races: a number, not an array: the four standard races are used"},
                    kNothingAdded,
                    kLauncherLook,
                    kDefaultEnd,
                    {"result: 4 warnings: something will not load as written"}}),
              1);

  writeMod("List", R"([{"ModName": "x"}])");
  expectCheck("List",
              join({{"warning: .\\mods\\List\\manifest.json: an array, not an object: nothing of the mod is applied"},
                    kNothingAdded,
                    kLauncherLook,
                    kDefaultEnd,
                    {"result: 1 warning: something will not load as written"}}),
              1);
}

// Unknown keys are notes (with the key meant, when only the letter case differs); a logo under a splash
// that is off is never read; a key given twice is read once.
TEST_F(CorvaneCheck, UnknownAndRepeatedKeys) {
  copyBuild(kAddon, "mods/Keys/Addons/tools.dll");
  writeMod("Keys", R"({
  "modname": "lower",
  "Author": "someone",
  "Addons": [{"Name": "tools", "Enable": true, "Version": 2}],
  "Preview": {"Enable": false, "logo": "x", "Logo": "gone"},
  "Races": [{"Skin": "S", "RaceKey": "K", "skin": "s"}]
})");
  expectCheck("Keys",
              join({{"note: modname: unknown key, not read by the launcher (it reads \"ModName\")",
                     "note: Author: unknown key, not read by the launcher",
                     "note: Addons[0].Version: unknown key, not read by the launcher",
                     "note: Preview.logo: unknown key, not read by the launcher (it reads \"Logo\")",
                     "note: Races[0].skin: unknown key, not read by the launcher (it reads \"Skin\")",
                     "add-on .\\mods\\Keys\\Addons\\tools.dll", "archives: none"},
                    kLauncherLook,
                    {"splash off", "race 1 \"S\" \"K\"", kGameFine, "result: the mod loads as written (5 notes)"}}),
              0);

  writeMod("Twice", R"({"ModName": "first", "Mpqs": [{"Name": "a", "Name": "b"}], "ModName": "second"})");
  copyBuild(kArchive, "mods/Twice/Mpqs/a.mpq");
  expectCheck("Twice",
              join({{"warning: Mpqs[0].Name: given again: only the first is read",
                     "warning: ModName: given again: only the first is read", "add-ons: none",
                     "archive 10 .\\mods\\Twice\\Mpqs\\a.mpq: 1 file", "name \"first\"", "icon: the launcher's",
                     "version: the launcher's"},
                    kDefaultEnd,
                    {"result: 2 warnings: something will not load as written"}}),
              1);
}

// The running maximum from 9: automatic priorities from 10, always above every explicit one met
// before; nameless entries do not count; unsigned 32-bit arithmetic throughout. Every name held by more
// than one archive is served from the highest priority, the later-opened among equal ones (nine over
// five); the game's own archives are named without a winner.
TEST_F(CorvaneCheck, ArchivePrioritiesAndConflicts) {
  placeArchives({{"mods/Order/Mpqs/one.mpq", "a"},
                 {"mods/Order/Mpqs/two.mpq", "b"},
                 {"mods/Order/Mpqs/three.mpq", "nolist"},
                 {"mods/Order/Mpqs/four.mpq", "c"},
                 {"mods/Order/Mpqs/five.mpq", "c"},
                 {"mods/Order/Mpqs/six.mpq", "valid"},
                 {"mods/Order/Mpqs/seven.mpq", "valid"},
                 {"mods/Order/Mpqs/eight.mpq", "valid"},
                 {"mods/Order/Mpqs/nine.mpq", "a"},
                 {"Corvane.mpq", "b"},
                 {"War3x.mpq", "a"}});
  writeMod("Order", R"({"Mpqs": [
    {"Name": "one"},
    {"Name": "two", "Priority": 20},
    {"Name": "three", "Priority": 0},
    {"Priority": 50},
    {"Name": "four", "Priority": 5},
    {"Name": "five"},
    {"Name": "six", "Priority": -5},
    {"Name": "seven", "Priority": 4294967296},
    {"Name": "eight"},
    {"Name": "nine", "Priority": 22}
  ]})");
  expectCheck(
      "Order",
      join({{"warning: Mpqs[3]: no \"Name\": the entry is skipped",
             "warning: Mpqs[6].Priority: -5 is not an unsigned 32-bit number: taken as 4294967291",
             "warning: Mpqs[7].Priority: 4294967296 is not an unsigned 32-bit number: taken as 0, an automatic "
             "priority",
             "add-ons: none",
             "archive 10 .\\mods\\Order\\Mpqs\\one.mpq: 2 files",
             "archive 20 .\\mods\\Order\\Mpqs\\two.mpq: 2 files",
             "archive 21 .\\mods\\Order\\Mpqs\\three.mpq: no listfile",
             "note: .\\mods\\Order\\Mpqs\\three.mpq: no listfile: its conflicts with other archives cannot be known",
             "archive 5 .\\mods\\Order\\Mpqs\\four.mpq: 2 files",
             "archive 22 .\\mods\\Order\\Mpqs\\five.mpq: 2 files",
             "archive 4294967291 .\\mods\\Order\\Mpqs\\six.mpq: 1 file",
             "archive 4294967292 .\\mods\\Order\\Mpqs\\seven.mpq: 1 file",
             "archive 4294967293 .\\mods\\Order\\Mpqs\\eight.mpq: 1 file",
             "archive 22 .\\mods\\Order\\Mpqs\\nine.mpq: 2 files",
             "engine archive 9 .\\Corvane.mpq: 2 files",
             "game archive .\\War3x.mpq: 2 files",
             "conflict a.txt: nine.mpq (22) wins over one.mpq (10); also in the game's War3x.mpq",
             "conflict b.txt: two.mpq (20) wins over Corvane.mpq (9)",
             "conflict c.txt: five.mpq (22) wins over four.mpq (5)",
             "conflict readme.txt: eight.mpq (4294967293) wins over seven.mpq (4294967292), six.mpq (4294967291)",
             "conflict shared.txt: nine.mpq (22) wins over five.mpq (22), two.mpq (20), one.mpq (10), Corvane.mpq "
             "(9), four.mpq (5); also in the game's War3x.mpq"},
            kLauncherLook,
            kDefaultEnd,
            {"result: 3 warnings, 1 note: something will not load as written"}}),
      1);
}

// One entry of "archives" as the JSON report writes it; strings come quoted.
std::string archiveJson(const std::vector<std::string>& values) {
  const char* const keys[] = {"name", "path", "kind", "priority", "opens", "error", "files", "listfile"};
  std::string text = "    {\n";
  for (size_t i = 0; i < values.size(); ++i)
    text += std::string("      \"") + keys[i] + "\": " + values[i] + (i + 1 < values.size() ? ",\n" : "\n");
  return text + "    }";
}

// The same findings as one JSON object: every archive, every conflict and every finding.
TEST_F(CorvaneCheck, JsonReport) {
  placeArchives({{"mods/Json/Mpqs/one.mpq", "a"}, {"mods/Json/Mpqs/two.mpq", "b"}, {"War3x.mpq", "c"}});
  writeMod("Json", R"({"Mpqs": [{"Name": "one", "Priority": 15}, {"Name": "two", "Priority": 15}, {"Name": "gone"}]})");
  CheckRun run = runCheck({"--json", "Json"});
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 1);
  std::string text;
  for (const std::string& line : run.lines) text += line + "\n";
  const std::string mpqs = R"(".\\mods\\Json\\Mpqs\\)";  // as JSON writes the path
  EXPECT_EQ(
      text,
      "{\n  \"mod\": \"Json\",\n  \"archives\": [\n" +
          archiveJson({"\"one.mpq\"", mpqs + "one.mpq\"", "\"mod\"", "15", "true", "null", "2", "true"}) + ",\n" +
          archiveJson({"\"two.mpq\"", mpqs + "two.mpq\"", "\"mod\"", "15", "true", "null", "2", "true"}) + ",\n" +
          archiveJson({"\"gone.mpq\"", mpqs + "gone.mpq\"", "\"mod\"", "16", "false", "\"missing\"", "null", "false"}) +
          ",\n" + archiveJson({"\"War3x.mpq\"", R"(".\\War3x.mpq")", "\"game\"", "null", "true", "null", "2", "true"}) +
          R"json(
  ],
  "conflicts": [
    {
      "file": "shared.txt",
      "winner": "two.mpq",
      "hidden": [
        "one.mpq"
      ],
      "game": [
        "War3x.mpq"
      ]
    }
  ],
  "findings": [
    {
      "severity": "warning",
      "subject": ".\\mods\\Json\\Mpqs\\gone.mpq",
      "text": "missing: the archive does not open (\"Failed to open gone.mpq\")"
    }
  ],
  "result": "result: 1 warning: something will not load as written"
}
)json");
}

// Names that reach outside .\mods\NAME\ are warned about, and still used as the launcher uses them: here
// an archive of the mod is the game's own War3x.mpq. "$schema" is for editors and passes unremarked.
TEST_F(CorvaneCheck, NamesLeavingTheModFolder) {
  copyBuild(kAddon, "mods/Out/tools.dll");
  makeFolders("mods/Out/Addons");
  copyBuild(std::string(kDemo) + "icon.ico", "mods/Out/icon.ico");
  placeArchives({{"War3x.mpq", "a"}, {"mods/Out/Mpqs/v1..2.mpq", "b"}});
  writeMod("Out", R"({"$schema": "../../manifest.schema.json",
    "Addons": [{"Name": "..\\tools", "Enable": true}],
    "Mpqs": [{"Name": "..\\..\\..\\War3x"}, {"Name": "v1..2"}],
    "ModIcon": "\\icon",
    "Preview": {"Enable": false, "Logo": "D:logo"}})");
  const char* outside = " reaches outside the mod folder: the launcher uses it all the same";
  expectCheck("Out",
              {"warning: Addons[0].Name: \"..\\\\tools\"" + std::string(outside),
               "warning: Mpqs[0].Name: \"..\\\\..\\\\..\\\\War3x\"" + std::string(outside),
               "warning: ModIcon: \"\\\\icon\"" + std::string(outside),
               "warning: Preview.Logo: \"D:logo\"" + std::string(outside), "add-on .\\mods\\Out\\Addons\\..\\tools.dll",
               "archive 10 .\\mods\\Out\\Mpqs\\..\\..\\..\\War3x.mpq: 2 files",
               "archive 11 .\\mods\\Out\\Mpqs\\v1..2.mpq: 2 files", "game archive .\\War3x.mpq: 2 files",
               "conflict a.txt: ..\\..\\..\\War3x.mpq (10); also in the game's War3x.mpq",
               "conflict shared.txt: v1..2.mpq (11) wins over ..\\..\\..\\War3x.mpq (10); also in the game's War3x.mpq",
               "name \"Corvane\" (the launcher's)", "icon .\\mods\\Out\\\\icon.ico", "version: the launcher's",
               "splash off", "races: none given: the four standard races are used", kGameFine,
               "result: 4 warnings: something will not load as written"},
              1);
}

// An archive made by StormLib's smpq, compressed and encrypted: StormLib reads its listfile and files;
// the stand-in Storm.dll of the Windows tests reads only files stored whole, so there it has no listfile.
TEST_F(CorvaneCheck, CompressedArchiveOfStormLib) {
  placeArchives({{"mods/Packed/Mpqs/packed.mpq", "smpq"}, {"mods/Packed/Mpqs/plain.mpq", "b"}});
  writeMod("Packed", R"({"Mpqs": [{"Name": "packed"}, {"Name": "plain"}]})");
#ifdef _WIN32
  const Lines archives = {
      "archive 10 .\\mods\\Packed\\Mpqs\\packed.mpq: no listfile",
      "note: .\\mods\\Packed\\Mpqs\\packed.mpq: no listfile: its conflicts with other archives cannot be known",
      "archive 11 .\\mods\\Packed\\Mpqs\\plain.mpq: 2 files"};
  const char* result = "result: the mod loads as written (1 note)";
#else
  const Lines archives = {"archive 10 .\\mods\\Packed\\Mpqs\\packed.mpq: 2 files",
                          "archive 11 .\\mods\\Packed\\Mpqs\\plain.mpq: 2 files",
                          "conflict b.txt: plain.mpq (11) wins over packed.mpq (10)",
                          "conflict shared.txt: plain.mpq (11) wins over packed.mpq (10)"};
  const char* result = "result: the mod loads as written";
#endif
  expectCheck("Packed", join({{"add-ons: none"}, archives, kLauncherLook, kDefaultEnd, {result}}), 0);
}

// Files named by the manifest that are missing or not of the format the launcher hands them to.
TEST_F(CorvaneCheck, FilesThatDoNotLoad) {
  writeMod("Files", R"({
  "Addons": [
    {"Name": "absent", "Enable": true},
    {"Name": "program", "Enable": true},
    {"Name": "wide", "Enable": true},
    {"Name": "text", "Enable": true},
    {"Name": "fine", "Enable": true}
  ],
  "Mpqs": [{"Name": "absent"}, {"Name": "text"}, {"Name": "shifted"}, {"Name": "aligned"}, {"Name": "damaged"},
           {"Name": "folder"}],
  "ModIcon": "picture",
  "Preview": {"Logo": "icon", "Info": "tab\there \"quoted\""}
})");
  copyBuild(kProgram, "mods/Files/Addons/program.dll");
  writeFile("mods/Files/Addons/wide.dll", wideDllBytes());
  writeFile("mods/Files/Addons/text.dll", "MZ is not enough");
  copyBuild(kAddon, "mods/Files/Addons/fine.dll");
  std::string archive = readFile(buildFile(kArchive));
  makeFolders("mods/Files/Mpqs");
  writeFile("mods/Files/Mpqs/text.mpq", "not an archive at all");
  // The archive library looks for the header at multiples of 512 bytes only.
  writeFile("mods/Files/Mpqs/shifted.mpq", std::string(100, '\0') + archive);
  writeFile("mods/Files/Mpqs/aligned.mpq", std::string(512, '\0') + archive);
  std::string damaged = archive;
  damaged[17] = 0x10;  // the hash table starts 4 KiB further on, past the end
  writeFile("mods/Files/Mpqs/damaged.mpq", damaged);
  makeFolders("mods/Files/Mpqs/folder.mpq");
  copyBuild(std::string(kDemo) + "logo.bmp", "mods/Files/picture.ico");
  copyBuild(std::string(kDemo) + "icon.ico", "mods/Files/icon.bmp");
  expectCheck("Files",
              {"add-on .\\mods\\Files\\Addons\\absent.dll",
               "warning: .\\mods\\Files\\Addons\\absent.dll: missing: the add-on does not run",
               "add-on .\\mods\\Files\\Addons\\program.dll",
               "warning: .\\mods\\Files\\Addons\\program.dll: a program, not a 32-bit DLL: the add-on does not run",
               "add-on .\\mods\\Files\\Addons\\wide.dll",
               "warning: .\\mods\\Files\\Addons\\wide.dll: a 64-bit image, not a 32-bit DLL: the add-on does not run",
               "add-on .\\mods\\Files\\Addons\\text.dll",
               "warning: .\\mods\\Files\\Addons\\text.dll: not a PE image: the add-on does not run",
               "add-on .\\mods\\Files\\Addons\\fine.dll",
               "archive 10 .\\mods\\Files\\Mpqs\\absent.mpq",
               "warning: .\\mods\\Files\\Mpqs\\absent.mpq: missing: the archive does not open (\"Failed to open "
               "absent.mpq\")",
               "archive 11 .\\mods\\Files\\Mpqs\\text.mpq",
               "warning: .\\mods\\Files\\Mpqs\\text.mpq: not an archive (no MPQ header): the archive does not open "
               "(\"Failed to open text.mpq\")",
               "archive 12 .\\mods\\Files\\Mpqs\\shifted.mpq",
               "warning: .\\mods\\Files\\Mpqs\\shifted.mpq: not an archive (no MPQ header): the archive does not "
               "open (\"Failed to open shifted.mpq\")",
               "archive 13 .\\mods\\Files\\Mpqs\\aligned.mpq: 1 file",
               "archive 14 .\\mods\\Files\\Mpqs\\damaged.mpq",
               "warning: .\\mods\\Files\\Mpqs\\damaged.mpq: damaged tables: the archive does not open (\"Failed to "
               "open damaged.mpq\")",
               "archive 15 .\\mods\\Files\\Mpqs\\folder.mpq",
               "warning: .\\mods\\Files\\Mpqs\\folder.mpq: unreadable: the archive does not open (\"Failed to open "
               "folder.mpq\")",
               "name \"Corvane\" (the launcher's)",
               "icon .\\mods\\Files\\picture.ico",
               "warning: .\\mods\\Files\\picture.ico: not an ICO file: the game gets no icon",
               "version: the launcher's",
               "splash on: picture .\\mods\\Files\\icon.bmp, text \"tab\\there \\\"quoted\\\"\"",
               "warning: .\\mods\\Files\\icon.bmp: not a BMP file: no splash is shown",
               "races: none given: the four standard races are used",
               kGameFine,
               "result: 11 warnings: something will not load as written"},
              1);
}

// A missing icon and logo fall back to the launcher's own pictures.
TEST_F(CorvaneCheck, MissingPictures) {
  writeMod("Bare", R"({"ModName": "Bare", "ModIcon": "gone", "ModVersion": "1.0", "Preview": {"Logo": "gone"}})");
  expectCheck("Bare",
              {"add-ons: none", "archives: none", "name \"Bare\"", "icon .\\mods\\Bare\\gone.ico",
               "warning: .\\mods\\Bare\\gone.ico: missing: the launcher's icon is used", "version \"1.0\"",
               "splash on: picture .\\mods\\Bare\\gone.bmp, built-in text",
               "warning: .\\mods\\Bare\\gone.bmp: missing: the splash shows its built-in picture",
               "races: none given: the four standard races are used", kGameFine,
               "result: 2 warnings: something will not load as written"},
              1);
}

// The game keeps its race count in one byte: races after the 255th are dropped. An element that is not
// an object keeps its place and counts.
TEST_F(CorvaneCheck, RacesBeyondTheLimit) {
  std::string races;
  for (int i = 0; i < 300; ++i) {
    if (i) races += ",";
    races += i == 10 ? std::string("\"loose\"") : "{\"Skin\": \"S" + std::to_string(i) + "\", \"RaceKey\": \"K\"}";
  }
  writeMod("Many", "{\"Races\": [" + races + "]}");
  CheckRun run = runCheck({"Many"});
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 1);
  const size_t firstRace = 9;  // after the mod line, the two warnings and six lines of the plan
  ASSERT_EQ(run.lines.size(), firstRace + 255 + 2);
  EXPECT_EQ(run.lines[1], "warning: Races[10]: a string, not an object: \"Default\" and \"UNKNOWN\" are used");
  EXPECT_EQ(run.lines[2], "warning: Races[255]: beyond 255 races: 45 entries from here on are dropped");
  EXPECT_EQ(run.lines[firstRace - 1], "splash on: built-in picture, built-in text");
  EXPECT_EQ(run.lines[firstRace], "race 1 \"S0\" \"K\"");
  EXPECT_EQ(run.lines[firstRace + 10], "race 11 \"Default\" \"UNKNOWN\"");
  EXPECT_EQ(run.lines[firstRace + 254], "race 255 \"S254\" \"K\"");
  EXPECT_EQ(run.lines[firstRace + 255], kGameFine);
  EXPECT_EQ(run.lines.back(), "result: 2 warnings: something will not load as written");
}

// Game.dll variants: no GameMain export, no user32.dll import, no Storm.dll import, not a DLL.
TEST_F(CorvaneCheck, GameModule) {
  writeMod("Plain", "{}");
  const Lines plan = join({kNothingAdded, kLauncherLook, {kDefaultEnd[0], kDefaultEnd[1], "game .\\Game.dll"}});
  const struct {
    const char* module;
    const char* finding;
  } variants[] = {
      {"testbed/variants/nogamemain/Game.dll",
       "warning: .\\Game.dll: does not export GameMain: the game does not start"},
      {"testbed/variants/nouser32/Game.dll",
       "warning: .\\Game.dll: does not import user32.dll: the game keeps its own title, cursor and icon"},
      {"testbed/variants/nostorm/Game.dll",
       "warning: .\\Game.dll: does not import Storm.dll: the launcher's archive hooks and code patches are not "
       "installed"},
      {kProgram, "warning: .\\Game.dll: a program, not a 32-bit DLL: the game does not start"},
  };
  for (const auto& variant : variants) {
    SCOPED_TRACE(variant.module);
    copyBuild(variant.module, "Game.dll");
    expectCheck("Plain", join({plan, {variant.finding, "result: 1 warning: something will not load as written"}}), 1);
  }
}

// Without a mod name: a usage line on standard error only.
TEST_F(CorvaneCheck, Usage) {
  CheckRun run = runCheck({});
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.lines, Lines{});
  EXPECT_EQ(linesOf(run.errorOutput), Lines{"usage: corvane-check [--json] NAME"});
  EXPECT_EQ(run.exitCode, 2);
}

}  // namespace
