#include "core/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mixora {

void CommitFolderOf(const std::string& path) {
  char folder[4096];
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    std::strcpy(folder, ".");
  } else if (slash == 0) {
    std::strcpy(folder, "/");
  } else if (slash < sizeof folder) {
    std::memcpy(folder, path.data(), slash);
    folder[slash] = '\0';
  } else {
    return;
  }
  const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

namespace {

bool WriteAll(int fd, const uint8_t* data, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t wrote = ::write(fd, data + done, n - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (wrote == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// Writes and commits temp; false (temp removed) on failure.
bool WriteTemp(const std::string& temp, const uint8_t* data, std::size_t n) {
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, n) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = error;
  }
  return ok;
}

}  // namespace

int CreateFileOnce(const std::string& temp, const std::string& path, const uint8_t* data,
                   std::size_t n) {
  if (::access(path.c_str(), F_OK) == 0) return 0;
  if (!WriteTemp(temp, data, n)) return -1;
  const int linked = ::link(temp.c_str(), path.c_str());
  const int error = errno;
  ::unlink(temp.c_str());
  if (linked == 0) {
    CommitFolderOf(path);
    return 1;
  }
  errno = error;
  return error == EEXIST ? 0 : -1;
}

int AppendLocked(int fd, const uint8_t* data, std::size_t n) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  // A lock that cannot be had (a file system without locks) still leaves the
  // single O_APPEND write, which local file systems keep whole.
  bool locked = false;
  while (!(locked = ::fcntl(fd, F_SETLKW, &whole) == 0) && errno == EINTR) {
  }
  const bool ok = WriteAll(fd, data, n) && ::fsync(fd) == 0;
  const int error = errno;
  if (locked) {
    whole.l_type = F_UNLCK;
    ::fcntl(fd, F_SETLK, &whole);
  }
  errno = error;
  return ok ? 1 : 0;
}

// Writes the bytes to temp, commits them and renames temp over path. On
// failure temp is removed, path is untouched and errno tells why.
int ReplaceFileAtomically(const std::string& temp, const std::string& path, const uint8_t* data,
                          std::size_t n) {
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return 0;
  std::size_t done = 0;
  while (done < n) {
    const ssize_t wrote = ::write(fd, data + done, n - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (wrote == 0) {
      errno = EIO;
      break;
    }
    done += static_cast<std::size_t>(wrote);
  }
  bool ok = done == n && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = error;
    return 0;
  }
  CommitFolderOf(path);
  return 1;
}

}  // namespace mixora
