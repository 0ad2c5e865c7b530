#pragma once
// The example run cut short for tests that need a real run quickly: its
// baseline, mixture and simulation control file copied into a folder, and
// its control file rewritten for two chains of 400 iterations saved every
// 100.
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "support/cli_runner.h"

namespace mixora::testing_support {

inline void WriteShortExampleRun(const std::filesystem::path& folder) {
  const std::filesystem::path source = std::filesystem::path(MIXORA_EXAMPLES_DIR) / "tavrin";
  for (const char* name : {"tavrin_baseline.bse", "tavrin_mixture.gen", "tavrin_sim.mcf"})
    std::filesystem::copy_file(source / name, folder / name);
  std::string text = ReadFileBytes(source / "tavrin.tcf");
  text = std::regex_replace(text, std::regex("NumberOfChains = \\d+"), "NumberOfChains = 2");
  text = std::regex_replace(text, std::regex("NumberOfReps = \\d+"), "NumberOfReps = 400");
  text = std::regex_replace(text, std::regex("SaveEvery = \\d+"), "SaveEvery = 100");
  text = std::regex_replace(text, std::regex("NumberToKeep = \\d+"), "NumberToKeep = 100");
  std::ofstream(folder / "tavrin.tcf", std::ios::binary) << text;
}

}  // namespace mixora::testing_support
