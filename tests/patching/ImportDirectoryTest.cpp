// The import directory walk over memory images built byte by byte, never reading past their end.
#include "patching/internal/ImportDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const size_t kNt = 0x40;                 // where these images put their NT headers
const size_t kImportRvaAt = kNt + 0x80;  // the import directory's relative address

class Image {
public:
  explicit Image(size_t size) : bytes(size, 0) {}
  void put16(size_t at, uint16_t value) { std::memcpy(&bytes[at], &value, sizeof value); }
  void put32(size_t at, uint32_t value) { std::memcpy(&bytes[at], &value, sizeof value); }
  void putText(size_t at, const std::string& text) { std::memcpy(&bytes[at], text.c_str(), text.size() + 1); }
  void putDescriptor(size_t at, uint32_t name, uint32_t firstThunk) {
    put32(at + 0, 0x11111111);  // OriginalFirstThunk, TimeDateStamp, ForwarderChain: not used
    put32(at + 4, 0x22222222);
    put32(at + 8, 0x33333333);
    put32(at + 12, name);
    put32(at + 16, firstThunk);
  }
  ImageCheck read(std::vector<ImportEntry>& entries) const { return readImports(bytes.data(), bytes.size(), entries); }
  std::vector<unsigned char> bytes;
};

// "MZ", e_lfanew = 0x40, "PE\0\0" and the import directory's address, in size bytes.
Image headers(size_t size, uint32_t importRva) {
  Image image(size);
  image.put16(0, 0x5A4D);
  image.put32(0x3C, kNt);
  image.put32(kNt, 0x00004550);
  image.put32(kImportRvaAt, importRva);
  return image;
}

// Header verdicts where the walk must not be fooled. Entries of every other layout, and whether their
// names and tables lie inside the image, are compared with a plain reading of the headers by the
// ImportWalk fuzz target.
TEST(ImportDirectory, HeaderChecks) {
  std::vector<ImportEntry> entries;
  EXPECT_EQ(readImports(nullptr, 0x1000, entries), ImageCheck::noMzWord);
  EXPECT_EQ(Image(0x200).read(entries), ImageCheck::noMzWord);
  Image wrongSignature = headers(0x200, 0x100);
  wrongSignature.put32(kNt, 0x00014550);
  EXPECT_EQ(wrongSignature.read(entries), ImageCheck::noPeSignature);
  for (uint32_t ntOffset : {0x1FDu, 0x200u, 0xFFFFFFFCu, 0xFFFFFFFFu}) {
    Image outside = headers(0x200, 0x100);
    outside.put32(0x3C, ntOffset);
    EXPECT_EQ(outside.read(entries), ImageCheck::noPeSignature) << ntOffset;
  }
  EXPECT_EQ(headers(0x200, 0).read(entries), ImageCheck::noImportDirectory);
}

// Every prefix of a well-formed image reads without going past its end (the vector's storage is
// exactly the prefix, so a sanitizer or a neighbouring guard would catch an overrun). One list serves
// every read: it is rebuilt each time, never appended to.
TEST(ImportDirectory, EveryTruncationReadsSafely) {
  Image image = headers(0x280, 0x200);
  image.putDescriptor(0x200, 0x260, 0x270);
  image.putText(0x260, "ImportApiA.dll");
  std::vector<ImportEntry> entries;
  for (size_t size = 0; size <= image.bytes.size(); ++size) {
    std::vector<unsigned char> prefix(image.bytes.begin(), image.bytes.begin() + size);
    ImageCheck check = readImports(prefix.data(), prefix.size(), entries);
    if (!entries.empty()) {
      EXPECT_EQ(entries[0].moduleName != nullptr, size >= 0x260 + 15) << size;  // name and its NUL
      EXPECT_EQ(entries[0].tableInImage, size >= 0x270 + 4) << size;
    }
    ImageCheck expected = size < 2                  ? ImageCheck::noMzWord
                          : size < kNt + 4          ? ImageCheck::noPeSignature
                          : size < kImportRvaAt + 4 ? ImageCheck::noImportDirectory
                                                    : ImageCheck::valid;
    EXPECT_EQ(check, expected) << size;
    EXPECT_EQ(entries.size(), size >= 0x214 ? 1u : 0u) << size;
  }
}

}  // namespace
