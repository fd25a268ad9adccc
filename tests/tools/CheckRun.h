// Running corvane-check in the test's folder and laying out what it reads. The same calls serve the
// Windows program under Wine (CheckRunWindows.cpp) and the native one (native/CheckRunPosix.cpp).
#pragma once

#include "support/TextLines.h"

#include <string>
#include <vector>

struct CheckRun {
  bool ended;  // the program ran and ended by itself
  int exitCode;
  std::vector<std::string> lines;  // standard output split at line feeds, each without its CR
  std::string errorOutput;         // standard error, as written
};

// Runs the checker with arguments in the current folder and waits for it to end. asPlayer: as a player
// runs it, without root's right to write anywhere (the Linux build; Wine's root writes anywhere anyway).
CheckRun runCheck(const std::vector<std::string>& arguments, bool asPlayer = false);

// The path of a file of the cross build tree, or of the source tree, given relative to its root with "/"
// between folders.
std::string buildFile(const std::string& relative);
std::string sourceFile(const std::string& relative);
