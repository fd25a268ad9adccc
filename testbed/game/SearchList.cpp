// The archive search list from the stand-in Storm.dll's trace.
#include "testbed/game/SearchList.h"

#include "testbed/game/ReportWriter.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {
constexpr const char* kTraceFile = "StormTrace.txt";

// The trace's lines, each without its line end.
std::vector<std::string> traceLinesRead() {
  std::string text;
  readWholeFile(kTraceFile, text);
  std::istringstream stream(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(stream, line);) lines.push_back(line.substr(0, line.find('\r')));
  return lines;
}

// The number after key in line, after position from; -1 when absent.
long numberAfter(const std::string& line, const std::string& key, size_t from = 0) {
  size_t at = line.find(key, from);
  return at == std::string::npos ? -1 : atol(line.c_str() + at + key.size());
}

struct Open {
  long handle;
  SceneArchive archive;
};

// An archive open that succeeded: "266 OpenArchive "PATH" priority=P ... -> 1 archive=A<n>" or the same
// with "293 OpenArchiveEx owner=O" before the path.
bool opened(const std::string& line, Open& open) {
  if (line.compare(0, 16, "266 OpenArchive ") != 0 && line.compare(0, 18, "293 OpenArchiveEx ") != 0) return false;
  size_t first = line.find('"'), last = line.find('"', first + 1);
  if (first == std::string::npos || last == std::string::npos) return false;
  size_t arrow = line.find(" -> ", last);
  if (arrow == std::string::npos || numberAfter(line, " -> ", arrow) != 1) return false;
  open.handle = numberAfter(line, " archive=A", arrow);
  open.archive.path = line.substr(first + 1, last - first - 1);
  open.archive.priority = (unsigned)numberAfter(line, " priority=", last);
  return open.handle > 0;
}

// "252 CloseArchive A<n> -> 1": the handle closed, else 0.
long closed(const std::string& line) {
  if (line.compare(0, 18, "252 CloseArchive A") != 0 || numberAfter(line, " -> ") != 1) return 0;
  return atol(line.c_str() + 18);
}
}  // namespace

size_t traceLines() {
  return traceLinesRead().size();
}

std::vector<SceneArchive> searchList(size_t launcherLines) {
  std::vector<std::string> lines = traceLinesRead();
  // Handles count from A1 in each process: this process's calls start at its last A1 at the latest.
  size_t start = 0;
  Open open;
  for (size_t i = 0; i < lines.size(); ++i)
    if (opened(lines[i], open) && open.handle == 1) start = i;
  std::vector<Open> opens;
  for (size_t i = start; i < lines.size(); ++i) {
    if (opened(lines[i], open)) {
      open.archive.openedBy = i < launcherLines ? "launcher" : "game";
      opens.push_back(open);
    }
    long handle = closed(lines[i]);
    opens.erase(std::remove_if(opens.begin(), opens.end(), [&](const Open& o) { return o.handle == handle; }),
                opens.end());
  }
  std::reverse(opens.begin(), opens.end());
  std::stable_sort(opens.begin(), opens.end(),
                   [](const Open& a, const Open& b) { return a.archive.priority > b.archive.priority; });
  std::vector<SceneArchive> archives;
  for (const Open& o : opens) archives.push_back(o.archive);
  return archives;
}
