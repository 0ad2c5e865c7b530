#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli_support.h"
#include "commands.h"
#include "core/paths.h"
#include "report_cli.h"
#include "stop_signals.h"
#include "reports/output_conversion.h"
#include "reports/report_runner.h"

namespace mixora::cli {

namespace {

struct ConvertOptions {
  std::string rcfPath;
  int mixture = 1;
  bool assignments = false;
  bool compositions = false;
  bool groups = false;
  bool binaryGraph = false;
  int keep = -1;  // -1: the records the reports keep
  std::string outFolder;
  CliOptions common;
};

// Every chain must hold more records than the conversion passes over.
bool ChainsHoldWhatIsAsked(const ReportJob& job, const ConvertOptions& options) {
  struct Kind {
    bool wanted;
    const std::vector<uint32_t>& totals;
    bool assignments;
    const char* name;
  };
  const Kind kinds[] = {
      {options.compositions || options.groups, job.compositionTotals, false, "composition"},
      {options.assignments, job.assignmentTotals, true, "assignment"},
  };
  for (const Kind& kind : kinds) {
    if (!kind.wanted) continue;
    const uint32_t skip = ConversionSkip(job, kind.assignments);
    for (std::size_t c = 0; c < kind.totals.size(); ++c) {
      if (kind.totals[c] > skip) continue;
      PrintError("chain " + std::to_string(c + 1) + " of " + MixtureLabel(*job.run) + " holds " +
                 std::to_string(kind.totals[c]) + " " + kind.name +
                 " records; keeping the last " + std::to_string(job.conversion.keep) + " of " +
                 std::to_string(job.length) + " passes over the first " + std::to_string(skip) +
                 ", so nothing would be left");
      return false;
    }
  }
  return true;
}

int RunConvert(ConvertOptions& options) {
  if (!options.assignments && !options.compositions && !options.groups) {
    PrintError("choose what to convert: --assignments, --compositions and/or --groups");
    return 1;
  }
  if (options.mixture < 1) {
    PrintError("--mixture counts from 1");
    return 1;
  }
  Interaction ui = MakeReportInteraction(options.common);
  InstallAbortOnInterrupt();
  std::unique_ptr<RunRecord> run = OpenMixture(options.rcfPath, options.mixture - 1, ui);
  if (!run) return 1;
  if (!ReportMissingSampleFiles(*run, options.compositions || options.groups, options.assignments))
    return 1;

  ReportSession session;
  ReportJob job;
  job.run = run.get();
  job.ui = ui;
  job.session = &session;
  ConnectInterrupt(job, session);
  PrepareReportJob(job);
  if (job.length < 1) {
    PrintError("the first chain of " + MixtureLabel(*run) + " holds no composition records");
    return 1;
  }
  const int keep = options.keep >= 0 ? options.keep : job.length - job.discard;
  if (keep < 1) {
    PrintError("--keep must be at least 1");
    return 1;
  }
  if (keep > job.length && !options.common.quiet)
    std::cerr << "mixora: --keep " << keep << " is more than the " << job.length
              << " records of chain 1; converting all of them\n";

  // Without a folder the files go beside a run control file named without
  // one, that is into the current folder, and are named the same way.
  const std::string folder = options.outFolder.empty() ? FolderOf(options.rcfPath) : options.outFolder;
  std::error_code ec;
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
    PrintError("cannot create the output folder " + folder);
    return 1;
  }

  job.conversion.flags = (options.assignments ? kConvertAssignments : 0u) |
                         (options.compositions ? kConvertComposition : 0u) |
                         (options.groups ? kConvertGroups : 0u) |
                         (options.binaryGraph ? kConvertBinaryGraph : 0u);
  job.conversion.folder = folder;
  job.conversion.keep = keep;
  if (!ChainsHoldWhatIsAsked(job, options)) return 1;

  const std::size_t mark = ShownProblemMark();
  const int result = RunReport(job, kReportConvert, false);
  for (const std::string& path : job.filesWritten) std::cout << "Converted: " << path << "\n";
  std::cout << std::flush;
  if (result == 1) return 0;
  PrintError(session.abortAll.load() != 0 || Interrupted()
                 ? "conversion of " + MixtureLabel(*run) + " aborted"
                 : WithCause("conversion of " + MixtureLabel(*run) + " failed", mark));
  return Interrupted() ? kStoppedExitCode : 1;
}

}  // namespace

void RegisterConvertCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ConvertOptions>();
  CLI::App* command = app.add_subcommand(
      "convert", "Convert a run's binary chain sample files to ASCII or binary graph files");
  command->add_option("RUN_FILE", options->rcfPath, "Run control file (.rcf)")->required();
  command->add_option("--mixture", options->mixture,
                      "Mixture whose chains to convert, counted from 1 (default 1)");
  command->add_flag("--assignments", options->assignments,
                    "Stock assignments (.Sta) to <title>_<chain>_ASCII.Sta");
  command->add_flag("--compositions", options->compositions,
                    "Stock compositions (.Ise) to <title>_<chain>_ASCII.Ise");
  command->add_flag("--groups", options->groups,
                    "Compositions summed by the groups of every grouping level to "
                    "<title>_<chain>_Grp<level>_ASCII.Ise");
  command->add_flag("--binary-graph", options->binaryGraph,
                    "Write compositions and groups as binary graph files (.gse) instead of ASCII; "
                    "assignments stay ASCII");
  command->add_option("--keep", options->keep,
                      "Convert the last N records of each chain (default: the records the "
                      "reports keep)")
      ->check(CLI::NonNegativeNumber);
  command->add_option("-o,--output,--out", options->outFolder,
                      "Folder for the converted files (default: the run control file's folder; "
                      "created when missing)");
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunConvert(*options); });
}

}  // namespace mixora::cli
