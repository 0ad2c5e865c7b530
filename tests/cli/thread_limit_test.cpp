// A user's process limit (ulimit -u) can leave no room for the threads a run
// asks for. The run used to end in std::terminate (exit 134) with its chain
// files half made, and the next run refused to go on. Now each chain that
// cannot get its threads ends with the system's reason, and the next run,
// with room, finishes every chain.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/cli_runner.h"
#include "support/limited_child.h"
#include "support/short_example_run.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::ChildLimits;
using testing_support::CliResult;
using testing_support::RunCliLimited;

TEST(ThreadLimit, ChainsWithoutRoomForTheirThreadsEndSayingWhyAndResumeLater) {
  // Room for the program's own threads and some chains but no helper, and
  // room for no chain at all: the helpers fail, or the chains themselves.
  for (const rlim_t processes : {rlim_t{3}, rlim_t{1}}) {
    SCOPED_TRACE("processes " + std::to_string(processes));
    const fs::path folder = testing_support::NewTempFolder("thread_limit");
    testing_support::WriteShortExampleRun(folder);
    // Tests run as root, whom no process limit binds. The run is a user's of
    // its own, in a folder it may write: the limit counts every process of
    // the user, and other tests run as "nobody" side by side.
    ::chmod(folder.c_str(), 0777);
    ChildLimits user;
    user.asUser = static_cast<uid_t>(61000 + ::getpid() % 3000);
    const CliResult load = RunCliLimited(folder.string(), {"load", "tavrin.tcf", "--quiet"}, user);
    ASSERT_EQ(load.exitCode, 0) << load.err;

    ChildLimits tight = user;
    tight.processes = processes;
    const CliResult limited = RunCliLimited(
        folder.string(), {"run", "output/tavrin.rcf", "--all", "--threads-per-chain", "8"}, tight);
    EXPECT_EQ(limited.exitCode, 1) << limited.err;
    EXPECT_NE(limited.err.find("Resource temporarily unavailable"), std::string::npos)
        << limited.err;
    EXPECT_EQ(limited.err.find("terminate called"), std::string::npos) << limited.err;

    const CliResult again = RunCliLimited(
        folder.string(), {"run", "output/tavrin.rcf", "--all", "--threads-per-chain", "8"}, user);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    const CliResult status = RunCliLimited(folder.string(), {"status", "output/tavrin.rcf"}, user);
    EXPECT_NE(status.out.find("4 of 4 chains finished"), std::string::npos) << status.out;
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
}

}  // namespace
}  // namespace mixora
