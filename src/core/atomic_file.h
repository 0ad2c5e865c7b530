#pragma once
// Writing a file so that a crash or power cut leaves either the old file or
// the new one whole, never a torn one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace mixora {

// Has the folder entry of path on disk: a new or renamed file survives a
// power cut only once its folder is synced.
void CommitFolderOf(const std::string& path);

// Writes the bytes to temp, commits them and renames temp over path. On
// failure temp is removed, path is untouched and errno tells why. 1 or 0.
int ReplaceFileAtomically(const std::string& temp, const std::string& path, const uint8_t* data,
                          std::size_t n);

// Creates path with the bytes, whole, unless it exists: the bytes go to temp
// first, which is then hard-linked to path, so that a process seeing path
// always sees all of it, and of two processes creating it at the same moment
// exactly one wins, also on a shared network file system. Returns 1 when this
// call created path, 0 when path existed already (left untouched), -1 on
// failure (errno tells why). temp is removed in every case.
int CreateFileOnce(const std::string& temp, const std::string& path, const uint8_t* data,
                   std::size_t n);

// Appends the bytes to the open file descriptor (opened with O_APPEND) in one
// piece under an exclusive lock of the whole file, so that lines of several
// processes ending their sessions at once are never mixed, then commits them.
// 1 or 0.
int AppendLocked(int fd, const uint8_t* data, std::size_t n);

// An output written under a temporary name beside its final one and moved
// into place only once it is complete: a command that fails half-way leaves
// the earlier output as it was, never a truncated or empty one. Destroying a
// pending file that was not committed discards it.
struct PendingFile {
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  std::FILE* file = nullptr;
  std::string path;  // the final name
  std::string temp;  // where it is written until committed
};

// Creates a new temporary file in path's folder ("<name>.tmp<n>.<ext>") and
// opens it for writing in binary. Returns the stream, or null with errno set
// (nothing is created). A file already pending in `pending` is discarded.
std::FILE* OpenPendingFile(PendingFile& pending, const std::string& path);

// Flushes and syncs the stream, closes it and renames the temporary file
// over the final name. 1, or 0 with errno set, the temporary file removed
// and the final name untouched (also when the stream saw a write error).
int CommitPendingFile(PendingFile& pending);

// Closes and removes the temporary file; the final name is untouched.
void DiscardPendingFile(PendingFile& pending);

// The whole of text as the file at path, through a pending file: the old
// file stays whole unless the new one is complete. 1, or 0 with errno set.
int WriteWholeFile(const std::string& path, const std::string& text);

}  // namespace mixora
