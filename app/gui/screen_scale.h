#pragma once
// Sizes are chosen in pixels of a 96 dpi screen; Px scales them for the
// screen the program runs on.

namespace mixora::gui {

int Px(int pixelsAt96Dpi);

}  // namespace mixora::gui
