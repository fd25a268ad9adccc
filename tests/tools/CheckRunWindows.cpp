// corvane-check.exe run as a child process with its output read through pipes.
#include "tools/CheckRun.h"

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

std::string buildFile(const std::string& relative) {
  return binFolder() + "..\\" + relative;
}

std::string sourceFile(const std::string& relative) {
  return "Z:" CHECK_SOURCE_TREE "/" + relative;  // Wine's drive Z: is the host's root
}

CheckRun runCheck(const std::vector<std::string>& arguments, bool) {
  std::string commandLine = "\"" + binFolder() + "corvane-check.exe\"";
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
  ChildOptions options;
  options.captureOutput = true;
  options.separateErrors = true;
  ChildRun child = runChild(commandLine, options);
  // A checker that does not end is reported by name, with what it wrote.
  EXPECT_EQ(child.failure, "");
  return {child.ended, child.ended ? static_cast<int>(child.exitCode) : -1, linesOf(child.output), child.errors};
}
