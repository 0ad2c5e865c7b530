#include "tools/cleanup.h"

#include <cstdio>
#include <filesystem>

#include "core/lookups.h"
#include "core/paths.h"

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

}  // namespace

std::string FormatSizeText(uint64_t bytes) {
  char text[64];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(bytes));
    return text;
  }
  static const struct {
    uint64_t unit;
    const char* name;
  } units[] = {{1ull << 40, "TB"}, {1ull << 30, "GB"}, {1ull << 20, "MB"}, {1ull << 10, "KB"}};
  for (const auto& u : units) {
    if (bytes >= u.unit) {
      std::snprintf(text, sizeof text, "%.2lf%s",
                    static_cast<double>(bytes) / static_cast<double>(u.unit), u.name);
      break;
    }
  }
  return text;
}

void ScanFileKind(const std::string& folder, const std::string& extension, bool remove,
                  FileTally& tally) {
  if (remove && NeverDeleted(extension)) return;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  if (ec) return;
  for (const auto& entry : it) {
    std::error_code entryError;
    if (entry.is_directory(entryError) || !entry.is_regular_file(entryError)) continue;
    if (!HasExtension(entry.path().filename().string(), extension)) continue;
    if (remove) {
      std::filesystem::remove(entry.path(), entryError);
      continue;
    }
    uint64_t size = entry.file_size(entryError);
    if (entryError) continue;
    tally.count += 1;
    tally.bytes += size;
  }
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
  for (int k = 0; k < kCleanupKindCount; ++k) {
    ScanFileKind(folder, kCleanupKinds[k].extension, false, table.rows[k]);
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
  for (int k = 0; k < kCleanupKindCount; ++k) {
    if (!checked[k] || !kCleanupKinds[k].deletable) continue;
    FileTally unused;
    ScanFileKind(folder, kCleanupKinds[k].extension, true, unused);
  }
}

}  // namespace mixora
