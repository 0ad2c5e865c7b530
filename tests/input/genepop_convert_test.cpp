#include "input/genepop_convert.h"

#include <gtest/gtest.h>

#include <string>

#include "input/genepop_label.h"
#include "support/tool_test_files.h"

namespace mixora {
namespace {

using tools_testing::CrLf;
using tools_testing::ReadFile;
using tools_testing::ScratchFolder;
using tools_testing::WriteFile;

const std::string kMessyBaseline =
    std::string(MIXORA_TEST_DATA_DIR) + "/genepop/chum_label_baseline.gen";
const std::string kMessyMixture =
    std::string(MIXORA_TEST_DATA_DIR) + "/genepop/chum_label_mixture.gen";

const std::string kMessySpamBaseline = CrLf({
    "#012 KeshCreek",
    "Oke3        3    3    0    0",
    "oki100      1    5",
    "Ots107      2    0    0",
    "#007 ArloSlough",
    "Oke3        0    0    2    2",
    "oki100      3    1",
    "Ots107      0    3    1",
});

TEST(GenepopOutputName, InsertsBeforeTheLastDotOfTheFileName) {
  struct Case {
    const char* input;
    const char* output;
  } cases[] = {
      {"C:\\data\\chum.gen", "C:\\data\\chum_Mixora.gen"},
      {"/data/chum.v2.txt", "/data/chum.v2_Mixora.txt"},
      {"chum", "chum_Mixora"},
      {"../runs.2009/chum", "../runs.2009/chum_Mixora"},
  };
  for (const auto& c : cases) EXPECT_EQ(GenepopOutputName(c.input), c.output) << c.input;
}

TEST(GenepopConvert, MessyRealWorldFileConvertsBaselineMixtureAndControlFile) {
  ScratchFolder dir;
  LogBuffer log;
  int status = ConvertGenepopLabel(kMessyBaseline, kMessyMixture, dir / "chum.bse",
                                   dir / "chum.gen", dir / "chum.tcf", log);
  ASSERT_EQ(status, kGenepopOk) << log.text;
  EXPECT_EQ(ReadFile(dir / "chum.bse"), kMessySpamBaseline);
  EXPECT_EQ(ReadFile(dir / "chum.gen"), CrLf({
                                            "Chum test fishery 2010",
                                            "OKE3",
                                            "OKI100",
                                            "ots107",
                                            "POP 2010, early",
                                            "Fish 1  , 001003 002001 002002",
                                            "Fish 2  , 000000 000000 001002",
                                            "POP",
                                            "Fish 3  , 004004 002001 003001",
                                        }));
  // Codes 4 and 9 of locus OKE3 are not in the baseline: logged once, both named.
  EXPECT_EQ(log.text, CrLf({
                          "Converting from GENEPOP format...",
                          "Reading Mixture file: " + kMessyMixture,
                          "Convert Info: 4 9 not found for char OKE3 for Fish 2 in POP 2010, "
                          "early (Line 7)",
                          "Mixture converted",
                      }));

  std::string control = ReadFile(dir / "chum.tcf");
  EXPECT_EQ(control.rfind("MIXORA\r\n\r\nTitle = CtcConvert\r\nBaselineFile = chum.bse\r\n"
                          "MixtureFile = chum.gen\r\nOutputFolder = output\r\n",
                          0),
            0u)
      << control;
  for (const char* line :
       {"NumberOfStocks = 2\r\n", "NumberOfChars = 3\r\n", "StartStock = 12\r\n",
        "NumberOfChains = 4\r\nChangeSeeds = T\r\n",
        "\r\nChars = \r\n001 004 T Oke3\r\n002 002 T oki100\r\n003 003 T Ots107\r\n",
        "\r\nStocks = \r\n012  1  KeshCreek\r\n007  1  ArloSlough\r\n",
        "\r\nGroups =\r\n  1   1  Dummy\r\n"})
    EXPECT_NE(control.find(line), std::string::npos) << line;
}

TEST(GenepopConvert, BaselineAloneLogsParsedAndBaselineConverted) {
  ScratchFolder dir;
  LogBuffer log;
  ASSERT_EQ(ConvertGenepopLabel(kMessyBaseline, "", dir / "b.bse", "", "", log), kGenepopOk);
  EXPECT_EQ(log.text, CrLf({"Converting from GENEPOP format...",
                            "Reading Baseline file: " + kMessyBaseline, "Parsed",
                            "Baseline converted"}));
  EXPECT_EQ(ReadFile(dir / "b.bse"), kMessySpamBaseline);
}

// A three-locus baseline with the given first line and population part.
std::string SmallBaseline(const std::string& first, const std::string& populations) {
  return first + "\r\nL1\r\nL2\r\nL3\r\n" + populations;
}

TEST(GenepopConvert, BaselineFirstLineAndIndividualLinesAreChecked) {
  struct Case {
    const char* what;
    std::string file;
    int status;
    const char* logged;  // a line the log must hold
  } cases[] = {
      {"capital LABEL", SmallBaseline("LABEL my title", "POP\r\nA 1, 0101 0202 0303\r\n"),
       kGenepopOk, "Parsed"},
      {"byte order mark", SmallBaseline("\xEF\xBB\xBFLabel x", "POP\r\nA 1, 0101 0202 0303\r\n"),
       kGenepopOk, "Parsed"},
      {"blank and comment lines first",
       "\r\n! exported 2009\r\n" + SmallBaseline("label x", "POP\r\nA 1, 0101 0202 0303\r\n"),
       kGenepopOk, "Parsed"},
      {"other first word", SmallBaseline("Title my data", "POP\r\nA 1, 0101 0202 0303\r\n"),
       kGenepopBaselineFailed, "Not a Genepop Label baseline file(No 'Label'):"},
      {"one token missing", SmallBaseline("Label", "POP\r\nA 1, 0101 0202\r\n"),
       kGenepopBaselineFailed, "Character count mismatch"},
      {"one token too many", SmallBaseline("Label", "POP\r\nA 1, 0101 0202 0303 0404\r\n"),
       kGenepopBaselineFailed, "Character count mismatch"},
      {"two tokens too many",
       SmallBaseline("Label", "POP\r\nA 1, 0101 0202 0303 0404 0505\r\n"),
       kGenepopBaselineFailed, "Cannot parse line"},
      {"letter in a code", SmallBaseline("Label", "POP\r\nA 1, 0101 02x2 0303\r\n"),
       kGenepopBaselineFailed, "Cannot parse line"},
      {"minus sign", SmallBaseline("Label", "POP\r\nA 1, 0101 -102 0303\r\n"),
       kGenepopBaselineFailed, "Cannot parse line"},
      {"first token 5 long", SmallBaseline("Label", "POP\r\nA 1, 01010 0202 0303\r\n"),
       kGenepopBaselineFailed, "Character count mismatch"},
      {"no comma", SmallBaseline("Label", "POP\r\nA 1 0101 0202 0303\r\n"),
       kGenepopBaselineFailed, "Cannot parse line"},
      {"no name", SmallBaseline("Label", "POP\r\n, 0101 0202 0303\r\n"),
       kGenepopBaselineFailed, "Cannot parse line"},
      {"no locus", "Label\r\nPOP\r\nA 1, 0101\r\n", kGenepopBaselineFailed, "No locus names in"},
      {"no individual", SmallBaseline("Label", "POP\r\n"), kGenepopBaselineFailed,
       "No individuals in"},
  };
  for (const auto& c : cases) {
    ScratchFolder dir;
    WriteFile(dir / "in.gen", c.file);
    LogBuffer log;
    EXPECT_EQ(ConvertGenepopLabel(dir / "in.gen", "", dir / "out.bse", "", "", log), c.status)
        << c.what;
    EXPECT_NE(log.text.find(c.logged), std::string::npos)
        << c.what << "\n" << log.text;
    if (c.status != kGenepopOk) {
      EXPECT_NE(log.text.find("Baseline conversion Error\r\n"), std::string::npos) << c.what;
    }
  }
}

TEST(GenepopConvert, BadLineIsReportedWithFileAndLineEvenWhenAMixtureFollows) {
  ScratchFolder dir;
  WriteFile(dir / "in.gen", SmallBaseline("Label", "POP\r\nA 1, 0101 0202 0303\r\nB 2, 0101\r\n"));
  WriteFile(dir / "mix.gen", SmallBaseline("Label", "POP\r\nM, 0101 0202 0303\r\n"));
  LogBuffer log;
  EXPECT_EQ(ConvertGenepopLabel(dir / "in.gen", dir / "mix.gen", dir / "b.bse", dir / "m.gen", "",
                                log),
            kGenepopBaselineFailed);
  EXPECT_NE(log.text.find("Fatal Error in Line 7 of " + (dir / "in.gen") +
                          ": 1 genotypes for 3 loci\r\nB 2, 0101\r\n"),
            std::string::npos)
      << log.text;
  EXPECT_FALSE(std::filesystem::exists(dir / "m.gen"));
}

TEST(GenepopConvert, EachTokenIsReadByItsOwnWidth) {
  ScratchFolder dir;
  // 6-digit first token, 4-digit later tokens: 0102 is alleles 1 and 2.
  WriteFile(dir / "in.gen", SmallBaseline("Label", "POP 3\r\nA, 001002 0102 0000\r\n"));
  LogBuffer log;
  ASSERT_EQ(ConvertGenepopLabel(dir / "in.gen", "", dir / "b.bse", "", "", log), kGenepopOk);
  EXPECT_EQ(ReadFile(dir / "b.bse"),
            CrLf({"#003 A", "L1      1    1", "L2      1    1", "L3  "}));
}

TEST(GenepopConvert, StockNumbersComeFromPopLinesOnlyWhenEachGivesADistinctOne) {
  struct Case {
    const char* pops[2];
    const char* headers[2];
  } cases[] = {
      {{"POP 12", "Pop 4"}, {"#012 A", "#004 B"}},
      {{"POP", "POP"}, {"#001 A", "#002 B"}},
      {{"POP 5 north", "POP river"}, {"#001 A", "#002 B"}},
      {{"POP 5", "POP 5"}, {"#001 A", "#002 B"}},
      // Numbers no control file line can carry: negative, beyond 32 bits.
      {{"POP -5", "POP 3"}, {"#001 A", "#002 B"}},
      {{"POP 99999999999", "POP 4"}, {"#001 A", "#002 B"}},
  };
  for (const auto& c : cases) {
    ScratchFolder dir;
    WriteFile(dir / "in.gen",
              SmallBaseline("Label", std::string(c.pops[0]) + "\r\nA x, 0101 0101 0101\r\n" +
                                         c.pops[1] + "\r\nB y, 0101 0101 0101\r\n"));
    LogBuffer log;
    ASSERT_EQ(ConvertGenepopLabel(dir / "in.gen", "", dir / "b.bse", "", "", log), kGenepopOk);
    std::string baseline = ReadFile(dir / "b.bse");
    for (const char* header : c.headers)
      EXPECT_NE(baseline.find(std::string(header) + "\r\n"), std::string::npos)
          << c.pops[0] << " / " << c.pops[1] << "\n" << baseline;
  }
}

TEST(GenepopConvert, PopulationWithoutIndividualsIsLeftOutOfBaselineAndStockCount) {
  ScratchFolder dir;
  WriteFile(dir / "in.gen", SmallBaseline("Label", "POP 1\r\nPOP 2\r\nPoplar_01, 0101 0202 0303\r\n"
                                                   "POP 3\r\nKesh 9, 0101 0202 0303\r\n"));
  WriteFile(dir / "mix.gen", SmallBaseline("Label", "POP\r\nM, 0101 0202 0303\r\n"));
  LogBuffer log;
  ASSERT_EQ(ConvertGenepopLabel(dir / "in.gen", dir / "mix.gen", dir / "b.bse", dir / "m.gen",
                                dir / "c.tcf", log),
            kGenepopOk)
      << log.text;
  std::string baseline = ReadFile(dir / "b.bse");
  EXPECT_EQ(baseline.find("#001"), std::string::npos);
  // "Poplar_01" is an individual, not a population line.
  EXPECT_EQ(baseline.rfind("#002 Poplar_01\r\n", 0), 0u) << baseline;
  EXPECT_NE(baseline.find("#003 Kesh\r\n"), std::string::npos);
  std::string control = ReadFile(dir / "c.tcf");
  EXPECT_NE(control.find("NumberOfStocks = 2\r\n"), std::string::npos);
  EXPECT_NE(control.find("StartStock = 2\r\n"), std::string::npos);
  EXPECT_NE(control.find("Stocks = \r\n! 001  1  (no individuals)\r\n002  1  Poplar_01\r\n"
                         "003  1  Kesh\r\n"),
            std::string::npos)
      << control;
  // Converting both logs neither "Parsed" nor "Baseline converted".
  EXPECT_EQ(log.text.find("Parsed"), std::string::npos);
  EXPECT_EQ(log.text.find("Baseline converted"), std::string::npos);
}

// A run needs two stocks: a baseline with fish in only one population (here
// the other is empty) gives no control file, and nothing else either.
TEST(GenepopConvert, FewerThanTwoStocksWithFishConvertNothing) {
  ScratchFolder dir;
  WriteFile(dir / "in.gen", SmallBaseline("Label", "POP 1\r\nPOP 2\r\nA, 0101 0202 0303\r\n"));
  WriteFile(dir / "mix.gen", SmallBaseline("Label", "POP\r\nM, 0101 0202 0303\r\n"));
  LogBuffer log;
  EXPECT_EQ(ConvertGenepopLabel(dir / "in.gen", dir / "mix.gen", dir / "b.bse", dir / "m.gen",
                                dir / "c.tcf", log),
            kGenepopBaselineFailed);
  EXPECT_NE(log.text.find("in.gen holds 1 population with fish; a run needs at least 2"),
            std::string::npos)
      << log.text;
  for (const char* output : {"b.bse", "m.gen", "c.tcf"})
    EXPECT_FALSE(std::filesystem::exists(dir / output)) << output;
}

TEST(GenepopConvert, MixtureProblemsAreReported) {
  struct Case {
    const char* what;
    std::string mixture;
    int status;
    const char* logged;
  } cases[] = {
      {"not a label file", "Genepop data\r\nL1\r\nPOP\r\n", kGenepopMixtureFailed,
       "Not a Genepop Label Mixturee file(No 'Label'):"},
      {"short line", SmallBaseline("Label", "POP\r\nM, 0101 0202\r\n"), kGenepopMixtureFailed,
       "Character count mismatch"},
      // The control file lists the baseline's loci, so the run would refuse it.
      {"locus not in baseline", "Label\r\nL1\r\nL9\r\nL3\r\nPOP\r\nM, 0101 0202 0303\r\n",
       kGenepopMixtureFailed,
       "mix.gen is not in the baseline; baseline and mixture must name their loci alike"},
      // Cut before its first fish: writing it would give a mixture with no fish.
      {"no POP line", "Label\r\nL1, L2, L3\r\n", kGenepopMixtureFailed, "No individuals in"},
      {"only empty samples", SmallBaseline("Label", "POP\r\n! none\r\nPOP\r\n"),
       kGenepopMixtureFailed, "No individuals in"},
  };
  for (const auto& c : cases) {
    ScratchFolder dir;
    WriteFile(dir / "in.gen", SmallBaseline("Label", "POP\r\nA, 0101 0202 0303\r\n"));
    WriteFile(dir / "mix.gen", c.mixture);
    LogBuffer log;
    EXPECT_EQ(ConvertGenepopLabel(dir / "in.gen", dir / "mix.gen", dir / "b.bse", dir / "m.gen",
                                  "", log),
              c.status)
        << c.what;
    EXPECT_NE(log.text.find(c.logged), std::string::npos) << c.what << "\n" << log.text;
    // The baseline is written before the mixture is looked at, and stays.
    EXPECT_TRUE(std::filesystem::exists(dir / "b.bse")) << c.what;
  }
}

TEST(GenepopConvert, MixtureLociAreMatchedByNameInAnyOrderAndCase) {
  ScratchFolder dir;
  // Baseline lists: L1 {1, 7}, L2 {2, 5}, L3 {3}.
  WriteFile(dir / "in.gen", SmallBaseline("Label", "POP\r\nA, 0107 0205 0303\r\n"));
  WriteFile(dir / "mix.gen", "Label\r\nl3\r\nL1\r\nl2\r\nPOP\r\nM, 0303 0701 0500\r\n");
  LogBuffer log;
  ASSERT_EQ(ConvertGenepopLabel(dir / "in.gen", dir / "mix.gen", dir / "b.bse", dir / "m.gen", "",
                                log),
            kGenepopOk)
      << log.text;
  EXPECT_EQ(ReadFile(dir / "m.gen"),
            CrLf({"Converted from Genepop Label format", "l3", "L1", "l2", "POP",
                  "M   , 001001 002001 002000"}));
}

TEST(GenepopConvert, AnOutputNamingAnInputIsRefusedAndTheInputKept) {
  ScratchFolder dir;
  std::string original = SmallBaseline("Label", "POP\r\nA, 0101 0202 0303\r\n");
  WriteFile(dir / "in.gen", original);
  WriteFile(dir / "mix.gen", original);
  LogBuffer log;
  EXPECT_EQ(ConvertGenepopLabel(dir / "in.gen", "", dir / "in.gen", "", "", log),
            kGenepopBaselineFailed);
  EXPECT_EQ(ConvertGenepopLabel(dir / "in.gen", dir / "mix.gen", dir / "b.bse",
                                dir / "./mix.gen", "", log),
            kGenepopMixtureFailed);
  EXPECT_EQ(ReadFile(dir / "in.gen"), original);
  EXPECT_EQ(ReadFile(dir / "mix.gen"), original);
}

TEST(GenepopConvert, TitleWithoutLettersIsPrefixedSoTheMixtureKeepsItsFormat) {
  ScratchFolder dir;
  WriteFile(dir / "in.gen", SmallBaseline("Label", "POP\r\nA, 0101 0202 0303\r\n"));
  WriteFile(dir / "mix.gen", SmallBaseline("Label 2010", "POP\r\nM, 0101 0202 0303\r\n"));
  LogBuffer log;
  ASSERT_EQ(ConvertGenepopLabel(dir / "in.gen", dir / "mix.gen", dir / "b.bse", dir / "m.gen", "",
                                log),
            kGenepopOk);
  EXPECT_EQ(ReadFile(dir / "m.gen").rfind("Converted from Genepop Label format 2010\r\nL1\r\n", 0),
            0u);
}

TEST(GenepopLabel, PopLineIsToldFromAnIndividualNamedPop) {
  struct Case {
    const char* line;
    bool pop;
  } cases[] = {
      {"POP", true},       {"pop 12", true},         {"Pop, early run", true},
      {"POPULATION 2", true}, {"Poplar_01, 0101", false}, {"Pop-3 x, 0101", false},
      {"Fish, 0101", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsGenepopPopLine(c.line), c.pop) << c.line;
}

}  // namespace
}  // namespace mixora
