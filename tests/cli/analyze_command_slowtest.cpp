// The whole road on the example data: `mixora analyze` must finish every
// mixture, write every report, and its intervals must hold the simulated
// truth of the example (examples/tavrin/truth.txt).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Interval {
  double mean = 0, lower = 0, upper = 0;
};

// "Mixture N" sections of the printed tables: stock or group name to its
// interval, keyed by "N name".
std::map<std::string, Interval> ParseEstimates(const std::string& out) {
  std::map<std::string, Interval> table;
  std::istringstream lines(out);
  std::string line;
  int mixture = 0;
  while (std::getline(lines, line)) {
    int number = 0;
    if (std::sscanf(line.c_str(), "Mixture %d:", &number) == 1) mixture = number;
    std::size_t bracket = line.find('[');
    if (mixture == 0 || bracket == std::string::npos || line.rfind("    ", 0) != 0) continue;
    std::istringstream head(line.substr(0, bracket));
    std::string word, name, mean;
    std::vector<std::string> words;
    while (head >> word) words.push_back(word);
    if (words.size() < 2) continue;
    mean = words.back();
    words.pop_back();
    for (std::size_t i = 0; i < words.size(); ++i) name += (i ? " " : "") + words[i];
    Interval interval;
    interval.mean = std::atof(mean.c_str());
    std::sscanf(line.c_str() + bracket, "[ %lf%% - %lf%% ]", &interval.lower, &interval.upper);
    table[std::to_string(mixture) + " " + name] = interval;
  }
  return table;
}

TEST(AnalyzeCommand, ExampleRunFinishesWithReportsAndHoldsTheTruth) {
  fs::path folder = mixora::testing_support::NewTempFolder("analyze");
  for (const char* name : {"tavrin.tcf", "tavrin_baseline.bse", "tavrin_mixture.gen", "truth.txt"})
    fs::copy(fs::path(MIXORA_EXAMPLES_DIR) / "tavrin" / name, folder / name);

  std::string command = "cd '" + folder.string() + "' && '" + MIXORA_CLI_PATH +
                        "' analyze tavrin.tcf --overwrite --quiet >out.txt 2>err.txt </dev/null";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << ReadAll(folder / "err.txt");

  for (const char* pop : {"Tavrin25_POP_01", "Tavrin25_POP_02"}) {
    for (const char* suffix : {"_SCs.Txt", "_SCs_Grp.Txt", "_IDs.Txt", "_IDs.Csv", "_GR.Txt",
                               "_RL.Txt", ".Sum", "_01.Ise", "_04.Sta", "_04.Rst",
                               "_estimates.csv", "_posteriors.csv"})
      EXPECT_TRUE(fs::exists(folder / "output" / (std::string(pop) + suffix))) << pop << suffix;
    // The example's chains have seeds of their own, so the diagnostic can
    // judge them.
    EXPECT_EQ(ReadAll(folder / "output" / (std::string(pop) + "_GR.Txt")).find("identical"),
              std::string::npos)
        << pop;
  }
  EXPECT_EQ(ReadAll(folder / "err.txt").find("identical"), std::string::npos);

  std::map<std::string, Interval> estimates = ParseEstimates(ReadAll(folder / "out.txt"));
  std::istringstream truth(ReadAll(folder / "truth.txt"));
  std::string line;
  int checked = 0, misses = 0;
  while (std::getline(truth, line)) {
    int pop = 0, id = 0;
    char kind[16] = {}, name[64] = {};
    double share = 0;
    // "POP_01 stock 101 Kesh_Creek 0.22" and "POP_01 region 1 Coastal tributaries 0.33"
    if (std::sscanf(line.c_str(), "POP_%d %15s %d", &pop, kind, &id) != 3) continue;
    std::size_t last = line.find_last_of(' ');
    share = std::atof(line.c_str() + last + 1) * 100.0;
    std::istringstream rest(line.substr(0, last));
    std::string skip, word, full;
    rest >> skip >> skip >> skip;
    while (rest >> word) full += (full.empty() ? "" : " ") + word;
    std::snprintf(name, sizeof name, "%s", full.c_str());
    auto found = estimates.find(std::to_string(pop) + " " + name);
    ASSERT_NE(found, estimates.end()) << "no estimate printed for " << line;
    // The truth is the proportion the fish were drawn with, not the share
    // each mixture happened to get, so a 95% interval may miss now and then;
    // it must never miss by much.
    const Interval& got = found->second;
    bool inside = got.lower <= share + 0.5 && got.upper >= share - 0.5;
    if (!inside) ++misses;
    EXPECT_LE(got.lower, share + 5.0) << line;
    EXPECT_GE(got.upper, share - 5.0) << line;
    ++checked;
  }
  EXPECT_EQ(checked, 32);
  EXPECT_LE(misses, 4) << "95% intervals missed the truth " << misses << " times in 32";
  fs::remove_all(folder);
}

}  // namespace

namespace {

// SIGTERM (a cluster's time limit or a cancel) stops an analysis as it stops
// a run: the chains save, the exit status is 130, and --resume finishes it.
TEST(AnalyzeCommand, StoppedBySigtermLikeARunAndResumed) {
  const fs::path folder = mixora::testing_support::NewTempFolder("analyze_stop");
  const fs::path source = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin.tcf", "tavrin_baseline.bse", "tavrin_mixture.gen"})
    fs::copy_file(source / name, folder / name);
  const std::string err = (folder / "err.txt").string();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0 || !std::freopen(err.c_str(), "w", stderr) ||
        !std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "r", stdin))
      _exit(127);
    execl(MIXORA_CLI_PATH, MIXORA_CLI_PATH, "analyze", "tavrin.tcf", "--quiet",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Stopped once a chain has saved, so that there is something to resume.
  const fs::path restart = folder / "output" / "Tavrin25_POP_01_01.Rst";
  for (int waited = 0; waited < 60000 && !fs::exists(restart); waited += 5) usleep(5000);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_NE(ReadAll(err).find("--resume"), std::string::npos) << ReadAll(err);

  const std::string resume = "cd '" + folder.string() + "' && '" + MIXORA_CLI_PATH +
                             "' analyze tavrin.tcf --resume --overwrite --quiet >/dev/null 2>&1 </dev/null";
  EXPECT_EQ(std::system(resume.c_str()), 0);
  EXPECT_TRUE(fs::exists(folder / "output" / "Tavrin25_POP_02_SCs.Txt"));
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
