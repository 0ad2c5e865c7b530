#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli_support.h"
#include "commands.h"
#include "core/log_buffer.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "prepare_run.h"
#include "runfiles/run_control_match.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_control_writer.h"
#include "sampler/chain_lock.h"

namespace mixora::cli {

namespace {

struct LoadOptions {
  std::string controlPath;
  std::string outputPath;
  std::string logPath;
  CliOptions common;
};

// An existing file that may be written, or a new one in a folder that may
// be written.
bool CanWrite(const std::string& path) {
  if (FileExists(path)) return ::access(path.c_str(), W_OK) == 0;
  std::string folder = FolderOf(path);
  return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

// Where the run control file goes: -o, or the control file's name with the
// extension "rcf" in OutputFolder. Creates a missing folder. Returns "" and
// sets why when the folder cannot be made.
std::string RunControlPath(const LoadOptions& options, const Preparation& prep, std::string& why) {
  std::string path = options.outputPath;
  if (path.empty()) {
    std::string folder = ResolveOutputFolder(options.controlPath, GetField(prep.control.settings->OutputFolder));
    path = JoinPath(folder, ReplaceExtension(FileNameOf(options.controlPath), "rcf"));
  }
  std::string folder = FolderOf(path);
  std::error_code ec;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      why = "cannot create the output folder " + folder + ": " + ec.message();
      return "";
    }
  }
  return path;
}

// Writes the run control file of a prepared run and logs the outcome.
// Returns "" on success, else why not.
std::string WriteRun(const LoadOptions& options, Preparation& prep, const Interaction& ui,
                     std::string& rcfPath, bool reuseSame, bool& reused) {
  reused = false;
  std::string why;
  rcfPath = RunControlPath(options, prep, why);
  if (rcfPath.empty()) return why;
  // Not even --overwrite may replace an input of the very run.
  std::string input = InputNamedBy(prep, rcfPath);
  if (!input.empty()) return "cannot write the run control file to " + rcfPath + ": it is " + input + " of the run";
  Control& control = prep.control;
  RunSettings& settings = *control.settings;
  settings.FileKinds[0] = static_cast<uint8_t>(control.controlKind);
  settings.FileKinds[1] = static_cast<uint8_t>(control.baselineFormat);
  settings.FileKinds[2] = static_cast<uint8_t>(control.mixtureFormat);
  settings.FileKinds[3] = 0;
  if (reuseSame && FileExists(rcfPath)) {
    // Writing it afresh would be harmless only when nothing changed, and
    // then there is nothing to write; when something changed the chains
    // on disk belong to the old inputs and must not be continued.
    if (!RunControlMatchesInputs(control, rcfPath, why))
      return "cannot resume: " + why + "; run without --resume to start the analysis afresh";
    LogAppend(control.log, "Run control file unchanged, kept: %s", rcfPath.c_str());
    reused = true;
    return "";
  }
  if (const std::string lock = RunningChainLock(rcfPath); !lock.empty())
    return "cannot replace " + rcfPath + ": its chains are running (" + lock +
           " is held); stop them first, or write this run elsewhere with -o";
  bool yesToAll = false;
  if (FileExists(rcfPath) && !AskOverwrite(ui, rcfPath, yesToAll))
    return rcfPath + " exists and was not overwritten (use --overwrite to replace it)";
  const std::size_t mark = ShownProblemMark();
  if (!CanWrite(rcfPath)) {
    ReportSystemError(ui, "Cannot write to", rcfPath);
    return WithCause("cannot write to " + rcfPath, mark);
  }
  int ok = GenerateRunControlFile(ui, control, rcfPath);
  LogAppend(control.log, "Conversion %sed: %s", ok ? "Succeed" : "Fail", rcfPath.c_str());
  return ok ? "" : WithCause("writing the run control file " + rcfPath + " failed", mark);
}

// Names each mixture of the written run whose fish the checks all left out,
// so the biologist learns it now rather than when its chains are started.
void NoteMixturesWithoutFish(const std::string& rcfPath) {
  std::unique_ptr<RunRecord> whole = ReadNewControl(rcfPath, Interaction{});
  if (!whole) return;
  for (int p = 0; p < whole->mixtureCount; ++p) {
    if (MixtureFishCount(*whole, p) > 0) continue;
    std::cout << "Note: mixture " << p + 1 << " (" << RunTitleFor(whole->mixtureTitle, p)
              << ") has no fish that take part in the run; the checks left every one out\n";
  }
}

}  // namespace

int LoadToRunControlFile(const std::string& controlPath, const std::string& outputPath,
                         const std::string& logPath, const CliOptions& common,
                         std::string& rcfPath, bool reuseSame) {
  LoadOptions options;
  options.controlPath = controlPath;
  options.outputPath = outputPath;
  options.logPath = logPath;
  options.common = common;
  Interaction ui = MakeTerminalInteraction(options.common);
  auto prep = std::make_unique<Preparation>();
  PrepareRun(options.controlPath, ui, *prep);
  std::string failure = prep->failure;
  bool reused = false;
  if (prep->Ready()) failure = WriteRun(options, *prep, ui, rcfPath, reuseSame, reused);
  PrintBlock("Summary", PreparationSummary(*prep));

  if (!prep->control.log.text.empty()) {
    std::string logPath =
        options.logPath.empty() ? ReplaceExtension(options.controlPath, "log") : options.logPath;
    if (SaveRunLog(*prep, logPath, ui)) std::cout << "\nLog saved to " << logPath << "\n";
    else if (failure.empty()) failure = "cannot save the log to " + logPath;
  }
  std::cout << std::flush;
  if (!failure.empty()) {
    PrintError(failure);
    return 1;
  }
  std::cout << (reused ? "Run control file kept (same inputs): " : "Run control file written: ") << rcfPath << "\n";
  NoteMixturesWithoutFish(rcfPath);
  return 0;
}

namespace {

int RunLoad(LoadOptions& options) {
  std::string rcfPath;
  return LoadToRunControlFile(options.controlPath, options.outputPath, options.logPath,
                              options.common, rcfPath);
}

}  // namespace

void RegisterLoadCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<LoadOptions>();
  CLI::App* command = app.add_subcommand(
      "load", "Check a control file, its baseline and its mixture and write the run control file");
  command->add_option("CONTROL_FILE", options->controlPath, "Text (.tcf) or SPAM (.ctl) control file")
      ->required();
  command->add_option("-o,--output", options->outputPath,
                      "Run control file to write (default: OutputFolder/<control file name>.rcf)");
  command->add_option("--log", options->logPath,
                      "Where to save the log (default: the control file with the extension .log)");
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunLoad(*options); });
}

}  // namespace mixora::cli
