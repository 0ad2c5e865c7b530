#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::CliResult;
using testing_support::ReadFileBytes;
using testing_support::RunCli;

// One chain cannot be compared with another, so the Gelman-Rubin passes
// (which refuse a single chain) must not turn a finished analysis into a
// failure; every other report is still written.
TEST(AnalyzeCommand, OneChainRunLeavesOutOnlyTheChainComparison) {
  const fs::path folder = testing_support::NewTempFolder("analyze_one_chain");
  for (const char* name : {"small.tcf", "small_baseline.bse", "small_mixture.gen"})
    fs::copy(fs::path(MIXORA_TEST_DATA_DIR) / "rcf" / name, folder / name);
  std::string control = ReadFileBytes(folder / "small.tcf");
  control.replace(control.find("NumberOfChains = 2"), 18, "NumberOfChains = 1");
  std::ofstream(folder / "small.tcf", std::ios::binary) << control;

  CliResult result = RunCli(folder, {"analyze", "small.tcf", "--quiet"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err,
            "Note: the Gelman-Rubin diagnostic compares chains; with one chain it is left out\n");
  EXPECT_NE(result.out.find("Mixture 3: Small te_POP_03 (1 fish)\n  100 samples per estimate "
                            "(one chain)\n"),
            std::string::npos)
      << result.out;
  for (const char* report : {"_SCs.Txt", "_SCs_Grp.Txt", "_IDs.Txt", "_IDs.Csv", "_RL.Txt"})
    EXPECT_TRUE(fs::exists(folder / "out" / (std::string("Small te_POP_02") + report))) << report;
  EXPECT_FALSE(fs::exists(folder / "out" / "Small te_POP_02_GR.Txt"));
  std::error_code ec;
  fs::remove_all(folder, ec);
}

// An interrupted analysis continues with the run control file it wrote, as
// long as the inputs are the same; changed inputs are refused, not run over
// the old chains. Without a terminal nothing can be asked, so nothing may
// depend on a question.
TEST(AnalyzeCommand, ResumeKeepsTheRunControlFileOfTheSameInputsOnly) {
  const fs::path folder = testing_support::NewTempFolder("analyze_resume");
  for (const char* name : {"small.tcf", "small_baseline.bse", "small_mixture.gen"})
    fs::copy(fs::path(MIXORA_TEST_DATA_DIR) / "rcf" / name, folder / name);
  ASSERT_EQ(RunCli(folder, {"analyze", "small.tcf", "--quiet"}).exitCode, 0);
  const std::string rcf = ReadFileBytes(folder / "out" / "small.rcf");
  const std::string rst = ReadFileBytes(folder / "out" / "Small te_POP_01_01.Rst");

  CliResult resumed = RunCli(folder, {"analyze", "small.tcf", "--resume", "--quiet"});
  EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
  EXPECT_NE(resumed.out.find("Run control file kept (same inputs): "), std::string::npos)
      << resumed.out;
  EXPECT_EQ(ReadFileBytes(folder / "out" / "small.rcf"), rcf);
  EXPECT_EQ(ReadFileBytes(folder / "out" / "Small te_POP_01_01.Rst"), rst);
  EXPECT_TRUE(fs::exists(folder / "out" / "Small te_POP_01_estimates.csv"));
  EXPECT_TRUE(fs::exists(folder / "out" / "Small te_POP_01_posteriors.csv"));

  std::string control = ReadFileBytes(folder / "small.tcf");
  control.replace(control.find("NumberOfReps = 100"), 18, "NumberOfReps = 120");
  std::ofstream(folder / "small.tcf", std::ios::binary) << control;
  CliResult changed = RunCli(folder, {"analyze", "small.tcf", "--resume", "--quiet"});
  EXPECT_EQ(changed.exitCode, 1);
  EXPECT_NE(changed.LastErrorLine().find("cannot resume: "), std::string::npos) << changed.err;
  EXPECT_NE(changed.LastErrorLine().find("without --resume"), std::string::npos) << changed.err;
  EXPECT_EQ(ReadFileBytes(folder / "out" / "small.rcf"), rcf);
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
}  // namespace mixora
