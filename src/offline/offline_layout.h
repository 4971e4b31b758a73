#pragma once
// The browser window's proportional layout as a pure function of the size of its
// inside: where each control stands, in pixels of its container. Window units (twips)
// place the window's own controls and the children of the frames; the two panels'
// children are placed in the panels' pixel units P and Q:
//   PicPanel1: P1 = pixel width / 4, Q1 = pixel height / 8
//   PicPanel2: P2 = pixel width / 6, Q2 = pixel height / 10
// a panel's pixel size being its size in twips divided by 15 (whole numbers), and each
// unit rounded half to even. The page bar and the bin-size frame lie in the plot panel
// below the picture, at the window columns the layout gives them.
#include <string_view>
#include <vector>

#include "ui/layout_units.h"

namespace offline {

struct OfflineLayout {
  ui::WindowUnits units;
  double P1 = 0, Q1 = 0, P2 = 0, Q2 = 0;
  std::vector<ui::Placement> controls;

  const ui::Placement* Find(std::string_view name) const {
    return ui::FindPlacement(controls, name);
  }
};

// The layout of a window whose inside is width x height pixels; controls that keep
// their own height (one-line boxes, combo boxes, labels) get `line_height` pixels.
OfflineLayout ArrangeOfflineControls(int width, int height, int line_height);

}  // namespace offline
