#include "input/mixture_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data_test_support.h"

namespace mixora {
namespace {

using testing::Contains;
using testing::DataFixture;
using testing::DataScratch;

using Pairs = std::vector<int32_t>;

TEST(ClassifyMixtureFile, TellsLayoutFromTheFile) {
  DataScratch scratch;
  struct Case {
    std::string path;
    int32_t format;
  } cases[] = {
      {DataFixture("mixture/spam.mix"), kMixtureSpam},
      {DataFixture("mixture/genepop.mix"), kMixtureGenepop},
      {DataFixture("mixture/genepop_loci_per_line.mix"), kMixtureGenepop},
      {scratch.Write("label.mix", "label mixture\nLoc1\nPOP\n"), kMixtureGenepopLabel},
      {scratch.Write("digits.mix", "\\ comment with letters\n2000 0110\n"), kMixtureSpam},
      // A Genepop title of digits alone is told by the file's POP lines.
      {scratch.Write("year.mix", "2025\nLoc1\nPop\nF1, 0102\n"), kMixtureGenepop},
      {scratch.Write("year_pop_first.mix", "2025\nLoc1, Loc2\nPOP 2025, Vial\nF1, 0102 0101\n"),
       kMixtureGenepop},
      {scratch.Path("missing.mix"), kFormatNotFound},
      {scratch.Write("empty.mix", "\n\n"), kMixtureUnknown},
      {scratch.Write("junk.mix", std::string("0100 0010\x01\n", 11)), kMixtureUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyMixtureFile(c.path), c.format) << c.path;
}

TEST(ParseSpamGenotypeLine, DecodesDigitStringsIntoAllelePositions) {
  struct Case {
    std::string field;
    ErrorFlags flags;
    Pairs pair;
  } cases[] = {
      {"000100", 0, {4, 0}},  // one allele scored
      {"001001", 0, {3, 6}},
      {"000200", 0, {4, 4}},  // a homozygote
      {"0110", 0, {2, 3}},    // short, but begins with 0: a genotype
      {"0000000", 0, {0, 0}},
      {"011100", kErrSumOfAllelesOver2, {}},
      {"000300", kErrNumberNot012, {}},
      {"00a000", kErrNumberNot012, {}},
      {std::string(256, '0'), 0, {0, 0}},
      {std::string(255, '0') + "1", 0, {256, 0}},
      {std::string(257, '0'), kErrTooManyAllelePositions, {}},
  };
  for (const auto& c : cases) {
    int32_t fieldCount = 0;
    std::vector<int32_t> positions;
    Pairs pairs(2, -7);
    std::string name = "Fish 1";
    ErrorFlags flags = ParseSpamGenotypeLine(c.field, fieldCount, positions, pairs, name, true);
    EXPECT_EQ(flags, c.flags) << c.field;
    if (c.flags == 0) {
      EXPECT_EQ(pairs, c.pair) << c.field;
      EXPECT_EQ(positions, Pairs{static_cast<int32_t>(c.field.size())}) << c.field;
    }
    EXPECT_EQ(fieldCount, 1);
    EXPECT_EQ(name, "Fish 1");
  }
}

TEST(ParseSpamGenotypeLine, FirstFieldThatIsNoGenotypeNamesTheFish) {
  struct Case {
    std::string line;
    int32_t fields;
    std::string name;
  } cases[] = {
      {"010000 001000 1101 000100", 2, "Fish ID 1101"},  // short and not led by 0
      {"010000 ABC-7 rest of line", 1, "Fish ID ABC-7"},
      {"010000 001000", 2, "Fish 3"},
      {"1101", 0, "Fish ID 1101"},
      {"010000 X" + std::string(300, 'y'), 1, "Fish ID X" + std::string(254, 'y')},
  };
  for (const auto& c : cases) {
    int32_t fieldCount = 0;
    std::vector<int32_t> positions;
    std::string name = "Fish 3";
    EXPECT_EQ(ParseSpamGenotypeLine(c.line, fieldCount, positions, {}, name, true), 0u) << c.line;
    EXPECT_EQ(fieldCount, c.fields) << c.line;
    EXPECT_EQ(name, c.name);
  }
}

TEST(ParseSpamGenotypeLine, ComparesFieldCountWithTheLinesBefore) {
  std::vector<int32_t> positions;
  std::string name;
  int32_t fieldCount = 0;
  std::string twelve, thirteen;
  for (int i = 0; i < 12; ++i) twelve += "010000 ";
  thirteen = twelve + "0000001";
  EXPECT_EQ(ParseSpamGenotypeLine(twelve, fieldCount, positions, {}, name, true), 0u);
  EXPECT_EQ(fieldCount, 12);
  EXPECT_EQ(ParseSpamGenotypeLine(thirteen, fieldCount, positions, {}, name, true),
            kErrCharacterCountMismatch);
  EXPECT_EQ(fieldCount, 13);
  EXPECT_EQ(positions.size(), 13u);
  EXPECT_EQ(positions[12], 7);
  // With update off the largest positions stay as they are.
  EXPECT_EQ(ParseSpamGenotypeLine(twelve + "0000000001", fieldCount, positions, {}, name, false), 0u);
  EXPECT_EQ(positions[12], 7);

  std::string tooMany;
  for (int i = 0; i < 2001; ++i) tooMany += "01 ";
  fieldCount = 0;
  EXPECT_EQ(ParseSpamGenotypeLine(tooMany, fieldCount, positions, {}, name, true),
            kErrTooManyCharacters);
}

TEST(ReadSpamMixture, ReadsFishLinesAndSkipsCommentsAndShortLines) {
  MixtureData mix;
  LogBuffer log;
  ASSERT_EQ(ReadSpamMixture(DataFixture("mixture/spam.mix"), mix, log), 0u) << log.text;
  EXPECT_TRUE(Contains(log.text, "Reading Mixture file: "));
  EXPECT_TRUE(Contains(log.text, "File parsed successfully\r\n"));
  EXPECT_EQ(mix.fishCount, 4);
  EXPECT_EQ(mix.charCount, 3);
  EXPECT_EQ(mix.fishNames, (std::vector<std::string>{"Fish 1", "Fish ID F-101", "Fish 3", "Fish 4"}));
  EXPECT_EQ(mix.fishNameWidth, 13);
  EXPECT_EQ(mix.charNameWidth, 0);
  EXPECT_EQ(mix.positions, (Pairs{6, 6, 8}));
  EXPECT_EQ(mix.maxPositions, 8);
  EXPECT_EQ(mix.genotypes, (Pairs{2, 0, 3, 0, 5, 0,  //
                                  1, 4, 2, 2, 3, 4,  //
                                  5, 0, 1, 0, 1, 0,  //
                                  2, 0, 3, 0, 5, 0}));
  EXPECT_EQ(mix.fishFlags, (Pairs{0, 0, 0, 0}));
  EXPECT_EQ(mix.charId, (Pairs{-1, -1, -1}));
}

TEST(ReadGenepopMixture, ReadsLociSamplesAndCodes) {
  MixtureData mix;
  LogBuffer log;
  ASSERT_EQ(ReadGenepopMixture(DataFixture("mixture/genepop.mix"), mix, log), 0u) << log.text;
  EXPECT_EQ(mix.title, "Test mixture title");
  EXPECT_EQ(mix.charNames, (std::vector<std::string>{"LocA", "LocB", "LocC"}));
  EXPECT_EQ(mix.charNameWidth, 4);
  // "Poplar_7, ..." begins with the letters POP but is an individual.
  EXPECT_EQ(mix.fishNames, (std::vector<std::string>{"f1", "f2", "Poplar_7", "f4", "f5"}));
  EXPECT_EQ(mix.fishNameWidth, 8);
  EXPECT_EQ(mix.fishFlags, (Pairs{kItemFirstOfSample, 0, kItemFirstOfSample, 0, 0}));
  EXPECT_EQ(mix.genotypes, (Pairs{2, 2, 3, 3, 5, 5,  //
                                  1, 4, 2, 2, 3, 4,  //
                                  2, 2, 3, 3, 5, 5,  //
                                  1, 1, 1, 2, 0, 0,  //
                                  1, 1, 1, 2, 0, 0}));
  EXPECT_EQ(mix.positions, (Pairs{4, 3, 5}));
  EXPECT_EQ(mix.maxPositions, 5);

  ASSERT_EQ(ReadGenepopMixture(DataFixture("mixture/genepop_loci_per_line.mix"), mix, log), 0u);
  EXPECT_EQ(mix.charNames, (std::vector<std::string>{"LocC", "LocA", "LocB"}));
  EXPECT_EQ(mix.genotypes, (Pairs{5, 5, 2, 2, 3, 3, 3, 4, 1, 4, 2, 2}));
  EXPECT_EQ(mix.positions, (Pairs{5, 4, 3}));
  EXPECT_EQ(mix.fishFlags, (Pairs{kItemFirstOfSample, 0}));
}

TEST(ReadMixture, BadLineStopsTheReadWithItsNumberAndText) {
  struct Case {
    const char* fixture;
    ErrorFlags flags;
    const char* message;
  } cases[] = {
      {"spam_sum_over_2.mix", kErrSumOfAllelesOver2,
       "Fatal Error in Line 2:\r\n011100 001000 00001000\r\nSum of Alleles > 2\r\n"},
      {"spam_not_012.mix", kErrNumberNot012,
       "Fatal Error in Line 2:\r\n000300 001000 00001000\r\nNumber not 0, 1, or 2\r\n"},
      {"spam_count_mismatch.mix", kErrCharacterCountMismatch,
       "Fatal Error in Line 3:\r\n010000 001000 00001000 01000000\r\nCharacter count mismatch\r\n"},
      {"spam_257_positions.mix", kErrTooManyAllelePositions,
       "\r\nMore that 256 allele positions\r\n"},
      {"genepop_mixed_width.mix", kErrCannotParseLine,
       "Fatal Error in Line 5:\r\nf2, 010203 0101 0101\r\nCannot parse line\r\n"},
      {"genepop_bad_width.mix", kErrCannotParseLine,
       "Fatal Error in Line 4:\r\nf1, 010 0101 0101\r\nCannot parse line\r\n"},
      {"genepop_no_comma.mix", kErrCannotParseLine,
       "Fatal Error in Line 5:\r\nf2 0102 0101 0101\r\nCannot parse line\r\n"},
      {"genepop_fewer_codes.mix", kErrCharacterCountMismatch,
       "Fatal Error in Line 5:\r\nf2, 0102 0101\r\nCharacter count mismatch\r\n"},
      {"genepop_more_codes.mix", kErrCannotParseLine,
       "Fatal Error in Line 4:\r\nf1, 0102 0101 0101 0101\r\nCannot parse line\r\n"},
      {"genepop_no_pop.mix", kErrCannotParseLine,
       "Fatal Error in Line 3:\r\nf1, 0102 0101 0101\r\nCannot parse line\r\n"},
  };
  for (const auto& c : cases) {
    std::string path = DataFixture(std::string("mixture/") + c.fixture);
    bool spam = std::string(c.fixture).rfind("spam", 0) == 0;
    MixtureData mix;
    LogBuffer log;
    ErrorFlags flags = spam ? ReadSpamMixture(path, mix, log) : ReadGenepopMixture(path, mix, log);
    EXPECT_EQ(flags, c.flags) << c.fixture;
    EXPECT_TRUE(Contains(log.text, c.message)) << c.fixture << "\n" << log.text;
    EXPECT_FALSE(Contains(log.text, "File parsed successfully")) << c.fixture;
    if (spam) {  // nothing kept after the first pass
      EXPECT_EQ(mix.fishCount, 0) << c.fixture;
    }
  }
}

TEST(ReadGenepopMixture, RefusesHeadsWithoutLociOrSamples) {
  DataScratch scratch;
  std::string manyLoci = "Title\n";
  for (int i = 1; i <= 2002; ++i) manyLoci += "L" + std::to_string(i) + "\n";
  manyLoci += "POP\nf, 0101\n";
  std::string loci2001 = "Title\n";
  for (int i = 1; i <= 2001; ++i) loci2001 += "L" + std::to_string(i) + (i < 2001 ? ", " : "\n");
  loci2001 += "POP\nf,";
  for (int i = 1; i <= 2001; ++i) loci2001 += " 0101";
  struct Case {
    std::string path;
    ErrorFlags flags;
    std::string message;
  } cases[] = {
      {scratch.Write("noloci.mix", "Title\nPOP\nf, 0101\n"), kErrCannotParseLine, "Fatal Error in Line 2:\r\nPOP\r\n"},
      {scratch.Write("onlytitle.mix", "Title\n"), kErrCannotParseLine, ", line 1: no locus names"},
      {scratch.Write("nopop.mix", "Title\nL1\nL2\n"), kErrCannotParseLine, ", line 3: no \"POP\" line after the locus names"},
      {scratch.Write("many.mix", manyLoci), kErrCannotParseLine, ", line 2004: more than 2001 loci"},
      {scratch.Write("2001.mix", loci2001), 0, "File parsed successfully"},
      // Nothing to analyse: refused here rather than failing the run later.
      {scratch.Write("nofish.mix", "Title\nL1\nPOP\n\nPOP x\n"), kErrCannotParseLine,
       ", line 3: no individuals after the \"POP\" lines"},
  };
  for (const auto& c : cases) {
    MixtureData mix;
    LogBuffer log;
    EXPECT_EQ(ReadGenepopMixture(c.path, mix, log), c.flags) << c.path;
    EXPECT_TRUE(Contains(log.text, c.message)) << log.text;
  }
}

TEST(ReadMixture, SamplesWithoutFishAreNamedAndFilesWithoutFishRefused) {
  DataScratch scratch;
  MixtureData mix;
  LogBuffer log;
  std::string path =
      scratch.Write("gaps.mix", "Title\nL1\nPOP a\nf1, 0101\nPOP b\nPOP c\nf2, 0102\nPOP d\n");
  ASSERT_EQ(ReadGenepopMixture(path, mix, log), 0u) << log.text;
  EXPECT_EQ(mix.fishFlags, (Pairs{kItemFirstOfSample, kItemFirstOfSample}));
  for (int line : {5, 8})
    EXPECT_TRUE(Contains(log.text, "Info: " + path + ", line " + std::to_string(line) +
                                       ": no fish after this \"POP\" line; its sample cannot be run\r\n"))
        << line << "\n" << log.text;
  EXPECT_EQ(testing::Occurrences(log.text, "no fish after"), 2);

  LogClear(log);
  path = scratch.Write("nofish.mix", "\\ a remark only\n010 020\n");
  EXPECT_EQ(ReadSpamMixture(path, mix, log), kErrCannotParseLine);
  EXPECT_TRUE(Contains(log.text, path + ": no fish lines")) << log.text;
  EXPECT_EQ(mix.fishCount, 0);
}

TEST(ReadMixture, RefusesUnreadableAndNonTextFiles) {
  DataScratch scratch;
  struct Case {
    std::string path;
    ErrorFlags flags;
    std::string message;
  } cases[] = {
      {scratch.Path("missing.mix"), kErrFatal, "Reading Mixture file: " + scratch.Path("missing.mix") + "\r\nCannot open file\r\n"},
      {scratch.Write("nul.mix", std::string("010000 001000\n0100\0 001000\n", 27)), kErrCannotParseLine, ", line 2: binary data"},
      {scratch.Write("long.mix", "010000 001000\n" + std::string(16384, '0') + "\n"), kErrCannotParseLine, ", line 2: line longer than 16383 characters"},
  };
  for (const auto& c : cases) {
    for (auto* read : {&ReadSpamMixture, &ReadGenepopMixture}) {
      MixtureData mix;
      LogBuffer log;
      EXPECT_EQ(read(c.path, mix, log), c.flags) << c.path;
      EXPECT_TRUE(Contains(log.text, c.message)) << log.text;
      EXPECT_EQ(mix.fishCount, 0);
    }
  }
}

TEST(ResolveMixtureCharacters, SpamColumnsFollowTheCharactersInUse) {
  DataScratch scratch;
  MixtureData mix;
  LogBuffer log;
  ASSERT_EQ(ReadSpamMixture(DataFixture("mixture/spam.mix"), mix, log), 0u);
  Control control;
  testing::MakeFixtureControl(control);
  EXPECT_EQ(ResolveMixtureCharacters(mix, *control.characters, control.log, kMixtureSpam), 0u);
  EXPECT_EQ(mix.charId, (Pairs{1, 2, 3}));
  EXPECT_TRUE(Contains(control.log.text, "Mixture Characters resolved successfully\r\n"));

  // An excluded first character has no column: the two columns hold the
  // second and third characters.
  testing::MakeControl(control, {{1, 6, "LocA", true}, {2, 6, "LocB"}, {3, 8, "LocC"}}, {}, {});
  ASSERT_EQ(ReadSpamMixture(scratch.Write("two.mix", "001000 00001000\n"), mix, log), 0u);
  EXPECT_EQ(ResolveMixtureCharacters(mix, *control.characters, control.log, kMixtureSpam), 0u);
  EXPECT_EQ(mix.charId, (Pairs{2, 3}));
}

TEST(ResolveMixtureCharacters, SpamCountOrPositionMismatchFails) {
  DataScratch scratch;
  struct Case {
    std::vector<testing::CharSpec> chars;
    std::string detail;
  } cases[] = {
      {{{1, 6, "LocA"}, {2, 6, "LocB"}}, "Mixture has 3 characters, control file uses 2\r\n"},
      {{{1, 6, "LocA"}, {2, 6, "LocB"}, {3, 7, "LocC"}},
       "CharID 3 - LocC: allele position 8 in mixture, 7 allowed\r\n"},
  };
  for (const auto& c : cases) {
    MixtureData mix;
    Control control;
    testing::MakeControl(control, c.chars, {}, {});
    ASSERT_EQ(ReadSpamMixture(DataFixture("mixture/spam.mix"), mix, control.log), 0u);
    EXPECT_EQ(ResolveMixtureCharacters(mix, *control.characters, control.log, kMixtureSpam),
              kErrNumberOfCharsNotEqual);
    EXPECT_TRUE(Contains(control.log.text, c.detail +
                                               "Fatal error resolving mixture characters\r\n"
                                               "Number of chars not equal\r\n"))
        << control.log.text;
  }
}

TEST(ResolveMixtureCharacters, GenepopLociAreFoundByNameInAnyOrder) {
  MixtureData mix;
  Control control;
  testing::MakeFixtureControl(control);
  ASSERT_EQ(ReadGenepopMixture(DataFixture("mixture/genepop_loci_per_line.mix"), mix, control.log), 0u);
  EXPECT_EQ(ResolveMixtureCharacters(mix, *control.characters, control.log, kMixtureGenepop), 0u);
  // Columns hold LocC, LocA, LocB.
  EXPECT_EQ(mix.charId, (Pairs{3, 1, 2}));

  // An excluded character need not be in the mixture.
  testing::MakeControl(control, {{1, 6, "loca"}, {2, 6, "LocB"}, {9, 6, "Gone", true}, {3, 8, "LOCC"}}, {}, {});
  EXPECT_EQ(ResolveMixtureCharacters(mix, *control.characters, control.log, kMixtureGenepopLabel), 0u);
  EXPECT_EQ(mix.charId, (Pairs{3, 1, 2}));
}

TEST(ResolveMixtureCharacters, GenepopMissingLocusOrHighAlleleFails) {
  struct Case {
    std::vector<testing::CharSpec> chars;
    ErrorFlags flags;
    std::string message;
  } cases[] = {
      {{{1, 6, "LocA"}, {2, 6, "LocX"}, {3, 8, "LocC"}}, kErrCharacterNotFound,
       "LocX not found in mixture file. Should be LocB.\r\n"
       "Fatal error resolving mixture characters\r\nCharacter not found\r\n"},
      {{{1, 6, "LocA"}, {2, 6, "LocB"}, {3, 8, "LocC"}, {4, 6, "LocD"}}, kErrCharacterNotFound,
       "LocD not found in mixture file. Should be (no locus).\r\n"},
      {{{1, 3, "LocA"}, {2, 6, "LocB"}, {3, 8, "LocC"}}, kErrNumberOfCharsNotEqual,
       "CharID 1 - LocA: allele position 4 in mixture, 3 allowed (fish f2)\r\n"
       "Fatal error resolving mixture characters\r\nNumber of chars not equal\r\n"},
  };
  for (const auto& c : cases) {
    MixtureData mix;
    Control control;
    testing::MakeControl(control, c.chars, {}, {});
    ASSERT_EQ(ReadGenepopMixture(DataFixture("mixture/genepop.mix"), mix, control.log), 0u);
    EXPECT_EQ(ResolveMixtureCharacters(mix, *control.characters, control.log, kMixtureGenepop), c.flags);
    EXPECT_TRUE(Contains(control.log.text, c.message)) << control.log.text;
  }
}

}  // namespace
}  // namespace mixora
