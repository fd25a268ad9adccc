// Test add-on: at load it opens a document of its own, .\configs\Addon.json, counts the load in it and
// appends "exists=yes" or "exists=no" to "DocumentAddon.txt" in the current folder.
#include "CJSON_Exp.h"

#include <windows.h>

#include <cstdio>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  CJSON_Exp document("Addon.json", true);
  bool exists = document.IsExist();
  // On a document that does not exist this changes nothing and touches no file.
  document.SetInt("Loads", document["Loads"].GetInt() + 1, true);
  FILE* marker = fopen("DocumentAddon.txt", "ab");
  if (!marker) return TRUE;
  fprintf(marker, "exists=%s\n", exists ? "yes" : "no");
  fclose(marker);
  return TRUE;
}
