#include "commands.h"

namespace mixora::cli {

// Placeholder until the command is built.
void RegisterRunCommand(CLI::App&, int&) {}

}  // namespace mixora::cli
