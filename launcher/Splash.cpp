// The one-second logo window shown before the game starts: a picture, a text, then gone.
#include "launcher/Splash.h"

#include "launcher/Globals.h"
#include "launcher/internal/SplashLayout.h"
#include "resources/ResourceNames.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Shared with the window procedure; both are set before the window exists.
HBITMAP gSplashImage = nullptr;  // kept loaded after the window is gone
char* gSplashText = nullptr;     // the routine's own copy, released when the window is gone

constexpr char kClassName[] = "LogoClass";
constexpr char kTitle[] = "Corvane - Mod Logo";
constexpr char kBuiltInImage[] = CORVANE_SPLASH_BITMAP;
constexpr char kIcon[] = CORVANE_ICON;
constexpr DWORD kShowMilliseconds = 1000;

// The file's picture when the file can be opened, else the built-in one. A file that opens but does
// not load as a bitmap gives null: no splash at all.
HBITMAP loadImage(const char* path) {
  if (path) {
    if (FILE* file = fopen(path, "rb")) {
      fclose(file);
      return static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    }
  }
  return static_cast<HBITMAP>(LoadImageA(gExeModule, kBuiltInImage, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// A memory DC holding a picture for a scope: the DC's own bitmap goes back and the DC is deleted when
// the scope ends.
class PictureDc {
public:
  PictureDc(HDC compatible, HBITMAP picture)
      : dc(CreateCompatibleDC(compatible)), previous(SelectObject(dc, picture)) {}
  ~PictureDc() {
    SelectObject(dc, previous);
    DeleteDC(dc);
  }
  PictureDc(const PictureDc&) = delete;
  PictureDc& operator=(const PictureDc&) = delete;

  HDC dc;

private:
  HGDIOBJ previous;
};

// The window's paint, begun and ended with the scope.
struct WindowPaint {
  explicit WindowPaint(HWND painted) : window(painted), paint(), dc(BeginPaint(painted, &paint)) {}
  ~WindowPaint() { EndPaint(window, &paint); }
  WindowPaint(const WindowPaint&) = delete;
  WindowPaint& operator=(const WindowPaint&) = delete;

  HWND window;
  PAINTSTRUCT paint;
  HDC dc;
};

void paintLogo(HWND window) {
  WindowPaint painting(window);
  HDC dc = painting.dc;
  PictureDc picture(dc, gSplashImage);
  BITMAP image = {};
  GetObjectA(gSplashImage, sizeof image, &image);
  BitBlt(dc, 0, 0, image.bmWidth, image.bmHeight, picture.dc, 0, 0, SRCCOPY);

  SetTextColor(dc, kSplashTextColour);
  SetBkMode(dc, TRANSPARENT);
  if (gSplashText) {
    RECT client;
    GetClientRect(window, &client);
    RECT area = splashTextRect(client, splashTextLines(gSplashText));
    DrawTextA(dc, gSplashText, -1, &area, DT_CENTER | DT_WORDBREAK);
  }
}

LRESULT CALLBACK logoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) paintLogo(window);
  return DefWindowProcA(window, message, wParam, lParam);
}

// Registering twice fails harmlessly: the class from the first time serves.
void registerLogoClass() {
  WNDCLASSEXA logoClass = {};
  logoClass.cbSize = sizeof logoClass;
  logoClass.style = CS_HREDRAW | CS_VREDRAW;
  logoClass.lpfnWndProc = logoWindowProc;
  logoClass.hInstance = gExeModule;
  logoClass.hIcon = LoadIconA(gExeModule, kIcon);
  logoClass.hIconSm = static_cast<HICON>(
      LoadImageA(gExeModule, kIcon, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  logoClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  logoClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_SCROLLBAR + 1));
  logoClass.lpszClassName = kClassName;
  RegisterClassExA(&logoClass);
}

// Blocks the thread without looking at its messages: a wait on an event nobody else can signal.
void pause() {
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!never) {
    Sleep(kShowMilliseconds);  // no event to wait on: pause all the same
    return;
  }
  WaitForSingleObject(never, kShowMilliseconds);
  CloseHandle(never);
}

}  // namespace

char* prepareSplashText(const char* text) {
  const char* source = text ? text : kSplashCredit;
  size_t size = strlen(source) + 1;
  char* copy = static_cast<char*>(malloc(size));
  if (!copy) return nullptr;
  memcpy(copy, source, size);
  if (!text) return copy;
  for (char* at = copy; at[0] && at[1]; ++at) {
    if (at[0] == '\\' && at[1] == 'n') {
      at[0] = ' ';
      at[1] = '\n';
      ++at;
    }
  }
  return copy;
}

int splashTextLines(const char* text) {
  int lines = 1;
  for (; *text; ++text) lines += *text == '\n';
  return lines;
}

RECT splashTextRect(const RECT& client, int lines) {
  RECT area = client;
  area.top = 391 - 16 * lines;
  return area;
}

POINT splashOrigin(const RECT& desktop) {
  // Integer division truncates toward zero, also when the desktop is smaller than the window.
  return POINT{(desktop.right - desktop.left - kSplashWidth) / 2, (desktop.bottom - desktop.top - kSplashHeight) / 2};
}

void showSplash(const char* logoPath, const char* infoText) {
  gSplashImage = loadImage(logoPath);
  if (!gSplashImage) return;
  gSplashText = prepareSplashText(infoText);
  registerLogoClass();

  RECT desktop;
  GetClientRect(GetDesktopWindow(), &desktop);
  POINT origin = splashOrigin(desktop);
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, kTitle, WS_POPUP, origin.x, origin.y,
                                kSplashWidth, kSplashHeight, nullptr, nullptr, gExeModule, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);  // painted now: no messages are handled during the pause

  pause();
  DestroyWindow(window);
  free(gSplashText);
  gSplashText = nullptr;
}
