#include "core/error_flags.h"

namespace mixora {

namespace {
constexpr const char* kMessages[] = {
    "Cannot parse line",
    "Character count mismatch",
    "Number not 0, 1, or 2",
    "Number of missing Loci exceeded",
    "Allele not seen in baseline",
    "No alleles present in line",
    "Sum of Alleles > 2",
    "Too many alleles",
    "More that 256 allele positions",
    "Number of chars not equal",
    "No character block",
    "Too many characters",
    "Character not found",
    "No stock block",
    "Too many stocks",
    "Stock not found",
    "More than 5 levels",
    "Levels mismatch",
    "Invalid level",
    "No group block",
    "Missing control file keyword(s)",
    "Value out of range",
    "Values not the same",
    "Invalid Starting StockID",
    "Stock count mismatch",
};
constexpr int kMessageCount = sizeof(kMessages) / sizeof(kMessages[0]);
}  // namespace

const char* ErrorFlagMessage(int bit) {
  if (bit < 0 || bit >= kMessageCount) return "";
  return kMessages[bit];
}

std::string DescribeErrorFlags(ErrorFlags flags) {
  if (flags == kErrFatal) return "FATAL!!";
  if (flags == kErrMemoryFailure) return "Memory Allocation Failure.  FATAL!!";
  std::string text;
  for (int bit = 0; bit < kMessageCount; ++bit) {
    if (!(flags & (1u << bit))) continue;
    if (!text.empty()) text += ", ";
    text += kMessages[bit];
  }
  return text;
}

}  // namespace mixora
