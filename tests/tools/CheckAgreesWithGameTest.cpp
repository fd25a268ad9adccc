// One truth for "which archive serves this file": overlapping archives in a game folder (automatic,
// explicit and equal priorities, an unreadable copy on top, the engine archive), the winners that
// corvane-check names, and the stand-in game launched through Corvane.exe asking the archive library for
// each of those names, whose trace says which archive answered and whether it served the file.
#include "launcher/LaunchHarness.h"
#include "tools/CheckRun.h"

#include <rapidjson/document.h>
#include <windows.h>

#include <map>

namespace {

std::string withoutDot(const std::string& path) {
  return path.compare(0, 2, ".\\") == 0 ? path.substr(2) : path;
}

TEST_F(LaunchFixture, CheckerAndGameAgreeOnTheArchiveServingEachName) {
  layOutGame();  // the test bed's engine archive: Shared\engine-override.txt, Shared\layered.txt, ...
  const std::string fixtures = binFolder() + "..\\tests\\tools\\check-fixtures\\";
  const std::string demo = testbedFolder() + "mods\\Demo\\Mpqs\\";
  const std::pair<const char*, std::string> archives[] = {
      {"one", fixtures + "a.mpq"},   {"two", fixtures + "b.mpq"},      {"three", fixtures + "b.mpq"},
      {"four", fixtures + "c.mpq"},  {"top", fixtures + "packed.mpq"},  // shared.txt compressed: refused
      {"patch", demo + "patch.mpq"}, {"data", demo + "data.mpq"}};
  for (const auto& archive : archives)
    copyInto(archive.second, std::string("mods\\Overlap\\Mpqs\\") + archive.first + ".mpq");
  writeMod("Overlap", R"({"Mpqs": [{"Name": "one"}, {"Name": "two", "Priority": 20}, {"Name": "three", "Priority": 20},
    {"Name": "four", "Priority": 15}, {"Name": "top", "Priority": 30}, {"Name": "patch", "Priority": 5},
    {"Name": "data", "Priority": 8}]})");

  CheckRun check = runCheck({"--json", "Overlap"});
  std::string json;
  for (const std::string& line : check.lines) json += line + "\n";
  rapidjson::Document report;
  ASSERT_FALSE(report.Parse(json.c_str()).HasParseError()) << json;
  std::map<std::string, std::pair<std::string, bool>> served;  // name: the winner's path, and whether it reads
  std::string names;
  for (const auto& conflict : report["conflicts"].GetArray()) {
    if (conflict["winner"].IsNull()) continue;
    const auto& winner = report["archives"][conflict["winner"].GetUint()];
    bool reads = true;
    for (const auto& name : winner["unreadable"].GetArray()) reads = reads && name != conflict["file"];
    served[conflict["file"].GetString()] = {withoutDot(winner["path"].GetString()), reads};
    names += std::string(conflict["file"].GetString()) + "\n";
  }
  // b.txt, shared.txt and SHARED.TXT as one, Shared\engine-override.txt, Shared\layered.txt
  ASSERT_EQ(served.size(), 4u) << json;

  writeFile("reads.txt", names);
  SetEnvironmentVariableA("CORVANE_GAME_READS", "reads.txt");
  LaunchResult run = launch("-mod Overlap");
  SetEnvironmentVariableA("CORVANE_GAME_READS", nullptr);
  ASSERT_TRUE(run.ended);
  Lines loads = stormTrace();
  for (const auto& name : served) {  // 279 LoadFile "NAME" ... -> 1 ... archive=A3 from="PATH"
    std::string line = name.first + ": not asked for", asked = "279 LoadFile \"" + name.first + "\"";
    for (const std::string& load : loads)
      if (load.compare(0, asked.size(), asked) == 0) line = load;
    size_t from = line.find("from=\"") + 6;
    EXPECT_EQ(withoutDot(line.substr(from, line.find('"', from) - from)), name.second.first) << line;
    EXPECT_NE(line.find(name.second.second ? " -> 1 " : " -> 0 "), std::string::npos) << line;
  }
}

}  // namespace
