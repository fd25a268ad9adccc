// The game's cursor and icon loads.
#include "testbed/game/CursorAndIcon.h"

#include "testbed/game/Report.h"

#include <windows.h>

#include <vector>

using namespace GameReport;

namespace {
// The real user32 functions, looked up past the game's import table.
struct RealUser32 {
  decltype(&LoadCursorA) loadCursor = nullptr;
  decltype(&LoadImageA) loadImage = nullptr;
};

RealUser32 realUser32() {
  RealUser32 real;
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) user32 = LoadLibraryA("user32.dll");
  if (!user32) return real;
  real.loadCursor = (decltype(&LoadCursorA))(void*)GetProcAddress(user32, "LoadCursorA");
  real.loadImage = (decltype(&LoadImageA))(void*)GetProcAddress(user32, "LoadImageA");
  return real;
}

struct Known {
  const char* name;
  HANDLE handle;
};

// Shared cursors: the same resource gives the same handle.
std::string classifyCursor(HCURSOR cursor, const std::vector<Known>& known) {
  if (!cursor) return "null";
  for (const Known& k : known)
    if (k.handle && k.handle == cursor) return k.name;
  return "other";
}

// An icon's picture: size of its colour bitmap (or half its mask) and a hash of both bitmaps' bits.
struct Picture {
  bool valid = false;
  long width = 0, height = 0;
  DWORD hash = 0;
};

void hashBits(HBITMAP bitmap, DWORD& hash) {
  BITMAP info;
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return;
  std::vector<unsigned char> bits((size_t)info.bmWidthBytes * info.bmHeight);
  LONG got = GetBitmapBits(bitmap, (LONG)bits.size(), bits.data());
  for (LONG i = 0; i < got; ++i) hash = (hash ^ bits[i]) * 16777619u;  // FNV-1a
}

Picture pictureOf(HICON icon) {
  Picture picture;
  ICONINFO info;
  if (!icon || !GetIconInfo(icon, &info)) return picture;
  BITMAP bitmap;
  if (info.hbmColor && GetObjectA(info.hbmColor, sizeof bitmap, &bitmap)) {
    picture.width = bitmap.bmWidth;
    picture.height = bitmap.bmHeight;
  } else if (info.hbmMask && GetObjectA(info.hbmMask, sizeof bitmap, &bitmap)) {
    picture.width = bitmap.bmWidth;
    picture.height = bitmap.bmHeight / 2;
  }
  picture.hash = 2166136261u;
  hashBits(info.hbmColor, picture.hash);
  hashBits(info.hbmMask, picture.hash);
  picture.valid = true;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return picture;
}

struct KnownPicture {
  const char* name;
  Picture picture;
};

// "null", or "NAME size=WxH hash=XXXXXXXX" with NAME the known picture it equals, or "other".
std::string describeIcon(HICON icon, const std::vector<KnownPicture>& known) {
  if (!icon) return "null";
  Picture picture = pictureOf(icon);
  std::string name = "other";
  for (const KnownPicture& k : known) {
    if (k.picture.valid && picture.valid && k.picture.hash == picture.hash && k.picture.width == picture.width &&
        k.picture.height == picture.height) {
      name = k.name;
      break;
    }
  }
  return name + " size=" + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
         " hash=" + hex32(picture.hash);
}

void release(HANDLE icon) {
  if (icon) DestroyIcon((HICON)icon);
}
}  // namespace

GamePictures reportCursorsAndIcons(ReportWriter& report) {
  GamePictures kept;
  HINSTANCE exe = GetModuleHandleA(nullptr);
  RealUser32 real = realUser32();
  if (!real.loadCursor || !real.loadImage) {
    report.put("cursor.blizzard", "no user32");
    return kept;
  }

  std::vector<Known> cursors = {
      {"corvane", real.loadCursor(exe, kCursorLauncher)},
      {"blizzard", real.loadCursor(exe, kCursorGame)},
      {"arrow", real.loadCursor(nullptr, IDC_ARROW)},
  };
  report.put("cursor.corvane.real", cursors[0].handle ? "present" : "null");
  report.put("cursor.blizzard.real", cursors[1].handle ? "present" : "null");
  kept.cursor = LoadCursorA(exe, kCursorGame);
  report.put("cursor.blizzard", classifyCursor(kept.cursor, cursors));
  report.put("cursor.other", classifyCursor(LoadCursorA(exe, kCursorOther), cursors));
  report.put("cursor.arrow", classifyCursor(LoadCursorA(nullptr, IDC_ARROW), cursors));

  HANDLE launcherIcon = real.loadImage(exe, kIconLauncher, IMAGE_ICON, 32, 32, 0);
  HANDLE gameIcon = real.loadImage(exe, kIconGame, IMAGE_ICON, 32, 32, 0);
  HANDLE applicationIcon = real.loadImage(nullptr, (LPCSTR)IDI_APPLICATION, IMAGE_ICON, 0, 0, LR_SHARED);
  std::vector<KnownPicture> icons = {
      {"corvane", pictureOf((HICON)launcherIcon)},
      {"war3x", pictureOf((HICON)gameIcon)},
      {"application", pictureOf((HICON)applicationIcon)},
  };
  report.put("icon.corvane.real", describeIcon((HICON)launcherIcon, icons));
  report.put("icon.war3x.real", describeIcon((HICON)gameIcon, icons));

  kept.icon = (HICON)LoadImageA(exe, kIconGame, IMAGE_ICON, 32, 32, 0);
  report.put("icon.war3x", describeIcon(kept.icon, icons));
  HANDLE icon = LoadImageA(exe, kIconOther, IMAGE_ICON, 32, 32, 0);
  report.put("icon.other", describeIcon((HICON)icon, icons));
  release(icon);
  icon = LoadImageA(nullptr, (LPCSTR)IDI_APPLICATION, IMAGE_ICON, 0, 0, LR_SHARED);
  report.put("icon.application", describeIcon((HICON)icon, icons));  // shared: not released

  release(launcherIcon);
  release(gameIcon);
  return kept;
}
