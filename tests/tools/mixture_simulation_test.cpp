// Mixture simulation: the control file, the pool, the written files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "core/log_buffer.h"
#include "input/baseline_reader.h"
#include "sampler/mt19937.h"
#include "tools/mixture_simulation.h"
#include "tools/simulation_control.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::CrLf;
using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

// Five stocks. Stock 7 has one allele at LocA and no gene copies at LocB, so
// its fish are known in advance.
const std::string kBaseline =
    "# 1 Alpha\n"
    "LocA 30 0 70\n"
    "LocB 0 0 4\n"
    "# 2 Beta\n"
    "LocA 0 10 0\n"
    "LocB 1 1 1\n"
    "# 3 Gamma\n"
    "LocA 5 5 5\n"
    "LocB 0 2 0\n"
    "# 7 Delta\n"
    "LocA 0 0 9\n"
    "LocB 0 0 0\n"
    "# 12 Epsilon\n"
    "LocA 1 1 1\n"
    "LocB 1 1 1\n";

const std::string kKeywords =
    "RunTitle = Test run\n"
    "BaseFile = base.bse\n"
    "MixFileOut = sim.gen\n"
    "Year = 2015\n"
    "NumMixtures = 2\n"
    "NumFish = 10\n"
    "NumSamples = 10\n"
    "Seed = 4242\n";

std::string Mcf(const std::string& keywords = kKeywords,
                const std::string& chars = "LocA\nLocB\n",
                const std::string& props = "1 1\n2 1\n3 2\n") {
  return "Mixora simulator\n" + keywords + "\nChars =\n" + chars + "\nStockProp =\n" + props;
}

// Replaces the first line that begins with `keyword` by `line`.
std::string WithKeyword(const std::string& keyword, const std::string& line) {
  std::string text = kKeywords;
  std::size_t at = text.find(keyword);
  std::size_t end = text.find('\n', at);
  return text.substr(0, at) + line + text.substr(end);
}

struct SimulationFixture : ::testing::Test {
  ScratchFolder folder;
  LogBuffer log;
  Interaction ui;

  SimulationFixture() { WriteFile(folder / "base.bse", kBaseline); }

  std::unique_ptr<Simulation> Read(const std::string& mcf) {
    WriteFile(folder / "sim.mcf", mcf);
    return ReadSimulationControl(folder / "sim.mcf", log);
  }

  int Simulate(const std::string& mcf, const std::string& name = "sim.mcf") {
    WriteFile(folder / name, mcf);
    return SimulateMixtures(folder / name, ui, log);
  }

  // A simulation read and matched to the fixture baseline, ready to draw.
  std::unique_ptr<Simulation> Prepared(const std::string& mcf, BaselineData& baseline) {
    auto sim = Read(mcf);
    EXPECT_TRUE(sim) << log.text;
    EXPECT_EQ(ReadSpamBaseline(folder / "base.bse", baseline, log), 0u);
    SumBaselineTotals(baseline);
    EXPECT_TRUE(MatchSimulationToBaseline(*sim, baseline, log)) << log.text;
    Mt19937Seed(sim->generator, static_cast<uint32_t>(sim->settings.Seed));
    return sim;
  }
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> FishLines(const std::string& file) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while ((at = file.find("Simulated Fish", at)) != std::string::npos) {
    std::size_t end = file.find("\r\n", at);
    lines.push_back(file.substr(at, end - at));
    at = end;
  }
  return lines;
}

// ---------------------------------------------------------------- pool counts

TEST(PoolCounts, RoundHalfUpAndLastStockTakesTheRest) {
  struct Case {
    std::vector<double> proportions;
    int32_t samples;
    std::vector<int32_t> counts;
    bool ok;
  };
  const Case cases[] = {
      {{0.25, 0.25, 0.5}, 10, {3, 3, 4}, true},   // 2.5 rounds up twice
      {{1.0}, 7, {7}, true},
      {{0.5, 0.5}, 3, {2, 1}, true},               // 1.5 up, the last gives it back
      {{0.3, 0.7}, 10, {3, 7}, true},
      {{0.14, 0.86}, 10, {1, 9}, true},            // 1.4 down, the last takes 9
      {{0.0, 1.0}, 5, {0, 5}, true},
      {{0.25, 0.25, 0.25, 0.25}, 2, {1, 1, 1, -1}, false},  // rounding took more than there is
  };
  for (const Case& c : cases) {
    std::vector<int32_t> counts;
    EXPECT_EQ(ComputePoolCounts(c.proportions, c.samples, counts), c.ok);
    EXPECT_EQ(counts, c.counts) << "samples " << c.samples;
  }
}

TEST_F(SimulationFixture, ProportionsOfTheBlockAreDividedByTheirSumBeforeCounting) {
  BaselineData baseline;
  auto sim = Prepared(Mcf(), baseline);  // 1, 1 and 2 of 10
  EXPECT_EQ(sim->proportion, (std::vector<double>{0.25, 0.25, 0.5}));
  EXPECT_EQ(sim->poolCount, (std::vector<int32_t>{3, 3, 4}));
}

// ------------------------------------------------------------- control file

TEST_F(SimulationFixture, HeaderLineIgnoresCaseAndComment) {
  struct Case {
    std::string header;
    bool ok;
  };
  const Case cases[] = {
      {"MIXORA SIMULATOR! made by hand", true},
      {"  mixora simulator  ", true},
      {"Mixora simulator 2", false},
      {"Mixora", false},
      {"", false},
  };
  for (const Case& c : cases) {
    LogClear(log);
    std::string mcf = Mcf();
    mcf.replace(0, mcf.find('\n'), c.header);
    EXPECT_EQ(Read(mcf) != nullptr, c.ok) << c.header << "\n" << log.text;
    EXPECT_EQ(Contains(log.text, "Incorrect header"), !c.ok) << c.header;
  }
}

TEST_F(SimulationFixture, KeywordValuesAndDefaults) {
  auto sim = Read(Mcf(kKeywords + "Seed = -17 ! the last one counts\n"));
  ASSERT_TRUE(sim) << log.text;
  const SimulationSettings& s = sim->settings;
  EXPECT_STREQ(s.RunTitle, "Test run");
  EXPECT_STREQ(s.BaseFile, "base.bse");
  EXPECT_STREQ(s.MixFileOut, "sim.gen");
  EXPECT_EQ(s.Year, 2015);
  EXPECT_EQ(s.NumMixtures, 2);
  EXPECT_EQ(s.NumFish, 10);
  EXPECT_EQ(s.NumSamples, 10);
  EXPECT_EQ(s.Seed, -17);
  EXPECT_EQ(s.Replacement, 1);  // default
  EXPECT_TRUE(Contains(log.text, "All keywords found and values in range"));

  auto without = Read(Mcf(kKeywords + "Replacement = no\n"));
  ASSERT_TRUE(without);
  EXPECT_EQ(without->settings.Replacement, 0);
}

TEST_F(SimulationFixture, RefusedControlFilesSayWhy) {
  struct Case {
    const char* what;
    std::string mcf;
    std::vector<std::string> messages;
  };
  std::string tooMany;
  for (int i = 0; i < 2001; ++i) tooMany += "Loc" + std::to_string(i) + "\n";
  const Case cases[] = {
      {"fewer samples than fish", Mcf(WithKeyword("NumSamples", "NumSamples = 100") +
                                      "NumFish = 150\n"),
       {"NumSamples(100) less than nFish(150)", "Cannot parse line"}},
      {"year out of range", Mcf(WithKeyword("Year", "Year = 1999")),
       {"Year not 2000 - 2020", "Value out of range"}},
      {"several out of range", Mcf(WithKeyword("NumMixtures", "NumMixtures = 0") +
                                   "NumSamples = 20000\n"),
       {"NumMixtures not 1 - 200", "NumSamples not 2 - 10000"}},
      {"missing seed", Mcf(WithKeyword("Seed", "! no seed")),
       {"Missing Seed", "Missing control file keyword(s)"}},
      {"empty title", Mcf(WithKeyword("RunTitle", "RunTitle = ! nothing")),
       {"Missing RunTitle"}},
      {"no keyword at all", Mcf("\n"), {"Cannot parse line"}},
      {"no character block", "Mixora simulator\n" + kKeywords + "\nStockProp =\n1 1\n",
       {"No char block"}},
      {"empty character block", Mcf(kKeywords, ""), {"No char block"}},
      {"too many characters", Mcf(kKeywords, tooMany), {"Too many chars"}},
      {"no stock block", "Mixora simulator\n" + kKeywords + "\nChars =\nLocA\n",
       {"No StockProp block"}},
      {"negative proportion", Mcf(kKeywords, "LocA\n", "1 0.5\n2 -0.1\n"),
       {"line 16: proportion of stock 2 must be a number of 0 or more"}},
      {"proportions add up to 0", Mcf(kKeywords, "LocA\n", "1 0\n2 0\n"),
       {"add up to 0"}},
  };
  for (const Case& c : cases) {
    LogClear(log);
    EXPECT_EQ(Read(c.mcf), nullptr) << c.what;
    for (const std::string& message : c.messages)
      EXPECT_TRUE(Contains(log.text, message)) << c.what << ": " << message << "\n" << log.text;
    EXPECT_FALSE(Contains(log.text, "All keywords found")) << c.what;
  }

  LogClear(log);
  EXPECT_EQ(ReadSimulationControl(folder / "absent.mcf", log), nullptr);
  EXPECT_TRUE(Contains(log.text, "Cannot open " + folder / "absent.mcf")) << log.text;
}

TEST_F(SimulationFixture, BlocksTakeFirstWordsAndStopWhereTheyShould) {
  auto sim = Read(Mcf(kKeywords,
                      "! comment inside the block\n"
                      "LocA   first locus\n"
                      "LocB\n"
                      "\n"
                      "LocC\n",  // after the empty line: not a character
                      "1 3\n"
                      "! skipped\n"
                      "2 1.0 trailing words\n"
                      "end of the list\n"
                      "3 4\n"));
  ASSERT_TRUE(sim) << log.text;
  EXPECT_EQ(sim->charNames, (std::vector<std::string>{"LocA", "LocB"}));
  EXPECT_EQ(sim->stockId, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(sim->proportion, (std::vector<double>{0.75, 0.25}));
  // Stock 3 is left out: the log says where the block ended.
  EXPECT_TRUE(Contains(log.text, ": the StockProp block ends at \"end of the list\"\r\n")) << log.text;
}

// ------------------------------------------------------------------ the pool

TEST_F(SimulationFixture, PoolAllelesFollowTheStocksBaselineCounts) {
  BaselineData baseline;
  auto sim = Prepared(Mcf(WithKeyword("NumSamples", "NumSamples = 10000"), "LocA\nLocB\n",
                          "1 1\n"),
                      baseline);
  BuildPool(*sim, baseline);
  ASSERT_EQ(sim->poolStock.size(), 10000u);
  std::map<int32_t, int> copies;
  int homozygous1 = 0;
  for (std::size_t r = 0; r < 10000; ++r) {
    ASSERT_EQ(sim->poolStock[r], 1);
    ASSERT_EQ(sim->poolMark[r], static_cast<int32_t>(r) + 1);
    int32_t a = sim->poolPairs[r * 4], b = sim->poolPairs[r * 4 + 1];
    ASSERT_LE(a, b);
    ++copies[a];
    ++copies[b];
    homozygous1 += a == 1 && b == 1;
    // LocB of stock 1 holds only allele 3.
    ASSERT_EQ(sim->poolPairs[r * 4 + 2], 3);
    ASSERT_EQ(sim->poolPairs[r * 4 + 3], 3);
  }
  // LocA counts 30, 0, 70: allele 2 never, allele 1 in 30% of the copies,
  // both copies drawn independently.
  EXPECT_EQ(copies.count(0), 0u);
  EXPECT_EQ(copies.count(2), 0u);
  EXPECT_NEAR(copies[1] / 20000.0, 0.30, 0.015);
  EXPECT_NEAR(homozygous1 / 10000.0, 0.09, 0.012);
}

TEST_F(SimulationFixture, PoolHoldsEachStocksCountInBlockOrder) {
  BaselineData baseline;
  auto sim = Prepared(Mcf(kKeywords, "LocA\n", "3 2\n1 1\n2 1\n"), baseline);
  BuildPool(*sim, baseline);
  EXPECT_EQ(sim->poolStock, (std::vector<int32_t>{3, 3, 3, 3, 3, 1, 1, 1, 2, 2}));
  EXPECT_EQ(sim->poolMark, (std::vector<int32_t>{1, 2, 3, 4, 5, 1, 2, 3, 1, 2}));
}

TEST_F(SimulationFixture, WithoutReplacementNoPoolRecordIsDrawnTwice) {
  BaselineData baseline;
  auto sim = Prepared(Mcf(kKeywords + "Replacement = F\n"), baseline);
  BuildPool(*sim, baseline);
  std::vector<int32_t> records = DrawFishRecords(*sim);
  // As many fish as records: every record exactly once.
  std::vector<int32_t> sorted = records;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_NE(records, sorted);  // drawn, not taken in order
  for (int32_t mark : sim->poolMark) EXPECT_EQ(mark, 0);
}

TEST_F(SimulationFixture, WithReplacementRecordsRecur) {
  BaselineData baseline;
  auto sim = Prepared(Mcf(WithKeyword("NumSamples", "NumSamples = 100") + "NumFish = 100\n"),
                      baseline);
  BuildPool(*sim, baseline);
  std::vector<int32_t> records = DrawFishRecords(*sim);
  ASSERT_EQ(records.size(), 100u);
  std::set<int32_t> distinct(records.begin(), records.end());
  EXPECT_LT(distinct.size(), 100u);
  EXPECT_GT(distinct.size(), 40u);
}

// ------------------------------------------------------------- written files

TEST_F(SimulationFixture, WritesTheMixtureAndTheControlFileExactly) {
  ASSERT_EQ(Simulate(Mcf("RunTitle = Golden\nBaseFile = base.bse\nMixFileOut = gold.gen\n"
                         "Year = 2015\nNumMixtures = 2\nNumFish = 2\nNumSamples = 3\nSeed = 1\n",
                         "locb\nLocA\n", "7 1\n")),
            0)
      << log.text;
  EXPECT_EQ(ReadFile(folder / "gold.gen"),
            CrLf({"Simulation - Golden", "locb", "LocA",
                  "POP 2015, Mix 1, simulated, simulated, simulated, simulated",
                  "Simulated Fish StockID 7    1    ,  0000 0303",
                  "Simulated Fish StockID 7    2    ,  0000 0303",
                  "POP 2015, Mix 2, simulated, simulated, simulated, simulated",
                  "Simulated Fish StockID 7    1    ,  0000 0303",
                  "Simulated Fish StockID 7    2    ,  0000 0303"}));
  EXPECT_EQ(ReadFile(folder / "sim.tcf"),
            CrLf({"MIXORA", "", "Title = Golden", "BaselineFile = base.bse",
                  "MixtureFile = gold.gen", "OutputFolder = output", "Species = Unknown",
                  "BaseDesc = Mixture Simulated from this baseline", "NumberOfStocks = 5",
                  "NumberOfChars = 2", "Levels = 1", "NumberOfChains = 4", "ChangeSeeds = T",
                  "NumberOfReps = 2000",
                  "Seed1 = 687688", "Seed2 = 788781", "StartStock = 12", "NumberToKeep = 1000",
                  "", "", "Chars = ", "002 003 T locb", "001 003 T LocA", "", "Stocks = ",
                  "001 01  Alpha", "002 01  Beta", "003 01  Gamma", "007 01  Delta",
                  "012 01  Epsilon", "", "Groups =", "  1   1  Dummy"}));
  for (const char* line :
       {"Reading Mixture Control File: ", "All keywords found and values in range",
        "Checking Chars and Stocks", "Writing Mixora Control File: ", "Writing Mixture File: ",
        "Mixture 1\r\nMixture 2\r\n\r\nSuccess!!",
        "Info: stock 7 has no gene copies at locb"})
    EXPECT_TRUE(Contains(log.text, line)) << line << "\n" << log.text;
}

TEST_F(SimulationFixture, ThreeDigitPositionsWhenABaselineCharacterHasOver99Types) {
  std::string wide = kBaseline + "# 20 Wide\nLocA 1\nLocB 1\nLocZ";
  for (int i = 0; i < 100; ++i) wide += " 1";
  WriteFile(folder / "base.bse", wide + "\n");
  ASSERT_EQ(Simulate(Mcf(kKeywords, "LocB\nLocA\n", "7 1\n")), 0) << log.text;
  std::vector<std::string> fish = FishLines(ReadFile(folder / "sim.gen"));
  ASSERT_EQ(fish.size(), 20u);
  EXPECT_EQ(fish[0], "Simulated Fish StockID 7    1    ,  000000 003003");
}

TEST_F(SimulationFixture, WithoutReplacementEachStockGivesItsPoolCount) {
  ASSERT_EQ(Simulate(Mcf(kKeywords + "Replacement = F\n")), 0) << log.text;
  std::string file = ReadFile(folder / "sim.gen");
  std::vector<std::string> fish = FishLines(file);
  ASSERT_EQ(fish.size(), 20u);
  for (int mixture = 0; mixture < 2; ++mixture) {
    std::map<std::string, int> perStock;
    for (int j = 0; j < 10; ++j) {
      const std::string& line = fish[mixture * 10 + j];
      ++perStock[line.substr(23, 4)];
      EXPECT_EQ(std::stoi(line.substr(28, 4)), j + 1);
    }
    EXPECT_EQ(perStock, (std::map<std::string, int>{{"1   ", 3}, {"2   ", 3}, {"3   ", 4}}));
  }
}

TEST_F(SimulationFixture, SameSeedSameFileOtherSeedOtherFile) {
  const std::string big = WithKeyword("NumSamples", "NumSamples = 500") + "NumFish = 200\n";
  ASSERT_EQ(Simulate(Mcf(big)), 0) << log.text;
  std::string first = ReadFile(folder / "sim.gen");
  std::filesystem::rename(folder / "sim.gen", folder / "first.gen");
  ui.message = [](uint32_t, const std::string&) { return kIdYesToAll; };
  ASSERT_EQ(Simulate(Mcf(big)), 0) << log.text;
  EXPECT_EQ(ReadFile(folder / "sim.gen"), first);

  // Seeds that differ only in their lowest bit seed the generator alike.
  std::string other = big;
  other.replace(other.find("Seed = 4242"), 11, "Seed = 4244");
  ASSERT_EQ(Simulate(Mcf(other)), 0) << log.text;
  EXPECT_NE(ReadFile(folder / "sim.gen"), first);
}

TEST_F(SimulationFixture, FailuresStopBeforeAnythingIsWritten) {
  struct Case {
    const char* what;
    std::string mcf;
    std::string message;
  };
  const Case cases[] = {
      {"character not in the baseline", Mcf(kKeywords, "LocA\nLocQ\n"), "Cannot find LocQ"},
      {"stock not in the baseline", Mcf(kKeywords, "LocA\n", "1 1\n99 1\n"), "Cannot find 99"},
      {"no baseline", Mcf(WithKeyword("BaseFile", "BaseFile = absent.bse")), "Cannot open file"},
      {"counts cannot round", Mcf(WithKeyword("NumSamples", "NumSamples = 2") + "NumFish = 2\n",
                                  "LocA\n", "1 1\n2 1\n3 1\n12 1\n"),
       "the last stock (12) would get -1"},
      {"mixture over the baseline", Mcf(WithKeyword("MixFileOut", "MixFileOut = base.bse")),
       "would replace the baseline"},
      {"mixture over the control file", Mcf(WithKeyword("MixFileOut", "MixFileOut = sim.tcf")),
       "would replace the control file written for it"},
  };
  for (const Case& c : cases) {
    LogClear(log);
    EXPECT_EQ(Simulate(c.mcf), 1) << c.what;
    EXPECT_TRUE(Contains(log.text, c.message)) << c.what << "\n" << log.text;
    EXPECT_TRUE(Contains(log.text, "\r\nFail!!")) << c.what;
    EXPECT_FALSE(std::filesystem::exists(folder / "sim.tcf")) << c.what;
    EXPECT_EQ(ReadFile(folder / "base.bse"), kBaseline) << c.what;
  }

  // A control file named like the text control file it would write.
  LogClear(log);
  EXPECT_EQ(Simulate(Mcf(), "sim.tcf"), 1);
  EXPECT_TRUE(Contains(log.text, "would replace the mixture control file")) << log.text;
  EXPECT_EQ(ReadFile(folder / "sim.tcf"), Mcf());
}

TEST_F(SimulationFixture, ExistingOutputsAreReplacedOnlyWhenTheAnswerIsYes) {
  WriteFile(folder / "sim.tcf", "keep me");
  WriteFile(folder / "sim.gen", "keep me too");
  std::vector<std::string> asked;
  int answer = kIdNo;
  ui.message = [&](uint32_t, const std::string& text) {
    asked.push_back(text);
    return answer;
  };
  EXPECT_EQ(Simulate(Mcf()), 1);
  EXPECT_EQ(asked, (std::vector<std::string>{"Overwrite " + folder / "sim.tcf"}));
  EXPECT_TRUE(Contains(log.text, "Did not overwrite " + folder / "sim.tcf")) << log.text;
  EXPECT_EQ(ReadFile(folder / "sim.tcf"), "keep me");
  EXPECT_EQ(ReadFile(folder / "sim.gen"), "keep me too");

  // "Yes to All" once covers the mixture file too.
  asked.clear();
  answer = kIdYesToAll;
  EXPECT_EQ(Simulate(Mcf()), 0) << log.text;
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(FishLines(ReadFile(folder / "sim.gen")).size(), 20u);
}

}  // namespace
}  // namespace mixora
