#include "runfiles/run_fingerprint.h"

#include <gtest/gtest.h>

#include <functional>

namespace mixora {
namespace {

// Two stocks, one character of two alleles, two fish.
RunRecord SmallRecord() {
  RunRecord run;
  RunSettings& s = run.settings;
  s.NumberOfStocks = 2;
  s.NumberOfChars = 1;
  s.NumberOfChains = 2;
  s.NumberOfReps = 1000;
  s.Seed1 = 5;
  s.Seed2 = 7;
  s.ThinIse = 1;
  s.ThinSta = 1;
  s.MaxMissingLoci = 3;
  SetField(s.Title, "Coho");
  SetField(s.MixtureFile, "coho.gen");
  run.maxAlleles = 2;
  run.alleleCount = {2};
  run.charNames = {"LocA"};
  run.stockId = {11, 12};
  run.stockNames = {"Upper", "Lower"};
  run.counts = {8, 2, 3, 7};
  run.allelePrior = {0.5, 0.5};
  run.lambda = {1.0};
  run.beta = {0.5, 0.5};
  run.fishCount = 2;
  run.genotypes = {1, 1, 1, 2};
  run.fishNames = {"f1", "f2"};
  run.mixtureTitle = "Coho mixtures";
  run.runTitle = "Coho mix_POP_01";
  run.controlPath = "/runs/coho.rcf";
  return run;
}

// The fingerprint changes with everything a draw depends on, and with
// nothing else: a run moved, retitled or given more reps keeps its chains.
TEST(RunFingerprint, ChangesWithTheDrawsInputsOnly) {
  struct Case {
    const char* what;
    std::function<void(RunRecord&)> change;
    bool changes;
  } cases[] = {
      {"one fish's genotype", [](RunRecord& r) { r.genotypes[3] = 1; }, true},
      {"a baseline count", [](RunRecord& r) { r.counts[0] = 9; }, true},
      {"an allele prior", [](RunRecord& r) { r.allelePrior[0] = 0.25; }, true},
      {"a stock prior", [](RunRecord& r) { r.beta[1] = 0.75; }, true},
      {"a seed", [](RunRecord& r) { r.settings.Seed2 = 8; }, true},
      {"the generator", [](RunRecord& r) { r.settings.RanGen = 1; }, true},
      {"the thinning", [](RunRecord& r) { r.settings.ThinIse = 2; }, true},
      {"a stock identifier", [](RunRecord& r) { r.stockId[0] = 13; }, true},
      {"the number of reps", [](RunRecord& r) { r.settings.NumberOfReps = 4000; }, false},
      {"the number of chains", [](RunRecord& r) { r.settings.NumberOfChains = 4; }, false},
      {"the folder of the run", [](RunRecord& r) { r.controlPath = "/moved/coho.rcf"; }, false},
      {"the titles", [](RunRecord& r) {
         SetField(r.settings.Title, "Other");
         r.mixtureTitle = "Other";
         r.runTitle = "Other_POP_01";
       }, false},
      {"a file path", [](RunRecord& r) { SetField(r.settings.MixtureFile, "x.gen"); }, false},
      {"a stock name", [](RunRecord& r) { r.stockNames[0] = "Renamed"; }, false},
      {"a report setting", [](RunRecord& r) { r.settings.Percentile = 0.9; }, false},
  };
  const uint64_t original = RunInputsFingerprint(SmallRecord());
  EXPECT_NE(original, 0u);
  for (const Case& c : cases) {
    RunRecord changed = SmallRecord();
    c.change(changed);
    EXPECT_EQ(RunInputsFingerprint(changed) != original, c.changes) << c.what;
  }
}

TEST(RunFingerprint, OwnerIsTheRunControlFileNameWhereverItLies) {
  EXPECT_EQ(RunOwnerTag("/runs/tavrin.rcf"), RunOwnerTag("/copy/of/runs/tavrin.rcf"));
  EXPECT_NE(RunOwnerTag("/runs/tavrin.rcf"), RunOwnerTag("/runs/late.rcf"));
  EXPECT_NE(SampleInputsTag(RunInputsFingerprint(SmallRecord())), 0u);
}

}  // namespace
}  // namespace mixora
