// The library's exported functions, reached by ordinal only (Storm.def): each call is traced.
#include "Handles.h"
#include "Trace.h"

namespace {

LCID gLocale = 0;               // 0 = neutral
char gBasePath[MAX_PATH] = "";  // recorded and reported; archive paths never depend on it

// A failure result with its reason; the trace line goes out when the caller's TraceLine ends.
DWORD failedWith(TraceLine& line, Outcome outcome, DWORD value) {
  line.result(value);
  line.text("why", outcome.why);
  SetLastError(outcome.error);
  return value;
}

BOOL failed(TraceLine& line, Outcome outcome) {
  return failedWith(line, outcome, FALSE);
}

// The archive that answered a lookup: archive=A<n> from="path".
void traceSource(TraceLine& line, const Located& located) {
  if (!located.archive) return;
  line.handle("archive", 'A', located.archive, located.archive->id);
  line.text("from", located.archive->path);
}

Outcome copyOut(const char* text, char* buffer, DWORD size) {
  if (!buffer) return {"null buffer", ERROR_INVALID_PARAMETER};
  DWORD length = lstrlenA(text);
  if (length + 1 > size) {
    if (size) buffer[0] = 0;
    return {"buffer too small", ERROR_INSUFFICIENT_BUFFER};
  }
  CopyMemory(buffer, text, length + 1);
  return outcomeOk;
}

BOOL openArchive(TraceLine& line, const char* path, DWORD priority, HANDLE* result) {
  if (result) *result = nullptr;
  if (!path) return failed(line, {"null path", ERROR_INVALID_PARAMETER});
  if (!result) return failed(line, {"null handle pointer", ERROR_INVALID_PARAMETER});
  Archive* archive;
  Outcome outcome = openArchiveFile(path, &archive);
  if (outcome.why) return failed(line, outcome);
  addArchive(archive, priority);
  *result = archive;
  line.result(1);
  line.handle("archive", 'A', archive, archive->id);
  return TRUE;
}

BOOL openFile(TraceLine& line, Archive* only, const char* name, HANDLE* result) {
  if (result) *result = nullptr;
  if (!name) return failed(line, {"null name", ERROR_INVALID_PARAMETER});
  if (!result) return failed(line, {"null handle pointer", ERROR_INVALID_PARAMETER});
  Located located;
  Outcome outcome = locateFile(only, name, gLocale, &located);
  if (outcome.why) {
    failed(line, outcome);
    traceSource(line, located);
    return FALSE;
  }
  OpenedFile* file = addFile(located, name);
  if (!file) return failed(line, {"out of memory", ERROR_NOT_ENOUGH_MEMORY});
  *result = file;
  line.result(1);
  line.handle("file", 'F', file, file->id);
  traceSource(line, located);
  return TRUE;
}

// The whole file into a new zero-filled block with extra bytes after it.
BOOL loadFile(TraceLine& line, Archive* only, const char* name, void** result, DWORD* size, DWORD extra) {
  if (result) *result = nullptr;
  if (size) *size = 0;
  if (!name) return failed(line, {"null name", ERROR_INVALID_PARAMETER});
  if (!result) return failed(line, {"null buffer pointer", ERROR_INVALID_PARAMETER});
  Located located;
  Outcome outcome = locateFile(only, name, gLocale, &located);
  if (outcome.why) {
    failed(line, outcome);
    traceSource(line, located);
    return FALSE;
  }
  if (located.size > 0xFFFFFFFFu - extra) return failed(line, {"out of memory", ERROR_NOT_ENOUGH_MEMORY});
  void* data = allocate((size_t)located.size + extra);
  if (!data) return failed(line, {"out of memory", ERROR_NOT_ENOUGH_MEMORY});
  outcome = readArchive(located.archive, located.offset, data, located.size);
  LoadedBuffer* buffer = outcome.why ? nullptr : addBuffer(data);
  if (!buffer) {
    release(data);
    failed(line, outcome.why ? outcome : Outcome{"out of memory", ERROR_NOT_ENOUGH_MEMORY});
    traceSource(line, located);
    return FALSE;
  }
  *result = data;
  if (size) *size = located.size;
  line.result(1);
  line.handle("buffer", 'B', data, buffer->id);
  line.number("size", located.size);
  traceSource(line, located);
  return TRUE;
}

}  // namespace

// The default base path is the program's own folder with a trailing backslash.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  initLibraryLock();
  DWORD length = GetModuleFileNameA(nullptr, gBasePath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) length = 0;
  while (length && gBasePath[length - 1] != '\\' && gBasePath[length - 1] != '/') --length;
  gBasePath[length] = 0;
  return TRUE;
}

extern "C" {

BOOL WINAPI StormCloseArchive(HANDLE handle) {
  LibraryLock lock;
  TraceLine line(252, "CloseArchive");
  Archive* archive = findArchive(handle);
  line.handle('A', handle, archive ? archive->id : 0);
  if (!archive) return failed(line, {"unknown archive", ERROR_INVALID_HANDLE});
  closeArchive(archive);
  line.result(1);
  return TRUE;
}

BOOL WINAPI StormCloseFile(HANDLE handle) {
  LibraryLock lock;
  TraceLine line(253, "CloseFile");
  OpenedFile* file = findFile(handle);
  line.handle('F', handle, file ? file->id : 0);
  if (!file) return failed(line, {"unknown file", ERROR_INVALID_HANDLE});
  closeFile(file);
  line.result(1);
  return TRUE;
}

BOOL WINAPI StormGetFileArchive(HANDLE handle, HANDLE* result) {
  LibraryLock lock;
  TraceLine line(264, "GetFileArchive");
  OpenedFile* file = findFile(handle);
  line.handle('F', handle, file ? file->id : 0);
  if (result) *result = nullptr;
  if (!file) return failed(line, {"unknown file", ERROR_INVALID_HANDLE});
  if (!result) return failed(line, {"null handle pointer", ERROR_INVALID_PARAMETER});
  Archive* archive = file->where.archive;
  if (!archive->open) return failed(line, {"archive closed", ERROR_INVALID_HANDLE});
  *result = archive;
  line.result(1);
  line.handle("archive", 'A', archive, archive->id);
  return TRUE;
}

DWORD WINAPI StormGetFileSize(HANDLE handle, DWORD* high) {
  LibraryLock lock;
  TraceLine line(265, "GetFileSize");
  OpenedFile* file = findFile(handle);
  line.handle('F', handle, file ? file->id : 0);
  if (!file) return failedWith(line, {"unknown file", ERROR_INVALID_HANDLE}, INVALID_FILE_SIZE);
  line.result(file->where.size);
  if (high) {
    *high = 0;
    line.number("high", 0);
  }
  SetLastError(NO_ERROR);
  return file->where.size;
}

BOOL WINAPI StormOpenArchive(const char* path, DWORD priority, DWORD flags, HANDLE* result) {
  LibraryLock lock;
  TraceLine line(266, "OpenArchive");
  line.text(path);
  line.number("priority", priority);
  line.number("flags", flags);
  return openArchive(line, path, priority, result);
}

BOOL WINAPI StormOpenFile(const char* name, HANDLE* result) {
  LibraryLock lock;
  TraceLine line(267, "OpenFile");
  line.text(name);
  return openFile(line, nullptr, name, result);
}

BOOL WINAPI StormOpenFileEx(HANDLE archiveHandle, const char* name, DWORD option, HANDLE* result) {
  LibraryLock lock;
  TraceLine line(268, "OpenFileEx");
  Archive* archive = findArchive(archiveHandle);
  line.handle('A', archiveHandle, archive ? archive->id : 0);
  line.text(name);
  line.number("option", option);
  if (archiveHandle && !archive) {
    if (result) *result = nullptr;
    return failed(line, {"unknown archive", ERROR_INVALID_HANDLE});
  }
  return openFile(line, archive, name, result);
}

BOOL WINAPI StormReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED) {
  LibraryLock lock;
  TraceLine line(269, "ReadFile");
  OpenedFile* file = findFile(handle);
  line.handle('F', handle, file ? file->id : 0);
  line.number("count", count);
  if (read) *read = 0;
  if (!file) return failed(line, {"unknown file", ERROR_INVALID_HANDLE});
  if (!buffer && count) return failed(line, {"null buffer", ERROR_INVALID_PARAMETER});
  uint64_t size = file->where.size;
  uint64_t available = file->position < size ? size - file->position : 0;
  DWORD take = available < count ? (DWORD)available : count;
  Outcome outcome = readArchive(file->where.archive, file->where.offset + file->position, buffer, take);
  if (outcome.why) return failed(line, outcome);
  file->position += take;
  if (read) *read = take;
  line.result(1);
  line.number("read", take);
  return TRUE;
}

BOOL WINAPI StormSetBasePath(const char* path) {
  LibraryLock lock;
  TraceLine line(270, "SetBasePath");
  line.text(path);
  if (!path) return failed(line, {"null path", ERROR_INVALID_PARAMETER});
  if (lstrlenA(path) >= MAX_PATH) return failed(line, {"path too long", ERROR_FILENAME_EXCED_RANGE});
  CopyMemory(gBasePath, path, lstrlenA(path) + 1);
  line.result(1);
  return TRUE;
}

// Shaped like the platform's SetFilePointer: a 64-bit move when high is given, any position at or
// past the end allowed (reads there give 0 bytes), a negative one refused.
DWORD WINAPI StormSetFilePointer(HANDLE handle, LONG distance, LONG* high, DWORD method) {
  LibraryLock lock;
  TraceLine line(271, "SetFilePointer");
  OpenedFile* file = findFile(handle);
  line.handle('F', handle, file ? file->id : 0);
  line.signedNumber("distance", distance);
  if (high) line.signedNumber("high", *high);
  else line.text("high", nullptr);
  line.number("method", method);

  Outcome outcome = outcomeOk;
  int64_t target = 0;
  if (!file) {
    outcome = {"unknown file", ERROR_INVALID_HANDLE};
  } else if (method > FILE_END) {
    outcome = {"bad method", ERROR_INVALID_PARAMETER};
  } else {
    int64_t move = high ? (int64_t)(((uint64_t)(uint32_t)*high << 32) | (uint32_t)distance) : (int64_t)distance;
    int64_t origin = method == FILE_BEGIN     ? 0
                     : method == FILE_CURRENT ? (int64_t)file->position
                                              : (int64_t)file->where.size;
    target = origin + move;
    if (target < 0) outcome = {"negative position", ERROR_NEGATIVE_SEEK};
    else if (!high && target > 0xFFFFFFFELL) outcome = {"position needs the high part", ERROR_INVALID_PARAMETER};
  }
  if (outcome.why) return failedWith(line, outcome, INVALID_SET_FILE_POINTER);
  file->position = (uint64_t)target;
  line.result((uint32_t)target);
  if (high) {
    *high = (LONG)(target >> 32);
    line.signedNumber("high", *high);
  }
  SetLastError(NO_ERROR);
  return (DWORD)target;
}

LCID WINAPI StormSetLocale(LCID locale) {
  LibraryLock lock;
  TraceLine line(272, "SetLocale");
  line.number("locale", locale);
  LCID previous = gLocale;
  gLocale = locale;
  line.result(previous);
  return previous;
}

BOOL WINAPI StormGetBasePath(char* buffer, DWORD size) {
  LibraryLock lock;
  TraceLine line(273, "GetBasePath");
  line.number("size", size);
  Outcome outcome = copyOut(gBasePath, buffer, size);
  if (outcome.why) return failed(line, outcome);
  line.result(1);
  line.text("path", gBasePath);
  return TRUE;
}

BOOL WINAPI StormGetArchiveName(HANDLE handle, char* buffer, DWORD size) {
  LibraryLock lock;
  TraceLine line(275, "GetArchiveName");
  Archive* archive = findArchive(handle);
  line.handle('A', handle, archive ? archive->id : 0);
  line.number("size", size);
  if (!archive) return failed(line, {"unknown archive", ERROR_INVALID_HANDLE});
  Outcome outcome = copyOut(archive->path, buffer, size);
  if (outcome.why) return failed(line, outcome);
  line.result(1);
  line.text("name", archive->path);
  return TRUE;
}

BOOL WINAPI StormGetFileName(HANDLE handle, char* buffer, DWORD size) {
  LibraryLock lock;
  TraceLine line(276, "GetFileName");
  OpenedFile* file = findFile(handle);
  line.handle('F', handle, file ? file->id : 0);
  line.number("size", size);
  if (!file) return failed(line, {"unknown file", ERROR_INVALID_HANDLE});
  Outcome outcome = copyOut(file->name, buffer, size);
  if (outcome.why) return failed(line, outcome);
  line.result(1);
  line.text("name", file->name);
  return TRUE;
}

BOOL WINAPI StormLoadFile(const char* name, void** buffer, DWORD* size, DWORD extra, LPOVERLAPPED) {
  LibraryLock lock;
  TraceLine line(279, "LoadFile");
  line.text(name);
  line.number("extra", extra);
  return loadFile(line, nullptr, name, buffer, size, extra);
}

BOOL WINAPI StormUnloadFile(void* data) {
  LibraryLock lock;
  TraceLine line(280, "UnloadFile");
  LoadedBuffer* buffer = data ? findBuffer(data) : nullptr;
  line.handle('B', data, buffer ? buffer->id : 0);
  if (!buffer) return failed(line, {"unknown buffer", ERROR_INVALID_PARAMETER});
  removeBuffer(buffer);
  line.result(1);
  return TRUE;
}

BOOL WINAPI StormLoadFileEx(HANDLE archiveHandle, const char* name, void** buffer, DWORD* size, DWORD extra,
                            DWORD scope, LPOVERLAPPED) {
  LibraryLock lock;
  TraceLine line(281, "LoadFileEx");
  Archive* archive = findArchive(archiveHandle);
  line.handle('A', archiveHandle, archive ? archive->id : 0);
  line.text(name);
  line.number("extra", extra);
  line.number("scope", scope);
  if (archiveHandle && !archive) {
    if (buffer) *buffer = nullptr;
    if (size) *size = 0;
    return failed(line, {"unknown archive", ERROR_INVALID_HANDLE});
  }
  return loadFile(line, archive, name, buffer, size, extra);
}

BOOL WINAPI StormOpenArchiveEx(DWORD owner, const char* path, DWORD priority, DWORD flags, HANDLE* result) {
  LibraryLock lock;
  TraceLine line(293, "OpenArchiveEx");
  line.number("owner", owner);
  line.text(path);
  line.number("priority", priority);
  line.number("flags", flags);
  return openArchive(line, path, priority, result);
}

}  // extern "C"
