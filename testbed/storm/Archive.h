// One opened MPQ archive: its file, its decrypted tables, and name lookups in them.
#pragma once

#include "MpqFormat.h"

#include <windows.h>

// The result of an operation: why is null on success, else a short reason for the trace, with the
// thread's last-error value to leave behind.
struct Outcome {
  const char* why;
  DWORD error;
};

const Outcome outcomeOk = {nullptr, ERROR_SUCCESS};

struct Archive {
  Archive* next;  // the search list, highest priority first
  HANDLE file;
  char* path;  // as given to the open call
  DWORD priority;
  unsigned id;      // serial number shown in the trace as A<id>
  unsigned users;   // the open handle plus every file opened from it
  bool open;        // false once closed; storage lives on while files still use it
  uint64_t base;    // file offset of the header
  uint64_t length;  // bytes from the header to the end of the file
  MpqHashEntry* hashes;
  uint32_t hashCount;
  MpqBlockEntry* blocks;
  uint32_t blockCount;
};

// Where a file's bytes are in its archive.
struct Located {
  Archive* archive;
  uint64_t offset;  // from the start of the archive's file
  uint32_t size;
};

// Opens the archive file at path (relative to the current folder, or absolute) and reads its tables.
Outcome openArchiveFile(const char* path, Archive** archive);

// Releases everything the archive holds.
void destroyArchive(Archive* archive);

// Looks name up for locale: an entry of that locale first, then a neutral one, then any.
// Not found leaves located->archive null; found but unreadable gives the reason with located->archive set.
Outcome findInArchive(Archive* archive, const char* name, LCID locale, Located* located);

// Reads count bytes at the file offset; fewer bytes than asked is an error.
Outcome readArchive(Archive* archive, uint64_t offset, void* buffer, uint32_t count);

// Heap blocks of the process heap and text copies in them.
void* allocate(size_t size);
void release(void* block);
char* copyText(const char* text);
