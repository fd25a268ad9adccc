// Write-backs: the file always holds one complete text; the temporary files are the write-back's own and
// never outlive it, and those that ended processes left go at the next write-back; a held file is
// replaced once it is let go, or else gets the complete text in place; a file that cannot be written
// keeps its text while the tree keeps the change; the memory taken does not grow with the document.
// (Running out of memory in a write-back: the allocation sweep of launch_tests, through the launcher.)
#include "CJSON_Exp.h"
#include "OpenDocument.h"
#include "json/Document.h"
#include "json/NodeRecord.h"
#include "json/internal/FileAccess.h"
#include "support/TempFolder.h"

#ifdef _WIN32
#include "CRedirector.h"
#include "testbed/allocation/AllocationHook.h"

#include <tlhelp32.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Names = std::vector<std::string>;

const char kOne[] = "{\n    \"a\": 1\n}";
const char kTwo[] = "{\n    \"a\": 1,\n    \"b\": 2\n}";

class WriteBacks : public TempFolderTest {};

// The file's identity on its volume: a replacement is a new file, a rewrite in place the same one.
unsigned long long identityOf(const char* path) {
#ifdef _WIN32
  HANDLE file =
      CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION facts = {};
  GetFileInformationByHandle(file, &facts);
  CloseHandle(file);
  return (static_cast<unsigned long long>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow;
#else
  struct stat facts = {};
  stat(path, &facts);
  return facts.st_ino;
#endif
}

// Files of another's under the names that the next count tries of a temporary file beside path take.
void occupyNextNames(const char* path, unsigned count, Names& names) {
  for (unsigned ahead = 0; ahead < count; ++ahead) {
    names.push_back(nextTemporaryName(path, ahead));
    writeFile(names.back(), "foreign");
  }
}

// A name a temporary file would take is never taken from another file. With the next one taken the text
// goes under the one after it and replaces the file; with every name it would try taken, the complete
// text is measured and written in place, shorter or longer; a text that cannot be finished is found out
// before the file is touched.
TEST_F(WriteBacks, NamesBesideTheFileAreNeverTaken) {
  writeFile("x.json", kOne);
  CJSON_Exp& document = openDocument("x.json", false);
  Names names = {"x.json"};
  occupyNextNames("x.json", 1, names);
  unsigned long long before = identityOf("x.json");
  document.SetInt("b", 2, false);
  EXPECT_EQ(readFile("x.json"), kTwo);
  EXPECT_NE(identityOf("x.json"), before) << "replaced whole, not rewritten in place";

  before = identityOf("x.json");
  occupyNextNames("x.json", kTemporaryNameTries, names);
  document.Clear("b");
  EXPECT_EQ(readFile("x.json"), kOne);
  occupyNextNames("x.json", kTemporaryNameTries, names);
  document.SetInt("b", 2, false);
  EXPECT_EQ(readFile("x.json"), kTwo);
  EXPECT_EQ(identityOf("x.json"), before) << "written in place";
  occupyNextNames("x.json", kTemporaryNameTries, names);
  document["a"].record->value->SetDouble(NAN);
  EXPECT_FALSE(WriteBack(*document.record));
  EXPECT_EQ(readFile("x.json"), kTwo);
  for (size_t i = 1; i < names.size(); ++i) EXPECT_EQ(readFile(names[i]), "foreign") << names[i];
  std::sort(names.begin(), names.end());
  EXPECT_EQ(namesIn("."), names);
}

#ifdef _WIN32
unsigned long thisProcess() {
  return GetCurrentProcessId();
}

// Another process that runs now (Wine's and Windows' own are always there).
unsigned long otherProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  unsigned long other = 0;
  for (BOOL more = Process32First(snapshot, &entry); more && !other; more = Process32Next(snapshot, &entry))
    if (entry.th32ProcessID != thisProcess() && entry.th32ProcessID != 0) other = entry.th32ProcessID;
  CloseHandle(snapshot);
  return other;
}
#else
unsigned long thisProcess() {
  return static_cast<unsigned long>(getpid());
}
unsigned long otherProcess() {
  return static_cast<unsigned long>(getppid());
}
#endif

std::string temporaryOf(unsigned long process, const char* rest) {
  char name[64];
  snprintf(name, sizeof name, "x.json.%lx%s", process, rest);
  return name;
}

// A write-back removes the temporary files beside its file that processes which no longer run left
// there (killed in a write-back), and no other file.
TEST_F(WriteBacks, TemporaryFilesOfEndedProcessesGo) {
  const unsigned long ended = 0x7ffffff3;  // no process has this number, on Windows or Linux
  ASSERT_NE(otherProcess(), 0ul);
  const struct {
    std::string name;
    bool kept;
  } files[] = {
      {temporaryOf(ended, "-1.tmp"), false},
      {temporaryOf(ended, "-ffffffff.tmp"), false},
      {temporaryOf(thisProcess(), "-ffff.tmp"), true},  // a write-back of this process may be under way
      {temporaryOf(otherProcess(), "-1.tmp"), true},
      {"x.json.tmp", true},
      {temporaryOf(ended, ".tmp"), true},
      {temporaryOf(ended, "-1.tmp.bak"), true},
      {temporaryOf(ended, "-1x.tmp"), true},
      {"y.json.7ffffff3-1.tmp", true},
  };
  writeFile("x.json", kOne);
  for (const auto& file : files) writeFile(file.name, "left");
  openDocument("x.json", false).SetInt("b", 2, false);
  EXPECT_EQ(readFile("x.json"), kTwo);
  for (const auto& file : files) EXPECT_EQ(fileExists(file.name), file.kept) << file.name;
}

#ifdef _WIN32
// Files that cannot be replaced: hidden and system files are replaced and stay so; a read-only file, or
// a folder in the file's place, is not written, while the tree keeps the change.
TEST_F(WriteBacks, FilesThatCannotBeReplaced) {
  const struct {
    const char* label;
    DWORD attributes;
    bool folder, written;
  } cases[] = {
      {"hidden and system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false, true},
      {"read-only", FILE_ATTRIBUTE_READONLY, false, false},
      {"a folder", FILE_ATTRIBUTE_NORMAL, true, false},
  };
  const DWORD kSeen =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
  for (const auto& file : cases) {
    SCOPED_TRACE(file.label);
    writeFile("f.json", kOne);
    CJSON_Exp& document = openDocument("f.json", false);
    ASSERT_TRUE(SetFileAttributesA("f.json", file.attributes));
    ASSERT_EQ(GetFileAttributesA("f.json") & kSeen, file.attributes & kSeen) << "attributes this file system lacks";
    ASSERT_TRUE(!file.folder || (DeleteFileA("f.json") && CreateDirectoryA("f.json", nullptr)));
    document.SetInt("b", 2, false);
    EXPECT_EQ(document["b"].GetInt(), 2);
    EXPECT_EQ(readFile("f.json"), file.folder ? "" : file.written ? kTwo : kOne);
    EXPECT_EQ(WriteBack(*document.record), file.written);
    EXPECT_EQ(GetFileAttributesA("f.json") & kSeen, file.folder ? FILE_ATTRIBUTE_DIRECTORY : file.attributes & kSeen);
    EXPECT_EQ(namesIn("."), Names{"f.json"});
    EXPECT_TRUE(namesIn("f.json").empty());
    // Once the file can be written, the next write-back brings the change.
    SetFileAttributesA("f.json", FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA("f.json");
    EXPECT_TRUE(WriteBack(*document.record));
    EXPECT_EQ(readFile("f.json"), kTwo);
  }
}

// The write-back's file calls, seen through the test program's own import table (where the product's
// code linked into it calls kernel32): each flush and replacement, and after each write to the
// document's file or cut of it, which text the file then reads as.
namespace calls {
std::string document, before, after;  // the file's name, its text before the change and after it
FILE* holder = nullptr;               // a program that holds the file open (without delete sharing)
bool letGo = false;                   // it lets go when a replacement is first refused
bool watching = false;
std::string log;

decltype(&WriteFile) realWrite;
decltype(&SetEndOfFile) realCut;
decltype(&FlushFileBuffers) realFlush;
decltype(&SetFileInformationByHandle) realRename;

std::string whose(HANDLE file) {
  char path[2 * MAX_PATH];
  DWORD length = GetFinalPathNameByHandleA(file, path, sizeof path, 0);
  std::string name(path, length < sizeof path ? length : 0);
  name.erase(0, name.find_last_of('\\') + 1);
  return name == document ? "file" : name.size() > 4 && name.substr(name.size() - 4) == ".tmp" ? "temporary" : name;
}

// The file's text, through the file calls (Wine's msvcrt takes names in the ANSI code page whatever
// they use).
std::string text() {
  HANDLE file = CreateFileA(document.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  char bytes[4096];
  DWORD size = 0;
  ReadFile(file, bytes, sizeof bytes, &size, nullptr);
  CloseHandle(file);
  return std::string(bytes, size);
}

// The old text or the new one, either followed by spaces, or neither.
const char* reading() {
  std::string now = text();
  now.erase(now.find_last_not_of(' ') + 1);
  return now == before ? "old" : now == after ? "new" : "torn";
}

void note(const std::string& what) {
  log += (log.empty() ? "" : ", ") + what;
}

BOOL WINAPI onWrite(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  BOOL done = realWrite(file, bytes, size, written, overlapped);
  if (watching && whose(file) == "file") note(std::string("write: ") + reading());
  return done;
}

BOOL WINAPI onCut(HANDLE file) {
  BOOL done = realCut(file);
  if (watching && whose(file) == "file") note(std::string("cut: ") + reading());
  return done;
}

BOOL WINAPI onFlush(HANDLE file) {
  if (watching) note("flush " + whose(file));
  return realFlush(file);
}

BOOL WINAPI onRename(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID facts, DWORD size) {
  BOOL done = realRename(file, kind, facts, size);
  if (!watching || kind != FileRenameInfo) return done;
  note(done ? "replaced" : "refused");
  if (!done && letGo && holder) {
    fclose(holder);
    holder = nullptr;
  }
  return done;
}

template <typename Function>
Function real(HMODULE kernel, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

// Once for the program: the calls go through the functions above from then on.
bool watch() {
  static bool redirected = false;
  if (redirected) return true;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  realWrite = real<decltype(realWrite)>(kernel, "WriteFile");
  realCut = real<decltype(realCut)>(kernel, "SetEndOfFile");
  realFlush = real<decltype(realFlush)>(kernel, "FlushFileBuffers");
  realRename = real<decltype(realRename)>(kernel, "SetFileInformationByHandle");
  CRedirector redirector;
  redirected = redirector.setModule(GetModuleHandleA(nullptr)) && redirector.setApiModule(kernel) &&
               redirector.redirect("WriteFile", reinterpret_cast<void*>(&onWrite)) &&
               redirector.redirect("SetEndOfFile", reinterpret_cast<void*>(&onCut)) &&
               redirector.redirect("FlushFileBuffers", reinterpret_cast<void*>(&onFlush)) &&
               redirector.redirect("SetFileInformationByHandle", reinterpret_cast<void*>(&onRename));
  return redirected;
}
}  // namespace calls

// The byte 0x82 is a letter of its own in the ANSI code page and in the OEM one (1252 and 437 here).
bool codePagesDiffer() {
  wchar_t ansi = 0, oem = 0;
  return MultiByteToWideChar(CP_ACP, 0, "\x82", 1, &ansi, 1) && MultiByteToWideChar(CP_OEMCP, 0, "\x82", 1, &oem, 1) &&
         ansi != oem;
}

// A change's file calls: the temporary file reaches the disk before it takes the file's place, under the
// name that the file calls give the path (whichever code page they use); a file held for a moment is
// replaced once let go; a file held throughout gets the text in place after a quarter of a second of
// tries, and reads at every step as the old text or the new one: room for a longer text is made with
// spaces after the old one, a shorter text is followed by spaces until the file is cut; then it reaches
// the disk.
TEST_F(WriteBacks, FileCallsOfAChange) {
  ASSERT_TRUE(calls::watch()) << "the test program's kernel32 imports could not be redirected";
  ASSERT_TRUE(codePagesDiffer()) << "the ANSI and OEM code pages read 0x82 alike: nothing would tell them apart";
  const char refusals[] = "refused, refused, refused, refused, refused, refused";
  const struct {
    const char* path;
    bool oem;            // the file calls take names in the OEM code page
    bool held, letGo;    // the file is held open; it is let go at the first refusal
    const char* before;  // the change turns one text into the other
    const char* after;
    std::string log;
  } rows[] = {
      {"r.json", false, false, false, kOne, kTwo, "flush temporary, replaced"},
      {"\x82.json", true, false, false, kOne, kTwo, "flush temporary, replaced"},
      {"l.json", false, true, true, kOne, kTwo, "flush temporary, refused, replaced"},
      {"h.json", false, true, false, kOne, kTwo,
       std::string("flush temporary, ") + refusals + ", write: old, write: new, cut: new, flush file"},
      {"h.json", false, true, false, kTwo, kOne,
       std::string("flush temporary, ") + refusals + ", write: new, cut: new, flush file"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.path) + (row.before == kOne ? ", longer" : ", shorter"));
    if (row.oem) SetFileApisToOEM();
    writeFile(row.path, row.before);  // where Wine's fopen reads it: the document opens either way
    HANDLE made = CreateFileA(row.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(made, row.before, static_cast<DWORD>(strlen(row.before)), &written, nullptr);
    CloseHandle(made);
    CJSON_Exp& document = openDocument(row.path, false);
    const unsigned long long identity = identityOf(row.path);
    calls::document = row.path;
    calls::before = row.before;
    calls::after = row.after;
    calls::holder = row.held ? fopen(row.path, "rb") : nullptr;
    calls::letGo = row.letGo;
    calls::log.clear();
    calls::watching = true;
    if (row.before == kOne) document.SetInt("b", 2, false);
    else document.Clear("b");
    calls::watching = false;
    if (calls::holder) fclose(calls::holder);
    calls::holder = nullptr;
    EXPECT_EQ(calls::log, row.log);
    EXPECT_EQ(calls::text(), row.after);
    EXPECT_EQ(identityOf(row.path) == identity, row.held && !row.letGo) << "written in place exactly when held";
    DeleteFileA(row.path);
    SetFileApisToANSI();
    DeleteFileA(row.path);
    EXPECT_TRUE(namesIn(".").empty()) << "a temporary file stayed";
  }
}

// A string whose escaped size (6 bytes a byte at most) would pass 32 bits, 683 MiB or more, is refused
// before it is sized: the file keeps its text. The string is 4 MB of 'a' mapped again and again.
TEST_F(WriteBacks, AStringTooLongToSize) {
  const size_t kLength = 715827883;  // 2 + 6 * kLength is 4 in 32 bits
  const size_t kPiece = 4 << 20;
  const size_t pieces = (kLength + kPiece - 1) / kPiece;
  HANDLE letters = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kPiece, nullptr);
  HANDLE end = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 65536, nullptr);
  ASSERT_TRUE(letters && end);
  char* fill = static_cast<char*>(MapViewOfFile(letters, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(fill, nullptr);
  memset(fill, 'a', kPiece);
  UnmapViewOfFile(fill);
  // Room for the pieces and the NUL after them, found and let go so that the views take its place.
  char* base = static_cast<char*>(VirtualAlloc(nullptr, (pieces + 1) * kPiece, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_NE(base, nullptr) << "no room for " << (pieces + 1) * kPiece << " bytes of address space";
  VirtualFree(base, 0, MEM_RELEASE);
  std::vector<void*> views;
  for (size_t i = 0; i <= pieces; ++i) {
    views.push_back(MapViewOfFileEx(i < pieces ? letters : end, FILE_MAP_READ, 0, 0, 0, base + i * kPiece));
    ASSERT_EQ(views.back(), base + i * kPiece) << "view " << i << " of " << pieces;
  }
  writeFile("s.json", kOne);
  CJSON_Exp& document = openDocument("s.json", false);
  document.SetString("s", base + pieces * kPiece - kLength, false);
  EXPECT_EQ(document["s"].GetString(), base + pieces * kPiece - kLength);
  EXPECT_EQ(readFile("s.json"), kOne);
  EXPECT_EQ(namesIn("."), Names{"s.json"});
  document.Clear("s");  // before the views go
  EXPECT_EQ(readFile("s.json"), kOne);
  for (void* view : views) UnmapViewOfFile(view);
  CloseHandle(letters);
  CloseHandle(end);
}

// The write-back of a 4 MB document streams through its buffer: the heap holds little more than that
// buffer while it runs.
TEST_F(WriteBacks, TheMemoryTakenDoesNotGrowWithTheDocument) {
  std::string text = "{\"n\": 0, \"list\": [";
  for (int i = 0; i < 120000; ++i) text += (i ? ", \"" : "\"") + std::string(30, 'a' + i % 26) + "\"";
  writeFile("big.json", text + "]}");
  CJSON_Exp& document = openDocument("big.json", false);
  long long before = heapBytesLive();
  restartHeapPeak();
  document.SetInt("n", 1, true);
  long long taken = heapBytesPeak() - before;
  ASSERT_GT(readFile("big.json").size(), 4000000u);
  EXPECT_LT(taken, 128 * 1024) << "bytes above the loaded document";
}

#endif

}  // namespace
