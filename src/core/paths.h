#pragma once
// Path rules shared by readers and writers.
#include <string>

namespace mixora {

// A name without any "/" or "\" is taken from the folder of the control file;
// any other path is used as given (a relative one from the current folder).
std::string ResolveBesideControlFile(const std::string& controlFilePath, const std::string& name);

// Folder part of a path ("" when the path has no folder).
std::string FolderOf(const std::string& path);

// File name part of a path (after the last "/" or "\").
std::string FileNameOf(const std::string& path);

// Replaces the text after the last "." of the file name (or appends "." and
// the extension when the name has none).
std::string ReplaceExtension(const std::string& path, const std::string& extension);

// Joins a folder and a name with the platform separator ("" folder: name).
std::string JoinPath(const std::string& folder, const std::string& name);

bool FileExists(const std::string& path);

// True when a and b name the same file: the same file on disk, or, for a file
// not yet made, the same path once "." and ".." and links are resolved.
// Never for an empty name.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace mixora
