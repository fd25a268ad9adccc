// Archive hooks: remember the archive the game opened last and serve its map icon on request.
#include "patching/ArchiveHooks.h"

#include "services/StormImports.h"

#include <cstdlib>
#include <cstring>

// Ordinals looked up at every call: the game may have replaced the library's exports by then.
static const WORD kOpenArchiveEx = 293;
static const WORD kArchiveFileRequest = 281;

typedef DWORD(__stdcall* OpenArchiveExFunction)(DWORD, const char*, DWORD, DWORD, DWORD);
typedef DWORD(__stdcall* FileRequestFunction)(const char*, DWORD, DWORD, DWORD, DWORD);
typedef DWORD(__stdcall* ArchiveFileRequestFunction)(HANDLE, const char*, DWORD, DWORD, DWORD, DWORD, DWORD);

static const char kIconPrefix[] = "ui\\widgets\\glues\\icon-map";
static const size_t kIconPrefixLength = sizeof kIconPrefix - 1;
static_assert(kIconPrefixLength == 25, "the prefix compared is 25 characters long");
static const char kMapIcon[] = "war3mapIcon.blp";

// The name given at the most recent hooked archive open. Game threads open archives and request files
// concurrently, so the name is only replaced or copied while holding the lock.
static char* gLastArchiveName = nullptr;
static SRWLOCK gLastArchiveLock = SRWLOCK_INIT;

// The name's lock held for a scope: exclusive to replace the name, shared to copy it.
class NameLock {
public:
  explicit NameLock(bool exclusive) : exclusive(exclusive) {
    if (exclusive) AcquireSRWLockExclusive(&gLastArchiveLock);
    else AcquireSRWLockShared(&gLastArchiveLock);
  }
  ~NameLock() {
    if (exclusive) ReleaseSRWLockExclusive(&gLastArchiveLock);
    else ReleaseSRWLockShared(&gLastArchiveLock);
  }
  NameLock(const NameLock&) = delete;
  NameLock& operator=(const NameLock&) = delete;

private:
  bool exclusive;
};

static void* stormFunction(WORD ordinal) {
  HMODULE storm = GetModuleHandleA("Storm.dll");
  if (!storm) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(storm, MAKEINTRESOURCEA(ordinal)));
}

static void recordArchiveName(const char* name) {
  char* copy = name ? _strdup(name) : nullptr;
  char* previous = nullptr;
  {
    NameLock held(true);
    previous = gLastArchiveName;
    gLastArchiveName = copy;
  }
  free(previous);  // outside the lock: the old name is no longer reachable
}

// A private copy, so the name stays valid however the hooks replace it meanwhile; the caller frees it.
static char* copyLastArchiveName() {
  NameLock held(false);
  return gLastArchiveName ? _strdup(gLastArchiveName) : nullptr;
}

DWORD __stdcall hookOpenArchiveEx(DWORD first, const char* name, DWORD third, DWORD fourth, DWORD fifth) {
  recordArchiveName(name);
  auto openArchiveEx = reinterpret_cast<OpenArchiveExFunction>(stormFunction(kOpenArchiveEx));
  if (!openArchiveEx) return 0;
  return openArchiveEx(first, name, third, fourth, fifth) & 0xFF;
}

DWORD __stdcall hookOpenArchive(const char* name, DWORD priority, DWORD flags, HANDLE* archive) {
  recordArchiveName(name);
  return stormOpenArchive(name, priority, flags, archive) != 0 ? 1 : 0;
}

// Answers the request from the archive opened last; 0 when there is none, it cannot be opened or it
// lacks the picture.
static DWORD requestFromLastArchive(DWORD second, DWORD third, DWORD fourth, DWORD fifth) {
  auto archiveFileRequest = reinterpret_cast<ArchiveFileRequestFunction>(stormFunction(kArchiveFileRequest));
  if (!archiveFileRequest) return 0;
  char* archiveName = copyLastArchiveName();
  if (!archiveName) return 0;
  HANDLE archive = nullptr;
  DWORD result = 0;
  if (stormOpenArchive(archiveName, 0, 0, &archive) != 0) {
    result = archiveFileRequest(archive, kMapIcon, second, third, fourth, 0, fifth) & 0xFF;
    stormCloseArchive(archive);
  }
  free(archiveName);
  return result;
}

DWORD __stdcall hookFileRequest(const char* name, DWORD second, DWORD third, DWORD fourth, DWORD fifth) {
  if (name && _strnicmp(name, kIconPrefix, kIconPrefixLength) == 0) {
    DWORD result = requestFromLastArchive(second, third, fourth, fifth);
    if (result != 0) return result;
  }
  auto fileRequest = reinterpret_cast<FileRequestFunction>(stormFunction(kFileRequestOrdinal));
  if (!fileRequest) return 0;
  return fileRequest(name, second, third, fourth, fifth) & 0xFF;
}
