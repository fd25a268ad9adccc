// The stand-in Storm.dll where the product's tests rely on it without seeing it: it exports the game's
// ordinals only, each removing its own arguments from the stack; and it serves a name from the archive of
// the highest priority, the later opened among equals (archives that StormLib packed).
#include "support/TempFolder.h"
#include "tools/corvane-check/PeImage.h"

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

namespace {

// Calls fn with the 32-bit arguments and returns EAX; *left is how many argument bytes were still on
// the stack after it returned (0 for a function that removes its own).
extern "C" uint32_t __cdecl callCounted(void* fn, const uint32_t* arguments, int count, int* left);
asm(R"(
  .text
  .globl _callCounted
_callCounted:
  push %ebp
  mov %esp, %ebp
  push %esi
  mov %esp, %esi
  mov 16(%ebp), %ecx
  mov 12(%ebp), %edx
1:
  jecxz 2f
  push -4(%edx,%ecx,4)
  loop 1b
2:
  call *8(%ebp)
  mov %esi, %ecx
  sub %esp, %ecx
  mov %esi, %esp
  mov 20(%ebp), %edx
  mov %ecx, (%edx)
  pop %esi
  pop %ebp
  ret
)");

// A Windows path for a path of the build tree (Wine maps the host's root to Z:).
std::string hostPath(const std::string& path) {
  std::string result = path[0] == '/' ? "Z:" + path : path;
  for (char& c : result)
    if (c == '/') c = '\\';
  return result;
}

HMODULE storm() {
  static HMODULE module = LoadLibraryA(hostPath(STORM_DLL).c_str());
  return module;
}

enum Ordinal : WORD { kCloseArchive = 252, kOpenArchive = 266, kLoadFile = 279, kUnloadFile = 280 };

// Ordinal `number` of the library called with the arguments; a failure when it leaves any on the stack.
uint32_t call(WORD number, std::vector<uint32_t> arguments) {
  void* function = (void*)GetProcAddress(storm(), MAKEINTRESOURCEA(number));
  if (!function) {
    ADD_FAILURE() << "no ordinal " << number << " in " << STORM_DLL << (storm() ? "" : ", which does not load");
    return 0;
  }
  int left = -1;
  uint32_t result = callCounted(function, arguments.data(), (int)arguments.size(), &left);
  EXPECT_EQ(left, 0) << "ordinal " << number << " left " << left << " bytes of its arguments on the stack";
  return result;
}

uint32_t arg(const void* pointer) {
  return (uint32_t)(uintptr_t)pointer;
}

class StormStandin : public TempFolderTest {
protected:
  HANDLE open(const std::string& path, uint32_t priority) {
    HANDLE archive = nullptr;
    EXPECT_TRUE(call(kOpenArchive, {arg(path.c_str()), priority, 0, arg(&archive)})) << path;
    return archive;
  }

  // The whole file through LoadFile, or "(failed N)" with the last error.
  std::string load(const char* name) {
    void* buffer = nullptr;
    DWORD size = 0;
    if (!call(kLoadFile, {arg(name), arg(&buffer), arg(&size), 0, 0}))
      return "(failed " + std::to_string(GetLastError()) + ")";
    std::string bytes((const char*)buffer, size);
    call(kUnloadFile, {arg(buffer)});
    return bytes;
  }
};

TEST_F(StormStandin, ExportsTheGameOrdinalsOnlyEachRemovingItsArguments) {
  PeFacts facts;
  std::string bytes = readFile(hostPath(STORM_DLL));
  readPeFile((const unsigned char*)bytes.data(), bytes.size(), facts);
  EXPECT_EQ(facts.kind, PeKind::library);
  EXPECT_EQ(facts.exports, std::vector<std::string>{});
  // Every ordinal with its argument count, called with null arguments: each fails harmlessly.
  const std::pair<WORD, int> functions[] = {{252, 1}, {253, 1}, {264, 2}, {265, 2}, {266, 4}, {267, 2},
                                            {268, 4}, {269, 5}, {270, 1}, {271, 4}, {272, 1}, {273, 2},
                                            {275, 3}, {276, 3}, {279, 5}, {280, 1}, {281, 7}, {293, 5}};
  size_t present = 0;
  for (WORD number = 1; number <= 400; ++number)
    present += GetProcAddress(storm(), MAKEINTRESOURCEA(number)) != nullptr;
  EXPECT_EQ(present, std::size(functions));
  for (const auto& function : functions) call(function.first, std::vector<uint32_t>(function.second, 0));
  call(272, {0});  // the neutral locale again, which the zero above also set
}

// The engine archive (9) and the sample mod's data (10) and patch (20) archives each hold
// Shared\layered.txt, whose text names its archive.
TEST_F(StormStandin, ServesANameFromTheHighestPriorityAndTheLaterOpenedAmongEquals) {
  const std::string testbed = std::string(STORM_TESTBED) + "/";
  const std::string engine = hostPath(testbed + "Corvane.mpq"), data = hostPath(testbed + "mods/Demo/Mpqs/data.mpq"),
                    patch = hostPath(testbed + "mods/Demo/Mpqs/patch.mpq");
  auto served = [&](const char* name) {
    std::string text = load(name);
    return text.substr(0, text.find(' '));
  };
  HANDLE first = open(engine, 9), second = open(data, 10), third = open(patch, 20);
  EXPECT_EQ(served("Shared\\layered.txt"), "patch.mpq");
  EXPECT_EQ(served("shared/ENGINE-OVERRIDE.txt"), "data.mpq");  // names in any case, with either slash
  call(kCloseArchive, {arg(third)});
  EXPECT_EQ(served("Shared\\layered.txt"), "data.mpq");
  call(kCloseArchive, {arg(second)});
  EXPECT_EQ(served("Shared\\layered.txt"), "Corvane.mpq");
  HANDLE tie = open(data, 9);
  EXPECT_EQ(served("Shared\\layered.txt"), "data.mpq");
  HANDLE again = open(engine, 9);
  EXPECT_EQ(served("Shared\\layered.txt"), "Corvane.mpq");
  call(kCloseArchive, {arg(again)});
  // A lower priority never overrides, whenever it was opened, but serves what only it holds.
  HANDLE low = open(patch, 0);
  EXPECT_EQ(served("Shared\\layered.txt"), "data.mpq");
  EXPECT_EQ(served("Demo\\patch.txt"), "patch.mpq");
  for (HANDLE archive : {low, tie, first}) EXPECT_TRUE(call(kCloseArchive, {arg(archive)}));
}

}  // namespace
