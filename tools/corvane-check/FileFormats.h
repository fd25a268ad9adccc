// Whether the bytes of a mod's files are what the launcher hands them to: an icon, a bitmap, an
// archive. Only the headers are looked at; no byte outside the given ones is read.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct IconDirectory {  // an .ico file starts with it; the entries follow
  uint16_t reserved;    // 0
  uint16_t type;        // 1 for icons (2 is a cursor)
  uint16_t count;       // at least 1
};
struct IconDirectoryEntry {
  uint8_t width, height, colours, reserved;
  uint16_t planes, bitsPerPixel;
  uint32_t size;    // bytes of the picture
  uint32_t offset;  // where they start in the file
};
struct BitmapFileHeader {  // a .bmp file starts with it; the picture's own header follows
  char signature[2];       // "BM"
  uint32_t fileSize;       // informative only
  uint32_t reserved;
  uint32_t bitsOffset;  // where the pixels start in the file
};
struct BitmapCoreHeader {  // the first fields of every kind of picture header
  uint32_t headerSize;     // 12 (core) or 40, 52, 56, 108, 124 (info kinds)
};
struct ArchiveHeader {  // MPQ header, version 1 fields
  char signature[4];    // "MPQ\x1A"
  uint32_t headerSize;
  uint32_t archiveSize;
  uint16_t formatVersion;  // 0 for format version 1, 1 for 2, ...
  uint16_t sectorSizeShift;
  uint32_t hashTableOffset;
  uint32_t blockTableOffset;
  uint32_t hashTableEntries;
  uint32_t blockTableEntries;
};
#pragma pack(pop)
static_assert(sizeof(IconDirectory) == 6, "icon directory: three 16-bit words");
static_assert(sizeof(IconDirectoryEntry) == 16, "icon directory entry: 16 bytes");
static_assert(sizeof(BitmapFileHeader) == 14, "bitmap file header: 14 bytes");
static_assert(sizeof(ArchiveHeader) == 32, "MPQ version 1 header: 32 bytes");

// The archive library looks for the header at every multiple of this in the file.
const size_t kArchiveHeaderAlignment = 512;

// An icon directory whose every picture lies inside the file.
bool isIconFile(const unsigned char* bytes, size_t size);
// A bitmap file header, a known picture header after it, and pixels starting inside the file.
bool isBitmapFile(const unsigned char* bytes, size_t size);
// A whole archive header at the start of bytes (one aligned block of the file).
bool isArchiveHeader(const unsigned char* bytes, size_t size);

// Why the game's archive library of this era refuses an archive with this header and length bytes from
// the header on, or null when it opens it: it reads format version 1 only, and its tables must lie
// inside the file. The text is for "damaged tables (...)"; a later format version gives "".
const char* archiveHeaderProblem(const ArchiveHeader& header, uint64_t length);
