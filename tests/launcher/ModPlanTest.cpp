// Reading manifests into mod plans: paths, priorities, display data, races, and values of the wrong type.
// Platform-free: it also runs in the native build.
#include "json/BoundDocument.h"
#include "launcher/ModPlan.h"
#include "support/TempFolder.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kFolder[] = ".\\mods\\Test\\";

class ModPlanTest : public TempFolderTest {
protected:
  // The document over a file holding text; kept for the test's life, as the plan points into it.
  CJSON_Exp& open(const char* path) {
    documents.emplace_back(new BoundDocument(path, false));
    return documents.back()->document;
  }
  CJSON_Exp& manifest(const std::string& text) {
    writeFile("manifest.json", text);
    return open("manifest.json");
  }
  ModPlan plan(const std::string& text, const char* folder = kFolder) {
    ModPlan result;
    planMod(manifest(text), folder, result);
    keepPaths(result);
    return result;
  }
  // The launcher never frees a plan's paths; the test does, once it is done with them.
  void keepPaths(const ModPlan& plan) {
    for (const char* path : plan.addonPaths) paths.push_back(path);
    for (const ArchivePlan& archive : plan.archives) paths.push_back(archive.path);
    paths.push_back(plan.iconPath);
    paths.push_back(plan.previewLogo);
  }
  void TearDown() override {
    for (const char* path : paths) free(const_cast<char*>(path));
    TempFolderTest::TearDown();
  }
  CJSON_Exp& last() { return documents.back()->document; }
  std::vector<std::unique_ptr<BoundDocument>> documents;
  std::vector<const char*> paths;
};

void expectEmpty(const ModPlan& plan) {
  EXPECT_TRUE(plan.addonPaths.empty());
  EXPECT_TRUE(plan.archives.empty());
  EXPECT_FALSE(plan.hasName);
  EXPECT_FALSE(plan.hasIcon);
  EXPECT_FALSE(plan.hasVersion);
  EXPECT_FALSE(plan.hasPreview);
  EXPECT_TRUE(plan.previewEnabled);
  EXPECT_TRUE(plan.raceSkins.empty());
  EXPECT_TRUE(plan.raceKeys.empty());
}

TEST_F(ModPlanTest, EveryKeyBecomesPathsPrioritiesAndTextsInTheDocument) {
  ModPlan p = plan(R"({"ModName": "Test Mod", "ModIcon": "icon", "ModVersion": "Test Mod 1.0",
    "Preview": {"Enable": true, "Logo": "logo", "Info": "A test of every key"},
    "Addons": [{"Name": "tools", "Enable": true}],
    "Mpqs": [{"Name": "data"}, {"Name": "patch", "Priority": 20}],
    "Races": [{"Skin": "Pirates", "RaceKey": "PIRATE"}]})");
  ASSERT_EQ(p.addonPaths.size(), 1u);
  EXPECT_STREQ(p.addonPaths[0], ".\\mods\\Test\\Addons\\tools.dll");
  ASSERT_EQ(p.archives.size(), 2u);
  EXPECT_STREQ(p.archives[0].name, "data");
  EXPECT_STREQ(p.archives[0].path, ".\\mods\\Test\\Mpqs\\data.mpq");
  EXPECT_EQ(p.archives[0].priority, 10u);
  EXPECT_STREQ(p.archives[1].path, ".\\mods\\Test\\Mpqs\\patch.mpq");
  EXPECT_EQ(p.archives[1].priority, 20u);
  EXPECT_TRUE(p.hasName && p.hasIcon && p.hasVersion && p.hasPreview && p.previewEnabled);
  EXPECT_STREQ(p.iconPath, ".\\mods\\Test\\icon.ico");
  EXPECT_STREQ(p.previewLogo, ".\\mods\\Test\\logo.bmp");
  // Texts are not copied: they are the document's own strings.
  EXPECT_EQ(p.name, last()["ModName"].GetString());
  EXPECT_EQ(p.version, last()["ModVersion"].GetString());
  EXPECT_EQ(p.previewInfo, last()["Preview"]["Info"].GetString());
  ASSERT_EQ(p.raceSkins.size(), 1u);
  ASSERT_EQ(p.raceKeys.size(), 1u);
  EXPECT_EQ(p.raceSkins[0], last()["Races"][0]["Skin"].GetString());
  EXPECT_STREQ(p.raceKeys[0], "PIRATE");
}

TEST_F(ModPlanTest, PrioritiesRunAboveEveryExplicitOneMetEarlier) {
  ModPlan p = plan(R"({"Mpqs": [{"Name": "one"}, {"Name": "two", "Priority": 20}, {"Name": "three"},
    {"Priority": 99}, {"Name": "four", "Priority": 5}, {"Name": "five"}, {"Name": "zero", "Priority": 0}]})");
  const char* names[] = {"one", "two", "three", "four", "five", "zero"};
  const unsigned priorities[] = {10, 20, 21, 5, 22, 23};
  ASSERT_EQ(p.archives.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_STREQ(p.archives[i].name, names[i]);
    EXPECT_EQ(p.archives[i].priority, priorities[i]) << names[i];
  }

  // One run from the engine archive's 9: requested, given, the maximum afterwards.
  const unsigned steps[][3] = {
      {10, 10, 10},  // one above the maximum raises it too
      {0, 11, 11},  {10, 10, 11}, {12, 12, 12}, {0, 13, 13}, {5, 5, 13}, {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu},
      {0, 0, 0},  // unsigned 32-bit: the next automatic priority wraps round to 0
  };
  unsigned maximum = kEngineArchivePriority;
  for (const auto& step : steps) {
    EXPECT_EQ(nextArchivePriority(step[0], maximum), step[1]) << "requested " << step[0];
    EXPECT_EQ(maximum, step[2]) << "requested " << step[0];
  }
}

TEST_F(ModPlanTest, ValuesOfTheWrongTypeCountAsMissing) {
  ModPlan p = plan(R"({"ModName": 5, "ModIcon": ["icon"], "ModVersion": true, "Preview": [1],
    "Addons": {"Name": "x", "Enable": true}, "Mpqs": "data", "Races": {"Skin": "S"}})");
  expectEmpty(p);

  p = plan(
      R"({"Addons": [5, {"Name": 5, "Enable": true}, {"Name": "on", "Enable": true}, {"Name": "off", "Enable": "true"}],
    "Mpqs": [null, {"Name": ["a"]}, {"Name": "text", "Priority": "50"}, {"Name": "real", "Priority": 50.0},
             {"Name": "flag", "Priority": true}, {"Name": "big", "Priority": 4000000000}],
    "Preview": {"Enable": 1, "Logo": 3, "Info": {}},
    "Races": [1, {"Skin": 2, "RaceKey": null}, []]})");
  ASSERT_EQ(p.addonPaths.size(), 1u);
  EXPECT_STREQ(p.addonPaths[0], ".\\mods\\Test\\Addons\\on.dll");
  ASSERT_EQ(p.archives.size(), 4u);
  EXPECT_EQ(p.archives[0].priority, 10u);
  EXPECT_EQ(p.archives[1].priority, 11u);
  EXPECT_EQ(p.archives[2].priority, 12u);
  EXPECT_EQ(p.archives[3].priority, 4000000000u);
  // A present "Enable" that is not the literal true turns the splash off.
  EXPECT_TRUE(p.hasPreview);
  EXPECT_FALSE(p.previewEnabled);
  EXPECT_EQ(p.previewLogo, nullptr);
  EXPECT_EQ(p.previewInfo, nullptr);
  // Race elements that are not objects keep their places, so later races keep their numbers.
  ASSERT_EQ(p.raceSkins.size(), 3u);
  ASSERT_EQ(p.raceKeys.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_STREQ(p.raceSkins[i], "Default");
    EXPECT_STREQ(p.raceKeys[i], "UNKNOWN");
  }
}

TEST_F(ModPlanTest, RootsThatAreNotObjectsAndMissingFilesGiveAnEmptyPlan) {
  expectEmpty(plan("[{\"ModName\": \"x\"}]"));
  expectEmpty(plan("not json"));
  ModPlan p;
  planMod(open("absent.json"), kFolder, p);
  expectEmpty(p);
}

TEST_F(ModPlanTest, WithoutAModFolderNoPathIsPlanned) {
  ModPlan p = plan(R"({"ModName": "n", "ModIcon": "i", "Addons": [{"Name": "a", "Enable": true}],
    "Mpqs": [{"Name": "m"}], "Preview": {"Logo": "l"}})",
                   nullptr);
  EXPECT_TRUE(p.addonPaths.empty());
  EXPECT_TRUE(p.archives.empty());
  EXPECT_FALSE(p.hasIcon);
  EXPECT_EQ(p.previewLogo, nullptr);
  EXPECT_STREQ(p.name, "n");
}

// The game counts races in one byte.
TEST_F(ModPlanTest, AtMost255RacesAreKept) {
  std::string races = "[";
  for (int i = 0; i < 300; ++i) races += (i ? ", " : "") + std::string("{\"RaceKey\": \"K") + std::to_string(i) + "\"}";
  ModPlan p = plan("{\"Races\": " + races + "]}");
  ASSERT_EQ(p.raceKeys.size(), 255u);
  ASSERT_EQ(p.raceSkins.size(), 255u);
  EXPECT_STREQ(p.raceKeys[0], "K0");
  EXPECT_STREQ(p.raceKeys[254], "K254");
  EXPECT_STREQ(p.raceSkins[254], "Default");
}

}  // namespace
