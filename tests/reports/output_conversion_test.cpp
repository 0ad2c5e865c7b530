#include "reports/output_conversion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/paths.h"
#include "reports/report_fixture.h"
#include "reports/report_runner.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_block.h"
#include "runfiles/sample_file_header.h"

namespace mixora {
namespace {

using namespace testing_reports;
namespace fs = std::filesystem;

class ConversionTest : public ::testing::Test {
 public:
  void SetUp() override {
    out_ = folder_.File("out");
    fs::create_directories(out_);
  }
  void Make(int chains, uint32_t records, int saveEvery = 100) {
    run_ = ReportRun(folder_, chains, -1);
    run_.settings.SaveEvery = saveEvery;
    for (int c = 0; c < chains; ++c) WriteReportChain(run_, c, records, records);
  }
  int Convert(uint32_t flags, int keep) {
    ReportJob job;
    job.run = &run_;
    rec_.Attach(job);
    job.conversion.flags = flags;
    job.conversion.folder = out_;
    job.conversion.keep = keep;
    const int result = RunReportInline(job, kReportConvert, false);
    written_ = job.filesWritten;
    return result;
  }
  std::string Out(const std::string& name) const { return JoinPath(out_, name); }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = text.find("\r\n", at);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }

  TempFolder folder_;
  std::string out_;
  RunRecord run_;
  Recorder rec_;
  std::vector<std::string> written_;
};

TEST(ConversionNames, FollowTheKindChainLevelAndGraphChoice) {
  RunRecord run;
  run.runTitle = "Coho_POP_01";
  struct Case {
    int chain;
    uint32_t kind;
    bool graph;
    int level;
    const char* name;
  };
  const Case cases[] = {
      {0, kConvertAssignments, false, 0, "Coho_POP_01_1_ASCII.Sta"},
      {11, kConvertAssignments, true, 0, "Coho_POP_01_12_ASCII.Sta"},
      {0, kConvertComposition, false, 0, "Coho_POP_01_1_ASCII.Ise"},
      {2, kConvertComposition, true, 0, "Coho_POP_01_3.gse"},
      {0, kConvertGroups, false, 1, "Coho_POP_01_1_Grp2_ASCII.Ise"},
      {1, kConvertGroups, true, 0, "Coho_POP_01_2_Grp1.gse"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ConversionOutputPath(run, "dir", c.chain, c.kind, c.graph, c.level),
              JoinPath("dir", c.name));
}

TEST(ConversionNames, GraphValuesAreTenthsOfAPercentRoundedToNearest) {
  const std::pair<uint64_t, uint16_t> cases[] = {
      {33333333, 333}, {66666667, 667}, {0, 0},       {100000000, 1000},
      {49999, 0},      {50000, 1},      {149999, 1},  {99950000, 1000},
  };
  for (const auto& [scaled, tenths] : cases) EXPECT_EQ(GraphValue(scaled), tenths) << scaled;
}

TEST_F(ConversionTest, AssignmentsBecomeOneColumnPerStockAndALinePerFish) {
  Make(1, 10);
  ASSERT_EQ(Convert(kConvertAssignments, 2), 1) << rec_.AllMessages();
  // Records 8 and 9 (fish 1 to 4): stocks 2,0,2,0 then 2,1,0,1.
  EXPECT_EQ(ReadText(Out("Coho_POP_01_1_ASCII.Sta")),
            "   0   0   1\r\n   1   0   0\r\n   0   0   1\r\n   1   0   0\r\n"
            "   0   0   1\r\n   0   1   0\r\n   1   0   0\r\n   0   1   0\r\n");
  EXPECT_EQ(written_, std::vector<std::string>{Out("Coho_POP_01_1_ASCII.Sta")});
}

// Assignments thinned twice as much: the last 4 compositions span the
// iterations of the last 2 assignment records.
TEST_F(ConversionTest, AssignmentTailCoversTheIterationsOfTheCompositionTail) {
  run_ = ReportRun(folder_, 1, -1);
  run_.settings.ThinSta = 2;
  WriteReportChain(run_, 0, 20, 10);
  ASSERT_EQ(Convert(kConvertAssignments | kConvertComposition, 4), 1) << rec_.AllMessages();
  EXPECT_EQ(Lines(ReadText(Out("Coho_POP_01_1_ASCII.Sta"))).size(), 2u * 4u);
  EXPECT_EQ(Lines(ReadText(Out("Coho_POP_01_1_ASCII.Ise"))).size(), 4u);
}

// Two levels and every kind: stock files once, group files once per level.
TEST_F(ConversionTest, CompositionLinesAreNumberedFromTheStartOfTheChain) {
  Make(2, 2000, 1000);
  ASSERT_EQ(Convert(kConvertAssignments | kConvertComposition | kConvertGroups, 500), 1)
      << rec_.AllMessages();
  std::vector<std::string> expected;
  for (const char* chain : {"1", "2"})
    for (const char* suffix : {"_ASCII.Sta", "_ASCII.Ise", "_Grp1_ASCII.Ise"})
      expected.push_back(Out(std::string("Coho_POP_01_") + chain + suffix));
  for (const char* chain : {"1", "2"})
    expected.push_back(Out(std::string("Coho_POP_01_") + chain + "_Grp2_ASCII.Ise"));
  EXPECT_EQ(written_, expected);

  const std::vector<std::string> stocks = Lines(ReadText(Out("Coho_POP_01_1_ASCII.Ise")));
  ASSERT_EQ(stocks.size(), 500u);
  // Record 1500: 52,469,134 / 30,000,000 / 17,530,866.
  EXPECT_EQ(stocks.front(), "    1501 0.524691 0.300000 0.175309");
  EXPECT_EQ(stocks.back().substr(0, 8), "    2000");
  const std::vector<std::string> north = Lines(ReadText(Out("Coho_POP_01_1_Grp1_ASCII.Ise")));
  ASSERT_EQ(north.size(), 500u);
  EXPECT_EQ(north.front(), "    1501 0.824691 0.175309");
  const std::vector<std::string> coast = Lines(ReadText(Out("Coho_POP_01_2_Grp2_ASCII.Ise")));
  ASSERT_EQ(coast.size(), 500u);
  EXPECT_EQ(coast.front(), "    1501 1.000000");
  EXPECT_EQ(Lines(ReadText(Out("Coho_POP_01_2_ASCII.Sta"))).size(), 500u * 4u);
}

TEST_F(ConversionTest, KeepingMoreThanTheChainHoldsConvertsEveryRecord) {
  Make(1, 250);
  ASSERT_EQ(Convert(kConvertComposition, 100000), 1) << rec_.AllMessages();
  const std::vector<std::string> lines = Lines(ReadText(Out("Coho_POP_01_1_ASCII.Ise")));
  ASSERT_EQ(lines.size(), 250u);
  EXPECT_EQ(lines.front(), "       1 0.500000 0.300000 0.200000");
}

// One source block of 2500 records becomes graph blocks of 1000, 1000 and
// 500, then the identifier and name blocks.
TEST_F(ConversionTest, BinaryGraphSplitsPiecesIntoBlocksOfAtMostAThousand) {
  Make(1, 2500, 5000);
  ASSERT_EQ(Convert(kConvertAssignments | kConvertComposition | kConvertGroups |
                        kConvertBinaryGraph,
                    2500),
            1)
      << rec_.AllMessages();
  EXPECT_TRUE(FileExists(Out("Coho_POP_01_1_ASCII.Sta")));  // assignments stay ASCII
  EXPECT_FALSE(FileExists(Out("Coho_POP_01_1_ASCII.Ise")));

  struct Expect {
    const char* name;
    uint32_t values;
    uint32_t slot;
    std::vector<uint32_t> ids;
    std::vector<std::string> names;
  };
  const Expect expects[] = {
      {"Coho_POP_01_1.gse", 3, 12, {11, 12, 13}, {"Alpha Creek", "Bear River", "Cedar Lake"}},
      {"Coho_POP_01_1_Grp1.gse", 2, 8, {10, 20}, {"North", "South"}},
      {"Coho_POP_01_1_Grp2.gse", 1, 8, {1}, {"Coast"}},
  };
  for (const Expect& e : expects) {
    SCOPED_TRACE(e.name);
    std::FILE* file = std::fopen(Out(e.name).c_str(), "rb");
    ASSERT_NE(file, nullptr);
    uint8_t head[kSampleFileHeaderSize];
    ASSERT_EQ(std::fread(head, 1, sizeof head, file), sizeof head);
    EXPECT_EQ(std::memcmp(head, kGraphFileMagic, kMagicSize), 0);
    const SampleFileHeader header = DecodeSampleFileHeader(head);
    EXPECT_EQ(header.blockCapacity, 1000u);
    EXPECT_EQ(header.recordCount, 2500u);
    EXPECT_EQ(header.valuesPerRecord, e.values);
    EXPECT_EQ(header.thinning, 1u);
    EXPECT_EQ(header.elementSize, 2u);
    EXPECT_EQ(header.reserved, 0u);
    std::vector<uint8_t> data;
    SampleBlockHeader block;
    uint32_t record = 0;
    for (uint32_t size : {1000u, 1000u, 500u}) {
      ASSERT_EQ(ReadSampleBlockToVector(file, data, 1u << 20, &block), BlockStatus::kOk);
      ASSERT_EQ(block.count, size);
      ASSERT_EQ(data.size(), size * e.values * 2u);
      for (uint32_t r = 0; r < size; ++r, ++record) {
        const std::vector<int32_t> v = Composition(record, 0);
        const std::vector<uint64_t> sums =
            e.values == 3   ? std::vector<uint64_t>{uint64_t(v[0]), uint64_t(v[1]), uint64_t(v[2])}
            : e.values == 2 ? std::vector<uint64_t>{uint64_t(v[0]) + v[1], uint64_t(v[2])}
                            : std::vector<uint64_t>{uint64_t(v[0]) + v[1] + v[2]};
        for (uint32_t k = 0; k < e.values; ++k) {
          const std::size_t at = (static_cast<std::size_t>(r) * e.values + k) * 2;
          ASSERT_EQ(data[at] | data[at + 1] << 8, GraphValue(sums[k])) << record << " " << k;
        }
      }
    }
    ASSERT_EQ(ReadSampleBlockToVector(file, data, 1u << 20, &block), BlockStatus::kOk);
    EXPECT_EQ(block.count, e.slot);
    ASSERT_EQ(data.size(), e.ids.size() * 4);
    for (std::size_t i = 0; i < e.ids.size(); ++i)
      EXPECT_EQ(uint32_t(data[i * 4]) | uint32_t(data[i * 4 + 1]) << 8, e.ids[i]);
    ASSERT_EQ(ReadSampleBlockToVector(file, data, 1u << 20, &block), BlockStatus::kOk);
    EXPECT_EQ(block.count, e.slot);
    ASSERT_EQ(data.size(), e.names.size() * e.slot);
    for (std::size_t i = 0; i < e.names.size(); ++i) {
      std::string slot(reinterpret_cast<const char*>(&data[i * e.slot]), e.slot);
      EXPECT_EQ(slot, e.names[i] + std::string(e.slot - e.names[i].size(), '\0'));
    }
    EXPECT_EQ(ReadSampleBlockToVector(file, data, 1u << 20, &block), BlockStatus::kEnd);
    std::fclose(file);
  }
}

TEST_F(ConversionTest, BadSourcesAndRefusedOutputsEndTheConversion) {
  struct Case {
    const char* what;
    std::function<void(ConversionTest&)> spoil;
    std::string message;  // with SOURCE for the source path, OUTPUT for the output path
  };
  const Case cases[] = {
      {"missing source",
       [](ConversionTest& t) {
         std::remove(BuildRunFileName(t.run_, 0, kNoReport, kNoGroup, kExtComposition).c_str());
       },
       "Cannot Open SOURCE: No such file or directory"},
      {"not a sample file",
       [](ConversionTest& t) {
         std::ofstream(BuildRunFileName(t.run_, 0, kNoReport, kNoGroup, kExtComposition),
                       std::ios::binary)
             << "this is text, not samples, and longer than a header";
       },
       "SOURCE is not a valid binary Mixora file"},
      {"other stock count", [](ConversionTest& t) { t.run_.settings.NumberOfStocks = 4; },
       "Dimension mismatch in SOURCE."},
      {"output exists, answer no",
       [](ConversionTest& t) { std::ofstream(t.Out("Coho_POP_01_1_ASCII.Ise")) << "keep me"; },
       "Overwrite OUTPUT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Make(1, 10);
    fs::remove(Out("Coho_POP_01_1_ASCII.Ise"));
    rec_.messages.clear();
    c.spoil(*this);
    EXPECT_EQ(Convert(kConvertComposition, 5), 0);
    std::string message = c.message;
    ReplaceAll(message, "SOURCE", BuildRunFileName(run_, 0, kNoReport, kNoGroup, kExtComposition));
    ReplaceAll(message, "OUTPUT", Out("Coho_POP_01_1_ASCII.Ise"));
    EXPECT_EQ(rec_.messages, std::vector<std::string>{message});
    EXPECT_TRUE(written_.empty());
  }
  EXPECT_EQ(ReadText(Out("Coho_POP_01_1_ASCII.Ise")), "keep me");
}

TEST_F(ConversionTest, DamagedBlockIsReportedAsAFailedConversion) {
  Make(1, 300);
  const std::string source = BuildRunFileName(run_, 0, kNoReport, kNoGroup, kExtComposition);
  fs::resize_file(source, fs::file_size(source) - 5);
  EXPECT_EQ(Convert(kConvertComposition, 300), 0);
  // The damaged input is named, with the block and what is wrong with it.
  ASSERT_EQ(rec_.messages.size(), 1u);
  EXPECT_EQ(rec_.messages[0].rfind("Error converting " + Out("Coho_POP_01_1_ASCII.Ise") + ".\r\n" +
                                       source + ": block at byte ",
                                   0),
            0u)
      << rec_.messages[0];
  EXPECT_NE(rec_.messages[0].find("block cut short"), std::string::npos) << rec_.messages[0];
}

}  // namespace
}  // namespace mixora
