// Reports the game's code at the launcher's write sites.
#include "testbed/game/PatchSites.h"

#include "testbed/game/AddressInfo.h"
#include "testbed/game/Report.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
std::string rvaText(DWORD rva) {
  char text[16];
  snprintf(text, sizeof text, "%lX", rva);
  return text;
}

// The regions as the loader left them: taken while the module initialises, before a launcher can
// write to it (the launcher loads the game and patches it after LoadLibrary returns).
std::vector<std::string> regionsAsLoaded() {
  std::vector<std::string> regions;
  for (const GameReport::Region& region : GameReport::kRegions)
    regions.emplace_back((const char*)&__ImageBase + region.rva, region.size);
  return regions;
}
const std::vector<std::string> kAsLoaded = regionsAsLoaded();

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
  int deciding = 0, changed = 0;
  std::string changedList;
  for (size_t i = 0; i < std::size(GameReport::kRegions); ++i) {
    const GameReport::Region& region = GameReport::kRegions[i];
    std::string now((const char*)base + region.rva, region.size);
    report.put("bytes." + rvaText(region.rva), hexBytes(now));
    deciding += region.decides;
    if (now == kAsLoaded[i]) continue;
    changedList += (changedList.empty() ? "" : ",") + rvaText(region.rva);
    changed += region.decides;
  }
  for (DWORD rva : GameReport::kBranchSites) report.put("target." + rvaText(rva), branchTarget(base + rva, game));
  report.put("patched", changed == 0 ? "none" : changed == deciding ? "all" : "partial");
  report.put("patched.changed", changedList.empty() ? "-" : changedList);
}
