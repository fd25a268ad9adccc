// The archive library reached without an import (the variant of Game.dll without a Storm import).

// Each function looks up its ordinal of Storm.dll at every call.
#include "testbed/game/ImportBinding.h"
#include "testbed/game/StormApi.h"

namespace {
// As an object pointer, so each caller casts it to its own function type.
void* stormOrdinal(WORD ordinal) {
  HMODULE storm = GetModuleHandleA("Storm.dll");
  if (!storm) storm = LoadLibraryA("Storm.dll");
  return storm ? (void*)GetProcAddress(storm, MAKEINTRESOURCEA(ordinal)) : nullptr;
}
}  // namespace

extern "C" {
BOOL __stdcall StormCloseArchive(HANDLE archive) {
  auto call = (decltype(&StormCloseArchive))stormOrdinal(252);
  return call ? call(archive) : FALSE;
}

BOOL __stdcall StormCloseFile(HANDLE file) {
  auto call = (decltype(&StormCloseFile))stormOrdinal(253);
  return call ? call(file) : FALSE;
}

BOOL __stdcall StormGetFileArchive(HANDLE file, HANDLE* archive) {
  auto call = (decltype(&StormGetFileArchive))stormOrdinal(264);
  return call ? call(file, archive) : FALSE;
}

DWORD __stdcall StormGetFileSize(HANDLE file, DWORD* high) {
  auto call = (decltype(&StormGetFileSize))stormOrdinal(265);
  return call ? call(file, high) : 0xFFFFFFFF;
}

BOOL __stdcall StormOpenArchive(const char* path, DWORD priority, DWORD flags, HANDLE* archive) {
  auto call = (decltype(&StormOpenArchive))stormOrdinal(266);
  return call ? call(path, priority, flags, archive) : FALSE;
}

BOOL __stdcall StormOpenFile(const char* name, HANDLE* file) {
  auto call = (decltype(&StormOpenFile))stormOrdinal(267);
  return call ? call(name, file) : FALSE;
}

BOOL __stdcall StormReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped) {
  auto call = (decltype(&StormReadFile))stormOrdinal(269);
  return call ? call(file, buffer, count, read, overlapped) : FALSE;
}

BOOL __stdcall StormGetArchiveName(HANDLE archive, char* buffer, DWORD size) {
  auto call = (decltype(&StormGetArchiveName))stormOrdinal(275);
  return call ? call(archive, buffer, size) : FALSE;
}

BOOL __stdcall StormLoadFile(const char* name, void** buffer, DWORD* size, DWORD extra, LPOVERLAPPED overlapped) {
  auto call = (decltype(&StormLoadFile))stormOrdinal(279);
  return call ? call(name, buffer, size, extra, overlapped) : FALSE;
}

BOOL __stdcall StormUnloadFile(void* buffer) {
  auto call = (decltype(&StormUnloadFile))stormOrdinal(280);
  return call ? call(buffer) : FALSE;
}

BOOL __stdcall StormOpenArchiveEx(DWORD owner, const char* path, DWORD priority, DWORD flags, HANDLE* archive) {
  auto call = (decltype(&StormOpenArchiveEx))stormOrdinal(293);
  return call ? call(owner, path, priority, flags, archive) : FALSE;
}
}

const char* stormBinding() {
  return "lookup";
}
