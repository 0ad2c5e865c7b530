#include "sampler/chain_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "runfiles/run_control_reader.h"
#include "runfiles/run_file_names.h"

namespace mixora {

int LockChainFile(const std::string& path) {
  // A holder removes the file before letting go, so a lock won on a file
  // that is no longer at path is a lock on nothing: open it again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return kChainLockFailed;
    // flock is carried by NFS as a whole-file lock, so it holds across
    // machines as well.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return error == EWOULDBLOCK ? kChainLockBusy : kChainLockFailed;
    }
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino)
      return fd;
    ::close(fd);
  }
  errno = EAGAIN;
  return kChainLockFailed;
}

bool ChainLockHeld(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  // A shared lock conflicts only with the holder's exclusive one, and is
  // given back at once.
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

std::string RunningChainLock(const std::string& rcfPath) {
  std::unique_ptr<RunRecord> whole = ReadNewControl(rcfPath, Interaction{});
  if (whole == nullptr) return {};
  RunRecord names;
  names.controlPath = rcfPath;
  for (int p = 0; p < whole->mixtureCount; ++p) {
    names.runTitle = RunTitleFor(whole->mixtureTitle, p);
    for (int c = 0; c < whole->settings.NumberOfChains; ++c) {
      const std::string path = ChainLockPath(BuildRunFileName(names, c, kNoReport, kNoGroup, kExtRestart));
      if (ChainLockHeld(path)) return path;
    }
  }
  return {};
}

std::string ChainLockPath(const std::string& restartPath) {
  return restartPath.substr(0, restartPath.size() - 3) + "lock";
}

void UnlockChainFile(int& fd, const std::string& path) {
  if (fd < 0) return;
  ::unlink(path.c_str());
  ::close(fd);
  fd = -1;
}

}  // namespace mixora
