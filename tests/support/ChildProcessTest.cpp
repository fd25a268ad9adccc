// The child-process runner on this program itself started as a child: what it is given, what it gives
// back, and a child that never ends, which is ended at its limit and named.
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string self() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string variable(const char* name) {
  char value[256];
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length ? std::string(value, length) : "(none)";
}

// The child: "report" prints what it was given and ends with 7; "hang" prints a line and never ends.
struct ChildSwitch {
  ChildSwitch() {
    const char* line = GetCommandLineA();
    if (strstr(line, " --child report")) {
      char folder[MAX_PATH];
      GetCurrentDirectoryA(MAX_PATH, folder);
      printf("folder=%s\nGIVEN=%s\nREMOVED=%s\n", folder, variable("GIVEN").c_str(), variable("REMOVED").c_str());
      fprintf(stderr, "on the error output\n");
      exit(7);
    }
    if (strstr(line, " --child hang")) {
      printf("waiting\n");
      fflush(stdout);
      for (;;) Sleep(1000);
    }
  }
};
ChildSwitch gChildSwitch;

class ChildProcessTest : public TempFolderTest {};

TEST_F(ChildProcessTest, GivesTheFolderAndEnvironmentAndTakesOutputErrorsAndExitCode) {
  SetEnvironmentVariableA("REMOVED", "inherited");
  ChildOptions options;
  options.folder = folder;
  options.environment = {{"GIVEN", "a value"}, {"removed", ""}};
  options.captureOutput = true;
  options.separateErrors = true;
  ChildRun run = runChild("\"" + self() + "\" --child report", options);
  SetEnvironmentVariableA("REMOVED", nullptr);
  EXPECT_EQ(run.failure, "");
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 7u);
  EXPECT_EQ(run.output, "folder=" + folder + "\r\nGIVEN=a value\r\nREMOVED=(none)\r\n");
  EXPECT_EQ(run.errors, "on the error output\r\n");
}

TEST_F(ChildProcessTest, AChildPastItsLimitIsEndedAndNamed) {
  ChildOptions options;
  options.captureOutput = true;
  options.limitMs = 2000;
  ChildProcess child;
  ASSERT_TRUE(child.start("\"" + self() + "\" --child hang", options));
  int polls = 0;
  EXPECT_FALSE(child.finish([&] { ++polls; }));
  EXPECT_TRUE(child.timedOut());
  EXPECT_TRUE(child.ended());
  EXPECT_GT(polls, 0);
  EXPECT_EQ(child.exitCode(), 99u);
  std::string program = self().substr(self().find_last_of('\\') + 1);
  EXPECT_EQ(child.failure(),
            program + " --child hang did not end within 2 s and was ended (exit code 99); its output:\nwaiting\r\n");
}

}  // namespace
