// Command-line queries: option scanning over given texts, and the real queries in a child process.
#include "CmdLine.h"
#include "services/internal/TextScan.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include "support/ChildProcess.h"

#include <windows.h>

#include <malloc.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>

static const char kNull[] = "<null>";

// The raw (untrimmed) value of name in line, or <null>.
static std::string scan(const char* line, const char* name) {
  size_t start = 0;
  size_t length = 0;
  if (!findOptionValue(line, name, &start, &length)) return kNull;
  return std::string(line + start, length);
}

static const char kProgram[] = "\"C:\\Games\\Corvane.exe\"";

static std::string after(const char* options) {
  return std::string(kProgram) + " " + options;
}

TEST(OptionScan, NameInAnyCaseWithOrWithoutDash) {
  std::string line = after("-mod Foo");
  EXPECT_EQ(scan(line.c_str(), "mod"), "Foo");
  EXPECT_EQ(scan(line.c_str(), "MOD"), "Foo");
  EXPECT_EQ(scan(line.c_str(), "-mod"), "Foo");
  EXPECT_EQ(scan(after("-MoD Foo").c_str(), "mod"), "Foo");
}

TEST(OptionScan, ValueRunsToNextOption) {
  EXPECT_EQ(scan(after("-mod Foo Bar -window").c_str(), "mod"), "Foo Bar");
  EXPECT_EQ(scan(after("-title a - b -x").c_str(), "title"), "a - b");
  EXPECT_EQ(scan(after("-n -5").c_str(), "n"), "-5");
  EXPECT_EQ(scan(after("-window -mod Foo").c_str(), "window"), "-mod Foo");
  EXPECT_EQ(scan(after("-window -mod Foo").c_str(), "mod"), "Foo");
  EXPECT_EQ(scan(after("-mod first -mod second").c_str(), "mod"), "first");
  EXPECT_EQ(scan(after("-a foo   -b").c_str(), "a"), "foo  ");
  EXPECT_EQ(scan(after("-a foo -").c_str(), "a"), "foo");
  EXPECT_EQ(scan(after("-a x-y").c_str(), "a"), "x-y");
}

TEST(OptionScan, AbsentOrEmptyGivesNothing) {
  EXPECT_EQ(scan(after("-modx Foo").c_str(), "mod"), kNull);
  EXPECT_EQ(scan(after("-mod").c_str(), "mod"), kNull);
  EXPECT_EQ(scan(after("-mod ").c_str(), "mod"), kNull);
  EXPECT_EQ(scan(after("-a  -b").c_str(), "a"), kNull);
  EXPECT_EQ(scan(after("-a   -b").c_str(), "a"), " ");
  EXPECT_EQ(scan(after("x-mod Foo").c_str(), "mod"), kNull);
  EXPECT_EQ(scan("", "mod"), kNull);
  // An occurrence at the very start of the scanned text never counts.
  EXPECT_EQ(scan("-mod Foo", "mod"), kNull);
  EXPECT_EQ(scan("x -mod Foo", "mod"), "Foo");
}

TEST(OptionScan, QuotesOnlyDecideWhereScanningStarts) {
  // A quoted value after a quoted program path keeps its quotes.
  EXPECT_EQ(scan(after("-mod \"My Mod\"").c_str(), "mod"), "\"My Mod\"");
  // After an unquoted path, scanning starts inside the quoted value: the option is not found.
  EXPECT_EQ(scan("C:\\Corvane.exe -mod \"Foo\"", "mod"), kNull);
  // A quote at index 0 alone does not count; the closing one does.
  EXPECT_EQ(scan("\"-mod\" -mod Foo", "mod"), "Foo");
}

TEST(OptionScan, TrimTurnsEdgesToNul) {
  char text[] = "  foo  ";
  char* result = trimInPlace(text);
  EXPECT_STREQ(result, "foo");
  EXPECT_EQ(result, text + 2);
}

#ifdef _WIN32   // the native build has no process command line of this kind: the scan above is all it runs
// The queries read the process's own command line, so they are checked in a child process started
// with known options; it prints one line per query.
static int childMain() {
  auto show = [](const char* label, char* value) {
    if (!value) {
      printf("%s=<null>\n", label);
      return;
    }
    printf("%s=[%s] size=%u\n", label, value, static_cast<unsigned>(_msize(value)));
    free(value);  // every result is the start of its block
  };
  show("mod", CmdLine::GetString("mod", true));
  show("padded", CmdLine::GetString("padded", true));
  show("padded-raw", CmdLine::GetString("padded", false));
  show("blank", CmdLine::GetString("blank", true));
  show("missing", CmdLine::GetString("missing", true));
  printf("n=%d\n", CmdLine::GetInt("n"));
  printf("missing-int=%d\n", CmdLine::GetInt("missing"));
  const char* flags[] = {"b1", "b2", "b3", "b4", "b5", "b6", "missing"};
  for (const char* flag : flags) printf("%s=%d\n", flag, CmdLine::GetBool(flag) ? 1 : 0);
  fflush(stdout);
  return 0;
}

// What the child prints for options, with CR LF turned into LF.
static std::string queriesWith(const std::string& options) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  ChildOptions capture;
  capture.captureOutput = true;
  ChildRun run = runChild(std::string("\"") + self + "\" --cmdline-child " + options, capture);
  EXPECT_EQ(run.failure, "");
  std::string clean;
  for (char c : run.output) {
    if (c != '\r') clean += c;
  }
  return clean;
}

TEST(CmdLine, QueriesReadTheProcessCommandLine) {
  std::string output = queriesWith(
      "-MOD Foo Bar -padded   spaced out   -blank   -n -42 -b1 T -b2 true -b3 2 -b4 yes -b5 0 "
      "-b6 -1");
  EXPECT_EQ(output,
            "mod=[Foo Bar] size=8\n"
            "padded=[spaced out] size=15\n"
            "padded-raw=[  spaced out  ] size=15\n"
            "blank=[] size=2\n"
            "missing=<null>\n"
            "n=-42\n"
            "missing-int=0\n"
            "b1=1\nb2=1\nb3=1\nb4=0\nb5=0\nb6=0\nmissing=0\n");
}

// Runs as the child of QueriesReadTheProcessCommandLine when asked to.
struct ChildSwitch {
  ChildSwitch() {
    if (strstr(GetCommandLineA(), " --cmdline-child ")) exit(childMain());
  }
};
static ChildSwitch gChildSwitch;
#endif
