// The checker's PE reader in-process on every cut of the game module (the checker runs cover whole modules).
#include "support/TempFolder.h"
#include "tools/CheckRun.h"
#include "tools/corvane-check/PeImage.h"

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace {

// Bytes copied to the very end of readable memory that a page no one may read follows, so that a read
// past them faults, under Wine as natively. The pages are never given back.
const unsigned char* guarded(const std::string& bytes, size_t count) {
  static const size_t page = 65536, size = (bytes.size() + page - 1) / page * page;  // a multiple of any page
#ifdef _WIN32
  static unsigned char* base =
      static_cast<unsigned char*>(VirtualAlloc(nullptr, size + page, MEM_COMMIT, PAGE_READWRITE));
  static DWORD old, guard = base && VirtualProtect(base + size, page, PAGE_NOACCESS, &old);
#else
  static void* mapped = mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  static unsigned char* base = mapped == MAP_FAILED ? nullptr : static_cast<unsigned char*>(mapped);
  static bool guard = base && mprotect(base + size, page, PROT_NONE) == 0;
#endif
  EXPECT_TRUE(guard);
  std::copy(bytes.begin(), bytes.begin() + count, base + size - count);
  return base + size - count;
}

std::vector<std::string> modules(const PeFacts& facts) {
  std::vector<std::string> names;
  for (const PeImport& import : facts.imports) names.push_back(import.module);
  return names;
}

// part holds names of whole in the same order, possibly with some left out.
bool isSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  size_t at = 0;
  for (const std::string& name : part) {
    while (at < whole.size() && whole[at] != name) ++at;
    if (at == whole.size()) return false;
    ++at;
  }
  return true;
}

// A file cut short anywhere reads as far as its bytes go: never past them (a read there faults), and
// never a name that the whole file does not have. The cuts cover the headers byte by byte and the tail,
// where the tables and the version resource lie.
TEST(PeFile, EveryCutOfTheGameModule) {
  std::string bytes = readFile(buildFile("testbed/Game.dll"));
  ASSERT_GT(bytes.size(), 65536u);
  PeFacts whole;
  readPeFile(guarded(bytes, bytes.size()), bytes.size(), whole);
  ASSERT_TRUE(whole.versioned);
  std::vector<size_t> cuts;
  for (size_t cut = 0; cut < 2048; ++cut) cuts.push_back(cut);
  for (size_t cut = bytes.size() - 65536; cut < bytes.size(); cut += 127) cuts.push_back(cut);

  size_t fewerImports = 0, fewerExports = 0;
  for (size_t cut : cuts) {
    PeFacts facts;
    readPeFile(guarded(bytes, cut), cut, facts);
    ASSERT_TRUE(facts.kind == PeKind::notPe || facts.kind == PeKind::library) << "cut at " << cut;
    ASSERT_TRUE(isSubsequence(modules(facts), modules(whole))) << "cut at " << cut;
    ASSERT_TRUE(isSubsequence(facts.exports, whole.exports)) << "cut at " << cut;
    if (facts.kind == PeKind::library && facts.imports.size() < whole.imports.size()) ++fewerImports;
    if (facts.kind == PeKind::library && facts.exports.size() < whole.exports.size()) ++fewerExports;
  }
  // The tail cuts went through both tables.
  EXPECT_GT(fewerImports, 0u);
  EXPECT_GT(fewerExports, 0u);
}

}  // namespace
