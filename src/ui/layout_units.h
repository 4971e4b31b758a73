#pragma once
// The arithmetic of the proportional window layouts, without widgets: a control's
// rectangle from a position and size in its container's units. Edges are rounded
// (halves to even), not sizes, so controls that adjoin in units never share a pixel;
// a size never comes out negative. Containers measure in pixels or in twips.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

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

// A control's place as a layout function returns it.
struct Placement {
  std::string name;     // the control's name
  std::string parent;   // its container's name; "" for the window itself
  PixelRect rect;       // in pixels of the container
  bool hidden = false;  // placed but never shown by the layout
};

// The placement of `name` in a layout; nullptr when it has none.
inline const Placement* FindPlacement(const std::vector<Placement>& placements,
                                      std::string_view name) {
  for (const Placement& p : placements)
    if (p.name == name) return &p;
  return nullptr;
}

// Collects the placements of a layout in order, in the container's pixels or twips.
// A control whose container was placed before it is cut at the container's edge (a
// frame measured in window twips is a little larger than its pixel size).
class LayoutBuilder {
 public:
  explicit LayoutBuilder(std::vector<Placement>& out) : out_(out) {}

  PixelRect Pixels(const char* name, const char* parent, double l, double t, double w, double h,
                   bool hidden = false) {
    return Add(name, parent, PixelPlace(l, t, w, h), hidden);
  }
  PixelRect Twips(const char* name, const char* parent, double l, double t, double w, double h,
                  bool hidden = false) {
    return Add(name, parent, TwipsPlace(l, t, w, h), hidden);
  }
  // A control that keeps its own height (a combo box, a one-line label): `h` pixels.
  PixelRect PixelsKeepHeight(const char* name, const char* parent, double l, double t, double w,
                             int h) {
    PixelRect r = PixelPlace(l, t, w, 0);
    r.height = h;
    return Add(name, parent, r, false);
  }
  PixelRect TwipsKeepHeight(const char* name, const char* parent, double l, double t, double w,
                            int h) {
    PixelRect r = TwipsPlace(l, t, w, 0);
    r.height = h;
    return Add(name, parent, r, false);
  }

 private:
  PixelRect Add(const char* name, const char* parent, PixelRect r, bool hidden) {
    if (const Placement* box = *parent ? FindPlacement(out_, parent) : nullptr) {
      r.width = std::max(0, std::min(r.right(), box->rect.width) - r.x);
      r.height = std::max(0, std::min(r.bottom(), box->rect.height) - r.y);
    }
    out_.push_back({name, parent, r, hidden});
    return r;
  }
  std::vector<Placement>& out_;
};

// The window's units, in twips, from the size of its inside in pixels (15 twips a
// pixel): usable width X0 = 0.9 W, margins M = 0.05 W and T = 0.025 H, column unit
// U = X0 / 6 and row unit V = (0.9 H - T) / 20, each a whole number (halves to even).
struct WindowUnits {
  double W = 0, H = 0, X0 = 0, M = 0, T = 0, U = 0, V = 0;
};
inline WindowUnits WindowUnitsOf(int width_pixels, int height_pixels) {
  const auto nearest = [](double x) { return platform::RoundHalfEven(x); };
  WindowUnits u;
  u.W = nearest(std::max(width_pixels, 0) * 15.0);
  u.H = nearest(std::max(height_pixels, 0) * 15.0);
  u.X0 = nearest(0.9 * u.W);
  u.M = nearest(0.05 * u.W);
  u.T = nearest(0.025 * u.H);
  u.U = nearest(u.X0 / 6);
  u.V = nearest((nearest(0.9 * u.H) - u.T) / 20);
  return u;
}

}  // namespace ui
