// The simulate command, run as a user runs it on the example data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/cli_runner.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using testing_support::RunCliLine;
using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

using testing_support::CliResult;

void CopyExample(const ScratchFolder& folder) {
  const std::string example = std::string(MIXORA_EXAMPLES_DIR) + "/tavrin/";
  for (const char* name : {"tavrin_sim.mcf", "tavrin_baseline.bse"})
    std::filesystem::copy_file(example + name, folder / name);
}

TEST(SimulateCommand, SimulatesTheExampleAndAsksBeforeReplacing) {
  ScratchFolder folder;
  CopyExample(folder);
  CliResult first = RunCliLine(folder.path(), "simulate tavrin_sim.mcf");
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("Success!!"), std::string::npos) << first.out;
  std::string mixture = ReadFile(folder / "tavrin_sim.gen");
  EXPECT_EQ(mixture.rfind("Simulation - Tavrin simulated mixture\r\n", 0), 0u);
  EXPECT_NE(ReadFile(folder / "tavrin_sim.tcf").find("MixtureFile = tavrin_sim.gen\r\n"),
            std::string::npos);

  // Nobody to ask: the control file is kept and the command says so.
  WriteFile(folder / "tavrin_sim.tcf", "mine");
  CliResult refused = RunCliLine(folder.path(), "simulate --quiet tavrin_sim.mcf");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("not overwriting tavrin_sim.tcf"), std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find("Did not overwrite"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFile(folder / "tavrin_sim.tcf"), "mine");

  CliResult replaced = RunCliLine(folder.path(), "simulate tavrin_sim.mcf --overwrite --quiet");
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
  EXPECT_EQ(ReadFile(folder / "tavrin_sim.gen"), mixture);
}

TEST(SimulateCommand, FailureNamesTheProblemOnStandardError) {
  ScratchFolder folder;
  WriteFile(folder / "bad.mcf", "Mixora simulator, version 2\r\n");
  CliResult result = RunCliLine(folder.path(), "simulate --quiet bad.mcf");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("bad.mcf"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Incorrect header"), std::string::npos) << result.err;

  result = RunCliLine(folder.path(), "simulate absent.mcf");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("Cannot open absent.mcf"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace mixora
