// The executable's resources as the loader sees them: this program links the same resource object.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <set>
#include <string>

namespace {

HMODULE self() { return GetModuleHandleA(nullptr); }

// The bytes of one resource of this program, or an empty string when it is missing.
std::string resourceBytes(LPCSTR name, LPCSTR type) {
  HRSRC info = FindResourceA(self(), name, type);
  if (!info) return {};
  HGLOBAL loaded = LoadResource(self(), info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return std::string(static_cast<const char*>(data), SizeofResource(self(), info));
}

#pragma pack(push, 2)
struct GroupEntry {        // one image of an icon or cursor group resource
  BYTE width, height;      // icons: pixels, 0 for 256
  BYTE colours, reserved;
  WORD planes, bitCount;   // cursors: width and doubled height in these two words and the two above
  DWORD bytes;
  WORD id;                 // RT_ICON / RT_CURSOR resource of the image
};
struct GroupHeader {
  WORD reserved, type, count;  // type 1: icon, 2: cursor
};
#pragma pack(pop)
static_assert(sizeof(GroupEntry) == 14, "GRPICONDIRENTRY layout");
static_assert(sizeof(GroupHeader) == 6, "GRPICONDIR layout");

const GroupEntry* groupEntries(const std::string& group) {
  return reinterpret_cast<const GroupEntry*>(group.data() + sizeof(GroupHeader));
}

uint32_t bigEndian32(const std::string& bytes, size_t at) {
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

std::string versionString(const std::string& record, const char* key) {
  std::string path = std::string("\\StringFileInfo\\040904b0\\") + key;
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(record.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return "<missing>";
  return std::string(value, strnlen(value, length));
}

}  // namespace

TEST(Resources, SplashBitmapIs500By400At24BitsUncompressedBottomUp) {
  std::string bytes = resourceBytes("CorvaneBitmap.bmp", RT_BITMAP);
  ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  memcpy(&header, bytes.data(), sizeof header);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 500);
  EXPECT_EQ(header.biHeight, 400);  // positive: rows stored bottom-up
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(header.biClrUsed, 0u);
  EXPECT_EQ(bytes.size(), 40u + 500 * 3 * 400);  // no palette, 1500-byte rows need no padding

  // The name is looked up without regard to letter case, and the splash loads it as a DIB section.
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(self(), "corvanebitmap.BMP", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(bitmap, nullptr);
  DIBSECTION dib = {};
  ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidth, 500);
  EXPECT_EQ(dib.dsBm.bmHeight, 400);
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
  DeleteObject(bitmap);
}

TEST(Resources, SplashBitmapLeavesTheCreditStripDark) {
  // The credit text is drawn in RGB(240, 200, 0) over the bottom rows (from y = 340 for up to three
  // lines): they must stay dark and even so it reads.
  std::string bytes = resourceBytes("CorvaneBitmap.bmp", RT_BITMAP);
  ASSERT_EQ(bytes.size(), 40u + 500 * 3 * 400);
  const unsigned char* pixels = reinterpret_cast<const unsigned char*>(bytes.data()) + 40;
  int darkest = 255, brightest = 0;
  for (int y = 340; y < 400; ++y) {
    const unsigned char* row = pixels + (399 - y) * 1500;  // bottom-up
    for (int x = 0; x < 500; ++x) {
      int b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
      int luma = (r * 299 + g * 587 + b * 114) / 1000;
      darkest = std::min(darkest, luma);
      brightest = std::max(brightest, luma);
    }
  }
  EXPECT_LT(brightest, 48);
  EXPECT_LT(brightest - darkest, 24);

  // ...while the picture above it is not a blank field: the logo has bright pixels.
  int bright = 0;
  for (int y = 0; y < 340; ++y)
    for (int x = 0; x < 500; ++x)
      bright += pixels[(399 - y) * 1500 + 3 * x + 2] > 200;
  EXPECT_GT(bright, 2000);
}

TEST(Resources, IconGroupHoldsSixSizesWithA256PngEntry) {
  std::string group = resourceBytes("Corvane.ico", RT_GROUP_ICON);
  ASSERT_GE(group.size(), sizeof(GroupHeader));
  GroupHeader header;
  memcpy(&header, group.data(), sizeof header);
  EXPECT_EQ(header.reserved, 0);
  EXPECT_EQ(header.type, 1);
  ASSERT_EQ(header.count, 6);
  ASSERT_EQ(group.size(), sizeof(GroupHeader) + 6 * sizeof(GroupEntry));

  std::set<int> sizes;
  for (int i = 0; i < header.count; ++i) {
    const GroupEntry& entry = groupEntries(group)[i];
    int size = entry.width ? entry.width : 256;
    SCOPED_TRACE("icon of " + std::to_string(size) + " pixels");
    sizes.insert(size);
    EXPECT_EQ(entry.width, entry.height);
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bitCount, 32);
    std::string image = resourceBytes(MAKEINTRESOURCEA(entry.id), RT_ICON);
    ASSERT_EQ(image.size(), entry.bytes);
    if (size == 256) {
      // PNG signature, then IHDR: 256 x 256, 8 bits per channel, colour type 6 (RGBA).
      ASSERT_GE(image.size(), 33u);
      EXPECT_EQ(image.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
      EXPECT_EQ(image.substr(12, 4), "IHDR");
      EXPECT_EQ(bigEndian32(image, 16), 256u);
      EXPECT_EQ(bigEndian32(image, 20), 256u);
      EXPECT_EQ(image[24], 8);
      EXPECT_EQ(image[25], 6);
      continue;
    }
    BITMAPINFOHEADER dib;
    ASSERT_GE(image.size(), sizeof dib);
    memcpy(&dib, image.data(), sizeof dib);
    EXPECT_EQ(dib.biSize, 40u);
    EXPECT_EQ(dib.biWidth, size);
    EXPECT_EQ(dib.biHeight, 2 * size);  // colour rows then the AND mask
    EXPECT_EQ(dib.biBitCount, 32);
    EXPECT_EQ(dib.biCompression, static_cast<DWORD>(BI_RGB));
    size_t maskStride = ((size + 31) / 32) * 4;
    EXPECT_EQ(image.size(), 40u + size * size * 4 + maskStride * size);

    // A shaped icon: transparent at the corner, opaque in the middle (rows are bottom-up).
    const unsigned char* bgra = reinterpret_cast<const unsigned char*>(image.data()) + 40;
    EXPECT_EQ(bgra[3], 0) << "bottom-left corner";
    EXPECT_EQ(bgra[((size / 2) * size + size / 2) * 4 + 3], 255) << "centre";
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 64, 128, 256}));

  // The window class asks for the large and the small icon by this name.
  for (int size : {16, 32, 48}) {
    HICON icon = static_cast<HICON>(LoadImageA(self(), "Corvane.ico", IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour = {};
    ASSERT_TRUE(info.hbmColor);
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    EXPECT_EQ(colour.bmHeight, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

TEST(Resources, CursorIsA32PixelArrowWithItsHotspotOnTheTip) {
  std::string group = resourceBytes("CorvaneCursor.cur", RT_GROUP_CURSOR);
  ASSERT_EQ(group.size(), sizeof(GroupHeader) + sizeof(GroupEntry));
  GroupHeader header;
  memcpy(&header, group.data(), sizeof header);
  EXPECT_EQ(header.type, 2);
  ASSERT_EQ(header.count, 1);
  // A cursor directory entry: WORD width, WORD doubled height, planes, bit count.
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(group.data()) + sizeof(GroupHeader);
  EXPECT_EQ(raw[0] | raw[1] << 8, 32);
  EXPECT_EQ(raw[2] | raw[3] << 8, 64);
  // (windres writes planes 1 and bit count 1 into a cursor group entry whatever the image is; the
  // image's own header below tells the loader its real depth.)
  const GroupEntry& entry = groupEntries(group)[0];

  // The image resource starts with the hotspot, then the DIB.
  std::string image = resourceBytes(MAKEINTRESOURCEA(entry.id), RT_CURSOR);
  ASSERT_EQ(image.size(), entry.bytes);
  ASSERT_EQ(image.size(), 4u + 40 + 32 * 32 * 4 + 4 * 32);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(image.data());
  int hotX = bytes[0] | bytes[1] << 8, hotY = bytes[2] | bytes[3] << 8;
  EXPECT_EQ(hotX, 1);
  EXPECT_EQ(hotY, 1);
  BITMAPINFOHEADER dib;
  memcpy(&dib, bytes + 4, sizeof dib);
  EXPECT_EQ(dib.biWidth, 32);
  EXPECT_EQ(dib.biHeight, 64);
  EXPECT_EQ(dib.biBitCount, 32);

  // The hotspot pixel is part of the arrow; the opposite corner is empty.
  auto alpha = [&](int x, int y) { return bytes[4 + 40 + ((31 - y) * 32 + x) * 4 + 3]; };
  EXPECT_GT(alpha(hotX, hotY), 128);
  EXPECT_EQ(alpha(31, 0), 0);
  EXPECT_EQ(alpha(0, 31), 0);

  HCURSOR cursor = LoadCursorA(self(), "CorvaneCursor.cur");
  ASSERT_NE(cursor, nullptr);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 1u);
  EXPECT_EQ(info.yHotspot, 1u);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

TEST(Resources, VersionRecordNamesCorvane2001) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(self(), path, MAX_PATH), 0u);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  ASSERT_GT(size, 0u);
  std::string record(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, &record[0]));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);  // 2.0
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);  // .0.1
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileFlags, 0u);

  struct Translation { WORD language, codePage; }* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(record.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation->language, 0x0409);
  EXPECT_EQ(translation->codePage, 1200);

  EXPECT_EQ(versionString(record, "FileVersion"), "Version 2.0.0 (Build 1)");
  EXPECT_EQ(versionString(record, "ProductVersion"), "Version 2.0.0 (Build 1)");
  EXPECT_EQ(versionString(record, "FileDescription"), "Corvane");
  EXPECT_EQ(versionString(record, "InternalName"), "Corvane");
  EXPECT_EQ(versionString(record, "OriginalFilename"), "Corvane.exe");
  EXPECT_EQ(versionString(record, "CompanyName"), "Corvane Project");
  EXPECT_EQ(versionString(record, "LegalCopyright"), "Copyright (C) Corvane Project");
}

TEST(Resources, ManifestAsksForTheCallersLevelWithoutUiAccess) {
  std::string manifest = resourceBytes(MAKEINTRESOURCEA(1), RT_MANIFEST);
  ASSERT_FALSE(manifest.empty());
  EXPECT_EQ(manifest.rfind("<?xml version=\"1.0\"", 0), 0u);
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
  EXPECT_NE(manifest.find("xmlns=\"urn:schemas-microsoft-com:asm.v3\""), std::string::npos);
  EXPECT_NE(manifest.find("</assembly>"), std::string::npos);
  // Only the process manifest: no second one under another identifier.
  EXPECT_EQ(FindResourceA(self(), MAKEINTRESOURCEA(2), RT_MANIFEST), nullptr);
}
