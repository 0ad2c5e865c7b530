#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cmd_tools.h"
#include "core/lookups.h"
#include "core/paths.h"
#include "tools/cleanup.h"

namespace mixora::cli {

namespace {

struct CleanupOptions {
  std::string target;
  std::string kinds;
  bool dryRun = false;
  bool yes = false;
  CliOptions common;
};

// Parses "sta,ise,..." into check marks. Returns "" or the problem.
std::string ParseKinds(const std::string& list, CleanupChecks& checks) {
  checks = CleanupChecks{};
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    std::string ext = item;
    while (!ext.empty() && (ext.front() == ' ' || ext.front() == '.')) ext.erase(0, 1);
    while (!ext.empty() && ext.back() == ' ') ext.pop_back();
    if (ext.empty()) continue;
    bool found = false;
    for (int k = 0; k < kCleanupKindCount; ++k) {
      if (!NamesEqual(ext, kCleanupKinds[k].extension)) continue;
      if (!kCleanupKinds[k].deletable)
        return "the run key kind (." + ext + ") is counted but never deleted";
      checks[k] = true;
      found = true;
    }
    if (!found) return "unknown kind \"" + ext + "\" (use sta, ise, rst, sum, txt, csv, log, rcf)";
  }
  return "";
}

void PrintTable(const CleanupTable& table, const CleanupChecks& checks) {
  std::printf("Folder: %s\n\n", table.folder.c_str());
  std::printf("     %-32s %8s %11s\n", "Description", "# Files", "Size");
  for (int k = 0; k < kCleanupKindCount; ++k) {
    const char* mark = !kCleanupKinds[k].deletable ? "   " : checks[k] ? "[x]" : "[ ]";
    std::printf("%s  %-32s %8u %11s\n", mark, kCleanupKinds[k].label, table.rows[k].count,
                FormatSizeText(table.rows[k].bytes).c_str());
  }
  std::printf("     %-32s %8u %11s\n", "Total:", table.total.count,
              FormatSizeText(table.total.bytes).c_str());
  std::printf("     %-32s %8u %11s\n", "Total to clean:", table.toClean.count,
              FormatSizeText(table.toClean.bytes).c_str());
  const std::string running = RunningChainsNote(table);
  if (!running.empty()) std::printf("\n%s\n", running.c_str());
  std::fflush(stdout);
}

int RunCleanup(CleanupOptions& options) {
  Interaction ui = MakeToolInteraction(options.common);
  std::error_code ec;
  std::string folder;
  if (std::filesystem::is_directory(options.target, ec)) {
    folder = options.target;
  } else if (std::filesystem::exists(options.target, ec)) {
    folder = CleanupFolderOf(options.target);
  } else {
    PrintError("Cannot read " + options.target + ": no such file or folder");
    return 1;
  }

  CleanupChecks checks = DefaultCleanupChecks();
  if (!options.kinds.empty()) {
    std::string problem = ParseKinds(options.kinds, checks);
    if (!problem.empty()) {
      PrintError(problem);
      return 1;
    }
  }

  CleanupTable table = RefreshCleanup(folder, checks);
  PrintTable(table, checks);
  // Only files that follow the run output naming and that no run control
  // file here names as an input are listed; the names let a person see what
  // would go before anything does.
  const std::vector<CleanupFile> files = ListFilesToClean(folder, checks);
  if (!files.empty()) {
    std::printf("\n%s:\n", options.dryRun ? "Files that would be deleted" : "Files to delete");
    for (const CleanupFile& file : files)
      std::printf("  %11s  %s\n", FormatSizeText(file.bytes).c_str(),
                  FileNameOf(file.path).c_str());
    std::fflush(stdout);
  }
  if (options.dryRun) return 0;
  if (table.toClean.count == 0) {
    std::cout << "\nNothing to clean.\n";
    return 0;
  }
  if (!options.yes) {
    int answer = ShowMessage(ui, uint32_t{kMbYesNo} | kMbIconQuestion,
                             "Delete %u files (%s) in %s?", table.toClean.count,
                             FormatSizeText(table.toClean.bytes).c_str(), folder.c_str());
    if (answer != kIdYes) {
      PrintError("nothing deleted (not confirmed; use --yes to delete without asking)");
      return 1;
    }
  }

  CleanFiles(folder, checks);
  CleanupTable after = RefreshCleanup(folder, checks);
  uint32_t deleted = table.toClean.count - after.toClean.count;
  std::cout << "\nDeleted " << deleted << " file" << (deleted == 1 ? "" : "s") << ".\n\n";
  PrintTable(after, checks);
  if (after.toClean.count != 0) {
    PrintError(std::to_string(after.toClean.count) + " files could not be deleted");
    return 1;
  }
  return 0;
}

}  // namespace

void RegisterCleanupCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<CleanupOptions>();
  CLI::App* command = app.add_subcommand(
      "cleanup", "Count, and delete on request, the files runs leave in a folder, kind by kind");
  command->add_option("TARGET", options->target,
                      "A run control file (its folder is cleaned) or a folder")
      ->required();
  command->add_option("--kind,--kinds", options->kinds,
                      "Kinds to delete, by extension: sta,ise,rst,sum,txt,csv,log,rcf "
                      "(default: all eight; .dbp files are never deleted, nor the files of chains "
                      "a process is running now, which are named)");
  command->add_flag("--dry-run", options->dryRun,
                    "Only show the counts and sizes, and list the files that would be deleted");
  command->add_flag("--yes", options->yes, "Delete without asking for confirmation");
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunCleanup(*options); });
}

}  // namespace mixora::cli
