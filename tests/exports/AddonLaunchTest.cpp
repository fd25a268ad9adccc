// Add-ons inside real launches of Corvane.exe under Wine: AbiCheck.dll, built the Microsoft way, calls
// every exported name from its initialisation and reports each check; the sample mod's MinGW add-ons
// bind through libCorvane.a, and the one not enabled never loads.
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string buildFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string bin(path, length);
  bin = bin.substr(0, bin.find_last_of("\\/"));
  return bin.substr(0, bin.find_last_of("\\/") + 1);
}

void makeFolders(const std::string& path) {
  for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

void copyInto(const std::string& source, const std::string& path) {
  makeFolders(path.substr(0, path.find_last_of('\\')));
  ASSERT_TRUE(CopyFileA((buildFolder() + source).c_str(), path.c_str(), FALSE)) << source;
}

// The game's folder: the launcher, the stand-in game and archive library, the engine archive.
void layOutGame() {
  copyInto("bin\\Corvane.exe", ".\\Corvane.exe");
  copyInto("testbed\\Game.dll", ".\\Game.dll");
  copyInto("testbed\\Storm.dll", ".\\Storm.dll");
  copyInto("testbed\\Corvane.mpq", ".\\Corvane.mpq");
}

// Runs .\Corvane.exe with options in the current folder until it ends; its exit code.
DWORD launch(const std::string& options) {
  ChildRun run = runChild("\".\\Corvane.exe\" " + options);
  EXPECT_EQ(run.failure, "");
  return run.ended ? run.exitCode : 0xFFFFFFFF;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

class AddonLaunchTest : public TempFolderTest {};

TEST_F(AddonLaunchTest, AMicrosoftBuiltAddonCallsEveryExportedNameDuringTheLaunch) {
  layOutGame();
  copyInto("testbed\\mods\\AbiCheck\\manifest.json", ".\\mods\\AbiCheck\\manifest.json");
  copyInto("testbed\\mods\\AbiCheck\\Addons\\AbiCheck.dll", ".\\mods\\AbiCheck\\Addons\\AbiCheck.dll");
  copyInto("testbed\\mods\\AbiCheck\\Mpqs\\abicheck.mpq", ".\\mods\\AbiCheck\\Mpqs\\abicheck.mpq");

  EXPECT_EQ(1u, launch("-mod AbiCheck -abiText  two words  -abiNumber -42 -abiSwitch TRUE -abiZero 0 -abiLast"));

  ASSERT_TRUE(fileExists("AbiCheck.results")) << "the add-on did not run";
  std::vector<std::string> lines = linesOf(readFile("AbiCheck.results"));
  ASSERT_FALSE(lines.empty());
  std::string failures;
  size_t passed = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].compare(0, 3, "ok ") == 0) ++passed;
    else failures += lines[i] + "\n";
  }
  EXPECT_EQ("", failures);
  EXPECT_EQ("end " + std::to_string(lines.size() - 1), lines.back()) << "the checks did not run to the end";
  EXPECT_GT(passed, 250u);

  // Files the add-on left, read from outside the process.
  EXPECT_EQ("{}", readFile("configs\\abicheck-clear.json"));
  EXPECT_EQ("[]", readFile("configs\\abicheck-array.json"));
  EXPECT_EQ("{\n    \"d\": -2.75,\n    \"f\": 0.25,\n    \"b\": false,\n    \"l\": [\n        1.0\n    ]\n}",
            readFile("configs\\abicheck-probe.json"));
  EXPECT_FALSE(fileExists("configs\\abicheck-missing.json"));
}

TEST_F(AddonLaunchTest, TheSampleModsMinGWAddonBindsThroughTheImportLibraryAndTheDisabledOneNeverLoads) {
  layOutGame();
  makeFolders(".\\mods\\Demo");
  writeFile(".\\mods\\Demo\\manifest.json",
            "{\"Addons\": [{\"Name\": \"DemoTools\", \"Enable\": true}, {\"Name\": \"DemoDisabled\", \"Enable\": false}]}");
  copyInto("testbed\\mods\\Demo\\Addons\\DemoTools.dll", ".\\mods\\Demo\\Addons\\DemoTools.dll");
  copyInto("testbed\\mods\\Demo\\Addons\\DemoDisabled.dll", ".\\mods\\Demo\\Addons\\DemoDisabled.dll");

  EXPECT_EQ(1u, launch("-mod Demo -demoLevel 3"));
  EXPECT_EQ("{\n    \"Mod\": \"Demo\",\n    \"Loads\": 1,\n    \"Level\": 3,\n    \"Verbose\": false\n}",
            readFile("configs\\DemoTools.json"));
  EXPECT_EQ(1u, launch("-mod Demo -demoLevel 7 -demoVerbose true"));
  EXPECT_EQ("{\n    \"Mod\": \"Demo\",\n    \"Loads\": 2,\n    \"Level\": 7,\n    \"Verbose\": false\n}",
            readFile("configs\\DemoTools.json"));
  EXPECT_FALSE(fileExists("configs\\DemoDisabled.json"));
}

}  // namespace
