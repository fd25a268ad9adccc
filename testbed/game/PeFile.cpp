// A read-only view of a 32-bit PE file on disk.
#include "testbed/game/PeFile.h"

#include <cstring>

namespace {
constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kOptionalMagic32 = 0x10B;
constexpr int kExportDirectory = 0;
constexpr int kImportDirectory = 1;
constexpr int kRelocationDirectory = 5;
constexpr uint16_t kRelocHighLow = 3;
constexpr uint32_t kMaxNames = 65536;  // bound on every walk over a table read from the file
}  // namespace

bool PeFile::readU16(uint32_t offset, uint16_t& value) const {
  if (offset > bytes.size() || bytes.size() - offset < 2) return false;
  memcpy(&value, bytes.data() + offset, 2);
  return true;
}

bool PeFile::readU32(uint32_t offset, uint32_t& value) const {
  if (offset > bytes.size() || bytes.size() - offset < 4) return false;
  memcpy(&value, bytes.data() + offset, 4);
  return true;
}

bool PeFile::parse(const std::string& fileBytes) {
  bytes = fileBytes;
  sectionList.clear();
  uint16_t mz = 0;
  uint32_t peOffset = 0, signature = 0;
  if (!readU16(0, mz) || mz != 0x5A4D || !readU32(0x3C, peOffset)) return false;
  if (!readU32(peOffset, signature) || signature != 0x00004550) return false;

  uint16_t machine = 0, sectionCount = 0, optionalSize = 0, magic = 0;
  uint32_t fileHeader = peOffset + 4;
  if (!readU16(fileHeader, machine) || machine != kMachineI386) return false;
  if (!readU16(fileHeader + 2, sectionCount) || !readU16(fileHeader + 16, optionalSize)) return false;
  optionalHeader = fileHeader + 20;
  if (!readU16(optionalHeader, magic) || magic != kOptionalMagic32) return false;
  if (!readU32(optionalHeader + 28, base) || !readU32(optionalHeader + 92, directoryCount)) return false;

  uint32_t table = optionalHeader + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    uint32_t at = table + i * 40u;
    if (at > bytes.size() || bytes.size() - at < 40) return false;
    PeSection section;
    section.name.assign(bytes.data() + at, strnlen(bytes.data() + at, 8));
    readU32(at + 8, section.virtualSize);
    readU32(at + 12, section.rva);
    readU32(at + 16, section.fileSize);
    readU32(at + 20, section.fileOffset);
    sectionList.push_back(section);
  }
  return true;
}

bool PeFile::rvaToOffset(uint32_t rva, uint32_t size, uint32_t& offset) const {
  for (const PeSection& section : sectionList) {
    if (rva < section.rva || rva - section.rva >= section.fileSize) continue;
    uint32_t inside = rva - section.rva;
    if (section.fileSize - inside < size) return false;
    offset = section.fileOffset + inside;
    return offset <= bytes.size() && bytes.size() - offset >= size;
  }
  return false;
}

bool PeFile::bytesAt(uint32_t rva, uint32_t size, std::string& out) const {
  uint32_t offset = 0;
  if (!rvaToOffset(rva, size, offset)) return false;
  out.assign(bytes.data() + offset, size);
  return true;
}

bool PeFile::textAt(uint32_t rva, std::string& out) const {
  uint32_t offset = 0;
  if (!rvaToOffset(rva, 1, offset)) return false;
  size_t end = bytes.find('\0', offset);
  if (end == std::string::npos) return false;
  out.assign(bytes, offset, end - offset);
  return true;
}

bool PeFile::directory(int index, uint32_t& rva, uint32_t& size) const {
  if ((uint32_t)index >= directoryCount) return false;
  uint32_t at = optionalHeader + 96 + index * 8u;
  return readU32(at, rva) && readU32(at + 4, size) && rva != 0;
}

std::vector<PeImport> PeFile::imports() const {
  std::vector<PeImport> result;
  uint32_t rva = 0, size = 0;
  if (!directory(kImportDirectory, rva, size)) return result;
  for (uint32_t i = 0; i < kMaxNames; ++i) {
    uint32_t descriptor = 0, lookup = 0, nameRva = 0, slots = 0;
    if (!rvaToOffset(rva + i * 20, 20, descriptor)) break;
    readU32(descriptor, lookup);
    readU32(descriptor + 12, nameRva);
    readU32(descriptor + 16, slots);
    if (nameRva == 0 && slots == 0) break;  // the all-zero descriptor ends the table
    PeImport import;
    textAt(nameRva, import.dll);
    uint32_t thunks = lookup ? lookup : slots;
    for (uint32_t j = 0; j < kMaxNames; ++j) {
      uint32_t at = 0, value = 0;
      if (!rvaToOffset(thunks + j * 4, 4, at) || !readU32(at, value) || value == 0) break;
      PeImportEntry entry;
      entry.slotRva = slots + j * 4;
      if (value & 0x80000000u) {
        entry.byOrdinal = true;
        entry.ordinal = (uint16_t)(value & 0xFFFF);
      } else {
        textAt(value + 2, entry.name);  // past the two-byte hint
      }
      import.entries.push_back(entry);
    }
    result.push_back(import);
  }
  return result;
}

std::vector<std::string> PeFile::exportNames() const {
  std::vector<std::string> result;
  uint32_t rva = 0, size = 0, table = 0, count = 0, names = 0;
  if (!directory(kExportDirectory, rva, size) || !rvaToOffset(rva, 40, table)) return result;
  readU32(table + 24, count);
  readU32(table + 32, names);
  for (uint32_t i = 0; i < count && i < kMaxNames; ++i) {
    uint32_t at = 0, nameRva = 0;
    std::string name;
    if (!rvaToOffset(names + i * 4, 4, at) || !readU32(at, nameRva) || !textAt(nameRva, name)) break;
    result.push_back(name);
  }
  return result;
}

std::vector<uint32_t> PeFile::relocations() const {
  std::vector<uint32_t> result;
  uint32_t rva = 0, size = 0;
  if (!directory(kRelocationDirectory, rva, size)) return result;
  uint32_t done = 0;
  while (size - done >= 8) {
    uint32_t block = 0, page = 0, blockSize = 0;
    if (!rvaToOffset(rva + done, 8, block) || !readU32(block, page) || !readU32(block + 4, blockSize)) break;
    if (blockSize < 8 || blockSize > size - done) break;
    for (uint32_t i = 8; i + 2 <= blockSize; i += 2) {
      uint16_t entry = 0;
      if (!readU16(block + i, entry)) break;
      if ((entry >> 12) == kRelocHighLow) result.push_back(page + (entry & 0xFFF));
    }
    done += blockSize;
  }
  return result;
}
