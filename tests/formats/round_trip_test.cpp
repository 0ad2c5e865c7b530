// A run written back out as files and loaded again gives the same run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "input/control.h"
#include "runfiles/run_control_reader.h"
#include "formats/run_file_export.h"
#include "support/tool_run_loading.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::LoadAndPack;
using tools_testing::ScratchFolder;

const std::string kTavrin = std::string(MIXORA_EXAMPLES_DIR) + "/tavrin/tavrin.tcf";

void ExpectSameBlocks(const RunRecord& a, const RunRecord& b) {
  EXPECT_EQ(b.maxAlleles, a.maxAlleles);
  EXPECT_EQ(b.charId, a.charId);
  EXPECT_EQ(b.alleleCount, a.alleleCount);
  EXPECT_EQ(b.isLocus, a.isLocus);
  EXPECT_EQ(b.charNames, a.charNames);
  EXPECT_EQ(b.stockId, a.stockId);
  EXPECT_EQ(b.stockNames, a.stockNames);
  EXPECT_EQ(b.groupAt, a.groupAt);
  EXPECT_EQ(b.groupLevel, a.groupLevel);
  EXPECT_EQ(b.groupId, a.groupId);
  EXPECT_EQ(b.groupNames, a.groupNames);
  EXPECT_EQ(b.counts, a.counts);
  EXPECT_EQ(b.allelePrior, a.allelePrior);
  EXPECT_EQ(b.lambda, a.lambda);
  EXPECT_EQ(b.beta, a.beta);
  EXPECT_EQ(b.fishCount, a.fishCount);
}

TEST(RunFileRoundTrip, TextControlSpamBaselineAndGenepopMixture) {
  ScratchFolder dir;
  std::unique_ptr<RunRecord> original = LoadAndPack(kTavrin, dir / "original.rcf");
  ASSERT_TRUE(original);
  ASSERT_GT(original->badCount, 0);  // the example has a fish left out

  Interaction ui;
  bool overwriteAll = false;
  ASSERT_EQ(ConvertRunFiles(ui, RunFileChoices{}, *original, dir / "copy.rcf", overwriteAll), 1);
  std::unique_ptr<RunRecord> copy = LoadAndPack(dir / "copy.tcf", dir / "copy.rcf");
  ASSERT_TRUE(copy);

  RunSettings expected = original->settings;
  std::memcpy(expected.BaselineFile, copy->settings.BaselineFile, sizeof expected.BaselineFile);
  std::memcpy(expected.MixtureFile, copy->settings.MixtureFile, sizeof expected.MixtureFile);
  std::memcpy(expected.ControlFilePath, copy->settings.ControlFilePath,
              sizeof expected.ControlFilePath);
  EXPECT_EQ(std::memcmp(&expected, &copy->settings, sizeof expected), 0);
  EXPECT_EQ(GetField(copy->settings.BaselineFile), dir / "copy.bse");

  ExpectSameBlocks(*original, *copy);
  EXPECT_EQ(copy->mixtureTitle, original->mixtureTitle);
  EXPECT_EQ(copy->fishNames, original->fishNames);
  EXPECT_EQ(copy->genotypes, original->genotypes);
  ASSERT_EQ(copy->mixtures.size(), original->mixtures.size());
  for (std::size_t p = 0; p < copy->mixtures.size(); ++p) {
    const MixtureRecord& a = original->mixtures[p];
    const MixtureRecord& b = copy->mixtures[p];
    EXPECT_EQ(b.firstIndividual, a.firstIndividual) << p;
    EXPECT_EQ(b.year, a.year) << p;
    EXPECT_EQ(b.vial, a.vial) << p;
    EXPECT_EQ(b.date, a.date) << p;
    EXPECT_EQ(b.area, a.area) << p;
    EXPECT_EQ(b.gear, a.gear) << p;
    EXPECT_EQ(b.desc, a.desc) << p;
  }
  // Fish left out travel as comment lines, which a reader skips.
  EXPECT_EQ(copy->badCount, 0);
}

// Each genotype as an ordered pair: the digit layout keeps which alleles a
// fish carries, not the order they were scored in.
std::vector<std::pair<int32_t, int32_t>> SortedPairs(const RunRecord& run) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (std::size_t i = 0; i + 1 < run.genotypes.size(); i += 2) {
    int32_t a = run.genotypes[i], b = run.genotypes[i + 1];
    if (a == 0 || (b != 0 && b < a)) std::swap(a, b);
    pairs.emplace_back(a, b);
  }
  return pairs;
}

TEST(RunFileRoundTrip, SpamControlTalmoBaselineAndDigitMixture) {
  ScratchFolder dir;
  std::unique_ptr<RunRecord> original = LoadAndPack(kTavrin, dir / "original.rcf");
  ASSERT_TRUE(original);

  Interaction ui;
  bool overwriteAll = false;
  RunFileChoices choices{true, ControlChoice::kSpam, true, BaselineChoice::kTalmo, true,
                         MixtureChoice::kTalmo};
  ASSERT_EQ(ConvertRunFiles(ui, choices, *original, dir / "copy.rcf", overwriteAll), 1);
  // Fish names hold letters, so the first line of a digit mixture reads as a
  // Genepop title to the layout detection; the SPAM control file implies the
  // digit layout, which is imposed here.
  std::unique_ptr<RunRecord> copy =
      LoadAndPack(dir / "copy.ctl", dir / "copy.rcf", kMixtureSpam);
  ASSERT_TRUE(copy);

  ExpectSameBlocks(*original, *copy);
  EXPECT_EQ(copy->settings.NumberOfStocks, original->settings.NumberOfStocks);
  EXPECT_EQ(copy->settings.NumberOfChars, original->settings.NumberOfChars);
  EXPECT_EQ(copy->settings.NumberOfReps, original->settings.NumberOfReps);
  EXPECT_EQ(copy->settings.MaxMissingLoci, original->settings.MaxMissingLoci);
  EXPECT_EQ(copy->settings.Seed1, -original->settings.Seed1);
  EXPECT_EQ(copy->settings.Seed2, original->settings.Seed2);
  EXPECT_EQ(copy->settings.Levels, original->settings.Levels);
  EXPECT_EQ(SortedPairs(*copy), SortedPairs(*original));
  ASSERT_EQ(copy->fishNames.size(), original->fishNames.size());
  for (std::size_t f = 0; f < copy->fishNames.size(); ++f)
    EXPECT_EQ(copy->fishNames[f], "Fish ID " + original->fishNames[f]);
}

}  // namespace
}  // namespace mixora
