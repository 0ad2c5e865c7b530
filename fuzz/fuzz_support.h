#pragma once
// Shared pieces of the fuzz targets: most readers take a path, so each input
// is written to a file in a scratch folder of this process (on /dev/shm when
// it exists, so the disk is not worn by millions of rewrites).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/interaction.h"

namespace mixora::fuzzing {

inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/mixora-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    // Left behind by a crash, the folder would pile up between runs; a
    // normal exit removes it.
    static std::string keep = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(keep, ignored);
    });
    return pattern;
  }();
  return folder;
}

inline std::string ScratchFile(const std::string& name) { return ScratchFolder() + "/" + name; }

// Writes the input as the file `name` of the scratch folder and returns its path.
inline std::string WriteInput(const std::string& name, const uint8_t* data, std::size_t size) {
  const std::string path = ScratchFile(name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  return path;
}

// Every box answered as nobody is there to ask: OK, No, Cancel.
inline const Interaction& SilentUi() {
  static const Interaction ui = [] {
    Interaction quiet;
    quiet.quiet = true;
    quiet.message = [](uint32_t type, const std::string&) { return DefaultAnswer(type); };
    return quiet;
  }();
  return ui;
}

}  // namespace mixora::fuzzing
