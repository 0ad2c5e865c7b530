#include "input/baseline_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "core/lookups.h"
#include "data_test_support.h"

namespace mixora {
namespace {

using testing::Contains;
using testing::DataFixture;
using testing::DataScratch;

int32_t CountOf(const BaselineData& base, int32_t stockId, int charIndex, int k) {
  int s = FindValue(base.stockId, stockId);
  EXPECT_GE(s, 0) << stockId;
  return base.counts[(static_cast<std::size_t>(s) * base.charCount + charIndex) * base.maxAlleles + k];
}

TEST(ClassifyBaselineFile, TellsLayoutFromFirstDataLine) {
  DataScratch scratch;
  struct Case {
    std::string path;
    int32_t format;
  } cases[] = {
      {DataFixture("baseline/spam.bse"), kBaselineSpam},
      {DataFixture("baseline/talmo_by_stock.bse"), kBaselineTalmo},
      // A comment line ahead of the data does not decide the layout.
      {DataFixture("baseline/talmo_by_char.bse"), kBaselineTalmo},
      {scratch.Write("label.gen", "\n! note\nLABEL my title\nLoc1\nPOP\n"), kBaselineGenepopLabel},
      {scratch.Write("plain.gen", "Some title\nLoc1\nPOP\n"), kBaselineGenepop},
      {scratch.Path("missing.bse"), kFormatNotFound},
      {DataFixture("baseline/blank.bse"), kBaselineUnknown},
      {scratch.Write("junk.bse", std::string("#10 North\nLocA 1\0 2\n", 20)), kBaselineUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyBaselineFile(c.path), c.format) << c.path;
}

TEST(ReadTalmoBaseline, LineOrderChangesOnlyTheOrderOfIds) {
  BaselineData byStock, byChar;
  LogBuffer log;
  ASSERT_EQ(ReadTalmoBaseline(DataFixture("baseline/talmo_by_stock.bse"), byStock, log), 0u);
  // CR LF line ends, tabs and a leading comment line.
  ASSERT_EQ(ReadTalmoBaseline(DataFixture("baseline/talmo_by_char.bse"), byChar, log), 0u);
  EXPECT_TRUE(Contains(log.text, "Reading Baseline file: "));
  EXPECT_EQ(testing::Occurrences(log.text, "File parsed successfully\r\n"), 2);

  EXPECT_EQ(byStock.stockId, (std::vector<int32_t>{10, 20, 30}));
  EXPECT_EQ(byStock.charId, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(byChar.stockId, (std::vector<int32_t>{30, 10, 20}));
  EXPECT_EQ(byChar.charId, (std::vector<int32_t>{2, 1, 3}));
  for (const BaselineData* base : {&byStock, &byChar}) {
    EXPECT_EQ(base->stockCount, 3);
    EXPECT_EQ(base->charCount, 3);
    EXPECT_EQ(base->maxAlleles, 5);
    EXPECT_EQ(base->stockNameWidth, 0);
    EXPECT_EQ(base->charNameWidth, 0);
    EXPECT_TRUE(base->stockNames.empty());
  }
  for (int32_t stock : {10, 20, 30}) {
    for (int32_t charId : {1, 2, 3}) {
      int a = FindValue(byStock.charId, charId), b = FindValue(byChar.charId, charId);
      for (int k = 0; k < 5; ++k)
        EXPECT_EQ(CountOf(byStock, stock, a, k), CountOf(byChar, stock, b, k))
            << stock << " " << charId << " " << k;
    }
  }
  // LocC has five counts in two stocks and four in the third: the missing
  // position counts 0.
  EXPECT_EQ(byStock.alleleCount, (std::vector<int32_t>{4, 3, 5}));
  EXPECT_EQ(CountOf(byStock, 30, 2, 3), 10);
  EXPECT_EQ(CountOf(byStock, 30, 2, 4), 0);
  EXPECT_EQ(CountOf(byStock, 20, 2, 4), 4);
}

TEST(ReadSpamBaseline, MergesNamesWithoutCaseAndKeepsTwoWordStockNames) {
  BaselineData spam, talmo;
  LogBuffer log;
  ASSERT_EQ(ReadSpamBaseline(DataFixture("baseline/spam.bse"), spam, log), 0u);
  ASSERT_EQ(ReadTalmoBaseline(DataFixture("baseline/talmo_by_stock.bse"), talmo, log), 0u);
  EXPECT_EQ(spam.charCount, 3);
  EXPECT_EQ(spam.charNames, (std::vector<std::string>{"LocA", "LocB", "LocC"}));
  EXPECT_EQ(spam.charId, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(spam.stockId, (std::vector<int32_t>{10, 20, 30}));
  EXPECT_EQ(spam.stockNames, (std::vector<std::string>{"North Fork", "Middle", "South"}));
  EXPECT_EQ(spam.stockNameWidth, 10);
  EXPECT_EQ(spam.charNameWidth, 4);
  EXPECT_EQ(spam.alleleCount, talmo.alleleCount);
  EXPECT_EQ(spam.maxAlleles, talmo.maxAlleles);
  EXPECT_EQ(spam.counts, talmo.counts);
}

TEST(ReadSpamBaseline, HeaderWithBlanksGivesIdAndInnerBlankName) {
  DataScratch scratch;
  BaselineData base;
  LogBuffer log;
  ASSERT_EQ(ReadSpamBaseline(scratch.Write("b.bse", "#  17 Upper  Creek \nLocA 1 2\n"), base, log), 0u);
  EXPECT_EQ(base.stockId, (std::vector<int32_t>{17}));
  EXPECT_EQ(base.stockNames, (std::vector<std::string>{"Upper  Creek"}));
}

TEST(ReadTalmoBaseline, LaterLineForSameStockAndCharacterReplacesEarlierOne) {
  DataScratch scratch;
  BaselineData base;
  LogBuffer log;
  ASSERT_EQ(ReadTalmoBaseline(scratch.Write("b.bse", "10 1 15 1 2 3 4 5\n10 1 7 7\n"), base, log), 0u);
  EXPECT_EQ(base.alleleCount, (std::vector<int32_t>{5}));
  EXPECT_EQ(base.counts, (std::vector<int32_t>{7, 0, 0, 0, 0}));
}

TEST(ReadBaseline, BlankFileHasNothingAndStillParses) {
  for (auto* read : {&ReadTalmoBaseline, &ReadSpamBaseline}) {
    BaselineData base;
    base.stockCount = 9;  // a previous read is replaced
    LogBuffer log;
    EXPECT_EQ(read(DataFixture("baseline/blank.bse"), base, log), 0u);
    EXPECT_EQ(base.stockCount, 0);
    EXPECT_EQ(base.charCount, 0);
    EXPECT_TRUE(base.counts.empty());
    EXPECT_TRUE(Contains(log.text, "File parsed successfully"));
  }
}

TEST(SumBaselineTotals, SumsEachStockAndCharacterOverItsPositions) {
  BaselineData base;
  LogBuffer log;
  ASSERT_EQ(ReadTalmoBaseline(DataFixture("baseline/talmo_by_stock.bse"), base, log), 0u);
  SumBaselineTotals(base);
  // [stock][character] for stocks 10, 20, 30 and LocA, LocB, LocC.
  EXPECT_EQ(base.totals, (std::vector<int32_t>{20, 20, 20, 20, 20, 20, 20, 20, 20}));
  base.counts[2] = 100;  // stock 10, LocA, position 3
  SumBaselineTotals(base);
  EXPECT_EQ(base.totals[0], 117);
}

struct Refused {
  const char* fixture;
  bool spam;
  ErrorFlags flags;
  const char* message;
};

TEST(ReadBaseline, RefusesBadLinesNamingFileLineAndProblem) {
  const Refused cases[] = {
      {"talmo_257_counts.bse", false, kErrTooManyAllelePositions,
       ", line 2: 257 counts on one line; at most 256 allele positions are held\r\n"
       "More that 256 allele positions\r\n"},
      {"talmo_bad_id.bse", false, kErrCannotParseLine,
       ", line 2: expected a stock ID, a character ID, a total and the counts\r\nCannot parse line\r\n"},
      {"talmo_short_line.bse", false, kErrCannotParseLine, ", line 2: expected a stock ID"},
      {"talmo_negative_count.bse", false, kErrCannotParseLine,
       ", line 2: count \"-1\" is not 0 - 8388607\r\n"},
      {"spam_char_before_header.bse", true, kErrCannotParseLine,
       ", line 1: character line before the first stock header (\"#\" line)\r\n"},
      {"spam_header_without_id.bse", true, kErrCannotParseLine,
       ", line 3: stock header without a stock ID\r\n"},
      {"spam_long_char_name.bse", true, kErrCannotParseLine,
       ", line 2: character name longer than 49 characters\r\n"},
      {"spam_huge_count.bse", true, kErrCannotParseLine,
       ", line 2: count \"99999999999\" is not 0 - 8388607\r\n"},
  };
  for (const auto& c : cases) {
    std::string path = DataFixture(std::string("baseline/") + c.fixture);
    BaselineData base;
    LogBuffer log;
    ErrorFlags flags = c.spam ? ReadSpamBaseline(path, base, log) : ReadTalmoBaseline(path, base, log);
    EXPECT_EQ(flags, c.flags) << c.fixture;
    EXPECT_TRUE(Contains(log.text, path + c.message)) << log.text;
    EXPECT_FALSE(Contains(log.text, "File parsed successfully")) << c.fixture;
    EXPECT_EQ(base.stockCount, 0) << c.fixture;
  }
}

TEST(ReadBaseline, RefusesMoreStocksOrCharactersThanHeld) {
  DataScratch scratch;
  std::string talmoStocks, talmoChars, spamStocks, spamChars = "#1 One\n";
  for (int i = 1; i <= 1001; ++i) talmoStocks += std::to_string(i) + " 1 1 1\n";
  for (int i = 1; i <= 2001; ++i) talmoChars += "1 " + std::to_string(i) + " 1 1\n";
  for (int i = 1; i <= 1001; ++i) spamStocks += "#" + std::to_string(i) + " S\nLocA 1\n";
  for (int i = 1; i <= 2001; ++i) spamChars += "Loc" + std::to_string(i) + " 1\n";
  struct Case {
    std::string path;
    bool spam;
    ErrorFlags flags;
    std::string message;
  } cases[] = {
      {scratch.Write("ts.bse", talmoStocks), false, kErrTooManyStocks, ", line 1001: more than 1000 stocks\r\nToo many stocks"},
      {scratch.Write("tc.bse", talmoChars), false, kErrTooManyCharacters, ", line 2001: more than 2000 characters\r\nToo many characters"},
      {scratch.Write("ss.bse", spamStocks), true, kErrTooManyStocks, ", line 2001: more than 1000 stocks"},
      {scratch.Write("sc.bse", spamChars), true, kErrTooManyCharacters, ", line 2002: more than 2000 characters"},
  };
  for (const auto& c : cases) {
    BaselineData base;
    LogBuffer log;
    ErrorFlags flags = c.spam ? ReadSpamBaseline(c.path, base, log) : ReadTalmoBaseline(c.path, base, log);
    EXPECT_EQ(flags, c.flags) << c.path;
    EXPECT_TRUE(Contains(log.text, c.path + c.message)) << log.text.substr(0, 400);
  }
  // Exactly at the limits is fine.
  BaselineData base;
  LogBuffer log;
  std::string thousand;
  for (int i = 1; i <= 1000; ++i) thousand += std::to_string(i) + " 1 1\n";
  thousand += "1 2 256";
  for (int k = 0; k < 256; ++k) thousand += " 1";
  EXPECT_EQ(ReadTalmoBaseline(scratch.Write("max.bse", thousand), base, log), 0u) << log.text.substr(0, 400);
  EXPECT_EQ(base.stockCount, 1000);
  EXPECT_EQ(base.maxAlleles, 256);
}

TEST(ReadBaseline, RefusesUnreadableAndNonTextFiles) {
  DataScratch scratch;
  struct Case {
    std::string path;
    ErrorFlags flags;
    std::string message;
  } cases[] = {
      {scratch.Path("missing.bse"), kErrFatal, "Reading Baseline file: " + scratch.Path("missing.bse") + "\r\nCannot open file\r\n"},
      {scratch.Write("nul.bse", std::string("10 1 2 1 1\n10 2 2 1\0 1\n", 23)), kErrCannotParseLine, ", line 2: binary data"},
      {scratch.Write("long.bse", "10 1 2 1 1\n10 2" + std::string(16400, ' ') + "1\n"), kErrCannotParseLine, ", line 2: line longer than 16383 characters"},
  };
  for (const auto& c : cases) {
    for (auto* read : {&ReadTalmoBaseline, &ReadSpamBaseline}) {
      BaselineData base;
      LogBuffer log;
      EXPECT_EQ(read(c.path, base, log), c.flags) << c.path;
      EXPECT_TRUE(Contains(log.text, c.message)) << log.text;
      EXPECT_EQ(base.stockCount, 0);
    }
  }
}

}  // namespace
}  // namespace mixora
