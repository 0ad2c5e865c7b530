#pragma once
// Scratch files for the control-file tests: a fresh folder per test, removed
// afterwards, and the fixtures under tests/data/control.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include "support/temp_folder.h"

namespace mixora::testing {

inline std::string ControlFixture(const std::string& name) {
  return std::string(MIXORA_TEST_DATA_DIR) + "/control/" + name;
}

class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = testing_support::NewTempFolder(std::string("ctl_") + info->test_suite_name() + "_" +
                                             info->name());
  }
  ~ScratchFolder() { std::filesystem::remove_all(folder_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Writes bytes as given (tests choose their own line ends) and returns the path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

 private:
  std::filesystem::path folder_;
};

// Text lines joined with CR LF.
inline std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Whether the log holds this exact line.
inline bool LogHasLine(const std::string& log, const std::string& line) {
  std::string wanted = line + "\r\n";
  return log.compare(0, wanted.size(), wanted) == 0 || log.find("\n" + wanted) != std::string::npos;
}

}  // namespace mixora::testing
