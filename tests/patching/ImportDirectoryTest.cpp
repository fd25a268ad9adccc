// The import directory walk over memory images built byte by byte, never reading past their end.
#include "patching/internal/ImportDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const size_t kNt = 0x40;                // where these images put their NT headers
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

TEST(ImportDirectory, HeaderChecksInOrder) {
  std::vector<ImportEntry> entries;
  EXPECT_EQ(readImports(nullptr, 0x1000, entries), ImageCheck::noMzWord);
  EXPECT_EQ(Image(0).read(entries), ImageCheck::noMzWord);
  EXPECT_EQ(Image(0x200).read(entries), ImageCheck::noMzWord);
  Image oneByte(1);
  oneByte.bytes[0] = 'M';
  EXPECT_EQ(oneByte.read(entries), ImageCheck::noMzWord);

  Image mzOnly(2);
  mzOnly.put16(0, 0x5A4D);
  EXPECT_EQ(mzOnly.read(entries), ImageCheck::noPeSignature);  // e_lfanew lies outside

  Image wrongSignature = headers(0x200, 0x100);
  wrongSignature.put32(kNt, 0x00014550);
  EXPECT_EQ(wrongSignature.read(entries), ImageCheck::noPeSignature);

  for (uint32_t ntOffset : {0x1FDu, 0x200u, 0xFFFFFFFCu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(ntOffset);
    Image outside = headers(0x200, 0x100);
    outside.put32(0x3C, ntOffset);
    EXPECT_EQ(outside.read(entries), ImageCheck::noPeSignature);
  }

  EXPECT_EQ(headers(0x200, 0).read(entries), ImageCheck::noImportDirectory);
  // The image ends inside the data directory: the import directory's address is not there.
  Image cut = headers(kImportRvaAt + 3 + 1, 0);
  cut.bytes.resize(kImportRvaAt + 3);
  EXPECT_EQ(cut.read(entries), ImageCheck::noImportDirectory);
}

TEST(ImportDirectory, ListsDescriptorsUpToTheFirstWithoutTable) {
  Image image = headers(0x400, 0x200);
  image.putDescriptor(0x200, 0x300, 0x380);
  image.putDescriptor(0x214, 0x310, 0x390);
  image.putDescriptor(0x228, 0x320, 0);  // FirstThunk 0 ends the walk, whatever its name
  image.putDescriptor(0x23C, 0x330, 0x3A0);
  image.putText(0x300, "USER32.dll");
  image.putText(0x310, "storm.DLL");
  std::vector<ImportEntry> entries;
  ASSERT_EQ(image.read(entries), ImageCheck::valid);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_STREQ(entries[0].moduleName, "USER32.dll");
  EXPECT_EQ(entries[0].moduleName, reinterpret_cast<const char*>(image.bytes.data() + 0x300));
  EXPECT_EQ(entries[0].firstThunk, 0x380u);
  EXPECT_TRUE(entries[0].tableInImage);
  EXPECT_STREQ(entries[1].moduleName, "storm.DLL");
  EXPECT_EQ(entries[1].firstThunk, 0x390u);

  // The list is rebuilt, not appended to.
  ASSERT_EQ(image.read(entries), ImageCheck::valid);
  EXPECT_EQ(entries.size(), 2u);
}

TEST(ImportDirectory, NamesAndTablesOutsideTheImageAreMarked) {
  Image image = headers(0x300, 0x200);
  image.putDescriptor(0x200, 0x2F0, 0x2FC);       // name and table right at the end
  image.putDescriptor(0x214, 0x300, 0x2FD);       // name starts at the end; table's slot cut short
  image.putDescriptor(0x228, 0xFFFFFFFF, 0xFFFFFFFE);
  image.putDescriptor(0x23C, 0x2FA, 0x100);       // name runs to the end without a NUL
  std::memcpy(&image.bytes[0x2F0], "a.dll\0", 6);
  std::memset(&image.bytes[0x2FA], 'x', 6);
  std::vector<ImportEntry> entries;
  ASSERT_EQ(image.read(entries), ImageCheck::valid);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_STREQ(entries[0].moduleName, "a.dll");
  EXPECT_TRUE(entries[0].tableInImage);
  EXPECT_EQ(entries[1].moduleName, nullptr);
  EXPECT_FALSE(entries[1].tableInImage);
  EXPECT_EQ(entries[2].moduleName, nullptr);
  EXPECT_FALSE(entries[2].tableInImage);
  EXPECT_EQ(entries[3].moduleName, nullptr);
  EXPECT_TRUE(entries[3].tableInImage);
}

// Without a terminating descriptor the walk stops at the last descriptor that fits whole.
TEST(ImportDirectory, DescriptorsRunningOffTheEndStop) {
  Image image = headers(0x200 + 2 * 20 + 19, 0x200);
  image.putDescriptor(0x200, 0x100, 0x104);
  image.putDescriptor(0x214, 0x100, 0x108);
  std::memset(&image.bytes[0x228], 0x7F, 19);  // a partial third descriptor
  image.putText(0x100, "k");
  std::vector<ImportEntry> entries;
  ASSERT_EQ(image.read(entries), ImageCheck::valid);
  EXPECT_EQ(entries.size(), 2u);

  for (uint32_t rva : {0x228u, 0x23Bu, 0x7FFFFFFFu, 0xFFFFFFF0u}) {
    SCOPED_TRACE(rva);
    image.put32(kImportRvaAt, rva);
    ASSERT_EQ(image.read(entries), ImageCheck::valid);
    EXPECT_TRUE(entries.empty());
  }
}

// Every prefix of a well-formed image reads without going past its end (the vector's storage is
// exactly the prefix, so a sanitizer or a neighbouring guard would catch an overrun).
TEST(ImportDirectory, EveryTruncationReadsSafely) {
  Image image = headers(0x280, 0x200);
  image.putDescriptor(0x200, 0x260, 0x270);
  image.putText(0x260, "ImportApiA.dll");
  for (size_t size = 0; size <= image.bytes.size(); ++size) {
    std::vector<unsigned char> prefix(image.bytes.begin(), image.bytes.begin() + size);
    std::vector<ImportEntry> entries;
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
