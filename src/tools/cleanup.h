#pragma once
// Counting and deleting the files a run leaves in its folder, kind by kind
// (by extension).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/string_format.h"

namespace mixora {

struct CleanupKind {
  const char* label;      // the check box text
  const char* extension;  // matched without regard to case
  bool checkedAtOpening;
  bool deletable;  // the run key kind is counted but never deleted
};

inline constexpr int kCleanupKindCount = 9;
extern const std::array<CleanupKind, kCleanupKindCount> kCleanupKinds;

using CleanupChecks = std::array<bool, kCleanupKindCount>;

struct FileTally {
  uint32_t count = 0;
  uint64_t bytes = 0;
};

// What a folder holds that cleanup must never touch, and the stems its
// logs may carry. Built once per scan from the run control files in the
// folder.
struct CleanupGuard {
  // File names (without folder, compared without regard to case) that a
  // run control file of the folder names as its control file, baseline or
  // mixture, with the converted "_Mixora" forms of the latter two.
  std::vector<std::string> inputNames;
  // Stems of the folder's run control files and of the control files they
  // name: "<stem>.log" is the log of a load.
  std::vector<std::string> logStems;
  // Chains that a process is running now ("<title>_NN", from their held
  // lock files): their files are in use and are left alone.
  std::vector<std::string> runningChains;
};

CleanupGuard BuildCleanupGuard(const std::string& folder);

// True when `fileName` follows the naming of the files runs write: a run
// title ("<up to 8 characters>_POP_<nn>") with an optional chain number,
// report name and "_Grp", and a run output extension; an ASCII or graph
// conversion of a chain's samples; a tidy table; any ".rcf"; or a ".log"
// whose stem the guard lists.
bool IsRunOutputName(const std::string& fileName, const CleanupGuard& guard);

// A file cleanup may count and delete.
struct CleanupFile {
  std::string path;
  uint64_t bytes = 0;
  int kind = 0;  // index into kCleanupKinds
};

// Every entry of `folder` that is not a folder and whose extension is
// `extension` (without regard to case), that follows the run output naming
// and that no run control file of the folder names as an input. With
// `remove` off adds 1 and the file's size per file to `tally`; with it on
// deletes them (failures are left; a file that stays is counted again by
// the next scan). A folder that cannot be listed counts as empty. Files of
// the run key kind are never deleted.
void ScanFileKind(const std::string& folder, const std::string& extension, bool remove,
                  FileTally& tally);

// The files of every checked, deletable kind that CleanFiles would delete,
// in kind order and by name within a kind.
std::vector<CleanupFile> ListFilesToClean(const std::string& folder, const CleanupChecks& checked);

// The counts of all nine kinds, the total, and the total of the checked kinds.
struct CleanupTable {
  std::string folder;
  std::array<FileTally, kCleanupKindCount> rows{};
  FileTally total;
  FileTally toClean;
  std::vector<std::string> runningChains;  // left out of every count, see CleanupGuard
};

// The check marks of a fresh cleanup: every deletable kind.
CleanupChecks DefaultCleanupChecks();

// The folder of a run control file ("." when it has none).
std::string CleanupFolderOf(const std::string& runControlPath);

// Rescans every kind with deletion off.
CleanupTable RefreshCleanup(const std::string& folder, const CleanupChecks& checked);

// Deletes the files of every checked, deletable kind, except those of
// running chains, and the lock files that no process holds any more (left
// by a process that was killed).
void CleanFiles(const std::string& folder, const CleanupChecks& checked);

// "" when no chain of the folder runs; otherwise the line that says which
// chains' files were left alone and why.
std::string RunningChainsNote(const CleanupTable& table);

}  // namespace mixora
