// Header checks of icon, bitmap and archive files.
#include "tools/corvane-check/FileFormats.h"

#include <cstring>

static const char kBitmapSignature[2] = {'B', 'M'};
static const char kArchiveSignature[4] = {'M', 'P', 'Q', 0x1A};
static const uint32_t kPictureHeaderSizes[] = {12, 40, 52, 56, 108, 124};

bool isIconFile(const unsigned char* bytes, size_t size) {
  IconDirectory directory;
  if (size < sizeof directory) return false;
  memcpy(&directory, bytes, sizeof directory);
  if (directory.reserved != 0 || directory.type != 1 || directory.count == 0) return false;
  if (size - sizeof directory < directory.count * sizeof(IconDirectoryEntry)) return false;
  for (size_t i = 0; i < directory.count; ++i) {
    IconDirectoryEntry entry;
    memcpy(&entry, bytes + sizeof directory + i * sizeof entry, sizeof entry);
    if (entry.size == 0 || entry.offset > size || entry.size > size - entry.offset) return false;
  }
  return true;
}

bool isBitmapFile(const unsigned char* bytes, size_t size) {
  BitmapFileHeader file;
  BitmapCoreHeader picture;
  if (size < sizeof file + sizeof picture) return false;
  memcpy(&file, bytes, sizeof file);
  memcpy(&picture, bytes + sizeof file, sizeof picture);
  if (memcmp(file.signature, kBitmapSignature, sizeof kBitmapSignature) != 0) return false;
  bool known = false;
  for (uint32_t headerSize : kPictureHeaderSizes) known = known || picture.headerSize == headerSize;
  if (!known || size - sizeof file < picture.headerSize) return false;
  return file.bitsOffset >= sizeof file + picture.headerSize && file.bitsOffset < size;
}

bool isArchiveHeader(const unsigned char* bytes, size_t size) {
  return size >= sizeof(ArchiveHeader) && memcmp(bytes, kArchiveSignature, sizeof kArchiveSignature) == 0;
}

const char* archiveHeaderProblem(const ArchiveHeader& header, uint64_t length) {
  const uint64_t entrySize = 16;  // of a hash table entry and of a block table entry
  uint32_t hashes = header.hashTableEntries;
  if (header.formatVersion != 0) return "";
  if (header.headerSize < sizeof header) return "the header is too short";
  if (hashes == 0 || (hashes & (hashes - 1)) != 0) return "the hash table's size is not a power of two";
  if (header.hashTableOffset + hashes * entrySize > length) return "the hash table reaches past the end of the file";
  if (header.blockTableOffset + header.blockTableEntries * entrySize > length)
    return "the block table reaches past the end of the file";
  return nullptr;
}
