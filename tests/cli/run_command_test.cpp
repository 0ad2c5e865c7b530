#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using mixora::testing_support::CliResult;
using mixora::testing_support::RunCli;
using mixora::testing_support::ReadFileBytes;

// The small three-mixture fixture loaded into out/small.rcf in a scratch folder.
class SmallRun : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = mixora::testing_support::NewTempFolder("run_cli");
    for (const auto& entry : fs::directory_iterator(fs::path(MIXORA_TEST_DATA_DIR) / "rcf"))
      fs::copy(entry.path(), folder_ / entry.path().filename());
    CliResult load = RunCli(folder_, {"load", "small.tcf"});
    ASSERT_EQ(load.exitCode, 0) << load.err;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string Output(const std::string& name) const { return ReadFileBytes(folder_ / "out" / name); }

  fs::path folder_;
};

TEST_F(SmallRun, RunsEveryMixtureAndASecondRunChangesNothing) {
  CliResult first = RunCli(folder_, {"run", "out/small.rcf", "--all"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("Mixture 3 of 3: Small te_POP_03 (2 chains, 100 reps)\n"),
            std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("Mixture 3: 2 of 2 chains completed\n"), std::string::npos);
  EXPECT_NE(first.out.find("Completed: 3 mixtures run to 100 reps\n"), std::string::npos);
  EXPECT_EQ(first.out.find('\x1b'), std::string::npos);  // plain lines without a terminal
  EXPECT_EQ(first.err, "");
  const std::string rst = Output("Small te_POP_03_02.Rst");
  const std::string sta = Output("Small te_POP_02_01.Sta");
  ASSERT_FALSE(rst.empty());

  // Finished chains are not reported as a run: the person is told what
  // would run them further.
  CliResult again = RunCli(folder_, {"run", "out/small.rcf", "--all", "--quiet"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out,
            "Mixture 1 (Small te_POP_01): already complete at 100 iterations; use --reps N to "
            "extend or --rerun to start afresh\n"
            "Mixture 2 (Small te_POP_02): already complete at 100 iterations; use --reps N to "
            "extend or --rerun to start afresh\n"
            "Mixture 3 (Small te_POP_03): already complete at 100 iterations; use --reps N to "
            "extend or --rerun to start afresh\n");
  EXPECT_EQ(Output("Small te_POP_03_02.Rst"), rst);
  EXPECT_EQ(Output("Small te_POP_02_01.Sta"), sta);
}

TEST_F(SmallRun, RefusesBadRequestsNamingTheProblem) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string lastError;
  } cases[] = {
      {{"run", "out/small.rcf", "--reps", "50"}, 1,
       "mixora: the number of reps 50 is below the current number of reps 100\n"},
      {{"run", "out/small.rcf", "--chains", "1,3"}, 1, "mixora: chain 3: the run has 2 chains\n"},
      {{"run", "out/small.rcf", "--chains", "2-x"}, 2,
       "mixora: --chains: \"2-x\" is not a chain number or a range like 2-4\n"},
      {{"run", "out/small.rcf", "--mixture", "4"}, 2,
       "mixora: out/small.rcf: there is no mixture 4: the run has 3 mixtures\n"},
      {{"run", "out/small.rcf", "--bogus"}, 2, "Run with --help for more information.\n"},
      {{"run", "out/missing.rcf"}, 1,
       "mixora: cannot open out/missing.rcf: no such file (a run control file is written by "
       "`mixora load CONTROL_FILE`)\n"},
      {{"run", "small.tcf"}, 1,
       "mixora: small.tcf is a control file, not a run control file: run `mixora load "
       "small.tcf` first and give the .rcf file it writes\n"},
  };
  for (const Case& c : cases) {
    CliResult result = RunCli(folder_, c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back() << "\n" << result.err;
    const std::size_t tail = result.err.size() >= c.lastError.size()
                                 ? result.err.size() - c.lastError.size()
                                 : 0;
    EXPECT_EQ(result.err.substr(tail), c.lastError) << c.args.back();
  }
  EXPECT_FALSE(fs::exists(folder_ / "out" / "Small te_POP_01_01.Rst"));
}

// Without --mixture or --all the first mixture runs, and the person is told
// there are others.
TEST_F(SmallRun, RunWithoutAMixtureSaysWhichItRuns) {
  CliResult result = RunCli(folder_, {"run", "out/small.rcf"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out.rfind("Running mixture 1 only: the run has 3 mixtures (use --all for every "
                             "one, or --mixture N)\n",
                             0),
            0u)
      << result.out;
}

TEST_F(SmallRun, RerunAsksBeforeReplacingAndChainsRunToRaisedReps) {
  ASSERT_EQ(RunCli(folder_, {"run", "out/small.rcf", "--quiet"}).exitCode, 0);
  const std::string rst = Output("Small te_POP_01_01.Rst");

  CliResult refused = RunCli(folder_, {"run", "out/small.rcf", "--rerun", "--quiet"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("not overwriting"), std::string::npos) << refused.err;
  EXPECT_EQ(Output("Small te_POP_01_01.Rst"), rst);

  CliResult rerun = RunCli(folder_, {"run", "out/small.rcf", "--rerun", "--overwrite", "--quiet"});
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_EQ(Output("Small te_POP_01_01.Rst"), rst);

  CliResult more =
      RunCli(folder_, {"run", "out/small.rcf", "--reps", "180", "--chains", "2"});
  EXPECT_EQ(more.exitCode, 0) << more.err;
  EXPECT_NE(more.out.find("(2 chains, 180 reps)\n"), std::string::npos) << more.out;
  EXPECT_NE(more.out.find("Chain  2      180/180 "), std::string::npos) << more.out;
  EXPECT_EQ(Output("Small te_POP_01_01.Rst"), rst);  // chain 1 was not asked for
}

// A restart file changed where no checksum sees it (a proportion of 2)
// stops its chain, and only that chain is blamed: nothing of it is touched,
// the message names the file, the fault and the way to start it afresh, and
// that rerun says nothing about the file it replaces.
TEST_F(SmallRun, ADamagedRestartFileStopsItsChainUntilItIsRerun) {
  ASSERT_EQ(RunCli(folder_, {"run", "out/small.rcf", "--quiet"}).exitCode, 0);
  const fs::path rst = folder_ / "out" / "Small te_POP_01_02.Rst";
  std::string bytes = ReadFileBytes(rst);
  const double two = 2.0;
  bytes.replace(96, 8, reinterpret_cast<const char*>(&two), 8);
  std::ofstream(rst, std::ios::binary | std::ios::trunc) << bytes;
  const std::string ise = Output("Small te_POP_01_02.Ise");
  const std::string sta = Output("Small te_POP_01_02.Sta");

  CliResult refused = RunCli(folder_, {"run", "out/small.rcf", "--reps", "150", "--quiet"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Invalid Restart File:"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("out/Small te_POP_01_02.Rst"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("stock proportions out of range"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("mixture 1: chain 2 was not started because its restart file was "
                             "refused"),
            std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find("--mixture 1 --chains 2 --rerun` starts that chain afresh"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.err.find("chain 1"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFileBytes(rst), bytes);
  EXPECT_EQ(Output("Small te_POP_01_02.Ise"), ise);
  EXPECT_EQ(Output("Small te_POP_01_02.Sta"), sta);

  CliResult rerun = RunCli(folder_, {"run", "out/small.rcf", "--reps", "150", "--chains", "2",
                                     "--rerun", "--overwrite", "--quiet"});
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_EQ(rerun.err.find("Restart"), std::string::npos) << rerun.err;
}

// A sample whose fish the checks all leave out (here: each misses more loci
// than allowed) must not keep the other samples from running, and must be
// named at load, at an every-mixture run and when asked for alone.
TEST(RunCommand, MixtureWhoseFishWereAllLeftOutIsNamedAndSkipped) {
  const fs::path folder = mixora::testing_support::NewTempFolder("run_cli_empty");
  const fs::path example = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin.tcf", "tavrin_baseline.bse"})
    fs::copy(example / name, folder / name);
  std::string control = ReadFileBytes(example / "tavrin.tcf");
  control.replace(control.find("NumberOfReps = 6000"), 19, "NumberOfReps = 60");
  control.replace(control.find("NumberToKeep = 3000"), 19, "NumberToKeep = 10");
  std::ofstream(folder / "tavrin.tcf", std::ios::binary) << control;
  // Six of the ten loci of every fish of the second sample go missing.
  std::istringstream lines(ReadFileBytes(example / "tavrin_mixture.gen"));
  std::ofstream mixture(folder / "tavrin_mixture.gen", std::ios::binary);
  int samples = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("POP", 0) == 0) ++samples;
    const std::size_t comma = line.find(" , ");
    if (samples == 2 && comma != std::string::npos)
      for (int locus = 0; locus < 6; ++locus) line.replace(comma + 3 + 7 * locus, 6, "000000");
    mixture << line << "\n";
  }
  mixture.close();

  CliResult load = RunCli(folder, {"load", "tavrin.tcf"});
  ASSERT_EQ(load.exitCode, 0) << load.err;
  EXPECT_NE(load.out.find("Note: mixture 2 (Tavrin25_POP_02) has no fish that take part in the "
                          "run; the checks left every one out\n"),
            std::string::npos)
      << load.out;

  CliResult all = RunCli(folder, {"run", "output/tavrin.rcf", "--all", "--quiet"});
  EXPECT_EQ(all.exitCode, 1);
  EXPECT_EQ(all.out, "Completed: 1 mixture run to 60 reps\n");
  EXPECT_EQ(all.err,
            "mixora: mixture 2 was not run: every one of its fish was left out at load (see the "
            "load log)\n");
  EXPECT_TRUE(fs::exists(folder / "output" / "Tavrin25_POP_01_04.Rst"));
  EXPECT_FALSE(fs::exists(folder / "output" / "Tavrin25_POP_02_01.Rst"));

  CliResult alone = RunCli(folder, {"run", "output/tavrin.rcf", "--mixture", "2", "--quiet"});
  EXPECT_EQ(alone.exitCode, 1);
  EXPECT_NE(alone.err.find("Mixture 2 (Tavrin25_POP_02) has no fish that take part in the run"),
            std::string::npos)
      << alone.err;
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
