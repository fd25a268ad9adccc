// Following an add-on's imports through the folders the platform's loader searches.
#include "tools/corvane-check/AddonImports.h"

#include "tools/corvane-check/HostFiles.h"
#include "tools/corvane-check/PeImage.h"

#include <map>
#include <vector>

namespace {

const char kConsequence[] = ": the add-on does not run";
const size_t kModuleReadLimit = 256u << 20;  // a longer module is read this far

// Corvane.exe's exported names, made by the build from exports/Corvane.exports.
const char* const kCorvaneExports[] = {
#include "CorvaneExports.inc"
};

#ifndef _WIN32
// The system's own DLLs, met where there are no system folders to search (the Linux build).
const char* const kSystemModules[] = {
    "advapi32.dll", "bcrypt.dll",   "comctl32.dll", "comdlg32.dll", "crypt32.dll",  "d3d8.dll",     "d3d9.dll",
    "dbghelp.dll",  "ddraw.dll",    "dinput8.dll",  "dsound.dll",   "dwmapi.dll",   "gdi32.dll",    "glu32.dll",
    "imm32.dll",    "iphlpapi.dll", "kernel32.dll", "msimg32.dll",  "msvcrt.dll",   "mswsock.dll",  "ntdll.dll",
    "ole32.dll",    "oleaut32.dll", "opengl32.dll", "psapi.dll",    "rpcrt4.dll",   "secur32.dll",  "setupapi.dll",
    "shell32.dll",  "shlwapi.dll",  "ucrtbase.dll", "urlmon.dll",   "user32.dll",   "userenv.dll",  "uxtheme.dll",
    "version.dll",  "winhttp.dll",  "wininet.dll",  "winmm.dll",    "winspool.drv", "wintrust.dll", "ws2_32.dll",
    "wsock32.dll"};
#endif

// Microsoft's C++ runtimes by file name, with the redistributable a player installs for each.
struct Runtime {
  const char* name;
  const char* package;
};
const Runtime kRuntimes[] = {{"msvcp140", "2015–2022"}, {"vcruntime140", "2015–2022"}, {"concrt140", "2015–2022"},
                             {"vcomp140", "2015–2022"}, {"msvcp120", "2013"},          {"msvcr120", "2013"},
                             {"msvcp110", "2012"},      {"msvcr110", "2012"},          {"msvcp100", "2010"},
                             {"msvcr100", "2010"},      {"ucrtbase", "2015–2022"}};

// The loader's name of a module: lower case, ".dll" added when it has no extension.
std::string moduleKey(const std::string& name) {
  std::string key = name;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
  return key.find('.') == std::string::npos ? key + ".dll" : key;
}

bool isSystemModule(const std::string& key) {
  if (key.compare(0, 7, "api-ms-") == 0 || key.compare(0, 7, "ext-ms-") == 0) return true;  // the API sets
#ifndef _WIN32
  for (const char* name : kSystemModules)
    if (key == name) return true;
#endif
  return false;
}

// Why a module that is not found will not be: a C++ runtime of Microsoft's, or where it lies instead.
std::string notFound(const std::string& module, const std::string& addonFolder) {
  std::string key = moduleKey(module);
  std::string stem = key.substr(0, key.rfind('.'));
  for (const Runtime& runtime : kRuntimes) {
    if (stem == std::string(runtime.name) + "d") return module + " is not found: built in Debug: rebuild in Release";
    if (stem == runtime.name)
      return module + " is not found: install the x86 Visual C++ Redistributable for " + runtime.package;
  }
  if (pathKind(addonFolder + module) == PathKind::file)
    return module + " lies beside the add-on, where the game does not look: put it in the game folder";
  return module + " is not found in the game folder, the system folders, the current folder or PATH";
}

struct Walk {
  const std::string& path;  // the add-on's
  std::string folder;       // the add-on's folder
  const std::set<std::string>& loaded;
  std::vector<SearchFolder> folders;
  std::map<std::string, PeFacts> read;  // the modules found outside the system folders, by key
  CheckReport& report;
  bool loads;

  void problem(const std::string& chain, const std::string& text) {
    addFinding(report, Severity::warning, path, chain + ": " + text + kConsequence);
    loads = false;
  }
};

bool exports(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& exported : names)
    if (exported == name) return true;
  return false;
}

bool corvaneExports(const std::string& name) {
  for (const char* exported : kCorvaneExports)
    if (name == exported) return true;
  return false;
}

void walkImports(Walk& walk, const PeFacts& facts, const std::string& chain) {
  for (const PeImport& import : facts.imports) {
    std::string key = moduleKey(import.module);
    std::string link = chain + " → " + import.module;
    if (key == "corvane.exe") {
      for (const std::string& function : import.functions)
        if (!corvaneExports(function))
          walk.problem(link, "imports " + function +
                                 ", which this Corvane does not export: built for a newer Corvane, or a different one");
      continue;
    }
    if (walk.loaded.count(key) || isSystemModule(key)) continue;
    const SearchFolder* found = nullptr;
    for (const SearchFolder& folder : walk.folders)
      if (!found && pathKind(folder.path + import.module) == PathKind::file) found = &folder;
    if (!found) {
      walk.problem(link, notFound(import.module, walk.folder));
      continue;
    }
    if (found->system) continue;
    bool first = !walk.read.count(key);
    PeFacts& module = walk.read[key];
    std::vector<unsigned char> bytes;
    if (first && readFileBytes(found->path + import.module, kModuleReadLimit, bytes))
      readPeFile(bytes.data(), bytes.size(), module);
    if (module.kind != PeKind::library) {
      if (first) walk.problem(link, import.module + " is " + describeKind(module));
      continue;
    }
    for (const std::string& function : import.functions)
      if (!exports(module.exports, function))
        walk.problem(link, "imports " + function + ", which " + import.module + " does not export");
    if (first) walkImports(walk, module, link);
  }
}

}  // namespace

std::set<std::string> launcherModules() {
  return {"corvane.exe", "game.dll", "storm.dll"};
}

bool checkAddonLoads(const std::string& path, std::set<std::string>& loaded, CheckReport& report) {
  std::vector<unsigned char> bytes;
  if (!readFileBytes(path, kModuleReadLimit, bytes)) {
    addFinding(report, Severity::warning, path, std::string("missing") + kConsequence);
    return false;
  }
  PeFacts facts;
  readPeFile(bytes.data(), bytes.size(), facts);
  if (facts.kind != PeKind::library) {
    addFinding(report, Severity::warning, path, describeKind(facts) + kConsequence);
    return false;
  }
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  Walk walk{path, path.substr(0, path.size() - name.size()), loaded, moduleSearchFolders(), {}, report, true};
  walkImports(walk, facts, name);
  if (walk.loads) loaded.insert(moduleKey(name));
  return walk.loads;
}
