// The checker's PE reader in-process on every cut of the game module (the checker runs cover whole modules).
#include "support/TempFolder.h"
#include "tools/CheckRun.h"
#include "tools/corvane-check/PeImage.h"

#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

PeFacts factsOf(const std::string& bytes, size_t size) {
  PeFacts facts;
  readPeFile(reinterpret_cast<const unsigned char*>(bytes.data()), size, facts);
  return facts;
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

// Under the address sanitizer the bytes from cut on are made unreadable (none when cut is the size), so a
// read past a cut is caught.
void hideFrom(const std::string& bytes, size_t cut) {
#if defined(__SANITIZE_ADDRESS__)
  __asan_unpoison_memory_region(bytes.data(), bytes.size());
  __asan_poison_memory_region(bytes.data() + cut, bytes.size() - cut);
#else
  (void)bytes, (void)cut;
#endif
}

// A file cut short anywhere reads as far as its bytes go: never past them, and never a name that the
// whole file does not have. The cuts cover the headers byte by byte and the tail, where the tables lie.
TEST(PeFile, EveryCutOfTheGameModule) {
  std::string bytes = readFile(buildFile("testbed/Game.dll"));
  ASSERT_GT(bytes.size(), 65536u);
  PeFacts whole = factsOf(bytes, bytes.size());
  std::vector<size_t> cuts;
  for (size_t cut = 0; cut < 2048; ++cut) cuts.push_back(cut);
  for (size_t cut = bytes.size() - 65536; cut < bytes.size(); cut += 61) cuts.push_back(cut);

  size_t fewerImports = 0, fewerExports = 0;
  for (size_t cut : cuts) {
    hideFrom(bytes, cut);
    PeFacts facts = factsOf(bytes, cut);
    hideFrom(bytes, bytes.size());
    ASSERT_TRUE(facts.kind == PeKind::notPe || facts.kind == PeKind::library) << "cut at " << cut;
    ASSERT_TRUE(isSubsequence(facts.imports, whole.imports)) << "cut at " << cut;
    ASSERT_TRUE(isSubsequence(facts.exports, whole.exports)) << "cut at " << cut;
    if (facts.kind == PeKind::library && facts.imports.size() < whole.imports.size()) ++fewerImports;
    if (facts.kind == PeKind::library && facts.exports.size() < whole.exports.size()) ++fewerExports;
  }
  // The tail cuts went through both tables.
  EXPECT_GT(fewerImports, 0u);
  EXPECT_GT(fewerExports, 0u);
}

}  // namespace
