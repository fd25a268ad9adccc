// Fuzz target: any manifest is read into a plan without a fault, and the plan is what the manifest asks
// for, worked out again here straight from the tree: archive priorities by the running-maximum rule,
// enabled add-ons, display data, and at most 255 races in two lists of one length.
#include "fuzz/FuzzSupport.h"
#include "launcher/ModPlan.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kFolder[] = ".\\mods\\Fuzz\\";

typedef JsonValue Value;

// The first member of that name (names compared by length and bytes), or null.
const Value* member(const Value& object, const char* key) {
  if (!object.IsObject()) return nullptr;
  size_t length = strlen(key);
  for (Value::ConstMemberIterator it = object.MemberBegin(); it != object.MemberEnd(); ++it) {
    if (it->name.GetStringLength() == length && memcmp(it->name.GetString(), key, length) == 0) return &it->value;
  }
  return nullptr;
}

// The member's text when it is a string (up to its first NUL, as a C string reads it).
const char* text(const Value& object, const char* key) {
  const Value* value = member(object, key);
  return value && value->IsString() ? value->GetString() : nullptr;
}

const Value* array(const Value& object, const char* key) {
  const Value* value = member(object, key);
  return value && value->IsArray() ? value : nullptr;
}

// An integer priority gives its low 32 bits; anything else asks for the next automatic one.
uint32_t requestedPriority(const Value& entry) {
  const Value* value = member(entry, "Priority");
  if (!value) return 0;
  if (value->IsUint64()) return static_cast<uint32_t>(value->GetUint64());
  if (value->IsInt64()) return static_cast<uint32_t>(static_cast<uint64_t>(value->GetInt64()));
  return 0;
}

void expectText(const char* what, const char* actual, const std::string* expected) {
  if (!expected) {
    if (actual) fuzzFailure(what, std::string("expected none, got ") + actual);
    return;
  }
  if (!actual || *expected != actual)
    fuzzFailure(what, "expected " + *expected + ", got " + (actual ? actual : "<null>"));
}

void checkArchives(const Value& root, const ModPlan& plan) {
  const Value* entries = array(root, "Mpqs");
  size_t next = 0;
  uint64_t maximum = 9;  // the engine archive's priority
  for (rapidjson::SizeType i = 0; entries && i < entries->Size(); ++i) {
    const Value& entry = (*entries)[i];
    const char* name = text(entry, "Name");
    if (!name) continue;
    uint64_t priority = requestedPriority(entry);
    if (priority > maximum) maximum = priority;
    if (priority == 0) {
      maximum = (maximum + 1) & 0xFFFFFFFFu;  // unsigned 32-bit: the automatic one may wrap to 0
      priority = maximum;
    }
    if (next >= plan.archives.size()) fuzzFailure("an archive is missing", name);
    const ArchivePlan& archive = plan.archives[next++];
    if (archive.name != name) fuzzFailure("an archive's name is not the manifest's own text", name);
    std::string path = std::string(kFolder) + "Mpqs\\" + name + ".mpq";
    expectText("archive path", archive.path, &path);
    if (archive.priority != priority)
      fuzzFailure("archive priority", std::string(name) + ": expected " + std::to_string(priority) + ", got " +
                                          std::to_string(archive.priority));
  }
  if (next != plan.archives.size()) fuzzFailure("the plan has more archives than the manifest names");
}

void checkAddons(const Value& root, const ModPlan& plan) {
  const Value* entries = array(root, "Addons");
  size_t next = 0;
  for (rapidjson::SizeType i = 0; entries && i < entries->Size(); ++i) {
    const Value& entry = (*entries)[i];
    const char* name = text(entry, "Name");
    const Value* enable = member(entry, "Enable");
    if (!name || !enable || !enable->IsTrue()) continue;
    if (next >= plan.addonPaths.size()) fuzzFailure("an add-on is missing", name);
    std::string path = std::string(kFolder) + "Addons\\" + name + ".dll";
    expectText("add-on path", plan.addonPaths[next++], &path);
  }
  if (next != plan.addonPaths.size()) fuzzFailure("the plan has more add-ons than the manifest enables");
}

void checkRaces(const Value& root, const ModPlan& plan) {
  if (plan.raceSkins.size() != plan.raceKeys.size()) fuzzFailure("race lists of different lengths");
  if (plan.raceSkins.size() > 255) fuzzFailure("more races than the game holds");
  const Value* races = array(root, "Races");
  size_t next = 0;
  for (rapidjson::SizeType i = 0; races && i < races->Size() && next < 255; ++i) {
    const Value& race = (*races)[i];  // one that is not an object keeps its place with the defaults
    if (next >= plan.raceSkins.size()) fuzzFailure("a race is missing");
    const char* skin = text(race, "Skin");
    const char* key = text(race, "RaceKey");
    std::string expectedSkin = skin ? skin : "Default";
    std::string expectedKey = key ? key : "UNKNOWN";
    expectText("race skin", plan.raceSkins[next], &expectedSkin);
    expectText("race key", plan.raceKeys[next], &expectedKey);
    ++next;
  }
  if (next != plan.raceSkins.size()) fuzzFailure("the plan has more races than the manifest");
}

void checkDisplay(const Value& root, const ModPlan& plan) {
  const char* name = text(root, "ModName");
  if (plan.hasName != (name != nullptr) || (name && plan.name != name)) fuzzFailure("mod name");
  const char* icon = text(root, "ModIcon");
  std::string iconPath = icon ? std::string(kFolder) + icon + ".ico" : std::string();
  if (plan.hasIcon != (icon != nullptr)) fuzzFailure("has icon");
  expectText("icon path", plan.iconPath, icon ? &iconPath : nullptr);
  const char* version = text(root, "ModVersion");
  if (plan.hasVersion != (version != nullptr) || (version && plan.version != version)) fuzzFailure("version");

  const Value* preview = member(root, "Preview");
  bool hasPreview = preview && preview->IsObject();
  if (plan.hasPreview != hasPreview) fuzzFailure("has preview");
  if (!hasPreview) {
    if (!plan.previewEnabled || plan.previewLogo || plan.previewInfo) fuzzFailure("preview defaults");
    return;
  }
  const Value* enable = member(*preview, "Enable");
  if (plan.previewEnabled != (!enable || enable->IsTrue())) fuzzFailure("preview enabled");
  const char* logo = text(*preview, "Logo");
  std::string logoPath = logo ? std::string(kFolder) + logo + ".bmp" : std::string();
  expectText("preview logo", plan.previewLogo, logo ? &logoPath : nullptr);
  if (plan.previewInfo != text(*preview, "Info")) fuzzFailure("preview info");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = scratchFile("manifest.json");
  writeWholeFile(path, data, size);
  ScratchDocument manifest(path, false);
  ModPlan plan;
  planMod(manifest.document(), kFolder, plan);

  const Value& root = manifest.tree();
  static const Value kNothing(rapidjson::kObjectType);
  const Value& read = root.IsObject() ? root : kNothing;
  checkArchives(read, plan);
  checkAddons(read, plan);
  checkRaces(read, plan);
  checkDisplay(read, plan);

  // The plan's paths are the launcher's to keep; here they go with the input.
  for (const char* path : plan.addonPaths) free(const_cast<char*>(path));
  for (const ArchivePlan& archive : plan.archives) free(const_cast<char*>(archive.path));
  free(const_cast<char*>(plan.iconPath));
  free(plan.previewLogo);
  return 0;
}
