// Our check against a known truth: a mixture simulated from the example
// baseline is analysed by the mixora program as a user would analyse it, and
// the stock composition report must bracket the composition the mixture was
// drawn with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

using mixora::testing_support::ReadFileBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

using mixora::testing_support::CliResult;

class Scratch {
 public:
  Scratch() {
    path_ = mixora::testing_support::NewTempFolder("recovery");
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

  // Runs mixora here with no terminal on standard input.
  CliResult Run(const std::string& arguments) const {
    return mixora::testing_support::RunCliLine(path_, arguments);
  }

  // Whether the program's help lists the command among its subcommands.
  bool HasCommand(const std::string& name) const {
    for (const std::string& line : Lines(Run("--help").out)) {
      std::string trimmed = Trim(line);
      if (line.rfind("  ", 0) == 0 && trimmed.rfind(name + " ", 0) == 0) return true;
    }
    return false;
  }

 private:
  fs::path path_;
};

// The nominal proportions of the "StockProp" block, divided by their sum.
std::map<int, double> NominalProportions(const std::string& mcf) {
  std::map<int, double> proportions;
  bool inBlock = false;
  double sum = 0.0;
  for (const std::string& raw : Lines(mcf)) {
    std::string line = Trim(raw);
    if (!inBlock) {
      inBlock = line.rfind("StockProp", 0) == 0;
      continue;
    }
    if (line.empty()) break;
    std::istringstream in(line);
    int id;
    double p;
    if (!(in >> id >> p)) break;
    proportions[id] += p;
    sum += p;
  }
  for (auto& entry : proportions) entry.second /= sum;
  return proportions;
}

// The composition of the fish actually written: the simulated fish carry
// their stock in their name.
std::map<int, double> DrawnProportions(const std::string& mixture) {
  std::map<int, double> proportions;
  int fish = 0;
  const std::string mark = "Simulated Fish StockID ";
  for (std::size_t at = mixture.find(mark); at != std::string::npos;
       at = mixture.find(mark, at + 1)) {
    ++proportions[std::stoi(mixture.substr(at + mark.size(), 4))];
    ++fish;
  }
  for (auto& entry : proportions) entry.second /= fish;
  return proportions;
}

// Stock names by ID from the "Stocks" block of a text control file.
std::map<std::string, int> StockIdsByName(const std::string& tcf) {
  std::map<std::string, int> ids;
  bool inBlock = false;
  for (const std::string& raw : Lines(tcf)) {
    std::string line = Trim(raw);
    if (!inBlock) {
      inBlock = line.rfind("Stocks", 0) == 0;
      continue;
    }
    if (line.empty()) break;
    std::istringstream in(line);
    int id, group;
    std::string name;
    in >> id >> group >> name;
    ids[name] = id;
  }
  return ids;
}

struct ReportRow {
  double mean, rollest, se, lower, median, upper;  // percentages
  long samples;
};

// The rows of the last table of a stock composition report: the "Chains
// Combined" table, or the only chain's table.
std::map<std::string, ReportRow> LastCompositionTable(const std::string& report) {
  std::vector<std::string> lines = Lines(report);
  std::size_t heading = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind("STOCK ", 0) == 0) heading = i;
  std::map<std::string, ReportRow> rows;
  for (std::size_t i = heading + 2; i < lines.size() && !Trim(lines[i]).empty(); ++i) {
    const std::string& line = lines[i];
    if (line.size() <= 18) break;
    ReportRow row{};
    std::istringstream in(line.substr(18));
    if (!(in >> row.mean >> row.rollest >> row.se >> row.lower >> row.median >> row.upper >>
          row.samples))
      break;
    rows[Trim(line.substr(0, 18))] = row;
  }
  return rows;
}

TEST(SimulationRecovery, KnownCompositionLiesWithinTheReportedIntervals) {
  Scratch scratch;
  const fs::path example = fs::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin_sim.mcf", "tavrin_baseline.bse"})
    fs::copy_file(example / name, scratch.path() / name);

  CliResult simulated = scratch.Run("simulate tavrin_sim.mcf --quiet");
  ASSERT_EQ(simulated.exitCode, 0) << simulated.out << simulated.err;

  // The analysis: "analyze" in one step when the program has it, otherwise
  // load, run and report one after another.
  std::vector<std::string> steps;
  if (scratch.HasCommand("analyze")) {
    steps = {"analyze tavrin_sim.tcf --overwrite --quiet"};
  } else if (scratch.HasCommand("run") && scratch.HasCommand("report")) {
    steps = {"load tavrin_sim.tcf --overwrite --quiet",
             "run output/tavrin_sim.rcf --overwrite --quiet",
             "report output/tavrin_sim.rcf --overwrite --quiet"};
  } else {
    GTEST_SKIP() << "the mixora program has neither \"analyze\" nor both \"run\" and "
                    "\"report\" yet: the simulated mixture cannot be analysed";
  }
  for (const std::string& step : steps) {
    CliResult result = scratch.Run(step);
    ASSERT_EQ(result.exitCode, 0) << step << "\n" << result.out << result.err;
  }

  fs::path reportPath;
  for (const auto& entry : fs::directory_iterator(scratch.path() / "output")) {
    std::string name = entry.path().filename().string();
    if (name.size() > 8 && name.compare(name.size() - 8, 8, "_SCs.Txt") == 0)
      reportPath = entry.path();
  }
  ASSERT_FALSE(reportPath.empty()) << "no stock composition report in output/";
  std::map<std::string, ReportRow> rows = LastCompositionTable(ReadFileBytes(reportPath));
  std::map<std::string, int> ids = StockIdsByName(ReadFileBytes(scratch.path() / "tavrin_sim.tcf"));
  ASSERT_EQ(ids.size(), 12u);
  ASSERT_EQ(rows.size(), ids.size()) << ReadFileBytes(reportPath);

  const std::map<int, double> nominal = NominalProportions(ReadFileBytes(scratch.path() / "tavrin_sim.mcf"));
  const std::map<int, double> drawn = DrawnProportions(ReadFileBytes(scratch.path() / "tavrin_sim.gen"));
  ASSERT_EQ(nominal.size(), 5u);
  for (const auto& [name, id] : ids) {
    SCOPED_TRACE(name);
    ASSERT_EQ(rows.count(name), 1u);
    const ReportRow& row = rows.at(name);
    auto truth = drawn.find(id);
    if (truth == drawn.end()) {
      // Absent stocks: the interval reaches down to nothing and stays narrow.
      EXPECT_LE(row.lower, 0.5);
      EXPECT_LT(row.upper, 2.0);
      EXPECT_LT(row.mean, 1.0);
      continue;
    }
    const double percent = 100.0 * truth->second;
    EXPECT_LE(row.lower, percent);
    EXPECT_GE(row.upper, percent);
    EXPECT_NEAR(row.mean, percent, 3.0);
    EXPECT_NEAR(row.mean, 100.0 * nominal.at(id), 5.0);
  }
}

}  // namespace
