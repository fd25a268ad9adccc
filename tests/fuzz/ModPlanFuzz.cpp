// Fuzz target: any manifest is read into a plan under the sanitizers, without a fault or a leak beyond
// the handles the look-ups keep by design, and with the plan's documented invariants: the race lists are
// of one length, at most kMaxRaces; every path lies in the mod's folder; no more archives and add-ons
// than the manifest lists.
#include "fuzz/FuzzSupport.h"
#include "launcher/ModPlan.h"

#include <cstdlib>
#include <cstring>

namespace {

const char kFolder[] = ".\\mods\\Fuzz\\";

// The manifest's list of that name, if the root holds one.
size_t listed(const JsonValue& root, const char* name) {
  if (!root.IsObject()) return 0;
  JsonValue::ConstMemberIterator member = root.FindMember(name);
  return member != root.MemberEnd() && member->value.IsArray() ? member->value.Size() : 0;
}

void checkPath(const char* path) {
  if (path && strncmp(path, kFolder, strlen(kFolder)) != 0) fuzzFailure("a path outside the mod's folder", path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = scratchFile("manifest.json");
  writeWholeFile(path, data, size);
  ScratchDocument manifest(path, false);
  ModPlan plan;
  planMod(manifest.document(), kFolder, plan);

  if (plan.raceSkins.size() != plan.raceKeys.size()) fuzzFailure("race lists of different lengths");
  if (plan.raceSkins.size() > kMaxRaces) fuzzFailure("more races than the game holds");
  if (plan.archives.size() > listed(manifest.tree(), "Mpqs")) fuzzFailure("more archives than the manifest lists");
  if (plan.addonPaths.size() > listed(manifest.tree(), "Addons")) fuzzFailure("more add-ons than the manifest lists");
  for (const char* addon : plan.addonPaths) checkPath(addon);
  for (const ArchivePlan& archive : plan.archives) checkPath(archive.path);
  checkPath(plan.iconPath);
  checkPath(plan.previewLogo);

  // The plan's paths are the launcher's to keep; here they go with the input.
  for (const char* addon : plan.addonPaths) free(const_cast<char*>(addon));
  for (const ArchivePlan& archive : plan.archives) free(const_cast<char*>(archive.path));
  free(const_cast<char*>(plan.iconPath));
  free(plan.previewLogo);
  return 0;
}
