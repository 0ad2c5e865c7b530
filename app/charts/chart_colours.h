#pragma once
// Chain colours as Qt colours. The panel's colours are pale row backgrounds;
// lines and points on a white chart take the same hue, darkened.
#include <QColor>

namespace mixora::charts {

// The chain panel's background colour of chain k (from 0); -1 for "All".
QColor ChainPanelColour(int chain);

// The colour of chain k's lines and points: the panel colour with its HSL
// lightness capped at 40%, hue and saturation kept, so every chain stays
// visible on white and is still recognisably its panel colour. -1 for the
// chains combined (white becomes a mid grey).
QColor ChainLineColour(int chain);

}  // namespace mixora::charts
