#include "commands.h"

namespace mixora::cli {

// Placeholder until the tool commands are built.
void RegisterToolCommands(CLI::App&, int&) {}

}  // namespace mixora::cli
