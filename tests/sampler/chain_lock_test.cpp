// A chain run by one process is refused by every other, whose own chains go
// on; the lock goes with the process that held it.
#include "sampler/chain_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::CliResult;
using testing_support::RunCli;

class ChainLock : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::NewTempFolder("chain_lock");
    for (const auto& entry : fs::directory_iterator(fs::path(MIXORA_TEST_DATA_DIR) / "rcf"))
      fs::copy(entry.path(), folder_ / entry.path().filename());
    ASSERT_EQ(RunCli(folder_, {"load", "small.tcf"}).exitCode, 0);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  fs::path folder_;
};

TEST_F(ChainLock, ChainHeldElsewhereIsLeftAloneAndFreedAfterwards) {
  const std::string lock = (folder_ / "out" / "Small te_POP_01_02.lock").string();
  int held = LockChainFile(lock);
  ASSERT_GE(held, 0);
  // Held: a second taker in this process is refused too (flock is per open file).
  EXPECT_EQ(LockChainFile(lock), kChainLockBusy);

  CliResult refused = RunCli(folder_, {"run", "out/small.rcf", "--chains", "2", "--quiet"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Chain 2 is running in another process"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(folder_ / "out" / "Small te_POP_01_02.Sta"));
  // Another chain of the same mixture runs beside it.
  EXPECT_EQ(RunCli(folder_, {"run", "out/small.rcf", "--chains", "1", "--quiet"}).exitCode, 0);

  UnlockChainFile(held, lock);
  EXPECT_EQ(held, -1);
  EXPECT_FALSE(fs::exists(lock));
  CliResult ran = RunCli(folder_, {"run", "out/small.rcf", "--chains", "2", "--quiet"});
  EXPECT_EQ(ran.exitCode, 0) << ran.err;
  EXPECT_FALSE(fs::exists(lock)) << "left behind by a process that finished";
}

}  // namespace
}  // namespace mixora
