// A real `mixora run` stopped hard (SIGKILL) at random moments, or asked to
// stop (SIGINT, SIGHUP, SIGTERM), and then run again ends with exactly the
// samples and restart files of a run that was never interrupted; and the
// chains of a run split over several processes running at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sampler/restart_file.h"
#include "sampler/runner_fixture.h"

namespace mixora {
namespace {

using namespace runner_testing;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kChains = 4;
constexpr int32_t kReps = 6000;

// The example run copied into folder and loaded there.
void PrepareExample(const ScratchFolder& folder) {
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin.tcf", "tavrin_baseline.bse", "tavrin_mixture.gen"})
    fs::copy_file(source / name, fs::path(folder.path()) / name);
  const std::string command = "cd '" + folder.path() + "' && '" + MIXORA_CLI_PATH +
                              "' load tavrin.tcf >/dev/null 2>&1 </dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

// Starts `mixora run output/tavrin.rcf --overwrite --quiet` with the extra
// arguments in folder, its output thrown away. Returns the process id.
pid_t StartRun(const ScratchFolder& folder, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {MIXORA_CLI_PATH, "run", "output/tavrin.rcf", "--overwrite",
                                   "--quiet"};
  args.insert(args.end(), extra.begin(), extra.end());
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.path().c_str()) != 0) _exit(127);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(MIXORA_CLI_PATH, argv.data());
    _exit(127);
  }
  return pid;
}

// Waits for the process; its exit code, or -signal when a signal ended it.
int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
}

std::string ChainFile(const ScratchFolder& folder, int chain, const char* extension) {
  char name[64];
  std::snprintf(name, sizeof name, "output/Tavrin25_POP_01_%02d.%s", chain + 1, extension);
  return folder.File(name);
}

void ExpectSameResults(const ScratchFolder& want, const ScratchFolder& got) {
  for (int chain = 0; chain < kChains; ++chain) {
    for (const char* extension : {"Sta", "Ise"}) {
      SampleRecords a = ReadAllRecords(ChainFile(want, chain, extension));
      SampleRecords b = ReadAllRecords(ChainFile(got, chain, extension));
      ASSERT_TRUE(a.error.empty()) << a.error;
      ASSERT_TRUE(b.error.empty()) << b.error;
      EXPECT_EQ(b.values, a.values) << extension << " of chain " << chain + 1;
      EXPECT_EQ(b.header.recordCount, a.header.recordCount) << extension << chain + 1;
      EXPECT_EQ(b.header.blockCapacity, a.header.blockCapacity) << extension << chain + 1;
      EXPECT_EQ(b.header.thinning, a.header.thinning) << extension << chain + 1;
      EXPECT_EQ(b.header.valuesPerRecord, a.header.valuesPerRecord) << extension << chain + 1;
      EXPECT_EQ(b.header.elementSize, a.header.elementSize) << extension << chain + 1;
      // The blocks too: a stop's partial block is rewritten, not followed.
      EXPECT_TRUE(ReadBytes(ChainFile(got, chain, extension)) ==
                  ReadBytes(ChainFile(want, chain, extension)))
          << extension << " of chain " << chain + 1 << " differs byte for byte";
    }
    const auto rst = ReadBytes(ChainFile(want, chain, "Rst"));
    ASSERT_FALSE(rst.empty());
    EXPECT_EQ(ReadBytes(ChainFile(got, chain, "Rst")), rst) << "restart file of chain " << chain + 1;
  }
}

// Waits until every chain's sample file has grown past its first size (each
// chain has saved samples, so it is under way) or the time is up.
void WaitUntilEveryChainHasSaved(const ScratchFolder& folder, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  std::vector<std::uintmax_t> first(kChains, 0);
  for (;;) {
    int saved = 0;
    for (int chain = 0; chain < kChains; ++chain) {
      std::error_code ec;
      const std::uintmax_t size = fs::file_size(ChainFile(folder, chain, "Sta"), ec);
      if (ec || size == 0) continue;
      if (first[chain] == 0) first[chain] = size;
      else if (size > first[chain]) ++saved;
    }
    if (saved == kChains || Clock::now() > until) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

class CrashResume : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareExample(straight_);
    const auto start = Clock::now();
    ASSERT_EQ(Wait(StartRun(straight_)), 0);
    wholeRunMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                      .count();
    for (int chain = 0; chain < kChains; ++chain) {
      RestartChainValues values;
      ASSERT_EQ(ReadRestartChainValues(ChainFile(straight_, chain, "Rst"), values), 1);
      ASSERT_EQ(values.iteration, kReps);
    }
  }

  ScratchFolder straight_;
  int64_t wholeRunMs_ = 0;
};

TEST_F(CrashResume, KilledAtRandomMomentsThenRunAgainGivesTheSameFiles) {
  uint32_t seed = std::random_device{}();
  if (const char* fixed = std::getenv("MIXORA_CRASH_SEED")) seed = std::strtoul(fixed, nullptr, 10);
  SCOPED_TRACE("MIXORA_CRASH_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  // Kills land anywhere from the opening of the run to near its end.
  std::uniform_int_distribution<int64_t> delay(0, wholeRunMs_ * 9 / 10);

  ScratchFolder killed;
  PrepareExample(killed);
  int kills = 0;
  // The first kill lands early: the run may go several times faster now than
  // when it was timed on a busy machine, and a run that finishes before any
  // kill tests nothing.
  std::uniform_int_distribution<int64_t> early(0, wholeRunMs_ / 5);
  for (int attempt = 0; attempt < 8; ++attempt) {
    const pid_t pid = StartRun(killed);
    std::this_thread::sleep_for(
        std::chrono::milliseconds(attempt == 0 ? early(random) : delay(random)));
    kill(pid, SIGKILL);
    const int code = Wait(pid);
    if (code == -SIGKILL) ++kills;
    else EXPECT_EQ(code, 0) << "attempt " << attempt;
  }
  EXPECT_GT(kills, 0);
  ASSERT_EQ(Wait(StartRun(killed)), 0);
  ExpectSameResults(straight_, killed);
}

// Ctrl-C, the terminal going away and a cluster's SIGTERM all stop the run
// the same way; a repeated signal (a scheduler signals every process of a
// task, and the task's script passes the signal on once more) changes
// nothing.
TEST_F(CrashResume, StopSignalsSaveEveryChainAndALaterRunFinishesThem) {
  struct Case {
    const char* name;
    std::vector<int> signals;
  } cases[] = {
      {"Ctrl-C", {SIGINT}},
      {"hang-up", {SIGHUP}},
      {"SIGTERM twice", {SIGTERM, SIGTERM}},
  };
  for (const Case& c : cases) {
    ScratchFolder interrupted;
    PrepareExample(interrupted);
    const pid_t pid = StartRun(interrupted);
    // Timed sleeps either stop chains that have not begun on a busy machine or
    // miss a run that finishes early on an idle one; progress decides instead.
    WaitUntilEveryChainHasSaved(interrupted, std::chrono::milliseconds(wholeRunMs_ * 10));
    for (int signal : c.signals) kill(pid, signal);
    ASSERT_EQ(Wait(pid), 130) << c.name;
    for (int chain = 0; chain < kChains; ++chain) {
      RestartChainValues values;
      ASSERT_EQ(ReadRestartChainValues(ChainFile(interrupted, chain, "Rst"), values), 1);
      EXPECT_GT(values.iteration, 0) << c.name << chain + 1;
      EXPECT_LT(values.iteration, kReps) << c.name << chain + 1;
      // Stopped chains have their samples counted in their headers already.
      EXPECT_EQ(ReadAllRecords(ChainFile(interrupted, chain, "Ise")).header.recordCount,
                static_cast<uint32_t>(values.compositionTotal))
          << c.name;
      const std::string log = ReadText(ChainFile(interrupted, chain, "Sum"));
      EXPECT_NE(log.find("Session ended: "), std::string::npos) << c.name << chain + 1;
    }
    ASSERT_EQ(Wait(StartRun(interrupted)), 0) << c.name;
    ExpectSameResults(straight_, interrupted);
  }
}

// Chains of one mixture run by separate processes at the same time, as array
// tasks on a cluster do: the same files as one process running them all, and
// one run summary with one head and a session line from each process.
TEST_F(CrashResume, ProcessesRunningSomeChainsEachGiveTheFilesOfOneRun) {
  ScratchFolder split;
  PrepareExample(split);
  std::vector<pid_t> pids;
  for (const char* chains : {"1", "2", "3", "4"}) pids.push_back(StartRun(split, {"--chains", chains}));
  for (pid_t pid : pids) EXPECT_EQ(Wait(pid), 0);
  ExpectSameResults(straight_, split);
  const std::string summary = ReadText(split.File("output/Tavrin25_POP_01.Sum"));
  const std::string head = ReadText(straight_.File("output/Tavrin25_POP_01.Sum"));
  const std::size_t headEnd = head.find("Session ended: ");
  ASSERT_NE(headEnd, std::string::npos);
  // The head differs only in its date, on the first line.
  EXPECT_EQ(summary.substr(summary.find("\r\n"), headEnd - head.find("\r\n")),
            head.substr(head.find("\r\n"), headEnd - head.find("\r\n")));
  std::size_t sessions = 0;
  for (std::size_t at = summary.find("Session ended: "); at != std::string::npos;
       at = summary.find("Session ended: ", at + 1))
    ++sessions;
  EXPECT_EQ(sessions, 4u);
  EXPECT_EQ(summary.find("Mixora v5.01", 1), std::string::npos) << "a second head";
  EXPECT_TRUE(summary.ends_with("\r\n"));
}

}  // namespace
}  // namespace mixora
