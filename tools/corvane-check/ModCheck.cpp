// The checker's one pass: the manifest text, the review of its keys, the launcher's plan of the mod
// with the files it names, and the game module.
#include "tools/corvane-check/ModCheck.h"

#include "json/BoundDocument.h"
#include "json/NodeRecord.h"
#include "launcher/ManifestKeys.h"
#include "launcher/ModPlan.h"
#include "tools/corvane-check/AddonImports.h"
#include "tools/corvane-check/FileFormats.h"
#include "tools/corvane-check/HostFiles.h"
#include "tools/corvane-check/ManifestReview.h"
#include "tools/corvane-check/ManifestText.h"
#include "tools/corvane-check/PeImage.h"

#include <rapidjson/error/en.h>

#include <cstring>
#include <set>

namespace {

const char kGameModule[] = ".\\Game.dll";
const char kGameEntry[] = "GameMain";
const char* const kLauncherName = kManifestKeys[kKeyModName].defaultValue;
const char* const kGameArchives[] = {"War3.mpq", "War3x.mpq", "War3xLocal.mpq", "War3Patch.mpq"};
const size_t kModuleReadLimit = 256u << 20;  // a longer module is read this far
const size_t kPictureReadLimit = 64u << 20;
const char kUnwritable[] = "cannot be made: the game folder cannot be written";

// What the launcher makes in the game folder, and what is lost when it cannot. (The mods folder it makes
// too is there: the mod checked lies in it.)
struct Made {
  const char* path;
  const char* loss;
};
const Made kMade[] = {
    {".\\Corvane.json", "the launcher keeps no settings and shows no warning box for an archive"},
    {".\\Configs", "add-ons' documents are not saved"},
};

bool sameModule(const std::string& imported, const char* name) {
  // The loader appends ".dll" to a name without one and compares without regard to letter case.
  std::string wanted = name;
  std::string given = imported;
  for (char& c : given)
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
  return given == wanted || given == wanted + ".dll";
}

bool importsModule(const PeFacts& facts, const char* name) {
  for (const PeImport& import : facts.imports)
    if (sameModule(import.module, name)) return true;
  return false;
}

bool exportsName(const PeFacts& facts, const char* name) {
  for (const std::string& exported : facts.exports)
    if (exported == name) return true;
  return false;
}

// Reads a module file; false, after a warning with consequence, when it is missing or not a 32-bit
// x86 DLL.
bool readModule(const std::string& path, const char* consequence, PeFacts& facts, CheckReport& report) {
  std::vector<unsigned char> bytes;
  if (!readFileBytes(path, kModuleReadLimit, bytes)) {
    addFinding(report, Severity::warning, path, std::string("missing: ") + consequence);
    return false;
  }
  readPeFile(bytes.data(), bytes.size(), facts);
  if (facts.kind == PeKind::library) return true;
  addFinding(report, Severity::warning, path, describeKind(facts) + ": " + consequence);
  return false;
}

// The path as the platform resolves it, letters without case: two paths of one file give one key.
std::string fileKey(const std::string& path) {
  std::string key;
  for (const std::string& part : resolvedParts(path)) key += nameKey(part) + "\\";
  return key;
}

// Each enabled add-on, whether it loads and why not; one enabled twice is loaded once.
void checkAddons(const ModPlan& plan, CheckReport& report) {
  if (plan.addonPaths.empty()) addLine(report, "add-ons: none");
  std::set<std::string> loaded = launcherModules();
  for (size_t i = 0; i < plan.addonPaths.size(); ++i) {
    const char* path = plan.addonPaths[i];
    size_t line = report.lines.size();
    addLine(report, std::string("add-on ") + path);
    size_t before = 0;
    while (before < i && fileKey(plan.addonPaths[before]) != fileKey(path)) ++before;
    if (before < i) {
      addFinding(report, Severity::warning, path,
                 std::string("the same DLL as ") + plan.addonPaths[before] + ", enabled before it: it is loaded once");
      report.addons.push_back({path, report.addons[before].loads});
      continue;
    }
    bool loads = checkAddonLoads(path, loaded, report);
    if (loads) report.lines[line] += ": loads";
    report.addons.push_back({path, loads});
  }
}

// The heading line of an archive with what it holds, then the findings about it.
void reportArchive(const ArchiveFacts& facts, const std::string& heading, const std::string& consequence,
                   CheckReport& report) {
  std::string holds = facts.listfile ? counted(facts.files.size(), "file") : "no listfile";
  addLine(report, facts.error ? heading : heading + ": " + holds);
  if (facts.error) {
    std::string error = facts.detail.empty() ? facts.error : std::string(facts.error) + " (" + facts.detail + ")";
    addFinding(report, Severity::warning, facts.path, error + ": " + consequence);
  } else if (facts.listfileHeld && !facts.listfile) {
    addFinding(report, Severity::warning, facts.path,
               "its listfile cannot be read: which files it holds cannot be known");
  } else if (!facts.listfile) {
    addFinding(report, Severity::note, facts.path, "no listfile: its conflicts with other archives cannot be known");
  }
  // The library answers for a name with the first archive that holds it, readable or not.
  for (const std::string& name : facts.unreadable)
    addFinding(report, Severity::warning, facts.path,
               name +
                   " cannot be read: where this archive serves it, the game gets an error, not another "
                   "archive's copy");
}

std::string withPriority(const ArchiveFacts& facts) {
  return facts.name + " (" + std::to_string(facts.priority) + ")";
}

// "conflict NAME: WINNER (P) wins over HIDDEN (P), ...; also in the game's GAME, ..."
std::string conflictLine(const Conflict& conflict, const std::vector<ArchiveFacts>& archives) {
  std::string line = "conflict " + conflict.file + ": " + withPriority(archives[conflict.winner]);
  for (size_t k = 0; k < conflict.hidden.size(); ++k)
    line += (k ? ", " : " wins over ") + withPriority(archives[conflict.hidden[k]]);
  for (size_t k = 0; k < conflict.game.size(); ++k)
    line += (k ? ", " : "; also in the game's ") + archives[conflict.game[k]].name;
  return line;
}

// The archive at path read with the archive library; the launcher's archives are read whole.
ArchiveFacts readFacts(const std::string& name, const std::string& path, ArchiveKind kind, unsigned priority) {
  ArchiveFacts facts;
  facts.name = name;
  facts.path = path;
  facts.kind = kind;
  facts.priority = priority;
  readArchive(facts, kind != ArchiveKind::game);
  return facts;
}

// Reads an archive the launcher or the game opens besides the mod's, when it is there.
void checkOtherArchive(const char* name, ArchiveKind kind, CheckReport& report) {
  unsigned priority = kind == ArchiveKind::engine ? kEngineArchivePriority : 0;
  ArchiveFacts facts = readFacts(name, std::string(".\\") + name, kind, priority);
  bool engine = kind == ArchiveKind::engine;
  if (facts.error && strcmp(facts.error, "missing") == 0) {
    if (engine) addFinding(report, Severity::note, facts.path, "missing: the launcher opens no engine archive");
    return;
  }
  std::string heading =
      engine ? "engine archive " + std::to_string(facts.priority) + " " + facts.path : "game archive " + facts.path;
  reportArchive(facts, heading, engine ? "the launcher's own files are not served" : "the game cannot open it", report);
  report.archives.push_back(facts);
}

// The mod's archives (when the manifest was read), the engine archive and the game's, then the names
// that more than one of them hold.
void checkArchives(const ModPlan* plan, CheckReport& report) {
  if (plan && plan->archives.empty()) addLine(report, "archives: none");
  for (const ArchivePlan& archive : plan ? plan->archives : std::vector<ArchivePlan>()) {
    std::string name = std::string(archive.name) + ".mpq";
    ArchiveFacts facts = readFacts(name, archive.path, ArchiveKind::mod, archive.priority);
    // The launcher's warning box names the archive as the manifest does.
    reportArchive(facts, "archive " + std::to_string(archive.priority) + " " + archive.path,
                  "the archive does not open (\"Failed to open " + facts.name + "\")", report);
    report.archives.push_back(facts);
  }
  checkOtherArchive(kEngineArchive, ArchiveKind::engine, report);
  for (const char* name : kGameArchives) checkOtherArchive(name, ArchiveKind::game, report);
  report.conflicts = findConflicts(report.archives);
  for (const Conflict& conflict : report.conflicts) addLine(report, conflictLine(conflict, report.archives));
}

// The picture file at path: missing, not of its format, or fine.
void checkPicture(const char* path, bool (*isFormat)(const unsigned char*, size_t), const char* format,
                  const char* whenMissing, const char* whenWrong, CheckReport& report) {
  std::vector<unsigned char> bytes;
  if (!readFileBytes(path, kPictureReadLimit, bytes)) {
    addFinding(report, Severity::warning, path, std::string("missing: ") + whenMissing);
    return;
  }
  if (!isFormat(bytes.data(), bytes.size()))
    addFinding(report, Severity::warning, path, std::string("not ") + format + ": " + whenWrong);
}

void checkDisplay(const ModPlan& plan, CheckReport& report) {
  addLine(report, plan.hasName ? "name " + quoted(plan.name) : "name " + quoted(kLauncherName) + " (the launcher's)");
  if (plan.hasIcon) {
    addLine(report, std::string("icon ") + plan.iconPath);
    checkPicture(plan.iconPath, isIconFile, "an ICO file", "the launcher's icon is used", "the game gets no icon",
                 report);
  } else {
    addLine(report, "icon: the launcher's");
  }
  addLine(report, plan.hasVersion ? "version " + quoted(plan.version) : "version: the launcher's");

  if (!plan.previewEnabled) {
    addLine(report, "splash off");
    return;
  }
  std::string picture = plan.previewLogo ? std::string("picture ") + plan.previewLogo : "built-in picture";
  std::string text = plan.previewInfo ? "text " + quoted(plan.previewInfo) : "built-in text";
  addLine(report, "splash on: " + picture + ", " + text);
  if (plan.previewLogo)
    checkPicture(plan.previewLogo, isBitmapFile, "a BMP file", "the splash shows its built-in picture",
                 "no splash is shown", report);
}

void checkRaces(const ModPlan& plan, CheckReport& report) {
  if (plan.raceSkins.empty()) addLine(report, "races: none given: the four standard races are used");
  for (size_t i = 0; i < plan.raceSkins.size(); ++i)
    addLine(report, "race " + std::to_string(i + 1) + " " + quoted(plan.raceSkins[i]) + " " + quoted(plan.raceKeys[i]));
}

void checkGame(CheckReport& report) {
  PeFacts facts;
  const char* stops = "the game does not start";
  unsigned before = report.warnings;
  size_t headline = report.lines.size();
  addLine(report, std::string("game ") + kGameModule);
  if (!readModule(kGameModule, stops, facts, report)) return;
  if (facts.versioned) {
    const uint16_t* v = facts.fileVersion;
    report.gameVersion =
        std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
  }
  report.lines[headline] += facts.versioned ? ": version " + report.gameVersion : ": no version resource";
  if (!exportsName(facts, kGameEntry))
    addFinding(report, Severity::warning, kGameModule, std::string("does not export ") + kGameEntry + ": " + stops);
  if (!importsModule(facts, "user32"))
    addFinding(report, Severity::warning, kGameModule,
               "does not import user32.dll: the game keeps its own title, cursor and icon");
  if (!importsModule(facts, "storm"))
    addFinding(report, Severity::warning, kGameModule,
               "does not import Storm.dll: the launcher's archive hooks and code patches are not installed");
  if (report.warnings == before)
    report.lines[headline] += std::string(", exports ") + kGameEntry + ", imports user32.dll and Storm.dll";
}

// What the launcher makes in the game folder at every start, where the folder cannot be written.
void checkGameFolder(CheckReport& report) {
  if (canMakeFiles(".\\")) return;
  for (const Made& made : kMade)
    if (pathKind(made.path) == PathKind::none)
      addFinding(report, Severity::warning, made.path,
                 std::string(kUnwritable) + ": " + made.loss + ": put the game in a folder you can write");
}

// The manifest could be read: review its keys, then take the launcher's plan of it.
void checkManifest(const std::string& modFolder, const std::string& manifestPath, CheckReport& report) {
  // Open and planMod as the launcher calls them; the folder stays in the launcher's form, so the
  // plan's paths are the ones the launcher will open.
  std::string* openedPath = new std::string(hostPath(manifestPath));  // the document keeps the pointer
  BoundDocument manifest(openedPath->c_str(), false);                 // the plan's strings point into it
  if (!manifest.record->exists) {
    addFinding(report, Severity::error, manifestPath, "unreadable: nothing of the mod is applied");
    return;
  }
  reviewManifest(*manifest.record->value, manifestPath, report);  // the tree the launcher parsed
  ModPlan plan;
  planMod(manifest.document, modFolder.c_str(), plan);
  checkAddons(plan, report);
  checkArchives(&plan, report);
  checkDisplay(plan, report);
  checkRaces(plan, report);
}

}  // namespace

void checkMod(const char* name, CheckReport& report) {
  std::string modFolder = std::string(".\\mods\\") + name + "\\";
  report.modFolder = modFolder;
  std::string manifestPath = modFolder + "manifest.json";
  addLine(report, "mod " + std::string(name) + ": " + manifestPath);

  ManifestText text;
  readManifestText(hostPath(manifestPath).c_str(), text);
  if (!text.found) {
    addFinding(report, Severity::error, manifestPath, "missing: nothing of the mod is applied");
  } else if (text.error != rapidjson::kParseErrorNone) {
    std::string place = manifestPath + ":" + std::to_string(text.line) + ":" + std::to_string(text.column);
    addFinding(report, Severity::error, place, rapidjson::GetParseError_En(text.error));
    if (text.byteOrderMark)
      addFinding(report, Severity::note, manifestPath,
                 "starts with a UTF-8 byte order mark, which the launcher's reader does not accept");
  } else {
    checkManifest(modFolder, manifestPath, report);
  }
  if (report.errors) checkArchives(nullptr, report);  // the engine's and the game's are opened all the same
  checkGame(report);
  checkGameFolder(report);
  addLine(report, resultLine(report));
}
