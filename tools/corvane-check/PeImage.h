// A PE file read from its bytes on disk: what kind of module it is, the names it exports, the modules
// and functions it imports and its file version. Every read is checked against the bytes given; nothing
// is loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#pragma pack(push, 1)
struct PeFileHeader {  // follows the "PE\0\0" signature
  uint16_t machine;    // kMachineX86 for 32-bit x86
  uint16_t sectionCount;
  uint32_t timeDateStamp;
  uint32_t symbolTable;
  uint32_t symbolCount;
  uint16_t optionalHeaderSize;  // the section table follows the optional header
  uint16_t characteristics;     // kCharacteristicDll for a DLL
};
struct PeOptionalHeader32 {  // the fixed part; data directories follow
  uint16_t magic;            // kMagicPe32 (0x20B is a 64-bit image)
  uint8_t linkerVersion[2];
  uint32_t sizes[3];  // code, initialised data, uninitialised data
  uint32_t entryPoint;
  uint32_t codeBase;
  uint32_t dataBase;
  uint32_t imageBase;
  uint32_t sectionAlignment;
  uint32_t fileAlignment;
  uint16_t versions[6];  // system, image, subsystem: major and minor each
  uint32_t win32Version;
  uint32_t imageSize;
  uint32_t headersSize;  // the headers' bytes; relative addresses below it are file offsets
  uint32_t checkSum;
  uint16_t subsystem;
  uint16_t dllCharacteristics;
  uint32_t stackAndHeap[4];
  uint32_t loaderFlags;
  uint32_t directoryCount;
};
struct PeDataDirectory {
  uint32_t address;  // relative to the image base
  uint32_t size;
};
struct PeSectionHeader {
  char name[8];
  uint32_t virtualSize;
  uint32_t virtualAddress;
  uint32_t rawSize;    // bytes of the section in the file
  uint32_t rawOffset;  // where they start in the file
  uint32_t relocations, lineNumbers;
  uint16_t relocationCount, lineNumberCount;
  uint32_t characteristics;
};
struct PeExportDirectory {
  uint32_t characteristics, timeDateStamp;
  uint16_t majorVersion, minorVersion;
  uint32_t name, ordinalBase, functionCount;
  uint32_t nameCount;
  uint32_t functions;
  uint32_t names;  // relative address of nameCount relative addresses of names
  uint32_t nameOrdinals;
};
struct PeImportDescriptor {
  uint32_t originalFirstThunk;  // relative address of the lookup table: one 32-bit entry per function
  uint32_t timeDateStamp, forwarderChain;
  uint32_t name;        // relative address of the module's name
  uint32_t firstThunk;  // 0 ends the directory, as the loader's walk takes it; the table the loader fills
};
struct PeResourceDirectory {  // entries follow: the named ones, then those with an ID
  uint32_t characteristics, timeDateStamp;
  uint16_t majorVersion, minorVersion;
  uint16_t namedCount, idCount;
};
struct PeResourceEntry {
  uint32_t id;      // for the entries after the named ones
  uint32_t offset;  // from the resource directory's start; the top bit marks a directory
};
struct PeResourceData {
  uint32_t address;  // relative to the image base
  uint32_t size, codePage, reserved;
};
#pragma pack(pop)
static_assert(sizeof(PeFileHeader) == 20, "COFF file header: 20 bytes");
static_assert(sizeof(PeOptionalHeader32) == 96, "PE32 optional header: 96 bytes before the directories");
static_assert(sizeof(PeDataDirectory) == 8, "data directory: address and size");
static_assert(sizeof(PeSectionHeader) == 40, "section header: 40 bytes");
static_assert(sizeof(PeExportDirectory) == 40, "export directory: 40 bytes");
static_assert(sizeof(PeImportDescriptor) == 20, "import descriptor: five 32-bit words");
static_assert(sizeof(PeResourceDirectory) == 16 && sizeof(PeResourceEntry) == 8 && sizeof(PeResourceData) == 16,
              "resource directory, entry and data: 16, 8 and 16 bytes");

const uint16_t kMachineX86 = 0x014C;
const uint16_t kMagicPe32 = 0x010B;
const uint16_t kMagicPe32Plus = 0x020B;
const uint16_t kCharacteristicDll = 0x2000;

enum class PeKind {
  notPe,         // no "MZ" header, no "PE\0\0" signature where it points, or cut short
  wide,          // a 64-bit image
  otherMachine,  // a 32-bit image for another processor
  executable,    // a 32-bit x86 program, not a library
  library,       // a 32-bit x86 DLL
};

struct PeImport {
  std::string module;                  // as the import directory names it
  std::vector<std::string> functions;  // imported by name; those imported by ordinal are left out
};

struct PeFacts {
  PeKind kind = PeKind::notPe;
  uint16_t machine = 0;
  std::vector<std::string> exports;  // exported names, in the table's order
  std::vector<PeImport> imports;     // in the directory's order
  bool versioned = false;            // it has a version resource; then:
  uint16_t fileVersion[4] = {};      // major, minor, patch, build
};

// Reads the kind of the file's bytes and, for a 32-bit x86 image, its exported names, imports and file
// version. Tables that point outside the file end the list early.
void readPeFile(const unsigned char* bytes, size_t size, PeFacts& facts);

// What the file is, for a finding: "not a PE image", "a 64-bit image, not a 32-bit DLL", ...
std::string describeKind(const PeFacts& facts);
