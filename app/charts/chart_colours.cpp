#include "chart_colours.h"

#include <algorithm>

#include "core/chain_colours.h"

namespace mixora::charts {
namespace {

constexpr double kMaxLightness = 0.40;

QColor FromBgr(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

}  // namespace

QColor ChainPanelColour(int chain) {
  return FromBgr(kChainColours[chain < 0 ? 0 : ChainColourIndex(chain)]);
}

QColor ChainLineColour(int chain) {
  QColor colour = ChainPanelColour(chain);
  float h = 0, s = 0, l = 0, a = 1;
  colour.getHslF(&h, &s, &l, &a);
  return QColor::fromHslF(h, s, std::min<float>(l, kMaxLightness), a);
}

}  // namespace mixora::charts
