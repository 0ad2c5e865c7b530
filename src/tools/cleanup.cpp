#include "tools/cleanup.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/lookups.h"
#include "core/paths.h"
#include "input/genepop_convert.h"
#include "runfiles/run_control_reader.h"
#include "sampler/chain_lock.h"

namespace mixora {

const std::array<CleanupKind, kCleanupKindCount> kCleanupKinds = {{
    {"Stock Assignments (.sta)", "sta", true, true},
    {"Individual Estimates (.ise)", "ise", true, true},
    {"Restart (.rst)", "rst", true, true},
    {"Summary (.sum)", "sum", true, true},
    {"Text Output (.txt)", "txt", true, true},
    {"Spreadsheet import (.csv)", "csv", true, true},
    {"Database population log (.log)", "log", true, true},
    {"Run Control (.rcf)", "rcf", true, true},
    {"Run key (.dbp)", "dbp", false, false},
}};

namespace {

bool NeverDeleted(const std::string& extension) {
  for (const CleanupKind& kind : kCleanupKinds)
    if (!kind.deletable && NamesEqual(extension, kind.extension)) return true;
  return false;
}

bool HasExtension(const std::string& fileName, const std::string& extension) {
  std::size_t dot = fileName.rfind('.');
  return dot != std::string::npos && NamesEqual(fileName.substr(dot + 1), extension);
}


bool HasName(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& n : names)
    if (NamesEqual(n, name)) return true;
  return false;
}

void AddName(std::vector<std::string>& names, const std::string& path) {
  const std::string name = FileNameOf(path);
  if (!name.empty() && !HasName(names, name)) names.push_back(name);
}

std::string StemOf(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// The run title part: up to 8 characters of the mixture title (never a
// folder separator), then "_POP_" and at least two digits. Returns the
// length of the longest such prefix ending in digits, or 0.
std::size_t RunTitleLength(const std::string& name) {
  std::size_t best = 0;
  for (std::size_t at = name.find("_POP_"); at != std::string::npos && at <= 8;
       at = name.find("_POP_", at + 1)) {
    std::size_t end = at + 5;
    while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
    if (end - (at + 5) >= 2) best = end;
  }
  return best;
}

// "_<digits>" at rest; moves past it.
bool TakeNumber(const std::string& rest, std::size_t& at, std::size_t minDigits) {
  if (at >= rest.size() || rest[at] != '_') return false;
  std::size_t end = at + 1;
  while (end < rest.size() && std::isdigit(static_cast<unsigned char>(rest[end]))) ++end;
  if (end - (at + 1) < minDigits) return false;
  at = end;
  return true;
}

bool TakeWord(const std::string& rest, std::size_t& at, const char* word) {
  const std::string w = word;
  if (rest.size() - at < w.size() || !NamesEqual(rest.substr(at, w.size()), w)) return false;
  at += w.size();
  return true;
}

// What follows the run title: the suffixes BuildRunFileName, the ASCII
// conversion and the tidy tables add.
bool IsRunOutputSuffix(const std::string& rest) {
  static const char* const kPlain[] = {".Sta", ".Ise", ".Rst", ".Sum", ".Txt", ".Csv"};
  static const char* const kReports[] = {"_IDs", "_SCs", "_GR", "_RL"};
  {
    std::size_t at = 0;
    TakeNumber(rest, at, 2);
    for (const char* report : kReports)
      if (TakeWord(rest, at, report)) break;
    TakeWord(rest, at, "_Grp");
    for (const char* ext : kPlain) {
      std::size_t end = at;
      if (TakeWord(rest, end, ext) && end == rest.size()) return true;
    }
  }
  {
    // ASCII and graph conversions: "_<chain>[_Grp<level>](_ASCII.Sta|_ASCII.Ise|.gse)".
    std::size_t at = 0;
    if (TakeNumber(rest, at, 1)) {
      std::size_t grp = at;
      if (TakeWord(rest, grp, "_Grp")) {
        std::size_t end = grp;
        while (end < rest.size() && std::isdigit(static_cast<unsigned char>(rest[end]))) ++end;
        if (end > grp) at = end;
      }
      for (const char* tail : {"_ASCII.Sta", "_ASCII.Ise", ".gse"}) {
        std::size_t end = at;
        if (TakeWord(rest, end, tail) && end == rest.size()) return true;
      }
    }
  }
  for (const char* tidy : {"_estimates.csv", "_posteriors.csv", "_Inputs.Sum"}) {
    std::size_t at = 0;
    if (TakeWord(rest, at, tidy) && at == rest.size()) return true;
  }
  return false;
}

// A file in the folder of a run control file that names it, whichever way
// the name was stored: as typed at load time (relative to a folder that is
// long gone, perhaps), so only the file name is compared. Keeping one file
// too many is the safe side.
void AddRunInputs(const std::string& rcfPath, CleanupGuard& guard) {
  std::unique_ptr<RunRecord> run = ReadNewControl(rcfPath, Interaction{});
  if (!run) return;
  const std::string control = GetField(run->settings.ControlFilePath);
  const std::string baseline = GetField(run->settings.BaselineFile);
  const std::string mixture = GetField(run->settings.MixtureFile);
  for (const std::string& input : {control, baseline, mixture}) AddName(guard.inputNames, input);
  for (const std::string& input : {baseline, mixture})
    if (!input.empty()) AddName(guard.inputNames, GenepopOutputName(input));
  if (!control.empty()) guard.logStems.push_back(StemOf(FileNameOf(control)));
}

// "<title>_NN.Sta", "<title>_NN.tmp.Rst", "<title>_NN_ASCII.Ise": the files
// a chain writes, and their conversions.
bool OfRunningChain(const std::string& name, const CleanupGuard& guard) {
  for (const std::string& stem : guard.runningChains)
    if (name.size() > stem.size() && NamesEqual(name.substr(0, stem.size()), stem) &&
        (name[stem.size()] == '.' || name[stem.size()] == '_'))
      return true;
  return false;
}

struct FolderEntry {
  std::filesystem::path path;
  uint64_t bytes = 0;
};

// The regular files of the folder with the extension, that cleanup may take.
std::vector<FolderEntry> ListKind(const std::string& folder, const std::string& extension,
                                  const CleanupGuard& guard) {
  std::vector<FolderEntry> files;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  if (ec) return files;
  for (const auto& entry : it) {
    std::error_code entryError;
    if (entry.is_directory(entryError) || !entry.is_regular_file(entryError)) continue;
    const std::string name = entry.path().filename().string();
    if (!HasExtension(name, extension)) continue;
    if (HasName(guard.inputNames, name) || !IsRunOutputName(name, guard)) continue;
    if (OfRunningChain(name, guard)) continue;
    uint64_t size = entry.file_size(entryError);
    if (entryError) continue;
    files.push_back({entry.path(), size});
  }
  std::sort(files.begin(), files.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.path < b.path; });
  return files;
}

void ScanWithGuard(const std::string& folder, const std::string& extension, bool remove,
                   const CleanupGuard& guard, FileTally& tally) {
  if (remove && NeverDeleted(extension)) return;
  for (const FolderEntry& file : ListKind(folder, extension, guard)) {
    if (remove) {
      std::error_code ec;
      std::filesystem::remove(file.path, ec);
      continue;
    }
    tally.count += 1;
    tally.bytes += file.bytes;
  }
}

}  // namespace

CleanupGuard BuildCleanupGuard(const std::string& folder) {
  CleanupGuard guard;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  if (ec) return guard;
  for (const auto& entry : it) {
    std::error_code entryError;
    if (!entry.is_regular_file(entryError)) continue;
    const std::string name = entry.path().filename().string();
    if (HasExtension(name, "lock")) {
      if (ChainLockHeld(entry.path().string())) guard.runningChains.push_back(StemOf(name));
      continue;
    }
    if (!HasExtension(name, "rcf")) continue;
    guard.logStems.push_back(StemOf(name));
    AddRunInputs(entry.path().string(), guard);
  }
  return guard;
}

bool IsRunOutputName(const std::string& fileName, const CleanupGuard& guard) {
  if (HasExtension(fileName, "rcf") || HasExtension(fileName, "dbp")) return true;
  if (HasExtension(fileName, "log")) return HasName(guard.logStems, StemOf(fileName));
  const std::size_t title = RunTitleLength(fileName);
  if (title == 0) return false;
  for (std::size_t i = 0; i < title; ++i)
    if (fileName[i] == '/' || fileName[i] == '\\') return false;
  return IsRunOutputSuffix(fileName.substr(title));
}

void ScanFileKind(const std::string& folder, const std::string& extension, bool remove,
                  FileTally& tally) {
  ScanWithGuard(folder, extension, remove, BuildCleanupGuard(folder), tally);
}

std::vector<CleanupFile> ListFilesToClean(const std::string& folder, const CleanupChecks& checked) {
  std::vector<CleanupFile> files;
  const CleanupGuard guard = BuildCleanupGuard(folder);
  for (int k = 0; k < kCleanupKindCount; ++k) {
    if (!checked[k] || !kCleanupKinds[k].deletable) continue;
    for (const FolderEntry& file : ListKind(folder, kCleanupKinds[k].extension, guard))
      files.push_back({file.path.string(), file.bytes, k});
  }
  return files;
}

CleanupChecks DefaultCleanupChecks() {
  CleanupChecks checks{};
  for (int k = 0; k < kCleanupKindCount; ++k)
    checks[k] = kCleanupKinds[k].checkedAtOpening && kCleanupKinds[k].deletable;
  return checks;
}

std::string CleanupFolderOf(const std::string& runControlPath) {
  std::string folder = FolderOf(runControlPath);
  return folder.empty() ? "." : folder;
}

CleanupTable RefreshCleanup(const std::string& folder, const CleanupChecks& checked) {
  CleanupTable table;
  table.folder = folder;
  const CleanupGuard guard = BuildCleanupGuard(folder);
  table.runningChains = guard.runningChains;
  std::sort(table.runningChains.begin(), table.runningChains.end());
  for (int k = 0; k < kCleanupKindCount; ++k) {
    ScanWithGuard(folder, kCleanupKinds[k].extension, false, guard, table.rows[k]);
    table.total.count += table.rows[k].count;
    table.total.bytes += table.rows[k].bytes;
    if (checked[k] && kCleanupKinds[k].deletable) {
      table.toClean.count += table.rows[k].count;
      table.toClean.bytes += table.rows[k].bytes;
    }
  }
  return table;
}

void CleanFiles(const std::string& folder, const CleanupChecks& checked) {
  // The guard is built before anything is deleted: once the run control
  // files are gone they could no longer name the inputs they protect.
  const CleanupGuard guard = BuildCleanupGuard(folder);
  for (int k = 0; k < kCleanupKindCount; ++k) {
    if (!checked[k] || !kCleanupKinds[k].deletable) continue;
    FileTally unused;
    ScanWithGuard(folder, kCleanupKinds[k].extension, true, guard, unused);
  }
  // A lock nobody holds is a killed process's leftover; taking it first
  // keeps a chain that starts meanwhile from losing its own.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
    const std::string path = entry.path().string();
    if (!HasExtension(entry.path().filename().string(), "lock")) continue;
    int fd = LockChainFile(path);
    if (fd >= 0) UnlockChainFile(fd, path);
  }
}

std::string RunningChainsNote(const CleanupTable& table) {
  if (table.runningChains.empty()) return "";
  std::string names;
  for (const std::string& stem : table.runningChains) names += (names.empty() ? "" : ", ") + stem;
  return "Left alone: the files of " + std::to_string(table.runningChains.size()) + " running chain" +
         (table.runningChains.size() == 1 ? "" : "s") + " (" + names +
         "); stop the run, or let it finish, to clean them";
}

}  // namespace mixora
