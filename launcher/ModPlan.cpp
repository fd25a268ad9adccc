// Interpreting a mod manifest: which add-ons, archives, display data and races the mod asks for.
#include "launcher/ModPlan.h"

#include "StringUtils.h"
#include "launcher/ManifestKeys.h"

static const char* const kDefaultSkin = kManifestKeys[kKeyRaceSkin].defaultValue;
static const char* const kDefaultRaceKey = kManifestKeys[kKeyRaceKey].defaultValue;

// The member's text when it is a string; null when it is missing or of another type.
static const char* stringMember(SObject_Exp& node, ManifestKeyId id) {
  const char* key = manifestKey(id);
  if (!node.HasMember(key)) return nullptr;
  SObject_Exp& value = node[key];
  return value.IsString() ? value.GetString() : nullptr;
}

// The member as an unsigned 32-bit priority; 0 when missing or not an integer.
static unsigned priorityMember(SObject_Exp& node, ManifestKeyId id) {
  const char* key = manifestKey(id);
  if (!node.HasMember(key)) return 0;
  SObject_Exp& value = node[key];
  if (value.IsDouble() || value.IsString() || value.IsObject() || value.IsArray()) return 0;
  return static_cast<unsigned>(value.GetInt());
}

// True, with array set, when the member exists and is an array.
static bool arrayMember(SObject_Exp& node, ManifestKeyId id, SObject_Exp*& array) {
  const char* key = manifestKey(id);
  if (!node.HasMember(key)) return false;
  array = &node[key];
  return array->IsArray();
}

unsigned nextArchivePriority(unsigned requested, unsigned& maximum) {
  if (requested > maximum) maximum = requested;
  if (requested != 0) return requested;
  maximum += 1;
  return maximum;
}

static void planAddons(SObject_Exp& manifest, const char* modFolder, ModPlan& plan) {
  SObject_Exp* addons;
  if (!arrayMember(manifest, kKeyAddons, addons)) return;
  unsigned count = addons->GetMemberCount();
  for (unsigned i = 0; i < count; ++i) {
    SObject_Exp& entry = (*addons)[static_cast<int>(i)];
    if (!entry.IsObject()) continue;
    const char* name = stringMember(entry, kKeyAddonName);
    if (!name) continue;
    const char* enable = manifestKey(kKeyAddonEnable);
    if (!entry.HasMember(enable) || !entry[enable].GetBool()) continue;
    char* path = StringUtils::strunite(4, modFolder, "Addons\\", name, ".dll");
    if (path) plan.addonPaths.push_back(path);
  }
}

static void planArchives(SObject_Exp& manifest, const char* modFolder, ModPlan& plan) {
  SObject_Exp* archives;
  if (!arrayMember(manifest, kKeyMpqs, archives)) return;
  unsigned maximum = kEngineArchivePriority;
  unsigned count = archives->GetMemberCount();
  for (unsigned i = 0; i < count; ++i) {
    SObject_Exp& entry = (*archives)[static_cast<int>(i)];
    if (!entry.IsObject()) continue;
    const char* name = stringMember(entry, kKeyMpqName);
    if (!name) continue;
    unsigned priority = nextArchivePriority(priorityMember(entry, kKeyMpqPriority), maximum);
    char* path = StringUtils::strunite(4, modFolder, "Mpqs\\", name, ".mpq");
    if (path) plan.archives.push_back({name, path, priority});
  }
}

static void planPreview(SObject_Exp& manifest, const char* modFolder, ModPlan& plan) {
  const char* key = manifestKey(kKeyPreview);
  if (!manifest.HasMember(key)) return;
  SObject_Exp& preview = manifest[key];
  if (!preview.IsObject()) return;
  plan.hasPreview = true;
  // Once the key is present only the literal true keeps the splash on.
  const char* enable = manifestKey(kKeyPreviewEnable);
  plan.previewEnabled = !preview.HasMember(enable) || preview[enable].GetBool();
  plan.previewLogo = StringUtils::strunite(3, modFolder, stringMember(preview, kKeyPreviewLogo), ".bmp");
  plan.previewInfo = stringMember(preview, kKeyPreviewInfo);
}

static void planRaces(SObject_Exp& manifest, ModPlan& plan) {
  SObject_Exp* races;
  if (!arrayMember(manifest, kKeyRaces, races)) return;
  unsigned count = races->GetMemberCount();
  for (unsigned i = 0; i < count && plan.raceSkins.size() < kMaxRaces; ++i) {
    SObject_Exp& race = (*races)[static_cast<int>(i)];
    if (!race.IsObject()) continue;
    const char* skin = stringMember(race, kKeyRaceSkin);
    const char* key = stringMember(race, kKeyRaceKey);
    plan.raceSkins.push_back(skin ? skin : kDefaultSkin);
    plan.raceKeys.push_back(key ? key : kDefaultRaceKey);
  }
}

void planMod(CJSON_Exp& manifest, const char* modFolder, ModPlan& plan) {
  plan = ModPlan();
  plan.previewEnabled = true;
  // A handle on the document's record designates its root.
  SObject_Exp root{};
  root = static_cast<void*>(manifest.record);
  if (!root.IsExist() || !root.IsObject()) return;
  planAddons(root, modFolder, plan);
  planArchives(root, modFolder, plan);
  plan.name = stringMember(root, kKeyModName);
  plan.hasName = plan.name != nullptr;
  const char* icon = stringMember(root, kKeyModIcon);
  plan.iconPath = icon ? StringUtils::strunite(3, modFolder, icon, ".ico") : nullptr;
  plan.hasIcon = plan.iconPath != nullptr;
  plan.version = stringMember(root, kKeyModVersion);
  plan.hasVersion = plan.version != nullptr;
  planPreview(root, modFolder, plan);
  planRaces(root, plan);
}
