#pragma once
// A small run and a scripted chain that writes sample files through the
// writer, for the sample file and sample loader tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"
#include "runfiles/sample_file_writer.h"
#include "support/temp_folder.h"

namespace mixora::testing_samples {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    path_ = testing_support::NewTempFolder("samples");
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// Records every message box and answers with `answer` (0: the default).
struct MessageLog {
  std::vector<std::string> texts;
  int answer = 0;
  Interaction ui;
  MessageLog() {
    ui.message = [this](uint32_t type, const std::string& text) {
      texts.push_back(text);
      return answer != 0 ? answer : DefaultAnswer(type);
    };
  }
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Replaces the file by a new one: truncating a file that has data makes
// some file systems commit it to disk on close, which is slow in loops.
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::remove(path.c_str());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Run of `stocks` stocks and `fish` mixture fish titled "T_POP_01".
inline RunRecord SmallRun(const TempFolder& folder, int stocks, int fish, int saveEvery,
                          int chains = 1) {
  RunRecord run;
  run.controlPath = folder.File("T.rcf");
  run.runTitle = "T_POP_01";
  run.settings.NumberOfStocks = stocks;
  run.settings.NumberOfChains = chains;
  run.settings.ThinIse = 1;
  run.settings.ThinSta = 1;
  run.settings.SaveEvery = saveEvery;
  run.fishCount = fish;
  return run;
}

// Record contents that tell records and chains apart. Like a chain's own
// records they add up to the whole (1e8): the last of `stocks` stocks holds
// what the others leave.
inline int32_t CompositionValue(uint32_t record, uint32_t stock, int chain, uint32_t stocks) {
  auto small = [&](uint32_t s) {
    return record * 10 + s + 1000000u * static_cast<uint32_t>(chain);
  };
  if (stock + 1 < stocks) return static_cast<int32_t>(small(stock));
  uint32_t rest = 100000000u;
  for (uint32_t s = 0; s + 1 < stocks; ++s) rest -= small(s);
  return static_cast<int32_t>(rest);
}
inline int32_t AssignmentValue(uint32_t record, uint32_t fish, uint32_t stocks) {
  return static_cast<int32_t>((record + fish) % stocks);
}

// Appends records as the sampler does: composition every iteration,
// assignments every `assignmentsPerComposition`-th of an iteration, and the
// save whenever the composition buffer is full.
inline void AppendRecords(ChainSampleFiles& files, uint32_t compositionRecords, int chain = 0,
                          uint32_t assignmentsPerComposition = 1) {
  const uint32_t stocks = files.composition.valuesPerRecord;
  std::vector<int32_t> composition(stocks), assignment(files.assignment.valuesPerRecord);
  for (uint32_t i = 0; i < compositionRecords; ++i) {
    uint32_t r = files.composition.total;
    for (uint32_t s = 0; s < stocks; ++s) composition[s] = CompositionValue(r, s, chain, stocks);
    ASSERT_EQ(AppendCompositionRecord(files, composition.data()), 1);
    for (uint32_t a = 0; a < assignmentsPerComposition; ++a) {
      uint32_t ra = files.assignment.total;
      for (uint32_t f = 0; f < assignment.size(); ++f) assignment[f] = AssignmentValue(ra, f, stocks);
      ASSERT_EQ(AppendAssignmentRecord(files, assignment.data()), 1);
    }
    if (files.composition.pending >= files.composition.capacity) {
      ASSERT_EQ(FlushChainSamples(files), 1);
      ASSERT_EQ(CommitChainSamples(files), 1);
    }
  }
}

// A chain started afresh that appends `records` and closes.
inline void WriteChain(RunRecord& run, int chain, uint32_t records, const Interaction& ui = {}) {
  ChainSampleFiles files;
  ASSERT_EQ(OpenChainOutputs(files, run, chain, 11, 22, false, ui), 0);
  AppendRecords(files, records, chain);
  ASSERT_EQ(CloseChainSamples(files), 1);
  std::fclose(files.chainLog);
}

}  // namespace mixora::testing_samples
