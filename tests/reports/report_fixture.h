#pragma once
// A small run of three stocks in two grouping levels, four mixture fish and
// one excluded fish, whose chains' sample files are made from formulas, for
// the report, conversion and runner tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "reports/report_job.h"
#include "runfiles/run_record.h"
#include "runfiles/sample_file_writer.h"
#include "runfiles/sample_files_fixture.h"

namespace mixora::testing_reports {

using testing_samples::TempFolder;

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// Stocks "Alpha Creek", "Bear River", "Cedar Lake" (ids 11, 12, 13). Level 1:
// "North" (id 10) holds Alpha and Bear, "South" (id 20) holds Cedar; level
// 2: "Coast" (id 1) holds all three. Fish "Fish 1".."Fish 4"; "Fish 5" left
// out for too many missing loci and alleles not seen in the baseline.
inline RunRecord ReportRun(const TempFolder& folder, int chains, int numberToKeep) {
  RunRecord run;
  run.controlPath = folder.File("Coho.rcf");
  run.runTitle = "Coho_POP_01";
  RunSettings& s = run.settings;
  s.NumberOfStocks = 3;
  s.NumberOfChains = chains;
  s.Levels = 2;
  s.ThinIse = 1;
  s.ThinSta = 1;
  s.SaveEvery = 100;
  s.NumberToKeep = numberToKeep;
  s.Percentile = 0.975;
  s.Quantile = 0.975;
  s.Accuracy = 0.02;
  s.Probability = 0.95;
  SetField(s.Title, run.runTitle);
  run.stockId = {11, 12, 13};
  run.stockNames = {"Alpha Creek", "Bear River", "Cedar Lake"};
  run.stockNameWidth = 11;
  run.groupAt = {{0, 0, 1}, {0, 0, 0}};
  run.groupNameWidth = 5;
  run.levelGroupCount = {2, 1};
  run.levelGroupId = {{10, 20}, {1}};
  run.levelGroupNames = {{"North", "South"}, {"Coast"}};
  run.fishCount = 4;
  run.fishNames = {"Fish 1", "Fish 2", "Fish 3", "Fish 4"};
  run.fishNameWidth = 6;
  run.badCount = 1;
  run.badFlags = {static_cast<int32_t>((0x8u | 0x10u) << 16)};
  run.badNames = {"Fish 5"};
  return run;
}

// Composition record r of chain c: three scaled proportions that sum to
// 100,000,000 and move with r and c.
inline std::vector<int32_t> Composition(uint32_t r, int c) {
  const int32_t a = 50000000 + 1234567 * static_cast<int32_t>(r % 7) + 3000000 * c;
  const int32_t b = 30000000 - 777777 * static_cast<int32_t>(r % 5);
  return {a, b, 100000000 - a - b};
}

// Assignment record r of chain c: fish 1 always in Cedar Lake; fish 2
// alternates between Alpha Creek and Bear River; fish 3 and 4 wander.
inline std::vector<int32_t> Assignment(uint32_t r, int c) {
  return {2, static_cast<int32_t>(r % 2), static_cast<int32_t>((r / 3 + c) % 3),
          static_cast<int32_t>((r * 7 + 1) % 3)};
}

// Writes chain c's two sample files through the chain writer: compositions
// records, and assignments records (a different count models another
// thinning of the assignments).
using RecordMaker = std::function<std::vector<int32_t>(uint32_t r, int c)>;

inline void WriteReportChain(RunRecord& run, int c, uint32_t compositions, uint32_t assignments,
                             const RecordMaker& composition = Composition,
                             const RecordMaker& assignment = Assignment) {
  ChainSampleFiles files;
  // Earlier files of the same name are replaced without asking; the run's
  // own answer is left as it was.
  const bool overwriteAll = run.overwriteAll;
  run.overwriteAll = true;
  const int opened = OpenChainOutputs(files, run, c, 1, 2, false, Interaction{});
  run.overwriteAll = overwriteAll;
  ASSERT_EQ(opened, 0);
  for (uint32_t r = 0; r < compositions; ++r)
    ASSERT_EQ(AppendCompositionRecord(files, composition(r, c).data()), 1);
  for (uint32_t r = 0; r < assignments; ++r)
    ASSERT_EQ(AppendAssignmentRecord(files, assignment(r, c).data()), 1);
  ASSERT_EQ(CloseChainSamples(files), 1);
  std::fclose(files.chainLog);
}

// Records every message, status and display text a report produces.
struct Recorder {
  std::vector<std::string> messages;
  std::vector<std::string> status[3];
  std::vector<std::string> display;
  int64_t progressCalls = 0;
  Interaction ui;
  Recorder() {
    ui.message = [this](uint32_t type, const std::string& text) {
      messages.push_back(text);
      return DefaultAnswer(type);
    };
    ui.status = [this](int part, const std::string& text) {
      if (part >= 0 && part < 3) status[part].push_back(text);
    };
    ui.progress = [this](const std::string&, int64_t, int64_t) { ++progressCalls; };
  }
  void Attach(ReportJob& job) {
    job.ui = ui;
    job.display.status = [this](const std::string& text) { display.push_back(text); };
  }
  std::string AllMessages() const {
    std::string all;
    for (const std::string& m : messages) all += m + "\n";
    return all;
  }
};

}  // namespace mixora::testing_reports

namespace mixora::testing_reports {

// The report text with the temporary folder replaced by "FOLDER", so that it
// can be compared with a stored file.
inline std::string StableText(const std::string& path, const std::string& folder) {
  std::string text = ReadText(path);
  ReplaceAll(text, folder + "/", "FOLDER/");
  return text;
}

// Compares text with tests/data/reports/<name> byte for byte. With
// MIXORA_UPDATE_GOLDEN set the file is written instead (review it by hand).
inline void ExpectGolden(const std::string& text, const std::string& name) {
  const std::string path = std::string(MIXORA_TEST_DATA_DIR) + "/reports/" + name;
  if (std::getenv("MIXORA_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << text;
    return;
  }
  const std::string golden = ReadText(path);
  ASSERT_FALSE(golden.empty()) << path << " is missing";
  EXPECT_EQ(text, golden) << "differs from " << path;
}

}  // namespace mixora::testing_reports
