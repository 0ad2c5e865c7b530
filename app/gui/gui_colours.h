#pragma once
// The chain colours of the engine's table as Qt colours.
#include <QColor>

#include "core/chain_colours.h"

namespace mixora::gui {

inline QColor ColourOfWord(uint32_t word) {
  return QColor(ColourRed(word), ColourGreen(word), ColourBlue(word));
}

// Colour index 0 is the "All" row, 1..10 the chains' colours.
inline QColor ChainColour(int colourIndex) {
  if (colourIndex < 0 || colourIndex >= kChainColourCount) colourIndex = 0;
  return ColourOfWord(kChainColours[colourIndex]);
}

// The colour of chain `chain` (from 0).
inline QColor ColourOfChain(int chain) { return ChainColour(ChainColourIndex(chain)); }

}  // namespace mixora::gui
