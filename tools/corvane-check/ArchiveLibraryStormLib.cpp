// Archives read with Debian's StormLib (libstorm-dev): compressed and encrypted files included. The
// checker asks it only for archives whose header the game's library takes (FileFormats.h).
#include "tools/corvane-check/ArchiveLibrary.h"

#include "tools/corvane-check/HostFiles.h"

#include <StormLib.h>

LibraryOpen openLibraryArchive(const std::string& path, unsigned priority, LibraryArchive*& archive) {
  archive = nullptr;
  HANDLE handle = nullptr;
  if (!SFileOpenArchive(hostPath(path).c_str(), priority, MPQ_OPEN_READ_ONLY, &handle)) return LibraryOpen::refused;
  archive = reinterpret_cast<LibraryArchive*>(handle);
  return LibraryOpen::opened;
}

void closeLibraryArchive(LibraryArchive* archive) {
  SFileCloseArchive(reinterpret_cast<HANDLE>(archive));
}

LibraryFile* openLibraryFile(LibraryArchive* archive, const char* name, bool& held) {
  HANDLE file = nullptr;
  SetLastError(ERROR_SUCCESS);
  held = SFileOpenFileEx(reinterpret_cast<HANDLE>(archive), name, SFILE_OPEN_FROM_MPQ, &file) ||
         GetLastError() != ERROR_FILE_NOT_FOUND;
  return held && file ? reinterpret_cast<LibraryFile*>(file) : nullptr;
}

bool libraryFileSize(LibraryFile* file, uint32_t& size) {
  DWORD high = 0;
  size = SFileGetFileSize(reinterpret_cast<HANDLE>(file), &high);
  return size != SFILE_INVALID_SIZE && high == 0;
}

bool readLibraryFile(LibraryFile* file, void* buffer, uint32_t count, uint32_t& got) {
  DWORD read = 0;
  bool ok = SFileReadFile(reinterpret_cast<HANDLE>(file), buffer, count, &read, nullptr);
  got = read;
  return ok;
}

void closeLibraryFile(LibraryFile* file) {
  SFileCloseFile(reinterpret_cast<HANDLE>(file));
}
