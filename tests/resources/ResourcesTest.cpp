// The executable's resources as the loader sees them: this program links the same resource object.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

HMODULE self() {
  return GetModuleHandleA(nullptr);
}

// The bytes of one resource of this program, or an empty string when it is missing.
std::string resourceBytes(LPCSTR name, LPCSTR type) {
  HRSRC info = FindResourceA(self(), name, type);
  HGLOBAL loaded = info ? LoadResource(self(), info) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  return data ? std::string(static_cast<const char*>(data), SizeofResource(self(), info)) : std::string();
}

#pragma pack(push, 2)
struct GroupEntry {    // one image of an icon group resource
  BYTE width, height;  // pixels, 0 for 256
  BYTE colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;  // RT_ICON / RT_CURSOR resource of the image
};
#pragma pack(pop)
static_assert(sizeof(GroupEntry) == 14, "GRPICONDIRENTRY layout");

// "reserved type count" of a group resource, then its entries.
std::string groupHeader(const std::string& group) {
  WORD words[3] = {};
  std::memcpy(words, group.data(), std::min(group.size(), sizeof words));
  return std::to_string(words[0]) + " " + std::to_string(words[1]) + " " + std::to_string(words[2]);
}

GroupEntry groupEntry(const std::string& group, int index) {
  GroupEntry entry = {};
  std::memcpy(&entry, group.data() + 6 + index * sizeof entry, sizeof entry);
  return entry;
}

// "size width height planes bits compression colours" of a DIB header at the start of bytes.
std::string dibFields(const std::string& bytes) {
  BITMAPINFOHEADER h = {};
  std::memcpy(&h, bytes.data(), std::min(bytes.size(), sizeof h));
  char text[96];
  std::snprintf(text, sizeof text, "%lu %ldx%ld %u %u %lu %lu", h.biSize, h.biWidth, h.biHeight, h.biPlanes,
                h.biBitCount, h.biCompression, h.biClrUsed);
  return text;
}

std::string pair(long first, long second) {
  return std::to_string(first) + "x" + std::to_string(second);
}

uint32_t bigEndian32(const std::string& bytes, size_t at) {
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

}  // namespace

// 500 x 400 at 24 bits, uncompressed, bottom-up, no palette (1500-byte rows need no padding).
TEST(Resources, SplashBitmapIs500By400At24Bits) {
  std::string bytes = resourceBytes("CorvaneBitmap.bmp", RT_BITMAP);
  EXPECT_EQ(dibFields(bytes), "40 500x400 1 24 0 0");
  EXPECT_EQ(bytes.size(), 40u + 500 * 3 * 400);
}

// Sizes 16 to 128 as 32-bit DIBs with an AND mask, and 256 as a PNG of 8 bits per RGBA channel. (The splash,
// hooks and game-scene tests load the picture, the icon and the cursor through the loader by their names.)
TEST(Resources, IconGroupHoldsSixSizesWithA256PngEntry) {
  std::string group = resourceBytes("Corvane.ico", RT_GROUP_ICON);
  EXPECT_EQ(groupHeader(group), "0 1 6");
  ASSERT_EQ(group.size(), 6 + 6 * sizeof(GroupEntry));
  std::string sizes;
  for (int i = 0; i < 6; ++i) {
    GroupEntry entry = groupEntry(group, i);
    int size = entry.width ? entry.width : 256;
    SCOPED_TRACE("icon of " + std::to_string(size) + " pixels");
    sizes += std::to_string(size) + " ";
    EXPECT_EQ(entry.width, entry.height);
    EXPECT_EQ(pair(entry.planes, entry.bitCount), "1x32");
    std::string image = resourceBytes(MAKEINTRESOURCEA(entry.id), RT_ICON);
    ASSERT_EQ(image.size(), entry.bytes);
    if (size == 256) {
      ASSERT_GE(image.size(), 33u);
      EXPECT_EQ(image.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
      EXPECT_EQ(bigEndian32(image, 16), 256u);
      EXPECT_EQ(bigEndian32(image, 20), 256u);
      EXPECT_EQ(image.substr(24, 2), "\x08\x06");
      continue;
    }
    EXPECT_EQ(dibFields(image), "40 " + std::to_string(size) + "x" + std::to_string(2 * size) + " 1 32 0 0");
    size_t maskStride = ((size + 31) / 32) * 4;
    EXPECT_EQ(image.size(), 40u + size * size * 4 + maskStride * size);
  }
  EXPECT_EQ(sizes, "256 128 64 48 32 16 ");
}

TEST(Resources, VersionRecordNamesCorvane2001) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(self(), path, MAX_PATH), 0u);
  DWORD handle = 0;
  std::string record(GetFileVersionInfoSizeA(path, &handle), '\0');
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, record.size(), &record[0]));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const DWORD want[] = {0xFEEF04BD, 0x00020000, 0x00000001, 0x00020000, 0x00000001};  // 2.0.0.1 twice
  const DWORD got[] = {fixed->dwSignature, fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                       fixed->dwProductVersionLS};
  EXPECT_EQ(std::vector<DWORD>(got, got + 5), std::vector<DWORD>(want, want + 5));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileFlags, 0u);

  WORD* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueA(record.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0] << 16 | translation[1], 0x0409 << 16 | 1200);  // U.S. English, Unicode strings

  const std::pair<const char*, const char*> strings[] = {{"FileVersion", "Version 2.0.0 (Build 1)"},
                                                         {"ProductVersion", "Version 2.0.0 (Build 1)"},
                                                         {"FileDescription", "Corvane"},
                                                         {"InternalName", "Corvane"},
                                                         {"OriginalFilename", "Corvane.exe"},
                                                         {"CompanyName", "Corvane Project"},
                                                         {"LegalCopyright", "Copyright (C) Corvane Project"}};
  for (const auto& s : strings) {
    char* value = nullptr;
    std::string key = std::string("\\StringFileInfo\\040904b0\\") + s.first;
    bool found = VerQueryValueA(record.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) && value;
    EXPECT_EQ(found ? std::string(value, strnlen(value, length)) : "<missing>", s.second) << s.first;
  }
}

TEST(Resources, ManifestAsksForTheCallersLevelWithoutUiAccess) {
  std::string manifest = resourceBytes(MAKEINTRESOURCEA(1), RT_MANIFEST);
  EXPECT_EQ(manifest.rfind("<?xml version=\"1.0\"", 0), 0u);
  for (const char* part : {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
                           "xmlns=\"urn:schemas-microsoft-com:asm.v3\"", "</assembly>"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  // Only the process manifest: no second one under another identifier.
  EXPECT_EQ(FindResourceA(self(), MAKEINTRESOURCEA(2), RT_MANIFEST), nullptr);
}
