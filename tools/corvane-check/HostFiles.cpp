// Opening and reading the mod's files, bounded, on Windows and on POSIX hosts.
#include "tools/corvane-check/HostFiles.h"

#include "tools/corvane-check/FileFormats.h"

#include <cerrno>
#include <cstdio>

std::string hostPath(const std::string& path) {
#ifdef _WIN32
  return path;
#else
  std::string host = path;
  for (char& c : host)
    if (c == '\\') c = '/';
  return host;
#endif
}

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

ArchiveLook lookForArchiveHeader(const std::string& path) {
  FILE* file = fopen(hostPath(path).c_str(), "rb");
  if (!file) return errno == ENOENT || errno == ENOTDIR ? ArchiveLook::missing : ArchiveLook::unreadable;
  // Block by block: only a block's first bytes can hold the header.
  unsigned char block[kArchiveHeaderAlignment];
  size_t got;
  ArchiveLook look = ArchiveLook::noHeader;
  while (look == ArchiveLook::noHeader && (got = fread(block, 1, sizeof block, file)) > 0)
    if (isArchiveHeader(block, got)) look = ArchiveLook::header;
  if (look == ArchiveLook::noHeader && ferror(file)) look = ArchiveLook::unreadable;  // a folder, say
  fclose(file);
  return look;
}
