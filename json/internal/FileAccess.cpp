// The documents' few file-system calls: folder creation and whole-file replacement.
#include "json/internal/FileAccess.h"

#include <cstdio>
#include <sys/stat.h>
#include <string>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

static const char kTemporarySuffix[] = ".tmp";   // the temporary file is the path with this appended

bool pathExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0;
}

void makeFolder(const char* path) {
#ifdef _WIN32
  _mkdir(path);
#else
  mkdir(path, 0777);
#endif
}

// Whether the file exists and must not be written; replacing it by a move would not ask.
static bool isReadOnly(const char* path) {
#ifdef _WIN32
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
  return access(path, F_OK) == 0 && access(path, W_OK) != 0;
#endif
}

// Moves the complete temporary file over the target.
static bool moveOver(const char* temporary, const char* path) {
#ifdef _WIN32
  return MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return rename(temporary, path) == 0;
#endif
}

// Writes size bytes to an open file and closes it; true when every byte reached the file.
static bool writeAndClose(FILE* file, const char* bytes, size_t size) {
  bool written = fwrite(bytes, 1, size, file) == size;
  if (fclose(file) != 0) written = false;
  return written;
}

bool replaceFile(const char* path, const char* bytes, size_t size) {
  if (isReadOnly(path)) return false;   // a read-only file keeps its text, whichever way it would go
  std::string temporary = std::string(path) + kTemporarySuffix;
  FILE* file = fopen(temporary.c_str(), "wb");
  if (!file) {
    // The folder takes no new file: the old way, truncating and writing in place, is all that is left.
    FILE* target = fopen(path, "wb");
    return target && writeAndClose(target, bytes, size);
  }
  if (writeAndClose(file, bytes, size) && moveOver(temporary.c_str(), path)) return true;
  remove(temporary.c_str());
  return false;
}
