#include "tools/genepop_convert.h"

namespace mixora {

std::string GenepopOutputName(const std::string& inputName) {
  std::size_t slash = inputName.find_last_of("/\\");
  std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = inputName.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return inputName + "_Mixora";
  return inputName.substr(0, dot) + "_Mixora" + inputName.substr(dot);
}

int ConvertGenepopLabel(const std::string&, const std::string&, const std::string&,
                        const std::string&, const std::string&, LogBuffer& log) {
  LogAppend(log, "Converting from GENEPOP format...");
  return kGenepopBaselineFailed;
}

}  // namespace mixora
