#include "cmd_tools.h"

#include <iostream>

#include "commands.h"

namespace mixora::cli {

void RegisterToolCommands(CLI::App& app, int& exitCode) {
  RegisterGenepopConvertCommand(app, exitCode);
  RegisterExportCommand(app, exitCode);
  RegisterSpamToTcfCommand(app, exitCode);
  RegisterCleanupCommand(app, exitCode);
}

void PrintText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r') out += c;
  std::cout << out;
  if (!out.empty() && out.back() != '\n') std::cout << '\n';
  std::cout << std::flush;
}

Interaction MakeToolInteraction(const CliOptions& options) {
  Interaction ui = MakeTerminalInteraction(options);
  auto terminal = ui.message;
  ui.message = [terminal](uint32_t type, const std::string& text) -> int {
    bool problem = (type & 0xF0) == kMbIconError || (type & 0xF0) == kMbIconWarning;
    if ((type & 0xF) == kMbOk && !problem) {
      PrintText(text);
      return kIdOk;
    }
    return terminal(type, text);
  };
  return ui;
}

}  // namespace mixora::cli
