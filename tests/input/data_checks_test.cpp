#include "input/data_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "data_test_support.h"
#include "input/baseline_reader.h"
#include "input/mixture_reader.h"

namespace mixora {
namespace {

using testing::CharSpec;
using testing::Contains;
using testing::DataFixture;
using testing::DataScratch;
using testing::Occurrences;

using Words = std::vector<int32_t>;

// Reads a baseline into the control as the load step does.
void LoadBaselineInto(Control& control, const std::string& path, int32_t format) {
  control.baselineFormat = format;
  ErrorFlags read = format == kBaselineTalmo ? ReadTalmoBaseline(path, *control.baseline, control.log)
                                             : ReadSpamBaseline(path, *control.baseline, control.log);
  ASSERT_EQ(read, 0u) << control.log.text;
  SumBaselineTotals(*control.baseline);
}

void LoadMixtureInto(Control& control, const std::string& path, int32_t format) {
  control.mixtureFormat = format;
  ErrorFlags read = format == kMixtureSpam ? ReadSpamMixture(path, *control.mixture, control.log)
                                           : ReadGenepopMixture(path, *control.mixture, control.log);
  ASSERT_EQ(read, 0u) << control.log.text;
  ASSERT_EQ(ResolveMixtureCharacters(*control.mixture, *control.characters, control.log, format), 0u)
      << control.log.text;
}

TEST(CheckCharacterCount, ComparesNumberOfCharsWithCharactersInUse) {
  std::vector<CharSpec> eleven;
  for (int i = 1; i <= 11; ++i) eleven.push_back({i, 4, "Loc", i == 5});
  struct Case {
    int32_t numberOfChars;
    ErrorFlags flags;
    const char* line;
  } cases[] = {
      {10, 0, "Character count match. 10 specified, 10 found.\r\n"},
      {11, kErrValuesNotSame, "Character count mismatch. 11 specified, 10 found.\r\n"},
  };
  for (const auto& c : cases) {
    Control control;
    testing::MakeControl(control, eleven, {}, {});
    control.settings->NumberOfChars = c.numberOfChars;
    EXPECT_EQ(CheckCharacterCount(control), c.flags);
    EXPECT_EQ(control.log.text, std::string("Checking Control file character count\r\n") + c.line);
  }
}

TEST(CheckStockCount, ComparesCountsLevelsAndStartStocks) {
  struct Case {
    std::function<void(RunSettings&)> change;
    ErrorFlags flags;
    std::string log;
  } cases[] = {
      {[](RunSettings& s) { s.StartStock[0] = 30; },
       0,
       "Checking Control file stock count\r\nStock count match. 3 specified, 3 found.\r\n"
       "Grouping Levels match. 1 specified, 1 found.\r\n"},
      // Only the first unknown ID is named; the search stops there.
      {[](RunSettings& s) { s.StartStock[0] = 20; s.StartStock[1] = 9; s.StartStock[2] = 8; },
       kErrInvalidStartingStock,
       "Grouping Levels match. 1 specified, 1 found.\r\nStart StockID 9 not found.\r\n"},
      {[](RunSettings& s) { s.StartStock[0] = -1; s.StartStock[1] = 9; }, 0, ""},
      {[](RunSettings& s) { s.NumberOfStocks = 4; s.Levels = 2; },
       kErrValuesNotSame,
       "Stock count mismatch. 4 specified, 3 found.\r\nGrouping Levels mismatch. 2 specified, 1 found.\r\n"},
  };
  for (const auto& c : cases) {
    Control control;
    testing::MakeFixtureControl(control);
    c.change(*control.settings);
    EXPECT_EQ(CheckStockCount(control), c.flags) << control.log.text;
    EXPECT_TRUE(Contains(control.log.text, c.log)) << control.log.text;
    EXPECT_EQ(Occurrences(control.log.text, "Start StockID"), (c.flags & kErrInvalidStartingStock) ? 1 : 0);
  }
}

TEST(CheckGrouping, EveryStockNeedsItsGroupAndEveryGroupAStock) {
  using testing::GroupSpec;
  using testing::StockSpec;
  const std::vector<StockSpec> stocks = {{10, 1, "North Fork"}, {20, 1, "Middle"}, {30, 2, "South"}};
  struct Case {
    std::vector<StockSpec> stocks;
    std::vector<GroupSpec> groups;
    ErrorFlags flags;
    std::string log;  // after "Checking Control file groupings"
  } cases[] = {
      {stocks, {{1, 1, "Upper"}, {1, 2, "Lower"}}, 0, "Grouping Levels match. 1 specified, 1 found.\r\n"},
      {stocks, {{1, 1, "Upper"}, {1, 2, "Lower"}, {1, 3, "Unused"}}, kErrInvalidLevel,
       "Grouping Levels match. 1 specified, 1 found.\r\nLevel 1 Group 3 - Unused not found in Stock Block\r\n"},
      // An excluded group is not there for its stocks, and not missed when unused.
      {stocks, {{1, 1, "Upper"}, {1, 2, "Lower", true}, {1, 4, "Old", true}}, kErrInvalidLevel,
       "Grouping Levels match. 1 specified, 1 found.\r\nLevel 1 Group 2 not found for StockID 30 - South\r\n"},
      {{{10, 1, "North Fork"}, {20, 1, "Middle"}, {30, 5, "South"}}, {{1, 1, "Upper"}, {1, 2, "Lower"}},
       kErrInvalidLevel,
       "Grouping Levels match. 1 specified, 1 found.\r\nLevel 1 Group 5 not found for StockID 30 - South\r\n"
       "Level 1 Group 2 - Lower not found in Stock Block\r\n"},
      // A group of the right ID at another level does not count.
      {stocks, {{1, 1, "Upper"}, {2, 2, "Lower"}}, kErrValuesNotSame | kErrInvalidLevel,
       "Grouping Levels mismatch. 1 specified, 2 found.\r\nLevel 1 Group 2 not found for StockID 30 - South\r\n"
       "Level 2 Group 2 - Lower not found in Stock Block\r\n"},
  };
  for (const auto& c : cases) {
    Control control;
    testing::MakeControl(control, {{1, 6, "LocA"}}, c.stocks, c.groups);
    EXPECT_EQ(CheckGrouping(control), c.flags) << control.log.text;
    EXPECT_EQ(control.log.text, "Checking Control file groupings\r\n" + c.log);
  }
}

TEST(CheckBaseline, CleanBaselineSucceedsWithEveryStepLogged) {
  Control control;
  testing::MakeFixtureControl(control);
  LoadBaselineInto(control, DataFixture("baseline/spam.bse"), kBaselineSpam);
  control.log.text.clear();
  EXPECT_EQ(CheckBaseline(control), 0u);
  EXPECT_EQ(control.log.text,
            "\r\nChecking Baseline Stocks\r\nNo Baseline Stock issues found\r\n"
            "\r\nChecking Baseline Characters\r\nNo Baseline character issues found\r\n"
            "\r\nChecking Baseline Alleles\r\nNo Baseline Allele issues found\r\n"
            "\r\nBaseline check SUCCEEDED!!\r\n");
}

TEST(CheckBaseline, NamedBaselinesMatchByNameAndTalmoBaselinesById) {
  struct Case {
    const char* fixture;
    int32_t format;
    std::vector<CharSpec> chars;
    ErrorFlags flags;
    Words baselineIds;
    std::vector<std::string> lines;
  } cases[] = {
      {"baseline/spam.bse", kBaselineSpam, {{101, 6, "loca"}, {102, 6, "LOCB"}, {103, 8, "LocC"}}, 0,
       {101, 102, 103}, {}},
      {"baseline/talmo_by_char.bse", kBaselineTalmo, {{1, 6, "X"}, {2, 6, "Y"}, {3, 8, "Z"}}, 0, {2, 1, 3}, {}},
      {"baseline/spam.bse", kBaselineSpam, {{1, 6, "LocA"}, {3, 8, "LocC"}}, 0, {1, -1, 3},
       {"Info: Char LocB in Baseline not found in control file (line 3, stock 10 North Fork)"}},
      {"baseline/talmo_by_stock.bse", kBaselineTalmo, {{1, 6, "LocA"}, {102, 6, "LocB"}, {3, 8, "LocC"}},
       kErrCharacterNotFound, {1, -1, 3},
       {"Info: CharID 2 in Baseline not found in control file (line 2, stock 10)",
        "CharID 102 - LocB not found in Baseline",
        "\r\nBaseline check FAILED!!"}},
  };
  for (const auto& c : cases) {
    Control control;
    testing::MakeControl(control, c.chars, {{10, 1, "North Fork"}, {20, 1, "Middle"}, {30, 2, "South"}},
                         {{1, 1, "Upper"}, {1, 2, "Lower"}});
    LoadBaselineInto(control, DataFixture(c.fixture), c.format);
    EXPECT_EQ(CheckBaseline(control), c.flags) << c.fixture << control.log.text;
    EXPECT_EQ(control.baseline->charId, c.baselineIds) << c.fixture;
    for (const auto& line : c.lines) EXPECT_TRUE(Contains(control.log.text, line + "\r\n")) << control.log.text;
    for (std::size_t k = 0; k < c.chars.size(); ++k)
      EXPECT_EQ(control.characters->flags[k], (c.flags && c.chars[k].id == 102) ? kItemNotInBaseline : 0);
  }
}

// A locus misspelt in one stock's lines: the check passes with Info lines,
// but they name the file, line and stock of the misspelling and every stock
// left without data at a character it should have.
TEST(CheckBaseline, MisspeltLocusInOneStockIsTracedToItsLine) {
  DataScratch scratch;
  const std::string path = scratch.Write("typo.bse",
                                         "#10 North Fork\nLocA 5 10 3 2\nLocB 8 6 6\n"
                                         "#20 Middle\nLocA 0 12 8 0\nLcoB 10 10 0\n"
                                         "#30 South\nLocA 7 0 0 13\nLocB 0 5 15\n");
  Control control;
  testing::MakeControl(control, {{1, 6, "LocA"}, {2, 6, "LocB"}},
                       {{10, 1, "North Fork"}, {20, 1, "Middle"}, {30, 2, "South"}},
                       {{1, 1, "Upper"}, {1, 2, "Lower"}});
  SetField(control.settings->BaselineFile, path);
  LoadBaselineInto(control, path, kBaselineSpam);
  EXPECT_EQ(CheckBaseline(control), 0u) << control.log.text;
  EXPECT_TRUE(Contains(control.log.text, "Info: Char LcoB in Baseline not found in control file (" +
                                             path + ", line 6, stock 20 Middle)\r\n"))
      << control.log.text;
  EXPECT_TRUE(Contains(control.log.text, "Info: stock Middle has no data at character LocB\r\n"))
      << control.log.text;
  EXPECT_EQ(Occurrences(control.log.text, "has no data at character"), 1) << control.log.text;
}

TEST(CheckBaseline, StockMissingFromBaselineIsFlaggedUnlessExcluded) {
  Control control;
  testing::MakeControl(control, {{1, 6, "LocA"}, {2, 6, "LocB"}, {3, 8, "LocC"}},
                       {{10, 1, "North Fork"}, {40, 1, "Extra"}, {50, 1, "Gone", true}, {30, 2, "South"}},
                       {{1, 1, "Upper"}, {1, 2, "Lower"}});
  LoadBaselineInto(control, DataFixture("baseline/talmo_by_stock.bse"), kBaselineTalmo);
  EXPECT_EQ(CheckBaseline(control), kErrStockNotFound);
  EXPECT_TRUE(Contains(control.log.text, "\r\nChecking Baseline Stocks\r\nStockID 40 - Extra not found in Baseline\r\n"
                                         "\r\nChecking Baseline Characters\r\n"));
  EXPECT_FALSE(Contains(control.log.text, "StockID 50"));
  EXPECT_EQ(control.stocks->flags, (Words{0, kItemNotInBaseline, kItemExcluded, 0}));

  // Checked again after a baseline that has the stock is read, the old mark goes.
  DataScratch scratch;
  std::string withForty = "40 1 1 1\n40 2 1 1\n40 3 1 1\n";
  std::ifstream in(DataFixture("baseline/talmo_by_stock.bse"));
  withForty += std::string(std::istreambuf_iterator<char>(in), {});
  LoadBaselineInto(control, scratch.Write("forty.bse", withForty), kBaselineTalmo);
  EXPECT_EQ(CheckBaseline(control), 0u) << control.log.text;
  EXPECT_EQ(control.stocks->flags, (Words{0, 0, kItemExcluded, 0}));
}

TEST(CheckBaseline, MoreAllelePositionsThanAllowedStopsTheAlleleCheck) {
  Control control;
  testing::MakeControl(control, {{1, 3, "LocA"}, {2, 6, "LocB"}, {3, 8, "LocC"}},
                       {{10, 1, "North Fork"}, {20, 1, "Middle"}, {30, 2, "South"}},
                       {{1, 1, "Upper"}, {1, 2, "Lower"}});
  LoadBaselineInto(control, DataFixture("baseline/spam.bse"), kBaselineSpam);
  control.log.text.clear();
  EXPECT_EQ(CheckBaseline(control), kErrTooManyAllelePositions);
  EXPECT_TRUE(Contains(control.log.text,
                       "\r\nChecking Baseline Alleles\r\n"
                       "Fatal: CharID 1 - LocA has max of 3, 4 found in Baseline (1 - LocA).\r\n"
                       "\r\nBaseline check FAILED!!\r\n"))
      << control.log.text;
}

TEST(CheckBaseline, CharacterNoUsableStockShowsIsReportedPerPosition) {
  DataScratch scratch;
  struct Case {
    std::string baseline;
    int32_t format;
    bool excludeSouth;
    int reports;
  } cases[] = {
      // Never counted: reported once per allele position.
      {"#10 N\nLocA 1 1\nLocB 0 0 0\n#20 M\nLocA 1\nLocB 0 0\n#30 S\nLocA 2\nLocB 0\n", kBaselineSpam, false, 3},
      // Counted only in a stock that is left out.
      {"#10 N\nLocA 1 1\nLocB 0 0\n#20 M\nLocA 1\nLocB 0 0\n#30 S\nLocA 2\nLocB 4 1\n", kBaselineSpam, true, 2},
      {"#10 N\nLocA 1 1\nLocB 0 0\n#20 M\nLocA 1\nLocB 0 0\n#30 S\nLocA 2\nLocB 4 1\n", kBaselineSpam, false, 0},
      // Lines without any count still leave the character unobserved.
      {"10 1 2 1 1\n10 2 0\n20 1 1 1\n20 2 0\n30 1 1 1\n30 2 0\n", kBaselineTalmo, false, 1},
  };
  for (const auto& c : cases) {
    Control control;
    testing::MakeControl(control, {{1, 6, "LocA"}, {2, 6, "LocB"}},
                         {{10, 1, "N"}, {20, 1, "M"}, {30, 2, "S", c.excludeSouth}}, {{1, 1, "U"}, {1, 2, "L"}});
    LoadBaselineInto(control, scratch.Write("b.bse", c.baseline), c.format);
    EXPECT_EQ(CheckBaseline(control), c.reports ? kErrCharacterNotFound : 0u) << control.log.text;
    EXPECT_EQ(Occurrences(control.log.text, "CharID 2 - LocB not observed in baseline stocks\r\n"), c.reports);
    EXPECT_EQ(control.characters->flags[1], c.reports ? kItemNotInBaseline : 0);
    EXPECT_EQ(Contains(control.log.text, "No Baseline Allele issues found"), c.reports == 0);
  }
}

TEST(CheckBaseline, LikelyMisspeltStocksAndStocksOfFewFishAreToldAsInfo) {
  // Butte_Cr_Fa is Butte_Cr_fa relabelled: two fish at its best-scored
  // character (three copies there count as two fish). South has nine.
  DataScratch scratch;
  Control control;
  testing::MakeControl(control, {{1, 4, "LocA"}, {2, 4, "LocB"}},
                       {{10, 1, "Butte_Cr_fa"}, {20, 1, "Butte_Cr_Fa"}, {30, 1, "South"}, {40, 1, "Mill_Cr_sp"},
                        {50, 1, "Mill_Cr_s", true}},
                       {{1, 1, "Upper"}});
  LoadBaselineInto(control, scratch.Write("b.bse", "#10 A\nLocA 10 10\nLocB 20\n#20 B\nLocA 2 1\nLocB 2\n"
                                                   "#30 C\nLocA 9 9\nLocB 0 0 9\n#40 D\nLocA 30\nLocB 30\n"
                                                   "#50 E\nLocA 1\nLocB 1\n"),
                   kBaselineSpam);
  EXPECT_EQ(CheckBaseline(control), 0u) << control.log.text;
  const std::vector<std::string> told = {
      "Info: stock names Butte_Cr_fa and Butte_Cr_Fa differ only in case; if they are one stock, write its name the "
      "same way everywhere",
      "Info: stock Butte_Cr_Fa has 2 baseline fish at its best-scored character, fewer than 10; its allele "
      "frequencies rest on few fish",
      "Info: stock South has 9 baseline fish at its best-scored character, fewer than 10; its allele frequencies "
      "rest on few fish",
  };
  for (const std::string& line : told) EXPECT_EQ(Occurrences(control.log.text, line + "\r\n"), 1) << control.log.text;
  // Nothing about the stock left out, nor about the stocks of enough fish.
  EXPECT_EQ(Occurrences(control.log.text, "Info: stock"), 3) << control.log.text;
  EXPECT_TRUE(Contains(control.log.text, "\r\nBaseline check SUCCEEDED!!\r\n"));
}

class MixtureCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MakeFixtureControl(control);
    LoadBaselineInto(control, DataFixture("baseline/spam.bse"), kBaselineSpam);
    ASSERT_EQ(CheckBaseline(control), 0u);
  }
  Control control;
  DataScratch scratch;
};

TEST_F(MixtureCheck, AlleleSeenOnlyWhenAStockInUseCountsIt) {
  LoadMixtureInto(control, DataFixture("mixture/spam.mix"), kMixtureSpam);
  struct Case {
    int column, position;
    bool seen, seenWithoutNorthAndMiddle;
  } cases[] = {
      {0, 0, true, true},     // LocA allele 1: North Fork 5, South 7
      {0, 1, true, false},    // LocA allele 2: North Fork and Middle only
      {0, 4, false, false},   // beyond the four positions of LocA
      {0, -1, false, false},
      {2, 4, true, false},    // LocC allele 5: not in South's four positions
      {1, 2, true, true},
      {3, 0, false, false},   // no such column
  };
  for (const auto& c : cases) EXPECT_EQ(AlleleSeenInBaseline(control, c.column, c.position), c.seen) << c.column << "," << c.position;
  control.stocks->flags[0] = kItemExcluded;
  control.stocks->flags[1] = kItemExcluded;
  for (const auto& c : cases)
    EXPECT_EQ(AlleleSeenInBaseline(control, c.column, c.position), c.seenWithoutNorthAndMiddle)
        << c.column << "," << c.position;
  control.mixture->charId[0] = -1;  // a column that holds no character
  EXPECT_FALSE(AlleleSeenInBaseline(control, 0, 0));
}

TEST_F(MixtureCheck, UnseenAlleleIsErasedOrExcludesTheFish) {
  struct Case {
    bool dropFish;
    int32_t maxMissing;
    ErrorFlags flags;
    Words fishFlags;
    Words thirdFish;
    std::vector<std::string> lines;
    const char* outcome;
  } cases[] = {
      {false, 999, 0, {0, 0, 0, 0}, {0, 0, 1, 0, 1, 0}, {"Info: Fish Fish 3: Char LocA, Al 5 not seen"}, "SUCCEEDED"},
      {false, 0, kErrMissingLociExceeded, {0, 0, kItemMissingLoci, 0}, {0, 0, 1, 0, 1, 0},
       {"Info: Fish Fish 3: more than 0 missing loci (1)"}, "SUCCEEDED"},
      {true, 999, kErrAlleleNotSeen, {0, 0, kItemNotInBaseline, 0}, {5, 0, 1, 0, 1, 0},
       {"\r\nFish Fish 3: Char LocA, Al 5 not seen"}, "FAILED"},
  };
  for (const auto& c : cases) {
    testing::MakeFixtureControl(control);
    LoadBaselineInto(control, DataFixture("baseline/spam.bse"), kBaselineSpam);
    ASSERT_EQ(CheckBaseline(control), 0u);
    LoadMixtureInto(control, DataFixture("mixture/spam.mix"), kMixtureSpam);
    control.settings->DropFish = c.dropFish;
    control.settings->MaxMissingLoci = c.maxMissing;
    control.log.text.clear();
    EXPECT_EQ(CheckMixture(control), c.flags) << control.log.text;
    EXPECT_EQ(control.mixture->fishFlags, c.fishFlags);
    EXPECT_EQ(Words(control.mixture->genotypes.begin() + 12, control.mixture->genotypes.begin() + 18), c.thirdFish);
    EXPECT_TRUE(control.log.text.rfind("\r\nChecking Mixture\r\n", 0) == 0) << control.log.text;
    for (const auto& line : c.lines) EXPECT_TRUE(Contains(control.log.text, line + "\r\n")) << control.log.text;
    EXPECT_TRUE(Contains(control.log.text, "Info: Duplicate Fish in POP 0: (Fish 0, 3)\r\nFish 1 and Fish 4\r\n"));
    EXPECT_TRUE(Contains(control.log.text, std::string("\r\nMixture check ") + c.outcome + "!!\r\n"));
  }
}

TEST_F(MixtureCheck, FishWithoutAllelesIsLeftOutNamedByFileAndLine) {
  // In the digit layout every allele of the first fish is beyond what the
  // baseline shows, so it is left with none; the blank fish has nothing
  // scored at all. Neither may stop the load of the others.
  struct Case {
    const char* name;
    std::string text;
    int32_t format;
    Words fishFlags;
    std::vector<std::string> lines;  // with %s for the file
  } cases[] = {
      {"digits", "\\ two fish without alleles\n000011 000011 00000011\n000000 000000 00000000\n010000 001000 00001000\n",
       kMixtureSpam, {kItemNoAlleles, kItemNoAlleles, 0},
       {"Info: Fish Fish 1 (%s, line 2): no alleles present; left out of the run",
        "Info: Fish Fish 2 (%s, line 3): no alleles present; left out of the run"}},
      {"Genepop", "Title\nLocA, LocB, LocC\nPOP\nF1, 0102 0101 0303\n\nBlank , 0000 0000 0000\nF3, 0201 0203 0101\n",
       kMixtureGenepop, {kItemFirstOfSample, kItemNoAlleles, 0},
       {"Info: Fish Blank (%s, line 6): no alleles present; left out of the run"}},
  };
  for (const Case& c : cases) {
    testing::MakeFixtureControl(control);
    LoadBaselineInto(control, DataFixture("baseline/spam.bse"), kBaselineSpam);
    ASSERT_EQ(CheckBaseline(control), 0u);
    const std::string path = scratch.Write("m.mix", c.text);
    LoadMixtureInto(control, path, c.format);
    control.settings->MaxMissingLoci = 1;
    control.log.text.clear();
    EXPECT_EQ(CheckMixture(control), 0u) << c.name << control.log.text;
    EXPECT_EQ(control.mixture->fishFlags, c.fishFlags) << c.name;
    for (std::string line : c.lines) {
      line.replace(line.find("%s"), 2, path);
      EXPECT_EQ(Occurrences(control.log.text, line + "\r\n"), 1) << c.name << control.log.text;
    }
    // Left out as a fish, not also as a fish with too many missing loci.
    EXPECT_FALSE(Contains(control.log.text, "missing loci")) << c.name << control.log.text;
    EXPECT_TRUE(Contains(control.log.text, "\r\nMixture check SUCCEEDED!!\r\n")) << c.name;
  }
}

TEST_F(MixtureCheck, MixtureCodedOtherwiseThanTheBaselineFailsInOneLine) {
  // Each stray fish carries six copies the baseline never shows (positions
  // beyond its lists); each good fish three copies it does.
  const std::string stray = "000011 000011 00000011\n", good = "010000 001000 00001000\n";
  struct Case {
    int strays, goods;
    bool fails;
  } cases[] = {
      {2, 0, true},    // 12 of 12 copies
      {1, 0, false},   // 6 of 6: too few copies to be more than stray alleles
      {2, 80, false},  // 12 of 252: 4.8%
      {2, 70, true},   // 12 of 222: 5.4%
  };
  for (const Case& c : cases) {
    std::string text;
    for (int f = 0; f < c.strays; ++f) text += stray;
    for (int f = 0; f < c.goods; ++f) text += good;
    testing::MakeFixtureControl(control);
    LoadBaselineInto(control, DataFixture("baseline/spam.bse"), kBaselineSpam);
    ASSERT_EQ(CheckBaseline(control), 0u);
    const std::string path = scratch.Write("m.mix", text);
    LoadMixtureInto(control, path, kMixtureSpam);
    control.log.text.clear();
    const std::string what = std::to_string(c.strays) + " strays, " + std::to_string(c.goods) + " good";
    EXPECT_EQ(CheckMixture(control), c.fails ? kErrAlleleNotSeen : 0u) << what << control.log.text;
    EXPECT_EQ(Occurrences(control.log.text, " scored gene copies ("), c.fails ? 1 : 0) << what;
    EXPECT_EQ(Contains(control.log.text, "Info: Fish "), !c.fails) << what;
    EXPECT_TRUE(Contains(control.log.text, c.fails ? "Mixture check FAILED!!" : "Mixture check SUCCEEDED!!")) << what;
  }
  // The line names the file, the share, the loci worst hit with the codes
  // seen there and the baseline's, and what to do.
  EXPECT_TRUE(Contains(control.log.text,
                       "\r\n" + scratch.Path("m.mix") +
                           ": 12 of the 222 scored gene copies (5.4%) are alleles the baseline never shows; worst hit: "
                           "locus LocA (4 copies, codes seen 5, 6, baseline codes 1, 2, 3, 4), "
                           "locus LocB (4 copies, codes seen 5, 6, baseline codes 1, 2, 3), "
                           "locus LocC (4 copies, codes seen 7, 8, baseline codes 1, 2, 3, 4, 5); "
                           "write the mixture's alleles in the baseline's codes\r\n"))
      << control.log.text;
}

TEST_F(MixtureCheck, GenepopDuplicatesAreReportedWithinASampleOnly) {
  testing::MakeControl(control, {{1, 6, "LocA"}, {2, 6, "LocB"}}, {{10, 1, "North Fork"}, {20, 1, "Middle"}, {30, 2, "South"}},
                       {{1, 1, "Upper"}, {1, 2, "Lower"}});
  LoadBaselineInto(control, DataFixture("baseline/spam.bse"), kBaselineSpam);
  ASSERT_EQ(CheckBaseline(control), 0u);
  LoadMixtureInto(control, DataFixture("mixture/genepop.mix"), kMixtureGenepop);
  control.log.text.clear();
  EXPECT_EQ(CheckMixture(control), 0u) << control.log.text;
  EXPECT_TRUE(Contains(control.log.text, "Info: Char LocC in Mixture not found in control file\r\n"));
  // f1 and Poplar_7 are equal but in different samples.
  EXPECT_EQ(Occurrences(control.log.text, "Duplicate"), 1);
  EXPECT_TRUE(Contains(control.log.text, "Info: Duplicate Fish in POP 2: (Fish 3, 4)\r\nf4 and f5\r\n"));
  EXPECT_EQ(FindDuplicateFish(control), 1);
}

TEST_F(MixtureCheck, DuplicatesNeedEqualGenotypesAsTheyStandAfterErasure) {
  // Fish 1 and 2 differ only by an allele the baseline never shows; once it
  // is erased they are the same fish.
  LoadMixtureInto(control, scratch.Write("m.mix", "010000 001000 00001000\n010010 001000 00001000\n010000 000100 00001000\n"),
                  kMixtureSpam);
  EXPECT_EQ(FindDuplicateFish(control), 0);
  control.log.text.clear();
  EXPECT_EQ(CheckMixture(control), 0u);
  EXPECT_TRUE(Contains(control.log.text, "Info: Duplicate Fish in POP 0: (Fish 0, 1)\r\nFish 1 and Fish 2\r\n"));
  EXPECT_EQ(Occurrences(control.log.text, "Duplicate"), 1);
}

}  // namespace
}  // namespace mixora
