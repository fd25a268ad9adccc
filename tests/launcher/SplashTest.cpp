// The splash window: its text and geometry rules, and real one-second showings watched through hooks.
#include "launcher/Globals.h"
#include "launcher/Splash.h"
#include "launcher/internal/SplashLayout.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string prepared(const char* text) {
  char* copy = prepareSplashText(text);
  std::string result = copy ? copy : "<null>";
  free(copy);
  return result;
}

// Two characters for two: the copy keeps the text's length. No text: a heap copy of the one-line credit.
TEST(SplashLayout, TextCopyTurnsBackslashNIntoSpaceAndLineFeed) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\\nb\\nc", "a \nb \nc"},
      {"\\n", " \n"},
      {"\\\\n", "\\ \n"},                // backslash, then the sequence
      {"ends with \\", "ends with \\"},  // a lone backslash stays
      {"\\t \\N n\\ ", "\\t \\N n\\ "},  // only a small n counts
      {"real\nline feed", "real\nline feed"},
      {"", ""},
      {nullptr, kSplashCredit},
  };
  for (const auto& c : cases) EXPECT_EQ(prepared(c.first), c.second) << (c.first ? c.first : "null");
  EXPECT_EQ(strchr(kSplashCredit, '\n'), nullptr);
}

// Centred with halves truncated toward zero, also on a desktop smaller than the window.
TEST(SplashLayout, WindowOriginTruncatesTowardZero) {
  POINT origin = splashOrigin(RECT{0, 0, 299, 199});
  EXPECT_EQ(origin.x, -100);  // -201 / 2, not -101
  EXPECT_EQ(origin.y, -100);
}

// ---------------------------------------------------------------------------------------------------
// Real showings. The splash runs on this thread and blocks it without handling messages, so the test
// watches through a hook of this thread: creation, and the moment just before destruction, when the
// window has been on screen, painted, for its second.
using Pixels = std::vector<COLORREF>;  // 500 x 400, row by row from the top

struct Sighting {
  int created = 0;  // LogoClass windows created
  HWND handle = nullptr;
  std::string window;  // what the window was just before it went, one line
  Pixels pixels;
};

Sighting gSighting;
HHOOK gCbtHook = nullptr;

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

// Title, styles, place, owner, parent, module and visibility, as one line.
std::string describeWindow(HWND window) {
  char title[128] = {};
  GetWindowTextA(window, title, sizeof title);
  RECT rect;
  GetWindowRect(window, &rect);
  char line[256];
  snprintf(line, sizeof line, "%s style=%08lX ex=%08lX at %ld,%ld %ldx%ld owned=%d top=%d exe=%d visible=%d", title,
           GetWindowLongA(window, GWL_STYLE), GetWindowLongA(window, GWL_EXSTYLE), rect.left, rect.top,
           rect.right - rect.left, rect.bottom - rect.top, GetWindow(window, GW_OWNER) != nullptr,
           GetAncestor(window, GA_PARENT) == GetDesktopWindow(),
           reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)) == gExeModule,
           IsWindowVisible(window) != 0);
  return line;
}

LRESULT CALLBACK watchWindows(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (code == HCBT_CREATEWND && strcmp(name, "LogoClass") == 0) {
    ++gSighting.created;
    gSighting.handle = window;
  }
  if (code == HCBT_DESTROYWND && window == gSighting.handle) {
    gSighting.window = describeWindow(window);
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
  EXPECT_FALSE(gSighting.handle && IsWindow(gSighting.handle)) << "the splash window outlived the routine";
  return gSighting;
}

// A picture's pixels, read back one by one: the built-in one as the splash loads it, or a file's.
Pixels picture(const char* file) {
  HBITMAP image =
      static_cast<HBITMAP>(file ? LoadImageA(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)
                                : LoadImageA(gExeModule, "CorvaneBitmap.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  EXPECT_NE(image, nullptr) << (file ? file : "built-in");
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

// How many pixels of rows top..bottom-1 differ; -1 when nothing was captured.
int differingPixels(const Pixels& shown, const Pixels& expected, int top, int bottom) {
  if (shown.size() != expected.size()) return -1;
  int count = 0;
  for (int i = top * kSplashWidth; i < bottom * kSplashWidth; ++i) count += shown[i] != expected[i];
  return count;
}

class Splash : public TempFolderTest {};

// Each row one showing: the Demo mod's picture, or the built-in one it falls back to, with the text drawn
// yellow over it from the row 391 - 16 per line. The window is a borderless top-most pop-up of the
// executable, centred on the 1920 x 1080 display (the system adds clip-siblings to every top-level
// window, and showing made it visible).
TEST_F(Splash, ShowingsOfEachPictureAndText) {
  const std::string logo = testbedFolder() + "mods\\Demo\\logo.bmp";
  writeFile("text.bmp", "{ \"this\": \"is not a bitmap\" }");
  CreateDirectoryA("folder.bmp", nullptr);  // cannot be opened as a file: the built-in picture instead
  const char wide[] = "This mod brings twelve new heroes, four campaigns and a reworked economy to every map";
  struct Case {
    const char* logo;
    const char* info;
    const char* text;  // as drawn
    int top;
  };
  const Case cases[] = {
      {nullptr, nullptr, kSplashCredit, 375},
      {"absent.bmp", "", "", 375},
      {logo.c_str(), "Demo mod\\nshowing every manifest key", "Demo mod \nshowing every manifest key", 359},
      {"folder.bmp", wide, wide, 375},  // wraps, but the area starts where one line would
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.logo ? c.logo : "no logo");
    Sighting seen = watchSplash(c.logo, c.info);
    ASSERT_EQ(seen.created, 1);
    EXPECT_EQ(seen.window,
              "Corvane - Mod Logo style=94000000 ex=00000088 at 710,340 500x400 owned=0 top=1 exe=1 visible=1");
    Pixels background = picture(c.logo == logo.c_str() ? c.logo : nullptr);
    EXPECT_EQ(differingPixels(seen.pixels, withText(background, c.text, c.top), 0, kSplashHeight), 0);
    if (*c.text) {
      EXPECT_GT(differingPixels(seen.pixels, background, c.top, c.top + 16), 50) << "no text drawn";
    }
  }
  // A file that opens but is no bitmap: no window at all.
  EXPECT_EQ(watchSplash("text.bmp", "text").created, 0);

  // The class stays registered: redraw on resize, the arrow, background brush 1, and the launcher's own
  // icons, the large one of 32 pixels at 32 bits.
  WNDCLASSEXA logoClass = {};
  logoClass.cbSize = sizeof logoClass;
  ASSERT_TRUE(GetClassInfoExA(gExeModule, "LogoClass", &logoClass));
  ICONINFO icon = {};
  BITMAP colour = {};
  if (GetIconInfo(logoClass.hIcon, &icon)) GetObjectA(icon.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(logoClass.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_TRUE(logoClass.hIconSm && logoClass.hCursor == LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(logoClass.hbrBackground, reinterpret_cast<HBRUSH>(1));
  EXPECT_EQ(std::to_string(colour.bmWidth) + " " + std::to_string(colour.bmBitsPixel), "32 32");
  DeleteObject(icon.hbmColor);
  DeleteObject(icon.hbmMask);
}

}  // namespace
