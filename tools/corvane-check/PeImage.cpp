// Reading a PE file's headers, export names, imports and version resource from its bytes.
#include "tools/corvane-check/PeImage.h"

#include <cstdio>
#include <cstring>

namespace {

const size_t kNewHeaderPointer = 0x3C;  // where the "MZ" header keeps the offset of "PE\0\0"
const char kPeSignature[4] = {'P', 'E', 0, 0};
const uint32_t kExportDirectory = 0;
const uint32_t kImportDirectory = 1;
const uint32_t kResourceDirectory = 2;
const uint32_t kVersionResource = 16;             // RT_VERSION
const uint32_t kFixedInfoSignature = 0xFEEF04BD;  // starts VS_FIXEDFILEINFO inside the version resource
const uint32_t kImportByOrdinal = 0x80000000;
const uint32_t kSubdirectory = 0x80000000;
const size_t kLongestName = 1024;     // longer names are taken as damage, not read on
const uint32_t kMostEntries = 65536;  // export names and import descriptors read at most

struct Image {
  const unsigned char* bytes;
  size_t size;
  uint32_t headersSize;
  std::vector<PeSectionHeader> sections;
};

// Copies length bytes at offset into out when all of them lie in the file.
bool readAt(const Image& image, size_t offset, void* out, size_t length) {
  if (offset > image.size || length > image.size - offset) return false;
  memcpy(out, image.bytes + offset, length);
  return true;
}

// Where a relative address lies in the file and how many bytes from it belong to the same
// section's file bytes (or to the headers); false when it lies in neither.
bool mapRelative(const Image& image, uint64_t address, size_t& offset, size_t& available) {
  if (address < image.headersSize) {
    offset = static_cast<size_t>(address);
    available = image.headersSize - static_cast<size_t>(address);
    return true;
  }
  for (const PeSectionHeader& section : image.sections) {
    uint32_t span = section.rawSize;
    if (section.virtualSize != 0 && section.virtualSize < span) span = section.virtualSize;
    if (address < section.virtualAddress || address - section.virtualAddress >= span) continue;
    uint32_t into = static_cast<uint32_t>(address - section.virtualAddress);
    offset = static_cast<size_t>(section.rawOffset) + into;
    available = span - into;
    return true;
  }
  return false;
}

bool readRelative(const Image& image, uint64_t address, void* out, size_t length) {
  size_t offset, available;
  return mapRelative(image, address, offset, available) && length <= available && readAt(image, offset, out, length);
}

// A NUL-terminated name at a relative address; false when it runs out of its section or the file.
bool readName(const Image& image, uint32_t address, std::string& name) {
  size_t offset, available;
  if (!mapRelative(image, address, offset, available) || offset >= image.size) return false;
  if (available > image.size - offset) available = image.size - offset;
  if (available > kLongestName) available = kLongestName;
  const char* start = reinterpret_cast<const char*>(image.bytes + offset);
  const void* end = memchr(start, 0, available);
  if (!end) return false;
  name.assign(start, static_cast<const char*>(end) - start);
  return true;
}

void readExports(const Image& image, const PeDataDirectory& directory, PeFacts& facts) {
  PeExportDirectory exports;
  if (directory.address == 0 || !readRelative(image, directory.address, &exports, sizeof exports)) return;
  for (uint32_t i = 0; i < exports.nameCount && i < kMostEntries; ++i) {
    uint32_t nameAddress;
    std::string name;
    if (!readRelative(image, exports.names + uint64_t(4) * i, &nameAddress, sizeof nameAddress)) return;
    if (!readName(image, nameAddress, name)) return;
    facts.exports.push_back(name);
  }
}

void readImports(const Image& image, const PeDataDirectory& directory, PeFacts& facts) {
  if (directory.address == 0) return;
  for (uint32_t i = 0; i < kMostEntries; ++i) {
    PeImportDescriptor descriptor;
    std::string name;
    uint64_t address = directory.address + uint64_t(i) * sizeof descriptor;
    if (!readRelative(image, address, &descriptor, sizeof descriptor)) return;
    if (descriptor.firstThunk == 0) return;
    if (!readName(image, descriptor.name, name)) continue;
    PeImport module{name, {}};
    // The lookup table, or the table the loader fills when a linker left the lookup table out.
    uint32_t table = descriptor.originalFirstThunk ? descriptor.originalFirstThunk : descriptor.firstThunk;
    uint32_t entry;
    for (uint32_t k = 0; k < kMostEntries && readRelative(image, table + uint64_t(4) * k, &entry, 4) && entry; ++k)
      if (!(entry & kImportByOrdinal) && readName(image, entry + 2, name))
        module.functions.push_back(name);  // after the hint
    facts.imports.push_back(module);
  }
}

// The first entry of the resource directory at offset (from the resources' start) whose ID is id, or
// the first entry when id is 0; false when there is none.
bool resourceEntry(const Image& image, uint32_t resources, uint32_t offset, uint32_t id, PeResourceEntry& entry) {
  PeResourceDirectory directory;
  if (!readRelative(image, uint64_t(resources) + offset, &directory, sizeof directory)) return false;
  uint32_t count = uint32_t(directory.namedCount) + directory.idCount;
  for (uint32_t k = id ? directory.namedCount : 0; k < count; ++k) {
    uint64_t at = uint64_t(resources) + offset + sizeof directory + uint64_t(k) * sizeof entry;
    if (!readRelative(image, at, &entry, sizeof entry)) return false;
    if (!id || entry.id == id) return true;
  }
  return false;
}

// The file version of the first version resource: its type, first name and first language lead to the
// data, which holds VS_FIXEDFILEINFO at a 32-bit boundary after the key "VS_VERSION_INFO".
void readVersion(const Image& image, const PeDataDirectory& directory, PeFacts& facts) {
  PeResourceEntry type, name, language;
  PeResourceData data;
  if (directory.address == 0 || !resourceEntry(image, directory.address, 0, kVersionResource, type)) return;
  if (!(type.offset & kSubdirectory) || !resourceEntry(image, directory.address, type.offset & ~kSubdirectory, 0, name))
    return;
  if (!(name.offset & kSubdirectory) ||
      !resourceEntry(image, directory.address, name.offset & ~kSubdirectory, 0, language) ||
      (language.offset & kSubdirectory) ||
      !readRelative(image, uint64_t(directory.address) + language.offset, &data, sizeof data))
    return;
  uint32_t words[4];  // signature, structure version, file version high and low
  for (uint32_t at = 0; at + sizeof words <= data.size && at < 256; at += 4) {
    if (!readRelative(image, uint64_t(data.address) + at, words, sizeof words)) return;
    if (words[0] != kFixedInfoSignature) continue;
    uint16_t version[4] = {uint16_t(words[2] >> 16), uint16_t(words[2]), uint16_t(words[3] >> 16), uint16_t(words[3])};
    memcpy(facts.fileVersion, version, sizeof version);
    facts.versioned = true;
    return;
  }
}

}  // namespace

void readPeFile(const unsigned char* bytes, size_t size, PeFacts& facts) {
  facts = PeFacts();
  Image image{bytes, size, 0, {}};
  uint32_t peOffset;
  char signature[4];
  PeFileHeader file;
  if (size < 2 || bytes[0] != 'M' || bytes[1] != 'Z') return;
  if (!readAt(image, kNewHeaderPointer, &peOffset, sizeof peOffset)) return;
  if (!readAt(image, peOffset, signature, sizeof signature) || memcmp(signature, kPeSignature, 4) != 0) return;
  if (!readAt(image, size_t(peOffset) + sizeof signature, &file, sizeof file)) return;
  size_t optionalAt = size_t(peOffset) + sizeof signature + sizeof file;
  uint16_t magic;
  if (!readAt(image, optionalAt, &magic, sizeof magic)) return;
  facts.machine = file.machine;
  if (magic == kMagicPe32Plus) {
    facts.kind = PeKind::wide;
    return;
  }
  PeOptionalHeader32 optional;
  if (magic != kMagicPe32 || file.optionalHeaderSize < sizeof optional) return;
  if (!readAt(image, optionalAt, &optional, sizeof optional)) return;
  if (file.machine != kMachineX86) {
    facts.kind = PeKind::otherMachine;
    return;
  }
  facts.kind = (file.characteristics & kCharacteristicDll) ? PeKind::library : PeKind::executable;

  image.headersSize = optional.headersSize;
  size_t sectionsAt = optionalAt + file.optionalHeaderSize;
  for (uint16_t i = 0; i < file.sectionCount; ++i) {
    PeSectionHeader section;
    if (!readAt(image, sectionsAt + i * sizeof section, &section, sizeof section)) break;
    image.sections.push_back(section);
  }
  // The directories are those the optional header both counts and has room for.
  PeDataDirectory directories[3] = {};
  size_t room = (file.optionalHeaderSize - sizeof optional) / sizeof(PeDataDirectory);
  for (uint32_t d = 0; d < 3 && d < optional.directoryCount && d < room; ++d)
    readAt(image, optionalAt + sizeof optional + d * sizeof(PeDataDirectory), &directories[d], sizeof directories[d]);
  readExports(image, directories[kExportDirectory], facts);
  readImports(image, directories[kImportDirectory], facts);
  readVersion(image, directories[kResourceDirectory], facts);
}

std::string describeKind(const PeFacts& facts) {
  switch (facts.kind) {
    case PeKind::notPe: return "not a PE image";
    case PeKind::wide: return "built for 64-bit, where the launcher is 32-bit";
    case PeKind::otherMachine: {
      char text[80];
      snprintf(text, sizeof text, "built for machine 0x%04X, where the launcher is 32-bit x86", facts.machine);
      return text;
    }
    case PeKind::executable: return "a program, not a 32-bit DLL";
    case PeKind::library: return "a 32-bit DLL";
  }
  return "";
}
