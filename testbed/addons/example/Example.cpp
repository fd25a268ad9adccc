// Example.dll: a minimal Corvane add-on. When the launcher loads it (list it in the mod's manifest under
// "Addons"), it counts the launches and remembers the mod in .\configs\Example.json.
#include "Corvane.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  CJSON_Exp settings("Example.json", true);  // made under .\configs\ when missing
  if (!settings.IsExist()) return TRUE;
  settings.SetInt("Launches", settings["Launches"].GetInt() + 1, true);
  // Texts from CmdLine are msvcrt.dll heap blocks; the document keeps referring to this one, so it stays.
  const char* mod = CmdLine::GetString("mod", true);
  settings.SetString("Mod", mod ? mod : "", true);
  return TRUE;
}
