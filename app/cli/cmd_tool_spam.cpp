#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cmd_tools.h"
#include "core/paths.h"
#include "formats/spam_control_convert.h"

namespace mixora::cli {

namespace {

struct SpamToTcfOptions {
  std::vector<std::string> files;
  std::string outFolder;
  CliOptions common;
};

int RunSpamToTcf(SpamToTcfOptions& options) {
  Interaction ui = MakeToolInteraction(options.common);
  std::error_code ec;
  if (!std::filesystem::is_directory(options.outFolder, ec)) {
    std::filesystem::create_directories(options.outFolder, ec);
    if (ec) {
      PrintError("cannot create the output folder " + options.outFolder + ": " + ec.message());
      return 1;
    }
  }
  std::vector<std::string> failures;
  int converted = ConvertSpamControlFiles(options.files, options.outFolder, ui, &failures);
  if (converted != static_cast<int>(options.files.size())) {
    // Each failure on a line of its own, the count first, so that the last
    // line still names a file and its problem.
    PrintError(std::to_string(options.files.size() - converted) + " of " +
               std::to_string(options.files.size()) + " files not converted:");
    for (const std::string& failure : failures) PrintError(failure);
    return 1;
  }
  return 0;
}

}  // namespace

void RegisterSpamToTcfCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<SpamToTcfOptions>();
  CLI::App* command = app.add_subcommand(
      "spam-to-tcf", "Convert SPAM control files (.ctl) into text control files (.Tcf)");
  command->add_option("FILES", options->files, "SPAM control files")->required();
  command->add_option("-o,--output,--out", options->outFolder, "Folder for the text control files")->required();
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunSpamToTcf(*options); });
}

}  // namespace mixora::cli
