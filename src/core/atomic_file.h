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

}  // namespace mixora
