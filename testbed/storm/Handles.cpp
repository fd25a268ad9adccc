// What the library has given out: the archive search list, opened files and LoadFile buffers.
#include "Handles.h"

namespace {
CRITICAL_SECTION gLock;
Archive* gArchives = nullptr;  // open archives, highest priority first
OpenedFile* gFiles = nullptr;
LoadedBuffer* gBuffers = nullptr;
unsigned gArchiveSerial = 0;
unsigned gFileSerial = 0;
unsigned gBufferSerial = 0;

void dropArchiveUser(Archive* archive) {
  if (--archive->users == 0) destroyArchive(archive);
}
}  // namespace

void initLibraryLock() {
  InitializeCriticalSection(&gLock);
}

LibraryLock::LibraryLock() {
  EnterCriticalSection(&gLock);
}

LibraryLock::~LibraryLock() {
  LeaveCriticalSection(&gLock);
}

void addArchive(Archive* archive, DWORD priority) {
  archive->priority = priority;
  archive->id = ++gArchiveSerial;
  archive->users = 1;
  archive->open = true;
  Archive** link = &gArchives;
  while (*link && (*link)->priority > priority) link = &(*link)->next;
  archive->next = *link;
  *link = archive;
}

Archive* findArchive(HANDLE handle) {
  for (Archive* archive = gArchives; archive; archive = archive->next)
    if (archive == handle) return archive;
  return nullptr;
}

void closeArchive(Archive* archive) {
  for (Archive** link = &gArchives; *link; link = &(*link)->next) {
    if (*link == archive) {
      *link = archive->next;
      break;
    }
  }
  archive->next = nullptr;
  archive->open = false;
  dropArchiveUser(archive);
}

Outcome locateFile(Archive* only, const char* name, LCID locale, Located* located) {
  if (only) return findInArchive(only, name, locale, located);
  for (Archive* archive = gArchives; archive; archive = archive->next) {
    Outcome outcome = findInArchive(archive, name, locale, located);
    if (!outcome.why || located->archive) return outcome;
  }
  located->archive = nullptr;
  return {"not found", ERROR_FILE_NOT_FOUND};
}

OpenedFile* addFile(const Located& where, const char* name) {
  OpenedFile* file = (OpenedFile*)allocate(sizeof(OpenedFile));
  if (!file) return nullptr;
  file->name = copyText(name);
  if (!file->name) {
    release(file);
    return nullptr;
  }
  file->where = where;
  file->id = ++gFileSerial;
  where.archive->users++;
  file->next = gFiles;
  gFiles = file;
  return file;
}

OpenedFile* findFile(HANDLE handle) {
  for (OpenedFile* file = gFiles; file; file = file->next)
    if (file == handle) return file;
  return nullptr;
}

void closeFile(OpenedFile* file) {
  for (OpenedFile** link = &gFiles; *link; link = &(*link)->next) {
    if (*link == file) {
      *link = file->next;
      break;
    }
  }
  dropArchiveUser(file->where.archive);
  release(file->name);
  release(file);
}

LoadedBuffer* addBuffer(void* data) {
  LoadedBuffer* buffer = (LoadedBuffer*)allocate(sizeof(LoadedBuffer));
  if (!buffer) return nullptr;
  buffer->data = data;
  buffer->id = ++gBufferSerial;
  buffer->next = gBuffers;
  gBuffers = buffer;
  return buffer;
}

LoadedBuffer* findBuffer(const void* data) {
  for (LoadedBuffer* buffer = gBuffers; buffer; buffer = buffer->next)
    if (buffer->data == data) return buffer;
  return nullptr;
}

void removeBuffer(LoadedBuffer* buffer) {
  for (LoadedBuffer** link = &gBuffers; *link; link = &(*link)->next) {
    if (*link == buffer) {
      *link = buffer->next;
      break;
    }
  }
  release(buffer->data);
  release(buffer);
}
