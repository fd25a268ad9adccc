// Corvane.exe end to end, one row per launch: a game folder laid out from the row's short description,
// the launcher run on the row's command line as a real process, and what it left checked exactly: exit
// code 1, the warning boxes, the start-up trace, the archive-library calls it made before the game ran,
// the files the row names and the game's report. Every file that was in the folder before and is not
// named must still be there, byte for byte, and no temporary file may be left.
#include "launcher/LaunchHarness.h"
#include "support/FolderSnapshot.h"
#include "testbed/game/Report.h"
#include "testbed/game/ReportWriter.h"

#include <windows.h>

#include <algorithm>

namespace {

// Checks AbiCheck.dll makes, each reported on its own line: one dropped or added changes the count.
const size_t kAbiChecks = 141;
// The hook check of AllocationFaults.dll, then one per exported family.
const size_t kAllocationChecks = 14;

const std::string kFreshSettings = "{\n    \"ShowMpqMessage\": true\n}";
const std::string kNoFile = "0 why=\"cannot open file\"";
const std::string kFolder = "<folder>";
// The sample mod's add-on: it keeps .\configs\DemoTools.json (built with MinGW against libCorvane.a).
const std::string kDemoTools = "testbed\\mods\\Demo\\Addons\\DemoTools.dll";
const std::string kDefaults = "version=Corvane (Version 2.0.0 Build 1)";
// The game's icon at the caller's size; the game names it after the known picture it equals.
const std::string kLauncherIcon = "icon.war3x=corvane size=32x32 ...";
const std::string kStandardRaces = "races=Human HUMAN, Orc ORC, Undead UNDEAD, NightElf NIGHT_ELF";
// The launcher's code patches as the game reads them.
const Lines kPatched = {"bytes.4E3BFA=9090EB", "bytes.59B3E4=9090909090909090", "target.E5F0=exe", "target.E5FF=exe"};

// A game folder in short, one entry per file: "PATH=BYTES" writes the bytes to PATH, "PATH<SOURCE" copies
// a file or a whole folder of the build tree there (SOURCE relative to its root). Paths are relative to
// the game folder and may run past MAX_PATH. The standard files follow unless named; "Game.dll<": none.
using GameFolder = std::vector<std::string>;

struct LaunchCase {
  const char* name;
  GameFolder folder;
  std::string arguments;  // after Corvane.exe
  // The whole start-up trace. Empty: the launch runs without it and must leave none, and the archive
  // library's lines are the add-on's business.
  Lines trace;
  Lines storm;  // the archive library's lines before the game opens its first archive
  // "KEY=VALUE" of the game's report (end=ok goes without saying; none: the report is not read). "races"
  // stands for every race reported, "Skin KEY" each; a value ending in "..." gives the beginning only.
  Lines game;
  // "PATH=BYTES" of files after the run (spared from the check that nothing changed); no bytes: nothing
  // may be there; kFolder: a folder.
  Lines files;
  Lines boxes;                                  // as LaunchResult gives them
  Lines readOnly;                               // paths made read-only before the run
  std::pair<std::string, size_t> addonResults;  // an add-on's results file and its count of checks
};

LaunchCase row(const char* name, const GameFolder& folder, const std::string& arguments, const Lines& trace,
               const Lines& storm, const Lines& game = {}, const Lines& files = {}, const Lines& boxes = {},
               const Lines& readOnly = {}, const std::pair<std::string, size_t>& addonResults = {}) {
  return {name, folder, arguments, trace, storm, game, files, boxes, readOnly, addonResults};
}

void PrintTo(const LaunchCase& row, std::ostream* out) {
  *out << row.name;
}

void layOut(const GameFolder& folder) {
  for (const std::string& entry : folder) {
    size_t split = entry.find_first_of("=<");
    const std::string path = entry.substr(0, split), rest = entry.substr(split + 1);
    if (entry[split] == '=') writeFile(path, rest);
    else if (!rest.empty()) copyTree(binFolder() + "..\\" + rest, path);
  }
  layOutGame(std::count(folder.begin(), folder.end(), "Game.dll<") ? "" : "Game.dll");
}

std::string manifestEntry(const std::string& mod, const std::string& manifest) {
  return "mods\\" + mod + "\\manifest.json=" + manifest;
}

// A copy of a test add-on of bin\ (MarkerAddon.dll records its load in Addons.txt).
std::string addonEntry(const std::string& mod, const std::string& name) {
  return "mods\\" + mod + "\\Addons\\" + name + ".dll<bin\\MarkerAddon.dll";
}

// A copy of one of the sample mod's archives.
std::string archiveEntry(const std::string& mod, const std::string& name, const std::string& from = "data") {
  return "mods\\" + mod + "\\Mpqs\\" + name + ".mpq<testbed\\mods\\Demo\\Mpqs\\" + from + ".mpq";
}

// What the launcher traces while it builds the engine state, for a game module importing both groups.
Lines startupLines(bool warnings) {
  const char* settings = warnings ? "settings ShowMpqMessage on" : "settings ShowMpqMessage off";
  // clang-format off
  return {"game loaded", "imports user32.dll 0", "redirect CreateWindowExA 0", "redirect SetWindowTextA 0",
          "redirect LoadCursorA 0", "redirect LoadImageA 0", "imports Storm.dll 0", "redirect #279 0",
          "patch 0x4E3BFA written", "patch 0x4E3BFC written", "patch 0x59B3E4 written", "patch 0xE5F0 written",
          "patch 0xE5FF written", "patch 0x58BF7F written", settings, "crash report armed"};
  // clang-format on
}

// What the launcher traces from the race count on, when GameMain runs.
Lines launchLines(unsigned races, const std::string& splash) {
  return {"races " + std::to_string(races), "splash " + splash, "GameMain found", "archive Corvane.mpq 9 opened",
          "GameMain returned"};
}

// outcome: "opened", "missing".
Lines manifestLine(const std::string& mod, const char* outcome) {
  return {"manifest .\\mods\\" + mod + "\\manifest.json " + outcome};
}

// The archive library's trace line of an OpenArchive call.
std::string mpqLine(const std::string& path, unsigned priority, const std::string& outcome) {
  return "266 OpenArchive \"" + path + "\" priority=" + std::to_string(priority) + " flags=0 -> " + outcome;
}

std::string engineLine(int archive) {
  return mpqLine("Corvane.mpq", 9, "1 archive=A" + std::to_string(archive));
}

// The trace of a launch whose manifest opens and whose game runs.
Lines modTrace(const std::string& mod, const Lines& steps, unsigned races, const std::string& splash,
               bool warnings = true) {
  return startupLines(warnings) + manifestLine(mod, "opened") + steps + launchLines(races, splash);
}

// Wine's runtime opens a path past MAX_PATH whole; Windows without long paths refuses it.
bool underWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// ---- The settings file, the manifest, the game module's variants and the hooks while the game runs.
std::vector<LaunchCase> ordinaryLaunches() {
  const std::string gone = "archive .\\mods\\M\\Mpqs\\gone.mpq 10 failed", t = ".\\mods\\T\\";
  const std::string plainMod = manifestEntry("M", R"({"Preview": {"Enable": false}})");
  Lines noUser32 = startupLines(true), noStorm = startupLines(true);
  noUser32.erase(noUser32.begin() + 1, noUser32.begin() + 6);
  noUser32.insert(noUser32.begin() + 1, "imports user32.dll 5");
  noStorm.erase(noStorm.begin() + 6, noStorm.begin() + 14);
  noStorm.insert(noStorm.begin() + 6, "imports Storm.dll 5");
  return {
      // Settings made, every hook and patch in place, the defaults shown. Titles: the game's title in any
      // letter case becomes the mod's name, a trailing blank or null passes; cursor: the game's name loads
      // the launcher's cursor; icon: the launcher's resource at the caller's size; others pass.
      row("FirstStartWithoutAMod", {}, "", startupLines(true) + Lines{"manifest none"} + launchLines(4, "built-in"),
          {engineLine(1)},
          kPatched + Lines{"exe=Corvane.exe", "module.same=yes", kDefaults, "version.src=exe", "title.create=Corvane",
                           "title.upper=Corvane", "title.other=Warcraft III ", "title.null=", "title.final=Corvane",
                           "cursor.corvane.real=present", "cursor.blizzard=corvane", "cursor.other=null",
                           "cursor.arrow=arrow", kLauncherIcon, "icon.other=null", "icon.application=application ...",
                           kStandardRaces},
          {"Corvane.json=" + kFreshSettings, "Mods=" + kFolder}),
      // A damaged file is replaced by the default, so each archive that fails raises its own box.
      row("MalformedSettingsAreReplacedAndEachFailedArchiveWarns",
          {"Corvane.json={\"ShowMpqMessage\": false,}", archiveEntry("M", "here", "music"),
           manifestEntry("M", R"({"Mpqs": [{"Name": "gone"}, {"Name": "here"}, {"Name": "lost", "Priority": 30}]})")},
          "-mod M",
          modTrace(
              "M",
              {gone, "archive .\\mods\\M\\Mpqs\\here.mpq 11 opened", "archive .\\mods\\M\\Mpqs\\lost.mpq 30 failed"}, 4,
              "built-in"),
          {mpqLine(".\\mods\\M\\Mpqs\\gone.mpq", 10, kNoFile),
           mpqLine(".\\mods\\M\\Mpqs\\here.mpq", 11, "1 archive=A1"),
           mpqLine(".\\mods\\M\\Mpqs\\lost.mpq", 30, kNoFile), engineLine(2)},
          {"end=ok"}, {"Corvane.json=" + kFreshSettings},
          {"Warning: Failed to open gone.mpq", "Warning: Failed to open lost.mpq"}),
      row("MissingManifestLaunchesWithTheDefaults", {}, "-mod Missing",
          startupLines(true) + manifestLine("Missing", "missing") + launchLines(4, "built-in"), {engineLine(1)},
          {"title.final=Corvane", kStandardRaces}, {"mods\\Missing\\manifest.json="}),
      // Only add-ons enabled with true load, in manifest order and before any archive opens; the mod's
      // icon comes from its file at the default size.
      row("ManifestUsingEveryKeyIsAppliedWhole",
          {manifestEntry("T", R"({"ModName": "Test Mod", "ModIcon": "icon", "ModVersion": "Test Mod 1.0",
             "Preview": {"Enable": true, "Logo": "logo", "Info": "A test of every key"},
             "Addons": [{"Name": "tools", "Enable": true}, {"Name": "off", "Enable": false},
                        {"Name": "ghost", "Enable": true}, {"Name": "last", "Enable": true}],
             "Mpqs": [{"Name": "data"}, {"Name": "patch", "Priority": 20}],
             "Races": [{"Skin": "Pirates", "RaceKey": "PIRATE"}]})"),
           addonEntry("T", "tools"), addonEntry("T", "off"), addonEntry("T", "last"), archiveEntry("T", "data"),
           archiveEntry("T", "patch", "patch"), "mods\\T\\icon.ico<testbed\\mods\\Demo\\icon.ico"},
          "-mod T",
          modTrace("T",
                   {"addon " + t + "Addons\\tools.dll loaded", "addon " + t + "Addons\\ghost.dll failed",
                    "addon " + t + "Addons\\last.dll loaded", "archive " + t + "Mpqs\\data.mpq 10 opened",
                    "archive " + t + "Mpqs\\patch.mpq 20 opened", "name Test Mod", "icon " + t + "icon.ico",
                    "version Test Mod 1.0 written"},
                   1, t + "logo.bmp"),
          {mpqLine(t + "Mpqs\\data.mpq", 10, "1 archive=A1"), mpqLine(t + "Mpqs\\patch.mpq", 20, "1 archive=A2"),
           engineLine(3)},
          {"title.create=Test Mod", "title.final=Test Mod", "version=Test Mod 1.0", "version.src=heap",
           "icon.war3x=other size=32x32 ...", "races=Pirates PIRATE"},
          {"Addons.txt=tools.dll opens=0\nlast.dll opens=0\n"}),
      row("MissingGameModuleStillReadsSettingsAndMod",
          {"Game.dll<", addonEntry("M", "a"), archiveEntry("M", "data"),
           manifestEntry(
               "M", R"({"ModVersion": "v", "Addons": [{"Name": "a", "Enable": true}], "Mpqs": [{"Name": "data"}]})")},
          "-mod M",
          {"game missing", "imports user32.dll 1", "imports Storm.dll 1", "settings ShowMpqMessage on",
           "manifest .\\mods\\M\\manifest.json opened", "addon .\\mods\\M\\Addons\\a.dll loaded",
           "archive .\\mods\\M\\Mpqs\\data.mpq 10 opened", "version v skipped", "launch skipped"},
          {mpqLine(".\\mods\\M\\Mpqs\\data.mpq", 10, "1 archive=A1")}, {},
          {"Corvane.json=" + kFreshSettings, "Mods=" + kFolder, "Addons.txt=a.dll opens=0\n"}),
      // Without GameMain nothing is opened and nothing runs.
      row("GameWithoutGameMainEndsWithoutOpeningTheEngineArchive",
          {"Game.dll<testbed\\variants\\nogamemain\\Game.dll", plainMod}, "-mod M",
          startupLines(true) + manifestLine("M", "opened") + Lines{"races 4", "splash off", "GameMain missing"}, {}, {},
          {GameReport::kFileName + std::string("=")}),
      // A GameMain that leaves its argument on the stack: the launcher puts its own stack back.
      row("GameMainThatLeavesItsArgumentOnTheStackReturnsCleanly",
          {"Game.dll<testbed\\variants\\cdecl\\Game.dll", plainMod}, "-mod M", modTrace("M", {}, 4, "off"),
          {engineLine(1)}, kPatched + Lines{kStandardRaces}),
      // The archive opened last lacks the map icon here: the request falls through to the plain lookup.
      row("GameWithoutUser32ImportsStillGetsTheArchiveHooksAndPatches",
          {"Game.dll<testbed\\variants\\nouser32\\Game.dll", "War3x.mpq<testbed\\mods\\Demo\\Mpqs\\music.mpq",
           manifestEntry("M", R"({"ModName": "Named", "Preview": {"Enable": false}})")},
          "-mod M", noUser32 + manifestLine("M", "opened") + Lines{"name Named"} + launchLines(4, "off"),
          {engineLine(1)},
          kPatched + Lines{"title.final=Warcraft III", "file.UI\\Widgets\\Glues\\icon-map-test.blp=missing"}),
      // No launcher patches (the game's own bytes), but the mod's version text is written all the same.
      row("GameWithoutStormImportsStillGetsTheWindowHooksAndTheModVersion",
          {"Game.dll<testbed\\variants\\nostorm\\Game.dll",
           manifestEntry("M", R"({"ModVersion": "Mod 2", "Preview": {"Enable": false}})")},
          "-mod M", noStorm + manifestLine("M", "opened") + Lines{"version Mod 2 written"} + launchLines(4, "off"),
          {engineLine(1)},
          {"title.final=Corvane", "cursor.blizzard=corvane", "bytes.4E3BFA=74077F", "target.E5F0=game+...",
           "version=Mod 2"}),
      // The game opens War3.mpq (no map icon), then War3x.mpq (with one): the map-icon pictures come from
      // War3x.mpq, the archive opened last; a mod icon whose file is missing gives the launcher's icon.
      row("MapIconRequestsAreAnsweredFromTheArchiveOpenedLast",
          {"War3.mpq<testbed\\mods\\Demo\\Mpqs\\music.mpq", "War3x.mpq<testbed\\mods\\Demo\\Mpqs\\data.mpq",
           manifestEntry("M", R"({"ModIcon": "nothere", "Preview": {"Enable": false}})")},
          "-mod M", modTrace("M", {"icon .\\mods\\M\\nothere.ico"}, 4, "off"), {engineLine(1)},
          {"archive.War3.mpq=exists=yes result=1 via=E5F0 name=War3.mpq",
           "archive.War3x.mpq=exists=yes result=1 via=E5FF name=War3x.mpq",
           "file.UI\\Widgets\\Glues\\icon-map-test.blp=loaded size=30 text=BLP1 data.mpq war3mapIcon.blp",
           "file.ui\\widgets\\glues\\ICON-MAP.blp=loaded size=30 text=BLP1 data.mpq war3mapIcon.blp", kLauncherIcon}),
  };
}

// ---- Files that others wrote: every wrong JSON type, nesting 100,000 deep, 50 MB, ten thousand
// archives, names of ten thousand characters, paths past MAX_PATH, bytes above 0x7F, settings that are a
// folder or read-only.
std::vector<LaunchCase> hostileLaunches() {
  // Keys of a type they do not take count as missing, entries that are not objects are skipped (races
  // keep their places) and the valid entries after them still count; every type is wrong somewhere.
  const std::string wrongTypes = R"({"ModName": 7.5, "ModIcon": ["icon"], "ModVersion": {"v": 1}, "Preview": "off",
    "Addons": [7.5, {"Name": ["data"], "Enable": true}, {"Name": "data", "Enable": "true"}, {"Name": "data", "Enable": true}],
    "Mpqs": [null, {"Name": {"Name": "data"}}, {"Name": "data", "Priority": 7.5}, {"Name": "data"}],
    "Races": [false, {"Skin": 1, "RaceKey": "K1"}, {"Skin": "S2", "RaceKey": null}, {"Skin": "Pirates", "RaceKey": "PIRATE"}]})";

  // Nesting 100,000 deep in the manifest and in the settings, which are read (their true counts) but not
  // rewritten: the indented text would pass 256 MiB. Keys after 50 MB of items are found as well.
  const std::string arrays = std::string(100000, '[') + std::string(100000, ']');
  std::string huge = "{\"ModName\": \"Deep\", \"Preview\": {\"Enable\": null}, \"Nest\": " + arrays + ", \"Objects\": ";
  for (int i = 0; i < 100000; ++i) huge += "{\"a\": ";
  huge += "0" + std::string(100000, '}') + ", \"Races\": " + arrays +
          ", \"Mpqs\": [{\"Name\": \"data\", \"Priority\": " + arrays + "}], \"Items\": [";
  for (int i = 0; huge.size() < (50u << 20); ++i)
    huge += (i ? ", {\"Id\": " : "{\"Id\": ") + std::to_string(i) + ", \"Name\": \"item-" + std::to_string(i) +
            "\", \"Tags\": [\"a\", \"b\"], \"Weight\": 1.5, \"Flag\": true, \"Note\": null}";
  huge += R"(], "ModVersion": "after the items"})";

  // Ten thousand archives that fail, a thousand races (255 kept), every text ten thousand long. The game
  // reads at most 255 characters of its title back and shows "?" for a text past 200; the archive
  // library's trace cuts a text at 1024 bytes.
  auto text = [](char c) { return std::string(10000, c); };
  const std::string many = ".\\mods\\Many\\";
  std::string manifest = "{\"ModName\": \"" + text('N') + "\", \"ModVersion\": \"" + text('V') + "\", \"ModIcon\": \"" +
                         text('I') + "\", \"Preview\": {\"Enable\": {\"on\": true}, \"Logo\": \"" + text('G') +
                         "\", \"Info\": \"" + text('F') + "\"}, \"Addons\": [{\"Name\": \"" + text('A') +
                         "\", \"Enable\": true}, {\"Name\": \"data\", \"Enable\": true}], \"Mpqs\": [";
  Lines manyTrace =
      startupLines(false) + manifestLine("Many", "opened") +
      Lines{"addon " + many + "Addons\\" + text('A') + ".dll failed", "addon " + many + "Addons\\data.dll loaded"};
  Lines manyStorm;
  for (unsigned i = 0; i < 10000; ++i) {
    manifest += "{\"Name\": \"m" + std::to_string(i) + "\"}, ";
    manyTrace.push_back("archive " + many + "Mpqs\\m" + std::to_string(i) + ".mpq " + std::to_string(10 + i) +
                        " failed");
    manyStorm.push_back(mpqLine(many + "Mpqs\\m" + std::to_string(i) + ".mpq", 10 + i, kNoFile));
  }
  manifest += "{\"Name\": \"" + text('M') + "\"}, {\"Name\": \"data\"}], \"Races\": [{\"Skin\": \"" + text('S') +
              "\", \"RaceKey\": \"" + text('K') + "\"}";
  for (int i = 1; i < 1000; ++i)
    manifest += ", {\"Skin\": \"S" + std::to_string(i) + "\", \"RaceKey\": \"K" + std::to_string(i) + "\"}";
  manifest += "]}";
  manyTrace = manyTrace +
              Lines{"archive " + many + "Mpqs\\" + text('M') + ".mpq 10010 failed",
                    "archive " + many + "Mpqs\\data.mpq 10011 opened", "name " + text('N'),
                    "icon " + many + text('I') + ".ico", "version " + text('V') + " written"} +
              launchLines(255, "off");
  manyStorm = manyStorm + Lines{mpqLine((many + "Mpqs\\" + text('M')).substr(0, 1024) + "...", 10010, kNoFile),
                                mpqLine(many + "Mpqs\\data.mpq", 10011, "1 archive=A1"), engineLine(2)};

  // Files past MAX_PATH exist but the 8-bit calls cannot reach them: they fail like missing ones. Names
  // with bytes 0x80 to 0xFF load, open and reach the game and the add-on's document unchanged; the title
  // goes through the window's wide text and back. An icon path that the runtime opens but the loader refuses gives the
  // loader's answer, no icon; one that the runtime refuses too gives the launcher's icon.
  const std::string high = "Hi\xC0\xC9\xE9\xFF" + std::string(100, 'p'), addon = "Add\x80\xE9\xFC",
                    data = "Dat\xE9\xF1";
  const std::string deep = std::string(200, 'd'), in = "mods\\" + high + "\\", at = ".\\" + in;
  std::string name, version = "v\x80\x9F\xA0\xFF";
  for (int c = 0x80; c <= 0xFF; ++c) name += static_cast<char>(c);
  const std::string skin = name.substr(0, 0x40), key = name.substr(0x40);
  const std::string highManifest = "{\"ModName\": \"" + name + "\", \"ModVersion\": \"" + version +
                                   "\", \"ModIcon\": \"" + deep + "\", \"Preview\": {\"Enable\": true, \"Logo\": \"" +
                                   deep + "\", \"Info\": \"" + name + "\"}, \"Addons\": [{\"Name\": \"" + addon +
                                   "\", \"Enable\": true}, {\"Name\": \"doc\", \"Enable\": true}, {\"Name\": \"" +
                                   deep + "\", \"Enable\": true}], \"Mpqs\": [{\"Name\": \"" + data +
                                   "\"}, {\"Name\": \"" + deep + "\"}], \"Races\": [{\"Skin\": \"" + skin +
                                   "\", \"RaceKey\": \"" + key + "\"}]}";
  const std::string longMod = std::string(200, 'L') + "\\" + std::string(200, 'M');

  return {
      row("WrongTypesCountAsMissing",
          {"Corvane.json={\"ShowMpqMessage\": 7.5}", manifestEntry("W", wrongTypes), addonEntry("W", "data"),
           archiveEntry("W", "data")},
          "-mod W",
          modTrace("W",
                   {"addon .\\mods\\W\\Addons\\data.dll loaded", "archive .\\mods\\W\\Mpqs\\data.mpq 10 opened",
                    "archive .\\mods\\W\\Mpqs\\data.mpq 11 opened"},
                   4, "built-in", false),
          {mpqLine(".\\mods\\W\\Mpqs\\data.mpq", 10, "1 archive=A1"),
           mpqLine(".\\mods\\W\\Mpqs\\data.mpq", 11, "1 archive=A2"), engineLine(3)},
          {"title.final=Corvane", kDefaults, "races=Default UNKNOWN, Default K1, S2 UNKNOWN, Pirates PIRATE"},
          {"Corvane.json={\n    \"ShowMpqMessage\": 7.5\n}", "Addons.txt=data.dll opens=0\n"}),
      row("FiftyMegabytesNestedAHundredThousandDeep",
          {"Corvane.json={\"ShowMpqMessage\": true, \"Nest\": " + arrays + "}", manifestEntry("Deep", huge),
           archiveEntry("Deep", "data")},
          "-mod Deep",
          modTrace("Deep",
                   {"archive .\\mods\\Deep\\Mpqs\\data.mpq 10 opened", "name Deep", "version after the items written"},
                   1, "off"),
          {mpqLine(".\\mods\\Deep\\Mpqs\\data.mpq", 10, "1 archive=A1"), engineLine(2)},
          {"title.final=Deep", "version=after the items", "races=Default UNKNOWN"}),
      row("TenThousandArchivesAThousandRacesAndNamesOfTenThousandCharacters",
          {"Corvane.json={\"ShowMpqMessage\": false}", manifestEntry("Many", manifest), addonEntry("Many", "data"),
           archiveEntry("Many", "data")},
          "-mod Many", manyTrace, manyStorm,
          {"title.final=" + std::string(255, 'N'), "version=?", kLauncherIcon, "race.count=255", "race.skin.1=? ...",
           "race.key.1=? ...", "race.skin.2=S1 ...", "race.key.255=K254 ..."},
          {"Corvane.json={\n    \"ShowMpqMessage\": false\n}", "Addons.txt=data.dll opens=0\n"}),
      // "Corvane.json" is a folder: nothing is read or written there, and warnings are off.
      row("PathsPastMaxPathFailAndHighBytesPassUnchanged",
          {"Corvane.json\\keep.txt=kept", manifestEntry(high, highManifest), addonEntry(high, addon),
           in + "Addons\\doc.dll<" + kDemoTools, archiveEntry(high, data),
           in + "Addons\\" + deep + ".dll<bin\\MarkerAddon.dll",
           in + "Mpqs\\" + deep + ".mpq<testbed\\mods\\Demo\\Mpqs\\data.mpq",
           in + deep + ".ico<testbed\\mods\\Demo\\icon.ico", in + deep + ".bmp<testbed\\mods\\Demo\\logo.bmp"},
          "-mod " + high,
          modTrace(
              high,
              {"addon " + at + "Addons\\" + addon + ".dll loaded", "addon " + at + "Addons\\doc.dll loaded",
               "addon " + at + "Addons\\" + deep + ".dll failed", "archive " + at + "Mpqs\\" + data + ".mpq 10 opened",
               "archive " + at + "Mpqs\\" + deep + ".mpq 11 failed", "name " + name, "icon " + at + deep + ".ico",
               "version " + version + " written"},
              1, at + deep + ".bmp", false),
          {mpqLine(at + "Mpqs\\" + data + ".mpq", 10, "1 archive=A1"),
           mpqLine(at + "Mpqs\\" + deep + ".mpq", 11, kNoFile), engineLine(2)},
          {"title.final=" + name, "version=" + printable(version, 256), underWine() ? "icon.war3x=null" : kLauncherIcon,
           "races=" + printable(skin, 256) + " " + printable(key, 256)},
          {"Addons.txt=" + addon + ".dll opens=0\n",
           "configs\\DemoTools.json={\n    \"Mod\": \"" + high +
               "\",\n    \"Loads\": 1,\n    \"Level\": 0,\n    \"Verbose\": false\n}"}),
      // The mod's folder lies past MAX_PATH: its manifest applies where the runtime opens such a path.
      row("ModPastMaxPath", {manifestEntry(longMod, "{\"ModName\": \"Long\", \"Preview\": {\"Enable\": 1}}")},
          "-mod " + longMod,
          underWine() ? modTrace(longMod, {"name Long"}, 4, "off")
                      : startupLines(true) + manifestLine(longMod, "missing") + launchLines(4, "built-in"),
          {engineLine(1)}, {underWine() ? "title.final=Long" : "title.final=Corvane"}),
      // A read-only settings file keeps its bytes and the value read is used. An add-on's document cannot
      // exist where "Configs" is a file, and the file is left as it is.
      row("ReadOnlySettingsAndConfigsThatIsAFile",
          {"Corvane.json={\"Other\": [1, 2], \"ShowMpqMessage\": true}", "Configs=a file, not a folder",
           manifestEntry(
               "RO",
               R"({"ModName": "ReadOnly", "Preview": {"Enable": "true"}, "Addons": [{"Name": "doc", "Enable": true}]})"),
           "mods\\RO\\Addons\\doc.dll<" + kDemoTools},
          "-mod RO", modTrace("RO", {"addon .\\mods\\RO\\Addons\\doc.dll loaded", "name ReadOnly"}, 4, "off"),
          {engineLine(1)}, {"title.final=ReadOnly"}, {"configs\\DemoTools.json="}, {},
          {"Corvane.json", "mods\\RO\\manifest.json"}),
  };
}

// ---- Add-ons that call the exported functions from inside the launch.
std::vector<LaunchCase> addonLaunches() {
  return {
      // AbiCheck.dll, built the Microsoft way, calls every exported name and reports each check.
      row("AMicrosoftBuiltAddonCallsEveryExportedName", {"mods\\AbiCheck<testbed\\mods\\AbiCheck"},
          "-mod AbiCheck -abiText  two words  -abiNumber -42 -abiSwitch TRUE -abiZero 0 -abiLast", {}, {}, {},
          {"configs\\abicheck-probe.json={\n    \"d\": -2.75,\n    \"f\": 0.25,\n    \"b\": false,\n    \"l\": [\n        "
           "1.0\n    ]\n}"},
          {}, {}, {"AbiCheck.results", kAbiChecks}),
      // A test build whose heap hook fails a chosen allocation: AllocationFaults.dll makes each allocation
      // of a call of every exported family fail in turn and checks the failure answers; the launch goes on.
      row("EveryFamilyAnswersAFailedAllocationWithItsFailureAnswer",
          {"Corvane.exe<bin\\CorvaneAllocationFaults.exe", "mods\\AllocationFaults<testbed\\mods\\AllocationFaults"},
          "-mod AllocationFaults -faultText  value  -faultNumber 42 -faultSwitch true", {}, {}, {}, {}, {}, {},
          {"AllocationFaults.results", kAllocationChecks}),
  };
}

// The races the game read, "Skin KEY" each, by the first words of the race values it reported.
std::string races(std::map<std::string, std::string>& game) {
  std::string races;
  for (int i = 1; i <= atoi(game["race.count"].c_str()); ++i) {
    const std::string skin = game["race.skin." + std::to_string(i)], key = game["race.key." + std::to_string(i)];
    races += (i > 1 ? ", " : "") + skin.substr(0, skin.find(' ')) + " " + key.substr(0, key.find(' '));
  }
  return races;
}

// What is at path, as a row states it: kFolder, the file's bytes, or nothing.
std::string contentAt(const std::string& path) {
  if (folderExists(path)) return kFolder;
  if (!fileExists(path)) return "";
  const std::string bytes = readFile(path);
  return bytes.empty() ? "<an empty file>" : bytes;
}

class Launch : public LaunchFixture, public ::testing::WithParamInterface<LaunchCase> {};

TEST_P(Launch, EndsWithOneAndLeavesWhatTheRowSays) {
  const LaunchCase& row = GetParam();
  ASSERT_NO_FATAL_FAILURE(layOut(row.folder));
  for (const std::string& path : row.readOnly)
    std::filesystem::permissions(hostPath(path), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
  const FolderSnapshot before = takeSnapshot(folder);

  LaunchResult run = launch(row.arguments, !row.trace.empty());
  EXPECT_EQ(run.exitCode, 1u) << "exit code 0x" << std::hex << run.exitCode;
  EXPECT_EQ(run.boxes, row.boxes);
  EXPECT_EQ(trace(), row.trace);
  // The archive library's lines before the game first opens an archive: what the launcher asked.
  const Lines storm = row.trace.empty() ? Lines{} : stormTrace();
  EXPECT_EQ(Lines(storm.begin(), std::find_if(storm.begin(), storm.end(),
                                              [](const std::string& line) { return line.compare(0, 4, "293 ") == 0; })),
            row.storm);
  const auto& [results, checks] = row.addonResults;
  EXPECT_EQ(results.empty() ? "" : addonResultsProblems(results, checks), "");

  Lines spared;
  for (const std::string& file : row.files) {
    const std::string path = file.substr(0, file.find('='));
    spared.push_back(path);
    EXPECT_EQ(path + "=" + contentAt(path), file);
  }
  const FolderSnapshot after = takeSnapshot(folder);
  EXPECT_EQ(lostOrChanged(before, after, spared), Lines{});
  for (const auto& entry : after) EXPECT_EQ(entry.first.find(".tmp"), std::string::npos) << entry.first;

  if (row.game.empty()) return;
  Report game = report();
  EXPECT_EQ(game["end"], "ok");
  for (const std::string& value : row.game) {
    const std::string key = value.substr(0, value.find('='));
    const std::string read = key + "=" + (key == "races" ? races(game) : game[key]);
    const bool beginning = value.size() >= 3 && value.compare(value.size() - 3, 3, "...") == 0;
    EXPECT_EQ(beginning ? read.substr(0, value.size() - 3) + "..." : read, value);
  }
}

std::string rowName(const ::testing::TestParamInfo<LaunchCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Ordinary, Launch, ::testing::ValuesIn(ordinaryLaunches()), rowName);
INSTANTIATE_TEST_SUITE_P(Hostile, Launch, ::testing::ValuesIn(hostileLaunches()), rowName);
INSTANTIATE_TEST_SUITE_P(Addons, Launch, ::testing::ValuesIn(addonLaunches()), rowName);

}  // namespace
