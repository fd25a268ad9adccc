// Tests of the stand-in Storm.dll: loaded from the testbed folder, called by ordinal, traces compared exactly.
#include "support/TempFolder.h"

#include <windows.h>

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

namespace {

typedef BOOL(WINAPI* HandleFn)(HANDLE);
typedef BOOL(WINAPI* GetFileArchiveFn)(HANDLE, HANDLE*);
typedef DWORD(WINAPI* GetFileSizeFn)(HANDLE, DWORD*);
typedef BOOL(WINAPI* OpenArchiveFn)(const char*, DWORD, DWORD, HANDLE*);
typedef BOOL(WINAPI* OpenFileFn)(const char*, HANDLE*);
typedef BOOL(WINAPI* OpenFileExFn)(HANDLE, const char*, DWORD, HANDLE*);
typedef BOOL(WINAPI* ReadFileFn)(HANDLE, void*, DWORD, DWORD*, LPOVERLAPPED);
typedef BOOL(WINAPI* TextFn)(const char*);
typedef DWORD(WINAPI* SetFilePointerFn)(HANDLE, LONG, LONG*, DWORD);
typedef LCID(WINAPI* SetLocaleFn)(LCID);
typedef BOOL(WINAPI* GetBasePathFn)(char*, DWORD);
typedef BOOL(WINAPI* GetNameFn)(HANDLE, char*, DWORD);
typedef BOOL(WINAPI* LoadFileFn)(const char*, void**, DWORD*, DWORD, LPOVERLAPPED);
typedef BOOL(WINAPI* UnloadFileFn)(void*);
typedef BOOL(WINAPI* LoadFileExFn)(HANDLE, const char*, void**, DWORD*, DWORD, DWORD, LPOVERLAPPED);
typedef BOOL(WINAPI* OpenArchiveExFn)(DWORD, const char*, DWORD, DWORD, HANDLE*);

struct StormApi {
  HMODULE module;
  HandleFn closeArchive;            // 252
  HandleFn closeFile;               // 253
  GetFileArchiveFn getFileArchive;  // 264
  GetFileSizeFn getFileSize;        // 265
  OpenArchiveFn openArchive;        // 266
  OpenFileFn openFile;              // 267
  OpenFileExFn openFileEx;          // 268
  ReadFileFn readFile;              // 269
  TextFn setBasePath;               // 270
  SetFilePointerFn setFilePointer;  // 271
  SetLocaleFn setLocale;            // 272
  GetBasePathFn getBasePath;        // 273
  TextFn hasFile;                   // 274
  GetNameFn getArchiveName;         // 275
  GetNameFn getFileName;            // 276
  LoadFileFn loadFile;              // 279
  UnloadFileFn unloadFile;          // 280
  LoadFileExFn loadFileEx;          // 281
  OpenArchiveExFn openArchiveEx;    // 293
};

// A Windows path for a path of the build tree (Wine maps the host's root to Z:).
std::string hostPath(const std::string& path) {
  std::string result = path[0] == '/' ? "Z:" + path : path;
  for (char& c : result)
    if (c == '/') c = '\\';
  return result;
}

void* ordinal(HMODULE module, WORD number) {
  return (void*)GetProcAddress(module, MAKEINTRESOURCEA(number));
}

const StormApi& storm() {
  static StormApi api = [] {
    StormApi a{};
    a.module = LoadLibraryA(hostPath(STORM_DLL).c_str());
    if (!a.module) return a;
    a.closeArchive = (HandleFn)ordinal(a.module, 252);
    a.closeFile = (HandleFn)ordinal(a.module, 253);
    a.getFileArchive = (GetFileArchiveFn)ordinal(a.module, 264);
    a.getFileSize = (GetFileSizeFn)ordinal(a.module, 265);
    a.openArchive = (OpenArchiveFn)ordinal(a.module, 266);
    a.openFile = (OpenFileFn)ordinal(a.module, 267);
    a.openFileEx = (OpenFileExFn)ordinal(a.module, 268);
    a.readFile = (ReadFileFn)ordinal(a.module, 269);
    a.setBasePath = (TextFn)ordinal(a.module, 270);
    a.setFilePointer = (SetFilePointerFn)ordinal(a.module, 271);
    a.setLocale = (SetLocaleFn)ordinal(a.module, 272);
    a.getBasePath = (GetBasePathFn)ordinal(a.module, 273);
    a.hasFile = (TextFn)ordinal(a.module, 274);
    a.getArchiveName = (GetNameFn)ordinal(a.module, 275);
    a.getFileName = (GetNameFn)ordinal(a.module, 276);
    a.loadFile = (LoadFileFn)ordinal(a.module, 279);
    a.unloadFile = (UnloadFileFn)ordinal(a.module, 280);
    a.loadFileEx = (LoadFileExFn)ordinal(a.module, 281);
    a.openArchiveEx = (OpenArchiveExFn)ordinal(a.module, 293);
    return a;
  }();
  return api;
}

std::string fixture(const char* name) {
  return hostPath(std::string(STORM_FIXTURES) + "/" + name);
}

std::string demoArchive(const char* name) {
  return hostPath(std::string(STORM_TESTBED) + "/mods/Demo/Mpqs/" + name);
}

std::string engineArchive() {
  return hostPath(std::string(STORM_TESTBED) + "/Corvane.mpq");
}

// The trace with every handle renumbered A1, F1, B1... per kind in order of first appearance, so
// expectations do not depend on how many handles earlier tests made; quoted text is left alone.
std::string normalizedTrace(const std::string& trace) {
  std::map<std::string, std::string> renamed;
  std::map<char, int> counts;
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < trace.size();) {
    char c = trace[i];
    if (c == '"') quoted = !quoted;
    if (c == '\n') quoted = false;
    bool start = !quoted && (c == 'A' || c == 'F' || c == 'B') && i > 0 && (trace[i - 1] == ' ' || trace[i - 1] == '=');
    size_t end = i + 1;
    while (start && end < trace.size() && isdigit((unsigned char)trace[end])) ++end;
    if (start && end > i + 1 && (end == trace.size() || trace[end] == ' ' || trace[end] == '\r')) {
      std::string token = trace.substr(i, end - i);
      if (!renamed.count(token)) renamed[token] = std::string(1, c) + std::to_string(++counts[c]);
      out += renamed[token];
      i = end;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

// Calls fn with the 32-bit arguments and returns how many argument bytes are still on the stack
// after it returned: 0 for a callee-cleans function (cdecl leaves them all).
extern "C" int __cdecl bytesLeftOnStack(void* fn, const uint32_t* arguments, int count);
asm(R"(
  .text
  .globl _bytesLeftOnStack
_bytesLeftOnStack:
  push %ebp
  mov %esp, %ebp
  push %esi
  push %edi
  push %ebx
  mov %esp, %esi
  mov 16(%ebp), %ecx
  mov 12(%ebp), %edx
1:
  test %ecx, %ecx
  jz 2f
  push -4(%edx,%ecx,4)
  dec %ecx
  jmp 1b
2:
  call *8(%ebp)
  mov %esi, %eax
  sub %esp, %eax
  mov %esi, %esp
  pop %ebx
  pop %edi
  pop %esi
  pop %ebp
  ret
)");

class StormStandin : public TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_NE(storm().module, nullptr) << "cannot load " << STORM_DLL;
  }

  void TearDown() override {
    for (HANDLE archive : opened) storm().closeArchive(archive);
    TempFolderTest::TearDown();
  }

  // Copies a fixture archive into the test's folder under the given relative name.
  void place(const std::string& source, const std::string& target) {
    for (size_t slash = target.find('\\'); slash != std::string::npos; slash = target.find('\\', slash + 1))
      CreateDirectoryA(target.substr(0, slash).c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << source;
  }

  HANDLE open(const char* path, DWORD priority) {
    HANDLE archive = nullptr;
    EXPECT_TRUE(storm().openArchive(path, priority, 0, &archive)) << path;
    EXPECT_NE(archive, nullptr);
    return archive;
  }

  // Closes an archive that open() gave, so TearDown does not close it again.
  void close(HANDLE archive) {
    for (size_t i = 0; i < opened.size(); ++i)
      if (opened[i] == archive) opened.erase(opened.begin() + i);
    EXPECT_TRUE(storm().closeArchive(archive));
  }

  HANDLE keep(HANDLE archive) {
    opened.push_back(archive);
    return archive;
  }

  // The whole file through LoadFile, or "(failed N)" with the last error.
  std::string load(const char* name) {
    void* buffer = nullptr;
    DWORD size = 0;
    if (!storm().loadFile(name, &buffer, &size, 0, nullptr)) return "(failed " + std::to_string(GetLastError()) + ")";
    std::string bytes((const char*)buffer, size);
    storm().unloadFile(buffer);
    return bytes;
  }

  std::string trace() { return normalizedTrace(readFile("StormTrace.txt")); }
  void clearTrace() { DeleteFileA("StormTrace.txt"); }

  std::vector<HANDLE> opened;
};

const char* const readme = "0123456789abcdefghijklmnopqrstuvwxyz\n";

TEST_F(StormStandin, ExportsOnlyOrdinalsAllCalleeCleans) {
  HMODULE module = storm().module;
  auto dos = (const IMAGE_DOS_HEADER*)module;
  auto nt = (const IMAGE_NT_HEADERS32*)((const char*)module + dos->e_lfanew);
  auto directory = (const IMAGE_EXPORT_DIRECTORY*)((const char*)module +
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
  EXPECT_EQ(directory->NumberOfNames, 0u);
  EXPECT_EQ(directory->Base, 252u);
  EXPECT_EQ((void*)GetProcAddress(module, "StormOpenArchive"), nullptr);
  EXPECT_EQ(ordinal(module, 277), nullptr);
  EXPECT_EQ(ordinal(module, 294), nullptr);

  // Every ordinal with its argument count, called with null arguments (each fails harmlessly).
  const std::pair<WORD, int> functions[] = {{252, 1}, {253, 1}, {264, 2}, {265, 2}, {266, 4}, {267, 2},
                                            {268, 4}, {269, 5}, {270, 1}, {271, 4}, {272, 1}, {273, 2},
                                            {274, 1}, {275, 3}, {276, 3}, {279, 5}, {280, 1}, {281, 7},
                                            {293, 5}};
  const uint32_t zeros[7] = {};
  for (const auto& function : functions) {
    void* address = ordinal(module, function.first);
    ASSERT_NE(address, nullptr) << function.first;
    EXPECT_EQ(bytesLeftOnStack(address, zeros, function.second), 0) << "ordinal " << function.first;
  }
  storm().setLocale(0);   // 272 was called with 0: leave the neutral locale as every test expects
  EXPECT_EQ(trace(),
            "252 CloseArchive null -> 0 why=\"unknown archive\"\r\n"
            "253 CloseFile null -> 0 why=\"unknown file\"\r\n"
            "264 GetFileArchive null -> 0 why=\"unknown file\"\r\n"
            "265 GetFileSize null -> 4294967295 why=\"unknown file\"\r\n"
            "266 OpenArchive null priority=0 flags=0 -> 0 why=\"null path\"\r\n"
            "267 OpenFile null -> 0 why=\"null name\"\r\n"
            "268 OpenFileEx null null option=0 -> 0 why=\"null name\"\r\n"
            "269 ReadFile null count=0 -> 0 why=\"unknown file\"\r\n"
            "270 SetBasePath null -> 0 why=\"null path\"\r\n"
            "271 SetFilePointer null distance=0 high=null method=0 -> 4294967295 why=\"unknown file\"\r\n"
            "272 SetLocale locale=0 -> 0\r\n"
            "273 GetBasePath size=0 -> 0 why=\"null buffer\"\r\n"
            "274 HasFile null -> 0 why=\"null name\"\r\n"
            "275 GetArchiveName null size=0 -> 0 why=\"unknown archive\"\r\n"
            "276 GetFileName null size=0 -> 0 why=\"unknown file\"\r\n"
            "279 LoadFile null extra=0 -> 0 why=\"null name\"\r\n"
            "280 UnloadFile null -> 0 why=\"unknown buffer\"\r\n"
            "281 LoadFileEx null null extra=0 scope=0 -> 0 why=\"null name\"\r\n"
            "293 OpenArchiveEx owner=0 null priority=0 flags=0 -> 0 why=\"null path\"\r\n"
            "272 SetLocale locale=0 -> 0\r\n");
}

TEST_F(StormStandin, OpensAndClosesArchives) {
  place(fixture("plain.mpq"), "sub\\plain.mpq");
  place(fixture("plain.mpq"), "plain.mpq");

  HANDLE first = nullptr;
  ASSERT_TRUE(storm().openArchive(".\\sub\\plain.mpq", 10, 0, &first));
  char name[MAX_PATH];
  ASSERT_TRUE(storm().getArchiveName(first, name, sizeof name));
  EXPECT_STREQ(name, ".\\sub\\plain.mpq");
  EXPECT_TRUE(storm().closeArchive(first));
  SetLastError(0);
  EXPECT_FALSE(storm().closeArchive(first));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);

  HANDLE archive = (HANDLE)1;
  EXPECT_FALSE(storm().openArchive("missing.mpq", 10, 0, &archive));
  EXPECT_EQ(archive, nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(storm().openArchive(nullptr, 10, 0, &archive));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(storm().openArchive("plain.mpq", 5, 7, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

  HANDLE second = nullptr;
  ASSERT_TRUE(storm().openArchiveEx(1234, "plain.mpq", 3, 0, &second));
  HANDLE third = nullptr;
  std::string absolute = folder + "\\plain.mpq";
  ASSERT_TRUE(storm().openArchive(absolute.c_str(), 4294967295u, 2, &third));
  ASSERT_TRUE(storm().getArchiveName(third, name, sizeof name));
  EXPECT_EQ(name, absolute);
  EXPECT_TRUE(storm().closeArchive(second));
  EXPECT_TRUE(storm().closeArchive(third));

  // Handles count up by one per archive over the whole process.
  std::string raw = readFile("StormTrace.txt");
  size_t a = raw.find("archive=A"), b = raw.find("archive=A", raw.find("OpenArchiveEx"));
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  EXPECT_EQ(atoi(raw.c_str() + b + 9), atoi(raw.c_str() + a + 9) + 1);

  EXPECT_EQ(trace(),
            "266 OpenArchive \".\\sub\\plain.mpq\" priority=10 flags=0 -> 1 archive=A1\r\n"
            "275 GetArchiveName A1 size=260 -> 1 name=\".\\sub\\plain.mpq\"\r\n"
            "252 CloseArchive A1 -> 1\r\n"
            "252 CloseArchive unknown -> 0 why=\"unknown archive\"\r\n"
            "266 OpenArchive \"missing.mpq\" priority=10 flags=0 -> 0 why=\"cannot open file\"\r\n"
            "266 OpenArchive null priority=10 flags=0 -> 0 why=\"null path\"\r\n"
            "266 OpenArchive \"plain.mpq\" priority=5 flags=7 -> 0 why=\"null handle pointer\"\r\n"
            "293 OpenArchiveEx owner=1234 \"plain.mpq\" priority=3 flags=0 -> 1 archive=A2\r\n"
            "266 OpenArchive \"" + absolute + "\" priority=4294967295 flags=2 -> 1 archive=A3\r\n"
            "275 GetArchiveName A3 size=260 -> 1 name=\"" + absolute + "\"\r\n"
            "252 CloseArchive A2 -> 1\r\n"
            "252 CloseArchive A3 -> 1\r\n");
}

TEST_F(StormStandin, HighestPriorityServesFirstAndLaterOpenWinsTies) {
  place(engineArchive(), "Corvane.mpq");
  place(demoArchive("data.mpq"), "mods\\Demo\\Mpqs\\data.mpq");
  place(demoArchive("patch.mpq"), "mods\\Demo\\Mpqs\\patch.mpq");

  HANDLE engine = keep(open("Corvane.mpq", 9));
  HANDLE data = keep(open(".\\mods\\Demo\\Mpqs\\data.mpq", 10));
  HANDLE patch = keep(open(".\\mods\\Demo\\Mpqs\\patch.mpq", 20));
  EXPECT_EQ(load("Shared\\layered.txt"), "patch.mpq Shared\\layered.txt\n");
  EXPECT_EQ(load("shared/ENGINE-OVERRIDE.txt"), "data.mpq Shared\\engine-override.txt\n");
  EXPECT_EQ(load("Corvane\\engine.txt"), "Corvane.mpq Corvane\\engine.txt\n");
  close(patch);
  EXPECT_EQ(load("Shared\\layered.txt"), "data.mpq Shared\\layered.txt\n");
  close(data);
  EXPECT_EQ(load("Shared\\layered.txt"), "Corvane.mpq Shared\\layered.txt\n");

  // Equal priorities: the archive opened later is searched first.
  HANDLE tie = keep(open(".\\mods\\Demo\\Mpqs\\data.mpq", 9));
  EXPECT_EQ(load("Shared\\layered.txt"), "data.mpq Shared\\layered.txt\n");
  HANDLE engineAgain = keep(open("Corvane.mpq", 9));
  EXPECT_EQ(load("Shared\\layered.txt"), "Corvane.mpq Shared\\layered.txt\n");
  close(engineAgain);
  // A lower priority never overrides, whenever it was opened.
  HANDLE low = keep(open(".\\mods\\Demo\\Mpqs\\patch.mpq", 0));
  EXPECT_EQ(load("Shared\\layered.txt"), "data.mpq Shared\\layered.txt\n");
  EXPECT_EQ(load("Demo\\patch.txt"), "patch.mpq Demo\\patch.txt\n");
  close(low);
  close(tie);
  close(engine);

  EXPECT_EQ(trace(),
            "266 OpenArchive \"Corvane.mpq\" priority=9 flags=0 -> 1 archive=A1\r\n"
            "266 OpenArchive \".\\mods\\Demo\\Mpqs\\data.mpq\" priority=10 flags=0 -> 1 archive=A2\r\n"
            "266 OpenArchive \".\\mods\\Demo\\Mpqs\\patch.mpq\" priority=20 flags=0 -> 1 archive=A3\r\n"
            "279 LoadFile \"Shared\\layered.txt\" extra=0 -> 1 buffer=B1 size=29 archive=A3 from=\".\\mods\\Demo\\Mpqs\\patch.mpq\"\r\n"
            "280 UnloadFile B1 -> 1\r\n"
            "279 LoadFile \"shared/ENGINE-OVERRIDE.txt\" extra=0 -> 1 buffer=B2 size=36 archive=A2 from=\".\\mods\\Demo\\Mpqs\\data.mpq\"\r\n"
            "280 UnloadFile B2 -> 1\r\n"
            "279 LoadFile \"Corvane\\engine.txt\" extra=0 -> 1 buffer=B3 size=31 archive=A1 from=\"Corvane.mpq\"\r\n"
            "280 UnloadFile B3 -> 1\r\n"
            "252 CloseArchive A3 -> 1\r\n"
            "279 LoadFile \"Shared\\layered.txt\" extra=0 -> 1 buffer=B4 size=28 archive=A2 from=\".\\mods\\Demo\\Mpqs\\data.mpq\"\r\n"
            "280 UnloadFile B4 -> 1\r\n"
            "252 CloseArchive A2 -> 1\r\n"
            "279 LoadFile \"Shared\\layered.txt\" extra=0 -> 1 buffer=B5 size=31 archive=A1 from=\"Corvane.mpq\"\r\n"
            "280 UnloadFile B5 -> 1\r\n"
            "266 OpenArchive \".\\mods\\Demo\\Mpqs\\data.mpq\" priority=9 flags=0 -> 1 archive=A4\r\n"
            "279 LoadFile \"Shared\\layered.txt\" extra=0 -> 1 buffer=B6 size=28 archive=A4 from=\".\\mods\\Demo\\Mpqs\\data.mpq\"\r\n"
            "280 UnloadFile B6 -> 1\r\n"
            "266 OpenArchive \"Corvane.mpq\" priority=9 flags=0 -> 1 archive=A5\r\n"
            "279 LoadFile \"Shared\\layered.txt\" extra=0 -> 1 buffer=B7 size=31 archive=A5 from=\"Corvane.mpq\"\r\n"
            "280 UnloadFile B7 -> 1\r\n"
            "252 CloseArchive A5 -> 1\r\n"
            "266 OpenArchive \".\\mods\\Demo\\Mpqs\\patch.mpq\" priority=0 flags=0 -> 1 archive=A6\r\n"
            "279 LoadFile \"Shared\\layered.txt\" extra=0 -> 1 buffer=B8 size=28 archive=A4 from=\".\\mods\\Demo\\Mpqs\\data.mpq\"\r\n"
            "280 UnloadFile B8 -> 1\r\n"
            "279 LoadFile \"Demo\\patch.txt\" extra=0 -> 1 buffer=B9 size=25 archive=A6 from=\".\\mods\\Demo\\Mpqs\\patch.mpq\"\r\n"
            "280 UnloadFile B9 -> 1\r\n"
            "252 CloseArchive A6 -> 1\r\n"
            "252 CloseArchive A4 -> 1\r\n"
            "252 CloseArchive A1 -> 1\r\n");
}

TEST_F(StormStandin, DemoArchivesHoldTheDocumentedFiles) {
  struct Entry {
    std::string archive;
    const char* name;
    const char* content;
  };
  const Entry entries[] = {
      {engineArchive(), "Corvane\\engine.txt", "Corvane.mpq Corvane\\engine.txt\n"},
      {engineArchive(), "Shared\\engine-override.txt", "Corvane.mpq Shared\\engine-override.txt\n"},
      {engineArchive(), "Shared\\layered.txt", "Corvane.mpq Shared\\layered.txt\n"},
      {demoArchive("data.mpq"), "war3mapIcon.blp", "BLP1 data.mpq war3mapIcon.blp\n"},
      {demoArchive("data.mpq"), "(listfile)",
       "Demo\\data.txt\r\nShared\\engine-override.txt\r\nShared\\layered.txt\r\nwar3mapIcon.blp\r\n"},
      {demoArchive("data.mpq"), "Demo\\data.txt", "data.mpq Demo\\data.txt\n"},
      {demoArchive("data.mpq"), "Shared\\engine-override.txt", "data.mpq Shared\\engine-override.txt\n"},
      {demoArchive("data.mpq"), "Shared\\layered.txt", "data.mpq Shared\\layered.txt\n"},
      {demoArchive("patch.mpq"), "Demo\\patch.txt", "patch.mpq Demo\\patch.txt\n"},
      {demoArchive("patch.mpq"), "Shared\\layered.txt", "patch.mpq Shared\\layered.txt\n"},
      {demoArchive("music.mpq"), "Music\\theme.txt", "music.mpq Music\\theme.txt\n"},
  };
  const char* absent[] = {"war3mapIcon.blp", "Demo\\data.txt", "Demo\\patch.txt", "Music\\theme.txt",
                          "Corvane\\engine.txt", "Shared\\engine-override.txt", "Shared\\layered.txt"};
  std::map<std::string, int> files;
  for (const Entry& entry : entries) files[entry.archive]++;
  EXPECT_EQ(files.size(), 4u);

  for (const auto& archivePath : files) {
    HANDLE archive = keep(open(archivePath.first.c_str(), 10));
    std::map<std::string, bool> held;
    for (const Entry& entry : entries) {
      if (entry.archive != archivePath.first) continue;
      held[entry.name] = true;
      void* buffer = nullptr;
      DWORD size = 0;
      ASSERT_TRUE(storm().loadFileEx(archive, entry.name, &buffer, &size, 0, 0, nullptr)) << entry.name;
      EXPECT_EQ(std::string((const char*)buffer, size), entry.content);
      storm().unloadFile(buffer);
    }
    for (const char* name : absent) {
      if (held.count(name)) continue;
      HANDLE file = (HANDLE)1;
      EXPECT_FALSE(storm().openFileEx(archive, name, 0, &file)) << archivePath.first << " " << name;
      EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
      EXPECT_EQ(file, nullptr);
    }
    close(archive);
  }
}

// Archives that StormLib's smpq makes uncompressed open with the same files (their own listfile is
// compressed, so it is refused).
TEST_F(StormStandin, ArchivesOfStormLibOpenWithTheSameFiles) {
  HANDLE smpq = keep(open(fixture("smpq-plain.mpq").c_str(), 10));
  void* buffer = nullptr;
  DWORD size = 0;
  for (const char* name : {"readme.txt", "empty.dat", "Sub\\Dir\\nested.txt"}) {
    std::string source = std::string(STORM_FIXTURE_SOURCES) + "/plain/" + name;
    ASSERT_TRUE(storm().loadFileEx(smpq, name, &buffer, &size, 0, 0, nullptr)) << name;
    EXPECT_EQ(std::string((const char*)buffer, size), readFile(hostPath(source))) << name;
    storm().unloadFile(buffer);
  }
  EXPECT_FALSE(storm().loadFileEx(smpq, "(listfile)", &buffer, &size, 0, 0, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_SUPPORTED);
}

TEST_F(StormStandin, ReadsSeeksAndSizesLikeThePlatformFunctions) {
  place(fixture("plain.mpq"), "plain.mpq");
  keep(open("plain.mpq", 10));
  HANDLE file = nullptr;
  ASSERT_TRUE(storm().openFile("readme.txt", &file));
  DWORD high = 7;
  EXPECT_EQ(storm().getFileSize(file, &high), 37u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(storm().getFileSize(file, nullptr), 37u);

  char buffer[64] = {};
  DWORD read = 99;
  ASSERT_TRUE(storm().readFile(file, buffer, 10, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "0123456789");
  EXPECT_EQ(storm().setFilePointer(file, -5, nullptr, FILE_CURRENT), 5u);
  ASSERT_TRUE(storm().readFile(file, buffer, 3, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "567");
  EXPECT_EQ(storm().setFilePointer(file, -2, nullptr, FILE_END), 35u);
  ASSERT_TRUE(storm().readFile(file, buffer, 10, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "z\n");
  ASSERT_TRUE(storm().readFile(file, buffer, 10, &read, nullptr));
  EXPECT_EQ(read, 0u);

  // Past the end is a position like any other; before the start is refused and changes nothing.
  EXPECT_EQ(storm().setFilePointer(file, 100, nullptr, FILE_BEGIN), 100u);
  SetLastError(0);
  EXPECT_EQ(storm().setFilePointer(file, -101, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(storm().setFilePointer(file, 0, nullptr, FILE_CURRENT), 100u);
  EXPECT_EQ(storm().setFilePointer(file, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

  // With a high part the move is 64 bits wide.
  LONG moveHigh = 1;
  EXPECT_EQ(storm().setFilePointer(file, 4, &moveHigh, FILE_BEGIN), 4u);
  EXPECT_EQ(moveHigh, 1);
  ASSERT_TRUE(storm().readFile(file, buffer, 10, &read, nullptr));
  EXPECT_EQ(read, 0u);
  moveHigh = -1;
  EXPECT_EQ(storm().setFilePointer(file, -2, &moveHigh, FILE_END), 35u);
  EXPECT_EQ(moveHigh, 0);
  EXPECT_EQ(GetLastError(), (DWORD)NO_ERROR);
  moveHigh = -1;
  EXPECT_EQ(storm().setFilePointer(file, 0, &moveHigh, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(moveHigh, -1);
  ASSERT_TRUE(storm().readFile(file, buffer, 1, nullptr, nullptr));
  EXPECT_EQ(buffer[0], 'z');
  EXPECT_FALSE(storm().readFile(file, nullptr, 1, &read, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(storm().closeFile(file));
  EXPECT_FALSE(storm().closeFile(file));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_EQ(storm().getFileSize(file, &high), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(storm().readFile(file, buffer, 1, &read, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);

  // An empty file, and a name with forward slashes in another letter case.
  HANDLE empty = nullptr;
  ASSERT_TRUE(storm().openFile("EMPTY.DAT", &empty));
  EXPECT_EQ(storm().getFileSize(empty, nullptr), 0u);
  read = 5;
  ASSERT_TRUE(storm().readFile(empty, buffer, 10, &read, nullptr));
  EXPECT_EQ(read, 0u);
  EXPECT_TRUE(storm().closeFile(empty));
  HANDLE nested = nullptr;
  ASSERT_TRUE(storm().openFile("sub/dir/NESTED.TXT", &nested));
  ASSERT_TRUE(storm().readFile(nested, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "nested\n");
  EXPECT_TRUE(storm().closeFile(nested));

  EXPECT_EQ(trace(),
            "266 OpenArchive \"plain.mpq\" priority=10 flags=0 -> 1 archive=A1\r\n"
            "267 OpenFile \"readme.txt\" -> 1 file=F1 archive=A1 from=\"plain.mpq\"\r\n"
            "265 GetFileSize F1 -> 37 high=0\r\n"
            "265 GetFileSize F1 -> 37\r\n"
            "269 ReadFile F1 count=10 -> 1 read=10\r\n"
            "271 SetFilePointer F1 distance=-5 high=null method=1 -> 5\r\n"
            "269 ReadFile F1 count=3 -> 1 read=3\r\n"
            "271 SetFilePointer F1 distance=-2 high=null method=2 -> 35\r\n"
            "269 ReadFile F1 count=10 -> 1 read=2\r\n"
            "269 ReadFile F1 count=10 -> 1 read=0\r\n"
            "271 SetFilePointer F1 distance=100 high=null method=0 -> 100\r\n"
            "271 SetFilePointer F1 distance=-101 high=null method=1 -> 4294967295 why=\"negative position\"\r\n"
            "271 SetFilePointer F1 distance=0 high=null method=1 -> 100\r\n"
            "271 SetFilePointer F1 distance=0 high=null method=3 -> 4294967295 why=\"bad method\"\r\n"
            "271 SetFilePointer F1 distance=4 high=1 method=0 -> 4 high=1\r\n"
            "269 ReadFile F1 count=10 -> 1 read=0\r\n"
            "271 SetFilePointer F1 distance=-2 high=-1 method=2 -> 35 high=0\r\n"
            "271 SetFilePointer F1 distance=0 high=-1 method=0 -> 4294967295 why=\"negative position\"\r\n"
            "269 ReadFile F1 count=1 -> 1 read=1\r\n"
            "269 ReadFile F1 count=1 -> 0 why=\"null buffer\"\r\n"
            "253 CloseFile F1 -> 1\r\n"
            "253 CloseFile unknown -> 0 why=\"unknown file\"\r\n"
            "265 GetFileSize unknown -> 4294967295 why=\"unknown file\"\r\n"
            "269 ReadFile unknown count=1 -> 0 why=\"unknown file\"\r\n"
            "267 OpenFile \"EMPTY.DAT\" -> 1 file=F2 archive=A1 from=\"plain.mpq\"\r\n"
            "265 GetFileSize F2 -> 0\r\n"
            "269 ReadFile F2 count=10 -> 1 read=0\r\n"
            "253 CloseFile F2 -> 1\r\n"
            "267 OpenFile \"sub/dir/NESTED.TXT\" -> 1 file=F3 archive=A1 from=\"plain.mpq\"\r\n"
            "269 ReadFile F3 count=64 -> 1 read=7\r\n"
            "253 CloseFile F3 -> 1\r\n");
}

TEST_F(StormStandin, NamesOwnersBasePathAndLocale) {
  place(demoArchive("data.mpq"), "data.mpq");
  place(demoArchive("patch.mpq"), "patch.mpq");
  HANDLE data = keep(open("data.mpq", 10));
  HANDLE patch = keep(open("patch.mpq", 20));

  HANDLE file = nullptr;
  ASSERT_TRUE(storm().openFileEx(nullptr, "demo\\DATA.txt", 5, &file));
  char name[32];
  memset(name, 'x', sizeof name);
  EXPECT_FALSE(storm().getFileName(file, name, 13));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(name[0], 0);
  EXPECT_EQ(name[1], 'x');
  ASSERT_TRUE(storm().getFileName(file, name, 14));
  EXPECT_STREQ(name, "demo\\DATA.txt");
  EXPECT_FALSE(storm().getArchiveName(data, name, 8));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(storm().getArchiveName(data, name, 9));
  EXPECT_STREQ(name, "data.mpq");
  HANDLE owner = nullptr;
  ASSERT_TRUE(storm().getFileArchive(file, &owner));
  EXPECT_EQ(owner, data);

  HANDLE layered = nullptr;
  ASSERT_TRUE(storm().openFile("Shared\\layered.txt", &layered));
  ASSERT_TRUE(storm().getFileArchive(layered, &owner));
  EXPECT_EQ(owner, patch);

  // A file outlives its archive: it still reads, but has no archive to name any more.
  close(patch);
  char bytes[64];
  DWORD read = 0;
  ASSERT_TRUE(storm().readFile(layered, bytes, sizeof bytes, &read, nullptr));
  EXPECT_EQ(std::string(bytes, read), "patch.mpq Shared\\layered.txt\n");
  owner = (HANDLE)1;
  EXPECT_FALSE(storm().getFileArchive(layered, &owner));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_EQ(owner, nullptr);
  EXPECT_TRUE(storm().closeFile(layered));
  EXPECT_TRUE(storm().closeFile(file));

  // The base path starts as the program's folder and is only recorded.
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string programFolder = program;
  programFolder.erase(programFolder.rfind('\\') + 1);
  char base[MAX_PATH];
  ASSERT_TRUE(storm().getBasePath(base, MAX_PATH));
  EXPECT_EQ(base, programFolder);
  ASSERT_TRUE(storm().setBasePath("C:\\Game\\"));
  EXPECT_FALSE(storm().getBasePath(base, 8));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(storm().getBasePath(base, 9));
  EXPECT_STREQ(base, "C:\\Game\\");
  std::string tooLong(MAX_PATH, 'p');
  EXPECT_FALSE(storm().setBasePath(tooLong.c_str()));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(load("Demo\\data.txt"), "data.mpq Demo\\data.txt\n");
  ASSERT_TRUE(storm().setBasePath(programFolder.c_str()));

  EXPECT_EQ(storm().setLocale(1031), 0u);
  EXPECT_EQ(storm().setLocale(0), 1031u);

  std::string expected =
      "266 OpenArchive \"data.mpq\" priority=10 flags=0 -> 1 archive=A1\r\n"
      "266 OpenArchive \"patch.mpq\" priority=20 flags=0 -> 1 archive=A2\r\n"
      "268 OpenFileEx null \"demo\\DATA.txt\" option=5 -> 1 file=F1 archive=A1 from=\"data.mpq\"\r\n"
      "276 GetFileName F1 size=13 -> 0 why=\"buffer too small\"\r\n"
      "276 GetFileName F1 size=14 -> 1 name=\"demo\\DATA.txt\"\r\n"
      "275 GetArchiveName A1 size=8 -> 0 why=\"buffer too small\"\r\n"
      "275 GetArchiveName A1 size=9 -> 1 name=\"data.mpq\"\r\n"
      "264 GetFileArchive F1 -> 1 archive=A1\r\n"
      "267 OpenFile \"Shared\\layered.txt\" -> 1 file=F2 archive=A2 from=\"patch.mpq\"\r\n"
      "264 GetFileArchive F2 -> 1 archive=A2\r\n"
      "252 CloseArchive A2 -> 1\r\n"
      "269 ReadFile F2 count=64 -> 1 read=29\r\n"
      "264 GetFileArchive F2 -> 0 why=\"archive closed\"\r\n"
      "253 CloseFile F2 -> 1\r\n"
      "253 CloseFile F1 -> 1\r\n"
      "273 GetBasePath size=260 -> 1 path=\"" + programFolder + "\"\r\n"
      "270 SetBasePath \"C:\\Game\\\" -> 1\r\n"
      "273 GetBasePath size=8 -> 0 why=\"buffer too small\"\r\n"
      "273 GetBasePath size=9 -> 1 path=\"C:\\Game\\\"\r\n"
      "270 SetBasePath \"" + tooLong + "\" -> 0 why=\"path too long\"\r\n"
      "279 LoadFile \"Demo\\data.txt\" extra=0 -> 1 buffer=B1 size=23 archive=A1 from=\"data.mpq\"\r\n"
      "280 UnloadFile B1 -> 1\r\n"
      "270 SetBasePath \"" + programFolder + "\" -> 1\r\n"
      "272 SetLocale locale=1031 -> 0\r\n"
      "272 SetLocale locale=0 -> 1031\r\n";
  EXPECT_EQ(trace(), expected);
}

TEST_F(StormStandin, MissingFilesAndUnknownHandlesFail) {
  place(fixture("plain.mpq"), "plain.mpq");
  place(demoArchive("data.mpq"), "data.mpq");

  HANDLE file = (HANDLE)1;
  EXPECT_FALSE(storm().openFile("readme.txt", &file));   // no archive open yet
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(file, nullptr);

  HANDLE plain = keep(open("plain.mpq", 10));
  keep(open("data.mpq", 11));
  file = (HANDLE)1;
  EXPECT_FALSE(storm().openFile("nothing.txt", &file));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(file, nullptr);
  void* buffer = (void*)1;
  DWORD size = 5;
  EXPECT_FALSE(storm().loadFile("nothing.txt", &buffer, &size, 4, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(storm().hasFile("nothing.txt"));
  EXPECT_TRUE(storm().hasFile("Sub\\Dir\\nested.txt"));

  // Asking one archive never searches the others.
  EXPECT_FALSE(storm().openFileEx(plain, "Demo\\data.txt", 0, &file));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(storm().loadFileEx(plain, "Demo\\data.txt", &buffer, &size, 0, 0, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  HANDLE stranger = (HANDLE)&file;
  EXPECT_FALSE(storm().openFileEx(stranger, "readme.txt", 0, &file));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(storm().loadFileEx(stranger, "readme.txt", &buffer, &size, 0, 0, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(storm().getArchiveName(stranger, nullptr, 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(storm().openFile("readme.txt", nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

  EXPECT_EQ(trace(),
            "267 OpenFile \"readme.txt\" -> 0 why=\"not found\"\r\n"
            "266 OpenArchive \"plain.mpq\" priority=10 flags=0 -> 1 archive=A1\r\n"
            "266 OpenArchive \"data.mpq\" priority=11 flags=0 -> 1 archive=A2\r\n"
            "267 OpenFile \"nothing.txt\" -> 0 why=\"not found\"\r\n"
            "279 LoadFile \"nothing.txt\" extra=4 -> 0 why=\"not found\"\r\n"
            "274 HasFile \"nothing.txt\" -> 0 why=\"not found\"\r\n"
            "274 HasFile \"Sub\\Dir\\nested.txt\" -> 1 archive=A1 from=\"plain.mpq\"\r\n"
            "268 OpenFileEx A1 \"Demo\\data.txt\" option=0 -> 0 why=\"not found\"\r\n"
            "281 LoadFileEx A1 \"Demo\\data.txt\" extra=0 scope=0 -> 0 why=\"not found\"\r\n"
            "268 OpenFileEx unknown \"readme.txt\" option=0 -> 0 why=\"unknown archive\"\r\n"
            "281 LoadFileEx unknown \"readme.txt\" extra=0 scope=0 -> 0 why=\"unknown archive\"\r\n"
            "275 GetArchiveName unknown size=0 -> 0 why=\"unknown archive\"\r\n"
            "267 OpenFile \"readme.txt\" -> 0 why=\"null handle pointer\"\r\n");
}

TEST_F(StormStandin, LoadFileAppendsZeroBytesAndUnloadFreesOnlyItsOwn) {
  place(fixture("plain.mpq"), "plain.mpq");
  place(demoArchive("data.mpq"), "data.mpq");
  place(demoArchive("patch.mpq"), "patch.mpq");
  keep(open("plain.mpq", 10));

  void* buffer = nullptr;
  DWORD size = 0;
  ASSERT_TRUE(storm().loadFile("readme.txt", &buffer, &size, 4, nullptr));
  EXPECT_EQ(size, 37u);
  EXPECT_EQ(std::string((const char*)buffer, 41), std::string(readme) + std::string(4, '\0'));
  EXPECT_TRUE(storm().unloadFile(buffer));
  EXPECT_FALSE(storm().unloadFile(buffer));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  int local = 0;
  EXPECT_FALSE(storm().unloadFile(&local));

  ASSERT_TRUE(storm().loadFile("empty.dat", &buffer, nullptr, 3, nullptr));
  EXPECT_EQ(std::string((const char*)buffer, 3), std::string(3, '\0'));
  EXPECT_TRUE(storm().unloadFile(buffer));
  EXPECT_FALSE(storm().loadFile("readme.txt", nullptr, &size, 0, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

  HANDLE data = keep(open("data.mpq", 11));
  keep(open("patch.mpq", 12));
  ASSERT_TRUE(storm().loadFileEx(data, "Shared\\layered.txt", &buffer, &size, 1, 7, nullptr));
  EXPECT_EQ(std::string((const char*)buffer, size + 1), std::string("data.mpq Shared\\layered.txt\n") + '\0');
  EXPECT_TRUE(storm().unloadFile(buffer));
  ASSERT_TRUE(storm().loadFileEx(nullptr, "Shared\\layered.txt", &buffer, &size, 0, 0, nullptr));
  EXPECT_EQ(std::string((const char*)buffer, size), "patch.mpq Shared\\layered.txt\n");
  EXPECT_TRUE(storm().unloadFile(buffer));

  EXPECT_EQ(trace(),
            "266 OpenArchive \"plain.mpq\" priority=10 flags=0 -> 1 archive=A1\r\n"
            "279 LoadFile \"readme.txt\" extra=4 -> 1 buffer=B1 size=37 archive=A1 from=\"plain.mpq\"\r\n"
            "280 UnloadFile B1 -> 1\r\n"
            "280 UnloadFile unknown -> 0 why=\"unknown buffer\"\r\n"
            "280 UnloadFile unknown -> 0 why=\"unknown buffer\"\r\n"
            "279 LoadFile \"empty.dat\" extra=3 -> 1 buffer=B2 size=0 archive=A1 from=\"plain.mpq\"\r\n"
            "280 UnloadFile B2 -> 1\r\n"
            "279 LoadFile \"readme.txt\" extra=0 -> 0 why=\"null buffer pointer\"\r\n"
            "266 OpenArchive \"data.mpq\" priority=11 flags=0 -> 1 archive=A2\r\n"
            "266 OpenArchive \"patch.mpq\" priority=12 flags=0 -> 1 archive=A3\r\n"
            "281 LoadFileEx A2 \"Shared\\layered.txt\" extra=1 scope=7 -> 1 buffer=B3 size=28 archive=A2 from=\"data.mpq\"\r\n"
            "280 UnloadFile B3 -> 1\r\n"
            "281 LoadFileEx null \"Shared\\layered.txt\" extra=0 scope=0 -> 1 buffer=B4 size=29 archive=A3 from=\"patch.mpq\"\r\n"
            "280 UnloadFile B4 -> 1\r\n");
}

// Header fields of the packed plain.mpq: 3 files, 16 hash slots at 32, blocks at 288, data from 336.
void putDword(std::string& bytes, size_t offset, uint32_t value) {
  memcpy(&bytes[offset], &value, 4);
}

TEST_F(StormStandin, DamagedArchivesFailToOpenWithTheReason) {
  const std::string plain = readFile(fixture("plain.mpq"));
  ASSERT_EQ(plain.size(), 336u + 37 + 7);
  ASSERT_EQ(plain.substr(336), std::string("nested\n") + readme);   // data in name order: Sub\..., empty, readme

  struct Damage {
    const char* name;
    std::string bytes;
    const char* why;
  };
  std::vector<Damage> damages;
  std::string bytes = plain;
  bytes[3] = 0x1B;
  damages.push_back({"signature.mpq", bytes, "no MPQ header"});
  damages.push_back({"short.mpq", plain.substr(0, 31), "no MPQ header"});
  damages.push_back({"empty.mpq", "", "no MPQ header"});
  damages.push_back({"misaligned.mpq", std::string(511, 'x') + plain, "no MPQ header"});
  bytes = plain;
  putDword(bytes, 4, 16);
  damages.push_back({"headersize.mpq", bytes, "bad header size"});
  bytes = plain;
  bytes[12] = 1;
  damages.push_back({"version.mpq", bytes, "unsupported format version"});
  bytes = plain;
  putDword(bytes, 24, 24);
  damages.push_back({"hashcount.mpq", bytes, "hash table size not a power of two"});
  bytes = plain;
  putDword(bytes, 24, 0);
  damages.push_back({"nohashes.mpq", bytes, "hash table size not a power of two"});
  bytes = plain;
  putDword(bytes, 16, (uint32_t)plain.size() - 255);
  damages.push_back({"hashtable.mpq", bytes, "hash table out of bounds"});
  bytes = plain;
  putDword(bytes, 24, 0x10000000);
  damages.push_back({"hashhuge.mpq", bytes, "hash table out of bounds"});
  bytes = plain;
  putDword(bytes, 20, (uint32_t)plain.size() - 47);
  damages.push_back({"blocktable.mpq", bytes, "block table out of bounds"});
  bytes = plain;
  putDword(bytes, 28, 0xFFFFFFFF);
  damages.push_back({"blockcount.mpq", bytes, "block table out of bounds"});

  std::string expected;
  for (const Damage& damage : damages) {
    writeFile(damage.name, damage.bytes);
    HANDLE archive = (HANDLE)1;
    SetLastError(0);
    EXPECT_FALSE(storm().openArchive(damage.name, 10, 0, &archive)) << damage.name;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_FORMAT) << damage.name;
    EXPECT_EQ(archive, nullptr);
    expected += std::string("266 OpenArchive \"") + damage.name + "\" priority=10 flags=0 -> 0 why=\"" + damage.why + "\"\r\n";
  }

  // The header may sit at any multiple of 512 bytes.
  writeFile("prefixed.mpq", std::string(512, 'x') + plain);
  HANDLE prefixed = keep(open("prefixed.mpq", 10));
  EXPECT_EQ(load("readme.txt"), readme);
  close(prefixed);
  expected +=
      "266 OpenArchive \"prefixed.mpq\" priority=10 flags=0 -> 1 archive=A1\r\n"
      "279 LoadFile \"readme.txt\" extra=0 -> 1 buffer=B1 size=37 archive=A1 from=\"prefixed.mpq\"\r\n"
      "280 UnloadFile B1 -> 1\r\n"
      "252 CloseArchive A1 -> 1\r\n";

  // Data cut short: the tables still open, the cut file fails, the others read.
  writeFile("truncated.mpq", plain.substr(0, plain.size() - 1));
  HANDLE truncated = keep(open("truncated.mpq", 10));
  HANDLE file = (HANDLE)1;
  EXPECT_FALSE(storm().openFile("readme.txt", &file));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_CORRUPT);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(load("Sub\\Dir\\nested.txt"), "nested\n");
  close(truncated);
  expected +=
      "266 OpenArchive \"truncated.mpq\" priority=10 flags=0 -> 1 archive=A2\r\n"
      "267 OpenFile \"readme.txt\" -> 0 why=\"data out of bounds\" archive=A2 from=\"truncated.mpq\"\r\n"
      "279 LoadFile \"Sub\\Dir\\nested.txt\" extra=0 -> 1 buffer=B2 size=7 archive=A2 from=\"truncated.mpq\"\r\n"
      "280 UnloadFile B2 -> 1\r\n"
      "252 CloseArchive A2 -> 1\r\n";

  // A scrambled hash table cannot be told from a valid one: it finds nothing, and never misreads.
  bytes = plain;
  for (size_t i = 32; i < 288; ++i) bytes[i] = (char)(i * 7);
  writeFile("scrambled.mpq", bytes);
  HANDLE scrambled = keep(open("scrambled.mpq", 10));
  EXPECT_EQ(load("readme.txt"), "(failed 2)");
  close(scrambled);
  expected +=
      "266 OpenArchive \"scrambled.mpq\" priority=10 flags=0 -> 1 archive=A3\r\n"
      "279 LoadFile \"readme.txt\" extra=0 -> 0 why=\"not found\"\r\n"
      "252 CloseArchive A3 -> 1\r\n";

  EXPECT_EQ(trace(), expected);
}

TEST_F(StormStandin, StorageOtherThanWholeFilesIsRefused) {
  place(fixture("plain.mpq"), "plain.mpq");
  place(fixture("storage.mpq"), "storage.mpq");
  keep(open("plain.mpq", 10));
  HANDLE storage = keep(open("storage.mpq", 20));

  // The higher archive holds readme.txt flagged compressed: refused, never taken from plain.mpq.
  HANDLE file = (HANDLE)1;
  EXPECT_FALSE(storm().openFile("readme.txt", &file));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_SUPPORTED);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(load("readme.txt"), "(failed 50)");
  EXPECT_FALSE(storm().hasFile("readme.txt"));

  const char* refused[] = {"encrypted.txt", "imploded.txt", "deleted.txt", "checksummed.txt", "unknown.txt",
                           "patch.txt"};
  for (const char* name : refused) {
    EXPECT_FALSE(storm().openFileEx(storage, name, 0, &file)) << name;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_SUPPORTED) << name;
  }
  EXPECT_EQ(load("fine.txt"), "storage.mpq fine.txt\n");
  close(storage);
  EXPECT_EQ(load("readme.txt"), readme);

  EXPECT_EQ(trace(),
            "266 OpenArchive \"plain.mpq\" priority=10 flags=0 -> 1 archive=A1\r\n"
            "266 OpenArchive \"storage.mpq\" priority=20 flags=0 -> 1 archive=A2\r\n"
            "267 OpenFile \"readme.txt\" -> 0 why=\"compressed\" archive=A2 from=\"storage.mpq\"\r\n"
            "279 LoadFile \"readme.txt\" extra=0 -> 0 why=\"compressed\" archive=A2 from=\"storage.mpq\"\r\n"
            "274 HasFile \"readme.txt\" -> 0 why=\"compressed\" archive=A2 from=\"storage.mpq\"\r\n"
            "268 OpenFileEx A2 \"encrypted.txt\" option=0 -> 0 why=\"encrypted\" archive=A2 from=\"storage.mpq\"\r\n"
            "268 OpenFileEx A2 \"imploded.txt\" option=0 -> 0 why=\"imploded\" archive=A2 from=\"storage.mpq\"\r\n"
            "268 OpenFileEx A2 \"deleted.txt\" option=0 -> 0 why=\"deleted\" archive=A2 from=\"storage.mpq\"\r\n"
            "268 OpenFileEx A2 \"checksummed.txt\" option=0 -> 0 why=\"sector checksums\" archive=A2 from=\"storage.mpq\"\r\n"
            "268 OpenFileEx A2 \"unknown.txt\" option=0 -> 0 why=\"unknown flags\" archive=A2 from=\"storage.mpq\"\r\n"
            "268 OpenFileEx A2 \"patch.txt\" option=0 -> 0 why=\"patch file\" archive=A2 from=\"storage.mpq\"\r\n"
            "279 LoadFile \"fine.txt\" extra=0 -> 1 buffer=B1 size=21 archive=A2 from=\"storage.mpq\"\r\n"
            "280 UnloadFile B1 -> 1\r\n"
            "252 CloseArchive A2 -> 1\r\n"
            "279 LoadFile \"readme.txt\" extra=0 -> 1 buffer=B2 size=37 archive=A1 from=\"plain.mpq\"\r\n"
            "280 UnloadFile B2 -> 1\r\n");
}

TEST_F(StormStandin, LocaleChoosesItsOwnEntryThenNeutralThenAny) {
  place(fixture("locale.mpq"), "locale.mpq");
  keep(open("locale.mpq", 10));
  EXPECT_EQ(load("greeting.txt"), "neutral greeting\n");
  EXPECT_EQ(load("french-only.txt"), "French only\n");
  EXPECT_EQ(storm().setLocale(1031), 0u);
  EXPECT_EQ(load("greeting.txt"), "German greeting\n");
  EXPECT_EQ(storm().setLocale(1036), 1031u);
  EXPECT_EQ(load("greeting.txt"), "neutral greeting\n");
  EXPECT_EQ(load("french-only.txt"), "French only\n");
  EXPECT_EQ(storm().setLocale(0), 1036u);
}

TEST_F(StormStandin, TraceAppendsQuotesSafelyAndCutsLongText) {
  writeFile("StormTrace.txt", "earlier line\r\n");
  storm().openFile("a\"b\tc", nullptr);
  std::string longName(1030, 'n');
  storm().hasFile(longName.c_str());
  std::string exact(1024, 'm');
  storm().hasFile(exact.c_str());
  EXPECT_EQ(readFile("StormTrace.txt"),
            "earlier line\r\n"
            "267 OpenFile \"a?b?c\" -> 0 why=\"null handle pointer\"\r\n"
            "274 HasFile \"" + std::string(1024, 'n') + "...\" -> 0 why=\"not found\"\r\n"
            "274 HasFile \"" + exact + "\" -> 0 why=\"not found\"\r\n");
}

}  // namespace
