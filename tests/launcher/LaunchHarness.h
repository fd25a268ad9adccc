// Laying out a game folder and running Corvane.exe in it as a real process under the test's eyes.
#pragma once

#include "support/TempFolder.h"
#include "support/TextLines.h"

#include <map>
#include <string>
#include <vector>

// A warning box that the launcher raised; the harness read it and dismissed it with OK.
struct WarningBox {
  std::string caption;
  std::string text;
  bool owned;   // the box had an owner window
  bool okOnly;  // it had an OK button and no Cancel button
};

struct LaunchResult {
  bool ended;  // false: the launcher hung and was terminated
  unsigned long exitCode;
  std::vector<WarningBox> boxes;  // in the order they appeared
};

// <build>\bin\ (this program's folder) and <build>\testbed\, each with a trailing backslash.
std::string binFolder();
std::string testbedFolder();

// A game folder in short, one entry per file: "PATH=BYTES" writes the bytes to PATH, "PATH<SOURCE"
// copies a file or a whole folder of the build tree there (SOURCE relative to its root, as
// "bin\\MarkerAddon.dll"; an empty SOURCE leaves PATH out). Paths are relative to the game folder and
// may run past MAX_PATH. Corvane.exe, Storm.dll, Corvane.mpq and the stand-in Game.dll go in first,
// each unless an entry names its path.
using GameFolder = std::vector<std::string>;
void layOut(const GameFolder& folder);
// Entries of a mod's folder: its manifest, a copy of a test add-on of bin\ and a copy of one of the
// sample mod's archives.
std::string manifestEntry(const std::string& mod, const std::string& manifest);
std::string addonEntry(const std::string& mod, const std::string& name, const std::string& dll = "MarkerAddon.dll");
std::string archiveEntry(const std::string& mod, const std::string& name, const std::string& from = "data");

// Copies Corvane.exe, the stand-in Storm.dll, the engine archive Corvane.mpq and the stand-in game
// module gameModule (from the testbed, under the name Game.dll; empty: none) into the current folder.
void layOutGame(const std::string& gameModule = "Game.dll");
// Makes .\mods\NAME\ with manifest.json holding manifest (no manifest when it is null).
void writeMod(const std::string& name, const char* manifest);
// Copies a file of the build tree to path under the current folder, making its folders.
void copyInto(const std::string& source, const std::string& path);
void makeFolders(const std::string& path);

// The file the launcher's start-up trace goes to when asked for.
extern const char* const kLaunchTrace;
// The version text the game shows when the mod names none.
extern const char* const kDefaultVersion;

// Runs .\Corvane.exe with arguments in the current folder and waits for it to end, dismissing every
// warning box it shows. With traced true the start-up trace is asked for (CORVANE_TRACE).
LaunchResult launch(const std::string& arguments, bool traced = true);

// Start-up trace lines, compared as whole lists.
using Lines = std::vector<std::string>;
Lines operator+(Lines first, const Lines& second);
// What the launcher traces while it builds the engine state, for a game module importing both groups.
Lines startupLines(bool warnings);
// What the launcher traces from the race count on, when GameMain runs.
Lines launchLines(unsigned races, const std::string& splash);
// The trace line of a mod's manifest: "opened", "missing".
Lines manifestLine(const std::string& mod, const char* outcome);
// The archive library's trace line of an OpenArchive call.
std::string mpqLine(const std::string& path, unsigned priority, const std::string& outcome);
// An add-on's results file holds a line "ok ..." per check passed, then "end N" for the N checks made:
// what differs from checks lines of "ok", one per line, or nothing.
std::string addonResultsProblems(const std::string& path, size_t checks);

// A fresh game folder per test and what a launch in it leaves behind: traces, the game's report.
class LaunchFixture : public TempFolderTest {
protected:
  using Report = std::map<std::string, std::string>;

  // A copy of a test add-on (MarkerAddon.dll records its load in Addons.txt) in the mod's Addons folder.
  void addAddon(const std::string& mod, const std::string& name, const char* dll = "MarkerAddon.dll");
  // A copy of one of the sample mod's archives in the mod's Mpqs folder.
  void addArchive(const std::string& mod, const std::string& name, const std::string& from = "data");

  Lines trace();
  Lines stormTrace();
  // The archive library's lines before the game first opens an archive: what the launcher asked.
  Lines launcherStormLines();
  Report report();
  // The races the game read, "Skin KEY" each, by the first words of the race values it reported.
  static std::string races(Report& game);
  void expectRaces(Report& game, const Lines& skins, const Lines& keys);  // skins[i] with keys[i]
};
