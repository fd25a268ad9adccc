// The import descriptors of a PE32 image lying in memory, read without touching a byte outside it.
#include "patching/internal/ImportDirectory.h"

#include <cstring>

namespace {

const uint16_t kMzWord = 0x5A4D;           // "MZ"
const size_t kNtHeadersOffsetAt = 0x3C;    // e_lfanew
const uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
const size_t kImportDirectoryAt = 0x80;    // from the NT headers: data directory entry 1 of PE32

// True when [offset, offset + length) lies inside an image of size bytes.
bool inside(size_t size, size_t offset, size_t length) {
  return offset <= size && length <= size - offset;
}

uint32_t read32(const unsigned char* base, size_t offset) {
  uint32_t value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}

// The NUL-terminated text at offset when it ends inside the image, else null.
const char* textAt(const unsigned char* base, size_t size, size_t offset) {
  if (offset >= size) return nullptr;
  if (std::memchr(base + offset, 0, size - offset) == nullptr) return nullptr;
  return reinterpret_cast<const char*>(base + offset);
}

}  // namespace

ImageCheck findImportDirectory(const unsigned char* base, size_t size, size_t& directory) {
  uint16_t mz;
  if (base == nullptr || !inside(size, 0, sizeof mz)) return ImageCheck::noMzWord;
  std::memcpy(&mz, base, sizeof mz);
  if (mz != kMzWord) return ImageCheck::noMzWord;

  if (!inside(size, kNtHeadersOffsetAt, 4)) return ImageCheck::noPeSignature;
  size_t nt = read32(base, kNtHeadersOffsetAt);
  if (!inside(size, nt, 4) || read32(base, nt) != kPeSignature) return ImageCheck::noPeSignature;

  if (!inside(size, nt, kImportDirectoryAt + 4)) return ImageCheck::noImportDirectory;
  directory = read32(base, nt + kImportDirectoryAt);
  if (directory == 0) return ImageCheck::noImportDirectory;
  return ImageCheck::valid;
}

bool nextImportEntry(const unsigned char* base, size_t size, size_t& at, ImportEntry& entry) {
  if (!inside(size, at, sizeof(ImportDescriptor))) return false;
  ImportDescriptor descriptor;
  std::memcpy(&descriptor, base + at, sizeof descriptor);
  if (descriptor.firstThunk == 0) return false;
  entry.moduleName = textAt(base, size, descriptor.name);
  entry.firstThunk = descriptor.firstThunk;
  entry.tableInImage = inside(size, descriptor.firstThunk, 4);
  at += sizeof(ImportDescriptor);
  return true;
}

ImageCheck readImports(const unsigned char* base, size_t size, std::vector<ImportEntry>& entries) {
  entries.clear();
  size_t directory = 0;
  ImageCheck check = findImportDirectory(base, size, directory);
  if (check != ImageCheck::valid) return check;
  ImportEntry entry;
  while (nextImportEntry(base, size, directory, entry)) entries.push_back(entry);
  return ImageCheck::valid;
}
