// The checker's output lines, the result line and the exit status.
#include "tools/corvane-check/CheckReport.h"

#include <cstdio>
#include <cstring>

static const char* const kSeverityNames[] = {"note", "warning", "error"};

void addLine(CheckReport& report, const std::string& line) {
  report.lines.push_back(line);
}

void addFinding(CheckReport& report, Severity severity, const std::string& subject, const std::string& text) {
  if (severity == Severity::note) ++report.notes;
  if (severity == Severity::warning) ++report.warnings;
  if (severity == Severity::error) ++report.errors;
  report.findings.push_back({severity, subject, text});
  report.lines.push_back(std::string(severityName(severity)) + ": " + subject + ": " + text);
}

const char* severityName(Severity severity) {
  return kSeverityNames[static_cast<int>(severity)];
}

std::string counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string resultLine(const CheckReport& report) {
  if (report.errors) return "result: the manifest cannot be read: nothing of the mod is applied";
  if (report.warnings) {
    std::string counts = counted(report.warnings, "warning");
    if (report.notes) counts += ", " + counted(report.notes, "note");
    return "result: " + counts + ": something will not load as written";
  }
  if (report.notes) return "result: the mod loads as written (" + counted(report.notes, "note") + ")";
  return "result: the mod loads as written";
}

int exitStatus(const CheckReport& report) {
  if (report.errors) return kStatusManifestUnreadable;
  if (report.warnings) return kStatusSomethingSkipped;
  return kStatusLoadsAsWritten;
}

std::string escaped(const char* text, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char code[8];
          snprintf(code, sizeof code, "\\u%04X", c);
          out += code;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

std::string quoted(const char* text, size_t length) {
  return "\"" + escaped(text, length) + "\"";
}

std::string quoted(const char* text) {
  return quoted(text, strlen(text));
}
