#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "control_test_files.h"
#include "input/control.h"
#include "input/control_blocks.h"

namespace mixora {
namespace {

using testing::ControlFixture;
using testing::Lines;
using testing::LogHasLine;
using testing::ScratchFolder;

RunSettings StockSettings(int levels, int stocks, bool informative) {
  RunSettings settings;
  std::memset(&settings, 0, sizeof settings);
  settings.Levels = levels;
  settings.NumberOfStocks = stocks;
  settings.InformativePrior = informative ? 1 : 0;
  return settings;
}

TEST(CharacterBlock, ReadsBothLayoutsWithTheirExclusionMarksAndKinds) {
  struct Case {
    const char* fixture;
    int32_t kind;
    std::vector<int32_t> ids, alleles, isLocus, flags;
    std::vector<std::string> names;
  } cases[] = {
      {"good.tcf", kControlMixora, {1, 2, 3, 4}, {12, 8, 10, 15}, {1, 1, 1, 0}, {0, 1, 0, 0},
       {"Ots101", "Ots102", "Ots103", "Sex"}},
      {"spam.ctl", kControlSpam, {1, 2, 3, 4}, {12, 8, 10, 15}, {1, 1, 1, 0}, {0, 0, 1, 0},
       {"Ots101", "Ots102", "Ots103", "Sex"}},
  };
  for (const Case& c : cases) {
    CharacterBlock block;
    LogBuffer log;
    std::string path = ControlFixture(c.fixture);
    ASSERT_EQ(ParseCharacterBlock(path, c.kind, block, log), 0u) << log.text;
    EXPECT_EQ(log.text,
              "Reading characters from file: " + path + "\r\nCharacters parsed successfully\r\n");
    EXPECT_EQ(block.count, 4);
    EXPECT_EQ(block.excludedCount, 1);
    EXPECT_EQ(block.maxAlleles, 15);
    EXPECT_EQ(block.nameWidth, 7);
    EXPECT_EQ(block.charId, c.ids);
    EXPECT_EQ(block.alleleCount, c.alleles);
    EXPECT_EQ(block.isLocus, c.isLocus) << c.fixture;
    EXPECT_EQ(block.flags, c.flags) << c.fixture;
    EXPECT_EQ(block.names, c.names);
  }
}

std::string ManyCharacters(int count) {
  std::string text = "MIXORA\r\nChars =\r\n";
  for (int i = 1; i <= count; ++i) text += std::to_string(i) + " 10 T L" + std::to_string(i) + "\r\n";
  return text;
}

TEST(CharacterBlock, EndsAtTheFirstForeignLineAndRefusesWhatItCannotHold) {
  ScratchFolder scratch;
  struct Case {
    const char* name;
    std::string text;
    ErrorFlags flags;
    int count;
    std::string line;  // a log line that must be there
  } cases[] = {
      {"comment ends block",
       Lines({"MIXORA", "Chars =", "001 12 T A", "! this comment", "002 10 T B"}), 0, 1,
       "Characters parsed successfully"},
      {"no header", Lines({"MIXORA", "Chars 001 12 T A"}), kErrNoCharacterBlock, 0,
       "No character block"},
      {"2000 fit", ManyCharacters(2000), 0, 2000, "Characters parsed successfully"},
      {"2001 do not", ManyCharacters(2001), kErrTooManyCharacters, 0,
       scratch.Path("2001 do not.tcf") + ", line 2003: more than 2000 characters"},
      {"negative alleles", Lines({"MIXORA", "Chars =", "1 -3 T A"}), kErrCannotParseLine, 0,
       scratch.Path("negative alleles.tcf") + ", line 3: number of alleles -3 not 0 - 999"},
      // Read as 1 with ".5" taken for the kind, the line would load as
      // another character than it says.
      {"fraction alleles", Lines({"MIXORA", "Chars =", "1 1.5 T A"}), kErrCannotParseLine, 0,
       scratch.Path("fraction alleles.tcf") +
           ", line 3: number of alleles \"1.5\" is not a whole number"},
      {"fraction id", Lines({"MIXORA", "Chars =", "1.0 12 T A"}), kErrCannotParseLine, 0,
       scratch.Path("fraction id.tcf") + ", line 3: character ID \"1.0\" is not a whole number"},
      {"huge id", Lines({"MIXORA", "Chars =", "99999999999 3 T A"}), kErrCannotParseLine, 0,
       scratch.Path("huge id.tcf") + ", line 3: number beyond the 32-bit integer range"},
      {"long name", Lines({"MIXORA", "Chars =", "1 3 T " + std::string(256, 'n')}),
       kErrCannotParseLine, 0,
       scratch.Path("long name.tcf") + ", line 3: character name longer than 255 characters"},
  };
  for (const Case& c : cases) {
    std::string path = scratch.Write(std::string(c.name) + ".tcf", c.text);
    CharacterBlock block;
    LogBuffer log;
    EXPECT_EQ(ParseCharacterBlock(path, kControlMixora, block, log), c.flags) << c.name;
    EXPECT_EQ(block.count, c.count) << c.name;
    EXPECT_EQ(block.names.size(), static_cast<std::size_t>(c.count)) << c.name;
    EXPECT_TRUE(LogHasLine(log.text, c.line)) << c.name << "\n" << log.text;
    if (c.flags != 0) {
      EXPECT_TRUE(LogHasLine(log.text, "Fatal error parsing character block")) << c.name;
    }
  }
}

TEST(StockBlock, TextLayoutWithPriorWeightsAndTwoLevels) {
  RunSettings settings = StockSettings(2, 4, true);
  StockBlock block;
  LogBuffer log;
  std::string path = ControlFixture("good.tcf");
  ASSERT_EQ(ParseStockBlock(path, kControlMixora, settings, block, log), 0u) << log.text;
  EXPECT_EQ(log.text, "Reading stocks from file: " + path + "\r\nStocks parsed successfully\r\n");
  EXPECT_EQ(block.count, 4);
  EXPECT_EQ(block.levelCount, 2);
  EXPECT_EQ(block.excludedCount, 0);
  EXPECT_EQ(block.nameWidth, 8);
  EXPECT_EQ(block.stockId, (std::vector<int32_t>{3, 5, 7, 9}));
  EXPECT_EQ(block.groupAt[0], (std::vector<int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(block.groupAt[1], (std::vector<int32_t>{1, 2, 1, 2}));
  EXPECT_EQ(block.priorWeight, (std::vector<double>{0.35, 0.25, 0.20, 0.20}));
  EXPECT_EQ(block.names, (std::vector<std::string>{"Chilko", "Stellako", "Adams", "Shuswap"}));
  EXPECT_EQ(settings.PriorWeightsGiven, 1);
  EXPECT_EQ(settings.InformativePrior, 1);
  EXPECT_EQ(settings.ChangeSeeds, 1);
}

TEST(StockBlock, TextLayoutCasesWithAndWithoutWeights) {
  ScratchFolder scratch;
  struct Case {
    const char* name;
    std::vector<std::string> stockLines;
    ErrorFlags flags;
    int priorWeightsGiven, informativePrior;
    std::string firstName;
    std::string line;
  } cases[] = {
      {"no weights", {"003 01 02 Chilko", "005 02 01 Adams"}, 0, 0, 0, "Chilko",
       "Stocks parsed successfully"},
      {"blank in name", {"003 01 02 Upper Fraser", "005 02 01 Adams"}, 0, 0, 0, "Upper",
       "Stocks parsed successfully"},
      {"three group columns", {"003 01 02 01 Chilko", "005 02 01 02 Adams"},
       kErrLevelsMismatch, 0, 1, "",
       scratch.Path("three group columns.tcf") + ", line 4: more group columns than Levels (2)"},
      {"one group column", {"003 01 Chilko", "005 02 Adams"}, kErrLevelsMismatch, 0, 0, "",
       "Levels mismatch"},
      {"uneven lines", {"003 01 02 0.5 Chilko", "005 02 01 Adams"}, kErrLevelsMismatch, 0, 1, "",
       scratch.Path("uneven lines.tcf") + ", line 5: 4 fields where the first stock line has 5"},
      {"count", {"003 01 02 Chilko"}, kErrStockCountMismatch, 0, 1, "",
       "2 Stocks specified, 1 stocks found"},
      {"letter group", {"003 A 02 Chilko", "005 02 01 Adams"}, kErrCannotParseLine, 0, 0, "",
       scratch.Path("letter group.tcf") + ", line 4: group ID A is not a number"},
      // Weights that would make the stock priors NaN.
      {"infinite weight", {"003 01 02 0.5 Chilko", "005 02 01 1.5e400 Adams"},
       kErrCannotParseLine, 1, 1, "",
       scratch.Path("infinite weight.tcf") + ", line 5: prior weight 1.5e400 is not a finite number"},
      {"weights beyond any sum", {"003 01 02 1.0e308 Chilko", "005 02 01 1.0e308 Adams"},
       kErrCannotParseLine, 1, 1, "",
       scratch.Path("weights beyond any sum.tcf") + ": the prior weights add up to more than " +
           "1.79769e+308"},
  };
  for (const Case& c : cases) {
    std::string text = Lines({"MIXORA", "Levels = 2", "Stocks ="});
    for (const std::string& line : c.stockLines) text += line + "\r\n";
    text += Lines({"", "! 007 01 01 Commented", "Groups =", "1 1 G"});
    std::string path = scratch.Write(std::string(c.name) + ".tcf", text);
    RunSettings settings = StockSettings(2, 2, true);
    StockBlock block;
    LogBuffer log;
    EXPECT_EQ(ParseStockBlock(path, kControlMixora, settings, block, log), c.flags) << c.name;
    EXPECT_EQ(settings.PriorWeightsGiven, c.priorWeightsGiven) << c.name;
    EXPECT_EQ(settings.InformativePrior, c.informativePrior) << c.name;
    if (!c.firstName.empty()) {
      EXPECT_EQ(block.names.at(0), c.firstName) << c.name;
    }
    EXPECT_TRUE(LogHasLine(log.text, c.line)) << c.name << "\n" << log.text;
  }
}

TEST(StockBlock, RefusesMoreThanAThousandStocks) {
  ScratchFolder scratch;
  std::string text = "MIXORA\r\nStocks =\r\n";
  for (int i = 1; i <= 1001; ++i) text += std::to_string(i) + " 01 S" + std::to_string(i) + "\r\n";
  std::string path = scratch.Write("many.tcf", text);
  RunSettings settings = StockSettings(1, 1001, false);
  StockBlock block;
  LogBuffer log;
  EXPECT_EQ(ParseStockBlock(path, kControlMixora, settings, block, log), kErrTooManyStocks);
  EXPECT_TRUE(LogHasLine(log.text, path + ", line 1003: more than 1000 stocks"));
  EXPECT_TRUE(LogHasLine(log.text, "Too many stocks"));
  EXPECT_EQ(block.count, 0);
}

TEST(StockBlock, SpamLayoutDropsAllZeroRegionColumnsAndKeepsWholeNames) {
  RunSettings settings = StockSettings(0, 0, true);
  StockBlock block;
  LogBuffer log;
  ASSERT_EQ(ParseStockBlock(ControlFixture("spam.ctl"), kControlSpam, settings, block, log), 0u)
      << log.text;
  EXPECT_EQ(block.count, 4);
  EXPECT_EQ(block.excludedCount, 1);
  EXPECT_EQ(block.flags, (std::vector<int32_t>{0, 0, 1, 0}));
  EXPECT_EQ(block.levelCount, 2);
  EXPECT_EQ(block.stockId, (std::vector<int32_t>{3, 5, 7, 9}));
  EXPECT_EQ(block.groupAt[0], (std::vector<int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(block.groupAt[1], (std::vector<int32_t>{1, 2, 1, 2}));
  EXPECT_EQ(block.names,
            (std::vector<std::string>{"Chilko Lake", "Stellako River", "Adams", "Shuswap"}));
  EXPECT_EQ(block.nameWidth, 14);
  EXPECT_TRUE(block.priorWeight.empty());
  EXPECT_EQ(settings.InformativePrior, 1);  // the SPAM layout leaves the settings alone
}

TEST(StockBlock, SpamLayoutCases) {
  ScratchFolder scratch;
  struct Case {
    const char* name;
    std::vector<std::string> stockLines;
    ErrorFlags flags;
    int count, levels;
    std::string line;
  } cases[] = {
      {"all zero", {"3 A : 0 0", "5 B : 0 0"}, kErrInvalidLevel, 0, 0, "Invalid level"},
      {"no colon blank ends block", {"3 A : 1", "5: 2", "7 C : 1"}, 0, 1, 1,
       "Stocks parsed successfully"},
      {"uneven column count ends block", {"3 A : 1 2", "5 B : 2", "7 C : 1 1"}, 0, 1, 2,
       "Stocks parsed successfully"},
      {"star ends block", {"3 A : 1", "* regions *", "5 B : 2"}, 0, 1, 1,
       "Stocks parsed successfully"},
      {"six columns", {"3 A : 1 1 1 1 1 1"}, kErrMoreThan5Levels, 0, 0,
       scratch.Path("six columns.ctl") + ", line 4: more than 5 region columns"},
      {"cancelling values", {"3 A : 1 -1", "5 B : 2 1"}, 0, 2, 2, "Stocks parsed successfully"},
  };
  for (const Case& c : cases) {
    std::string text = Lines({"* SPAM", "* populations used", "heading"});
    for (const std::string& line : c.stockLines) text += line + "\r\n";
    std::string path = scratch.Write(std::string(c.name) + ".ctl", text);
    RunSettings settings = StockSettings(0, 0, false);
    StockBlock block;
    LogBuffer log;
    EXPECT_EQ(ParseStockBlock(path, kControlSpam, settings, block, log), c.flags) << c.name;
    EXPECT_EQ(block.count, c.count) << c.name;
    EXPECT_EQ(block.levelCount, c.levels) << c.name;
    EXPECT_TRUE(LogHasLine(log.text, c.line)) << c.name << "\n" << log.text;
  }
}

TEST(GroupBlock, ReadsBothLayoutsWithNamesThatHoldBlanks) {
  struct Case {
    const char* fixture;
    int32_t kind;
    const char* label;
  } cases[] = {{"good.tcf", kControlMixora, "groups from"}, {"spam.ctl", kControlSpam, "regions from"}};
  for (const Case& c : cases) {
    GroupBlock block;
    LogBuffer log;
    std::string path = ControlFixture(c.fixture);
    ASSERT_EQ(ParseGroupBlock(path, c.kind, block, log), 0u) << log.text;
    EXPECT_EQ(log.text, std::string("Reading ") + c.label + " file: " + path +
                            "\r\nGroups parsed successfully\r\n");
    EXPECT_EQ(block.count, 4);
    EXPECT_EQ(block.maxLevel, 2);
    EXPECT_EQ(block.level, (std::vector<int32_t>{0, 0, 1, 1}));
    EXPECT_EQ(block.groupId, (std::vector<int32_t>{1, 2, 1, 2}));
    EXPECT_EQ(block.names,
              (std::vector<std::string>{"Fraser River", "Thompson River", "Early run", "Late run"}));
    EXPECT_EQ(block.nameWidth, 14);
  }
}

TEST(GroupBlock, MissingBlocksBadLevelsAndExclusions) {
  ScratchFolder scratch;
  struct Case {
    const char* name;
    int32_t kind;
    std::string text;
    ErrorFlags flags;
    int count, excluded;
    std::vector<std::string> lines;
  } cases[] = {
      {"no groups", kControlMixora, Lines({"MIXORA", "Stocks =", "3 1 A"}), kErrNoGroupBlock, 0, 0,
       {"Fatal error parsing groups block", "No group block"}},
      {"no regions", kControlSpam, Lines({"* SPAM", "* populations used", "x", "3 A : 1"}),
       kErrNoGroupBlock, 0, 0, {"Fatal error parsing regions block", "No group block"}},
      {"excluded", kControlMixora,
       Lines({"MIXORA", "Groups =", "1 1 Fraser", "! 1 2 Summer run", "1 3", "1 4 After end"}), 0,
       2, 1, {"Groups parsed successfully"}},
      {"spam excluded", kControlSpam,
       Lines({"*", "* regions", "heading", "1 1 A", "\\ 1 2 B", "*", "1 3 C"}), 0, 2, 1,
       {"Groups parsed successfully"}},
      {"level six", kControlMixora, Lines({"MIXORA", "Groups =", "1 1 A", "6 1 F"}),
       kErrMoreThan5Levels, 0, 0,
       {scratch.Path("level six") + ", line 4: group level 6 above 5", "More than 5 levels"}},
      {"level zero", kControlMixora, Lines({"MIXORA", "Groups =", "0 1 A"}), kErrInvalidLevel, 0,
       0, {scratch.Path("level zero") + ", line 3: group level 0 below 1", "Invalid level"}},
  };
  for (const Case& c : cases) {
    std::string path = scratch.Write(c.name, c.text);
    GroupBlock block;
    LogBuffer log;
    EXPECT_EQ(ParseGroupBlock(path, c.kind, block, log), c.flags) << c.name;
    EXPECT_EQ(block.count, c.count) << c.name;
    EXPECT_EQ(block.excludedCount, c.excluded) << c.name;
    for (const std::string& line : c.lines) {
      EXPECT_TRUE(LogHasLine(log.text, line)) << c.name << ": " << line << "\n" << log.text;
    }
  }
}

TEST(ControlBlocks, AFileThatCannotBeOpenedGivesMinusOne) {
  ScratchFolder scratch;
  std::string path = scratch.Path("absent.tcf");
  RunSettings settings = StockSettings(1, 2, false);
  CharacterBlock characters;
  StockBlock stocks;
  GroupBlock groups;
  LogBuffer log;
  EXPECT_EQ(ParseCharacterBlock(path, kControlMixora, characters, log), kErrFatal);
  EXPECT_EQ(ParseStockBlock(path, kControlMixora, settings, stocks, log), kErrFatal);
  EXPECT_EQ(ParseGroupBlock(path, kControlSpam, groups, log), kErrFatal);
  EXPECT_EQ(log.text, "Reading characters from file: " + path + "\r\nCannot open file\r\n" +
                          "Reading stocks from file: " + path + "\r\nCannot open file\r\n" +
                          "Reading regions from file: " + path + "\r\nCannot open file\r\n");
}

}  // namespace
}  // namespace mixora
