// The Storm wrappers against the stand-in archive library and an archive packed for this add-on (what
// the library refuses: its own tests).
#include "Checks.h"
#include "Report.h"
#include "Storm.h"

#include <string.h>

namespace {

const char kArchive[] = ".\\mods\\AbiCheck\\Mpqs\\abicheck.mpq";
const char kFile[] = "abicheck\\probe.txt";
// The bytes of abicheck\probe.txt in the archive (testbed/addons/abicheck/mpq/abicheck/probe.txt).
const char kContent[] = "Bytes of a file inside the add-on check's archive.\r\n";

void checkSettings() {
  checkNumber("Storm::SetLocale returns the previous locale (neutral)", 0, Storm::SetLocale(0x409));
  checkNumber("Storm::SetLocale returns the locale set before", 0x409, Storm::SetLocale(0));
  static char original[MAX_PATH];
  static char path[MAX_PATH];
  checkTrue("Storm::GetBasePath", Storm::GetBasePath(original, sizeof original));
  checkTrue("Storm::SetBasePath", Storm::SetBasePath("C:\\abicheck\\"));
  Storm::GetBasePath(path, sizeof path);
  checkText("Storm::GetBasePath gives the path set", "C:\\abicheck\\", path);
  Storm::SetBasePath(original);
}

}  // namespace

void checkStorm() {
  checkSettings();
  HANDLE archive = nullptr;
  checkTrue("Storm::OpenArchive", Storm::OpenArchive(kArchive, 50, 0, &archive) && archive != nullptr);
  static char name[MAX_PATH];
  checkTrue("Storm::GetArchiveName", Storm::GetArchiveName(archive, name, sizeof name));
  checkText("Storm::GetArchiveName gives the path opened", kArchive, name);

  HANDLE file = nullptr;
  checkTrue("Storm::OpenFile", Storm::OpenFile(kFile, &file) && file != nullptr);
  DWORD high = 0xFFFFFFFF;
  checkNumber("Storm::GetFileSize", strlen(kContent), Storm::GetFileSize(file, &high));
  checkNumber("Storm::GetFileSize: high part", 0, high);
  checkTrue("Storm::GetFileName", Storm::GetFileName(file, name, sizeof name));
  checkText("Storm::GetFileName gives the name opened", kFile, name);
  HANDLE owner = nullptr;
  checkTrue("Storm::GetFileArchive", Storm::GetFileArchive(file, &owner));
  checkPointer("Storm::GetFileArchive gives the archive", archive, owner);

  char bytes[80];
  DWORD read = 0;
  checkTrue("Storm::ReadFile", Storm::ReadFile(file, bytes, sizeof bytes, &read, nullptr));
  checkBytes("Storm::ReadFile reads the file's bytes", kContent, strlen(kContent), bytes, read);
  checkNumber("Storm::SetFilePointer from the start", 8, Storm::SetFilePointer(file, 8, nullptr, FILE_BEGIN));
  Storm::ReadFile(file, bytes, 5, &read, nullptr);
  checkBytes("Storm::ReadFile after the move", kContent + 8, 5, bytes, read);
  LONG up = -1;  // with the high part the move is 64 bits wide: -10
  checkNumber("Storm::SetFilePointer with a high part", 3, Storm::SetFilePointer(file, -10, &up, FILE_CURRENT));
  checkNumber("Storm::SetFilePointer gives the new high part", 0, up);
  checkTrue("Storm::CloseFile", Storm::CloseFile(file));

  checkTrue("Storm::OpenFileEx in the archive", Storm::OpenFileEx(archive, kFile, 0, &file) && Storm::CloseFile(file));
  checkTrue("Storm::CloseArchive", Storm::CloseArchive(archive));
}
