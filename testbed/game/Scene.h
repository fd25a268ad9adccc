// The picture in the stand-in game's window: what the game read, laid out like the game's own race
// selection screen. Items (each read value with its place) are apart from the painting, so that a test
// can draw any one of them into a memory bitmap and compare it with the window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SceneRace {
  unsigned number;
  std::string key, skin;  // as the game's code read them for that number
};

struct SceneArchive {
  unsigned priority;
  std::string path;      // as it was opened
  std::string openedBy;  // "launcher" (before GameMain) or "game"
};

struct SceneContent {
  std::string title;                   // the window's title
  std::vector<SceneRace> races;        // races 1..n, then the random race 0
  std::string version;                 // the game's version text
  std::vector<SceneArchive> archives;  // the archives open, in search order
  HICON icon = nullptr;                // the game's icon as it loaded it
  HCURSOR cursor = nullptr;            // the game's cursor as it loaded it
};

enum class SceneRole {
  Title,
  Icon,
  Cursor,
  Version,
  RaceNumber,
  RaceSkin,
  RaceKey,
  MoreRaces,
  ArchivePriority,
  ArchivePath,
  ArchiveOpener,
  MoreArchives
};

// One value in its place: the rectangle is filled with background, then the text or picture drawn.
struct SceneItem {
  SceneRole role;
  size_t index;  // the race's or archive's place in the content; 0 for the others
  RECT rect;     // in client coordinates
  COLORREF background;
  int font;  // for texts
  COLORREF color;
  UINT align;  // DT_LEFT, DT_CENTER or DT_RIGHT
  std::string text;
  HICON picture;  // for the icon and the cursor
};

constexpr int kSceneWidth = 800;
constexpr int kSceneHeight = 600;
constexpr int kPictureSize = 32;

// Every item of content, in painting order; races and archives beyond the room end in one "more" line.
std::vector<SceneItem> sceneItems(const SceneContent& content);
// The whole picture: backdrop, panels, headings and every item.
void paintScene(HDC dc, const SceneContent& content);
// One item, drawn at its rectangle moved by (-dx, -dy).
void paintItem(HDC dc, const SceneItem& item, int dx, int dy);
