// Every key of manifest.json in one table: where it sits, its JSON type, its default and what it does.
// The loader and corvane-check name keys through it; tools/manifest-schema.py reads its rows (and the
// race limit of launcher/ModPlan.h) to make docs/manifest.schema.json, and the documentation check
// compares docs/manifest.md with it.
#pragma once

#include "patching/RaceTexts.h"

enum ManifestKeyId : unsigned {
  kKeyAddons,
  kKeyMpqs,
  kKeyModName,
  kKeyModIcon,
  kKeyModVersion,
  kKeyPreview,
  kKeyRaces,
  kKeyAddonName,
  kKeyAddonEnable,
  kKeyMpqName,
  kKeyMpqPriority,
  kKeyPreviewEnable,
  kKeyPreviewLogo,
  kKeyPreviewInfo,
  kKeyRaceSkin,
  kKeyRaceKey,
  kManifestKeyCount
};

struct ManifestKey {
  const char* parent;  // "" for the root; else the key whose object, or whose array's entries, hold it
  const char* name;
  const char* type;          // "array" (of objects), "object", "string", "boolean" or "uint32"
  const char* defaultValue;  // written as its type writes it, text without quotes; null: nothing to name
  bool required;             // the entry is skipped without it
  const char* description;
};

// In the order of ManifestKeyId; tools/manifest-schema.py reads the rows as written here (a default named
// by a constant of an included header is read from that header).
constexpr ManifestKey kManifestKeys[kManifestKeyCount] = {
    {"", "Addons", "array", "[]", false, "Add-on DLLs, loaded in this order before anything else of the mod."},
    {"", "Mpqs", "array", "[]", false, "MPQ archives, opened in this order with their priorities."},
    {"", "ModName", "string", "Corvane", false, "The game window's title."},
    {"", "ModIcon", "string", nullptr, false,
     "The game window's icon: mods\\NAME\\ + this + .ico (without it, the launcher's icon)."},
    {"", "ModVersion", "string", nullptr, false,
     "The version text the game shows (without it, the launcher's own, made from its version)."},
    {"", "Preview", "object", nullptr, false,
     "The splash window (without it: on, with the built-in picture and credit line)."},
    {"", "Races", "array", "[]", false,
     "The races, replacing the four standard ones (none given: Human, Orc, Undead, NightElf); "
     "the first 255 are used, and the rest dropped."},
    {"Addons", "Name", "string", nullptr, true,
     "File name without extension: loads mods\\NAME\\Addons\\ + this + .dll."},
    {"Addons", "Enable", "boolean", "false", true, "Only true loads the add-on."},
    {"Mpqs", "Name", "string", nullptr, true, "File name without extension: opens mods\\NAME\\Mpqs\\ + this + .mpq."},
    {"Mpqs", "Priority", "uint32", "0", false,
     "Higher serves first; 0 takes the next automatic priority, above every one met before (from 10)."},
    {"Preview", "Enable", "boolean", "true", false, "Only true keeps the splash window on."},
    {"Preview", "Logo", "string", nullptr, false,
     "The splash picture: mods\\NAME\\ + this + .bmp (without it, the built-in picture)."},
    {"Preview", "Info", "string", nullptr, false,
     "The text under the picture; \\n starts a new line (without it, the built-in credit line)."},
    {"Races", "Skin", "string", kDefaultRaceSkin, false, "The race's skin name."},
    {"Races", "RaceKey", "string", kUnknownRaceKey, false, "The race's key."},
};

// The key an editor reads to find the schema; the launcher does not read it.
const char kManifestSchemaKey[] = "$schema";

inline const char* manifestKey(ManifestKeyId id) {
  return kManifestKeys[id].name;
}
