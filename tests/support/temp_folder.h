#pragma once
// Scratch folders for tests. ctest runs test processes side by side, and a
// second build's tests may run on the same machine at the same time, so a
// folder named only after its test is not enough: two processes would fill
// and delete each other's files.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>

namespace mixora::testing_support {

// Creates a new, empty folder that no other process holds; the tag only
// helps a person find it.
inline std::filesystem::path NewTempFolder(std::string tag) {
  for (char& c : tag)
    if (c == '/' || c == '\\') c = '_';
  std::string pattern =
      (std::filesystem::temp_directory_path() / ("mixora_" + tag + "_XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a scratch folder like " + pattern);
  return pattern;
}

// A fresh scratch folder, removed with everything in it when the object goes.
class ScopedTempFolder {
 public:
  explicit ScopedTempFolder(std::string tag) : path_(NewTempFolder(std::move(tag))) {}
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;
  ~ScopedTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace mixora::testing_support
