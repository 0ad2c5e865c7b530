// The largest runs the formats allow go from loading through short chains to
// every report without overflowing anything, and one step past each limit is
// refused with a message that names the keyword or the file and line.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "core/run_limits.h"
#include "input/control_blocks.h"
#include "input/data_fields.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"
#include "tools/synthetic_files.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;
using testing_support::CliResult;
using testing_support::ReadFileBytes;
using testing_support::RunCli;

constexpr int kMostStocks = 999;  // the NumberOfStocks row of the keyword table

struct LimitCase {
  const char* name;
  SyntheticRunShape shape;
  void (*change)(const std::filesystem::path& folder) = nullptr;  // after writing
};

SyntheticRunShape Shape(int32_t stocks, int32_t characters, int32_t alleles, int32_t fish,
                        int32_t perStock) {
  SyntheticRunShape shape;
  shape.stocks = stocks;
  shape.characters = characters;
  shape.maxAlleles = alleles;
  shape.fish = fish;
  shape.baselineFishPerStock = perStock;
  return shape;
}

// Writes the synthetic run as Limit.tcf, .bse and .mix in folder.
void WriteRun(const fs::path& folder, const SyntheticRunShape& shape) {
  SyntheticFileSettings settings;
  settings.chains = 2;
  settings.reps = 40;
  settings.saveEvery = 100;
  settings.numberToKeep = 20;
  ASSERT_EQ(WriteSyntheticRunFiles(shape, settings, (folder / "Limit.tcf").string()), 1);
}

void Replace(const fs::path& file, const std::string& pattern, const std::string& with) {
  const std::string text = ReadFileBytes(file);
  const std::string changed = std::regex_replace(text, std::regex(pattern), with);
  ASSERT_NE(changed, text) << pattern;
  std::ofstream(file, std::ios::binary) << changed;
}

// Gives the synthetic run's stocks, its group, characters and fish names of
// the lengths given, in every file that names them: "Stock001" becomes
// "Stock001_xxx...", and so on.
void LengthenNames(const fs::path& folder, std::size_t stock, std::size_t group,
                   std::size_t character, std::size_t fish) {
  auto longer = [](const std::string& name, std::size_t length, char fill) {
    return length <= name.size() ? name : name + "_" + std::string(length - name.size() - 1, fill);
  };
  for (const char* file : {"Limit.tcf", "Limit.bse", "Limit.mix"}) {
    std::string text = ReadFileBytes(folder / file);
    for (const auto& [pattern, length, fill] :
         {std::tuple{"Stock\\d{3}", stock, 'x'}, std::tuple{"Locus\\d{3}", character, 'y'},
          std::tuple{"Fish\\d{5}", fish, 'z'}}) {
      std::string out;
      std::regex name(pattern);
      auto at = text.cbegin();
      for (std::sregex_iterator m(text.begin(), text.end(), name), end; m != end; ++m) {
        out.append(at, (*m)[0].first);
        out += longer(m->str(), length, fill);
        at = (*m)[0].second;
      }
      out.append(at, text.cend());
      text = out;
    }
    if (std::string(file) == "Limit.tcf") {
      const std::size_t all = text.find("  All\r\n");
      EXPECT_NE(all, std::string::npos);
      if (all != std::string::npos) text.replace(all + 2, 3, std::string(group, 'G'));
    }
    std::ofstream(folder / file, std::ios::binary) << text;
  }
}

// The longest names: 255 characters for stocks and groups (the control
// file's blocks), 49 for characters and fish (the data files).
void LongestNames(const fs::path& folder) {
  LengthenNames(folder, kMaxBlockNameLength, kMaxBlockNameLength, kMaxDataNameLength,
                kMaxDataNameLength);
}

class AtTheLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(AtTheLimit, LoadsRunsAndReports) {
  testing_support::ScopedTempFolder folder(std::string("limits_") + GetParam().name);
  WriteRun(folder.path(), GetParam().shape);
  if (HasFatalFailure()) return;
  if (GetParam().change != nullptr) GetParam().change(folder.path());
  if (HasFatalFailure()) return;
  const CliResult result = RunCli(folder.path(), {"analyze", "Limit.tcf", "--quiet"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  int reports = 0;
  for (const auto& entry : fs::directory_iterator(folder.path() / "output")) {
    const std::string name = entry.path().filename().string();
    for (const char* kind : {"_SCs.Txt", "_IDs.Txt", "_GR.Txt", "_RL.Txt"}) {
      if (name.size() < std::strlen(kind) || name.compare(name.size() - std::strlen(kind),
                                                          std::string::npos, kind) != 0)
        continue;
      ++reports;
      const std::string text = ReadFileBytes(entry.path());
      EXPECT_GT(text.size(), 0u) << name;
      // An overflow or a division gone wrong shows as one of these.
      static const std::regex kWrong("\\b(nan|inf|2147483648|4294967295)\\b", std::regex::icase);
      EXPECT_FALSE(std::regex_search(text, kWrong)) << name << "\n" << text;
    }
  }
  EXPECT_EQ(reports, 4) << result.out;
  const std::string summary = ReadFileBytes(folder.path() / "output" / "Syntheti_POP_01.Sum");
  EXPECT_NE(summary.find("# of characters in analysis:"), std::string::npos);
  if (GetParam().change == LongestNames) {
    // The tables carry every name whole.
    const std::string estimates =
        ReadFileBytes(folder.path() / "output" / "Syntheti_POP_01_estimates.csv");
    EXPECT_NE(estimates.find(",Stock003_" + std::string(kMaxBlockNameLength - 9, 'x') + ","),
              std::string::npos);
    EXPECT_NE(estimates.find("," + std::string(kMaxBlockNameLength, 'G') + ","), std::string::npos);
    const std::string posteriors =
        ReadFileBytes(folder.path() / "output" / "Syntheti_POP_01_posteriors.csv");
    EXPECT_NE(posteriors.find(",Fish00010_" + std::string(kMaxDataNameLength - 10, 'z') + ","),
              std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AtTheLimit,
    ::testing::Values(LimitCase{"most_stocks", Shape(kMostStocks, 2, 2, 20, 4)},
                      LimitCase{"most_characters", Shape(2, kMaxCharacters, 2, 20, 10)},
                      LimitCase{"most_alleles", Shape(3, 2, kMaxAllelePositions, 30, 200)},
                      LimitCase{"longest_names", Shape(3, 3, 2, 10, 5), LongestNames}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

// One step past each limit: the run is refused, and the message says where.
TEST(PastTheLimit, IsRefusedNamingTheKeywordOrTheFileAndLine) {
  struct Case {
    const char* name;
    SyntheticRunShape shape;
    const char* file;     // changed after writing, or null
    const char* pattern;  // what is replaced there
    std::string with;
    std::vector<std::string> said;  // each must appear in the output
    void (*lengthen)(const std::filesystem::path& folder) = nullptr;
  } cases[] = {
      {"a stock more than NumberOfStocks allows", Shape(3, 2, 2, 10, 5), "Limit.tcf",
       "NumberOfStocks = 3", "NumberOfStocks = " + std::to_string(kMostStocks + 1),
       {"Limit.tcf, line", "NumberOfStocks not 2 - 999"}},
      {"a character more than NumberOfChars allows", Shape(2, 3, 2, 10, 5), "Limit.tcf",
       "NumberOfChars = 3", "NumberOfChars = " + std::to_string(kMaxCharacters + 1),
       {"Limit.tcf, line", "NumberOfChars not 2 - " + std::to_string(kMaxCharacters)}},
      {"an allele position more than a line may hold", Shape(3, 2, kMaxAllelePositions + 1, 10, 300),
       nullptr, "", "", {"Limit.bse, line 2", "at most 256 allele positions", "More that 256 allele positions"}},
      {"a line one character longer than the readers take", Shape(2, 3, 2, 10, 5), "Limit.mix",
       "^[^\r\n]*", std::string(kMaxTextLineLength + 1, 'x'),
       {"Limit.mix, line 1", "longer than " + std::to_string(kMaxTextLineLength)}},
      {"a stock name one character longer than the block takes", Shape(2, 3, 2, 10, 5), nullptr,
       "", "", {"Limit.tcf, line", "stock name longer than 255 characters"},
       [](const fs::path& folder) { LengthenNames(folder, 256, 3, 8, 9); }},
      {"a group name one character longer than the block takes", Shape(2, 3, 2, 10, 5), nullptr,
       "", "", {"Limit.tcf, line", "group name longer than 255 characters"},
       [](const fs::path& folder) { LengthenNames(folder, 8, 256, 8, 9); }},
      {"a character name one character longer than the baseline takes", Shape(2, 3, 2, 10, 5),
       nullptr, "", "", {"Limit.bse, line", "character name longer than 49"},
       [](const fs::path& folder) { LengthenNames(folder, 8, 3, 50, 9); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::ScopedTempFolder folder("past_limit");
    WriteRun(folder.path(), c.shape);
    if (HasFatalFailure()) return;
    if (c.lengthen != nullptr) c.lengthen(folder.path());
    if (c.file != nullptr) {
      Replace(folder.path() / c.file, c.pattern, c.with);
      if (HasFatalFailure()) return;
    }
    const CliResult result = RunCli(folder.path(), {"load", "Limit.tcf"});
    EXPECT_NE(result.exitCode, 0) << result.out << result.err;
    const std::string said = result.out + result.err;
    for (const std::string& part : c.said) EXPECT_NE(said.find(part), std::string::npos) << part << "\n" << said;
    EXPECT_FALSE(fs::exists(folder.path() / "output" / "Limit.rcf"));
  }
}

}  // namespace
}  // namespace mixora
