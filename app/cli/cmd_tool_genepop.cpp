#include <cerrno>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cmd_tools.h"
#include "core/log_buffer.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "core/file_helpers.h"
#include "input/genepop_convert.h"

namespace mixora::cli {

namespace {

struct GenepopOptions {
  std::string baselineIn;
  std::string mixtureIn;
  std::string baselineOut;
  std::string mixtureOut;
  std::string controlOut;
  std::string logPath;
  CliOptions common;
};

int RunGenepopConvert(GenepopOptions& options) {
  Interaction ui = MakeToolInteraction(options.common);
  if (options.baselineOut.empty()) options.baselineOut = GenepopOutputName(options.baselineIn);
  const bool withMixture = !options.mixtureIn.empty();
  if (withMixture && options.mixtureOut.empty())
    options.mixtureOut = GenepopOutputName(options.mixtureIn);
  if (!withMixture && !options.mixtureOut.empty()) {
    PrintError("--mixture-out needs --mixture");
    return 1;
  }

  for (const std::string* input : {&options.baselineIn, &options.mixtureIn}) {
    if (!input->empty() && !FileExists(*input)) {
      PrintError("Cannot read " + *input + ": no such file");
      return 1;
    }
  }
  // The log is written last; written over one of the conversion's files it
  // would lose an input or a result.
  if (!options.logPath.empty()) {
    auto same = [](const std::string& a, const std::string& b) {
      std::error_code ec;
      if (std::filesystem::equivalent(a, b, ec)) return true;
      std::filesystem::path pa = std::filesystem::weakly_canonical(a, ec);
      if (ec) return a == b;
      std::filesystem::path pb = std::filesystem::weakly_canonical(b, ec);
      return ec ? a == b : pa == pb;
    };
    for (const std::string* file : {&options.baselineIn, &options.mixtureIn, &options.baselineOut,
                                    &options.mixtureOut, &options.controlOut}) {
      if (!file->empty() && same(options.logPath, *file)) {
        PrintError("cannot write the log to " + options.logPath + ": it is " + *file +
                   ", a file of the conversion");
        return 1;
      }
    }
  }
  std::vector<std::string> outputs = {options.baselineOut};
  if (withMixture) outputs.push_back(options.mixtureOut);
  if (!options.controlOut.empty()) outputs.push_back(options.controlOut);
  bool yesToAll = false;
  for (const std::string& output : outputs) {
    if (FileExists(output) && !AskOverwrite(ui, output, yesToAll)) {
      PrintError(output + " exists and was not overwritten (use --overwrite to replace it)");
      return 1;
    }
    if (!CheckWritable(nullptr, output)) {
      PrintError("Cannot write to " + output + ": " + SystemErrorText(errno));
      return 1;
    }
  }

  LogBuffer log;
  if (!options.common.quiet) log.echo = [](const std::string& line) { PrintText(line); };
  int status = ConvertGenepopLabel(options.baselineIn, options.mixtureIn, options.baselineOut,
                                   options.mixtureOut, options.controlOut, log);
  if (!options.logPath.empty() && !SaveLog(log, options.logPath))
    PrintError("cannot save the log to " + options.logPath);
  if (status != kGenepopOk) {
    // A file that could not be written is named with the system's reason,
    // not blamed on the input.
    for (const std::string& line : LogLinesFrom(log.text, 0)) {
      if (line.rfind("Cannot write to ", 0) == 0) {
        PrintError("Genepop conversion failed: " + line);
        return 1;
      }
    }
    std::string file = options.baselineIn, why = "the baseline could not be read or converted";
    if (status == kGenepopMixtureFailed) {
      file = options.mixtureIn;
      why = "the mixture could not be converted";
    } else if (status == kGenepopControlFailed) {
      file = options.controlOut;
      why = "the control file could not be written";
    }
    PrintError(DescribeFailure("Genepop conversion", why, file, LogLinesFrom(log.text, 0)));
    return 1;
  }
  std::cout << "Baseline written: " << options.baselineOut << "\n";
  if (withMixture) std::cout << "Mixture written: " << options.mixtureOut << "\n";
  if (!options.controlOut.empty())
    std::cout << "Control file written: " << options.controlOut << "\n";
  return 0;
}

}  // namespace

void RegisterGenepopConvertCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<GenepopOptions>();
  CLI::App* command = app.add_subcommand(
      "genepop-convert",
      "Convert Genepop files whose individuals carry stock labels into a SPAM baseline and a "
      "recoded Genepop mixture");
  command->add_option("--baseline", options->baselineIn, "Genepop baseline with stock labels")
      ->required();
  command->add_option("--mixture", options->mixtureIn, "Genepop mixture with a Label line");
  command->add_option("--baseline-out", options->baselineOut,
                      "SPAM baseline to write (default: the input with _Mixora before its "
                      "extension)");
  command->add_option("--mixture-out", options->mixtureOut,
                      "Converted mixture to write (default: the input with _Mixora before its "
                      "extension)");
  command->add_option("--control", options->controlOut,
                      "Also write a text control file (.tcf) naming the converted files");
  command->add_option("--log", options->logPath, "Also save the conversion log to this file");
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunGenepopConvert(*options); });
}

}  // namespace mixora::cli
