// DemoTools.dll: the sample mod's add-on, built with MinGW against libCorvane.a. At load it records in
// .\configs\DemoTools.json which mod loaded it, how often, and the value of its own option -demoLevel.
#include "CJSON_Exp.h"
#include "CmdLine.h"

#include <windows.h>

namespace {

void recordLoad() {
  CJSON_Exp settings("DemoTools.json", true);
  if (!settings.IsExist()) return;
  // The strings CmdLine hands out are never freed here: the document keeps referring to them.
  settings.SetString("Mod", CmdLine::GetString("mod", true), true);
  settings.SetInt("Loads", settings["Loads"].GetInt() + 1, true);
  settings.SetInt("Level", CmdLine::GetInt("demoLevel"), true);
  settings.SetBool("Verbose", CmdLine::GetBool("demoVerbose"), false);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) recordLoad();
  return TRUE;
}
