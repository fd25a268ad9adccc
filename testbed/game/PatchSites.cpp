// Reports the game's code at the launcher's write sites.
#include "testbed/game/PatchSites.h"

#include "testbed/game/AddressInfo.h"
#include "testbed/game/PeFile.h"
#include "testbed/game/Report.h"

#include <cstdio>
#include <cstring>

namespace {
std::string rvaText(DWORD rva) {
  char text[16];
  snprintf(text, sizeof text, "%lX", rva);
  return text;
}

bool readOwnFile(HMODULE game, std::string& bytes) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(game, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  return readWholeFile(path, bytes);
}

// Where a call or jump with a 32-bit displacement at the site goes: "-" when the site holds neither.
std::string branchTarget(const unsigned char* site, HMODULE game) {
  if (site[0] != 0xE8 && site[0] != 0xE9) return "-";
  int32_t displacement;
  memcpy(&displacement, site + 1, 4);
  DWORD target = (DWORD)site + 5 + displacement;
  std::string source = sourceOf(target, game);
  if (source == "game") source += "+" + rvaText(target - (DWORD)game);
  return source;
}
}  // namespace

void reportPatchSites(ReportWriter& report, HMODULE game) {
  const unsigned char* base = (const unsigned char*)game;
  std::string file;
  PeFile image;
  bool haveFile = readOwnFile(game, file) && image.parse(file);

  int deciding = 0, changed = 0;
  std::string changedList;
  for (const GameReport::Region& region : GameReport::kRegions) {
    std::string now((const char*)base + region.rva, region.size);
    report.put("bytes." + rvaText(region.rva), hexBytes(now));
    std::string original;
    if (!haveFile || !image.bytesAt(region.rva, region.size, original) || original == now) {
      if (region.decides) ++deciding;
      continue;
    }
    changedList += (changedList.empty() ? "" : ",") + rvaText(region.rva);
    if (region.decides) {
      ++deciding;
      ++changed;
    }
  }
  for (DWORD rva : GameReport::kBranchSites) report.put("target." + rvaText(rva), branchTarget(base + rva, game));

  if (!haveFile) report.put("patched", "unknown");
  else report.put("patched", changed == 0 ? "none" : changed == deciding ? "all" : "partial");
  report.put("patched.changed", changedList.empty() ? "-" : changedList);
}
