// Add-ons inside real launches of Corvane.exe under Wine: AbiCheck.dll, built the Microsoft way, calls
// every exported name from its initialisation and reports each check; the sample mod's MinGW add-ons
// bind through libCorvane.a, and the one not enabled never loads.
#include "launcher/LaunchHarness.h"
#include "support/TempFolder.h"

#include <string>

namespace {

// Every check AbiCheck.dll makes, each reported on its own line: one dropped or added changes the count.
const size_t kAbiChecks = 141;

class AddonLaunchTest : public TempFolderTest {};

TEST_F(AddonLaunchTest, AMicrosoftBuiltAddonCallsEveryExportedNameDuringTheLaunch) {
  layOutGame();
  for (const char* file : {"manifest.json", "Addons\\AbiCheck.dll", "Mpqs\\abicheck.mpq"})
    copyInto(testbedFolder() + "mods\\AbiCheck\\" + file, std::string("mods\\AbiCheck\\") + file);

  LaunchResult result =
      launch("-mod AbiCheck -abiText  two words  -abiNumber -42 -abiSwitch TRUE -abiZero 0 -abiLast", false);
  EXPECT_TRUE(result.ended);
  EXPECT_EQ(result.exitCode, 1u);
  EXPECT_EQ(result.boxes.size(), 0u);
  EXPECT_EQ(addonResultsProblems("AbiCheck.results", kAbiChecks), "");

  // Files the add-on left, read from outside the process.
  EXPECT_EQ(readFile("configs\\abicheck-probe.json"),
            "{\n    \"d\": -2.75,\n    \"f\": 0.25,\n    \"b\": false,\n    \"l\": [\n        1.0\n    ]\n}");
}

TEST_F(AddonLaunchTest, TheSampleModsMinGWAddonBindsThroughTheImportLibraryAndTheDisabledOneNeverLoads) {
  layOutGame();
  writeMod(
      "Demo",
      "{\"Addons\": [{\"Name\": \"DemoTools\", \"Enable\": true}, {\"Name\": \"DemoDisabled\", \"Enable\": false}]}");
  for (const char* addon : {"Addons\\DemoTools.dll", "Addons\\DemoDisabled.dll"})
    copyInto(testbedFolder() + "mods\\Demo\\" + addon, std::string("mods\\Demo\\") + addon);

  for (const char* options : {"-mod Demo -demoLevel 3", "-mod Demo -demoLevel 7 -demoVerbose true"})
    EXPECT_EQ(launch(options, false).exitCode, 1u) << options;
  EXPECT_EQ(readFile("configs\\DemoTools.json"),
            "{\n    \"Mod\": \"Demo\",\n    \"Loads\": 2,\n    \"Level\": 7,\n    \"Verbose\": false\n}");
  EXPECT_FALSE(fileExists("configs\\DemoDisabled.json"));
}

}  // namespace
