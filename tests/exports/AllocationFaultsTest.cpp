// No exception crosses the exported interface: a test build of Corvane.exe whose heap hook fails a
// chosen allocation runs the mod AllocationFaults, whose add-on, built the Microsoft way, fails each
// allocation of a call of every exported family in turn and checks the answers.
#include "launcher/LaunchHarness.h"
#include "support/TempFolder.h"

#include <string>

namespace {

class AllocationFaults : public TempFolderTest {};

TEST_F(AllocationFaults, EveryFamilyAnswersWithItsFailureAnswerAndTheLaunchGoesOn) {
  layOutGame();
  copyInto(binFolder() + "CorvaneAllocationFaults.exe", "Corvane.exe");
  copyInto(testbedFolder() + "mods\\AllocationFaults\\manifest.json", "mods\\AllocationFaults\\manifest.json");
  copyInto(testbedFolder() + "mods\\AllocationFaults\\Addons\\AllocationFaults.dll",
           "mods\\AllocationFaults\\Addons\\AllocationFaults.dll");

  LaunchResult result = launch("-mod AllocationFaults -faultText  value  -faultNumber 42 -faultSwitch true", false);
  ASSERT_TRUE(result.ended);
  EXPECT_EQ(result.exitCode, 1u) << "the launch did not reach its normal end";

  EXPECT_EQ(addonResultsProblems("AllocationFaults.results", 14), "") << "the hook check, then one per family";
}

}  // namespace
