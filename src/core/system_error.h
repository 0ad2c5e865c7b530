#pragma once
// Failures of the operating system told to a person with the system's own
// reason ("No space left on device", "File too large"), which is what tells
// them whether to free space, raise a quota or fix a permission.
#include <string>

#include "core/interaction.h"

namespace mixora {

// The system's description of an errno value; "Input/output error" for 0,
// since a failure without a recorded reason is still a failure.
std::string SystemErrorText(int error);

// Shows "System Message:\r\n%s:\r\n%s\r\n%s" with the two texts and the
// description of the last system error (errno), with the error icon.
void ReportSystemError(const Interaction& ui, const std::string& what, const std::string& detail);

}  // namespace mixora
