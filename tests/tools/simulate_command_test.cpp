// The simulate command, run as a user runs it on the example data.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs mixora in `folder` with no terminal on standard input.
CliResult RunCli(const ScratchFolder& folder, const std::string& arguments) {
  std::string command = "cd '" + folder.path() + "' && '" + MIXORA_CLI_PATH + "' " + arguments +
                        " > cli.out 2> cli.err < /dev/null";
  int raw = std::system(command.c_str());
  CliResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(folder / "cli.out");
  result.err = ReadFile(folder / "cli.err");
  return result;
}

void CopyExample(const ScratchFolder& folder) {
  const std::string example = std::string(MIXORA_EXAMPLES_DIR) + "/tavrin/";
  for (const char* name : {"tavrin_sim.mcf", "tavrin_baseline.bse"})
    std::filesystem::copy_file(example + name, folder / name);
}

TEST(SimulateCommand, SimulatesTheExampleAndAsksBeforeReplacing) {
  ScratchFolder folder;
  CopyExample(folder);
  CliResult first = RunCli(folder, "simulate tavrin_sim.mcf");
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("Success!!"), std::string::npos) << first.out;
  std::string mixture = ReadFile(folder / "tavrin_sim.gen");
  EXPECT_EQ(mixture.rfind("Simulation - Tavrin simulated mixture\r\n", 0), 0u);
  EXPECT_NE(ReadFile(folder / "tavrin_sim.tcf").find("MixtureFile = tavrin_sim.gen\r\n"),
            std::string::npos);

  // Nobody to ask: the control file is kept and the command says so.
  WriteFile(folder / "tavrin_sim.tcf", "mine");
  CliResult refused = RunCli(folder, "simulate --quiet tavrin_sim.mcf");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("not overwriting tavrin_sim.tcf"), std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find("Did not overwrite"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFile(folder / "tavrin_sim.tcf"), "mine");

  CliResult replaced = RunCli(folder, "simulate tavrin_sim.mcf --overwrite --quiet");
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(ReadFile(folder / "tavrin_sim.gen"), mixture);
}

TEST(SimulateCommand, FailureNamesTheProblemOnStandardError) {
  ScratchFolder folder;
  WriteFile(folder / "bad.mcf", "Mixora simulator, version 2\r\n");
  CliResult result = RunCli(folder, "simulate --quiet bad.mcf");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("bad.mcf"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Incorrect header"), std::string::npos) << result.err;

  result = RunCli(folder, "simulate absent.mcf");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Cannot open absent.mcf"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace mixora
