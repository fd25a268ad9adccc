// Opening and reading the mod's files, bounded, on Windows and on POSIX hosts.
#include "tools/corvane-check/HostFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::vector<std::string> resolvedParts(const std::string& path) {
  std::vector<std::string> parts;
  for (size_t start = 0, end; start <= path.size(); start = end + 1) {
    end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == ".." && !parts.empty() && parts.back() != "..") parts.pop_back();
    else if (!part.empty() && part != ".") parts.push_back(part);
  }
  return parts;
}

#ifdef _WIN32
std::string hostPath(const std::string& path) {
  return path;
}
#else
std::string hostPath(const std::string& path) {
  std::vector<std::string> parts = resolvedParts(path);
  std::string host = path.compare(0, 1, "/") == 0 ? "/" : "./";
  for (size_t i = 0; i < parts.size(); ++i) host += (i ? "/" : "") + parts[i];
  return host;
}
#endif

bool readFileBytes(const std::string& path, size_t limit, std::vector<unsigned char>& bytes) {
  bytes.clear();
  FILE* file = fopen(hostPath(path).c_str(), "rb");
  if (!file) return false;
  unsigned char chunk[65536];
  size_t got;
  while (bytes.size() < limit && (got = fread(chunk, 1, sizeof chunk, file)) > 0) {
    if (got > limit - bytes.size()) got = limit - bytes.size();
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  fclose(file);
  return true;
}

// The file's size in bytes (0 when it cannot be told).
static uint64_t fileSize(const std::string& path);

ArchiveLook lookForArchiveHeader(const std::string& path, ArchiveHeader& header, uint64_t& length) {
  FILE* file = fopen(hostPath(path).c_str(), "rb");
  if (!file) return errno == ENOENT || errno == ENOTDIR ? ArchiveLook::missing : ArchiveLook::unreadable;
  // Block by block: only a block's first bytes can hold the header.
  unsigned char block[kArchiveHeaderAlignment];
  size_t got;
  uint64_t at = 0;
  ArchiveLook look = ArchiveLook::noHeader;
  while (look == ArchiveLook::noHeader && (got = fread(block, 1, sizeof block, file)) > 0) {
    if (isArchiveHeader(block, got)) {
      look = ArchiveLook::header;
      memcpy(&header, block, sizeof header);
      uint64_t size = fileSize(path);
      length = size > at ? size - at : 0;
    }
    at += got;
  }
  if (look == ArchiveLook::noHeader && ferror(file)) look = ArchiveLook::unreadable;  // a folder, say
  fclose(file);
  return look;
}

#ifdef _WIN32
static uint64_t fileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA facts;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &facts)) return 0;
  return (uint64_t(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow;
}

PathKind pathKind(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::none;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::folder : PathKind::file;
}

bool canMakeFiles(const std::string& folder) {
  std::string probe = folder + "corvane-check-" + std::to_string(GetCurrentProcessId()) + ".tmp";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::vector<SearchFolder> moduleSearchFolders() {
  char system[MAX_PATH], windows[MAX_PATH];
  std::vector<SearchFolder> folders = {{".\\", false}};
  if (GetSystemDirectoryA(system, MAX_PATH)) folders.push_back({std::string(system) + "\\", true});
  if (GetWindowsDirectoryA(windows, MAX_PATH)) {
    folders.push_back({std::string(windows) + "\\System\\", true});
    folders.push_back({std::string(windows) + "\\", true});
  }
  const char* variable = getenv("PATH");
  std::string path = variable ? variable : "";
  for (size_t start = 0, end; start < path.size(); start = end + 1) {
    end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) folders.push_back({path.substr(start, end - start) + "\\", false});
  }
  return folders;
}
#else
static uint64_t fileSize(const std::string& path) {
  struct stat facts;
  return stat(hostPath(path).c_str(), &facts) == 0 ? uint64_t(facts.st_size) : 0;
}

PathKind pathKind(const std::string& path) {
  struct stat facts;
  if (stat(hostPath(path).c_str(), &facts) != 0) return PathKind::none;
  return S_ISDIR(facts.st_mode) ? PathKind::folder : PathKind::file;
}

bool canMakeFiles(const std::string& folder) {
  std::string probe = hostPath(folder + "corvane-check-" + std::to_string(getpid()) + ".tmp");
  int file = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (file < 0) return false;
  close(file);
  unlink(probe.c_str());
  return true;
}

// No system folders here: the system's own DLLs are known by name (AddonImports.cpp).
std::vector<SearchFolder> moduleSearchFolders() {
  std::vector<SearchFolder> folders = {{".\\", false}};
  const char* variable = getenv("PATH");
  std::string path = variable ? variable : "";
  for (size_t start = 0, end; start < path.size(); start = end + 1) {
    end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) folders.push_back({path.substr(start, end - start) + "/", false});
  }
  return folders;
}
#endif
