// Test add-on: on load it appends its own name and how many archive opens the library has traced so
// far to "Addons.txt" in the current folder, so tests see which add-ons loaded, in which order, and
// that they loaded before the mod's archives were opened.
#include <windows.h>

#include <cstdio>
#include <cstring>

static unsigned tracedArchiveOpens() {
  FILE* trace = fopen("StormTrace.txt", "rb");
  if (!trace) return 0;
  unsigned count = 0;
  char line[4096];
  while (fgets(line, sizeof line, trace))
    if (strncmp(line, "266 ", 4) == 0) ++count;
  fclose(trace);
  return count;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  FILE* marker = fopen("Addons.txt", "ab");
  if (!marker) return TRUE;
  fprintf(marker, "%s opens=%u\n", name, tracedArchiveOpens());
  fclose(marker);
  return TRUE;
}
