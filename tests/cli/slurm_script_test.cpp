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

#include <algorithm>
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
    settings_.runFolder = "/runs/it's here";
    settings_.jobName = "mixora-tavrin";
    settings_.logFolder = "tavrin_slurm";
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
        "#SBATCH --partition=long\n",
        "#SBATCH --time=4:00:00\n", "#SBATCH --mem=2G\n"})
    EXPECT_NE(script.find(line), std::string::npos) << line << script;
  // A blank would make sbatch refuse the directive: such values go on its
  // command line only.
  EXPECT_EQ(script.find("fish lab"), std::string::npos) << script;
  EXPECT_EQ(script.find("--chdir"), std::string::npos) << script;
  const std::vector<std::string> options = SlurmJobOptions(settings_, false);
  for (const char* option : {"--chdir=/runs/it's here", "--account=fish lab",
                             "--output=/runs/it's here/tavrin_slurm/chains_%A_%a.out",
                             "--job-name=mixora-tavrin"})
    EXPECT_NE(std::find(options.begin(), options.end(), option), options.end()) << option;
  settings_.runFolder = "/runs/plain";
  const std::string plain = BuildChainArrayScript(settings_);
  EXPECT_NE(plain.find("#SBATCH --chdir=/runs/plain\n"), std::string::npos) << plain;
  EXPECT_NE(plain.find("#SBATCH --output=/runs/plain/tavrin_slurm/chains_%A_%a.out\n"),
            std::string::npos) << plain;
  // The folder's own percent signs are not Slurm's to expand.
  settings_.runFolder = "/runs/50%x";
  const std::vector<std::string> percent = SlurmJobOptions(settings_, true);
  EXPECT_NE(std::find(percent.begin(), percent.end(), "--output=/runs/50%%x/tavrin_slurm/reports_%j.out"),
            percent.end());
  settings_.time.clear();
  EXPECT_EQ(BuildChainArrayScript(settings_).find("--time"), std::string::npos);
  EXPECT_EQ(ArrayRange(1), "0");
}

// Folder names users have: each must reach mixora whole, and none may run as
// a command or turn into a directive sbatch refuses or expands.
TEST_F(SlurmScriptRun, HostileRunFolderNamesReachTheTaskWholeAndRunNothing) {
  const std::string marker = (folder_ / "INJECTED").string();
  const std::string cases[] = {
      "/runs/lab data/tavrin.rcf",
      "/runs/50%x done/tavrin.rcf",
      "/runs/$(touch " + marker + ")/tavrin.rcf",
      "/runs/`touch " + marker + "`/tavrin.rcf",
      "/runs/it's \"quoted\"/tavrin.rcf",
      "/runs/line\ntouch " + marker + "\n/tavrin.rcf",
  };
  for (const std::string& rcf : cases) {
    settings_.rcfPath = rcf;
    settings_.runFolder = fs::path(rcf).parent_path().string();
    for (const std::string& script : {BuildChainArrayScript(settings_), BuildReportScript(settings_)}) {
      fs::remove(folder_ / "calls");
      EXPECT_EQ(RunTask(script, 0, "0", 0), 0) << rcf;
      EXPECT_NE(Read("calls").find(" " + rcf + " --mixture 1 "), std::string::npos) << rcf;
      EXPECT_FALSE(fs::exists(marker)) << rcf << "\n" << script;
      std::size_t at = 0;
      while ((at = script.find("#SBATCH ", at)) != std::string::npos) {
        const std::size_t end = script.find('\n', at);
        const std::string option = script.substr(at + 8, end - at - 8);
        const std::size_t equals = option.find('=');
        std::string value = equals == std::string::npos ? "x" : option.substr(equals + 1);
        // Only the job and task numbers of the log file names are Slurm's to fill in.
        for (const char* ours : {"%A", "%a", "%j"})
          for (std::size_t p; (p = value.find(ours)) != std::string::npos;) value.replace(p, 2, "n");
        EXPECT_TRUE(DirectiveSafe(value)) << option;
        at = end;
      }
    }
  }
}

TEST(SlurmNames, OnlySafeTextReachesADirective) {
  struct Case {
    std::string text;
    bool safe;
    std::string name;
  } cases[] = {
      {"tavrin", true, "tavrin"},
      {"4:00:00", true, "4_00_00"},
      {"/data/runs/Tavrin-2025.v2", true, "_data_runs_Tavrin-2025.v2"},
      {"fish lab", false, "fish_lab"},
      {"50%x", false, "50_x"},
      {"a$(b)", false, "a__b_"},
      {"it's", false, "it_s"},
      {"two\nlines", false, "two_lines"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectiveSafe(c.text), c.safe) << c.text;
    EXPECT_EQ(SlurmName(c.text), c.name) << c.text;
  }
}

TEST(SlurmNames, PathsSlurmCannotBeGivenAreNamedWithTheirCharacter) {
  EXPECT_EQ(SlurmPathProblem("/runs/lab data/50%/it's $(x)/tavrin.rcf"), "");
  EXPECT_NE(SlurmPathProblem("/runs/a\nb/tavrin.rcf").find("a line break (0x0A) at character 8"),
            std::string::npos);
  EXPECT_NE(SlurmPathProblem("/runs/a\tb").find("a tab (0x09)"), std::string::npos);
  EXPECT_NE(SlurmPathProblem("/runs/a\\b").find("a backslash at character 8"), std::string::npos);
  EXPECT_NE(SlurmPathProblem("/" + std::string(4400, 'x')).find("4401 characters long"),
            std::string::npos);
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
