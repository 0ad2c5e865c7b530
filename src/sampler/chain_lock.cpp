#include "sampler/chain_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

void UnlockChainFile(int& fd, const std::string& path) {
  if (fd < 0) return;
  ::unlink(path.c_str());
  ::close(fd);
  fd = -1;
}

}  // namespace mixora
