#include "core/system_error.h"

#include <cerrno>
#include <cstring>

namespace mixora {

std::string SystemErrorText(int error) { return std::strerror(error != 0 ? error : EIO); }

void ReportSystemError(const Interaction& ui, const std::string& what,
                       const std::string& detail) {
  const std::string system = SystemErrorText(errno);
  ShowMessage(ui, uint32_t{kMbOk} | kMbIconError, "System Message:\r\n%s:\r\n%s\r\n%s", what.c_str(),
              detail.c_str(), system.c_str());
}

}  // namespace mixora
