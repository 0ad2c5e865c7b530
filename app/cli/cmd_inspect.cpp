#include "commands.h"

namespace mixora::cli {

// Placeholder until the command is built.
void RegisterInspectCommand(CLI::App&, int&) {}

}  // namespace mixora::cli
