#include "input/load_data.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data_test_support.h"
#include "input/data_checks.h"
#include "input/load_control.h"

namespace mixora {
namespace {

using testing::Contains;
using testing::DataFixture;
using testing::DataScratch;

using Words = std::vector<int32_t>;

void LoadControl(Control& control, const std::string& path) {
  control.controlKind = kControlMixora;
  ASSERT_EQ(LoadControlFile(path, control), 0u) << control.log.text;
}

TEST(LoadBaseline, BrokenBaselineFailsNamingItsLine) {
  Control control;
  LoadControl(control, DataFixture("broken/bad_baseline.tcf"));
  EXPECT_EQ(control.baselineFormat, kBaselineTalmo);
  control.log.text.clear();
  EXPECT_EQ(LoadBaseline(control), kErrTooManyAllelePositions);
  std::string path = GetField(control.settings->BaselineFile);
  EXPECT_EQ(control.log.text, "Reading Baseline file: " + path + "\r\n" + path +
                                  ", line 4: 257 counts on one line; at most 256 allele positions are held\r\n"
                                  "More that 256 allele positions\r\n"
                                  "\r\nBaseline Load FAIL!!\r\n");
  EXPECT_EQ(control.baseline->stockCount, 0);
}

TEST(LoadMixture, BrokenMixtureFailsNamingItsLine) {
  Control control;
  LoadControl(control, DataFixture("broken/bad_mixture.tcf"));
  ASSERT_EQ(LoadBaseline(control), 0u) << control.log.text;
  ASSERT_EQ(CheckBaseline(control), 0u) << control.log.text;
  control.log.text.clear();
  // The pairing with the characters runs whatever the read gave, and finds
  // no columns.
  EXPECT_EQ(LoadMixture(control), kErrSumOfAllelesOver2 | kErrNumberOfCharsNotEqual);
  EXPECT_TRUE(Contains(control.log.text,
                       "Fatal Error in Line 3:\r\n011100 020000 00110000  F-101\r\nSum of Alleles > 2\r\n"))
      << control.log.text;
  EXPECT_TRUE(Contains(control.log.text, "\r\nMixture Load FAIL!!\r\n"));
  EXPECT_EQ(control.mixture->fishCount, 0);
}

TEST(LoadData, WholeWorkflowLoadsChecksAndSummarises) {
  DataScratch scratch;
  std::ifstream in(DataFixture("broken/bad_mixture.tcf"));
  std::string tcf(std::istreambuf_iterator<char>(in), {});
  tcf.replace(tcf.find("bad_mixture.mix"), 15, "fish.mix");
  scratch.Write("run.tcf", tcf);
  scratch.Copy("broken/bad_mixture.bse", "bad_mixture.bse");
  scratch.Copy("mixture/spam.mix", "fish.mix");

  Control control;
  LoadControl(control, scratch.Path("run.tcf"));
  ASSERT_EQ(control.mixtureFormat, kMixtureSpam);
  EXPECT_EQ(LoadBaseline(control), 0u);
  EXPECT_TRUE(Contains(control.log.text, "File parsed successfully\r\n\r\nBaseline Load SUCCESS!!\r\n"));
  EXPECT_EQ(control.baseline->totals[0], 20);  // totals are summed by the load
  EXPECT_EQ(CheckBaseline(control), 0u);
  EXPECT_EQ(FormatBaselineSummary(control),
            "Baseline stocks:        3\n"
            "Baseline characters:    3\n"
            "Max alleles:            5\n"
            "Highest allele counted: 5\n");

  EXPECT_EQ(LoadMixture(control), 0u) << control.log.text;
  EXPECT_TRUE(Contains(control.log.text, "File parsed successfully\r\nMixture Characters resolved successfully\r\n"
                                         "\r\nMixture Load SUCCESS!!\r\n"));
  EXPECT_EQ(CheckMixture(control), 0u);
  // The one unseen allele (LocA 5 of the third fish) has been erased.
  EXPECT_EQ(FormatMixtureSummary(control),
            "Mixture fish:           4\n"
            "Bad fish:               0\n"
            "Mixture characters:     3\n"
            "Largest position:       8\n"
            "Highest allele stored:  5\n");
}

TEST(FormatMixtureSummary, CountsFishLeftOutByTheLowHalfOfTheirFlags) {
  Control control;
  testing::MakeFixtureControl(control);
  MixtureData& mix = *control.mixture;
  mix.fishCount = 5;
  mix.fishFlags = {kItemFirstOfSample, kItemFirstOfSample | kItemMissingLoci, kItemNoAlleles, 0,
                   kItemNotInBaseline};
  mix.badCount = 99;
  std::string summary = FormatMixtureSummary(control);
  EXPECT_EQ(mix.badCount, 3);
  EXPECT_TRUE(Contains(summary, "Bad fish:               3\n")) << summary;
}

TEST(LoadData, GenepopLabelFilesAreConvertedBesideThemAndRead) {
  DataScratch scratch;
  scratch.Write("base.gen", "Label test baseline\nLocA\nLocB\nPOP 10\nN1, 0101 0202\nN2, 0103 0202\nPOP 20\nM1, 0303 0102\n");
  scratch.Write("mix.gen", "Label test mixture\nLocA\nLocB\nPOP\nx1, 0103 0202\nx2, 0303 0101\n");
  scratch.Write("run.tcf",
                "MIXORA\nTitle = Label run\nBaselineFile = base.gen\nMixtureFile = mix.gen\nSpecies = Testfish\n"
                "NumberOfStocks = 2\nNumberOfChars = 2\nLevels = 1\nNumberOfChains = 2\nNumberOfReps = 100\n"
                "Seed1 = 1\nSeed2 = 2\nStartStock = 10\n\nChars =\n001 02 T LocA\n002 02 T LocB\n\n"
                "Stocks =\n010 01  N2\n020 01  M1\n\nGroups =\n  1   1  All\n");
  Control control;
  LoadControl(control, scratch.Path("run.tcf"));
  ASSERT_EQ(control.baselineFormat, kBaselineGenepopLabel);
  ASSERT_EQ(control.mixtureFormat, kMixtureGenepopLabel);

  ASSERT_EQ(LoadBaseline(control), 0u) << control.log.text;
  EXPECT_TRUE(testing::Contains(control.log.text, "Reading Baseline file: " + scratch.Path("base_Mixora.gen")));
  EXPECT_EQ(control.baseline->stockId, (Words{10, 20}));
  EXPECT_EQ(control.baseline->charNames, (std::vector<std::string>{"LocA", "LocB"}));
  ASSERT_EQ(CheckBaseline(control), 0u) << control.log.text;

  ASSERT_EQ(LoadMixture(control), 0u) << control.log.text;
  EXPECT_TRUE(testing::Contains(control.log.text, "Reading Mixture file: " + scratch.Path("mix_Mixora.gen")));
  EXPECT_EQ(control.mixture->fishNames, (std::vector<std::string>{"x1", "x2"}));
  EXPECT_EQ(control.mixture->charId, (Words{1, 2}));
  // Codes become positions in the baseline's list of each locus.
  EXPECT_EQ(control.mixture->genotypes, (Words{1, 2, 2, 2, 2, 2, 1, 1}));
}

// A fish with nothing scored is named by its line in the label file the user
// wrote (comments and blank lines included), not in the converted copy.
TEST(LoadData, BlankLabelMixtureFishIsNamedByItsLineInTheFileWritten) {
  DataScratch scratch;
  scratch.Write("base.gen", "Label test baseline\nLocA\nLocB\nPOP 10\nN1, 0101 0202\nN2, 0103 0202\nPOP 20\nM1, 0303 0102\n");
  scratch.Write("mix.gen", "Label test mixture\nLocA\nLocB\n\nPOP\nx1, 0103 0202\n\\ scored later\n\nblank , 0000 0000\n"
                           "x2, 0303 0101\n");
  scratch.Write("run.tcf",
                "MIXORA\nTitle = Label run\nBaselineFile = base.gen\nMixtureFile = mix.gen\nSpecies = Testfish\n"
                "NumberOfStocks = 2\nNumberOfChars = 2\nLevels = 1\nNumberOfChains = 2\nNumberOfReps = 100\n"
                "Seed1 = 1\nSeed2 = 2\nStartStock = 10\n\nChars =\n001 02 T LocA\n002 02 T LocB\n\n"
                "Stocks =\n010 01  N2\n020 01  M1\n\nGroups =\n  1   1  All\n");
  Control control;
  LoadControl(control, scratch.Path("run.tcf"));
  ASSERT_EQ(LoadBaseline(control), 0u) << control.log.text;
  ASSERT_EQ(CheckBaseline(control), 0u) << control.log.text;
  ASSERT_EQ(LoadMixture(control), 0u) << control.log.text;
  EXPECT_EQ(CheckMixture(control), 0u) << control.log.text;
  EXPECT_TRUE(Contains(control.log.text, "Info: Fish blank (" + scratch.Path("mix.gen") +
                                             ", line 9): no alleles present; left out of the run\r\n"))
      << control.log.text;
  EXPECT_EQ(control.mixture->fishFlags[1], kItemNoAlleles);
}

// The converted baseline is written beside its input under the "_Mixora"
// name; a control file that bears that very name must not be written over.
TEST(LoadData, GenepopConversionNeverReplacesTheControlFile) {
  DataScratch scratch;
  scratch.Write("base.gen", "Label test baseline\nLocA\nLocB\nPOP 10\nN1, 0101 0202\nPOP 20\nM1, 0303 0102\n");
  scratch.Write("mix.gen", "Label test mixture\nLocA\nLocB\nPOP\nx1, 0101 0202\n");
  const std::string control =
      "MIXORA\nTitle = Label run\nBaselineFile = base.gen\nMixtureFile = mix.gen\nSpecies = Testfish\n"
      "NumberOfStocks = 2\nNumberOfChars = 2\nLevels = 1\nNumberOfChains = 2\nNumberOfReps = 100\n"
      "Seed1 = 1\nSeed2 = 2\nStartStock = 10\n\nChars =\n001 02 T LocA\n002 02 T LocB\n\n"
      "Stocks =\n010 01  N1\n020 01  M1\n\nGroups =\n  1   1  All\n";
  std::string path = scratch.Write("base_Mixora.gen", control);
  Control run;
  run.controlKind = kControlMixora;
  ASSERT_EQ(LoadControlFile(path, run), 0u) << run.log.text;
  EXPECT_EQ(LoadBaseline(run), kErrFatal);
  EXPECT_TRUE(Contains(run.log.text, "Cannot write to " + path + ": it is the control file\r\n"))
      << run.log.text;
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), control);
}

TEST(LoadData, FilesThatCannotBeReadFailTheirStepSayingWhy) {
  DataScratch scratch;
  struct Case {
    std::string path;
    int32_t format;
    std::string message;
  } cases[] = {
      {scratch.Path("gone.dat"), kFormatNotFound, "Cannot open " + scratch.Path("gone.dat") + "\r\n"},
      {scratch.Write("junk.dat", std::string("10 1 1 1\n10\0 2\n", 15)), kBaselineUnknown,
       scratch.Path("junk.dat") + ", line 2: binary data"},
      {scratch.Write("blank.dat", "\n\n"), kBaselineUnknown, scratch.Path("blank.dat") + ": no data lines\r\n"},
      {scratch.Write("oncor.dat", "anything\n"), kBaselineOncor, ": Baseline file format ONCOR is not read\r\n"},
  };
  for (const auto& c : cases) {
    Control control;
    testing::MakeFixtureControl(control);
    SetField(control.settings->BaselineFile, c.path);
    SetField(control.settings->MixtureFile, c.path);
    control.baselineFormat = c.format;
    control.mixtureFormat = c.format == kBaselineOncor ? kMixtureOncor : c.format;
    EXPECT_NE(LoadBaseline(control), 0u);
    EXPECT_TRUE(Contains(control.log.text, c.message)) << control.log.text;
    EXPECT_TRUE(Contains(control.log.text, "\r\nBaseline Load FAIL!!\r\n"));
    control.log.text.clear();
    EXPECT_NE(LoadMixture(control), 0u);
    std::string mixtureMessage = c.message;
    if (c.format == kBaselineOncor) mixtureMessage = ": Mixture file format ONCOR is not read\r\n";
    EXPECT_TRUE(Contains(control.log.text, mixtureMessage)) << control.log.text;
    EXPECT_TRUE(Contains(control.log.text, "\r\nMixture Load FAIL!!\r\n"));
  }
}

}  // namespace
}  // namespace mixora
