// Fuzz target: the import-directory walk over any image. The image lies in a heap block of exactly its
// size, so a read past its end is caught; every entry's name and table are reported inside the image
// exactly when they are; and the walk lists what a plain reading of the headers lists.
#include "fuzz/FuzzSupport.h"
#include "patching/internal/ImportDirectory.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

bool within(size_t size, uint64_t offset, uint64_t length) {
  return offset + length <= size;
}

uint32_t word(const unsigned char* image, uint64_t offset) {
  uint32_t value;
  memcpy(&value, image + offset, sizeof value);
  return value;
}

// The headers read literally: "MZ" at 0, e_lfanew at 0x3C, "PE\0\0" there, the import directory's
// address 0x80 further on; descriptors of 20 bytes from it while whole, up to a FirstThunk of 0.
ImageCheck expectedImports(const unsigned char* image, size_t size, std::vector<uint32_t>& thunks,
                           std::vector<uint32_t>& names) {
  if (size < 2 || image[0] != 'M' || image[1] != 'Z') return ImageCheck::noMzWord;
  if (!within(size, 0x3C, 4)) return ImageCheck::noPeSignature;
  uint64_t nt = word(image, 0x3C);
  if (!within(size, nt, 4) || memcmp(image + nt, "PE\0\0", 4) != 0) return ImageCheck::noPeSignature;
  if (!within(size, nt + 0x80, 4)) return ImageCheck::noImportDirectory;
  uint64_t directory = word(image, nt + 0x80);
  if (directory == 0) return ImageCheck::noImportDirectory;
  for (uint64_t at = directory; within(size, at, 20); at += 20) {
    uint32_t thunk = word(image, at + 16);
    if (thunk == 0) break;
    names.push_back(word(image, at + 12));
    thunks.push_back(thunk);
  }
  return ImageCheck::valid;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> image = exactCopy(data, size);
  const unsigned char* base = size ? reinterpret_cast<const unsigned char*>(image.get()) : nullptr;

  std::vector<ImportEntry> entries;
  ImageCheck check = readImports(base, size, entries);
  std::vector<uint32_t> thunks;
  std::vector<uint32_t> names;
  ImageCheck expected = size ? expectedImports(base, size, thunks, names) : ImageCheck::noMzWord;
  if (check != expected)
    fuzzFailure("another verdict on the headers",
                std::to_string(static_cast<int>(check)) + " against " + std::to_string(static_cast<int>(expected)));
  if (entries.size() != thunks.size())
    fuzzFailure("another number of descriptors",
                std::to_string(entries.size()) + " against " + std::to_string(thunks.size()));

  for (size_t i = 0; i < entries.size(); ++i) {
    const ImportEntry& entry = entries[i];
    if (entry.firstThunk != thunks[i]) fuzzFailure("another import address table");
    if (entry.tableInImage != within(size, thunks[i], 4)) fuzzFailure("the table's place misjudged");
    bool nameInside = names[i] < size && memchr(base + names[i], 0, size - names[i]) != nullptr;
    if (!nameInside) {
      if (entry.moduleName) fuzzFailure("a name that does not end inside the image was given");
      continue;
    }
    if (entry.moduleName != reinterpret_cast<const char*>(base + names[i]))
      fuzzFailure("the name is not read in place");
  }
  return 0;
}
