// The native corvane-check run through the shell under a time limit, its output caught in files.
#include "tools/CheckRun.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

std::string buildFile(const std::string& relative) {
  return std::string(CHECK_BUILD_TREE) + "/" + relative;
}

std::string sourceFile(const std::string& relative) {
  return std::string(CHECK_SOURCE_TREE) + "/" + relative;
}

// Seconds the checker may run before timeout(1) stops it (exit status 124) and the run is reported.
static const int kLimitSeconds = 120;

// A new empty file outside the test's folder, which the checker reads.
static std::string scratchFile() {
  char path[] = "/tmp/corvane-check-run-XXXXXX";
  close(mkstemp(path));
  return path;
}

CheckRun runCheck(const std::vector<std::string>& arguments, bool asPlayer) {
  const std::string out = scratchFile(), error = scratchFile();
  std::string command = "timeout -k 5 " + std::to_string(kLimitSeconds);
  // Root gives up the rights that let it write into any folder.
  if (asPlayer && geteuid() == 0) command += " setpriv --bounding-set=-dac_override,-dac_read_search,-fowner";
  command += " '" CHECK_PROGRAM "'";
  for (const std::string& argument : arguments) command += " '" + argument + "'";  // no quotes in them
  int status = system((command + " >" + out + " 2>" + error).c_str());
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  EXPECT_NE(code, 124) << "corvane-check did not end within " << kLimitSeconds << " s and was stopped";
  CheckRun run = {code >= 0 && code < 124, code < 124 ? code : -1, linesOf(readFile(out)), readFile(error)};
  unlink(out.c_str());
  unlink(error.c_str());
  return run;
}
