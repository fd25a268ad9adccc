// The documents' few file-system calls: folder creation and whole-file replacement.
#include "json/internal/FileAccess.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

static const char kTemporarySuffix[] = ".tmp";   // the temporary file is the path with this appended

void makeFolder(const char* path) {
#ifdef _WIN32
  _mkdir(path);
#else
  mkdir(path, 0777);
#endif
}

// Moves the complete temporary file over the target. A read-only target refuses.
static bool moveOver(const char* temporary, const char* path) {
#ifdef _WIN32
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  return MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING) != 0;
#else
  if (access(path, F_OK) == 0 && access(path, W_OK) != 0) return false;   // rename would ignore it
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
