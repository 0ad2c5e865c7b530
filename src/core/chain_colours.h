#pragma once
// The colours that tell chains apart wherever they are shown (chain panel,
// message boxes, charts), as 0x00BBGGRR words so that no drawing library is
// needed to hold them. Index 0 is the "All" row; chains take 1..10.
#include <cstdint>

namespace mixora {

inline constexpr int kChainColourCount = 11;

inline constexpr uint32_t kChainColours[kChainColourCount] = {
    0xFFFFFF, 0xCCFFFF, 0xFFFF00, 0xCCCCFF, 0xFFCC33, 0x99FF66,
    0xCCCC99, 0xCC99FF, 0xFF9999, 0x3399FF, 0x009999,
};

// The colour index of chain `chain` (from 0). Chains cycle through indexes
// 1..10, so the tenth chain never takes the white of the "All" row.
inline int ChainColourIndex(int chain) {
  if (chain < 0) return 0;
  return chain % 10 + 1;
}

// The red, green and blue parts of a colour word.
inline int ColourRed(uint32_t colour) { return static_cast<int>(colour & 0xFF); }
inline int ColourGreen(uint32_t colour) { return static_cast<int>((colour >> 8) & 0xFF); }
inline int ColourBlue(uint32_t colour) { return static_cast<int>((colour >> 16) & 0xFF); }

}  // namespace mixora
