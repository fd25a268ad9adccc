// DemoDisabled.dll: listed in the sample mod's manifest but not enabled, so never loaded. Were it
// loaded, it would leave .\configs\DemoDisabled.json behind.
#include "CJSON_Exp.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    CJSON_Exp marker("DemoDisabled.json", true);
    marker.SetBool("Loaded", true, true);
  }
  return TRUE;
}
