// The splash window: its text and geometry rules, and real one-second showings watched through hooks.
#include "launcher/Globals.h"
#include "launcher/Splash.h"
#include "launcher/internal/SplashLayout.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::string prepared(const char* text) {
  char* copy = prepareSplashText(text);
  std::string result = copy ? copy : "<null>";
  free(copy);
  return result;
}

}  // namespace

// Two characters for two: the copy keeps the text's length.
TEST(SplashLayout, TextCopyTurnsBackslashNIntoSpaceAndLineFeed) {
  const std::pair<const char*, const char*> cases[] = {
      {"Demo mod\\nshowing every manifest key", "Demo mod \nshowing every manifest key"},
      {"a\\nb\\nc", "a \nb \nc"},
      {"\\n", " \n"},
      {"\\\\n", "\\ \n"},                // backslash, then the sequence
      {"ends with \\", "ends with \\"},  // a lone backslash stays
      {"\\t \\N n\\ ", "\\t \\N n\\ "},  // only a small n counts
      {"real\nline feed", "real\nline feed"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(prepared(c.first), c.second) << c.first;

  // No text: a heap copy of the one-line credit, never the constant itself.
  char* credit = prepareSplashText(nullptr);
  ASSERT_NE(credit, nullptr);
  EXPECT_STREQ(credit, kSplashCredit);
  EXPECT_NE(credit, kSplashCredit);
  free(credit);
  EXPECT_EQ(strchr(kSplashCredit, '\n'), nullptr);
}

TEST(SplashLayout, TextAreaTopFollowsTheLineCount) {
  const std::pair<const char*, int> counts[] = {{"", 1}, {kSplashCredit, 1}, {"a \nb", 2}, {"\n\n\n", 4}};
  for (const auto& c : counts) EXPECT_EQ(splashTextLines(c.first), c.second) << c.first;

  const RECT client = {0, 0, 500, 400};
  const std::map<int, LONG> tops = {{1, 375}, {2, 359}, {3, 343}, {5, 311}};
  for (auto [lines, top] : tops) {
    RECT area = splashTextRect(client, lines);
    EXPECT_EQ(area.left, 0) << lines;
    EXPECT_EQ(area.top, top) << lines;
    EXPECT_EQ(area.right, 500) << lines;
    EXPECT_EQ(area.bottom, 400) << lines;
  }
}

TEST(SplashLayout, WindowIsCentredWithHalvesTruncatedTowardZero) {
  struct Case {
    RECT desktop;
    LONG x, y;
  };
  const Case cases[] = {
      {{0, 0, 1920, 1080}, 710, 340}, {{0, 0, 1024, 768}, 262, 184},
      {{0, 0, 1023, 767}, 261, 183},  {{0, 0, 500, 400}, 0, 0},
      {{0, 0, 300, 200}, -100, -100}, {{0, 0, 299, 199}, -100, -100},  // -201 / 2 is -100, not -101
  };
  for (const Case& c : cases) {
    POINT origin = splashOrigin(c.desktop);
    EXPECT_EQ(origin.x, c.x) << c.desktop.right << "x" << c.desktop.bottom;
    EXPECT_EQ(origin.y, c.y) << c.desktop.right << "x" << c.desktop.bottom;
  }
}

// ---------------------------------------------------------------------------------------------------
// Real showings. The splash runs on this thread and blocks it without handling messages, so the test
// watches through two hooks of this thread: creation, and the moment just before destruction, when
// the window has been on screen, painted, for its second.

namespace {

using Pixels = std::vector<COLORREF>;  // 500 x 400, row by row from the top

struct Sighting {
  int created = 0;  // LogoClass windows created
  HWND window = nullptr;
  bool seenBeforeDestroy = false;
  std::string title;
  LONG style = 0, exStyle = 0;
  RECT rect = {};
  HWND owner = nullptr;
  bool topLevel = false;
  HINSTANCE instance = nullptr;
  bool visible = false;
  Pixels pixels;
};

Sighting gSighting;
HHOOK gCbtHook = nullptr;

bool isLogoWindow(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return strcmp(name, "LogoClass") == 0;
}

// A 500 x 400 top-down 32-bit surface to draw into and read back.
struct Surface {
  HBITMAP bitmap = nullptr;
  DWORD* bits = nullptr;  // 0x00RRGGBB
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = nullptr;

  Surface() {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kSplashWidth;
    info.bmiHeader.biHeight = -kSplashHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    previous = SelectObject(dc, bitmap);
  }
  ~Surface() {
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  Pixels pixels() const {
    GdiFlush();
    Pixels result(kSplashWidth * kSplashHeight);
    for (size_t i = 0; i < result.size(); ++i)
      result[i] = RGB(bits[i] >> 16 & 0xFF, bits[i] >> 8 & 0xFF, bits[i] & 0xFF);
    return result;
  }
};

// Reads what the window shows: its client area, through its own device context.
Pixels capture(HWND window) {
  Surface surface;
  HDC dc = GetDC(window);
  BitBlt(surface.dc, 0, 0, kSplashWidth, kSplashHeight, dc, 0, 0, SRCCOPY);
  ReleaseDC(window, dc);
  return surface.pixels();
}

LRESULT CALLBACK watchWindows(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_CREATEWND && isLogoWindow(window)) {
    ++gSighting.created;
    gSighting.window = window;
  }
  if (code == HCBT_DESTROYWND && window == gSighting.window) {
    gSighting.seenBeforeDestroy = true;
    char title[128] = {};
    GetWindowTextA(window, title, sizeof title);
    gSighting.title = title;
    gSighting.style = GetWindowLongA(window, GWL_STYLE);
    gSighting.exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    GetWindowRect(window, &gSighting.rect);
    gSighting.owner = GetWindow(window, GW_OWNER);
    gSighting.topLevel = GetAncestor(window, GA_PARENT) == GetDesktopWindow();
    gSighting.instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    gSighting.visible = IsWindowVisible(window);
    gSighting.pixels = capture(window);
  }
  return CallNextHookEx(gCbtHook, code, wParam, lParam);
}

// Shows the splash on this thread and returns what was seen of it.
Sighting watchSplash(const char* logoPath, const char* infoText) {
  gSighting = Sighting();
  gCbtHook = SetWindowsHookExA(WH_CBT, watchWindows, nullptr, GetCurrentThreadId());
  EXPECT_NE(gCbtHook, nullptr);
  showSplash(logoPath, infoText);
  UnhookWindowsHookEx(gCbtHook);
  return gSighting;
}

// The built-in picture as the splash loads it, read back pixel by pixel.
Pixels builtInPicture() {
  HBITMAP image =
      static_cast<HBITMAP>(LoadImageA(gExeModule, "CorvaneBitmap.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  EXPECT_NE(image, nullptr);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(memory, image);
  Pixels pixels(kSplashWidth * kSplashHeight);
  for (int y = 0; y < kSplashHeight; ++y)
    for (int x = 0; x < kSplashWidth; ++x) pixels[y * kSplashWidth + x] = GetPixel(memory, x, y);
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(image);
  return pixels;
}

// How many pixels of rows top..bottom-1 differ; -1 when nothing was captured.
int differingPixels(const Pixels& shown, const Pixels& expected, int top, int bottom) {
  if (shown.size() != expected.size()) return -1;
  int count = 0;
  for (int i = top * kSplashWidth; i < bottom * kSplashWidth; ++i) count += shown[i] != expected[i];
  return count;
}

// What the window should show: the picture with text drawn over it the way the splash must draw it,
// from the given top edge to the bottom, centred, word-wrapped, yellow, transparent, default font.
Pixels withText(const Pixels& picture, const char* text, int top) {
  Surface surface;
  for (size_t i = 0; i < picture.size(); ++i)
    surface.bits[i] = GetRValue(picture[i]) << 16 | GetGValue(picture[i]) << 8 | GetBValue(picture[i]);
  SetTextColor(surface.dc, RGB(240, 200, 0));
  SetBkMode(surface.dc, TRANSPARENT);
  RECT area = {0, top, kSplashWidth, kSplashHeight};
  DrawTextA(surface.dc, text, -1, &area, DT_CENTER | DT_WORDBREAK);
  return surface.pixels();
}

COLORREF filePattern(int x, int y) {
  return RGB(x * 255 / 299, y * 255 / 199, 0x40 + (x + y) % 2 * 0x80);
}

// A 24-bit bottom-up BMP file of width x height, filled by paint(x, y).
std::string bmpFile(int width, int height, COLORREF (*paint)(int, int)) {
  int stride = (width * 3 + 3) & ~3;
  std::string body(stride * height, '\0');
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      COLORREF c = paint(x, y);
      char* p = &body[(height - 1 - y) * stride + 3 * x];
      p[0] = static_cast<char>(GetBValue(c));
      p[1] = static_cast<char>(GetGValue(c));
      p[2] = static_cast<char>(GetRValue(c));
    }
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + body.size();
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = body.size();
  return std::string(reinterpret_cast<const char*>(&file), sizeof file) +
         std::string(reinterpret_cast<const char*>(&info), sizeof info) + body;
}

class Splash : public TempFolderTest {};

}  // namespace

TEST_F(Splash, BuiltInPictureWithTheCreditFillsACentredTopMostPopup) {
  Sighting seen = watchSplash(nullptr, nullptr);
  ASSERT_EQ(seen.created, 1);
  ASSERT_TRUE(seen.seenBeforeDestroy);
  EXPECT_FALSE(IsWindow(seen.window));  // gone when the routine returns

  EXPECT_EQ(seen.title, "Corvane - Mod Logo");
  // Pop-up only; the system adds clip-siblings to every top-level window, and showing made it visible.
  EXPECT_EQ(seen.style, static_cast<LONG>(WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS));
  EXPECT_EQ(seen.exStyle, static_cast<LONG>(WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
  EXPECT_EQ(seen.rect.left, 710);  // centred on the 1920 x 1080 display
  EXPECT_EQ(seen.rect.top, 340);
  EXPECT_EQ(seen.rect.right, 1210);
  EXPECT_EQ(seen.rect.bottom, 740);
  EXPECT_EQ(seen.owner, nullptr);
  EXPECT_TRUE(seen.topLevel);
  EXPECT_EQ(seen.instance, gExeModule);
  EXPECT_TRUE(seen.visible);

  // The picture fills the window exactly, with the one credit line drawn into the rows from y = 375.
  Pixels picture = builtInPicture();
  ASSERT_EQ(seen.pixels.size(), picture.size());
  EXPECT_EQ(differingPixels(seen.pixels, picture, 0, 375), 0);
  EXPECT_GT(differingPixels(seen.pixels, picture, 375, 400), 100);                            // the credit is there...
  EXPECT_EQ(differingPixels(seen.pixels, withText(picture, kSplashCredit, 375), 0, 400), 0);  // ...exactly so

  // The class stays registered, as the window was made from it.
  WNDCLASSEXA logoClass = {};
  logoClass.cbSize = sizeof logoClass;
  ASSERT_TRUE(GetClassInfoExA(gExeModule, "LogoClass", &logoClass));
  EXPECT_EQ(logoClass.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_NE(logoClass.hIconSm, nullptr);
  EXPECT_EQ(logoClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(logoClass.hbrBackground, reinterpret_cast<HBRUSH>(1));

  // The large icon is the launcher's own 32-pixel one.
  ICONINFO icon = {};
  ASSERT_TRUE(GetIconInfo(logoClass.hIcon, &icon));
  BITMAP colour = {};
  GetObjectA(icon.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmBitsPixel, 32);
  DeleteObject(icon.hbmColor);
  DeleteObject(icon.hbmMask);
}

TEST_F(Splash, MissingFileFallsBackToTheBuiltInPicture) {
  writeFile("present.txt", "not the logo");  // a neighbour that must not matter
  Sighting seen = watchSplash((folder + "\\absent.bmp").c_str(), "");
  ASSERT_EQ(seen.created, 1);
  ASSERT_TRUE(seen.seenBeforeDestroy);
  Pixels picture = builtInPicture();
  // Empty text: nothing drawn at all, the picture alone.
  EXPECT_EQ(differingPixels(seen.pixels, picture, 0, 400), 0);
}

TEST_F(Splash, FileBitmapSitsTopLeftOverTheClassBackgroundWithTwoTextLines) {
  writeFile("logo.bmp", bmpFile(300, 200, filePattern));
  Sighting seen = watchSplash("logo.bmp", "Demo mod\\nshowing every manifest key");
  ASSERT_EQ(seen.created, 1);
  ASSERT_TRUE(seen.seenBeforeDestroy);

  // Expected: the file's pixels at the top-left, the scroll-bar colour (class brush 1) elsewhere.
  Pixels expected(kSplashWidth * kSplashHeight, GetSysColor(COLOR_SCROLLBAR));
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) expected[y * kSplashWidth + x] = filePattern(x, y);
  EXPECT_EQ(differingPixels(seen.pixels, expected, 0, 359), 0);

  // Two lines: the first one in the 16 rows from y = 359, the second below it.
  EXPECT_GT(differingPixels(seen.pixels, expected, 359, 375), 50);
  EXPECT_GT(differingPixels(seen.pixels, expected, 375, 400), 50);
  EXPECT_EQ(differingPixels(seen.pixels, withText(expected, "Demo mod \nshowing every manifest key", 359), 0, 400), 0);
}

TEST_F(Splash, ExistingFileThatIsNoBitmapShowsNothing) {
  writeFile("logo.bmp", "{ \"this\": \"is not a bitmap\" }");
  Sighting seen = watchSplash("logo.bmp", "text");
  EXPECT_EQ(seen.created, 0);
  EXPECT_EQ(FindWindowA("LogoClass", nullptr), nullptr);

  // A folder by that name cannot be opened as a file: the built-in picture is shown instead. A line
  // too wide for the window wraps, and the text area still starts where one line would.
  CreateDirectoryA("folder.bmp", nullptr);
  const char* wide = "This mod brings twelve new heroes, four campaigns and a reworked economy to every map";
  seen = watchSplash("folder.bmp", wide);
  ASSERT_EQ(seen.created, 1);
  Pixels picture = builtInPicture();
  EXPECT_EQ(differingPixels(seen.pixels, picture, 0, 375), 0);
  EXPECT_EQ(differingPixels(seen.pixels, withText(picture, wide, 375), 0, 400), 0);
}
