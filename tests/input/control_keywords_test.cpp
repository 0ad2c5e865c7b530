#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <cstring>
#include <limits>
#include <string>

#include "control_test_files.h"
#include "input/control.h"
#include "input/control_file_kind.h"
#include "input/control_keywords.h"
#include "input/keyword_table.h"
#include "input/unknown_keywords.h"

namespace mixora {
namespace {

using testing::ControlFixture;
using testing::Lines;
using testing::LogHasLine;
using testing::ScratchFolder;

RunSettings FreshSettings() {
  RunSettings settings;
  std::memset(&settings, 0, sizeof settings);
  SetDefaultSettings(settings);
  return settings;
}

TEST(KeywordParsers, IntegerBooleanRealAndGeneratorValues) {
  struct Case {
    KeywordParser parser;
    const char* value;
    KeywordParse result;
    std::string formatted;  // the field afterwards, through the matching formatter
  } cases[] = {
      {ParseIntegerValue, "  42 ! comment", kParseOk, "42"},
      {ParseIntegerValue, "-7x", kParseOk, "-7"},
      {ParseIntegerValue, "x7", kParseFailed, "0"},
      {ParseIntegerValue, "", kParseFailed, "0"},
      {ParseIntegerValue, "99999999999", kValueTooLarge, "2147483647"},
      {ParseIntegerValue, "-2147483648", kParseOk, "-2147483648"},
      {ParseBooleanValue, "yes", kParseOk, "T"},
      {ParseBooleanValue, "no", kParseOk, "F"},
      {ParseBooleanValue, "1", kParseOk, "T"},
      {ParseBooleanValue, "true", kParseOk, "T"},
      {ParseBooleanValue, "maybe", kParseOk, "F"},
      {ParseBooleanValue, "", kParseFailed, "F"},
      {ParseRealValue, " 0.975", kParseOk, "0.975"},
      {ParseRealValue, "0.95 ! two decimals", kParseOk, "0.95"},
      {ParseRealValue, ".", kParseFailed, "0.00"},
      {ParseGeneratorValue, "mt19937", kParseOk, "MT19937"},
      {ParseGeneratorValue, "RANDLIB ! classic", kParseOk, "RandLib"},
      {ParseGeneratorValue, "Knuth", kParseFailed, "ERROR"},
  };
  for (const Case& c : cases) {
    alignas(8) char field[8] = {};
    if (c.parser == ParseGeneratorValue) field[0] = 7;  // an invalid generator before
    EXPECT_EQ(c.parser(c.value, field, sizeof field), c.result) << c.value;
    std::string shown = c.parser == ParseIntegerValue   ? FormatIntegerValue(field)
                        : c.parser == ParseBooleanValue ? FormatBooleanValue(field)
                        : c.parser == ParseRealValue    ? FormatRealValue(field)
                                                        : FormatGeneratorValue(field);
    EXPECT_EQ(shown, c.formatted) << c.value;
  }
}

TEST(KeywordParsers, StockListsReadUpToFourIdsAndFillTheRestWithMinusOne) {
  struct Case {
    const char* value;
    KeywordParse result;
    int32_t ids[4];
    const char* formatted;
  } cases[] = {
      {"3,7", kParseOk, {3, 7, -1, -1}, "3/7"},
      {"3 , 7 11 ! comment", kParseOk, {3, 7, 11, -1}, "3/7/11"},
      {"1 2 3 4 5", kParseOk, {1, 2, 3, 4}, "1/2/3/4"},
      {"3/7", kParseOk, {3, 7, -1, -1}, "3/7"},  // what the formatter writes reads back
      {"12 stock", kParseOk, {12, -1, -1, -1}, "12"},
      {"none", kParseFailed, {9, 9, 9, 9}, "9/9/9/9"},
  };
  for (const Case& c : cases) {
    int32_t field[4] = {9, 9, 9, 9};
    char* bytes = reinterpret_cast<char*>(field);
    EXPECT_EQ(ParseStockListValue(c.value, bytes, sizeof field), c.result) << c.value;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(field[i], c.ids[i]) << c.value << " #" << i;
    EXPECT_EQ(FormatStockListValue(bytes), c.formatted) << c.value;
  }
}

TEST(KeywordParsers, TextIsCutAtTheCommentTrimmedAndNeverOverflowsItsField) {
  char field[8];
  std::memset(field, 'z', sizeof field);
  EXPECT_EQ(ParseTextValue("  Fraser run  ! the rest is a comment", field, sizeof field),
            kValueTooLarge);
  EXPECT_EQ(std::string(field), "Fraser ");  // cut to 7 characters and terminated

  char title[80];
  EXPECT_EQ(ParseTextValue("Fraser run  ! comment", title, sizeof title), kParseOk);
  EXPECT_EQ(std::string(title), "Fraser run");
  EXPECT_EQ(ParseTextValue("! only a comment", title, sizeof title), kParseOk);
  EXPECT_EQ(std::string(title), "");
  EXPECT_EQ(ParseTextValue("", title, sizeof title), kParseFailed);
}

TEST(KeywordFormatters, RealsShowTwoDecimalsUnlessTheThirdIsNeeded) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{0.95, "0.95"}, {0.975, "0.975"}, {0.02, "0.02"}, {0.001, "0.001"},
               {0.5, "0.50"},  {0.1, "0.10"},    {0.0245, "0.025"}, {1.0, "1.00"}};
  for (const Case& c : cases) {
    char field[8];
    std::memcpy(field, &c.value, sizeof c.value);
    EXPECT_EQ(FormatRealValue(field), c.text) << c.value;
  }
}

TEST(SetDefaultSettings, SetsTheDefaultsAndLeavesEverythingElse) {
  RunSettings settings;
  std::memset(&settings, 0, sizeof settings);
  SetField(settings.ControlFilePath, "/runs/a.tcf");
  SetDefaultSettings(settings);
  EXPECT_EQ(settings.RanGen, 1);
  EXPECT_EQ(settings.ThinIse, 1);
  EXPECT_EQ(settings.ThinSta, 1);
  EXPECT_EQ(settings.MaxMissingLoci, 999);
  EXPECT_EQ(settings.Timer, 1000);
  EXPECT_EQ(settings.SaveEvery, 100);
  EXPECT_EQ(settings.NumberToKeep, 1000);
  for (int32_t id : settings.StartStock) EXPECT_EQ(id, -1);
  EXPECT_EQ(settings.Accuracy, 0.02);
  EXPECT_EQ(settings.Quantile, 0.975);
  EXPECT_EQ(settings.Probability, 0.95);
  EXPECT_EQ(settings.Percentile, 0.975);
  EXPECT_EQ(settings.NumberOfStocks, 0);
  EXPECT_EQ(GetField(settings.ControlFilePath), "/runs/a.tcf");
}

TEST(ParseKeywords, ReadsEveryKeywordOfTheTextControlFixture) {
  RunSettings settings = FreshSettings();
  LogBuffer log;
  std::string path = ControlFixture("good.tcf");
  ASSERT_EQ(ParseKeywords(path, kControlMixora, settings, log), 0u) << log.text;
  EXPECT_EQ(log.text, "Reading Mixora Control file: " + path +
                          "\r\nAll keywords found and values in range\r\n");
  EXPECT_EQ(GetField(settings.Title), "Fraser test run");
  EXPECT_EQ(GetField(settings.BaselineFile), "good_baseline.bse");
  EXPECT_EQ(GetField(settings.OutputFolder), "output");
  EXPECT_EQ(GetField(settings.BaseDesc), "Four stocks, three loci");
  EXPECT_EQ(settings.PrintMixture, 0);
  EXPECT_EQ(settings.DropFish, 1);
  EXPECT_EQ(settings.InformativePrior, 1);
  EXPECT_EQ(settings.NumberOfStocks, 4);
  EXPECT_EQ(settings.Levels, 2);
  EXPECT_EQ(settings.NumberOfReps, 5000);
  EXPECT_EQ(settings.Seed2, 67890);
  EXPECT_EQ(settings.StartStock[0], 3);
  EXPECT_EQ(settings.StartStock[1], 7);
  EXPECT_EQ(settings.StartStock[2], -1);
  EXPECT_EQ(settings.RanGen, 1);
  EXPECT_EQ(settings.SaveEvery, 200);
  EXPECT_EQ(settings.ThinSta, 5);
  EXPECT_EQ(settings.Accuracy, 0.025);
  EXPECT_EQ(settings.Quantile, 0.95);
  EXPECT_EQ(settings.Percentile, 0.975);  // default kept
}

TEST(ParseKeywords, ReadsTheSpamControlFixtureThroughItsPhrases) {
  RunSettings settings = FreshSettings();
  LogBuffer log;
  std::string path = ControlFixture("spam.ctl");
  ASSERT_EQ(ParseKeywords(path, kControlSpam, settings, log), 0u) << log.text;
  EXPECT_TRUE(LogHasLine(log.text, "Reading SPAM Control file: " + path));
  EXPECT_EQ(settings.PrintMixture, 1);
  EXPECT_EQ(settings.NumberOfStocks, 3);
  EXPECT_EQ(settings.NumberOfChars, 3);
  EXPECT_EQ(settings.NumberOfReps, 2000);
  EXPECT_EQ(settings.Seed1, 1357);  // a remark between the phrase and the colon
  EXPECT_EQ(settings.Seed2, 2468);
  EXPECT_EQ(settings.MaxMissingLoci, 1);
  EXPECT_EQ(GetField(settings.BaselineFile), "good_baseline.bse");
  EXPECT_EQ(GetField(settings.MixtureFile), "good_mixture.mix");
  EXPECT_EQ(GetField(settings.OutputFolder), "out");
}

TEST(ParseKeywords, FixturesWithMissingOrOutOfRangeValuesLogEveryProblem) {
  struct Case {
    const char* fixture;
    ErrorFlags flags;
    std::vector<std::string> lines;
    std::vector<std::string> absent;
  } cases[] = {
      {"missing_keywords.tcf",
       kErrMissingKeywords,
       {"Missing Species", "Missing Seed2", "Fatal error parsing Mixora Control file",
        "Missing control file keyword(s)"},
       {"All keywords found and values in range"}},
      {"out_of_range.tcf",
       kErrValueOutOfRange,
       {"NumberOfStocks not 2 - 999", "NumberOfReps not 10 - 99999999",
        "Accuracy not 0.001 - 0.999", "Fatal error parsing Mixora Control file",
        "Value out of range"},
       {"Missing Species"}},
  };
  for (const Case& c : cases) {
    RunSettings settings = FreshSettings();
    LogBuffer log;
    EXPECT_EQ(ParseKeywords(ControlFixture(c.fixture), kControlMixora, settings, log), c.flags)
        << c.fixture;
    for (const std::string& line : c.lines) EXPECT_TRUE(LogHasLine(log.text, line)) << line;
    for (const std::string& line : c.absent) EXPECT_FALSE(LogHasLine(log.text, line)) << line;
  }
}

TEST(ParseKeywords, EdgeCasesOfMatchingAndParsing) {
  ScratchFolder scratch;
  std::string base = Lines({"MIXORA", "Title = T", "BaselineFile = b", "MixtureFile = m",
                            "Species = S", "NumberOfStocks = 3", "NumberOfChars = 4",
                            "Levels = 1", "NumberOfChains = 2", "NumberOfReps = 100",
                            "Seed2 = 5"});
  struct Case {
    const char* name;
    std::string extra;
    ErrorFlags flags;
    std::function<void(const RunSettings&)> check;
  } cases[] = {
      // "Seed1" matches the start of "Seed10"; the first matching row wins.
      {"prefix", Lines({"Seed10 = 77", "StartStock = 4"}), 0,
       [](const RunSettings& s) { EXPECT_EQ(s.Seed1, 77); }},
      // A later line replaces an earlier value.
      {"twice", Lines({"Seed1 = 1", "StartStock = 4", "seed1=2"}), 0,
       [](const RunSettings& s) { EXPECT_EQ(s.Seed1, 2); }},
      // A required list without a number still counts as found and keeps its default.
      {"bad list", Lines({"Seed1 = 1", "StartStock = none"}), 0,
       [](const RunSettings& s) { EXPECT_EQ(s.StartStock[0], -1); }},
      // An unknown generator is ignored: not required, the default stays.
      {"bad generator", Lines({"Seed1 = 1", "StartStock = 4", "RanGen = Knuth"}), 0,
       [](const RunSettings& s) { EXPECT_EQ(s.RanGen, 1); }},
      {"nan", Lines({"Seed1 = 1", "StartStock = 4", "Quantile = nan"}), kErrValueOutOfRange,
       [](const RunSettings&) {}},
      {"empty title", Lines({"Seed1 = 1", "StartStock = 4", "Title = ! nothing"}),
       kErrMissingKeywords, [](const RunSettings&) {}},
      {"missing stops range checks", Lines({"StartStock = 4", "ThinIse = 0"}),
       kErrMissingKeywords, [](const RunSettings&) {}},
  };
  for (const Case& c : cases) {
    RunSettings settings = FreshSettings();
    LogBuffer log;
    std::string path = scratch.Write("edge.tcf", base + c.extra);
    EXPECT_EQ(ParseKeywords(path, kControlMixora, settings, log), c.flags) << c.name << log.text;
    c.check(settings);
  }
}

// A misspelt keyword used to be skipped like a note, and the run then used
// the default without a word. Near misses stop the load naming the keyword
// meant; notes stay legal and are named in an Info line.
TEST(ParseKeywords, NearMissesOfKeywordsStopTheLoadAndOtherLinesAreNoted) {
  ScratchFolder scratch;
  const std::string base =
      Lines({"MIXORA", "Title = T", "BaselineFile = b", "MixtureFile = m", "Species = S",
             "NumberOfStocks = 3", "NumberOfChars = 4", "Levels = 1", "NumberOfChains = 2",
             "NumberOfReps = 100", "Seed1 = 1", "Seed2 = 5", "StartStock = 4"});
  struct Case {
    std::string line;  // line 14 of the file
    ErrorFlags flags;
    std::string logged;  // "" when nothing is logged for the line
  } cases[] = {
      {"NumberToKep = 200", kErrCannotParseLine,
       ", line 14: \"NumberToKep\" is not a keyword; did you mean NumberToKeep? Correct the line, "
       "or begin it with \"!\" if it is a note"},
      {"MaxMisingLoci = 1", kErrCannotParseLine, "did you mean MaxMissingLoci?"},
      {"maxmissinglcoi = 1", kErrCannotParseLine, "did you mean MaxMissingLoci?"},
      {"NumbrOfChians = 4", kErrCannotParseLine, "did you mean NumberOfChains?"},
      {"Timr = 500", kErrCannotParseLine, "did you mean Timer?"},
      // Short keywords allow one slip only.
      {"Site = Kesh Creek", 0, "Info: " + std::string("X") + ", line 14: \"Site\" is not a keyword; the line is skipped"},
      {"Date = 2025", 0, "\"Date\" is not a keyword; the line is skipped"},
      {"Sampled by = R. Okafor", 0, "\"Sampled by\" is not a keyword; the line is skipped"},
      {"! NumberToKep = 200", 0, ""},
      {"Chars =", 0, ""},
  };
  for (const Case& c : cases) {
    RunSettings settings = FreshSettings();
    LogBuffer log;
    const std::string path = scratch.Write("near.tcf", base + Lines({c.line}));
    EXPECT_EQ(ParseKeywords(path, kControlMixora, settings, log), c.flags) << c.line << log.text;
    std::string want = c.logged;
    if (want.rfind("Info: X", 0) == 0) want = "Info: " + path + want.substr(7);
    else if (want.rfind(", line", 0) == 0) want = path + want;
    if (want.empty())
      EXPECT_EQ(log.text.find("line 14"), std::string::npos) << c.line << log.text;
    else
      EXPECT_NE(log.text.find(want), std::string::npos) << c.line << log.text;
    // The near miss does not slip through as its neighbour either.
    EXPECT_EQ(settings.NumberToKeep, FreshSettings().NumberToKeep) << c.line;
  }
  // The examples and fixtures users start from hold no line of either kind.
  for (const std::string& fixture : {ControlFixture("good.tcf"),
                                     std::string(MIXORA_EXAMPLES_DIR) + "/tavrin/tavrin.tcf"}) {
    RunSettings settings = FreshSettings();
    LogBuffer log;
    EXPECT_EQ(ParseKeywords(fixture, kControlMixora, settings, log), 0u) << log.text;
    EXPECT_EQ(log.text.find("is not a keyword"), std::string::npos) << log.text;
  }
}

TEST(KeywordEditDistance, CountsSlipsOfTheKeyboardWithoutRegardToCase) {
  struct Case {
    const char* a;
    const char* b;
    int edits;
  } cases[] = {
      {"NumberToKeep", "numbertokeep", 0}, {"NumberToKep", "NumberToKeep", 1},
      {"MaxMissingLcoi", "MaxMissingLoci", 1}, {"Seed", "Seed1", 1},
      {"Site", "Title", 2}, {"", "Title", 5},
  };
  for (const Case& c : cases) EXPECT_EQ(KeywordEditDistance(c.a, c.b), c.edits) << c.a << " " << c.b;
}

TEST(ParseKeywords, RefusesOversizedValuesNamingTheFileAndLine) {
  ScratchFolder scratch;
  std::string path = scratch.Write(
      "long.tcf", Lines({"MIXORA", "Title = " + std::string(80, 'x'), "BaselineFile = b",
                         "MixtureFile = m", "Species = S", "NumberOfStocks = 3",
                         "NumberOfChars = 4", "Levels = 1", "NumberOfChains = 2",
                         "NumberOfReps = 100", "Seed1 = 4294967297", "Seed2 = 5",
                         "StartStock = 4"}));
  RunSettings settings = FreshSettings();
  LogBuffer log;
  EXPECT_EQ(ParseKeywords(path, kControlMixora, settings, log), kErrValueOutOfRange);
  EXPECT_TRUE(LogHasLine(log.text, path + ", line 2: Title longer than 79 characters"));
  EXPECT_TRUE(LogHasLine(log.text, path + ", line 11: Seed1 beyond the 32-bit integer range"));
  EXPECT_EQ(GetField(settings.Title), std::string(79, 'x'));
}

TEST(ParseKeywords, UnreadableFilesAndUnknownKinds) {
  ScratchFolder scratch;
  struct Case {
    const char* name;
    std::string path;
    int32_t kind;
    ErrorFlags flags;
    std::vector<std::string> lines;
  } cases[] = {
      {"missing file", scratch.Path("absent.tcf"), kControlMixora, kErrFatal,
       {"Cannot open file"}},
      {"unknown kind", ControlFixture("good.tcf"), kControlUnknown, kErrFatal, {}},
      {"no keyword line", scratch.Write("plain.tcf", Lines({"MIXORA", "just text"})),
       kControlMixora, kErrCannotParseLine,
       {"Fatal error parsing Mixora Control file", "Cannot parse line"}},
      {"no SPAM phrase", scratch.Write("plain.ctl", Lines({"* SPAM", "nothing: here"})),
       kControlSpam, kErrCannotParseLine,
       {"Fatal error parsing SPAM Control file", "Cannot parse line"}},
      {"long line", scratch.Write("wide.tcf", "MIXORA\r\nTitle = " + std::string(16400, 'a')),
       kControlMixora, kErrCannotParseLine,
       {scratch.Path("wide.tcf") + ", line 2: line longer than 16383 characters",
        "Fatal error parsing Mixora Control file"}},
      {"binary", scratch.Write("junk.tcf", std::string("MIXORA\r\nTitle = a\0b\r\n", 20)),
       kControlMixora, kErrCannotParseLine, {"Fatal error parsing Mixora Control file"}},
  };
  for (const Case& c : cases) {
    RunSettings settings = FreshSettings();
    LogBuffer log;
    EXPECT_EQ(ParseKeywords(c.path, c.kind, settings, log), c.flags) << c.name;
    for (const std::string& line : c.lines) EXPECT_TRUE(LogHasLine(log.text, line)) << c.name << line;
    EXPECT_EQ(settings.NumberOfStocks, 0) << c.name;
    EXPECT_EQ(settings.Accuracy, 0.02) << c.name;
  }
}

TEST(ClassifyControlFile, TellsTheKindFromTheFirstDataLine) {
  ScratchFolder scratch;
  struct Case {
    std::string path;
    int32_t kind;
  } cases[] = {
      {ControlFixture("good.tcf"), kControlMixora},
      {ControlFixture("spam.ctl"), kControlSpam},
      {scratch.Write("lower.tcf", "\r\n! note\r\n\\ remark\r\n  mixora run\r\n"), kControlMixora},
      {scratch.Write("other.txt", "Title = x\r\nMIXORA\r\n"), kControlUnknown},
      {scratch.Write("empty.tcf", ""), kControlUnknown},
      {scratch.Write("short.tcf", "MIXOR\r\n"), kControlUnknown},
      {scratch.Path("absent.tcf"), kFormatNotFound},
      // A folder cannot be read as a file, rather than reading as empty.
      {scratch.Path(""), kFormatNotFound},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyControlFile(c.path), c.kind) << c.path;

  std::string problem;
  std::string junk = scratch.Write("junk.tcf", std::string("MIXORA\r\n\x01\x02", 10));
  EXPECT_EQ(ClassifyControlFile(junk, &problem), kControlUnknown);
  EXPECT_NE(problem.find(junk + ", line 2"), std::string::npos) << problem;
  std::string blank = scratch.Write("blank.tcf", "\r\n  \r\n! only a note\r\n");
  EXPECT_EQ(ClassifyControlFile(blank, &problem), kControlUnknown);
  EXPECT_EQ(problem, blank + " is not a control file: it holds no data line");
}

}  // namespace
}  // namespace mixora
