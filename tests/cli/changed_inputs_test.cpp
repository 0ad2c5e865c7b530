// Chains computed from other inputs than their run control file holds now,
// or owned by another run control file, are never continued or reported as
// its answer; and a number of reps given in one front end (an extension,
// also one stopped part-way) holds in every other.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "sampler/chain_lock.h"
#include "sampler/mixture_runner.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using mixora::testing_support::CliResult;
using mixora::testing_support::ReadFileBytes;
using mixora::testing_support::RunCli;

// The small three-mixture fixture in a scratch folder, loaded into
// out/small.rcf.
class ChangedInputs : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = mixora::testing_support::NewTempFolder("changed_inputs");
    for (const auto& entry : fs::directory_iterator(fs::path(MIXORA_TEST_DATA_DIR) / "rcf"))
      fs::copy(entry.path(), folder_ / entry.path().filename());
    Expect({"load", "small.tcf"}, 0);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  CliResult Expect(const std::vector<std::string>& args, int exitCode) {
    CliResult result = RunCli(folder_, args);
    EXPECT_EQ(result.exitCode, exitCode) << args[0] << "\n" << result.out << result.err;
    return result;
  }
  // Rewrites a text file of the folder with one substitution.
  void Edit(const std::string& name, const std::string& from, const std::string& to) {
    std::string text = ReadFileBytes(folder_ / name);
    text = std::regex_replace(text, std::regex(from), to);
    std::ofstream(folder_ / name, std::ios::binary | std::ios::trunc) << text;
  }
  std::string Output(const std::string& name) const { return ReadFileBytes(folder_ / "out" / name); }

  fs::path folder_;
};

// load -> run -> change the mixture's genotypes (same fish) -> load -> run
// -> report: every command that would continue or report the old chains
// refuses, naming the file and the way out, until the chains are rerun.
TEST_F(ChangedInputs, OldChainsOfChangedInputsAreRefusedUntilRerun) {
  Expect({"run", "out/small.rcf", "--all", "--quiet"}, 0);
  Expect({"report", "out/small.rcf", "--quiet"}, 0);
  const std::string oldReport = Output("Small te_POP_01_SCs.Txt");
  const std::string oldSamples = Output("Small te_POP_01_01.Ise");
  const std::string oldInputs = Output("Small te_POP_01_Inputs.Sum");
  ASSERT_FALSE(oldReport.empty());
  EXPECT_EQ(oldInputs.rfind("Run control file: small.rcf\r\nInputs: ", 0), 0u) << oldInputs;

  Edit("small_mixture.gen", "a1 , 0102 0101", "a1 , 0303 0303");
  Expect({"load", "small.tcf", "--overwrite"}, 0);

  const std::string file = "out/Small te_POP_01_01.Rst";
  CliResult run = Expect({"run", "out/small.rcf", "--all", "--quiet"}, 1);
  EXPECT_EQ(run.out.find("already complete"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("computed from other inputs than out/small.rcf"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("--rerun"), std::string::npos) << run.err;
  EXPECT_EQ(Output("Small te_POP_01_01.Ise"), oldSamples);

  const std::vector<std::vector<std::string>> readers = {
      {"report", "out/small.rcf", "--quiet"},
      {"convert", "out/small.rcf", "--compositions", "--quiet"},
      {"plot", "out/small.rcf", "--kind", "compositions"},
      {"status", "out/small.rcf"},
  };
  for (const auto& args : readers) {
    CliResult refused = Expect(args, 1);
    EXPECT_NE(refused.err.find(file), std::string::npos) << args[0] << ": " << refused.err;
    EXPECT_NE(refused.err.find("--rerun"), std::string::npos) << args[0] << ": " << refused.err;
  }
  EXPECT_EQ(Output("Small te_POP_01_SCs.Txt"), oldReport);
  // Only the changed mixture's chains are stale.
  Expect({"report", "out/small.rcf", "--mixture", "2", "--quiet"}, 0);

  Expect({"run", "out/small.rcf", "--mixture", "1", "--rerun", "--overwrite", "--quiet"}, 0);
  // The summary was started afresh for the new inputs, and says so.
  EXPECT_NE(Output("Small te_POP_01_Inputs.Sum"), oldInputs);
  Expect({"report", "out/small.rcf", "--overwrite", "--quiet"}, 0);
  EXPECT_NE(Output("Small te_POP_01_SCs.Txt"), oldReport);
  CliResult status = Expect({"status", "out/small.rcf"}, 0);
  EXPECT_NE(status.out.find("6 of 6 chains finished"), std::string::npos) << status.out;
}

// A run stopped part-way and then given other genotypes must not be
// continued on them.
TEST_F(ChangedInputs, AStoppedRunIsNotContinuedOnReloadedGenotypes) {
  Expect({"run", "out/small.rcf", "--quiet"}, 0);
  // The chains stand at 100 of 200: continuing would be a resume.
  Edit("small.tcf", "NumberOfReps = 100", "NumberOfReps = 200");
  Edit("small_mixture.gen", "a2 , 0303 0203", "a2 , 0101 0101");
  Expect({"load", "small.tcf", "--overwrite"}, 0);
  CliResult run = Expect({"run", "out/small.rcf", "--quiet"}, 1);
  EXPECT_EQ(run.out.find("Completed"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("computed from other inputs"), std::string::npos) << run.err;
}

// Two run control files whose mixture titles begin alike name their outputs
// alike in one folder: the second may neither continue nor replace the
// first one's chains, nor report them as its own.
TEST_F(ChangedInputs, AnotherRunControlFilesChainsAreLeftAlone) {
  std::string text = ReadFileBytes(folder_ / "small.tcf");
  text = std::regex_replace(text, std::regex("Seed1 = 5"), "Seed1 = 9");
  std::ofstream(folder_ / "late.tcf", std::ios::binary) << text;
  Expect({"load", "late.tcf"}, 0);
  Expect({"run", "out/small.rcf", "--quiet"}, 0);
  const std::string samples = Output("Small te_POP_01_01.Ise");
  const std::string restart = Output("Small te_POP_01_01.Rst");

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"run", "out/late.rcf", "--quiet"},
        std::vector<std::string>{"run", "out/late.rcf", "--rerun", "--overwrite", "--quiet"},
        std::vector<std::string>{"report", "out/late.rcf", "--quiet"}}) {
    CliResult refused = Expect(args, 1);
    EXPECT_NE(refused.err.find("belongs to another run control file"), std::string::npos)
        << args[1] << " " << args[2] << ": " << refused.err;
  }
  EXPECT_EQ(Output("Small te_POP_01_01.Ise"), samples);
  EXPECT_EQ(Output("Small te_POP_01_01.Rst"), restart);
  Expect({"report", "out/small.rcf", "--quiet"}, 0);
}

// While a process runs chains of a run control file, neither load nor
// analyze may replace it: the running chains would end, and their reports
// be written, from data they never saw.
TEST_F(ChangedInputs, ARunControlFileWithRunningChainsIsNotReplaced) {
  const std::string rcf = Output("small.rcf");
  const std::string lockPath = (folder_ / "out" / "Small te_POP_02_01.lock").string();
  int lock = mixora::LockChainFile(lockPath);
  ASSERT_GE(lock, 0);
  Edit("small_mixture.gen", "a1 , 0102 0101", "a1 , 0303 0303");
  for (const char* command : {"load", "analyze"}) {
    CliResult refused = Expect({command, "small.tcf", "--overwrite", "--quiet"}, 1);
    EXPECT_NE(refused.err.find("its chains are running"), std::string::npos)
        << command << ": " << refused.err;
    EXPECT_NE(refused.err.find("Small te_POP_02_01.lock"), std::string::npos) << refused.err;
    EXPECT_EQ(Output("small.rcf"), rcf) << command;
  }
  mixora::UnlockChainFile(lock, lockPath);
  Expect({"load", "small.tcf", "--overwrite", "--quiet"}, 0);
  EXPECT_NE(Output("small.rcf"), rcf);
}

// The desktop extends a run with "..." and the user stops it part-way; the
// command line must then see the extension: status short of it, run
// continuing to it, report reading every record.
TEST_F(ChangedInputs, AnExtensionStoppedPartWayHoldsOnTheCommandLine) {
  Expect({"run", "out/small.rcf", "--all", "--quiet"}, 0);
  std::atomic<int> stop{0};
  mixora::MixtureRunOptions options;
  options.mixtures = {0};
  options.reps = 400;
  options.stopRequested = &stop;
  options.afterIteration = [&stop](mixora::Chain& chain) {
    // Each chain stops where it is, as Stop does, before the runner sees
    // the request.
    if (chain.iteration.load() < 250) return;
    chain.abortRequested.store(1);
    stop.store(1);
  };
  mixora::MixtureRunOutcome outcome;
  mixora::RunMixtures((folder_ / "out" / "small.rcf").string(), options, mixora::Interaction{},
                      {}, outcome);
  ASSERT_TRUE(outcome.stopped);

  CliResult status = Expect({"status", "out/small.rcf"}, 0);
  EXPECT_NE(status.out.find("Mixture 1 (Small te_POP_01), run to 400 reps"), std::string::npos)
      << status.out;
  EXPECT_NE(status.out.find("in progress"), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("4 of 6 chains finished"), std::string::npos) << status.out;

  CliResult run = Expect({"run", "out/small.rcf"}, 0);
  EXPECT_NE(run.out.find("Completed: 1 mixture run to 400 reps"), std::string::npos) << run.out;
  Expect({"report", "out/small.rcf", "--overwrite", "--quiet"}, 0);
  CliResult again = Expect({"run", "out/small.rcf", "--quiet"}, 0);
  EXPECT_NE(again.out.find("already complete at 400 iterations"), std::string::npos) << again.out;
  status = Expect({"status", "out/small.rcf"}, 0);
  EXPECT_NE(status.out.find("6 of 6 chains finished"), std::string::npos) << status.out;
}

}  // namespace
