// corvane-check run as a real process in fresh game folders: exact output lines and exit statuses.
#include "support/TempFolder.h"
#include "tools/CheckRun.h"

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Build-tree files the cases lay out.
const char kGame[] = "testbed/Game.dll";
const char kArchive[] = "tests/tools/check-fixtures/valid.mpq";
const char kAddon[] = "testbed/Storm.dll";          // any 32-bit DLL will do as an add-on
const char kProgram[] = "testbed/GameLoader.exe";
const char kDemo[] = "testbed/mods/Demo/";

const char kGameFine[] = "game .\\Game.dll: exports GameMain, imports user32.dll and Storm.dll";

class CorvaneCheck : public TempFolderTest {
protected:
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

  // Runs the checker on mod and compares every output line and the exit status.
  void expectCheck(const std::string& mod, const Lines& expected, int status) {
    CheckRun run = runCheck({mod});
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.lines, expected);
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
  bytes += std::string("\x64\x86\x00\x00", 4);     // machine x64, no sections
  bytes += std::string(12, '\0');
  bytes += std::string("\xF0\x00\x22\x20", 4);     // optional header 240 bytes; executable DLL
  bytes += std::string("\x0B\x02", 2);             // PE32+
  bytes += std::string(238, '\0');
  return bytes;
}

// The sample mod as built: manifest, both add-ons, three archives, icon and logo.
TEST_F(CorvaneCheck, SampleModLoadsAsWritten) {
  for (const char* file : {"manifest.json", "icon.ico", "logo.bmp", "Addons/DemoTools.dll", "Addons/DemoDisabled.dll",
                           "Mpqs/data.mpq", "Mpqs/patch.mpq", "Mpqs/music.mpq"})
    copyBuild(std::string(kDemo) + file, std::string("mods/Demo/") + file);
  copyBuild(kGame, "Game.dll");
  expectCheck("Demo",
              {"mod Demo: .\\mods\\Demo\\manifest.json",
               "note: Addons[1].Enable: false: the add-on is not loaded",
               "add-on .\\mods\\Demo\\Addons\\DemoTools.dll",
               "archive 10 .\\mods\\Demo\\Mpqs\\data.mpq",
               "archive 20 .\\mods\\Demo\\Mpqs\\patch.mpq",
               "archive 21 .\\mods\\Demo\\Mpqs\\music.mpq",
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
  makeFolders("mods/Empty");
  expectCheck("Empty",
              {"mod Empty: .\\mods\\Empty\\manifest.json",
               "error: .\\mods\\Empty\\manifest.json: missing: nothing of the mod is applied",
               "game .\\Game.dll",
               "warning: .\\Game.dll: missing: the game does not start",
               "result: the manifest cannot be read: nothing of the mod is applied"},
              2);
}

// The reader's error text at the line and byte column where it stopped; CR LF line ends count as one line.
TEST_F(CorvaneCheck, ParseErrorsAtLineAndColumn) {
  copyBuild(kGame, "Game.dll");
  writeMod("Comma", "{\r\n  \"ModName\": \"x\"\r\n  \"ModIcon\": \"y\"\r\n}\r\n");
  expectCheck("Comma",
              {"mod Comma: .\\mods\\Comma\\manifest.json",
               "error: .\\mods\\Comma\\manifest.json:3:3: Missing a comma or '}' after an object member.",
               kGameFine,
               "result: the manifest cannot be read: nothing of the mod is applied"},
              2);

  // A byte order mark stops the reader at the first byte, and gets its own note.
  writeMod("Marked", "\xEF\xBB\xBF{\"ModName\": \"x\"}");
  expectCheck("Marked",
              {"mod Marked: .\\mods\\Marked\\manifest.json",
               "error: .\\mods\\Marked\\manifest.json:1:1: Invalid value.",
               "note: .\\mods\\Marked\\manifest.json: starts with a UTF-8 byte order mark, which the launcher's "
               "reader does not accept",
               kGameFine,
               "result: the manifest cannot be read: nothing of the mod is applied"},
              2);

  // A cut-off text stops at its end: the place after the last byte.
  writeMod("Cut", "{\"Races\": [\n  {\"Skin\": \"A\"},\n  {\"Sk");
  expectCheck("Cut",
              {"mod Cut: .\\mods\\Cut\\manifest.json",
               "error: .\\mods\\Cut\\manifest.json:3:7: Missing a closing quotation mark in string.",
               kGameFine,
               "result: the manifest cannot be read: nothing of the mod is applied"},
              2);
}

// Every key with a value of the wrong type, and what the launcher does instead.
TEST_F(CorvaneCheck, WrongTypesAndSkippedEntries) {
  copyBuild(kGame, "Game.dll");
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
  expectCheck("Types",
              {"mod Types: .\\mods\\Types\\manifest.json",
               "warning: ModName: a number, not a string: the title stays \"Corvane\"",
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
               "archive 10 .\\mods\\Types\\Mpqs\\a.mpq",
               "archive 11 .\\mods\\Types\\Mpqs\\b.mpq",
               "name \"Corvane\" (the launcher's)",
               "icon: the launcher's",
               "version: the launcher's",
               "splash off",
               "race 1 \"Default\" \"UNKNOWN\"",
               "race 2 \"Default\" \"UNKNOWN\"",
               "race 3 \"Default\" \"UNKNOWN\"",
               kGameFine,
               "result: 19 warnings, 3 notes: something will not load as written"},
              1);
}

// Whole keys of the wrong type lose everything under them; the root must be an object.
TEST_F(CorvaneCheck, WrongContainers) {
  copyBuild(kGame, "Game.dll");
  writeMod("Flat", R"({"Addons": {"Name": "x"}, "Mpqs": "data", "Preview": true, "Races": 4})");
  expectCheck("Flat",
              {"mod Flat: .\\mods\\Flat\\manifest.json",
               "warning: Addons: an object, not an array: no add-on is loaded",
               "warning: Mpqs: a string, not an array: no archive is opened",
               "warning: Preview: true, not an object: the splash keeps its defaults",
               "warning: Races: a number, not an array: the four standard races are used",
               "add-ons: none",
               "archives: none",
               "name \"Corvane\" (the launcher's)",
               "icon: the launcher's",
               "version: the launcher's",
               "splash on: built-in picture, built-in text",
               "races: none given: the four standard races are used",
               kGameFine,
               "result: 4 warnings: something will not load as written"},
              1);

  writeMod("List", R"([{"ModName": "x"}])");
  expectCheck("List",
              {"mod List: .\\mods\\List\\manifest.json",
               "warning: .\\mods\\List\\manifest.json: an array, not an object: nothing of the mod is applied",
               "add-ons: none",
               "archives: none",
               "name \"Corvane\" (the launcher's)",
               "icon: the launcher's",
               "version: the launcher's",
               "splash on: built-in picture, built-in text",
               "races: none given: the four standard races are used",
               kGameFine,
               "result: 1 warning: something will not load as written"},
              1);
}

// Unknown keys are notes (with the key meant, when only the letter case differs); a key given twice
// is read once.
TEST_F(CorvaneCheck, UnknownAndRepeatedKeys) {
  copyBuild(kGame, "Game.dll");
  copyBuild(kAddon, "mods/Keys/Addons/tools.dll");
  writeMod("Keys", R"({
  "modname": "lower",
  "Author": "someone",
  "Addons": [{"Name": "tools", "Enable": true, "Version": 2}],
  "Preview": {"Enable": false, "logo": "x"},
  "Races": [{"Skin": "S", "RaceKey": "K", "skin": "s"}]
})");
  expectCheck("Keys",
              {"mod Keys: .\\mods\\Keys\\manifest.json",
               "note: modname: unknown key, not read by the launcher (it reads \"ModName\")",
               "note: Author: unknown key, not read by the launcher",
               "note: Addons[0].Version: unknown key, not read by the launcher",
               "note: Preview.logo: unknown key, not read by the launcher (it reads \"Logo\")",
               "note: Races[0].skin: unknown key, not read by the launcher (it reads \"Skin\")",
               "add-on .\\mods\\Keys\\Addons\\tools.dll",
               "archives: none",
               "name \"Corvane\" (the launcher's)",
               "icon: the launcher's",
               "version: the launcher's",
               "splash off",
               "race 1 \"S\" \"K\"",
               kGameFine,
               "result: the mod loads as written (5 notes)"},
              0);

  writeMod("Twice", R"({"ModName": "first", "Mpqs": [{"Name": "a", "Name": "b"}], "ModName": "second"})");
  copyBuild(kArchive, "mods/Twice/Mpqs/a.mpq");
  expectCheck("Twice",
              {"mod Twice: .\\mods\\Twice\\manifest.json",
               "warning: Mpqs[0].Name: given again: only the first is read",
               "warning: ModName: given again: only the first is read",
               "add-ons: none",
               "archive 10 .\\mods\\Twice\\Mpqs\\a.mpq",
               "name \"first\"",
               "icon: the launcher's",
               "version: the launcher's",
               "splash on: built-in picture, built-in text",
               "races: none given: the four standard races are used",
               kGameFine,
               "result: 2 warnings: something will not load as written"},
              1);
}

// The running maximum from 9: automatic priorities from 10, always above every explicit one met
// before; nameless entries do not count; unsigned 32-bit arithmetic throughout.
TEST_F(CorvaneCheck, ArchivePriorities) {
  copyBuild(kGame, "Game.dll");
  for (const char* name : {"one", "two", "three", "four", "five", "six", "seven", "eight"})
    copyBuild(kArchive, std::string("mods/Order/Mpqs/") + name + ".mpq");
  writeMod("Order", R"({"Mpqs": [
    {"Name": "one"},
    {"Name": "two", "Priority": 20},
    {"Name": "three", "Priority": 0},
    {"Priority": 50},
    {"Name": "four", "Priority": 5},
    {"Name": "five"},
    {"Name": "six", "Priority": -5},
    {"Name": "seven", "Priority": 4294967296},
    {"Name": "eight"}
  ]})");
  expectCheck("Order",
              {"mod Order: .\\mods\\Order\\manifest.json",
               "warning: Mpqs[3]: no \"Name\": the entry is skipped",
               "warning: Mpqs[6].Priority: -5 is not an unsigned 32-bit number: taken as 4294967291",
               "warning: Mpqs[7].Priority: 4294967296 is not an unsigned 32-bit number: taken as 0, an automatic "
               "priority",
               "add-ons: none",
               "archive 10 .\\mods\\Order\\Mpqs\\one.mpq",
               "archive 20 .\\mods\\Order\\Mpqs\\two.mpq",
               "archive 21 .\\mods\\Order\\Mpqs\\three.mpq",
               "archive 5 .\\mods\\Order\\Mpqs\\four.mpq",
               "archive 22 .\\mods\\Order\\Mpqs\\five.mpq",
               "archive 4294967291 .\\mods\\Order\\Mpqs\\six.mpq",
               "archive 4294967292 .\\mods\\Order\\Mpqs\\seven.mpq",
               "archive 4294967293 .\\mods\\Order\\Mpqs\\eight.mpq",
               "name \"Corvane\" (the launcher's)",
               "icon: the launcher's",
               "version: the launcher's",
               "splash on: built-in picture, built-in text",
               "races: none given: the four standard races are used",
               kGameFine,
               "result: 3 warnings: something will not load as written"},
              1);
}

// Files named by the manifest that are missing or not of the format the launcher hands them to.
TEST_F(CorvaneCheck, FilesThatDoNotLoad) {
  copyBuild(kGame, "Game.dll");
  writeMod("Files", R"({
  "Addons": [
    {"Name": "absent", "Enable": true},
    {"Name": "program", "Enable": true},
    {"Name": "wide", "Enable": true},
    {"Name": "text", "Enable": true},
    {"Name": "fine", "Enable": true}
  ],
  "Mpqs": [{"Name": "absent"}, {"Name": "text"}, {"Name": "shifted"}, {"Name": "aligned"}],
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
  copyBuild(std::string(kDemo) + "logo.bmp", "mods/Files/picture.ico");
  copyBuild(std::string(kDemo) + "icon.ico", "mods/Files/icon.bmp");
  expectCheck("Files",
              {"mod Files: .\\mods\\Files\\manifest.json",
               "add-on .\\mods\\Files\\Addons\\absent.dll",
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
               "warning: .\\mods\\Files\\Mpqs\\text.mpq: no MPQ header: the archive does not open (\"Failed to open "
               "text.mpq\")",
               "archive 12 .\\mods\\Files\\Mpqs\\shifted.mpq",
               "warning: .\\mods\\Files\\Mpqs\\shifted.mpq: no MPQ header: the archive does not open (\"Failed to "
               "open shifted.mpq\")",
               "archive 13 .\\mods\\Files\\Mpqs\\aligned.mpq",
               "name \"Corvane\" (the launcher's)",
               "icon .\\mods\\Files\\picture.ico",
               "warning: .\\mods\\Files\\picture.ico: not an ICO file: the game gets no icon",
               "version: the launcher's",
               "splash on: picture .\\mods\\Files\\icon.bmp, text \"tab\\there \\\"quoted\\\"\"",
               "warning: .\\mods\\Files\\icon.bmp: not a BMP file: no splash is shown",
               "races: none given: the four standard races are used",
               kGameFine,
               "result: 9 warnings: something will not load as written"},
              1);
}

// A missing icon and logo fall back to the launcher's own pictures; a logo under a splash that is
// off is never read.
TEST_F(CorvaneCheck, MissingPictures) {
  copyBuild(kGame, "Game.dll");
  writeMod("Bare", R"({"ModName": "Bare", "ModIcon": "gone", "ModVersion": "1.0", "Preview": {"Logo": "gone"}})");
  expectCheck("Bare",
              {"mod Bare: .\\mods\\Bare\\manifest.json",
               "add-ons: none",
               "archives: none",
               "name \"Bare\"",
               "icon .\\mods\\Bare\\gone.ico",
               "warning: .\\mods\\Bare\\gone.ico: missing: the launcher's icon is used",
               "version \"1.0\"",
               "splash on: picture .\\mods\\Bare\\gone.bmp, built-in text",
               "warning: .\\mods\\Bare\\gone.bmp: missing: the splash shows its built-in picture",
               "races: none given: the four standard races are used",
               kGameFine,
               "result: 2 warnings: something will not load as written"},
              1);

  writeMod("Off", R"({"Preview": {"Enable": false, "Logo": "gone"}})");
  expectCheck("Off",
              {"mod Off: .\\mods\\Off\\manifest.json",
               "add-ons: none",
               "archives: none",
               "name \"Corvane\" (the launcher's)",
               "icon: the launcher's",
               "version: the launcher's",
               "splash off",
               "races: none given: the four standard races are used",
               kGameFine,
               "result: the mod loads as written"},
              0);
}

// The game keeps its race count in one byte: races after the 255th are dropped. An element that is not
// an object keeps its place and counts.
TEST_F(CorvaneCheck, RacesBeyondTheLimit) {
  copyBuild(kGame, "Game.dll");
  std::string races;
  for (int i = 0; i < 300; ++i) {
    if (i) races += ",";
    races += i == 10 ? std::string("\"loose\"") : "{\"Skin\": \"S" + std::to_string(i) + "\", \"RaceKey\": \"K\"}";
  }
  writeMod("Many", "{\"Races\": [" + races + "]}");
  CheckRun run = runCheck({"Many"});
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 1);
  const size_t firstRace = 9;   // after the mod line, the two warnings and six lines of the plan
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
  const Lines plan = {"mod Plain: .\\mods\\Plain\\manifest.json",
                      "add-ons: none",
                      "archives: none",
                      "name \"Corvane\" (the launcher's)",
                      "icon: the launcher's",
                      "version: the launcher's",
                      "splash on: built-in picture, built-in text",
                      "races: none given: the four standard races are used",
                      "game .\\Game.dll"};
  struct Variant {
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
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.module);
    copyBuild(variant.module, "Game.dll");
    Lines expected = plan;
    expected.push_back(variant.finding);
    expected.push_back("result: 1 warning: something will not load as written");
    expectCheck("Plain", expected, 1);
  }
}

// Without a mod name: a usage line on standard error only.
TEST_F(CorvaneCheck, Usage) {
  CheckRun run = runCheck({});
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.lines, Lines{});
  EXPECT_EQ(linesOf(run.errorOutput), Lines{"usage: corvane-check NAME"});
  EXPECT_EQ(run.exitCode, 2);
}

}  // namespace
