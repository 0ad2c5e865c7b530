#pragma once
// Scratch folders of input files and the whole load of a run over them, as
// `mixora load` performs it, with checks that what loads is sound.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "input/control_file_kind.h"
#include "input/data_checks.h"
#include "input/load_control.h"
#include "input/load_data.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_control_writer.h"
#include "support/temp_folder.h"

namespace mixora::damage_testing {

namespace fs = std::filesystem;

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string Example(const std::string& relative) {
  return ReadBytes(std::string(MIXORA_EXAMPLES_DIR) + "/" + relative);
}

inline std::string TestData(const std::string& relative) {
  return ReadBytes(std::string(MIXORA_TEST_DATA_DIR) + "/" + relative);
}

// A folder holding one run's input files under fixed names.
class RunFolder {
 public:
  explicit RunFolder(const std::string& name)
      : folder_(testing_support::NewTempFolder("robust_" + name)) {}
  ~RunFolder() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  void Put(const std::string& name, const std::string& bytes) {
    inputs_[name] = bytes;
    WriteBytes(Path(name), bytes);
  }
  const std::string& Original(const std::string& name) const { return inputs_.at(name); }

  // Every input back as it was, every file a run wrote gone. Inputs that
  // still hold their bytes are left alone.
  void Reset() {
    for (const auto& entry : fs::directory_iterator(folder_))
      if (!inputs_.count(entry.path().filename().string())) fs::remove_all(entry.path());
    for (const auto& [name, bytes] : inputs_)
      if (ReadBytes(Path(name)) != bytes) WriteBytes(Path(name), bytes);
  }

 private:
  fs::path folder_;
  std::map<std::string, std::string> inputs_;
};

struct Outcome {
  bool ready = false;
  std::string failure;   // the step that failed, or the reason the file is no control file
  std::string log;
  std::string messages;  // what was shown through the interaction table
  std::string rcf;       // bytes of the run control file written on success
};

inline void ExpectLoadedConsistent(const Control& control) {
  const BaselineData& base = *control.baseline;
  const std::size_t S = static_cast<std::size_t>(base.stockCount);
  const std::size_t C = static_cast<std::size_t>(base.charCount);
  const std::size_t A = static_cast<std::size_t>(base.maxAlleles);
  ASSERT_EQ(base.counts.size(), S * C * A);
  ASSERT_EQ(base.totals.size(), S * C);
  ASSERT_EQ(base.alleleCount.size(), C);
  ASSERT_EQ(base.stockId.size(), S);
  for (int32_t k : base.alleleCount) ASSERT_LE(k, base.maxAlleles);
  for (int32_t n : base.counts) ASSERT_GE(n, 0);

  const MixtureData& mix = *control.mixture;
  const std::size_t F = static_cast<std::size_t>(mix.fishCount);
  const std::size_t M = static_cast<std::size_t>(mix.charCount);
  ASSERT_EQ(mix.genotypes.size(), F * M * 2);
  ASSERT_EQ(mix.fishNames.size(), F);
  ASSERT_EQ(mix.fishFlags.size(), F);
  ASSERT_EQ(mix.charId.size(), M);
  for (int32_t g : mix.genotypes) {
    ASSERT_GE(g, 0);
    ASSERT_LE(g, control.characters->maxAlleles);
  }
}

inline void ExpectRunRecordSound(const RunRecord& r) {
  const std::size_t S = static_cast<std::size_t>(r.settings.NumberOfStocks);
  const std::size_t C = static_cast<std::size_t>(r.settings.NumberOfChars);
  const std::size_t A = static_cast<std::size_t>(r.maxAlleles);
  ASSERT_EQ(r.charNames.size(), C);
  ASSERT_EQ(r.stockNames.size(), S);
  ASSERT_EQ(r.counts.size(), S * C * A);
  ASSERT_EQ(r.fishNames.size(), static_cast<std::size_t>(r.fishCount));
  ASSERT_EQ(r.genotypes.size(), static_cast<std::size_t>(r.fishCount) * C * 2);
  for (std::size_t c = 0; c < C; ++c) ASSERT_LE(r.alleleCount[c], r.maxAlleles);
  for (std::size_t i = 0; i < r.genotypes.size(); ++i)
    ASSERT_LE(r.genotypes[i], r.alleleCount[(i / 2) % C]);
  // Priors that are not numbers would send every chain astray without a word.
  for (double b : r.beta) ASSERT_TRUE(std::isfinite(b) && b >= 0) << "stock prior " << b;
  for (double p : r.allelePrior) ASSERT_TRUE(std::isfinite(p)) << "allele prior " << p;
  for (double l : r.lambda) ASSERT_TRUE(std::isfinite(l)) << "character weight " << l;
}

// The load of `mixora load`: control file, baseline, mixture, their checks,
// then the run control file, read back whole and per mixture.
inline Outcome RunLoad(const std::string& controlPath, const std::string& rcfPath) {
  Outcome out;
  Interaction ui;
  ui.message = [&out](uint32_t type, const std::string& text) {
    out.messages += text + "\n";
    return DefaultAnswer(type);
  };
  auto control = std::make_unique<Control>();
  auto fail = [&](const std::string& why) {
    out.failure = why;
    out.log = control->log.text;
    return out;
  };
  std::string problem;
  int32_t kind = ClassifyControlFile(controlPath, &problem);
  if (kind != kControlSpam && kind != kControlMixora)
    return fail(problem.empty() ? controlPath + " is not a control file" : problem);
  control->controlKind = kind;
  if (LoadControlFile(controlPath, *control) != 0) return fail("control file load");
  if (LoadBaseline(*control) != 0) return fail("baseline load");
  if (CheckBaseline(*control) != 0) return fail("baseline check");
  if (LoadMixture(*control) != 0) return fail("mixture load");
  ErrorFlags checked = CheckMixture(*control);
  FormatBaselineSummary(*control);
  FormatMixtureSummary(*control);
  if (checked & (kErrAlleleNotSeen | kErrNoAlleles)) return fail("mixture check");

  ExpectLoadedConsistent(*control);
  RunSettings& settings = *control->settings;
  settings.FileKinds[0] = static_cast<uint8_t>(control->controlKind);
  settings.FileKinds[1] = static_cast<uint8_t>(control->baselineFormat);
  settings.FileKinds[2] = static_cast<uint8_t>(control->mixtureFormat);
  if (GenerateRunControlFile(ui, *control, rcfPath) != 1) return fail("run control file");
  std::unique_ptr<RunRecord> whole = ReadNewControl(rcfPath, ui);
  if (!whole) return fail("run control file read back");
  ExpectRunRecordSound(*whole);
  for (int p = 0; p < whole->mixtureCount; ++p) {
    std::unique_ptr<RunRecord> one = ReadRunControl(ui, rcfPath, p);
    if (!one) return fail("mixture " + std::to_string(p) + " of the run control file");
    ExpectRunRecordSound(*one);
  }
  out.ready = true;
  out.log = control->log.text;
  out.rcf = ReadBytes(rcfPath);
  return out;
}

}  // namespace mixora::damage_testing
