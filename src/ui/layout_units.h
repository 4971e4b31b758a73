#pragma once
// The arithmetic of the proportional window layouts, without widgets: a control's
// rectangle from a position and size in its container's units. Edges are rounded
// (halves to even), not sizes, so controls that adjoin in units never share a pixel;
// a size never comes out negative. Containers measure in pixels or in twips.
#include <algorithm>

#include "platform/numeric.h"

namespace ui {

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int right() const { return x + width; }
  int bottom() const { return y + height; }
  bool operator==(const PixelRect&) const = default;
};

inline PixelRect PixelPlace(double left, double top, double width, double height) {
  const int x = platform::RoundToInt(left);
  const int y = platform::RoundToInt(top);
  return {x, y, std::max(0, platform::RoundToInt(left + width) - x),
          std::max(0, platform::RoundToInt(top + height) - y)};
}

// The same for a container that measures in twips, at 15 twips per pixel.
inline PixelRect TwipsPlace(double left, double top, double width, double height) {
  constexpr double kTwips = 15.0;
  return PixelPlace(left / kTwips, top / kTwips, width / kTwips, height / kTwips);
}

// Two rectangles share at least one pixel.
inline bool Overlap(const PixelRect& a, const PixelRect& b) {
  return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.x < b.right() &&
         b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

}  // namespace ui
