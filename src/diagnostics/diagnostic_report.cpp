#include "diagnostics/diagnostic_report.h"

#include <cstdarg>

namespace mixora {

void ReportPassProgress(const Interaction& ui, const std::string& caption, int64_t done,
                        int64_t total) {
  if (total > 0) ReportProgress(ui, caption, done, total);
}

void ReportPrintf(std::FILE* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(out, format, args);
  va_end(args);
}

void WriteChainLabel(std::FILE* out, const DiagnosticLayout& layout, int chainIndex,
                     const char* separator) {
  if (layout.ByRegion()) ReportPrintf(out, "Level %d ", layout.level + 1);
  ReportPrintf(out, "%s", separator);
  const std::string path = chainIndex < static_cast<int>(layout.chainPaths.size())
                               ? layout.chainPaths[chainIndex]
                               : std::string();
  ReportPrintf(out, "Chain %d: %s", chainIndex + 1, path.c_str());
  if (layout.ByRegion()) ReportPrintf(out, " - Grouped");
}

}  // namespace mixora
