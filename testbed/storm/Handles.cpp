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

// Takes item off the list that head starts.
template <typename Item>
void unlink(Item** head, Item* item) {
  for (Item** link = head; *link; link = &(*link)->next)
    if (*link == item) {
      *link = item->next;
      return;
    }
}

template <typename Item>
Item* find(Item* head, const void* handle) {
  for (Item* item = head; item; item = item->next)
    if (item == handle) return item;
  return nullptr;
}

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
  return find(gArchives, handle);
}

void closeArchive(Archive* archive) {
  unlink(&gArchives, archive);
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
  return find(gFiles, handle);
}

void closeFile(OpenedFile* file) {
  unlink(&gFiles, file);
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
  unlink(&gBuffers, buffer);
  release(buffer->data);
  release(buffer);
}
