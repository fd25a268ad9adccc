// Laying out a game folder and running Corvane.exe in it as a real process under the test's eyes.
#pragma once

#include "support/TempFolder.h"
#include "support/TextLines.h"

#include <map>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;
Lines operator+(Lines first, const Lines& second);

struct LaunchResult {
  bool ended;  // false: the launcher hung and was ended
  unsigned long exitCode;
  // The warning boxes, in order, each read and dismissed with OK: "CAPTION: TEXT", with " (owned)" after
  // the caption when the box had an owner and " (not OK only)" unless it had OK and no Cancel button.
  Lines boxes;
};

// Copies Corvane.exe, the stand-in Storm.dll, the engine archive Corvane.mpq and the stand-in game module
// gameModule of the testbed (as Game.dll; empty: none) into the current folder, each unless it is there.
void layOutGame(const std::string& gameModule = "Game.dll");
// Makes .\mods\NAME\ with manifest.json holding manifest (no manifest when it is null).
void writeMod(const std::string& name, const char* manifest);
// Copies a file of the build tree to path under the current folder, making its folders.
void copyInto(const std::string& source, const std::string& path);

// Runs .\Corvane.exe with arguments in the current folder until it ends (at most 300 s). With traced
// true the start-up trace goes to LaunchTrace.txt (CORVANE_TRACE).
LaunchResult launch(const std::string& arguments, bool traced = true);
// An add-on's results file holds a line "ok ..." per check passed, then "end N" for the N checks made:
// what differs from checks lines of "ok", one per line, or nothing.
std::string addonResultsProblems(const std::string& path, size_t checks);

// A fresh game folder per test and what a launch in it left: the traces and the game's report.
class LaunchFixture : public TempFolderTest {
protected:
  using Report = std::map<std::string, std::string>;
  Lines trace();
  Lines stormTrace();
  Report report();
};
