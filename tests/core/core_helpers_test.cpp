#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "core/error_flags.h"
#include "core/log_buffer.h"
#include "core/lookups.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "input/control.h"

namespace mixora {
namespace {

TEST(ErrorFlags, DescriptionJoinsLowestBitFirstAndFatalValuesStandAlone) {
  struct Case {
    ErrorFlags flags;
    const char* text;
  } cases[] = {
      {0, ""},
      {kErrCannotParseLine, "Cannot parse line"},
      {kErrStockCountMismatch | kErrCharacterCountMismatch,
       "Character count mismatch, Stock count mismatch"},
      {kErrFatal, "FATAL!!"},
      {kErrMemoryFailure, "Memory Allocation Failure.  FATAL!!"},
      {kErrTooManyAllelePositions, "More that 256 allele positions"},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeErrorFlags(c.flags), c.text) << c.flags;
}

TEST(LogBuffer, AppendsCrLfAndStopsPastTheLimit) {
  LogBuffer log;
  LogAppend(log, "a %d", 1);
  EXPECT_EQ(log.text, "a 1\r\n");
  log.text.assign(kLogAppendLimit, 'x');
  LogAppend(log, "fits");  // exactly at the limit: still appended
  EXPECT_EQ(log.text.size(), kLogAppendLimit + 6);
  LogAppend(log, "refused");
  EXPECT_EQ(log.text.size(), kLogAppendLimit + 6);
}

TEST(TextFile, AcceptsLfAndCrLfAndRefusesLongLinesAndBinary) {
  TextFile file;
  int badLine = 0;
  std::string message;
  ASSERT_EQ(SplitTextLines("a\r\nb\nc", "f.txt", file, badLine, message), TextFileStatus::kOk);
  ASSERT_EQ(file.lines.size(), 3u);
  EXPECT_EQ(file.lines[1], "b");

  std::string longLine = "ok\n" + std::string(kMaxLineLength + 1, 'x');
  EXPECT_EQ(SplitTextLines(longLine, "f.txt", file, badLine, message),
            TextFileStatus::kLineTooLong);
  EXPECT_EQ(badLine, 2);
  EXPECT_NE(message.find("f.txt, line 2"), std::string::npos);

  EXPECT_EQ(SplitTextLines(std::string("x\ny\0z", 5), "g.bin", file, badLine, message),
            TextFileStatus::kBinary);
  EXPECT_EQ(badLine, 2);
}

// What cannot be read as a file is refused at once: a folder would read as
// empty, a device or pipe without end.
TEST(TextFile, FoldersAndDevicesCannotBeOpened) {
  struct Case {
    std::string path;
    const char* why;
  } cases[] = {
      {::testing::TempDir(), ": it is a folder"},
      {"/dev/zero", ": it is not a regular file"},
      {"/nonexistent/file.tcf", ""},
  };
  for (const Case& c : cases) {
    TextFile file;
    int badLine = 0;
    std::string message;
    EXPECT_EQ(ReadTextFile(c.path, file, badLine, message), TextFileStatus::kCannotOpen) << c.path;
    EXPECT_EQ(message, "Cannot open " + c.path + c.why);
    EXPECT_TRUE(file.lines.empty());
  }
}

TEST(TextFile, FirstDataLineSkipsBlankAndCommentLines) {
  TextFile file;
  file.lines = {"", "  \t", "\\ comment", "! note", "  MIXORA  "};
  EXPECT_EQ(FirstDataLine(file), 4);
  EXPECT_EQ(TrimLine(file.lines[4]), "MIXORA");
}

TEST(Lookups, CaseInsensitiveNamesAndSlots) {
  std::vector<std::string> names;
  EXPECT_EQ(AddNameUnlessPresent(names, "Ots-101", 20), 0);
  EXPECT_EQ(AddNameUnlessPresent(names, "OTS-101", 20), 0);
  EXPECT_EQ(FindName(names, "ots-101"), 0);
  EXPECT_EQ(FindName(names, "ots-10"), -1);
  EXPECT_EQ(NameSlotSize(18), 20);
  EXPECT_EQ(NameSlotSize(19), 20);
  EXPECT_EQ(NameSlotSize(20), 24);
  EXPECT_EQ(LargestValue(std::vector<int32_t>{}), 0);
}

TEST(Paths, BareNamesComeFromTheControlFileFolder) {
  EXPECT_EQ(ResolveBesideControlFile("/data/run/x.tcf", "base.bse"), "/data/run/base.bse");
  EXPECT_EQ(ResolveBesideControlFile("/data/run/x.tcf", "sub/base.bse"), "sub/base.bse");
  EXPECT_EQ(ResolveBesideControlFile("x.tcf", "base.bse"), "base.bse");
  EXPECT_EQ(ReplaceExtension("/a.b/run.tcf", "rcf"), "/a.b/run.rcf");
  EXPECT_EQ(ReplaceExtension("/a.b/run", "rcf"), "/a.b/run.rcf");
}

TEST(RunSettingsLayout, EveryStoredOffsetIsPinned) {
  struct Field {
    std::size_t offset, expected;
    const char* name;
  } fields[] = {
      {offsetof(RunSettings, FileKinds), 0, "FileKinds"},
      {offsetof(RunSettings, PrintBaseline), 4, "PrintBaseline"},
      {offsetof(RunSettings, PrintMixture), 8, "PrintMixture"},
      {offsetof(RunSettings, DropFish), 12, "DropFish"},
      {offsetof(RunSettings, ChangeSeeds), 16, "ChangeSeeds"},
      {offsetof(RunSettings, NumberOfStocks), 20, "NumberOfStocks"},
      {offsetof(RunSettings, NumberOfChars), 24, "NumberOfChars"},
      {offsetof(RunSettings, Levels), 28, "Levels"},
      {offsetof(RunSettings, NumberOfChains), 32, "NumberOfChains"},
      {offsetof(RunSettings, NumberOfReps), 36, "NumberOfReps"},
      {offsetof(RunSettings, Seed1), 40, "Seed1"},
      {offsetof(RunSettings, Seed2), 44, "Seed2"},
      {offsetof(RunSettings, RanGen), 48, "RanGen"},
      {offsetof(RunSettings, StartStock), 52, "StartStock"},
      {offsetof(RunSettings, MaxMissingLoci), 68, "MaxMissingLoci"},
      {offsetof(RunSettings, Timer), 72, "Timer"},
      {offsetof(RunSettings, SaveEvery), 76, "SaveEvery"},
      {offsetof(RunSettings, NumberToKeep), 80, "NumberToKeep"},
      {offsetof(RunSettings, ThinIse), 84, "ThinIse"},
      {offsetof(RunSettings, ThinSta), 88, "ThinSta"},
      {offsetof(RunSettings, PriorWeightsGiven), 92, "PriorWeightsGiven"},
      {offsetof(RunSettings, InformativePrior), 96, "InformativePrior"},
      {offsetof(RunSettings, Accuracy), 104, "Accuracy"},
      {offsetof(RunSettings, Quantile), 112, "Quantile"},
      {offsetof(RunSettings, Probability), 120, "Probability"},
      {offsetof(RunSettings, Percentile), 128, "Percentile"},
      {offsetof(RunSettings, Title), 136, "Title"},
      {offsetof(RunSettings, MixtureFile), 216, "MixtureFile"},
      {offsetof(RunSettings, BaselineFile), 476, "BaselineFile"},
      {offsetof(RunSettings, OutputFolder), 736, "OutputFolder"},
      {offsetof(RunSettings, ControlFilePath), 996, "ControlFilePath"},
      {offsetof(RunSettings, Species), 1256, "Species"},
      {offsetof(RunSettings, BaseDesc), 1288, "BaseDesc"},
  };
  for (const auto& f : fields) EXPECT_EQ(f.offset, f.expected) << f.name;
  EXPECT_EQ(sizeof(RunSettings), 1376u);
}

TEST(Control, ReinitialisingReleasesEverything) {
  Control control;
  InitControl(control);
  control.mixture->fishCount = 3;
  control.mixture->genotypes.assign(18, 1);
  control.mixtureFormat = 2;
  InitControl(control);
  EXPECT_EQ(control.mixture->fishCount, 0);
  EXPECT_TRUE(control.mixture->genotypes.empty());
  EXPECT_EQ(TakesPart(kItemFirstOfSample), true);
  EXPECT_EQ(TakesPart(kItemFirstOfSample | kItemMissingLoci), false);
}

}  // namespace
}  // namespace mixora
