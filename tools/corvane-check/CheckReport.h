// The checker's output: plain lines and findings in the order met, and the exit status they make.
#pragma once

#include "tools/corvane-check/Archives.h"

#include <string>
#include <vector>

enum class Severity {
  note,     // harmless: the launcher uses the mod as written
  warning,  // the launcher will skip or change something the mod asks for
  error,    // the manifest cannot be read: nothing of the mod is applied
};

struct Finding {
  Severity severity;
  std::string subject;  // a manifest key path or a file path
  std::string text;
};

struct AddonFacts {
  std::string path;  // as the launcher loads it
  bool loads;
};

struct CheckReport {
  std::string modFolder;               // ".\mods\NAME\", as the launcher writes it
  std::vector<std::string> lines;      // without line ends
  std::vector<Finding> findings;       // the findings among the lines, in the same order
  std::vector<ArchiveFacts> archives;  // in the order they are opened: the mod's, the engine's, the game's
  std::vector<Conflict> conflicts;
  std::vector<AddonFacts> addons;  // every enabled add-on, in the order they load
  std::string gameVersion;         // Game.dll's file version; empty when it has none
  unsigned notes = 0;
  unsigned warnings = 0;
  unsigned errors = 0;
};

// Exit statuses of the checker.
const int kStatusLoadsAsWritten = 0;
const int kStatusSomethingSkipped = 1;
const int kStatusManifestUnreadable = 2;

// A plain line: what the launcher will do.
void addLine(CheckReport& report, const std::string& line);
// "severity: subject: text"; subject is a manifest key path or a file path.
void addFinding(CheckReport& report, Severity severity, const std::string& subject, const std::string& text);
const char* severityName(Severity severity);
// "1 file", "2 files".
std::string counted(size_t count, const char* noun);
// The last line, summing up the findings.
std::string resultLine(const CheckReport& report);
int exitStatus(const CheckReport& report);

// Text as a JSON string literal would write it: in double quotes, with \" \\ \n \r \t and \u00XX for
// the other control bytes; bytes from 0x80 pass unchanged (the system's code page).
std::string quoted(const char* text, size_t length);
std::string quoted(const char* text);
// The same escapes without the quotes, for key names inside key paths.
std::string escaped(const char* text, size_t length);
