// The batch scripts are run here by bash with stand-ins for mixora and
// scontrol, so that what a task does with Slurm's signals and exit statuses
// is checked without a cluster.
#include "cli/slurm_script.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;

void WriteExecutable(const fs::path& path, const std::string& text) {
  std::ofstream(path) << text;
  ::chmod(path.c_str(), 0755);
}

class SlurmScriptRun : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::NewTempFolder("slurm_script");
    fs::create_directories(folder_ / "bin");
    // mixora: records its arguments, then ends with $FAKE_STATUS, or with
    // "wait" runs until SIGTERM and ends as mixora does when stopped.
    WriteExecutable(folder_ / "fake-mixora",
                    "#!/bin/bash\n"
                    "echo \"$*\" >> \"$FAKE_DIR/calls\"\n"
                    "if [ \"$FAKE_STATUS\" = wait ]; then\n"
                    "  trap 'echo TERM >> \"$FAKE_DIR/signals\"; exit 130' TERM\n"
                    "  touch \"$FAKE_DIR/started\"\n"
                    "  while :; do sleep 0.02; done\n"
                    "fi\n"
                    "exit \"$FAKE_STATUS\"\n");
    WriteExecutable(folder_ / "bin" / "scontrol",
                    "#!/bin/bash\necho \"$*\" >> \"$FAKE_DIR/scontrol\"\n");
    settings_.mixoraPath = (folder_ / "fake-mixora").string();
    settings_.rcfPath = "/runs/it's here/tavrin.rcf";
    settings_.jobName = "mixora-tavrin";
    settings_.logFolder = "/runs/logs";
    settings_.tasks = {{0, 0}, {1, 0}, {1, 3}};
    settings_.reportMixtures = {0, 1};
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  // Runs the script as task `task` of array job 77, with the signal sent to
  // its shell once the stand-in has started (0: none). Returns the exit
  // status of the script.
  int RunTask(const std::string& script, int task, const std::string& fakeStatus, int signal) {
    const fs::path path = folder_ / "task.sh";
    std::ofstream(path) << script;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("FAKE_DIR", folder_.c_str(), 1);
      ::setenv("FAKE_STATUS", fakeStatus.c_str(), 1);
      ::setenv("SLURM_ARRAY_JOB_ID", "77", 1);
      ::setenv("SLURM_ARRAY_TASK_ID", std::to_string(task).c_str(), 1);
      const std::string bin = (folder_ / "bin").string() + ":" + std::getenv("PATH");
      ::setenv("PATH", bin.c_str(), 1);
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::execl("/bin/bash", "bash", path.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (signal != 0) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!fs::exists(folder_ / "started") && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ::kill(pid, signal);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Read(const char* name) const { return ReadFileBytes(folder_ / name); }

  fs::path folder_;
  SlurmJobSettings settings_;
};

TEST_F(SlurmScriptRun, TaskRunsItsOwnChainAndHandsOnSignalsAndStatus) {
  struct Case {
    const char* name;
    std::string fakeStatus;
    int signal;
    int exitCode;
    std::string signals;   // what mixora received
    std::string requeued;  // what scontrol was asked
  } cases[] = {
      {"chain completes", "0", 0, 0, "", ""},
      {"chain fails", "1", 0, 1, "", ""},
      // The warning ahead of the time limit: mixora saves and stops, and the
      // task goes back to the queue.
      {"time limit near", "wait", SIGUSR1, 130, "TERM\n", "requeue 77_2\n"},
      // A cancel or preemption stops it the same way, without a requeue.
      {"cancelled", "wait", SIGTERM, 130, "TERM\n", ""},
      {"hang-up", "wait", SIGHUP, 130, "TERM\n", ""},
  };
  const std::string script = BuildChainArrayScript(settings_);
  for (const Case& c : cases) {
    for (const char* name : {"calls", "signals", "scontrol", "started"}) fs::remove(folder_ / name);
    EXPECT_EQ(RunTask(script, 2, c.fakeStatus, c.signal), c.exitCode) << c.name;
    EXPECT_EQ(Read("calls"), "run /runs/it's here/tavrin.rcf --mixture 2 --chains 4 --quiet\n")
        << c.name;
    EXPECT_EQ(Read("signals"), c.signals) << c.name;
    EXPECT_EQ(Read("scontrol"), c.requeued) << c.name;
  }
}

TEST_F(SlurmScriptRun, ThreadsAndOverwriteReachTheTaskOnlyWhenAsked) {
  struct Case {
    int threads;
    bool overwrite;
    std::string call;
    std::string cpus;
  } cases[] = {
      {1, false, "run /runs/it's here/tavrin.rcf --mixture 1 --chains 1 --quiet\n", "1"},
      {4, false,
       "run /runs/it's here/tavrin.rcf --mixture 1 --chains 1 --quiet --threads-per-chain 4\n", "4"},
      {1, true, "run /runs/it's here/tavrin.rcf --mixture 1 --chains 1 --quiet --overwrite\n", "1"},
  };
  for (const Case& c : cases) {
    fs::remove(folder_ / "calls");
    settings_.threadsPerChain = c.threads;
    settings_.overwrite = c.overwrite;
    const std::string script = BuildChainArrayScript(settings_);
    EXPECT_EQ(RunTask(script, 0, "0", 0), 0);
    EXPECT_EQ(Read("calls"), c.call);
    EXPECT_NE(script.find("#SBATCH --cpus-per-task=" + c.cpus + "\n"), std::string::npos) << script;
  }
}

TEST_F(SlurmScriptRun, ArrayAsksForTheWarningRequeueAndResources) {
  settings_.partition = "long";
  settings_.time = "4:00:00";
  settings_.mem = "2G";
  settings_.account = "fish lab";
  const std::string script = BuildChainArrayScript(settings_);
  for (const char* line :
       {"#SBATCH --array=0-2\n", "#SBATCH --signal=B:USR1@120\n", "#SBATCH --requeue\n",
        "#SBATCH --output=/runs/logs/chains_%A_%a.out\n", "#SBATCH --partition=long\n",
        "#SBATCH --time=4:00:00\n", "#SBATCH --mem=2G\n", "#SBATCH --account=fish lab\n"})
    EXPECT_NE(script.find(line), std::string::npos) << line << script;
  settings_.time.clear();
  EXPECT_EQ(BuildChainArrayScript(settings_).find("--time"), std::string::npos);
  EXPECT_EQ(ArrayRange(1), "0");
}

TEST_F(SlurmScriptRun, ReportJobReportsEveryMixtureAndFailsWhenOneFails) {
  std::string script = BuildReportScript(settings_);
  EXPECT_EQ(RunTask(script, 0, "0", 0), 0);
  EXPECT_EQ(Read("calls"),
            "report /runs/it's here/tavrin.rcf --mixture 1 --kind all --overwrite --quiet\n"
            "report /runs/it's here/tavrin.rcf --mixture 2 --kind all --overwrite --quiet\n");
  fs::remove(folder_ / "calls");
  EXPECT_EQ(RunTask(script, 0, "1", 0), 1);
  // One failing mixture does not keep the next from its reports.
  EXPECT_EQ(Read("calls").size(), 2 * std::string("report /runs/it's here/tavrin.rcf --mixture 1 "
                                                   "--kind all --overwrite --quiet\n")
                                         .size());

  // One chain has no Gelman-Rubin diagnostic: every other report, each kind
  // by population and by region where it has both.
  settings_.oneChain = true;
  settings_.reportMixtures = {2};
  fs::remove(folder_ / "calls");
  EXPECT_EQ(RunTask(BuildReportScript(settings_), 0, "0", 0), 0);
  const std::string calls = Read("calls");
  EXPECT_EQ(calls.find("gelman"), std::string::npos);
  EXPECT_NE(calls.find("--mixture 3 --kind raftery-lewis --by region"), std::string::npos) << calls;
  EXPECT_NE(calls.find("--mixture 3 --kind assignments --overwrite"), std::string::npos) << calls;
}

TEST(SlurmJobId, ReadsWhatSbatchParsablePrints) {
  struct Case {
    const char* output;
    const char* id;
  } cases[] = {
      {"1234\n", "1234"},
      {"1234;cluster-a\n", "1234"},
      {"  42", "42"},
      {"", ""},
      {"sbatch: error: invalid partition\n", ""},
      {"12ab\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseJobId(c.output), c.id) << c.output;
}

}  // namespace
}  // namespace mixora
