#include "core/file_helpers.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/string_format.h"
#include "core/system_error.h"

namespace mixora {

int CheckWritable(const Interaction* ui, const std::string& path) {
  std::error_code ec;
  int failure = 0;
  if (path.empty()) {
    failure = ENOENT;
  } else if (std::filesystem::is_directory(path, ec)) {
    failure = EISDIR;
  } else if (std::filesystem::exists(path, ec)) {
    // Read-only is the file's own mark (no write permission for anyone), which
    // holds even for a user the system would let write anyway.
    using std::filesystem::perms;
    perms mode = std::filesystem::status(path, ec).permissions();
    bool readOnly = (mode & (perms::owner_write | perms::group_write | perms::others_write)) ==
                    perms::none;
    if (readOnly || ::access(path.c_str(), W_OK) != 0) failure = EACCES;
  } else {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
      failure = errno;
    } else {
      ::close(fd);
      ::unlink(path.c_str());
    }
  }
  if (failure == 0) return 1;
  errno = failure;
  if (ui) ReportSystemError(*ui, "Cannot write to", path);
  errno = failure;
  return 0;
}

std::FILE* CreateOutputFile(const Interaction& ui, const std::string& path,
                             bool& overwriteAll, PendingFile& pending) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !AskOverwrite(ui, path, overwriteAll)) return nullptr;
  std::FILE* file = std::filesystem::is_directory(path, ec) ? nullptr : OpenPendingFile(pending, path);
  if (!file) ShowMessage(ui, uint32_t{kMbOk} | kMbIconWarning, "Cannot Open %s: %s", path.c_str(), SystemErrorText(errno).c_str());
  return file;
}

std::string FolderSpaceText(const std::string& folder) {
  std::error_code ec;
  std::filesystem::space_info space = std::filesystem::space(folder, ec);
  if (ec) return folder + "\nError getting free space";
  return folder + "\n" + FormatSizeText(space.available) + " available disk space";
}

}  // namespace mixora
