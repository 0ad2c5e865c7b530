#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "core/lookups.h"
#include "input/control.h"
#include "input/control_keywords.h"
#include "runfiles/run_control_pieces.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_control_writer.h"
#include "runfiles/sample_block.h"
#include "runfiles/baseline_priors.h"
#include "support/temp_folder.h"

namespace mixora {
namespace {

namespace fs = std::filesystem;

// Records every message box instead of showing it.
struct MessageLog {
  std::vector<std::string> texts;
  Interaction ui;
  MessageLog() {
    ui.message = [this](uint32_t type, const std::string& text) {
      texts.push_back(text);
      return DefaultAnswer(type);
    };
  }
};

class TempFolder {
 public:
  TempFolder() {
    path_ = testing_support::NewTempFolder("rcf");
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// Three Genepop samples of 2, 3 and 2 fish. Fish 2 (first of the second
// sample) has too many missing loci and fish 6 has no alleles, so both stay
// out of the run.
const char* kMixtureText =
    "Chum/mix test fishery\r\n"
    "LocA, LocB, LocC\r\n"
    "POP 2019, V-1, 2019-06-01, Lower, Gillnet, Early run\r\n"
    "f0 , 0102 0101 0304\r\n"
    "f1 , 0303 0202 0000\r\n"
    "Pop 2020, V-2, 2020-06-02, Upper, Seine, Late run, second half\r\n"
    "f2 , 0000 0000 0104\r\n"
    "f3 , 0203 0102 0404\r\n"
    "f4 , 0101 0202 0102\r\n"
    "POP 2021\r\n"
    "f5 , 0303 0101 0203\r\n"
    "f6 , 0000 0000 0000\r\n";

// A loaded, checked run definition: character 2 is excluded, stock 40 and
// the group "Gone" are excluded, the baseline lists stocks and characters in
// another order (and case) than the control file, with an extra stock.
void MakeControl(Control& control, const std::string& mixturePath) {
  InitControl(control);
  RunSettings& s = *control.settings;
  SetDefaultSettings(s);  // as every load starts
  s.FileKinds[0] = kControlMixora;
  s.FileKinds[1] = kBaselineSpam;
  s.FileKinds[2] = kMixtureGenepop;
  SetField(s.Title, "Round trip");
  SetField(s.MixtureFile, mixturePath);
  SetField(s.Species, "Chum");
  s.NumberOfStocks = 3;
  s.NumberOfChars = 2;
  s.Levels = 2;
  s.NumberOfChains = 4;
  s.NumberOfReps = 100;
  s.Seed1 = 11;
  s.Seed2 = 22;
  s.StartStock[0] = 20;
  s.StartStock[1] = s.StartStock[2] = s.StartStock[3] = -1;
  s.Quantile = 0.975;

  CharacterBlock& ch = *control.characters;
  ch.count = 3;
  ch.excludedCount = 1;
  ch.nameWidth = 5;
  ch.maxAlleles = 4;
  ch.alleleCount = {3, 2, 4};
  ch.charId = {1, 2, 3};
  ch.names = {"LocA", "LocB", "LocC"};
  ch.isLocus = {1, 0, 1};
  ch.flags = {0, kItemExcluded, 0};

  StockBlock& st = *control.stocks;
  st.count = 4;
  st.excludedCount = 1;
  st.nameWidth = 12;
  st.levelCount = 2;
  st.stockId = {10, 20, 40, 30};
  st.names = {"North", "Middle_Creek", "Dropped", "South"};
  st.groupAt[0] = {1, 1, 3, 2};
  st.groupAt[1] = {1, 1, 1, 1};
  st.flags = {0, 0, kItemExcluded, 0};

  GroupBlock& gr = *control.groups;
  gr.count = 4;
  gr.excludedCount = 1;
  gr.nameWidth = 6;
  gr.maxLevel = 2;
  gr.level = {0, 0, 0, 1};
  gr.groupId = {1, 2, 3, 1};
  gr.names = {"Coast", "Inland", "Gone", "All"};
  gr.flags = {0, 0, kItemExcluded, 0};

  BaselineData& b = *control.baseline;
  b.stockCount = 4;
  b.charCount = 3;
  b.maxAlleles = 4;
  b.charNameWidth = 4;
  b.stockId = {30, 99, 10, 20};
  b.charNames = {"locc", "LOCA", "LocB"};
  b.charId = {3, 1, 2};
  b.alleleCount = {4, 3, 2};
  // counts[(s * 3 + c) * 4 + k] = 1000 * stock ID + 10 * char ID + k + 1 over
  // each character's alleles, so every count names where it came from.
  b.counts.assign(4 * 3 * 4, 0);
  for (int s = 0; s < 4; ++s)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < b.alleleCount[c]; ++k)
        b.counts[(s * 3 + c) * 4 + k] = 1000 * b.stockId[s] + 10 * b.charId[c] + k + 1;

  MixtureData& m = *control.mixture;
  m.fishCount = 7;
  m.charCount = 3;
  m.fishNameWidth = 2;
  m.charId = {1, 2, 3};
  m.title = "Chum/mix test fishery";
  m.fishNames = {"f0", "f1", "f2", "f3", "f4", "f5", "f6"};
  m.genotypes = {1, 2, 1, 1, 3, 4,  3, 3, 2, 2, 0, 0,  0, 0, 0, 0, 1, 4,  2, 3, 1, 2, 4, 4,
                 1, 1, 2, 2, 1, 2,  3, 3, 1, 1, 2, 3,  0, 0, 0, 0, 0, 0};
  m.fishFlags = {kItemFirstOfSample, 0, kItemFirstOfSample | kItemMissingLoci, 0, 0,
                 kItemFirstOfSample, kItemNoAlleles};
  m.badCount = 2;
}

class RunControlFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixturePath_ = folder_.File("mix.gen");
    WriteText(mixturePath_, kMixtureText);
    MakeControl(control_, mixturePath_);
    rcfPath_ = folder_.File("run.rcf");
  }

  TempFolder folder_;
  std::string mixturePath_, rcfPath_;
  Control control_;
  MessageLog messages_;
};

TEST_F(RunControlFileTest, ReadNewControlGivesBackEveryStoredItem) {
  ASSERT_EQ(GenerateRunControlFile(messages_.ui, control_, rcfPath_), 1);
  std::unique_ptr<RunRecord> r = ReadNewControl(rcfPath_, messages_.ui);
  ASSERT_TRUE(r);
  EXPECT_TRUE(messages_.texts.empty());

  EXPECT_EQ(r->settings.FileKinds[0], kControlMixora);
  EXPECT_EQ(r->settings.FileKinds[2], kMixtureGenepop);
  EXPECT_EQ(GetField(r->settings.Title), "Round trip");
  EXPECT_EQ(GetField(r->settings.Species), "Chum");
  EXPECT_EQ(r->settings.Seed2, 22);
  EXPECT_EQ(r->settings.Quantile, 0.975);
  EXPECT_EQ(r->settings.NumberOfStocks, 3);
  EXPECT_EQ(r->settings.NumberOfChars, 2);

  EXPECT_EQ(r->maxAlleles, 4);
  EXPECT_EQ(r->charId, (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(r->alleleCount, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(r->isLocus, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(r->charNames, (std::vector<std::string>{"LocA", "LocC"}));
  EXPECT_EQ(r->stockId, (std::vector<int32_t>{10, 20, 30}));
  EXPECT_EQ(r->stockNames, (std::vector<std::string>{"North", "Middle_Creek", "South"}));
  ASSERT_EQ(r->groupAt.size(), 2u);
  EXPECT_EQ(r->groupAt[0], (std::vector<int32_t>{1, 1, 2}));
  EXPECT_EQ(r->groupAt[1], (std::vector<int32_t>{1, 1, 1}));
  EXPECT_EQ(r->groupCount, 3);
  EXPECT_EQ(r->groupLevel, (std::vector<int32_t>{0, 0, 1}));
  EXPECT_EQ(r->groupId, (std::vector<int32_t>{1, 2, 1}));
  EXPECT_EQ(r->groupNames, (std::vector<std::string>{"Coast", "Inland", "All"}));

  // Baseline rearranged to the run's stocks and characters.
  std::vector<int32_t> expected(3 * 2 * 4, 0);
  const int stockIds[3] = {10, 20, 30}, charIds[2] = {1, 3}, alleles[2] = {3, 4};
  for (int s = 0; s < 3; ++s)
    for (int c = 0; c < 2; ++c)
      for (int k = 0; k < alleles[c]; ++k)
        expected[(s * 2 + c) * 4 + k] = 1000 * stockIds[s] + 10 * charIds[c] + k + 1;
  EXPECT_EQ(r->counts, expected);

  // Priors of exactly those counts, in that order.
  std::vector<double> alpha(2 * 4), lambda(2), beta(3);
  std::vector<std::string> names = {"LocA", "LocC"};
  std::vector<int32_t> alleleCount = {3, 4};
  std::vector<double> weights(3, 0.0);
  MessageLog quiet;
  ComputeBaselinePriors(quiet.ui, 3, 2, 4, alleleCount, expected, names, false, weights, alpha,
                        lambda, beta);
  EXPECT_EQ(r->allelePrior, alpha);
  EXPECT_EQ(r->lambda, lambda);
  EXPECT_EQ(r->beta, beta);

  // Mixture: every mixture, the stored fish and the excluded ones.
  EXPECT_EQ(r->mixtureTitle, "Chum/mix test fishery");
  ASSERT_EQ(r->mixtureCount, 3);
  EXPECT_EQ(r->mixtures[0].firstIndividual, 0u);
  EXPECT_EQ(r->mixtures[1].firstIndividual, 2u);  // fish 2 left out: fish 3 starts it
  EXPECT_EQ(r->mixtures[2].firstIndividual, 4u);
  EXPECT_EQ(r->mixtures[1].number, 1u);
  EXPECT_EQ(r->mixtures[1].year, 2020);
  EXPECT_EQ(r->mixtures[1].vial, "V-2");
  EXPECT_EQ(r->mixtures[1].date, "2020-06-02");
  EXPECT_EQ(r->mixtures[1].area, "Upper");
  EXPECT_EQ(r->mixtures[1].gear, "Seine");
  EXPECT_EQ(r->mixtures[1].desc, "Late run, second half");
  EXPECT_EQ(r->mixtures[2].year, 2021);
  EXPECT_EQ(r->mixtures[2].vial, "");
  EXPECT_EQ(r->fishCount, 5);
  EXPECT_EQ(r->fishNames, (std::vector<std::string>{"f0", "f1", "f3", "f4", "f5"}));
  // Columns of characters 1 and 3 only.
  EXPECT_EQ(r->genotypes,
            (std::vector<int32_t>{1, 2, 3, 4, 3, 3, 0, 0, 2, 3, 4, 4, 1, 1, 1, 2, 3, 3, 2, 3}));
  EXPECT_EQ(r->badCount, 2);
  EXPECT_EQ(r->badFlags, (std::vector<int32_t>{(kItemMissingLoci << 16) | 1, (kItemNoAlleles << 16) | 2}));
  EXPECT_EQ(r->badNames, (std::vector<std::string>{"f2", "f6"}));
}

TEST_F(RunControlFileTest, ReadRunControlKeepsOneMixtureAndArrangesGroupsByLevel) {
  ASSERT_EQ(GenerateRunControlFile(messages_.ui, control_, rcfPath_), 1);
  std::unique_ptr<RunRecord> r = ReadRunControl(messages_.ui, rcfPath_, 1);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->mixtureIndex, 1);
  EXPECT_EQ(r->controlPath, rcfPath_);
  EXPECT_EQ(r->fishCount, 2);
  EXPECT_EQ(r->fishNames, (std::vector<std::string>{"f3", "f4"}));
  EXPECT_EQ(r->genotypes, (std::vector<int32_t>{2, 3, 4, 4, 1, 1, 1, 2}));
  EXPECT_EQ(r->badCount, 1);
  EXPECT_EQ(r->badNames, (std::vector<std::string>{"f2"}));
  // "Chum/mix" would put every run output into a folder "Chum".
  EXPECT_EQ(r->runTitle, "Chum_mix_POP_02");
  EXPECT_EQ(GetField(r->settings.Title), "Chum_mix_POP_02");

  EXPECT_EQ(r->levelGroupCount, (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(r->levelGroupId[0], (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(r->levelGroupNames[0], (std::vector<std::string>{"Coast", "Inland"}));
  EXPECT_EQ(r->levelGroupNames[1], (std::vector<std::string>{"All"}));
  EXPECT_EQ(r->groupAt[0], (std::vector<int32_t>{0, 0, 1}));
  EXPECT_EQ(r->groupAt[1], (std::vector<int32_t>{0, 0, 0}));

  std::unique_ptr<RunRecord> last = ReadRunControl(messages_.ui, rcfPath_, 2);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->fishNames, (std::vector<std::string>{"f5"}));
  EXPECT_EQ(last->badNames, (std::vector<std::string>{"f6"}));
  EXPECT_TRUE(messages_.texts.empty());

  for (int p : {3, -1}) {
    messages_.texts.clear();
    EXPECT_FALSE(ReadRunControl(messages_.ui, rcfPath_, p)) << p;
    EXPECT_EQ(messages_.texts,
              (std::vector<std::string>{"Error reading pControl\r\n" + rcfPath_ +
                                        "\r\nmixture " + std::to_string(p + 1) +
                                        " asked for; the file holds 3"}))
        << p;
  }
}

TEST_F(RunControlFileTest, MixtureWithoutPopLinesIsOneMixture) {
  WriteText(mixturePath_, "0100 0011 0101 Fish1\r\n0010 0101 0011\r\n");
  control_.mixture->title.clear();
  control_.mixture->fishFlags = {0, 0, kItemMissingLoci, 0, 0, 0, 0};
  ASSERT_EQ(GenerateRunControlFile(messages_.ui, control_, rcfPath_), 1);
  std::unique_ptr<RunRecord> all = ReadNewControl(rcfPath_, messages_.ui);
  ASSERT_TRUE(all);
  ASSERT_EQ(all->mixtureCount, 1);
  EXPECT_EQ(all->mixtures[0].firstIndividual, 0u);
  EXPECT_EQ(all->mixtures[0].year, 0);
  EXPECT_EQ(all->mixtures[0].vial, "");
  EXPECT_EQ(all->badFlags, (std::vector<int32_t>{kItemMissingLoci << 16}));

  std::unique_ptr<RunRecord> run = ReadRunControl(messages_.ui, rcfPath_, 0);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->fishCount, 6);
  EXPECT_EQ(run->badCount, 1);
  EXPECT_EQ(run->runTitle, "_POP_01");
}

TEST(RunControlContent, LengthIsTheSumOfItsSections) {
  TempFolder folder;
  std::string mix = folder.File("m.gen");
  WriteText(mix, kMixtureText);
  Control control;
  MakeControl(control, mix);
  MessageLog messages;
  RunRecord pieces;
  BuildRunPieces(control, pieces, messages.ui);
  std::vector<uint8_t> content = EncodeRunControlContent(pieces);
  const std::size_t S = 3, C = 2, V = 2, A = 4, G = 3, F = 5, E = 2, P = 3;
  const std::size_t charSlot = 8, stockSlot = 16, groupSlot = 8, fishSlot = 4;
  std::size_t expected = 1376 + 8 * 4 + 3 * 4 * C + charSlot * C + 4 * S + stockSlot * S +
                         4 * V * S + 8 * G + groupSlot * G + 4 * S * C * A + 8 * C * A + 8 * C +
                         8 * S + 100 + 4 + 362 * P + 8 * F * C + fishSlot * F + 4 * E +
                         fishSlot * E;
  EXPECT_EQ(content.size(), expected);
}

TEST(RunControlContent, NameSlotIsWidthPlusFourRoundedDown) {
  struct Case {
    int longest;
    std::size_t slot;
  } cases[] = {{18, 20}, {19, 20}, {20, 24}, {3, 4}};
  auto sizeWith = [](int width) {
    RunRecord pieces;
    pieces.settings.NumberOfStocks = 1;
    pieces.stockId = {1};
    pieces.stockNames = {std::string(static_cast<std::size_t>(width), 'x')};
    pieces.stockNameWidth = width;
    pieces.beta = {1.0};
    return EncodeRunControlContent(pieces).size();
  };
  std::size_t base = sizeWith(0);  // slot of 4
  for (const auto& c : cases) EXPECT_EQ(sizeWith(c.longest) - base + 4, c.slot) << c.longest;
}

TEST(PopLine, ReadsYearAndTextsInLineOrder) {
  struct Case {
    const char* line;
    int year;
    const char *vial, *date, *area, *gear, *desc;
  } cases[] = {
      {"POP 2025, V-0714, 2025-07-14, Lower river, Gillnet, Early run test fishery", 2025,
       "V-0714", "2025-07-14", "Lower river", "Gillnet", "Early run test fishery"},
      {"pop", 0, "", "", "", "", ""},
      {"Pop 7", 7, "", "", "", "", ""},
      {"POP 3 ,a,  b ", 3, "a", "b", "", "", ""},
      {"POP -4, v, d, a, g, desc, with comma", -4, "v", "d", "a", "g", "desc, with comma"},
      {"POP Kesh, v", 0, "v", "", "", "", ""},
  };
  for (const auto& c : cases) {
    MixtureRecord r = ParsePopLine(c.line);
    EXPECT_EQ(r.year, c.year) << c.line;
    EXPECT_EQ(r.vial, c.vial) << c.line;
    EXPECT_EQ(r.date, c.date) << c.line;
    EXPECT_EQ(r.area, c.area) << c.line;
    EXPECT_EQ(r.gear, c.gear) << c.line;
    EXPECT_EQ(r.desc, c.desc) << c.line;
  }
  MixtureRecord longOne = ParsePopLine("POP 1, " + std::string(150, 'v') + ", " + std::string(80, 'd'));
  EXPECT_EQ(longOne.vial.size(), 99u);
  EXPECT_EQ(longOne.date.size(), 49u);
}

TEST_F(RunControlFileTest, BadFilesAreRefusedWithTheirMessage) {
  ASSERT_EQ(GenerateRunControlFile(messages_.ui, control_, rcfPath_), 1);
  std::vector<uint8_t> good = ReadBytes(rcfPath_);

  RunRecord pieces;
  BuildRunPieces(control_, pieces, messages_.ui);
  pieces.settings.FileKinds[3] = 1;
  std::vector<uint8_t> version2;
  ASSERT_EQ(EncodeSampleBlock(EncodeRunControlContent(pieces).data(), 1,
                              EncodeRunControlContent(pieces).size(), version2),
            BlockStatus::kOk);

  std::vector<uint8_t> sample(kSampleFileMagic, kSampleFileMagic + kMagicSize);
  sample.resize(200, 0);
  std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
  std::vector<uint8_t> corrupt = good;
  for (std::size_t i = 20; i < 40; ++i) corrupt[i] ^= 0x5A;
  std::vector<uint8_t> tiny(good.begin(), good.begin() + 11);

  const std::string path = folder_.File("bad.rcf");
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string message;  // empty: refused without a message
  } cases[] = {
      {"version 2", version2,
       "Version 2 binary format. Version 1 supported only:\r\n" + path},
      {"sample file", sample, ""},
      {"truncated block", truncated,
       "Invalid File format:\r\n" + path + "\r\nthe block claims " +
           std::to_string(good.size() - 12) + " compressed bytes; the file holds " +
           std::to_string(truncated.size() - 12)},
      {"corrupt stream", corrupt,
       "Invalid File format:\r\n" + path +
           "\r\nthe compressed data is damaged or does not give its stated " +
           std::to_string(EncodeRunControlContent(pieces).size()) + " bytes"},
      {"shorter than a header", tiny, ""},
  };
  for (const auto& c : cases) {
    WriteBytes(path, c.bytes);
    for (int p = -1; p < 2; ++p) {
      messages_.texts.clear();
      std::unique_ptr<RunRecord> r = p < 0 ? ReadNewControl(path, messages_.ui)
                                           : ReadRunControl(messages_.ui, path, p);
      EXPECT_FALSE(r) << c.what;
      std::vector<std::string> expected;
      if (!c.message.empty()) expected.push_back(c.message);
      EXPECT_EQ(messages_.texts, expected) << c.what;
    }
  }
  messages_.texts.clear();
  EXPECT_FALSE(ReadNewControl(folder_.File("absent.rcf"), messages_.ui));
  EXPECT_EQ(messages_.texts,
            (std::vector<std::string>{"Cannot Open\r\n" + folder_.File("absent.rcf") +
                                              "\r\nfor Reading\r\nNo such file or directory"}));
}

// Values the control-file loader refuses are refused when a run control file
// holds them too, naming the keyword or item: a damaged file must not run
// with them (ThinIse 0 divides by zero, an infinite Percentile prints NaN).
TEST_F(RunControlFileTest, ValuesOutOfTheirRangesAreRefusedByName) {
  struct Case {
    const char* what;
    void (*damage)(RunRecord&);
    std::string reason;
  } cases[] = {
      {"chains", [](RunRecord& r) { r.settings.NumberOfChains = 201; },
       "NumberOfChains not 1 - 100 (the file holds 201)"},
      {"reps", [](RunRecord& r) { r.settings.NumberOfReps = 4; },
       "NumberOfReps not 10 - 99999999 (the file holds 4)"},
      {"save every", [](RunRecord& r) { r.settings.SaveEvery = -1; },
       "SaveEvery not 100 - 5000 (the file holds -1)"},
      {"missing loci", [](RunRecord& r) { r.settings.MaxMissingLoci = INT32_MIN; },
       "MaxMissingLoci not 1 - 999 (the file holds -2147483648)"},
      {"thinning", [](RunRecord& r) { r.settings.ThinIse = 0; },
       "ThinIse not 1 - 1000 (the file holds 0)"},
      {"percentile", [](RunRecord& r) { r.settings.Percentile = HUGE_VAL; },
       "Percentile not 0.001 - 0.999 (the file holds inf)"},
      {"quantile", [](RunRecord& r) { r.settings.Quantile = NAN; },
       "Quantile not 0.001 - 0.999 (the file holds nan)"},
      {"generator", [](RunRecord& r) { r.settings.RanGen = 7; },
       "RanGen not 0 - 1 (the file holds ERROR)"},
      {"title", [](RunRecord& r) { std::memset(r.settings.Title, 'x', sizeof r.settings.Title); },
       "Title not terminated (the file holds " + std::string(sizeof(RunSettings::Title), 'x') + ")"},
      {"start stock", [](RunRecord& r) { r.settings.StartStock[0] = 77; },
       "StartStock 77 is not a stock of the run"},
      {"allele count", [](RunRecord& r) { r.alleleCount[0] = -2; },
       "character LocA: allele count -2 not 0 - 4"},
  };
  RunRecord good;
  BuildRunPieces(control_, good, messages_.ui);
  const std::string path = folder_.File("damaged.rcf");
  for (const Case& c : cases) {
    RunRecord pieces = good;
    c.damage(pieces);
    std::vector<uint8_t> content = EncodeRunControlContent(pieces), block;
    ASSERT_EQ(EncodeSampleBlock(content.data(), 1, content.size(), block), BlockStatus::kOk);
    WriteBytes(path, block);
    for (int p = -1; p < 1; ++p) {
      messages_.texts.clear();
      EXPECT_FALSE(p < 0 ? ReadNewControl(path, messages_.ui) : ReadRunControl(messages_.ui, path, p))
          << c.what;
      EXPECT_EQ(messages_.texts,
                (std::vector<std::string>{"Invalid File format:\r\n" + path + "\r\n" + c.reason}))
          << c.what;
    }
  }
}

TEST_F(RunControlFileTest, WritingIntoAMissingFolderFailsWithItsMessage) {
  std::string path = folder_.File("no/such/folder/run.rcf");
  EXPECT_EQ(GenerateRunControlFile(messages_.ui, control_, path), 0);
  EXPECT_EQ(messages_.texts, (std::vector<std::string>{"Cannot Open\r\n" + path + "\r\nfor writing\r\nNo such file or directory"}));
}

// Every read of a damaged file either fails cleanly or gives a record whose
// arrays agree with its counts; nothing reads outside the content.
void ExpectConsistent(const RunRecord& r) {
  std::size_t S = static_cast<std::size_t>(r.settings.NumberOfStocks);
  std::size_t C = static_cast<std::size_t>(r.settings.NumberOfChars);
  std::size_t A = static_cast<std::size_t>(r.maxAlleles);
  ASSERT_EQ(r.charNames.size(), C);
  ASSERT_EQ(r.stockNames.size(), S);
  ASSERT_EQ(r.counts.size(), S * C * A);
  ASSERT_EQ(r.fishNames.size(), static_cast<std::size_t>(r.fishCount));
  ASSERT_EQ(r.genotypes.size(), static_cast<std::size_t>(r.fishCount) * C * 2);
  ASSERT_EQ(r.badNames.size(), static_cast<std::size_t>(r.badCount));
  for (std::size_t c = 0; c < C; ++c) ASSERT_LE(r.alleleCount[c], r.maxAlleles);
  for (std::size_t i = 0; i < r.genotypes.size(); ++i)
    ASSERT_LE(r.genotypes[i], r.alleleCount[(i / 2) % C]);
}

TEST_F(RunControlFileTest, DamagedFilesAndContentsFailCleanly) {
  ASSERT_EQ(GenerateRunControlFile(messages_.ui, control_, rcfPath_), 1);
  std::vector<uint8_t> good = ReadBytes(rcfPath_);
  RunControlContent original;
  ASSERT_TRUE(OpenRunControlContent(rcfPath_, messages_.ui, original));
  std::mt19937 random(20240611);
  const std::string path = folder_.File("fuzz.rcf");

  // Damage to the file: flipped bytes, cuts, rewritten header words.
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = good;
    switch (round % 3) {
      case 0:
        for (int i = 0; i < 1 + round % 4; ++i) bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        break;
      case 1: bytes.resize(random() % bytes.size()); break;
      case 2: bytes[random() % 12] = static_cast<uint8_t>(random()); break;
    }
    WriteBytes(path, bytes);
    std::unique_ptr<RunRecord> whole = ReadNewControl(path, messages_.ui);
    if (whole) ExpectConsistent(*whole);
    std::unique_ptr<RunRecord> one = ReadRunControl(messages_.ui, path, static_cast<int>(round % 4));
    if (one) ExpectConsistent(*one);
  }

  // Damage behind the compression, which the stream's checksum cannot see:
  // counts, widths and positions that do not fit the content.
  for (int round = 0; round < 1500; ++round) {
    RunControlContent content = original;
    std::vector<uint8_t>& b = content.bytes;
    if (round % 5 == 4) {
      b.resize(random() % b.size());
    } else {
      // Most of the sizes sit in the settings and the eight count words.
      std::size_t at = round % 2 ? 1376 + random() % 32 : random() % b.size();
      if (round % 3 == 0 && at + 4 <= b.size()) {
        int32_t value = static_cast<int32_t>(random());
        if (round % 6 == 0) value = static_cast<int32_t>(random() % 64) - 8;
        std::memcpy(&b[at], &value, 4);
      } else {
        b[at] ^= static_cast<uint8_t>(1 + random() % 255);
      }
      if (round % 7 == 0) b[20 + random() % 12] = static_cast<uint8_t>(random() % 8);
    }
    std::unique_ptr<RunRecord> whole = DecodeNewControl(content, "fuzz", messages_.ui);
    if (whole) ExpectConsistent(*whole);
    std::unique_ptr<RunRecord> one = DecodeRunControl(content, "fuzz", static_cast<int>(round % 4), messages_.ui);
    if (one) ExpectConsistent(*one);
  }
}

}  // namespace
}  // namespace mixora
