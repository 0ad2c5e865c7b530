#include "formats/format_writers.h"

#include <gtest/gtest.h>

#include <string>

#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::CrLf;
using tools_testing::ReadFile;
using tools_testing::ScratchFolder;

// Two stocks and two characters stored out of ID order, two mixtures of
// three fish and one rejected fish in each.
RunRecord SmallRun() {
  RunRecord run;
  RunSettings& st = run.settings;
  SetField(st.Title, "Chum 2009");
  SetField(st.BaselineFile, "/data/chum.bse");
  SetField(st.MixtureFile, "C:\\runs\\chum.mix");
  SetField(st.OutputFolder, "output");
  st.NumberOfStocks = 2;
  st.NumberOfChars = 2;
  st.Levels = 1;
  st.NumberOfReps = 5000;
  st.MaxMissingLoci = 3;
  st.Seed1 = 687688;
  st.Seed2 = 788781;
  st.PrintMixture = 1;
  run.maxAlleles = 5;
  run.charId = {2, 1};
  run.alleleCount = {5, 3};
  run.isLocus = {1, 0};
  run.charNames = {"LocB", "LocA"};
  run.stockId = {20, 10};
  run.stockNames = {"North", "South"};
  run.groupAt = {{1, 2}};
  run.groupCount = 2;
  run.groupLevel = {0, 0};
  run.groupId = {1, 2};
  run.groupNames = {"Coast", "Inland"};
  run.counts = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0,  // North: LocB, LocA
                10, 0, 0, 0, 12000, 0, 1, 0, 0, 0};  // South
  run.beta = {0.25, 0.75};
  run.mixtureTitle = "Test fishery";
  run.fishCount = 3;
  run.fishNameWidth = 6;
  run.fishNames = {"F1", "F2", "Fish03"};
  run.genotypes = {3, 3, 1, 2, 0, 4, 0, 0, 5, 1, 3, 0};
  MixtureRecord early;
  early.year = 2009;
  early.vial = "V1";
  early.desc = "  early ";
  early.date = "2009-07-01";
  early.area = "Lower";
  early.gear = "Gillnet";
  MixtureRecord late;
  late.firstIndividual = 2;
  late.number = 1;
  late.year = 2010;
  late.vial = "V2";
  late.desc = "late";
  late.date = "d2";
  late.area = "a2";
  late.gear = "g2";
  run.mixtures = {early, late};
  run.mixtureCount = 2;
  run.badCount = 2;
  run.badFlags = {0 | (0x20 << 16), 1 | (0x18 << 16)};
  run.badNames = {"Bad1", "Bad2"};
  return run;
}

TEST(FormatWriters, TalmoBaselineByStockAndCharacterId) {
  EXPECT_EQ(FormatTalmoBaseline(SmallRun()),
            CrLf({"    10     1     1    0    1    0",
                  // A count of five digits keeps a blank before it.
                  "    10     2 12010   10    0    0    0 12000",
                  "    20     1    21    6    7    8",
                  "    20     2    15    1    2    3    4    5"}));
}

TEST(FormatWriters, SpamBaselineByStockAndCharacterId) {
  EXPECT_EQ(FormatSpamBaseline(SmallRun()),
            "# 010 South\r\nLocA      0 1 0\r\nLocB      10 0 0 0 12000\r\n\r\n"
            "# 020 North\r\nLocA      6 7 8\r\nLocB      1 2 3 4 5\r\n\r\n");
  RunRecord longName = SmallRun();
  longName.charNames[0] = "Oke_long_name";
  EXPECT_NE(FormatSpamBaseline(longName).find("\r\nOke_long_name 1 2 3 4 5"), std::string::npos);
}

TEST(FormatWriters, DigitMixtureFieldsFromAllelePositions) {
  struct Case {
    int a, b;
    const char* field;
  } cases[] = {
      {3, 3, "00200"}, {0, 4, "00010"}, {0, 0, "00000"},
      {1, 3, "10100"}, {4, 0, "00010"}, {5, 1, "10001"},
  };
  for (const auto& c : cases) {
    RunRecord run = SmallRun();
    run.charId = {1};
    run.alleleCount = {5};
    run.fishCount = 1;
    run.fishNames = {"Fish 7"};
    run.genotypes = {c.a, c.b};
    EXPECT_EQ(FormatDigitMixture(run), std::string(c.field) + "      Fish 7\r\n")
        << c.a << "," << c.b;
  }
  EXPECT_EQ(FormatDigitMixture(SmallRun()),
            CrLf({"00200 110      F1", "00010 000      F2", "10001 001      Fish03"}));
}

TEST(FormatWriters, GenepopMixtureWithPopulationsAndRejectedFish) {
  EXPECT_EQ(FormatGenepopMixture(SmallRun(), true),
            CrLf({"Test fishery", "LocB", "LocA",
                  "POP 2009, V1, 2009-07-01, Lower, Gillnet, early",
                  "F1     , 0303 0102",
                  "F2     , 0004 0000",
                  "\\ Bad1   ,No alleles present in line",
                  "POP 2010, V2, d2, a2, g2, late",
                  "Fish03 , 0501 0300",
                  "\\ Bad2   ,Number of missing Loci exceeded, Allele not seen in baseline"}));
}

TEST(FormatWriters, GenepopMixtureVariants) {
  RunRecord wide = SmallRun();
  wide.alleleCount[1] = 100;  // one character past 99 types widens every position
  RunRecord bare = SmallRun();
  bare.mixtures.clear();
  bare.badFlags = {0 | (0x20 << 16)};
  bare.badNames = {"Bad1"};
  bare.mixtureTitle.clear();
  RunRecord current = SmallRun();
  current.mixtureIndex = 1;
  current.fishCount = 1;
  current.fishNames = {"Fish03"};
  current.genotypes = {5, 1, 3, 0};
  current.badFlags = {1 | (0x18 << 16)};
  current.badNames = {"Bad2"};

  std::string wideText = FormatGenepopMixture(wide, true);
  EXPECT_NE(wideText.find("F1     , 003003 001002\r\n"), std::string::npos) << wideText;
  EXPECT_EQ(FormatGenepopMixture(bare, true),
            CrLf({"geneclass file from Mixora 2.3", "LocB", "LocA", "POP", "F1     , 0303 0102",
                  "F2     , 0004 0000", "Fish03 , 0501 0300",
                  "\\ Bad1   ,No alleles present in line"}));
  // One mixture of a run: its own header and its own rejected fish.
  EXPECT_EQ(FormatGenepopMixture(current, false),
            CrLf({"Test fishery", "LocB", "LocA", "POP 2010, V2, d2, a2, g2, late",
                  "Fish03 , 0501 0300",
                  "\\ Bad2   ,Number of missing Loci exceeded, Allele not seen in baseline"}));
}

TEST(FormatWriters, SpamControlFile) {
  std::string text = FormatSpamControlFile(SmallRun());
  EXPECT_EQ(text.rfind("* Estimation : Chum 2009\r\n\r\n* options selected for optimization\r\n"
                       "  use IRLS algorithm in optimal search     :  F\r\n"
                       "  print mixture file                       :  T\r\n"
                       "  print baseline relative frequencies      :  F\r\n",
                       0),
            0u)
      << text;
  for (const char* piece : {
           "  use dunso-hiravo model                   :  F\r\n\r\n* control parameters\r\n",
           "  number of stocks in analysis       : 2\r\n",
           "  maximum # of iterations            : 5000\r\n"
           "  maximum number of missing loci     :  3\r\n",
           "  random seed (negative)             :  -687688\r\n"
           "  second random seed (positive)      :  788781\r\n\r\n",
           "* characters used\r\n  [id #]  [# types]  [kind]  [character]\r\n"
           "     2        5       locus         LocB\r\n"
           "     1        3       locus         LocA\r\n",
           "\r\n* populations used in analysis\r\n   [id #]  [population]   [lev1]\r\n"
           "    20  North                 :     1\r\n"
           "    10  South                 :     2\r\n",
           "\r\n* regions\r\n [level]  [label]  [Region]\r\n    1      1     Coast\r\n"
           "    1      2     Inland\r\n",
           "\r\n* file\r\nbaseline : chum.bse\r\nmixture  : chum.mix\r\noutput   : output\r\n"
           "\r\n* run\r\n"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text;

  RunRecord negative = SmallRun();
  negative.settings.Seed1 = -42;
  EXPECT_NE(FormatSpamControlFile(negative).find(":  -42\r\n"), std::string::npos);
}

TEST(FormatWriters, TextControlFileFromRun) {
  RunRecord run = SmallRun();
  std::string text = FormatRunTextControlFile(run);
  EXPECT_EQ(text.rfind("MIXORA\r\n\r\nTitle = Chum 2009\r\n\r\nBaselineFile = /data/chum.bse\r\n",
                       0),
            0u)
      << text;
  const std::string blocks =
      "\r\nChars =\r\n002 005 T LocB\r\n001 003 F LocA\r\n"
      "\r\nStocks =\r\n020 01  North\r\n010 02  South\r\n"
      "\r\nGroups =\r\n  1   1  Coast\r\n  1   2  Inland\r\n";
  ASSERT_GE(text.size(), blocks.size());
  EXPECT_EQ(text.substr(text.size() - blocks.size()), blocks);

  run.settings.PriorWeightsGiven = 1;
  EXPECT_NE(FormatRunTextControlFile(run).find(
                "Stocks =\r\n020 01 0.250000  North\r\n010 02 0.750000  South\r\n"),
            std::string::npos);
}

TEST(FormatWriters, WriterFillsAGivenStreamOrCreatesTheFile) {
  ScratchFolder dir;
  RunRecord run = SmallRun();
  std::FILE* stream = std::fopen((dir / "summary.txt").c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  std::fputs("head\r\n", stream);
  EXPECT_EQ(WriteSpamBaseline(run, "ignored.bse", stream), 1);
  EXPECT_EQ(std::fputs("tail\r\n", stream) >= 0, true);  // still open
  std::fclose(stream);
  EXPECT_EQ(ReadFile(dir / "summary.txt"), "head\r\n" + FormatSpamBaseline(run) + "tail\r\n");
  EXPECT_FALSE(std::filesystem::exists("ignored.bse"));

  EXPECT_EQ(WriteTalmoBaseline(run, dir / "t.bse"), 1);
  EXPECT_EQ(ReadFile(dir / "t.bse"), FormatTalmoBaseline(run));
  EXPECT_EQ(WriteDigitMixture(run, dir / "missing-folder/x.mix"), 0);
}

}  // namespace
}  // namespace mixora
