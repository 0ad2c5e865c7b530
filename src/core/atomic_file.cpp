#include "core/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
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

namespace {

// Distinguishes the temporary files of one process; the process id
// distinguishes processes writing into the same folder.
std::atomic<unsigned> gPendingSerial{0};

std::string PendingName(const std::string& path, unsigned serial) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const std::string mark = ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(serial);
  return hasExtension ? path.substr(0, dot) + mark + path.substr(dot) : path + mark;
}

}  // namespace

PendingFile::~PendingFile() { DiscardPendingFile(*this); }

std::FILE* OpenPendingFile(PendingFile& pending, const std::string& path) {
  DiscardPendingFile(pending);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = PendingName(path, gPendingSerial.fetch_add(1, std::memory_order_relaxed));
    // O_EXCL: never write through a name someone else made; 0666 lets the
    // umask give the output the permissions any new file would get.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
      const int error = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      errno = error;
      return nullptr;
    }
    pending.file = file;
    pending.path = path;
    pending.temp = temp;
    return file;
  }
  errno = EEXIST;
  return nullptr;
}

int CommitPendingFile(PendingFile& pending) {
  if (pending.file == nullptr) {
    errno = EBADF;
    return 0;
  }
  bool ok = std::fflush(pending.file) == 0 && std::ferror(pending.file) == 0;
  int error = ok ? 0 : (errno != 0 ? errno : EIO);
  if (ok && ::fsync(::fileno(pending.file)) != 0) {
    ok = false;
    error = errno;
  }
  if (std::fclose(pending.file) != 0 && ok) {
    ok = false;
    error = errno;
  }
  pending.file = nullptr;
  if (ok && ::rename(pending.temp.c_str(), pending.path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(pending.temp.c_str());
    pending.temp.clear();
    errno = error;
    return 0;
  }
  pending.temp.clear();
  CommitFolderOf(pending.path);
  return 1;
}

void DiscardPendingFile(PendingFile& pending) {
  if (pending.file != nullptr) std::fclose(pending.file);
  pending.file = nullptr;
  if (!pending.temp.empty()) ::unlink(pending.temp.c_str());
  pending.temp.clear();
}

int WriteWholeFile(const std::string& path, const std::string& text) {
  PendingFile pending;
  std::FILE* file = OpenPendingFile(pending, path);
  if (file == nullptr) return 0;
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
    const int error = errno;
    DiscardPendingFile(pending);
    errno = error;
    return 0;
  }
  return CommitPendingFile(pending);
}

}  // namespace mixora
