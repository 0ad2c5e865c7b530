#include "commands.h"

namespace mixora::cli {

// Placeholder until the command is built.
void RegisterReportCommand(CLI::App&, int&) {}

}  // namespace mixora::cli
