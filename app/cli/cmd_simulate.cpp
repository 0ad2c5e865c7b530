#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli_support.h"
#include "commands.h"
#include "core/log_buffer.h"
#include "core/paths.h"
#include "tools/mixture_simulation.h"

namespace mixora::cli {

namespace {

struct SimulateOptions {
  std::string controlPath;
  CliOptions common;
};

// Lines of the simulation log that only tell progress; a failure reports the
// other lines on standard error, so the reason is there even with --quiet.
bool IsProgressLine(const std::string& line) {
  static const char* const kPrefixes[] = {"Reading ", "Checking ", "Writing ",
                                          "File parsed successfully", "All keywords found",
                                          "Mixture ", "Fail!!"};
  if (line.empty()) return true;
  for (const char* prefix : kPrefixes)
    if (line.rfind(prefix, 0) == 0) return true;
  return false;
}

std::vector<std::string> LogLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

int RunSimulate(const SimulateOptions& options) {
  Interaction ui = MakeTerminalInteraction(options.common);
  LogBuffer log;
  if (!options.common.quiet) {
    log.echo = [](const std::string& line) {
      for (const std::string& part : LogLines(line + "\n")) std::cout << part << "\n";
      std::cout << std::flush;
    };
  }
  if (SimulateMixtures(options.controlPath, ui, log) == 0) return 0;
  // "Cannot open file" names no file; the "Reading ... file: <path>" line
  // before it does.
  std::vector<std::string> problems;
  std::string reading;
  for (const std::string& line : LogLines(log.text)) {
    if (line.rfind("Reading ", 0) == 0 && line.find(" file: ") != std::string::npos)
      reading = line.substr(line.find(" file: ") + 7);
    if (IsProgressLine(line)) continue;
    problems.push_back(line == "Cannot open file" && !reading.empty()
                           ? "Cannot open file " + reading
                           : line);
  }
  for (std::size_t i = 0; i + 1 < problems.size(); ++i) std::cerr << "  " << problems[i] << "\n";
  PrintError(options.controlPath + ": mixture simulation failed" +
             (problems.empty() ? std::string() : ": " + problems.back()));
  return 1;
}

}  // namespace

void RegisterSimulateCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<SimulateOptions>();
  CLI::App* command = app.add_subcommand(
      "simulate",
      "Simulate mixtures of known composition from a SPAM baseline, as a mixture simulation "
      "control file (.mcf) describes them; writes the Genepop-layout mixture and a text "
      "control file (.tcf) beside the .mcf");
  command->add_option("CONTROL_FILE", options->controlPath, "Mixture simulation control file (.mcf)")
      ->required();
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunSimulate(*options); });
}

}  // namespace mixora::cli
