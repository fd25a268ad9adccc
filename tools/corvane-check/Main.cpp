// corvane-check NAME: tells what the launcher will and will not use of the mod .\mods\NAME\.
#include "tools/corvane-check/ModCheck.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == 0) {
    fputs("usage: corvane-check NAME\n", stderr);
    return kStatusManifestUnreadable;
  }
  CheckReport report;
  checkMod(argv[1], report);
  for (const std::string& line : report.lines) printf("%s\n", line.c_str());
  return exitStatus(report);
}
