// The game's main window.
#include "testbed/game/WindowScene.h"

#include "testbed/game/Report.h"

using namespace GameReport;

namespace {
constexpr DWORD kShownFor = 1500;   // milliseconds, so that a screenshot can catch the window
DWORD gShownSince = 0;

// Paints the window's own title in its client area: under Xvfb there is no window manager to draw a
// caption, so a screenshot shows the title this way.
void paintTitle(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(240, 240, 240));
  RECT line = client;
  line.bottom = client.bottom / 2;
  DrawTextA(dc, title, -1, &line, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
  SetTextColor(dc, RGB(160, 160, 160));
  line.top = line.bottom + 8;
  line.bottom = client.bottom;
  DrawTextA(dc, "window title of the stand-in game", -1, &line, DT_CENTER | DT_TOP | DT_SINGLELINE);
  EndPaint(window, &paint);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    paintTitle(window);
    return 0;
  }
  if (message == WM_SETTEXT) {
    LRESULT result = DefWindowProcA(window, message, wParam, lParam);
    InvalidateRect(window, nullptr, TRUE);
    return result;
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
}

HWND openWindow(ReportWriter& report, HINSTANCE game) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = game;
  windowClass.hbrBackground = (HBRUSH)GetStockObject(DKGRAY_BRUSH);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);

  HWND window = CreateWindowExA(0, kWindowClass, kTitleCreate, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr, nullptr, game, nullptr);
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
  SetWindowTextA(window, kTitleCreate);   // what stays on screen
  report.put("title.final", titleOf(window));
  pumpMessages();
  return window;
}

void closeWindow(HWND window, HINSTANCE game) {
  if (window) {
    for (;;) {
      pumpMessages();
      DWORD shown = GetTickCount() - gShownSince;
      if (shown >= kShownFor) break;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, kShownFor - shown, QS_ALLINPUT);
    }
    DestroyWindow(window);
    pumpMessages();
  }
  UnregisterClassA(kWindowClass, game);
}
