#pragma once
// The colours of the chain panel, shared by every front end so that a chain
// looks the same in the panel, in its message boxes and in the charts.
#include <cstdint>

namespace mixora {

// 0x00BBGGRR values: index 0 for the "All" row, 1..10 for chains.
inline constexpr uint32_t kChainColours[11] = {0xFFFFFF, 0xCCFFFF, 0xFFFF00, 0xCCCCFF,
                                               0xFFCC33, 0x99FF66, 0xCCCC99, 0xCC99FF,
                                               0xFF9999, 0x3399FF, 0x009999};

// The colour index of chain k (from 0).
inline int ChainColourIndex(int chainIndexFromZero) { return (chainIndexFromZero + 1) % 10; }

}  // namespace mixora
