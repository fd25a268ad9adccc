// corvane-check [--json] NAME: tells what the launcher will and will not use of the mod .\mods\NAME\.
#include "tools/corvane-check/CheckJson.h"
#include "tools/corvane-check/ModCheck.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
  bool json = false;
  const char* name = nullptr;
  int names = 0;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--json") == 0) json = true;
    else name = argv[i], ++names;
  }
  if (names != 1 || name[0] == 0) {
    fputs("usage: corvane-check [--json] NAME\n", stderr);
    return kStatusManifestUnreadable;
  }
#ifdef _WIN32
  // The texts hold a few UTF-8 signs (an arrow, a dash): a console shows them in its UTF-8 code page.
  DWORD mode;
  if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) SetConsoleOutputCP(CP_UTF8);
#endif
  CheckReport report;
  checkMod(name, report);
  if (json) fputs(reportJson(name, report).c_str(), stdout);
  else
    for (const std::string& line : report.lines) printf("%s\n", line.c_str());
  return exitStatus(report);
}
