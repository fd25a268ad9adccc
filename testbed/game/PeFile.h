// A read-only view of a 32-bit PE file on disk: sections, RVA to file offset, imports and exports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeSection {
  std::string name;
  uint32_t rva = 0;
  uint32_t virtualSize = 0;
  uint32_t fileOffset = 0;
  uint32_t fileSize = 0;
};

struct PeImportEntry {
  bool byOrdinal = false;
  uint16_t ordinal = 0;  // when byOrdinal
  std::string name;      // otherwise
  uint32_t slotRva = 0;  // RVA of its import address table slot
};

struct PeImport {
  std::string dll;
  std::vector<PeImportEntry> entries;
};

class PeFile {
public:
  // Takes the whole file; false when it is not a well-formed 32-bit PE image.
  bool parse(const std::string& fileBytes);

  uint32_t imageBase() const { return base; }
  const std::vector<PeSection>& sections() const { return sectionList; }

  // The bytes of the image at an RVA as the file holds them (before any relocation); false when
  // the range is not backed by file data of one section.
  bool bytesAt(uint32_t rva, uint32_t size, std::string& out) const;

  // Import descriptors in file order; empty when the image imports nothing or the table is broken.
  std::vector<PeImport> imports() const;
  // Exported names, in the order of the name table.
  std::vector<std::string> exportNames() const;
  // RVAs of the 32-bit words that base relocations fix up, in table order.
  std::vector<uint32_t> relocations() const;

private:
  bool rvaToOffset(uint32_t rva, uint32_t size, uint32_t& offset) const;
  bool readU16(uint32_t offset, uint16_t& value) const;
  bool readU32(uint32_t offset, uint32_t& value) const;
  bool textAt(uint32_t rva, std::string& out) const;
  bool directory(int index, uint32_t& rva, uint32_t& size) const;

  std::string bytes;
  uint32_t base = 0;
  uint32_t optionalHeader = 0;  // file offset of the optional header
  uint32_t directoryCount = 0;
  std::vector<PeSection> sectionList;
};
