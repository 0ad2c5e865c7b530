#include "commands.h"

namespace mixora::cli {

// Placeholder until the command is built.
void RegisterLoadCommand(CLI::App&, int&) {}

}  // namespace mixora::cli
