#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cmd_tools.h"
#include "run_file_argument.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "runfiles/run_control_reader.h"
#include "core/file_helpers.h"
#include "formats/run_file_export.h"

namespace mixora::cli {

namespace {

struct ExportOptions {
  std::string runPath;
  std::string outputName;
  std::string control = "mixora";
  std::string baseline = "spam";
  std::string mixture = "genepop";
  bool noControl = false;
  bool noBaseline = false;
  bool noMixture = false;
  CliOptions common;
};

int RunExport(ExportOptions& options) {
  Interaction ui = MakeToolInteraction(options.common);
  if (const std::string problem = RunFileArgumentProblem(options.runPath); !problem.empty()) {
    PrintError(problem);
    return 1;
  }
  const std::size_t mark = ShownProblemMark();
  std::unique_ptr<RunRecord> run = ReadNewControl(options.runPath, ui);
  if (!run) {
    PrintError(WithCause("cannot read the run control file " + options.runPath, mark));
    return 1;
  }
  RunFileChoices choices;
  choices.control = !options.noControl;
  choices.controlFormat = options.control == "spam" ? ControlChoice::kSpam : ControlChoice::kMixora;
  choices.baseline = !options.noBaseline;
  choices.baselineFormat =
      options.baseline == "talmo" ? BaselineChoice::kTalmo : BaselineChoice::kSpam;
  choices.mixture = !options.noMixture;
  choices.mixtureFormat =
      options.mixture == "digits" ? MixtureChoice::kTalmo : MixtureChoice::kGenepop;
  if (!choices.control && !choices.baseline && !choices.mixture) {
    PrintError("nothing to write: every file was left out");
    return 1;
  }

  // The control file written names the baseline and mixture by these paths,
  // so they are made absolute to work from any folder.
  std::string name = TrimLine(options.outputName);
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(name, ec).lexically_normal().string();
  if (!ec) name = absolute;
  std::string folder = FolderOf(name);
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      PrintError("cannot create the output folder " + folder + ": " + ec.message());
      return 1;
    }
  }
  if (!CheckWritable(&ui, name)) {
    PrintError(WithCause("cannot write " + name, mark));
    return 1;
  }

  bool overwriteAll = false;
  std::vector<std::string> written;
  int all = ConvertRunFiles(ui, choices, *run, name, overwriteAll, &written);
  for (const std::string& file : written) std::cout << "Written: " << file << "\n";
  std::cout << "Conversion " << (all ? "Succeed" : "Fail") << "ed\n" << std::flush;
  if (!all) {
    PrintError(WithCause("not every file was written", mark));
    return 1;
  }
  return 0;
}

}  // namespace

void RegisterExportCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand(
      "export",
      "Write a run's control file, baseline and mixture back out from its run control file");
  command->add_option("RUN_CONTROL_FILE", options->runPath, "Run control file (.rcf)")->required();
  command->add_option("-o,--output,--out", options->outputName,
                      "Output name; its extension becomes tcf or ctl, bse and mix")
      ->required();
  command->add_option("--control", options->control,
                      "Control file format: mixora (.tcf) or spam (.ctl)")
      ->transform(CLI::IsMember({"mixora", "spam"}, CLI::ignore_case));
  command->add_option("--baseline", options->baseline, "Baseline layout: spam or talmo")
      ->transform(CLI::IsMember({"spam", "talmo"}, CLI::ignore_case));
  command->add_option("--mixture", options->mixture, "Mixture layout: genepop or digits")
      ->transform(CLI::IsMember({"genepop", "digits"}, CLI::ignore_case));
  command->add_flag("--no-control", options->noControl, "Do not write the control file");
  command->add_flag("--no-baseline", options->noBaseline, "Do not write the baseline");
  command->add_flag("--no-mixture", options->noMixture, "Do not write the mixture");
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunExport(*options); });
}

}  // namespace mixora::cli
