// Reading manifests into mod plans, one row per manifest: paths, priorities at their edges, display
// data, races, and every key with a value of the wrong type. Platform-free: it also runs in the native
// build.
#include "json/BoundDocument.h"
#include "launcher/ModPlan.h"
#include "support/TempFolder.h"

#include <cstdlib>
#include <string>

namespace {

const char kFolder[] = ".\\mods\\Test\\";

// A text as the rows show it: "-" for null, "~" for the mod folder at its start.
std::string shown(const char* text) {
  if (!text) return "-";
  std::string shown = text;
  return shown.compare(0, sizeof kFolder - 1, kFolder) == 0 ? "~" + shown.substr(sizeof kFolder - 1) : shown;
}

// What a plan says, one line per item in the order the loader applies them ("-" for a null text).
std::string describe(const ModPlan& plan) {
  std::string lines;
  for (const char* path : plan.addonPaths) lines += "addon " + shown(path) + "\n";
  for (const ArchivePlan& archive : plan.archives)
    lines +=
        "archive " + shown(archive.name) + " " + shown(archive.path) + " " + std::to_string(archive.priority) + "\n";
  if (plan.hasName) lines += "name " + shown(plan.name) + "\n";
  if (plan.hasIcon) lines += "icon " + shown(plan.iconPath) + "\n";
  if (plan.hasVersion) lines += "version " + shown(plan.version) + "\n";
  if (plan.hasPreview || !plan.previewEnabled)
    lines += std::string(plan.previewEnabled ? "preview on " : "preview off ") + shown(plan.previewLogo) + " " +
             shown(plan.previewInfo) + "\n";
  for (size_t i = 0; i < plan.raceSkins.size() || i < plan.raceKeys.size(); ++i) {
    lines += "race " + shown(i < plan.raceSkins.size() ? plan.raceSkins[i] : nullptr) + " " +
             shown(i < plan.raceKeys.size() ? plan.raceKeys[i] : nullptr) + "\n";
  }
  return lines;
}

class ModPlanTest : public TempFolderTest {
protected:
  // The plan of a manifest holding text, for the mod Test, described; the launcher never frees a
  // plan's paths, the test does.
  std::string planOf(const std::string& text) {
    writeFile("manifest.json", text);
    BoundDocument manifest("manifest.json", false);
    ModPlan plan;
    planMod(manifest.document, kFolder, plan);
    std::string described = describe(plan);
    for (const char* path : plan.addonPaths) free(const_cast<char*>(path));
    for (const ArchivePlan& archive : plan.archives) free(const_cast<char*>(archive.path));
    free(const_cast<char*>(plan.iconPath));
    free(plan.previewLogo);
    return described;
  }
};

TEST_F(ModPlanTest, ManifestsBecomePlans) {
  // The game counts races in one byte: the first 255 are kept.
  std::string races, kept;
  for (int i = 0; i < 256; ++i) {
    races += (i ? ", {\"RaceKey\": \"K" : "{\"RaceKey\": \"K") + std::to_string(i) + "\"}";
    if (i < 255) kept += "race Default K" + std::to_string(i) + "\n";
  }
  const std::pair<std::string, std::string> rows[] = {
      {R"({"ModName": "Test Mod", "ModIcon": "icon", "ModVersion": "Test Mod 1.0",
          "Preview": {"Enable": true, "Logo": "logo", "Info": "A test of every key"},
          "Addons": [{"Name": "tools", "Enable": true}], "Mpqs": [{"Name": "data"}, {"Name": "patch", "Priority": 20}],
          "Races": [{"Skin": "Pirates", "RaceKey": "PIRATE"}]})",
       "addon ~Addons\\tools.dll\n"
       "archive data ~Mpqs\\data.mpq 10\n"
       "archive patch ~Mpqs\\patch.mpq 20\n"
       "name Test Mod\nicon ~icon.ico\nversion Test Mod 1.0\n"
       "preview on ~logo.bmp A test of every key\nrace Pirates PIRATE\n"},
      // Roots that are not objects, and text that is no JSON, plan nothing.
      {R"([{"ModName": "x"}])", ""},
      {"not json", ""},
      // Priorities: automatic ones above every explicit one met before, an entry without a name skipped.
      {R"({"Mpqs": [{"Name": "one"}, {"Name": "two", "Priority": 20}, {"Name": "three"}, {"Priority": 99},
          {"Name": "four", "Priority": 5}, {"Name": "five"}, {"Name": "zero", "Priority": 0}]})",
       "archive one ~Mpqs\\one.mpq 10\narchive two ~Mpqs\\two.mpq 20\n"
       "archive three ~Mpqs\\three.mpq 21\narchive four ~Mpqs\\four.mpq 5\n"
       "archive five ~Mpqs\\five.mpq 22\narchive zero ~Mpqs\\zero.mpq 23\n"},
      // At the edges: 1 and the engine archive's 9 leave the maximum, 10 raises it; the empty name is a
      // name and takes a priority.
      {R"({"Mpqs": [{"Name": "a", "Priority": 1}, {"Name": "b", "Priority": 9}, {"Name": "c", "Priority": 10},
          {"Name": ""}, {"Name": "d"}]})",
       "archive a ~Mpqs\\a.mpq 1\narchive b ~Mpqs\\b.mpq 9\n"
       "archive c ~Mpqs\\c.mpq 10\narchive  ~Mpqs\\.mpq 11\n"
       "archive d ~Mpqs\\d.mpq 12\n"},
      // Unsigned 32-bit: -1 is 4294967295 too, and the next automatic priority wraps round to 0.
      {R"({"Mpqs": [{"Name": "a", "Priority": 4294967295}, {"Name": "b"}, {"Name": "c", "Priority": -1}, {"Name": "d"}]})",
       "archive a ~Mpqs\\a.mpq 4294967295\narchive b ~Mpqs\\b.mpq 0\n"
       "archive c ~Mpqs\\c.mpq 4294967295\narchive d ~Mpqs\\d.mpq 0\n"},
      // Empty texts are texts; an empty Races array gives no race (the launch then puts in the standard four).
      {R"({"Addons": [{"Name": "", "Enable": true}], "ModName": "", "ModIcon": "", "ModVersion": "",
          "Preview": {"Logo": "", "Info": ""}, "Races": [{"Skin": "", "RaceKey": ""}, {}]})",
       "addon ~Addons\\.dll\nname \nicon ~.ico\nversion \n"
       "preview on ~.bmp \nrace  \nrace Default UNKNOWN\n"},
      {R"({"Races": [], "Preview": {}})", "preview on - -\n"},
      {R"({"Preview": {"Enable": false}})", "preview off - -\n"},
      // Every key with a value of the wrong type counts as missing; an array entry that is not an object
      // is skipped, but a race keeps its place, so the races after it keep their numbers.
      {R"({"Addons": {"Name": "x", "Enable": true}, "Mpqs": "data", "ModName": 5, "ModIcon": ["icon"],
          "ModVersion": true, "Preview": [1], "Races": {"Skin": "S"}})",
       ""},
      {R"({"Addons": [5, {"Name": 5, "Enable": true}, {"Name": "on", "Enable": true}, {"Name": "off", "Enable": "true"},
          {"Name": "one", "Enable": 1}]})",
       "addon ~Addons\\on.dll\n"},
      {R"({"Mpqs": [null, {"Name": ["a"]}, {"Name": "text", "Priority": "50"}, {"Name": "real", "Priority": 50.0},
          {"Name": "flag", "Priority": true}, {"Name": "none", "Priority": null}]})",
       "archive text ~Mpqs\\text.mpq 10\narchive real ~Mpqs\\real.mpq 11\n"
       "archive flag ~Mpqs\\flag.mpq 12\narchive none ~Mpqs\\none.mpq 13\n"},
      // Once "Enable" is there, only the literal true keeps the splash on.
      {R"({"Preview": {"Enable": 1, "Logo": 3, "Info": {}}})", "preview off - -\n"},
      {R"({"Races": [1, {"Skin": 2, "RaceKey": null}, []]})",
       "race Default UNKNOWN\nrace Default UNKNOWN\nrace Default UNKNOWN\n"},
      {"{\"Races\": [" + races + "]}", kept},
  };
  for (const auto& row : rows) EXPECT_EQ(planOf(row.first), row.second) << row.first;
}

}  // namespace
