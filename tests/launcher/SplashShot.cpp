// splashshot [logo] [text]: shows the splash window once, as the launcher would, for screenshots.
#include "launcher/Splash.h"

#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* logo = __argc > 1 && __argv[1][0] ? __argv[1] : nullptr;
  const char* text = __argc > 2 ? __argv[2] : nullptr;
  showSplash(logo, text);
  return 0;
}
