// The game's archives: opened through the two call sites, then files asked for.
#include "testbed/game/Archives.h"

#include "testbed/game/Report.h"
#include "testbed/game/StormApi.h"

#include <string>

using namespace GameReport;

namespace {
constexpr size_t kTextLimit = 60;

// The first line of a file's content, made printable.
std::string firstLine(const char* data, DWORD size) {
  std::string text(data, size);
  size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return printable(text, kTextLimit);
}

std::string archiveName(HANDLE archive) {
  char name[MAX_PATH] = "";
  if (!StormGetArchiveName(archive, name, sizeof name)) return "-";
  return printable(name, MAX_PATH);
}

std::string openedLine(const char* path, DWORD result, HANDLE archive, const char* via) {
  bool exists = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  return std::string("exists=") + (exists ? "yes" : "no") + " result=" + std::to_string(result) + " via=" + via +
         " name=" + (result && archive ? archiveName(archive) : "-");
}

std::string loadedLine(const char* name) {
  void* buffer = nullptr;
  DWORD size = 0;
  if (!StormLoadFile(name, &buffer, &size, 0, nullptr)) return "missing";
  std::string line =
      "loaded size=" + std::to_string(size) + " text=" + (buffer ? firstLine((const char*)buffer, size) : "-");
  if (buffer) StormUnloadFile(buffer);
  return line;
}

std::string openLine(const char* name) {
  HANDLE file = nullptr;
  if (!StormOpenFile(name, &file)) return "missing";
  DWORD high = 0;
  DWORD size = StormGetFileSize(file, &high);
  char data[256];
  DWORD read = 0;
  if (!StormReadFile(file, data, sizeof data, &read, nullptr)) read = 0;
  HANDLE archive = nullptr;
  std::string from = StormGetFileArchive(file, &archive) && archive ? archiveName(archive) : "-";
  StormCloseFile(file);
  return "opened size=" + std::to_string(size) + " text=" + firstLine(data, read) + " archive=" + from;
}
}  // namespace

void openArchives(ReportWriter& report, GameArchives& archives) {
  ArchiveOpenRequest request = {};
  request.owner = 0;
  request.pathEx = kArchiveEx;
  request.priorityEx = kArchiveExPriority;
  request.archiveEx = &archives.ex;
  request.path = kArchive;
  request.priority = kArchivePriority;
  request.archive = &archives.plain;
  gameOpenArchives(&request);
  if (!request.resultEx) archives.ex = nullptr;
  if (!request.result) archives.plain = nullptr;
  report.put(std::string("archive.") + kArchiveEx, openedLine(kArchiveEx, request.resultEx, archives.ex, "E5F0"));
  report.put(std::string("archive.") + kArchive, openedLine(kArchive, request.result, archives.plain, "E5FF"));
}

void requestFiles(ReportWriter& report) {
  for (const char* name : kLoadedFiles) report.put(std::string("file.") + name, loadedLine(name));
  for (const char* name : kOpenedFiles) report.put(std::string("open.") + name, openLine(name));
  // Names a test asks for: one a line in the file CORVANE_GAME_READS names.
  char list[MAX_PATH];
  if (!GetEnvironmentVariableA(kReadsVariable, list, MAX_PATH)) return;
  HANDLE file = CreateFileA(list, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char text[4096];
  DWORD got = 0;
  if (file == INVALID_HANDLE_VALUE) return;
  if (!ReadFile(file, text, sizeof text, &got, nullptr)) got = 0;
  CloseHandle(file);
  std::string names(text, got);
  for (size_t start = 0, end; start < names.size(); start = end + 1) {
    end = names.find('\n', start);
    if (end == std::string::npos) end = names.size();
    std::string name = names.substr(start, end - start);
    if (!name.empty()) report.put("read." + name, loadedLine(name.c_str()));
  }
}

void closeArchives(ReportWriter& report, GameArchives& archives) {
  if (archives.ex) report.put(std::string("close.") + kArchiveEx, std::to_string(StormCloseArchive(archives.ex)));
  if (archives.plain) report.put(std::string("close.") + kArchive, std::to_string(StormCloseArchive(archives.plain)));
  archives = GameArchives();
}
