#include "core/paths.h"

#include <filesystem>

namespace mixora {

namespace {
std::size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }
}  // namespace

std::string FolderOf(const std::string& path) {
  std::size_t at = LastSeparator(path);
  if (at == std::string::npos) return "";
  if (at == 0) return path.substr(0, 1);
  return path.substr(0, at);
}

std::string FileNameOf(const std::string& path) {
  std::size_t at = LastSeparator(path);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  char last = folder.back();
  if (last == '/' || last == '\\') return folder + name;
  return folder + static_cast<char>(std::filesystem::path::preferred_separator) + name;
}

std::string ResolveBesideControlFile(const std::string& controlFilePath, const std::string& name) {
  if (name.empty() || name.find_first_of("/\\") != std::string::npos) return name;
  return JoinPath(FolderOf(controlFilePath), name);
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  std::size_t sep = LastSeparator(path);
  std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
    return path + "." + extension;
  return path.substr(0, dot + 1) + extension;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  std::filesystem::path pa = std::filesystem::weakly_canonical(a, ec);
  if (ec) return a == b;
  std::filesystem::path pb = std::filesystem::weakly_canonical(b, ec);
  if (ec) return a == b;
  return pa == pb;
}

}  // namespace mixora
