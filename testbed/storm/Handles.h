// What the library has given out: the archive search list, opened files and LoadFile buffers.
#pragma once

#include "Archive.h"

// An opened file reads its bytes straight from its archive, which it keeps alive until closed.
struct OpenedFile {
  OpenedFile* next;
  Located where;
  char* name;  // as given to the open call
  uint64_t position;
  unsigned id;  // F<id> in the trace
};

struct LoadedBuffer {
  LoadedBuffer* next;
  void* data;
  unsigned id;  // B<id> in the trace
};

// One lock for the whole library, held for a whole call: games call it from several threads.
void initLibraryLock();
class LibraryLock {
public:
  LibraryLock();
  ~LibraryLock();
};

// Adds an opened archive to the search list: below every higher priority and above every lower
// or equal one, so among equal priorities the archive opened last is searched first.
void addArchive(Archive* archive, DWORD priority);
Archive* findArchive(HANDLE handle);  // the open archive behind a handle, or null
void closeArchive(Archive* archive);  // off the search list; storage goes with its last file

// Looks name up in one archive, or when only is null in the search list: the first archive that
// holds the name answers, readable or not (an unreadable file never lets a lower archive serve it).
Outcome locateFile(Archive* only, const char* name, LCID locale, Located* located);

OpenedFile* addFile(const Located& where, const char* name);  // null when out of memory
OpenedFile* findFile(HANDLE handle);
void closeFile(OpenedFile* file);

LoadedBuffer* addBuffer(void* data);  // null when out of memory
LoadedBuffer* findBuffer(const void* data);
void removeBuffer(LoadedBuffer* buffer);  // frees the data too
