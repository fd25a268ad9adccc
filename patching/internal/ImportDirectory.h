// The import descriptors of a PE32 image lying in memory, read without touching a byte outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#pragma pack(push, 1)
struct ImportDescriptor {
  uint32_t originalFirstThunk;  // relative address of the lookup table (names or ordinals)
  uint32_t timeDateStamp;
  uint32_t forwarderChain;
  uint32_t name;        // relative address of the imported module's name
  uint32_t firstThunk;  // relative address of the import address table; 0 ends the directory
};
#pragma pack(pop)
static_assert(sizeof(ImportDescriptor) == 20, "an import descriptor is five 32-bit words");

enum class ImageCheck {
  valid,              // descriptors listed
  noMzWord,           // no "MZ" word at the base
  noPeSignature,      // no "PE\0\0" where the headers say the NT headers are
  noImportDirectory,  // the import directory's relative address is 0 or lies past the image's end
};

struct ImportEntry {
  const char* moduleName;  // inside the image, NUL-terminated; null when the name is not all inside
  uint32_t firstThunk;     // relative address of the entry's import address table
  bool tableInImage;       // the table's first slot lies inside the image
};

// Checks the headers of the image at base, size bytes long; when valid, directory is the offset of its
// import directory.
ImageCheck findImportDirectory(const unsigned char* base, size_t size, size_t& directory);

// Reads the descriptor at offset at (the directory's, at first) and moves at to the next one. False at
// the first descriptor whose FirstThunk is 0 or the first one that does not lie whole inside the
// image. Nothing is allocated.
bool nextImportEntry(const unsigned char* base, size_t size, size_t& at, ImportEntry& entry);

// Lists the descriptors, in directory order, as nextImportEntry reads them.
ImageCheck readImports(const unsigned char* base, size_t size, std::vector<ImportEntry>& entries);
