// A mod's manifest read into what the launcher will do with it; no platform calls.
#pragma once

#include "CJSON_Exp.h"

#include <vector>

// The game keeps its race count in one byte.
const unsigned kMaxRaces = 255;
// The engine archive, in the game folder, opened after the mod's; automatic archive priorities count up
// from above its priority.
const char kEngineArchive[] = "Corvane.mpq";
const unsigned kEngineArchivePriority = 9;

struct ArchivePlan {
  const char* name;  // as in the manifest: the warning names it
  const char* path;  // mod folder + "Mpqs\" + name + ".mpq"
  unsigned priority;
};

// Strings point into the manifest document's storage; paths are heap strings that are never freed.
// A key whose value is missing or of the wrong JSON type leaves its has... flag false.
struct ModPlan {
  std::vector<const char*> addonPaths;  // enabled add-ons, in manifest order
  std::vector<ArchivePlan> archives;    // named archives, in manifest order
  bool hasName;
  const char* name;
  bool hasIcon;
  const char* iconPath;  // mod folder + "ModIcon" + ".ico"
  bool hasVersion;
  const char* version;
  bool hasPreview;
  bool previewEnabled;
  char* previewLogo;                   // mod folder + "Logo" + ".bmp", or null
  const char* previewInfo;             // or null
  std::vector<const char*> raceSkins;  // at most kMaxRaces, parallel to raceKeys
  std::vector<const char*> raceKeys;
};

// Reads manifest (an existing document) for the mod in modFolder (".\mods\" + mod + "\").
void planMod(CJSON_Exp& manifest, const char* modFolder, ModPlan& plan);

// The running maximum starts at 9; an explicit priority above it raises it, and 0 takes the next one up.
// Unsigned 32-bit throughout. Returns the priority to open with and updates maximum.
unsigned nextArchivePriority(unsigned requested, unsigned& maximum);
