// Reviewing a manifest's keys against how planMod reads them.
#include "tools/corvane-check/ManifestReview.h"

#include "launcher/ManifestKeys.h"
#include "launcher/ModPlan.h"
#include "tools/corvane-check/HostFiles.h"

#include <cstring>
#include <vector>

using Value = JsonValue;

namespace {

// One object's review: its path, the keys planMod reads in it (any other is unknown to the launcher),
// and which of them were met already.
struct ObjectWalk {
  std::string path;  // "" for the root
  std::vector<ManifestKeyId> keys;
  std::vector<bool> seen;
};

bool isKey(const char* key, ManifestKeyId id) {
  return strcmp(key, manifestKey(id)) == 0;
}

// What a value is, as the findings name it.
const char* kindOf(const Value& value) {
  switch (value.GetType()) {
    case rapidjson::kNullType: return "null";
    case rapidjson::kFalseType: return "false";
    case rapidjson::kTrueType: return "true";
    case rapidjson::kObjectType: return "an object";
    case rapidjson::kArrayType: return "an array";
    case rapidjson::kStringType: return "a string";
    case rapidjson::kNumberType: return value.IsDouble() ? "a floating-point number" : "a number";
  }
  return "a value";
}

bool sameName(const Value& name, const char* key) {
  size_t length = strlen(key);
  return name.GetStringLength() == length && memcmp(name.GetString(), key, length) == 0;
}

// The same letters without regard to ASCII case: a likely misspelling of a known key.
bool sameLetters(const Value& name, const char* key) {
  size_t length = strlen(key);
  if (name.GetStringLength() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    char a = name.GetString()[i], b = key[i];
    if (a >= 'a' && a <= 'z') a -= 'a' - 'A';
    if (b >= 'a' && b <= 'z') b -= 'a' - 'A';
    if (a != b) return false;
  }
  return true;
}

std::string memberPath(const ObjectWalk& walk, const Value& name) {
  std::string key = escaped(name.GetString(), name.GetStringLength());
  return walk.path.empty() ? key : walk.path + "." + key;
}

std::string elementPath(const std::string& path, unsigned index) {
  return path + "[" + std::to_string(index) + "]";
}

// The known key that member names, or null (after a note) when the launcher does not read it, or
// null (after a warning) when it is a known key given again: the launcher reads only the first.
const char* knownKey(ObjectWalk& walk, const Value& name, CheckReport& report) {
  for (size_t k = 0; k < walk.keys.size(); ++k) {
    if (!sameName(name, manifestKey(walk.keys[k]))) continue;
    if (walk.seen[k]) {
      addFinding(report, Severity::warning, memberPath(walk, name), "given again: only the first is read");
      return nullptr;
    }
    walk.seen[k] = true;
    return manifestKey(walk.keys[k]);
  }
  if (walk.path.empty() && sameName(name, kManifestSchemaKey)) return nullptr;  // for editors only
  std::string text = "unknown key, not read by the launcher";
  for (ManifestKeyId id : walk.keys)
    if (sameLetters(name, manifestKey(id))) text += std::string(" (it reads \"") + manifestKey(id) + "\")";
  addFinding(report, Severity::note, memberPath(walk, name), text);
  return nullptr;
}

// The walk of an object whose keys are those of parent in the table ("" for the root).
ObjectWalk walkOf(const std::string& path, const char* parent) {
  ObjectWalk walk{path, {}, {}};
  for (unsigned id = 0; id < kManifestKeyCount; ++id)
    if (strcmp(kManifestKeys[id].parent, parent) == 0) walk.keys.push_back(static_cast<ManifestKeyId>(id));
  walk.seen.assign(walk.keys.size(), false);
  return walk;
}

bool met(const ObjectWalk& walk, ManifestKeyId key) {
  for (size_t k = 0; k < walk.keys.size(); ++k)
    if (walk.keys[k] == key) return walk.seen[k];
  return false;
}

// "no \"Name\": consequence", when the object walked lacks the key.
void reviewMissing(const ObjectWalk& walk, ManifestKeyId key, Severity severity, const char* consequence,
                   CheckReport& report) {
  if (met(walk, key)) return;
  addFinding(report, severity, walk.path, std::string("no \"") + manifestKey(key) + "\": " + consequence);
}

void wrongType(CheckReport& report, const std::string& path, const Value& value, const char* wanted,
               const char* consequence) {
  addFinding(report, Severity::warning, path, std::string(kindOf(value)) + ", not " + wanted + ": " + consequence);
}

// Whether the launcher's path mod folder + folder + text (+ an extension) resolves, as the platform
// resolves a path by its text, to a place outside the mod folder. Folder names compare without case.
bool leavesModFolder(const std::string& modFolder, const char* folder, const char* text, size_t length) {
  std::vector<std::string> mod = resolvedParts(modFolder);
  std::vector<std::string> file = resolvedParts(modFolder + folder + std::string(text, length) + ".x");
  if (file.size() <= mod.size()) return true;
  for (size_t i = 0; i < mod.size(); ++i)
    if (nameKey(mod[i]) != nameKey(file[i])) return true;
  return false;
}

// A string naming a file of the mod in folder: the launcher joins it whatever it holds.
void reviewFileName(const Value& value, const char* folder, const std::string& path, CheckReport& report) {
  if (value.IsString() && leavesModFolder(report.modFolder, folder, value.GetString(), value.GetStringLength()))
    addFinding(report, Severity::warning, path,
               quoted(value.GetString(), value.GetStringLength()) +
                   " reaches outside the mod folder: the launcher uses it all the same");
}

// "Name" of an add-on or archive entry, a file in folder: only a string names one.
void reviewName(const Value& value, const char* folder, const std::string& path, CheckReport& report) {
  if (!value.IsString()) wrongType(report, path, value, "a string", "the entry is skipped");
  reviewFileName(value, folder, path, report);
}

void reviewAddon(const Value& entry, const std::string& path, CheckReport& report) {
  if (!entry.IsObject()) {
    wrongType(report, path, entry, "an object", "the entry is skipped");
    return;
  }
  ObjectWalk walk = walkOf(path, manifestKey(kKeyAddons));
  for (const Value::Member& member : entry.GetObject()) {
    const char* key = knownKey(walk, member.name, report);
    if (!key) continue;
    std::string at = memberPath(walk, member.name);
    if (isKey(key, kKeyAddonName)) {
      reviewName(member.value, "Addons\\", at, report);
    } else if (member.value.IsFalse()) {
      addFinding(report, Severity::note, at, "false: the add-on is not loaded");
    } else if (!member.value.IsTrue()) {
      wrongType(report, at, member.value, "true or false", "the add-on is not loaded");
    }
  }
  reviewMissing(walk, kKeyAddonName, Severity::warning, "the entry is skipped", report);
  reviewMissing(walk, kKeyAddonEnable, Severity::warning, "the add-on is not loaded", report);
}

// "Priority": planMod takes the low 32 bits of any integer, and 0 (automatic) for everything else.
void reviewPriority(const Value& value, const std::string& path, CheckReport& report) {
  if (value.IsUint()) return;
  if (value.IsInt64() || value.IsUint64()) {
    bool negative = value.IsInt64() && value.GetInt64() < 0;
    std::string written = negative ? std::to_string(value.GetInt64()) : std::to_string(value.GetUint64());
    unsigned taken = negative ? static_cast<unsigned>(value.GetInt64()) : static_cast<unsigned>(value.GetUint64());
    std::string text = written + " is not an unsigned 32-bit number: taken as " + std::to_string(taken);
    if (taken == 0) text += ", an automatic priority";
    addFinding(report, Severity::warning, path, text);
    return;
  }
  wrongType(report, path, value, "an integer", "an automatic priority is used");
}

void reviewArchive(const Value& entry, const std::string& path, CheckReport& report) {
  if (!entry.IsObject()) {
    wrongType(report, path, entry, "an object", "the entry is skipped");
    return;
  }
  ObjectWalk walk = walkOf(path, manifestKey(kKeyMpqs));
  for (const Value::Member& member : entry.GetObject()) {
    const char* key = knownKey(walk, member.name, report);
    if (!key) continue;
    std::string at = memberPath(walk, member.name);
    if (isKey(key, kKeyMpqName)) reviewName(member.value, "Mpqs\\", at, report);
    else reviewPriority(member.value, at, report);
  }
  reviewMissing(walk, kKeyMpqName, Severity::warning, "the entry is skipped", report);
}

void reviewPreview(const Value& preview, const std::string& path, CheckReport& report) {
  ObjectWalk walk = walkOf(path, manifestKey(kKeyPreview));
  for (const Value::Member& member : preview.GetObject()) {
    const char* key = knownKey(walk, member.name, report);
    if (!key) continue;
    std::string at = memberPath(walk, member.name);
    const Value& value = member.value;
    if (isKey(key, kKeyPreviewEnable)) {
      if (!value.IsBool()) wrongType(report, at, value, "true or false", "the splash is off");
    } else if (isKey(key, kKeyPreviewLogo)) {
      if (!value.IsString()) wrongType(report, at, value, "a string", "the splash shows its built-in picture");
      reviewFileName(value, "", at, report);
    } else if (!value.IsString()) {
      wrongType(report, at, value, "a string", "the splash shows its built-in text");
    }
  }
}

void reviewRace(const Value& race, const std::string& path, CheckReport& report) {
  ObjectWalk walk = walkOf(path, manifestKey(kKeyRaces));
  for (const Value::Member& member : race.GetObject()) {
    const char* key = knownKey(walk, member.name, report);
    if (!key || member.value.IsString()) continue;
    bool skin = isKey(key, kKeyRaceSkin);
    wrongType(report, memberPath(walk, member.name), member.value, "a string",
              skin ? "\"Default\" is used" : "\"UNKNOWN\" is used");
  }
  reviewMissing(walk, kKeyRaceSkin, Severity::note, "\"Default\" is used", report);
  reviewMissing(walk, kKeyRaceKey, Severity::note, "\"UNKNOWN\" is used", report);
}

void reviewRaces(const Value& races, const std::string& path, CheckReport& report) {
  unsigned taken = 0;
  for (unsigned i = 0; i < races.Size(); ++i) {
    if (taken == kMaxRaces) {
      addFinding(report, Severity::warning, elementPath(path, i),
                 "beyond " + std::to_string(kMaxRaces) + " races: " + std::to_string(races.Size() - i) +
                     (races.Size() - i == 1 ? " entry" : " entries") + " from here on are dropped");
      return;
    }
    const Value& race = races[i];
    ++taken;  // an element that is not an object keeps its place, so the races after it keep their numbers
    if (!race.IsObject())
      wrongType(report, elementPath(path, i), race, "an object", "\"Default\" and \"UNKNOWN\" are used");
    else reviewRace(race, elementPath(path, i), report);
  }
}

// An array of entries, each reviewed by entryReview; anything else loses the whole key.
void reviewArray(const Value& value, const std::string& path, const char* consequence, CheckReport& report,
                 void (*entryReview)(const Value&, const std::string&, CheckReport&)) {
  if (!value.IsArray()) {
    wrongType(report, path, value, "an array", consequence);
    return;
  }
  for (unsigned i = 0; i < value.Size(); ++i) entryReview(value[i], elementPath(path, i), report);
}

}  // namespace

void reviewManifest(const Value& root, const std::string& manifestPath, CheckReport& report) {
  if (!root.IsObject()) {
    wrongType(report, manifestPath, root, "an object", "nothing of the mod is applied");
    return;
  }
  ObjectWalk walk = walkOf("", "");
  for (const Value::Member& member : root.GetObject()) {
    const char* key = knownKey(walk, member.name, report);
    if (!key) continue;
    std::string path = memberPath(walk, member.name);
    const Value& value = member.value;
    if (isKey(key, kKeyAddons)) {
      reviewArray(value, path, "no add-on is loaded", report, reviewAddon);
    } else if (isKey(key, kKeyMpqs)) {
      reviewArray(value, path, "no archive is opened", report, reviewArchive);
    } else if (isKey(key, kKeyRaces)) {
      if (value.IsArray()) reviewRaces(value, path, report);
      else wrongType(report, path, value, "an array", "the four standard races are used");
    } else if (isKey(key, kKeyPreview)) {
      if (value.IsObject()) reviewPreview(value, path, report);
      else wrongType(report, path, value, "an object", "the splash keeps its defaults");
    } else if (!value.IsString()) {
      const char* consequence = isKey(key, kKeyModName)   ? "the title stays \"Corvane\""
                                : isKey(key, kKeyModIcon) ? "the launcher's icon is used"
                                                          : "the launcher's version text stays";
      wrongType(report, path, value, "a string", consequence);
    } else if (isKey(key, kKeyModIcon)) {
      reviewFileName(value, "", path, report);
    }
  }
}
