// The stand-in game's picture of what it read: header with title, icon and cursor, the races, the
// archives in search order, and the version text at the bottom right where the game shows its own.
#include "testbed/game/Scene.h"

namespace {
// ---- Colours
const COLORREF kBackdropTop = RGB(14, 44, 42), kBackdropBottom = RGB(4, 14, 16);
const COLORREF kBand = RGB(7, 25, 26);  // header and footer
const COLORREF kPanel = RGB(9, 31, 31);
const COLORREF kPlate = RGB(17, 50, 48);  // one row
const COLORREF kSlot = RGB(3, 12, 13);    // behind the icon and the cursor
const COLORREF kGold = RGB(232, 198, 106), kGoldDim = RGB(150, 118, 52), kBadge = RGB(205, 168, 76);
const COLORREF kParchment = RGB(240, 231, 206), kTeal = RGB(128, 178, 166), kTealDim = RGB(48, 96, 88);
const COLORREF kInk = RGB(22, 18, 10);

// ---- Fonts, by the index items carry
struct FontStyle {
  int height;
  int weight;
  const char* face;
  int spacing;  // extra pixels between characters
};
enum { kTitleFont, kHeadingFont, kNoteFont, kNameFont, kBadgeFont, kTagFont, kTextFont };
const FontStyle kFonts[] = {
    {30, FW_BOLD, "DejaVu Serif", 0},   {15, FW_BOLD, "DejaVu Serif", 2}, {11, FW_NORMAL, "DejaVu Sans", 1},
    {20, FW_NORMAL, "DejaVu Serif", 0}, {14, FW_BOLD, "DejaVu Sans", 0},  {10, FW_BOLD, "DejaVu Sans", 1},
    {13, FW_NORMAL, "DejaVu Sans", 0},
};

// ---- Layout
const RECT kHeader = {0, 0, kSceneWidth, 92};
const RECT kFooter = {0, 522, kSceneWidth, kSceneHeight};
const RECT kRacePanel = {28, 116, 392, 500};
const RECT kArchivePanel = {408, 116, 772, 500};
const RECT kIconSlot = {28, 22, 76, 70};
const RECT kCursorSlot = {724, 22, 772, 70};
const int kRowsTop = 184;
const int kRaceRowHeight = 50, kRacePlateHeight = 44;
const int kArchiveRowHeight = 34, kArchivePlateHeight = 30;

RECT rectAt(int left, int top, int right, int bottom) {
  RECT r = {left, top, right, bottom};
  return r;
}

RECT inset(const RECT& r, int by) {
  return rectAt(r.left + by, r.top + by, r.right - by, r.bottom - by);
}

void fill(HDC dc, const RECT& r, COLORREF colour) {
  SetDCBrushColor(dc, colour);
  FillRect(dc, &r, (HBRUSH)GetStockObject(DC_BRUSH));
}

void frame(HDC dc, const RECT& r, COLORREF colour) {
  fill(dc, rectAt(r.left, r.top, r.right, r.top + 1), colour);
  fill(dc, rectAt(r.left, r.bottom - 1, r.right, r.bottom), colour);
  fill(dc, rectAt(r.left, r.top, r.left + 1, r.bottom), colour);
  fill(dc, rectAt(r.right - 1, r.top, r.right, r.bottom), colour);
}

COLORREF blend(COLORREF a, COLORREF b, int step, int steps) {
  auto mix = [&](int x, int y) { return x + (y - x) * step / steps; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void text(HDC dc, const std::string& value, RECT r, int font, COLORREF colour, UINT align) {
  const FontStyle& style = kFonts[font];
  HFONT made = CreateFontA(-style.height, 0, 0, 0, style.weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, style.face);
  HGDIOBJ previous = SelectObject(dc, made);
  SetTextCharacterExtra(dc, style.spacing);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextA(dc, value.c_str(), (int)value.size(), &r,
            align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, previous);
  DeleteObject(made);
}

// A panel: its fill, a dim gold frame with gold corners, a heading and a note under it.
void panel(HDC dc, const RECT& r, const char* heading, const char* note) {
  fill(dc, r, kPanel);
  frame(dc, r, kGoldDim);
  frame(dc, inset(r, 3), kTealDim);
  for (int x : {(int)r.left, (int)r.right - 6})
    for (int y : {(int)r.top, (int)r.bottom - 6}) fill(dc, rectAt(x, y, x + 6, y + 6), kGold);
  text(dc, heading, rectAt(r.left + 20, r.top + 14, r.right - 20, r.top + 38), kHeadingFont, kGold, DT_LEFT);
  fill(dc, rectAt(r.left + 20, r.top + 40, r.right - 20, r.top + 41), kGoldDim);
  text(dc, note, rectAt(r.left + 20, r.top + 44, r.right - 20, r.top + 62), kNoteFont, kTeal, DT_LEFT);
}

// A frame for a picture: dim gold, then the slot's own dark fill.
void slot(HDC dc, const RECT& r) {
  frame(dc, r, kGold);
  fill(dc, inset(r, 1), kGoldDim);
  fill(dc, inset(r, 3), kSlot);
}

RECT pictureIn(const RECT& slot) {
  int left = (slot.left + slot.right - kPictureSize) / 2, top = (slot.top + slot.bottom - kPictureSize) / 2;
  return rectAt(left, top, left + kPictureSize, top + kPictureSize);
}

SceneItem textItem(SceneRole role, size_t index, RECT r, COLORREF background, int font, COLORREF colour, UINT align,
                   const std::string& value) {
  return {role, index, r, background, font, colour, align, value, nullptr};
}

// How many of count rows a panel shows: all that fit, or one fewer and a line that says how many more.
size_t rowsShown(size_t count, const RECT& panel, int rowHeight) {
  const size_t room = (panel.bottom - 12 - kRowsTop) / rowHeight;
  return count <= room ? count : room - 1;
}

void addRaces(std::vector<SceneItem>& items, const std::vector<SceneRace>& races) {
  const size_t shown = rowsShown(races.size(), kRacePanel, kRaceRowHeight);
  for (size_t i = 0; i < shown; ++i) {
    int top = kRowsTop + (int)i * kRaceRowHeight;
    const SceneRace& race = races[i];
    items.push_back(textItem(SceneRole::RaceNumber, i, rectAt(56, top + 8, 84, top + 36), kBadge, kBadgeFont, kInk,
                             DT_CENTER, std::to_string(race.number)));
    items.push_back(textItem(SceneRole::RaceSkin, i, rectAt(96, top + 3, 270, top + 41), kPlate, kNameFont, kParchment,
                             DT_LEFT, race.skin));
    items.push_back(textItem(SceneRole::RaceKey, i, rectAt(270, top + 3, 370, top + 41), kPlate, kTagFont, kTeal,
                             DT_RIGHT, race.key));
  }
  if (shown < races.size()) {
    int top = kRowsTop + (int)shown * kRaceRowHeight;
    items.push_back(textItem(SceneRole::MoreRaces, shown, rectAt(56, top + 3, 370, top + 41), kPlate, kTextFont, kTeal,
                             DT_LEFT, "and " + std::to_string(races.size() - shown) + " more races"));
  }
}

void addArchives(std::vector<SceneItem>& items, const std::vector<SceneArchive>& archives) {
  const size_t shown = rowsShown(archives.size(), kArchivePanel, kArchiveRowHeight);
  for (size_t i = 0; i < shown; ++i) {
    int top = kRowsTop + (int)i * kArchiveRowHeight;
    const SceneArchive& archive = archives[i];
    items.push_back(textItem(SceneRole::ArchivePriority, i, rectAt(430, top + 4, 466, top + 26), kBadge, kBadgeFont,
                             kInk, DT_CENTER, std::to_string(archive.priority)));
    items.push_back(textItem(SceneRole::ArchivePath, i, rectAt(476, top + 2, 682, top + 28), kPlate, kTextFont,
                             kParchment, DT_LEFT, archive.path));
    items.push_back(textItem(SceneRole::ArchiveOpener, i, rectAt(682, top + 2, 750, top + 28), kPlate, kTagFont, kTeal,
                             DT_RIGHT, archive.openedBy));
  }
  if (shown < archives.size()) {
    int top = kRowsTop + (int)shown * kArchiveRowHeight;
    items.push_back(textItem(SceneRole::MoreArchives, shown, rectAt(430, top + 2, 750, top + 28), kPlate, kTextFont,
                             kTeal, DT_LEFT, "and " + std::to_string(archives.size() - shown) + " more archives"));
  }
}

// The plates behind the rows that sceneItems fills.
void plates(HDC dc, const std::vector<SceneItem>& items) {
  for (const SceneItem& item : items) {
    if (item.role == SceneRole::RaceSkin || item.role == SceneRole::MoreRaces) {
      RECT plate =
          rectAt(kRacePanel.left + 16, item.rect.top - 3, kRacePanel.right - 16, item.rect.top - 3 + kRacePlateHeight);
      fill(dc, plate, kPlate);
      frame(dc, plate, kTealDim);
    } else if (item.role == SceneRole::ArchivePath || item.role == SceneRole::MoreArchives) {
      RECT plate = rectAt(kArchivePanel.left + 16, item.rect.top - 2, kArchivePanel.right - 16,
                          item.rect.top - 2 + kArchivePlateHeight);
      fill(dc, plate, kPlate);
      frame(dc, plate, kTealDim);
    }
  }
}
}  // namespace

std::vector<SceneItem> sceneItems(const SceneContent& content) {
  std::vector<SceneItem> items;
  items.push_back(
      textItem(SceneRole::Title, 0, rectAt(92, 16, 600, 58), kBand, kTitleFont, kGold, DT_LEFT, content.title));
  items.push_back({SceneRole::Icon, 0, pictureIn(kIconSlot), kSlot, 0, 0, 0, "", content.icon});
  items.push_back({SceneRole::Cursor, 0, pictureIn(kCursorSlot), kSlot, 0, 0, 0, "", content.cursor});
  addRaces(items, content.races);
  addArchives(items, content.archives);
  items.push_back(
      textItem(SceneRole::Version, 0, rectAt(440, 556, 772, 582), kBand, kTextFont, kGold, DT_RIGHT, content.version));
  return items;
}

void paintItem(HDC dc, const SceneItem& item, int dx, int dy) {
  RECT r = rectAt(item.rect.left - dx, item.rect.top - dy, item.rect.right - dx, item.rect.bottom - dy);
  fill(dc, r, item.background);
  if (item.role == SceneRole::Icon || item.role == SceneRole::Cursor) {
    if (item.picture) DrawIconEx(dc, r.left, r.top, item.picture, kPictureSize, kPictureSize, 0, nullptr, DI_NORMAL);
    return;
  }
  text(dc, item.text, r, item.font, item.color, item.align);
}

void paintScene(HDC dc, const SceneContent& content) {
  const int bands = 60;
  for (int band = 0; band < bands; ++band)
    fill(dc, rectAt(0, kSceneHeight * band / bands, kSceneWidth, kSceneHeight * (band + 1) / bands),
         blend(kBackdropTop, kBackdropBottom, band, bands - 1));

  fill(dc, kHeader, kBand);
  fill(dc, rectAt(0, kHeader.bottom, kSceneWidth, kHeader.bottom + 2), kGoldDim);
  text(dc, "WINDOW TITLE AND ICON AS THE GAME SET AND LOADED THEM", rectAt(92, 58, 640, 76), kNoteFont, kTeal, DT_LEFT);
  text(dc, "CURSOR", rectAt(600, 36, 712, 56), kNoteFont, kTeal, DT_RIGHT);
  slot(dc, kIconSlot);
  slot(dc, kCursorSlot);

  panel(dc, kRacePanel, "CHOOSE YOUR RACE", "as the game's code reads them");
  panel(dc, kArchivePanel, "ARCHIVES", "open now, searched from the top down");

  fill(dc, kFooter, kBand);
  fill(dc, rectAt(0, kFooter.top - 2, kSceneWidth, kFooter.top), kGoldDim);
  text(dc, "Stand-in Game.dll", rectAt(28, 538, 360, 560), kHeadingFont, kGoldDim, DT_LEFT);
  text(dc, "what GameMain read through the launcher's patches", rectAt(28, 560, 420, 580), kNoteFont, kTeal, DT_LEFT);
  text(dc, "VERSION", rectAt(600, 538, 772, 554), kNoteFont, kTeal, DT_RIGHT);

  std::vector<SceneItem> items = sceneItems(content);
  plates(dc, items);
  for (const SceneItem& item : items) paintItem(dc, item, 0, 0);
}
