// Storm wrappers: one caller-cleans function per imported ordinal of the archive library.
#include "Storm.h"

#include "services/StormImports.h"

namespace Storm {

bool OpenArchive(const char* name, DWORD priority, DWORD flags, HANDLE* archive) {
  return stormOpenArchive(name, priority, flags, archive) != 0;
}

bool CloseArchive(HANDLE archive) {
  return stormCloseArchive(archive) != 0;
}

// The buffer is declared constant in the exported signature, yet the library writes it.
bool GetArchiveName(HANDLE archive, const char* buffer, DWORD size) {
  return stormGetArchiveName(archive, const_cast<char*>(buffer), size) != 0;
}

bool OpenFile(const char* name, HANDLE* file) {
  return stormOpenFile(name, file) != 0;
}

bool OpenFileEx(HANDLE archive, const char* name, DWORD option, HANDLE* file) {
  return stormOpenFileEx(archive, name, option, file) != 0;
}

bool CloseFile(HANDLE file) {
  return stormCloseFile(file) != 0;
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
  return stormGetFileSize(file, high);
}

bool GetFileArchive(HANDLE file, HANDLE* archive) {
  return stormGetFileArchive(file, archive) != 0;
}

bool GetFileName(HANDLE file, const char* buffer, DWORD size) {
  return stormGetFileName(file, const_cast<char*>(buffer), size) != 0;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* high, DWORD method) {
  return stormSetFilePointer(file, distance, high, method);
}

bool ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped) {
  return stormReadFile(file, buffer, count, read, overlapped) != 0;
}

LCID SetLocale(LCID locale) {
  return stormSetLocale(locale);
}

bool GetBasePath(char* buffer, DWORD size) {
  return stormGetBasePath(buffer, size) != 0;
}

bool SetBasePath(const char* path) {
  return stormSetBasePath(path) != 0;
}

}  // namespace Storm
