// `mixora report` stops on SIGINT, SIGTERM and SIGHUP as `run` and `analyze`
// do: exit status 130, no unfinished report left behind, and the reports of
// an earlier, complete `report` kept byte for byte.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_runner.h"
#include "support/short_example_run.h"
#include "support/limited_child.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::DrainPipe;
using testing_support::ReadFileBytes;
using testing_support::RunCli;

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), folder).string()] = ReadFileBytes(entry.path());
  return files;
}

// The example cut to two short chains, run, and reported once in full.
void PrepareReportedRun(const fs::path& folder) {
  testing_support::WriteShortExampleRun(folder);
  ASSERT_EQ(RunCli(folder, {"load", "tavrin.tcf"}).exitCode, 0);
  ASSERT_EQ(RunCli(folder, {"run", "output/tavrin.rcf", "--mixture", "1", "--quiet"}).exitCode, 0);
  ASSERT_EQ(RunCli(folder, {"report", "output/tavrin.rcf", "--mixture", "1", "--quiet"}).exitCode, 0);
}

bool BlockedOnPipe(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/wchan");
  std::string wchan;
  std::getline(in, wchan);
  return wchan.find("pipe_write") != std::string::npos;
}

// Starts `mixora report output/tavrin.rcf --mixture 1 ARGS... --overwrite` in
// folder with its standard error on the pipe `err` (whose read end the child
// closes); standard input and output are /dev/null.
pid_t StartReport(const fs::path& folder, const int err[2], std::vector<std::string> args) {
  args.insert(args.begin(), {MIXORA_CLI_PATH, "report", "output/tavrin.rcf", "--mixture", "1"});
  args.push_back("--overwrite");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    if (::chdir(folder.c_str()) != 0 || null < 0) ::_exit(126);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(err[1], 2);
    ::close(err[0]);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(MIXORA_CLI_PATH, argv.data());
    ::_exit(127);
  }
  return pid;
}

struct StopCase {
  const char* name;
  int signal;
};

class ReportStop : public ::testing::TestWithParam<StopCase> {};

// The report's standard error is a pipe filled to the brim, so the program
// halts at its first line ("Producing: ..."), inside the sequence of reports,
// until the test has sent the signal and drains the pipe: the signal always
// lands while reports are being produced, however fast or loaded the machine.
TEST_P(ReportStop, EndsWith130AndLeavesEarlierReportsWhole) {
  testing_support::ScopedTempFolder folder("report_stop");
  PrepareReportedRun(folder.path());
  if (HasFatalFailure()) return;
  const auto before = Snapshot(folder.path());

  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  const int flags = ::fcntl(err[1], F_GETFL);
  ::fcntl(err[1], F_SETFL, flags | O_NONBLOCK);
  const std::string junk(4096, '.');
  std::size_t filled = 0;
  for (ssize_t wrote; (wrote = ::write(err[1], junk.data(), junk.size())) > 0;)
    filled += static_cast<std::size_t>(wrote);
  ::fcntl(err[1], F_SETFL, flags);

  const pid_t pid = StartReport(folder.path(), err, {});
  ::close(err[1]);
  const auto start = std::chrono::steady_clock::now();
  while (!BlockedOnPipe(pid) && std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(::kill(pid, GetParam().signal), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::string stderrText = DrainPipe(err[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << stderrText.substr(std::min(filled, stderrText.size()));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_NE(stderrText.find("mixora: stopping: the unfinished report is discarded"),
            std::string::npos);

  const auto after = Snapshot(folder.path());
  for (const auto& [name, bytes] : after) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name << " was left behind";
    auto found = before.find(name);
    if (found == before.end())
      ADD_FAILURE() << name << " is new: a report was written after the stop";
    else
      EXPECT_EQ(bytes, found->second) << name << " was changed";
  }
  EXPECT_EQ(after.size(), before.size());
}

// The bootstrap of --bias-correct re-estimates the mixture hundreds of times;
// it used to run all of them after a SIGTERM and then write its tables.
TEST(BiasCorrectStop, StopsWithinAReplicateAndWritesNothing) {
  testing_support::ScopedTempFolder folder("bias_stop");
  PrepareReportedRun(folder.path());
  if (HasFatalFailure()) return;
  const auto before = Snapshot(folder.path());
  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  const pid_t pid = StartReport(folder.path(), err,
                                {"--kind", "compositions", "--bias-correct", "--bootstrap", "100000"});
  ::close(err[1]);
  // The bootstrap has begun once its line is out.
  std::string text;
  char buffer[256];
  for (ssize_t got; text.find("bootstrap re-estimates") == std::string::npos &&
                    (got = ::read(err[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  const auto signalled = std::chrono::steady_clock::now();
  text += DrainPipe(err[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(10));
  ASSERT_TRUE(WIFEXITED(status)) << text;
  EXPECT_EQ(WEXITSTATUS(status), 130) << text;
  const auto after = Snapshot(folder.path());
  for (const auto& [name, bytes] : after)
    EXPECT_TRUE(before.count(name) && before.at(name) == bytes) << name << " was written";
}

INSTANTIATE_TEST_SUITE_P(Signals, ReportStop,
                         ::testing::Values(StopCase{"SIGINT", SIGINT}, StopCase{"SIGTERM", SIGTERM},
                                           StopCase{"SIGHUP", SIGHUP}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace mixora
