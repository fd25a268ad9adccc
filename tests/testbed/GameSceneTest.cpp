// The stand-in game's window in a real launch of the sample mod: each place of its client area, as the
// game captured it, holds exactly what the game's report says it read, pixel for pixel as the same GDI
// calls draw it into a memory bitmap.
#include "launcher/LaunchHarness.h"
#include "testbed/game/Scene.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

const char kCapture[] = "Scene.bmp";

// Pixels top-down as 0x00RRGGBB.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// A 32-bit top-down BMP file, as the game writes its capture; empty when it is not one.
Picture readBitmap(const std::string& bytes) {
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  if (bytes.size() >= sizeof file + sizeof info) memcpy(&file, bytes.data(), sizeof file);
  if (bytes.size() >= sizeof file + sizeof info) memcpy(&info, bytes.data() + sizeof file, sizeof info);
  size_t count = (size_t)info.biWidth * -info.biHeight;
  if (file.bfType != 0x4D42 || info.biBitCount != 32 || info.biHeight >= 0 || bytes.size() < file.bfOffBits + count * 4)
    return {};
  Picture picture = {info.biWidth, -info.biHeight, std::vector<uint32_t>(count)};
  memcpy(picture.pixels.data(), bytes.data() + file.bfOffBits, count * 4);
  for (uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
  return picture;
}

// How many pixels of the item's place in the window differ from the item drawn alone into a memory bitmap
// of its own size.
size_t differences(const Picture& window, const SceneItem& item) {
  int width = item.rect.right - item.rect.left, height = item.rect.bottom - item.rect.top;
  BITMAPINFOHEADER header = {sizeof header, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, (BITMAPINFO*)&header, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  paintItem(dc, item, item.rect.left, item.rect.top);
  GdiFlush();
  size_t wrong = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      wrong += window.pixels[(item.rect.top + y) * window.width + item.rect.left + x] !=
               (((const uint32_t*)bits)[y * width + x] & 0xFFFFFF);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return wrong;
}

class GameScene : public LaunchFixture {};

TEST_F(GameScene, EveryPlaceOfTheWindowShowsWhatTheReportSaysTheGameRead) {
  layOutGame();
  for (const char* archive : {"War3.mpq", "War3x.mpq"})
    copyInto(testbedFolder() + "game-archives\\" + archive, archive);
  for (const char* file : {"manifest.json", "icon.ico", "logo.bmp", "Addons\\DemoTools.dll", "Mpqs\\data.mpq",
                           "Mpqs\\patch.mpq", "Mpqs\\music.mpq"})
    copyInto(testbedFolder() + "mods\\Demo\\" + file, std::string("mods\\Demo\\") + file);
  SetEnvironmentVariableA("CORVANE_GAME_CAPTURE", kCapture);
  LaunchResult launched = launch("-mod Demo", false);
  SetEnvironmentVariableA("CORVANE_GAME_CAPTURE", nullptr);
  ASSERT_TRUE(launched.ended);
  Report report = LaunchFixture::report();
  ASSERT_EQ(report["end"], "ok");
  ASSERT_EQ(report["scene.capture"], kCapture);
  Picture window = readBitmap(readFile(kCapture));
  ASSERT_EQ(window.width, kSceneWidth);
  ASSERT_EQ(window.height, kSceneHeight);

  // What the report says the game read; the icon and cursor it names are loaded as the launcher does.
  SceneContent read;
  read.title = report["title.final"];
  read.version = report["version"];
  ASSERT_EQ(report["race.count"], "3");
  for (unsigned number : std::vector<unsigned>{1, 2, 3, 0}) {
    std::string n = std::to_string(number);
    std::string key = report["race.key." + n], skin = report["race.skin." + n];  // the text before " src="
    read.races.push_back({number, key.substr(0, key.find(" src=")), skin.substr(0, skin.find(" src="))});
  }
  std::vector<std::string> archives;
  for (size_t i = 1; report.count("scene.archive." + std::to_string(i)); ++i) {
    std::string line = report["scene.archive." + std::to_string(i)];
    size_t first = line.find(' '), second = line.find(' ', first + 1);
    read.archives.push_back(
        {(unsigned)std::stoul(line), line.substr(second + 1), line.substr(first + 1, second - first - 1)});
    archives.push_back(line);
  }
  EXPECT_EQ(archives, (std::vector<std::string>{"21 launcher .\\mods\\Demo\\Mpqs\\music.mpq",
                                                "20 launcher .\\mods\\Demo\\Mpqs\\patch.mpq",
                                                "10 launcher .\\mods\\Demo\\Mpqs\\data.mpq", "9 launcher Corvane.mpq",
                                                "3 game War3x.mpq", "2 game War3.mpq"}));
  ASSERT_EQ(report["icon.war3x"].substr(0, 6), "other ");
  read.icon = (HICON)LoadImageA(nullptr, ".\\mods\\Demo\\icon.ico", IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE);
  ASSERT_EQ(report["cursor.blizzard"], "corvane");
  HMODULE launcher = LoadLibraryExA(".\\Corvane.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  read.cursor = LoadCursorA(launcher, "CorvaneCursor.cur");
  ASSERT_TRUE(read.icon && read.cursor);

  // Every item in its place: one per race and archive, none left out.
  std::vector<SceneItem> items = sceneItems(read);
  std::string wrong;
  size_t skins = 0, paths = 0;
  for (const SceneItem& item : items) {
    skins += item.role == SceneRole::RaceSkin;
    paths += item.role == SceneRole::ArchivePath;
    size_t differing = differences(window, item);
    if (differing)
      wrong += "\"" + item.text + "\" at " + std::to_string(item.rect.left) + "," + std::to_string(item.rect.top) +
               ": " + std::to_string(differing) + " pixels differ\n";
  }
  EXPECT_EQ(skins, 4u);
  EXPECT_EQ(paths, 6u);
  EXPECT_EQ(wrong, "");
  DestroyIcon(read.icon);
  FreeLibrary(launcher);
}

}  // namespace
