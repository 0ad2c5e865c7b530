// `report` while chains run used to exit 0 on whatever the files held at
// that moment, or call a block being written damaged. A chain whose lock a
// process holds is named, and nothing is reported until it has stopped.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sampler/chain_lock.h"
#include "support/cli_runner.h"
#include "support/short_example_run.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::CliResult;
using testing_support::RunCli;

TEST(RunningChains, ReportAndConvertWaitForTheChainsToStop) {
  testing_support::ScopedTempFolder folder("running_chains");
  testing_support::WriteShortExampleRun(folder.path());
  ASSERT_EQ(RunCli(folder.path(), {"load", "tavrin.tcf", "--quiet"}).exitCode, 0);
  ASSERT_EQ(RunCli(folder.path(), {"run", "output/tavrin.rcf", "--quiet"}).exitCode, 0);

  // This process stands in for one that runs chain 2.
  const std::string lock = (folder.path() / "output" / "Tavrin25_POP_01_02.lock").string();
  int fd = LockChainFile(lock);
  ASSERT_GE(fd, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"report", "output/tavrin.rcf", "--kind", "compositions"},
      {"convert", "output/tavrin.rcf", "--compositions", "-o", "ascii"},
  };
  for (const auto& command : commands) {
    CliResult result = RunCli(folder.path(), command);
    EXPECT_EQ(result.exitCode, 1) << command[0];
    EXPECT_EQ(result.LastErrorLine(),
              "mixora: mixture 1 (Tavrin25_POP_01): chain 2 is still running (a process holds "
              "the lock); report once the chains have stopped (`mixora status` shows where they "
              "stand), or stop them first")
        << command[0];
  }
  EXPECT_FALSE(fs::exists(folder.path() / "output" / "Tavrin25_POP_01_SCs.Txt"));

  UnlockChainFile(fd, lock);
  CliResult report =
      RunCli(folder.path(), {"report", "output/tavrin.rcf", "--kind", "compositions", "--quiet"});
  EXPECT_EQ(report.exitCode, 0) << report.err;
  EXPECT_TRUE(fs::exists(folder.path() / "output" / "Tavrin25_POP_01_SCs.Txt"));
}

}  // namespace
}  // namespace mixora
