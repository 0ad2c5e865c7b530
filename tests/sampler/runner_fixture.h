#pragma once
// Runs for chain runner tests: the small three-mixture fixture, with chosen
// keywords changed, loaded through every load step into a run control file
// in a scratch folder; and the records of a sample file read back.
#include <stdlib.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/interaction.h"
#include "input/control.h"
#include "input/data_checks.h"
#include "input/load_control.h"
#include "input/load_data.h"
#include "runfiles/run_control_writer.h"
#include "runfiles/sample_file_reader.h"
#include "support/temp_folder.h"

namespace mixora::runner_testing {

namespace fs = std::filesystem;

class ScratchFolder {
 public:
  ScratchFolder() {
    path_ = testing_support::NewTempFolder("runner").string();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

using Keywords = std::vector<std::pair<std::string, std::string>>;

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The small fixture's control file with each keyword set to its value
// (replacing its line, or added after the title).
inline std::string SmallControlText(const Keywords& keywords) {
  std::istringstream in(ReadText(std::string(MIXORA_TEST_DATA_DIR) + "/rcf/small.tcf"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  for (const auto& [key, value] : keywords) {
    const std::string setting = key + " = " + value;
    bool replaced = false;
    for (std::string& line : lines) {
      if (line.rfind(key + " ", 0) == 0 || line.rfind(key + "=", 0) == 0) {
        line = setting;
        replaced = true;
      }
    }
    if (!replaced) {
      for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("Title", 0) == 0) {
          lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i + 1), setting);
          break;
        }
      }
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Loads the changed small fixture in folder and writes folder/small.rcf,
// whose outputs go beside it. Returns its path, or "" with the log in why.
inline std::string MakeSmallRun(const std::string& folder, const Keywords& keywords,
                                std::string& why) {
  const std::string data = std::string(MIXORA_TEST_DATA_DIR) + "/rcf/";
  for (const char* name : {"small_baseline.bse", "small_mixture.gen"})
    fs::copy_file(data + name, folder + "/" + name, fs::copy_options::overwrite_existing);
  const std::string control = folder + "/small.tcf";
  std::ofstream(control, std::ios::binary) << SmallControlText(keywords);

  Control run;
  run.controlKind = kControlMixora;
  if (LoadControlFile(control, run) != 0 || LoadBaseline(run) != 0 || CheckBaseline(run) != 0 ||
      LoadMixture(run) != 0 || CheckMixture(run) != 0) {
    why = run.log.text;
    return "";
  }
  run.settings->FileKinds[0] = static_cast<uint8_t>(run.controlKind);
  run.settings->FileKinds[1] = static_cast<uint8_t>(run.baselineFormat);
  run.settings->FileKinds[2] = static_cast<uint8_t>(run.mixtureFormat);
  Interaction quiet;
  const std::string rcf = folder + "/small.rcf";
  if (GenerateRunControlFile(quiet, run, rcf) != 1) {
    why = "cannot write " + rcf;
    return "";
  }
  return rcf;
}

// Every record of a sample file, values in order, with the file's header.
struct SampleRecords {
  SampleFileHeader header;
  std::vector<uint32_t> values;
  std::string error;
};

inline SampleRecords ReadAllRecords(const std::string& path) {
  SampleRecords out;
  SampleFileReader reader;
  if (OpenSampleFileForReading(reader, path) == 0) {
    out.error = reader.error;
    return out;
  }
  out.header = reader.header;
  const uint32_t width = reader.header.valuesPerRecord;
  ReadKeptRecords(reader, 0, reader.header.recordCount, [&](uint32_t, const uint32_t* values) {
    out.values.insert(out.values.end(), values, values + width);
    return true;
  });
  out.error = reader.error;
  CloseSampleFileReader(reader);
  return out;
}

// A point a chain thread waits at until the test lets it go on.
struct Gate {
  std::mutex lock;
  std::condition_variable changed;
  bool reached = false;
  bool released = false;

  void Arrive() {
    std::unique_lock<std::mutex> hold(lock);
    reached = true;
    changed.notify_all();
    changed.wait(hold, [this] { return released; });
  }
  void WaitArrival() {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [this] { return reached; });
  }
  void Release() {
    std::lock_guard<std::mutex> hold(lock);
    released = true;
    changed.notify_all();
  }
};

// Answers every box with Yes, or the default answer, and keeps what was shown.
struct Boxes {
  std::mutex lock;
  std::vector<std::pair<uint32_t, std::string>> shown;
  bool answerYes = false;
  Interaction ui;
  Boxes() {
    ui.message = [this](uint32_t type, const std::string& text) {
      std::lock_guard<std::mutex> hold(lock);
      shown.emplace_back(type, text);
      return answerYes ? kIdYes : DefaultAnswer(type);
    };
  }
  std::string All() {
    std::lock_guard<std::mutex> hold(lock);
    std::string text;
    for (const auto& box : shown) text += box.second + "\n";
    return text;
  }
};

}  // namespace mixora::runner_testing
