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

// The raw (untrimmed) value of name in line, or <null>.
static std::string scan(const std::string& line, const char* name) {
  size_t start = 0;
  size_t length = 0;
  if (!findOptionValue(line.c_str(), name, &start, &length)) return "<null>";
  return line.substr(start, length);
}

// Scanning starts after a quote at index 1 or later (the program's path), and an occurrence at the very
// start of the scanned text never counts. The OptionScan fuzz target compares every other line with a
// plain reading of the rules.
TEST(OptionScan, ValuesOfNamesInAnyCase) {
  const char* const kProgram = "\"C:\\Games\\Corvane.exe\" ";
  struct Case {
    std::string options;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"-mod Foo", "MOD", "Foo"},
      {"-MoD Foo", "-mod", "Foo"},
      {"-mod Foo Bar -window", "mod", "Foo Bar"},
      {"-title a - b -x", "title", "a - b"},
      {"-n -5", "n", "-5"},
      {"-window -mod Foo", "window", "-mod Foo"},
      {"-window -mod Foo", "mod", "Foo"},
      {"-mod first -mod second", "mod", "first"},
      {"-a foo   -b", "a", "foo  "},
      {"-a foo -", "a", "foo"},
      {"-a x-y", "a", "x-y"},
      {"-modx Foo", "mod", "<null>"},
      {"-mod", "mod", "<null>"},
      {"-mod ", "mod", "<null>"},
      {"-a  -b", "a", "<null>"},
      {"-a   -b", "a", " "},
      {"x-mod Foo", "mod", "<null>"},
      {"-mod \"My Mod\"", "mod", "\"My Mod\""},
  };
  for (const Case& c : cases) EXPECT_EQ(scan(kProgram + c.options, c.name), c.value) << c.options;
  EXPECT_EQ(scan("", "mod"), "<null>");
  EXPECT_EQ(scan("-mod Foo", "mod"), "<null>");
  EXPECT_EQ(scan("x -mod Foo", "mod"), "Foo");
  EXPECT_EQ(scan("C:\\Corvane.exe -mod \"Foo\"", "mod"), "<null>");  // scanning starts inside the value
  EXPECT_EQ(scan("\"x -mod A\" -mod B", "mod"), "B");                // the quote at index 0 is passed over
  char text[] = "  foo \r";
  EXPECT_EQ(trimInPlace(text), text + 2);
  EXPECT_EQ(std::string(text, sizeof text), std::string("\0\0foo\0\0\0", 8));
}

#ifdef _WIN32  // the native build has no process command line of this kind: the scan above is all it runs
// The queries read the process's own command line, so they are checked in a child process started with
// known options; it prints one line per query, with the size of each returned block (which it frees).
static void showString(const char* label, char* value) {
  if (value) printf("%s=[%s] size=%u\n", label, value, static_cast<unsigned>(_msize(value)));
  if (!value) printf("%s=<null>\n", label);
  free(value);
}

static int childMain() {
  showString("mod", CmdLine::GetString("mod", true));
  showString("padded", CmdLine::GetString("padded", true));
  showString("padded-raw", CmdLine::GetString("padded", false));
  showString("blank", CmdLine::GetString("blank", true));
  showString("missing", CmdLine::GetString("missing", true));
  printf("n=%d missing=%d\n", CmdLine::GetInt("n"), CmdLine::GetInt("missing"));
  for (const char* flag : {"b1", "b2", "b3", "b4", "b5", "b6", "missing"}) printf("%d", CmdLine::GetBool(flag));
  fflush(stdout);
  return 0;
}

TEST(CmdLine, QueriesReadTheProcessCommandLine) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  ChildOptions capture;
  capture.captureOutput = true;
  ChildRun run = runChild(std::string("\"") + self +
                              "\" --cmdline-child -MOD Foo Bar -padded   spaced out   -blank   -n -42 -b1 T -b2 true "
                              "-b3 1 -b4 yes -b5 0 -b6 -1",
                          capture);
  EXPECT_EQ(run.failure, "");
  EXPECT_EQ(run.output,
            "mod=[Foo Bar] size=8\r\n"
            "padded=[spaced out] size=15\r\n"
            "padded-raw=[  spaced out  ] size=15\r\n"
            "blank=[] size=2\r\n"
            "missing=<null>\r\n"
            "n=-42 missing=0\r\n"
            "1110000");
}

// Runs as the child of QueriesReadTheProcessCommandLine when asked to.
struct ChildSwitch {
  ChildSwitch() {
    if (strstr(GetCommandLineA(), " --cmdline-child ")) exit(childMain());
  }
};
static ChildSwitch gChildSwitch;
#endif
