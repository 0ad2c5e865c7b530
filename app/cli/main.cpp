#include <CLI/CLI.hpp>
#include <poll.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "cli_support.h"
#include "commands.h"
#include "core/version.h"
#include "stop_signals.h"

namespace {

// One worked example per command, shown at the end of its --help.
void AddHelpExamples(CLI::App& app) {
  static const struct {
    const char* command;
    const char* example;
  } kExamples[] = {
      {"check", "mixora check examples/tavrin/tavrin.tcf --priors"},
      {"load", "mixora load examples/tavrin/tavrin.tcf"},
      {"inspect", "mixora inspect examples/tavrin/output/tavrin.rcf"},
      {"run", "mixora run examples/tavrin/output/tavrin.rcf --all"},
      {"report", "mixora report examples/tavrin/output/tavrin.rcf --all --kind compositions"},
      {"convert", "mixora convert examples/tavrin/output/tavrin.rcf --compositions -o ascii"},
      {"analyze", "mixora analyze examples/tavrin/tavrin.tcf   (after Ctrl-C: add --resume)"},
      {"genepop-convert",
       "mixora genepop-convert --baseline stocks.txt --mixture fishery.txt --control run.tcf"},
      {"export", "mixora export examples/tavrin/output/tavrin.rcf -o tavrin_copy --control spam"},
      {"spam-to-tcf", "mixora spam-to-tcf examples/tavrin_spam/tavrin_spam.ctl -o converted"},
      {"cleanup", "mixora cleanup examples/tavrin/output --kind sta,ise --dry-run"},
      {"simulate", "mixora simulate examples/tavrin/tavrin_sim.mcf"},
  };
  for (const auto& e : kExamples) {
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
      if (command->get_name() == e.command)
        command->footer(std::string("Example:\n  ") + e.example +
                        "\n\nExit status: 0 done, 1 failed (the last line on standard error says "
                        "why), 2 wrong command line, 130 stopped by Ctrl-C.");
    }
  }
}

// Why standard output could not take what a command printed, or "" when it
// took all of it. A reader that went away leaves no errno behind by the time
// the command ends, but its pipe still says so.
std::string StandardOutputFailure() {
  errno = 0;
  const bool flushFailed = std::fflush(stdout) != 0;
  const int flushError = errno;
  if (!flushFailed && !std::ferror(stdout) && std::cout.good()) return "";
  if (flushFailed && flushError != 0) return std::strerror(flushError);
  pollfd out{1, 0, 0};
  if (::poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0) return std::strerror(EPIPE);
  // Ask once more, so that the device gives its reason (a full disk, say).
  std::clearerr(stdout);
  errno = 0;
  if ((std::fputc('\n', stdout) == EOF || std::fflush(stdout) != 0) && errno != 0)
    return std::strerror(errno);
  return "a write failed";
}

}  // namespace

int main(int argc, char** argv) {
  // A closed pipe (`mixora run … | head`) ends a write with an error instead
  // of killing the program on the spot, with locks left and chains unsaved.
  ::signal(SIGPIPE, SIG_IGN);
  CLI::App app{"mixora: genetic mixed-stock analysis"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string(mixora::kProgramName) + " " + mixora::kProgramVersion);
  app.footer(
      "Every command has --help with an example.\n"
      "Exit status: 0 done, 1 failed (the last line on standard error says why), 2 wrong command "
      "line, 130 stopped by Ctrl-C, SIGTERM or SIGHUP (run and analyze: the chains can be "
      "resumed; report and convert: the unfinished file is discarded).");
  int exitCode = 0;
  mixora::cli::RegisterCheckCommand(app, exitCode);
  mixora::cli::RegisterLoadCommand(app, exitCode);
  mixora::cli::RegisterInspectCommand(app, exitCode);
  mixora::cli::RegisterRunCommand(app, exitCode);
  mixora::cli::RegisterReportCommand(app, exitCode);
  mixora::cli::RegisterConvertCommand(app, exitCode);
  mixora::cli::RegisterAnalyzeCommand(app, exitCode);
  mixora::cli::RegisterToolCommands(app, exitCode);
  mixora::cli::RegisterSimulateCommand(app, exitCode);
  mixora::cli::RegisterImportCommand(app, exitCode);
  mixora::cli::RegisterAssessCommand(app, exitCode);
  mixora::cli::RegisterSubmitCommand(app, exitCode);
  mixora::cli::RegisterStatusCommand(app, exitCode);
#ifdef MIXORA_WITH_CHARTS
  mixora::cli::RegisterPlotCommand(app, exitCode);
#endif
  AddHelpExamples(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with status 0; every mistake in the
    // command line gets one status, whatever kind of mistake it was.
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  // What a command printed is its answer: output that did not arrive is a
  // failure, whatever the command itself thought.
  const std::string outputFailure = StandardOutputFailure();
  if (!outputFailure.empty()) {
    mixora::cli::PrintError("cannot write to standard output: " + outputFailure);
    return exitCode == 0 || exitCode == mixora::cli::kStoppedExitCode ? 1 : exitCode;
  }
  return exitCode;
}
