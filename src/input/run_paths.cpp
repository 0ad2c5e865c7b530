#include "input/run_paths.h"

#include <filesystem>

#include "core/paths.h"

namespace mixora {

std::string DefaultRunControlPath(const std::string& controlPath, const std::string& outputFolder) {
  std::string folder = FolderOf(controlPath);
  if (!outputFolder.empty())
    folder = std::filesystem::path(outputFolder).is_absolute() ? outputFolder : JoinPath(folder, outputFolder);
  return JoinPath(folder, ReplaceExtension(FileNameOf(controlPath), "rcf"));
}

std::string InputRoleOf(const Control& control, const std::string& controlPath,
                        const std::string& path) {
  auto same = [&path](const std::string& input) {
    std::error_code ec;
    return !input.empty() && std::filesystem::equivalent(path, input, ec);
  };
  if (same(controlPath)) return "the control file";
  if (control.settings) {
    if (same(GetField(control.settings->BaselineFile))) return "the baseline";
    if (same(GetField(control.settings->MixtureFile))) return "the mixture";
  }
  return "";
}

}  // namespace mixora
