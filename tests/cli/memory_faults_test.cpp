// A run too large for the memory it is given: the chains cannot allocate
// their arrays, and the run ends with the fatal message before any output of
// theirs exists.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/interaction.h"
#include "runfiles/run_control_writer.h"
#include "sampler/synthetic_run.h"
#include "support/limited_child.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::ChildLimits;
using testing_support::CliResult;
using testing_support::RunCliLimited;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // the sanitizers reserve terabytes of address space
#else
constexpr bool kSanitized = false;
#endif

TEST(MemoryFaults, ArraysThatDoNotFitEndTheRunWithTheFatalMessageAndNoOutputs) {
  if (kSanitized) GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";
  const fs::path folder = testing_support::NewTempFolder("memory_faults");
  // 999 stocks (the most a control file may name) and 60,000 fish: each
  // chain's likelihood table alone takes about 480 MB, the run control file a
  // few.
  SyntheticRunShape shape;
  shape.stocks = 999;
  shape.characters = 2;
  shape.fish = 60000;
  shape.baselineFishPerStock = 4;
  RunRecord run = MakeSyntheticRun(shape);
  run.settings.NumberOfChains = 2;
  run.settings.NumberOfReps = 10;
  // A run control file is checked against the control file's ranges before
  // any array is taken, so the settings must be ones a control file allows.
  run.settings.Accuracy = 0.02;
  run.settings.Quantile = 0.975;
  run.settings.Probability = 0.95;
  run.settings.Percentile = 0.975;
  SetField(run.settings.Title, "Large");
  run.runTitle = "Large";
  run.controlPath = (folder / "Large.rcf").string();
  Interaction ui;
  ASSERT_EQ(WriteRunControlFile(run.controlPath, run, ui), 1);

  ChildLimits limits;
  limits.addressSpace = 320u << 20;
  const CliResult result = RunCliLimited(folder.string(), {"run", "Large.rcf", "--quiet"}, limits);
  EXPECT_NE(result.exitCode, 0);
  EXPECT_NE(result.err.find("Memory Allocation Failure.  FATAL!!"), std::string::npos)
      << result.out << result.err;
  EXPECT_NE(result.LastErrorLine().find("Memory Allocation Failure"), std::string::npos)
      << result.err;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string ext = entry.path().extension().string();
    EXPECT_TRUE(ext != ".Sta" && ext != ".Ise" && ext != ".Rst")
        << entry.path() << " was left by a run that could not start";
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace mixora
