#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "control_test_files.h"
#include "core/paths.h"
#include "input/control.h"
#include "input/control_file_kind.h"
#include "input/load_control.h"

namespace mixora {
namespace {

using testing::ControlFixture;
using testing::Lines;
using testing::LogHasLine;
using testing::ScratchFolder;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ErrorFlags Load(const std::string& path, Control& control) {
  control.controlKind = ClassifyControlFile(path);
  return LoadControlFile(path, control);
}

// The lines must appear in this order (others may come between them).
void ExpectLinesInOrder(const std::string& log, const std::vector<std::string>& lines) {
  std::size_t at = 0;
  for (const std::string& line : lines) {
    std::size_t found = log.find(line + "\r\n", at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << log;
    at = found + line.size();
  }
}

TEST(LoadControlFile, LoadsTheTextFixtureAndFindsItsDataFilesBesideIt) {
  Control control;
  std::string path = ControlFixture("good.tcf");
  ASSERT_EQ(Load(path, control), 0u) << control.log.text;
  ExpectLinesInOrder(control.log.text,
                     {"Reading Mixora Control file: " + path,
                      "All keywords found and values in range",
                      "Reading characters from file: " + path, "Characters parsed successfully",
                      "Checking Control file character count", "Reading stocks from file: " + path,
                      "Stocks parsed successfully", "Checking Control file stock count",
                      "Reading groups from file: " + path, "Groups parsed successfully",
                      "Checking Control file groupings", "\r\nControl File Load SUCCESS!!"});
  const RunSettings& s = *control.settings;
  EXPECT_EQ(GetField(s.ControlFilePath), path);
  EXPECT_EQ(GetField(s.BaselineFile), JoinPath(FolderOf(path), "good_baseline.bse"));
  EXPECT_EQ(GetField(s.MixtureFile), JoinPath(FolderOf(path), "good_mixture.mix"));
  EXPECT_EQ(GetField(s.OutputFolder), "output");  // only the data files are completed
  EXPECT_EQ(control.baselineFormat, kBaselineSpam);
  EXPECT_EQ(control.mixtureFormat, kMixtureSpam);
  EXPECT_EQ(s.NumberOfChains, 3);
  EXPECT_EQ(control.characters->count, 4);
  EXPECT_EQ(control.stocks->levelCount, 2);
  EXPECT_EQ(control.groups->count, 4);
}

TEST(LoadControlFile, ASpamControlFileTakesItsLevelsAndStartStockFromTheStockBlock) {
  Control control;
  ASSERT_EQ(Load(ControlFixture("spam.ctl"), control), 0u) << control.log.text;
  const RunSettings& s = *control.settings;
  EXPECT_EQ(control.controlKind, kControlSpam);
  EXPECT_EQ(GetField(s.Title), "SPAM Conversion");
  EXPECT_EQ(s.NumberOfChains, 4);
  EXPECT_EQ(s.Levels, 2);
  EXPECT_EQ(s.StartStock[0], 3);
  EXPECT_EQ(s.StartStock[1], -1);
  EXPECT_TRUE(LogHasLine(control.log.text, "Reading regions from file: " + ControlFixture("spam.ctl")));
}

TEST(LoadControlFile, StopsAtTheFirstFailingStep) {
  struct Case {
    std::string path;
    ErrorFlags flags;
    std::vector<std::string> lines;
    std::string notReached;
  } cases[] = {
      {std::string(MIXORA_TEST_DATA_DIR) + "/broken/bad_control.tcf", kErrStockCountMismatch,
       {"5 Stocks specified, 3 stocks found", "Fatal error parsing stock block",
        "Stock count mismatch", "\r\nControl File Load FAIL!!"},
       "Reading groups from"},
      {ControlFixture("missing_keywords.tcf"), kErrMissingKeywords,
       {"Missing Species", "Fatal error parsing Mixora Control file", "\r\nControl File Load FAIL!!"},
       "Reading characters from"},
      {ControlFixture("levels_mismatch.tcf"), kErrLevelsMismatch,
       {"Fatal error parsing stock block", "Levels mismatch", "\r\nControl File Load FAIL!!"},
       "Checking Control file stock count"},
      {ControlFixture("no_groups.tcf"), kErrNoGroupBlock,
       {"Fatal error parsing groups block", "No group block", "\r\nControl File Load FAIL!!"},
       "Checking Control file groupings"},
  };
  for (const Case& c : cases) {
    Control control;
    EXPECT_EQ(Load(c.path, control), c.flags) << c.path << "\n" << control.log.text;
    ExpectLinesInOrder(control.log.text, c.lines);
    EXPECT_EQ(control.log.text.find(c.notReached), std::string::npos) << c.path;
  }
}

TEST(LoadControlFile, CharacterCountMismatchStopsBeforeTheStocks) {
  ScratchFolder scratch;
  std::string text = ReadBytes(ControlFixture("good.tcf"));
  text.replace(text.find("NumberOfChars = 3"), 17, "NumberOfChars = 4");
  std::string path = scratch.Write("chars.tcf", text);
  Control control;
  EXPECT_EQ(Load(path, control), kErrValuesNotSame);
  EXPECT_TRUE(LogHasLine(control.log.text, "Character count mismatch. 4 specified, 3 found."));
  EXPECT_EQ(control.log.text.find("Reading stocks from"), std::string::npos);
  EXPECT_TRUE(LogHasLine(control.log.text, "Control File Load FAIL!!"));
}

TEST(LoadControlFile, AMissingDataFileIsNamedWithItsCompletedPath) {
  ScratchFolder scratch;
  std::string path = scratch.Write("run.tcf", ReadBytes(ControlFixture("good.tcf")));
  scratch.Write("good_mixture.mix", ReadBytes(ControlFixture("good_mixture.mix")));
  Control control;
  EXPECT_EQ(Load(path, control), kErrFatal);
  EXPECT_EQ(control.baselineFormat, kFormatNotFound);
  EXPECT_EQ(control.mixtureFormat, kMixtureSpam);
  ExpectLinesInOrder(control.log.text, {"Checking Control file groupings",
                                        "Cannot open " + scratch.Path("good_baseline.bse"),
                                        "\r\nControl File Load FAIL!!"});
  EXPECT_EQ(control.log.text.find("Cannot open " + scratch.Path("good_mixture.mix")),
            std::string::npos);
}

TEST(LoadControlFile, RefusesPathsThatDoNotFitTheirFields) {
  ScratchFolder scratch;
  std::string text = ReadBytes(ControlFixture("good.tcf"));
  std::string longName = std::string(250, 'm') + ".mix";
  text.replace(text.find("good_mixture.mix"), 16, longName);
  std::string path = scratch.Write("long.tcf", text);
  Control control;
  EXPECT_EQ(Load(path, control), kErrValueOutOfRange);
  EXPECT_TRUE(LogHasLine(control.log.text, "MixtureFile path longer than 259 characters: " +
                                               scratch.Path(longName)));
  EXPECT_TRUE(LogHasLine(control.log.text, "\r\nControl File Load FAIL!!"));

  std::string deepFolder = scratch.Path(std::string(200, 'f'));
  std::filesystem::create_directories(deepFolder);
  std::string deepPath = deepFolder + "/" + std::string(60, 'c') + ".tcf";
  std::ofstream(deepPath, std::ios::binary) << ReadBytes(ControlFixture("good.tcf"));
  Control deep;
  EXPECT_EQ(Load(deepPath, deep), kErrValueOutOfRange);
  EXPECT_TRUE(LogHasLine(deep.log.text, "Control file path longer than 259 characters: " + deepPath));
  EXPECT_EQ(deep.log.text.find("Reading"), std::string::npos);
}

TEST(LoadControlFile, AFileThatIsNotTextFailsWithItsLineNamed) {
  ScratchFolder scratch;
  std::string path = scratch.Write("junk.tcf", std::string("MIXORA\r\nTitle = x\r\n\0\0\0", 22));
  Control control;
  control.controlKind = kControlMixora;
  EXPECT_EQ(LoadControlFile(path, control), kErrCannotParseLine);
  EXPECT_NE(control.log.text.find(path + ", line 3: binary data"), std::string::npos)
      << control.log.text;
  EXPECT_TRUE(LogHasLine(control.log.text, "Control File Load FAIL!!"));
}

TEST(LoadControlFile, ALoadRebuildsAControlThatHeldAnotherRun) {
  Control control;
  ASSERT_EQ(Load(ControlFixture("good.tcf"), control), 0u);
  ASSERT_EQ(Load(ControlFixture("spam.ctl"), control), 0u) << control.log.text;
  EXPECT_EQ(control.characters->count, 4);
  EXPECT_EQ(control.stocks->count, 4);
  EXPECT_EQ(control.stocks->excludedCount, 1);
  EXPECT_EQ(control.settings->InformativePrior, 0);
  EXPECT_EQ(control.settings->PriorWeightsGiven, 0);
  EXPECT_TRUE(control.stocks->priorWeight.empty());
}

}  // namespace
}  // namespace mixora
