// `mixora submit` against a stand-in sbatch (the real cluster is the
// cluster tier's), and `mixora status` on runs in every state.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using mixora::testing_support::CliResult;
using mixora::testing_support::ReadFileBytes;
using mixora::testing_support::RunCli;

// The small three-mixture fixture (two chains of 100 reps) loaded into
// out/small.rcf, and a folder of stand-in cluster commands.
class SubmitStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = mixora::testing_support::NewTempFolder("submit_cli");
    for (const auto& entry : fs::directory_iterator(fs::path(MIXORA_TEST_DATA_DIR) / "rcf"))
      fs::copy(entry.path(), folder_ / entry.path().filename());
    CliResult load = RunCli(folder_, {"load", "small.tcf"});
    ASSERT_EQ(load.exitCode, 0) << load.err;
    bin_ = folder_ / "bin";
    fs::create_directories(bin_);
    path_ = std::getenv("PATH");
  }
  void TearDown() override {
    ::setenv("PATH", path_.c_str(), 1);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  // A stand-in sbatch that records each call and answers job ids 100, 101...
  void InstallFakeSbatch() {
    const fs::path sbatch = bin_ / "sbatch";
    std::ofstream(sbatch) << "#!/bin/sh\n"
                             "echo \"$*\" >> '" + (folder_ / "sbatch_calls").string() + "'\n"
                             "n=$(/usr/bin/wc -l < '" + (folder_ / "sbatch_calls").string() + "')\n"
                             "echo $((99 + n))\n";
    ::chmod(sbatch.c_str(), 0755);
  }
  void PathWithOnly(const fs::path& folder) { ::setenv("PATH", folder.c_str(), 1); }

  std::string Output(const std::string& name) const { return ReadFileBytes(folder_ / "out" / name); }

  fs::path folder_;
  fs::path bin_;
  std::string path_;
};

TEST_F(SubmitStatus, WithoutSbatchOnThePathSaysSoAndWritesNothing) {
  PathWithOnly(bin_);
  CliResult result = RunCli(folder_, {"submit", "out/small.rcf", "--all"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("sbatch was not found on the PATH"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(folder_ / "out" / "small_chains.sbatch"));
  // A dry run needs no cluster.
  CliResult dry = RunCli(folder_, {"submit", "out/small.rcf", "--all", "--dry-run"});
  EXPECT_EQ(dry.exitCode, 0) << dry.err;
  EXPECT_TRUE(fs::exists(folder_ / "out" / "small_chains.sbatch"));
}

TEST_F(SubmitStatus, DryRunLeavesFinishedChainsOutAndPrintsTheScripts) {
  ASSERT_EQ(RunCli(folder_, {"run", "out/small.rcf", "--mixture", "1", "--quiet"}).exitCode, 0);
  ASSERT_EQ(RunCli(folder_, {"run", "out/small.rcf", "--mixture", "3", "--chains", "2", "--quiet"})
                .exitCode,
            0);
  CliResult dry = RunCli(folder_, {"submit", "out/small.rcf", "--all", "--dry-run"});
  ASSERT_EQ(dry.exitCode, 0) << dry.err;
  EXPECT_NE(dry.out.find("3 chain tasks to run (3 finished chains left out)"), std::string::npos)
      << dry.out;
  const std::string chains = Output("small_chains.sbatch");
  EXPECT_NE(dry.out.find(chains), std::string::npos);
  EXPECT_NE(chains.find("#SBATCH --array=0-2\n"), std::string::npos) << chains;
  EXPECT_NE(chains.find("mixtures=(2 2 3)\nchains=(1 2 1)\n"), std::string::npos) << chains;
  // The reports of every mixture, finished ones included.
  EXPECT_NE(Output("small_reports.sbatch").find("for mixture in 1 2 3; do"), std::string::npos);
  EXPECT_NE(dry.out.find("--dependency=afterok:"), std::string::npos);

  CliResult one = RunCli(folder_, {"submit", "out/small.rcf", "--mixture", "3", "--chains", "1",
                                   "--threads-per-chain", "2", "--dry-run"});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_NE(Output("small_chains.sbatch").find("--chains \"$chain\" --quiet --threads-per-chain 2"),
            std::string::npos);
}

TEST_F(SubmitStatus, SubmitsTheArrayThenTheReportsAfterIt) {
  InstallFakeSbatch();
  PathWithOnly(bin_);
  CliResult result = RunCli(folder_, {"submit", "out/small.rcf", "--all", "--partition", "short",
                                      "--sbatch-arg=--qos=low"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string calls = ReadFileBytes(folder_ / "sbatch_calls");
  const std::string rcf = (folder_ / "out").string();
  // The folder, name, log files and resources ride on sbatch's command line,
  // the user's own options last.
  const std::string chainsJob = "--chdir=" + rcf + " --job-name=mixora-small --output=" + rcf +
                                "/small_slurm/chains_%A_%a.out --partition=short";
  const std::string reportsJob = "--chdir=" + rcf + " --job-name=mixora-small-reports --output=" +
                                 rcf + "/small_slurm/reports_%j.out";
  EXPECT_EQ(calls, "--parsable " + chainsJob + " --qos=low " + rcf + "/small_chains.sbatch\n" +
                       "--parsable --dependency=afterok:100 --kill-on-invalid-dep=yes " + reportsJob +
                       " --partition=short --qos=low " + rcf + "/small_reports.sbatch\n");
  EXPECT_NE(result.out.find("Chains: job array 100 (6 tasks)"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Reports: job 101, when every chain task has succeeded"),
            std::string::npos);
  EXPECT_NE(result.out.find("squeue -j 100,101"), std::string::npos);
  EXPECT_NE(Output("small_chains.sbatch").find("#SBATCH --partition=short\n"), std::string::npos);

  // Every chain finished: only the reports are left to submit.
  ASSERT_EQ(RunCli(folder_, {"run", "out/small.rcf", "--all", "--quiet"}).exitCode, 0);
  fs::remove(folder_ / "sbatch_calls");
  CliResult done = RunCli(folder_, {"submit", "out/small.rcf", "--all"});
  ASSERT_EQ(done.exitCode, 0) << done.err;
  EXPECT_EQ(ReadFileBytes(folder_ / "sbatch_calls"),
            "--parsable " + reportsJob + " " + rcf + "/small_reports.sbatch\n");
  EXPECT_NE(done.out.find("Every chain has finished"), std::string::npos);
}

TEST_F(SubmitStatus, RefusesBadRequests) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string error;
  } cases[] = {
      {{"submit", "out/small.rcf", "--chains", "3", "--dry-run"}, 2,
       "mixora: chain 3: the run has 2 chains\n"},
      {{"submit", "out/small.rcf", "--mixture", "4", "--dry-run"}, 2,
       "mixora: mixture 4: the run has 3 mixtures\n"},
      {{"submit", "out/small.rcf", "--chains", "x", "--dry-run"}, 2,
       "mixora: --chains: \"x\" is not a chain number or a range like 2-4\n"},
      {{"submit", "out/none.rcf", "--dry-run"}, 1, "mixora: cannot read "},
      // Paths no job can be given are refused before anything is written.
      {{"submit", "line\nbreak/small.rcf", "--dry-run"}, 1,
       "is holding a line break (0x0A) at character "},
      {{"submit", std::string(4400, 'x') + "/small.rcf", "--dry-run"}, 1,
       "characters long, and a job cannot open a path of 4096 or more"},
  };
  for (const Case& c : cases) {
    CliResult result = RunCli(folder_, c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args[2] << result.err;
    EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
  }
}

TEST_F(SubmitStatus, StatusShowsEveryChainAndNamesADamagedOne) {
  ASSERT_EQ(RunCli(folder_, {"run", "out/small.rcf", "--mixture", "2", "--quiet"}).exitCode, 0);
  CliResult status = RunCli(folder_, {"status", "out/small.rcf"});
  ASSERT_EQ(status.exitCode, 0) << status.err;
  EXPECT_NE(status.out.find("out/small.rcf: 3 mixtures, 2 chains each, 100 reps\n"),
            std::string::npos)
      << status.out;
  EXPECT_NE(status.out.find("Mixture 2 (Small te_POP_02)\n  Chain   Iteration  State         Last save\n"
                            "      1         100  finished      "),
            std::string::npos)
      << status.out;
  EXPECT_NE(status.out.find("      2           0  not started   -\n"), std::string::npos);
  EXPECT_NE(status.out.find("2 of 6 chains finished\n"), std::string::npos);

  // A restart file overwritten with something else, and a composition file
  // cut short.
  {
    std::ofstream damage(folder_ / "out" / "Small te_POP_02_02.Rst", std::ios::binary);
    damage << "not a restart file";
  }
  CliResult damaged = RunCli(folder_, {"status", "out/small.rcf"});
  EXPECT_EQ(damaged.exitCode, 1);
  EXPECT_NE(damaged.err.find("mixora: mixture 2, chain 2 is damaged: "), std::string::npos)
      << damaged.err;
  EXPECT_NE(damaged.err.find("Small te_POP_02_02.Rst"), std::string::npos);
  EXPECT_NE(damaged.out.find("1 of 6 chains finished, 1 damaged\n"), std::string::npos);

  fs::resize_file(folder_ / "out" / "Small te_POP_02_01.Ise", 10);
  damaged = RunCli(folder_, {"status", "out/small.rcf"});
  EXPECT_NE(damaged.err.find("mixture 2, chain 1 is damaged: "), std::string::npos) << damaged.err;
  EXPECT_NE(damaged.err.find("Small te_POP_02_01.Ise: not a sample file"), std::string::npos);
}

}  // namespace
