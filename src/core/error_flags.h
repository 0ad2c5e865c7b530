#pragma once
// Error flags: parsers and checks report problems as a 32-bit set of bits.
#include <cstdint>
#include <string>

namespace mixora {

using ErrorFlags = uint32_t;

enum : ErrorFlags {
  kErrCannotParseLine = 1u << 0,
  kErrCharacterCountMismatch = 1u << 1,
  kErrNumberNot012 = 1u << 2,
  kErrMissingLociExceeded = 1u << 3,
  kErrAlleleNotSeen = 1u << 4,
  kErrNoAlleles = 1u << 5,
  kErrSumOfAllelesOver2 = 1u << 6,
  kErrTooManyAlleles = 1u << 7,
  kErrTooManyAllelePositions = 1u << 8,
  kErrNumberOfCharsNotEqual = 1u << 9,
  kErrNoCharacterBlock = 1u << 10,
  kErrTooManyCharacters = 1u << 11,
  kErrCharacterNotFound = 1u << 12,
  kErrNoStockBlock = 1u << 13,
  kErrTooManyStocks = 1u << 14,
  kErrStockNotFound = 1u << 15,
  kErrMoreThan5Levels = 1u << 16,
  kErrLevelsMismatch = 1u << 17,
  kErrInvalidLevel = 1u << 18,
  kErrNoGroupBlock = 1u << 19,
  kErrMissingKeywords = 1u << 20,
  kErrValueOutOfRange = 1u << 21,
  kErrValuesNotSame = 1u << 22,
  kErrInvalidStartingStock = 1u << 23,
  kErrStockCountMismatch = 1u << 24,
};

// The two whole-word values that stand for an unrecoverable failure.
inline constexpr ErrorFlags kErrFatal = 0xFFFFFFFFu;            // -1, also "cannot open"
inline constexpr ErrorFlags kErrMemoryFailure = 0x80000000u;

// Message of one flag bit (0..24); empty for bits without a message.
const char* ErrorFlagMessage(int bit);

// Joins the messages of the set bits, lowest first, with ", ". The two fatal
// values give "FATAL!!" and "Memory Allocation Failure.  FATAL!!" alone.
std::string DescribeErrorFlags(ErrorFlags flags);

}  // namespace mixora
