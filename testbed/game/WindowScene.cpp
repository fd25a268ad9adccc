// The game's main window.
#include "testbed/game/WindowScene.h"

#include "testbed/game/Report.h"

#include <cstdio>

using namespace GameReport;

namespace {
constexpr DWORD kShownFor = 1500;    // milliseconds, so that a screenshot can catch the window
constexpr DWORD kHoldLimit = 60000;  // milliseconds the window waits at most for its screenshot
DWORD gShownSince = 0;
SceneContent gScene;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    paintScene(dc, gScene);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

std::string titleOf(HWND window) {
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  return title;
}

void pumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Pumps messages for ms milliseconds.
void pumpFor(DWORD ms) {
  DWORD since = GetTickCount();
  for (DWORD passed = 0; passed < ms; passed = GetTickCount() - since) {
    pumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - passed, QS_ALLINPUT);
  }
  pumpMessages();
}

std::string environment(const char* name) {
  char value[MAX_PATH];
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : "";
}

// The client area as it is on screen, written to path as a 32-bit top-down BMP file.
bool saveClient(HWND window, const std::string& path) {
  RECT client;
  GetClientRect(window, &client);
  BITMAPINFOHEADER header = {sizeof header, client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  DWORD size = (DWORD)client.right * client.bottom * 4;
  BITMAPFILEHEADER file = {0x4D42, (DWORD)(sizeof file + sizeof header + size), 0, 0, sizeof file + sizeof header};
  HDC windowDc = GetDC(window);
  HDC memory = CreateCompatibleDC(windowDc);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDc, (BITMAPINFO*)&header, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  bool copied = bitmap && BitBlt(memory, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY);
  GdiFlush();
  for (DWORD i = 3; copied && i < size; i += 4) ((BYTE*)bits)[i] = 0xFF;  // opaque, for picture viewers
  FILE* out = copied ? fopen(path.c_str(), "wb") : nullptr;
  bool written = out && fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
                 fwrite(bits, 1, size, out) == size;
  if (out) written = fclose(out) == 0 && written;
  SelectObject(memory, previous);
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, windowDc);
  return written;
}
}  // namespace

HWND openWindow(ReportWriter& report, HINSTANCE game) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = game;
  windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);

  RECT frame = {0, 0, kSceneWidth, kSceneHeight};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND window =
      CreateWindowExA(0, kWindowClass, kTitleCreate, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                      frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, game, nullptr);
  report.put("window", window ? "created" : "failed");
  if (!window) return nullptr;
  gShownSince = GetTickCount();
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  report.put("title.create", titleOf(window));
  SetWindowTextA(window, kTitleUpper);
  report.put("title.upper", titleOf(window));
  SetWindowTextA(window, kTitleOther);
  report.put("title.other", titleOf(window));
  SetWindowTextA(window, nullptr);
  report.put("title.null", titleOf(window));
  SetWindowTextA(window, kTitleCreate);  // what stays on screen
  report.put("title.final", titleOf(window));
  pumpMessages();
  return window;
}

void showScene(ReportWriter& report, HWND window, SceneContent content) {
  content.title = titleOf(window);
  gScene = content;
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  for (size_t i = 0; i < content.archives.size(); ++i) {
    const SceneArchive& archive = content.archives[i];
    report.put("scene.archive." + std::to_string(i + 1),
               std::to_string(archive.priority) + " " + archive.openedBy + " " + archive.path);
  }
  report.put("scene", "shown");

  std::string capture = environment("CORVANE_GAME_CAPTURE");
  if (!capture.empty()) report.put("scene.capture", saveClient(window, capture) ? capture : "failed");
  std::string hold = environment("CORVANE_GAME_HOLD");
  if (hold.empty()) return;
  DWORD since = GetTickCount();
  while (GetFileAttributesA(hold.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - since < kHoldLimit)
    pumpFor(100);
  report.put("scene.hold", GetFileAttributesA(hold.c_str()) != INVALID_FILE_ATTRIBUTES ? "released" : "limit");
}

void closeWindow(HWND window, HINSTANCE game) {
  if (window) {
    DWORD shown = GetTickCount() - gShownSince;
    if (shown < kShownFor) pumpFor(kShownFor - shown);
    DestroyWindow(window);
    pumpMessages();
  }
  UnregisterClassA(kWindowClass, game);
}
