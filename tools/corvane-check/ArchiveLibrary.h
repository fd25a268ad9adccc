// The archive library that corvane-check reads archives with: on Windows the game's own Storm.dll by
// ordinal, as the launcher reaches it (ArchiveLibraryStorm.cpp); elsewhere Debian's StormLib
// (ArchiveLibraryStormLib.cpp). The calls mirror the library's: open archive, open file, size, read, close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct LibraryArchive;  // an archive the library opened
struct LibraryFile;     // a file opened in one archive

enum class LibraryOpen {
  opened,
  refused,    // the library does not take the file as an archive
  noLibrary,  // the library itself is not there
};

// Opens the archive file at path (the launcher's form) with the priority the launcher gives it.
LibraryOpen openLibraryArchive(const std::string& path, unsigned priority, LibraryArchive*& archive);
void closeLibraryArchive(LibraryArchive* archive);
// The file of that name in this archive only; null when the library does not open it there, with held
// set when the archive holds the name all the same (the library refuses its copy).
LibraryFile* openLibraryFile(LibraryArchive* archive, const char* name, bool& held);
// The file's size; false when it does not fit 32 bits or the library fails.
bool libraryFileSize(LibraryFile* file, uint32_t& size);
// Reads up to count bytes at the file's position; false when the library fails.
bool readLibraryFile(LibraryFile* file, void* buffer, uint32_t count, uint32_t& got);
void closeLibraryFile(LibraryFile* file);
