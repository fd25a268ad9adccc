// corvane-check run as a real process in fresh game folders: its findings, its plan and its exit status.
#include "support/TempFolder.h"
#include "tools/CheckRun.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

const char kFolder[] = "\x01 folder";  // as a file's bytes: a folder of that name instead
const char kNone[] = "\x01 none";      // as a file's bytes: no file there
const char kFixtures[] = "tests/tools/check-fixtures/";
const char kProbes[] = "tests/tools/probes/";
const char kDemo[] = "testbed/mods/Demo/";
const char kProgram[] = "testbed/GameLoader.exe";
const char kGameFine[] = "game .\\Game.dll: version 1.26.0.6401, exports GameMain, imports user32.dll and Storm.dll";
const char kUnread[] = "result: the manifest cannot be read: nothing of the mod is applied";
const char kOutside[] = " reaches outside the mod folder: the launcher uses it all the same";
const char kNoRun[] = ": the add-on does not run";

std::string build(const std::string& relative) {
  std::string bytes = readFile(buildFile(relative));
  EXPECT_FALSE(bytes.empty()) << "build file " << relative << " is missing";
  return bytes;
}

// Every finding line, and the plain lines given in the order given (others may come between them).
bool isFinding(const std::string& line) {
  return line.rfind("note: ", 0) == 0 || line.rfind("warning: ", 0) == 0 || line.rfind("error: ", 0) == 0;
}

void expectLines(const Lines& output, const Lines& expected) {
  Lines findings, wanted;
  for (const std::string& line : output)
    if (isFinding(line)) findings.push_back(line);
  for (const std::string& line : expected)
    if (isFinding(line)) wanted.push_back(line);
  EXPECT_EQ(findings, wanted);
  size_t at = 0;
  for (const std::string& line : expected) {
    if (isFinding(line)) continue;
    while (at < output.size() && output[at] != line) ++at;
    EXPECT_LT(at, output.size()) << "no line \"" << line << "\" (in order) among:\n"
                                 << ::testing::PrintToString(output);
  }
}

// A game folder of its own for each case: the stand-in Storm.dll and Game.dll, the release's engine
// archive, then the case's files.
struct Case {
  const char* mod;
  std::string manifest;  // kNone: no manifest.json
  std::vector<std::pair<std::string, std::string>> files;
  Lines expected;
  int status;
};

class CorvaneCheck : public TempFolderTest {
protected:
  void place(const std::string& path, const std::string& bytes) {
    if (bytes == kFolder) std::filesystem::create_directories(hostPath(path));
    else if (bytes == kNone) remove(path.c_str());
    else writeFile(path, bytes);
  }

  CheckRun check(const Case& c, const char* option = nullptr) {
    std::string game = std::string("game-") + c.mod;
    std::filesystem::create_directories(game);
    std::filesystem::current_path(game);
    place("Storm.dll", build("testbed/Storm.dll"));
    place("Game.dll", build("testbed/Game.dll"));
    place("Corvane.mpq", build("release/Corvane.mpq"));
    place(std::string("mods/") + c.mod + "/manifest.json", c.manifest);
    for (const auto& file : c.files) place(file.first, file.second);
    CheckRun run = runCheck(option ? std::vector<std::string>{option, c.mod} : std::vector<std::string>{c.mod});
    std::filesystem::current_path("..");
    return run;
  }

  void expectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.mod);
      CheckRun run = check(c);
      ASSERT_TRUE(run.ended);
      EXPECT_EQ(run.errorOutput, "");
      expectLines(run.lines, c.expected);
      EXPECT_EQ(run.exitCode, c.status);
    }
  }
};

// The report in docs/corvane-check.md whose first line is first: the documentation shows real reports.
Lines documented(const std::string& first) {
  std::string doc = readFile(sourceFile("docs/corvane-check.md"));
  size_t start = doc.find("```\n" + first + "\n");
  EXPECT_NE(start, std::string::npos) << "docs/corvane-check.md shows no report starting " << first;
  start = start == std::string::npos ? doc.size() : start + 4;
  return linesOf(doc.substr(start, doc.find("```", start) - start));
}

// The sample mod as built (manifest, both add-ons, three archives, icon and logo) with the test bed's
// engine archive and the stand-in game's archives, and the add-ons of the documentation's example whose
// imports the game does not find: the whole reports, as the documentation shows them.
TEST_F(CorvaneCheck, ReportsOfTheDocumentation) {
  Case demo{
      "Demo", build(std::string(kDemo) + "manifest.json"), {{"Corvane.mpq", build("testbed/Corvane.mpq")}}, {}, 0};
  for (const char* file : {"icon.ico", "logo.bmp", "Addons/DemoTools.dll", "Addons/DemoDisabled.dll", "Mpqs/data.mpq",
                           "Mpqs/patch.mpq", "Mpqs/music.mpq"})
    demo.files.push_back({std::string("mods/Demo/") + file, build(std::string(kDemo) + file)});
  for (const char* archive : {"War3.mpq", "War3x.mpq"})
    demo.files.push_back({archive, build(std::string("testbed/game-archives/") + archive)});
  CheckRun run = check(demo);
  EXPECT_EQ(run.lines, documented("mod Demo: .\\mods\\Demo\\manifest.json"));
  EXPECT_EQ(run.exitCode, 0);

  auto probe = [](const char* name) { return build(kProbes + std::string(name) + ".dll"); };
  Case tools{"Tools",
             R"({"ModName": "Tools", "Addons": [{"Name": "DemoTools", "Enable": true},
  {"Name": "UsesHelper", "Enable": true}, {"Name": "Debug", "Enable": true}]})",
             {{"Broken.dll", probe("Broken")},
              {"mods/Tools/Addons/DemoTools.dll", probe("Chain")},
              {"mods/Tools/Addons/UsesHelper.dll", probe("UsesHelper")},
              {"mods/Tools/Addons/Helper.dll", probe("Helper")},
              {"mods/Tools/Addons/Debug.dll", probe("Debug")}},
             {},
             1};
  run = check(tools);
  EXPECT_EQ(run.lines, documented("mod Tools: .\\mods\\Tools\\manifest.json"));
  EXPECT_EQ(run.exitCode, 1);
}

// Manifests the launcher's reader stops on, at the line and byte column where it stops (CR LF counts as
// one line end); one nested past any recursion, which it reads; a number past the largest double.
TEST_F(CorvaneCheck, ManifestText) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  expectCases({
      {"Missing",
       kNone,
       {{"Game.dll", kNone}, {"Corvane.mpq", kNone}},
       {"error: .\\mods\\Missing\\manifest.json: missing: nothing of the mod is applied",
        "note: .\\Corvane.mpq: missing: the launcher opens no engine archive", "game .\\Game.dll",
        "warning: .\\Game.dll: missing: the game does not start", kUnread},
       2},
      {"Comma",
       "{\r\n  \"ModName\": \"x\"\r\n  \"ModIcon\": \"y\"\r\n}\r\n",
       {},
       {"error: .\\mods\\Comma\\manifest.json:3:3: Missing a comma or '}' after an object member.",
        "engine archive 9 .\\Corvane.mpq: 0 files", kGameFine, kUnread},
       2},
      {"Marked",
       "\xEF\xBB\xBF{\"ModName\": \"x\"}",
       {},
       {"error: .\\mods\\Marked\\manifest.json:1:1: Invalid value.",
        "note: .\\mods\\Marked\\manifest.json: starts with a UTF-8 byte order mark, which the launcher's reader "
        "does not accept"},
       2},
      {"Huge",
       "{\"ModName\": 1.8e308}",
       {},
       {"error: .\\mods\\Huge\\manifest.json:1:13: Number too big to be stored in double."},
       2},
      {"Deep",
       deep,
       {},
       {"warning: .\\mods\\Deep\\manifest.json: an array, not an object: nothing of the mod is applied",
        "races: none given: the four standard races are used", kGameFine,
        "result: 1 warning: something will not load as written"},
       1},
  });
}

// What the launcher does with values of the wrong type, entries it skips, unknown and repeated keys,
// races past the 255 the game counts in one byte (an element that is not an object keeps its place).
TEST_F(CorvaneCheck, ManifestKeys) {
  std::string races;
  for (int i = 0; i < 300; ++i)
    races += (i ? "," : "") +
             (i == 10 ? std::string("\"loose\"") : "{\"Skin\": \"S" + std::to_string(i) + "\", \"RaceKey\": \"K\"}");
  const std::string valid = build(std::string(kFixtures) + "valid.mpq");
  expectCases({
      {"Types",
       R"({"ModName": 12, "Addons": ["two", {"Name": "four"}], "Mpqs": [{"Name": "d", "Priority": 20.0}]})",
       {{"mods/Types/Mpqs/d.mpq", valid}},
       {"warning: ModName: a number, not a string: the title stays \"Corvane\"",
        "warning: Addons[0]: a string, not an object: the entry is skipped",
        "warning: Addons[1]: no \"Enable\": the add-on is not loaded",
        "warning: Mpqs[0].Priority: a floating-point number, not an integer: an automatic priority is used",
        "archive 10 .\\mods\\Types\\Mpqs\\d.mpq: 1 file"},
       1},
      {"Flat",
       R"({"Mpqs": "data", "Preview": true})",
       {},
       {"warning: Mpqs: a string, not an array: no archive is opened",
        "warning: Preview: true, not an object: the splash keeps its defaults", "archives: none"},
       1},
      {"Keys",
       R"({"modname": "lower", "Author": "someone", "ModName": "first", "Mpqs": [{"Name": "a", "Name": "b"}],
  "ModName": "second", "Races": [{"Skin": "S", "RaceKey": "K", "skin": "s"}]})",
       {{"mods/Keys/Mpqs/a.mpq", valid}},
       {"note: modname: unknown key, not read by the launcher (it reads \"ModName\")",
        "note: Author: unknown key, not read by the launcher",
        "warning: Mpqs[0].Name: given again: only the first is read",
        "warning: ModName: given again: only the first is read",
        "note: Races[0].skin: unknown key, not read by the launcher (it reads \"Skin\")",
        "archive 10 .\\mods\\Keys\\Mpqs\\a.mpq: 1 file", "name \"first\"", "race 1 \"S\" \"K\""},
       1},
      {"Races",
       "{\"Races\": [" + races + "]}",
       {},
       {"warning: Races[10]: a string, not an object: \"Default\" and \"UNKNOWN\" are used",
        "warning: Races[255]: beyond 255 races: 45 entries from here on are dropped", "race 11 \"Default\" \"UNKNOWN\"",
        "race 255 \"S254\" \"K\"", kGameFine},
       1},
  });
}

// Names resolved as the platform resolves the joined path: only those that end outside .\mods\NAME\ are
// warned about ("..\\inside" under Addons\ stays inside, a leading "\\" collapses, "C:" in the middle is
// no drive), and the launcher uses each as it is: here one archive of the mod is the game's War3x.mpq.
TEST_F(CorvaneCheck, NamesLeavingTheModFolder) {
  expectCases(
      {{"Out",
        R"({"$schema": "../../manifest.schema.json",
  "Addons": [{"Name": "..\\inside", "Enable": true}, {"Name": "..\\..\\tools", "Enable": true}],
  "Mpqs": [{"Name": "..\\..\\..\\War3x"}, {"Name": "v1..2"}, {"Name": "..\\..\\..\\MODS\\Out\\back"}],
  "ModIcon": "\\icon", "Preview": {"Enable": false, "Logo": "C:logo"}})",
        {{"mods/Out/inside.dll", build(kProbes + std::string("Helper.dll"))},
         {"mods/tools.dll", build(kProbes + std::string("Helper.dll"))},
         {"War3x.mpq", build(std::string(kFixtures) + "a.mpq")},
         {"mods/Out/Mpqs/v1..2.mpq", build(std::string(kFixtures) + "b.mpq")},
         {"MODS/Out/back.mpq", build(std::string(kFixtures) + "c.mpq")},
         {"mods/Out/icon.ico", build(std::string(kDemo) + "icon.ico")}},
        {"warning: Addons[1].Name: \"..\\\\..\\\\tools\"" + std::string(kOutside),
         "warning: Mpqs[0].Name: \"..\\\\..\\\\..\\\\War3x\"" + std::string(kOutside),
         "add-on .\\mods\\Out\\Addons\\..\\inside.dll: loads", "add-on .\\mods\\Out\\Addons\\..\\..\\tools.dll: loads",
         "archive 10 .\\mods\\Out\\Mpqs\\..\\..\\..\\War3x.mpq: 2 files",
         "archive 11 .\\mods\\Out\\Mpqs\\v1..2.mpq: 2 files",
         "archive 12 .\\mods\\Out\\Mpqs\\..\\..\\..\\MODS\\Out\\back.mpq: 2 files",
         "conflict SHARED.TXT: ..\\..\\..\\MODS\\Out\\back.mpq (12) wins over v1..2.mpq (11), "
         "..\\..\\..\\War3x.mpq (10); also in the game's War3x.mpq",
         "icon .\\mods\\Out\\\\icon.ico", "splash off"},
        1}});
}

// Archives in priority order (the running maximum from 9: automatic ones above every explicit one met
// before, nameless entries not counted, unsigned 32-bit arithmetic), and which one serves each name that
// several hold: the highest priority, the later opened among equals; the game's are named without a
// winner. A copy the library cannot read still answers for its name.
TEST_F(CorvaneCheck, ArchivePrioritiesAndConflicts) {
  std::string damaged = build(std::string(kFixtures) + "packed.mpq");
  for (size_t i = 0x40; i < 0x48 && i < damaged.size(); ++i) damaged[i] ^= 0xFF;  // inside shared.txt's data
  auto archive = [](const char* name) { return build(std::string(kFixtures) + name + ".mpq"); };
  expectCases(
      {{"Order",
        R"({"Mpqs": [{"Name": "one"}, {"Name": "two", "Priority": 20}, {"Name": "three", "Priority": 0},
  {"Priority": 50}, {"Name": "four", "Priority": 5}, {"Name": "five"}, {"Name": "six", "Priority": -5},
  {"Name": "seven", "Priority": 4294967296}, {"Name": "nine", "Priority": 22},
  {"Name": "top", "Priority": 4294967295}]})",
        {{"mods/Order/Mpqs/one.mpq", archive("a")},
         {"mods/Order/Mpqs/two.mpq", archive("b")},
         {"mods/Order/Mpqs/three.mpq", archive("nolist")},
         {"mods/Order/Mpqs/four.mpq", archive("c")},
         {"mods/Order/Mpqs/five.mpq", archive("c")},
         {"mods/Order/Mpqs/six.mpq", archive("valid")},
         {"mods/Order/Mpqs/seven.mpq", archive("valid")},
         {"mods/Order/Mpqs/nine.mpq", archive("a")},
         {"mods/Order/Mpqs/top.mpq", damaged},
         {"Corvane.mpq", archive("b")},
         {"War3x.mpq", archive("a")}},
        {"warning: Mpqs[3]: no \"Name\": the entry is skipped",
         "warning: Mpqs[6].Priority: -5 is not an unsigned 32-bit number: taken as 4294967291",
         "warning: Mpqs[7].Priority: 4294967296 is not an unsigned 32-bit number: taken as 0, an automatic "
         "priority",
         "archive 10 .\\mods\\Order\\Mpqs\\one.mpq: 2 files",
         "archive 20 .\\mods\\Order\\Mpqs\\two.mpq: 2 files",
         "archive 21 .\\mods\\Order\\Mpqs\\three.mpq: no listfile",
         "note: .\\mods\\Order\\Mpqs\\three.mpq: no listfile: its conflicts with other archives cannot be known",
         "archive 5 .\\mods\\Order\\Mpqs\\four.mpq: 2 files",
         "archive 22 .\\mods\\Order\\Mpqs\\five.mpq: 2 files",
         "archive 4294967291 .\\mods\\Order\\Mpqs\\six.mpq: 1 file",
         "archive 4294967292 .\\mods\\Order\\Mpqs\\seven.mpq: 1 file",
         "archive 22 .\\mods\\Order\\Mpqs\\nine.mpq: 2 files",
         "archive 4294967295 .\\mods\\Order\\Mpqs\\top.mpq: 1 file",
         "warning: .\\mods\\Order\\Mpqs\\top.mpq: shared.txt cannot be read: where this archive serves it, the "
         "game gets an error, not another archive's copy",
         "engine archive 9 .\\Corvane.mpq: 2 files",
         "game archive .\\War3x.mpq: 2 files",
         "conflict a.txt: nine.mpq (22) wins over one.mpq (10); also in the game's War3x.mpq",
         "conflict b.txt: two.mpq (20) wins over Corvane.mpq (9)",
         "conflict c.txt: five.mpq (22) wins over four.mpq (5)",
         "conflict readme.txt: seven.mpq (4294967292) wins over six.mpq (4294967291)",
         "conflict shared.txt: top.mpq (4294967295) wins over nine.mpq (22), five.mpq (22), two.mpq (20), "
         "one.mpq (10), Corvane.mpq (9), four.mpq (5); also in the game's War3x.mpq"},
        1}});
}

// Files named by the manifest that are missing or not what the launcher hands them to, and archives that
// the game's library of this era does not open (later formats, tables past a file cut short).
TEST_F(CorvaneCheck, FilesThatDoNotOpen) {
  const std::string valid = build(std::string(kFixtures) + "valid.mpq");
  std::string damaged = valid, cut = valid.substr(0, valid.size() - 8);
  damaged[17] = 0x10;  // the hash table starts 4 KiB further on, past the end
  std::string warning = "warning: .\\mods\\Files\\Mpqs\\";
  auto fails = [](const std::string& name) {
    return ": the archive does not open (\"Failed to open " + name + ".mpq\")";
  };
  expectCases(
      {{"Files",
        R"({"Mpqs": [{"Name": "absent"}, {"Name": "shifted"}, {"Name": "aligned"},
  {"Name": "damaged"}, {"Name": "cut"}, {"Name": "folder"}, {"Name": "v2"}, {"Name": "v4"}, {"Name": "smpq"}],
  "ModIcon": "picture", "Preview": {"Logo": "icon", "Info": "tab\there \"quoted\""}})",
        {{"mods/Files/Mpqs/shifted.mpq", std::string(100, '\0') + valid},
         {"mods/Files/Mpqs/aligned.mpq", std::string(512, '\0') + valid},
         {"mods/Files/Mpqs/damaged.mpq", damaged},
         {"mods/Files/Mpqs/cut.mpq", cut},
         {"mods/Files/Mpqs/folder.mpq", kFolder},
         {"mods/Files/Mpqs/v2.mpq", build(std::string(kFixtures) + "v2.mpq")},
         {"mods/Files/Mpqs/v4.mpq", build(std::string(kFixtures) + "v4.mpq")},
         {"mods/Files/Mpqs/smpq.mpq", build(std::string(kFixtures) + "smpq.mpq")},
         {"mods/Files/picture.ico", build(std::string(kDemo) + "logo.bmp")},
         {"mods/Files/icon.bmp", build(std::string(kDemo) + "icon.ico")}},
        {warning + "absent.mpq: missing" + fails("absent"),
         warning + "shifted.mpq: not an archive (no MPQ header)" + fails("shifted"),
         "archive 12 .\\mods\\Files\\Mpqs\\aligned.mpq: 1 file",
         warning + "damaged.mpq: damaged tables (the hash table reaches past the end of the file)" + fails("damaged"),
         warning + "cut.mpq: damaged tables (the block table reaches past the end of the file)" + fails("cut"),
         warning + "folder.mpq: unreadable" + fails("folder"),
         warning + "v2.mpq: a later MPQ format (version 2: the game's archive library reads version 1 only)" +
             fails("v2"),
         warning + "v4.mpq: a later MPQ format (version 4: the game's archive library reads version 1 only)" +
             fails("v4"),
#ifdef _WIN32  // smpq compresses its listfile, which the stand-in library refuses; StormLib reads it
         warning + "smpq.mpq: its listfile cannot be read: which files it holds cannot be known",
#else
         "archive 18 .\\mods\\Files\\Mpqs\\smpq.mpq: 2 files",
#endif
         "warning: .\\mods\\Files\\picture.ico: not an ICO file: the game gets no icon",
         "splash on: picture .\\mods\\Files\\icon.bmp, text \"tab\\there \\\"quoted\\\"\"",
         "warning: .\\mods\\Files\\icon.bmp: not a BMP file: no splash is shown"},
        1},
       {"Bare",
        R"({"ModIcon": "gone", "Preview": {"Logo": "gone"}})",
        {},
        {"warning: .\\mods\\Bare\\gone.ico: missing: the launcher's icon is used",
         "warning: .\\mods\\Bare\\gone.bmp: missing: the splash shows its built-in picture"},
        1}});
}

// Why an add-on will not load, as the platform's loader takes it: not a DLL, built for 64-bit, a function
// that Corvane.exe or a DLL found does not export, a C++ runtime the loader does not find; and one
// enabled twice, in another letter case. (DLLs not found, through others, beside the add-on or built in
// Debug: the documentation's report.)
TEST_F(CorvaneCheck, AddonsThatDoNotLoad) {
  const std::string addons = "warning: .\\mods\\Dlls\\Addons\\";
  Case dlls{"Dlls",
            "{\"Addons\": [",
            {{"mods/Dlls/Addons/Program.dll", build(kProgram)},
             {"mods/Dlls/Addons/Text.dll", "MZ is not enough"},
             {"Helper.dll", build(kProbes + std::string("Helper.dll"))}},
            {addons + "gone.dll: missing" + kNoRun, addons + "Program.dll: a program, not a 32-bit DLL" + kNoRun,
             addons + "Text.dll: not a PE image" + kNoRun,
             addons + "Wide.dll: built for 64-bit, where the launcher is 32-bit" + kNoRun,
             "add-on .\\mods\\Dlls\\Addons\\UsesHelper.dll: loads",
             addons + "Absent.dll: Absent.dll → Helper.dll: imports absent, which Helper.dll does not export" + kNoRun,
             addons +
                 "Newer.dll: Newer.dll → Corvane.exe: imports probe, which this Corvane does not export: built "
                 "for a newer Corvane, or a different one" +
                 kNoRun,
#ifdef _WIN32  // Wine's system folder has its own MSVCP140.dll
             "add-on .\\mods\\Dlls\\Addons\\Runtime.dll: loads",
#else
             addons +
                 "Runtime.dll: Runtime.dll → MSVCP140.dll: MSVCP140.dll is not found: install the x86 Visual "
                 "C++ Redistributable for 2015–2022" +
                 kNoRun,
#endif
             addons + "usesHelper.dll: the same DLL as .\\mods\\Dlls\\Addons\\UsesHelper.dll, enabled before it: "
                      "it is loaded once"},
            1};
  for (const char* name :
       {"gone", "Program", "Text", "Wide", "UsesHelper", "Absent", "Newer", "Runtime", "usesHelper"}) {
    dlls.manifest +=
        std::string(dlls.manifest.back() == '[' ? "" : ", ") + "{\"Name\": \"" + name + "\", \"Enable\": true}";
    if (std::string("Wide UsesHelper Absent Newer Runtime").find(name) != std::string::npos)
      dlls.files.push_back(
          {std::string("mods/Dlls/Addons/") + name + ".dll", build(kProbes + std::string(name) + ".dll")});
  }
  dlls.manifest += "]}";
  expectCases({dlls});
}

// The game module: its file version, and what the launcher needs of it (the stand-in Storm.dll lacks all).
TEST_F(CorvaneCheck, GameModule) {
  auto variant = [](const char* module, Lines expected) {
    return Case{"Plain", "{}", {{"Game.dll", build(module)}}, expected, 1};
  };
  expectCases({
      variant("testbed/variants/nouser32/Game.dll",
              {"game .\\Game.dll: version 1.26.0.6401",
               "warning: .\\Game.dll: does not import user32.dll: the game keeps its own title, cursor and icon"}),
      variant(kProgram, {"warning: .\\Game.dll: a program, not a 32-bit DLL: the game does not start"}),
      variant("testbed/Storm.dll",
              {"game .\\Game.dll: no version resource",
               "warning: .\\Game.dll: does not export GameMain: the game does not start",
               "warning: .\\Game.dll: does not import user32.dll: the game keeps its own title, cursor and icon",
               "warning: .\\Game.dll: does not import Storm.dll: the launcher's archive hooks and code patches are not "
               "installed"}),
  });
}

#ifndef _WIN32
// A game folder the player cannot write (under C:\Program Files, say): the launcher cannot make its
// settings or its configuration folder there. (Wine run as root writes anywhere, so only here.)
TEST_F(CorvaneCheck, GameFolderThatCannotBeWritten) {
  writeFile("mods/Locked/manifest.json", "{}");
  writeFile("Game.dll", build("testbed/Game.dll"));
  std::filesystem::permissions(".", std::filesystem::perms(0555));
  CheckRun run = runCheck({"Locked"}, true);
  std::filesystem::permissions(".", std::filesystem::perms(0755));
  const std::string cannot = ": cannot be made: the game folder cannot be written: ";
  expectLines(run.lines, {"note: .\\Corvane.mpq: missing: the launcher opens no engine archive",
                          "warning: .\\Corvane.json" + cannot +
                              "the launcher keeps no settings and shows no warning box for an archive: put the game in "
                              "a folder you can write",
                          "warning: .\\Configs" + cannot +
                              "add-ons' documents are not saved: put the game in a folder you can write"});
  EXPECT_EQ(run.exitCode, 1);
}
#endif

// The same findings as one JSON object: add-ons, archives (named by their index in "archives", since a
// mod's War3x.mpq and the game's share a name), conflicts (no winner where a game archive holds the name),
// the game's version and every finding.
TEST_F(CorvaneCheck, JsonReport) {
  CheckRun run = check({"Json",
                        R"({"Addons": [{"Name": "UsesHelper", "Enable": true}],
    "Mpqs": [{"Name": "War3x", "Priority": 15}, {"Name": "two", "Priority": 15}, {"Name": "gone"}]})",
                        {{"Corvane.mpq", kNone},
                         {"War3x.mpq", build(std::string(kFixtures) + "c.mpq")},
                         {"Helper.dll", build(kProbes + std::string("Helper.dll"))},
                         {"mods/Json/Addons/UsesHelper.dll", build(kProbes + std::string("UsesHelper.dll"))},
                         {"mods/Json/Mpqs/War3x.mpq", build(std::string(kFixtures) + "a.mpq")},
                         {"mods/Json/Mpqs/two.mpq", build(std::string(kFixtures) + "b.mpq")}},
                        {},
                        1},
                       "--json");
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 1);
  // Compared without the indentation, which is RapidJSON's PrettyWriter's.
  std::string text;
  for (const std::string& line : run.lines) text += line + "\n";
  rapidjson::Document report;
  ASSERT_FALSE(report.Parse(text.c_str()).HasParseError()) << text;
  rapidjson::StringBuffer compact;
  rapidjson::Writer<rapidjson::StringBuffer> writer(compact);
  report.Accept(writer);
  EXPECT_EQ(
      std::string(compact.GetString()),
      R"j({"mod":"Json","addons":[{"path":".\\mods\\Json\\Addons\\UsesHelper.dll","loads":true}],)j"
      R"j("archives":[{"name":"War3x.mpq","path":".\\mods\\Json\\Mpqs\\War3x.mpq","kind":"mod","priority":15,)j"
      R"j("opens":true,"error":null,"format":1,"files":2,"listfile":true,"unreadable":[]},{"name":"two.mpq",)j"
      R"j("path":".\\mods\\Json\\Mpqs\\two.mpq","kind":"mod","priority":15,"opens":true,"error":null,"format":1,)j"
      R"j("files":2,"listfile":true,"unreadable":[]},{"name":"gone.mpq","path":".\\mods\\Json\\Mpqs\\gone.mpq",)j"
      R"j("kind":"mod","priority":16,"opens":false,"error":"missing","format":null,"files":null,"listfile":false,)j"
      R"j("unreadable":[]},{"name":"War3x.mpq","path":".\\War3x.mpq","kind":"game","priority":null,"opens":true,)j"
      R"j("error":null,"format":1,"files":2,"listfile":true,"unreadable":[]}],"conflicts":[{"file":"shared.txt",)j"
      R"j("winner":null,"launcher":[1,0],"game":[3]}],"gameVersion":"1.26.0.6401",)j"
      R"j("findings":[{"severity":"warning","subject":".\\mods\\Json\\Mpqs\\gone.mpq",)j"
      R"j("text":"missing: the archive does not open (\"Failed to open gone.mpq\")"},{"severity":"note",)j"
      R"j("subject":".\\Corvane.mpq","text":"missing: the launcher opens no engine archive"}],)j"
      R"j("result":"result: 1 warning, 1 note: something will not load as written"})j");
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
