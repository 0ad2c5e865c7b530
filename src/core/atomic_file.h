#pragma once
// Writing a file so that a crash or power cut leaves either the old file or
// the new one whole, never a torn one.
#include <cstddef>
#include <cstdint>
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

}  // namespace mixora
