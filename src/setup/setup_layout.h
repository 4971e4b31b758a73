#pragma once
// The setup window's proportional layout as a pure function of the window's size:
// where each control of the two panels stands, in pixels of its container.
//
// Five nested unit systems, each unit a whole number (nearest, halves to even):
// the window in twips (u, v and the margins mL, mT), the left panel in pixels (a, b),
// the right panel in pixels (c, d), the right panel's frames in twips (e, f), and
// the annotation panel in twips (W, H). Positions are units times constants.
#include <string>
#include <string_view>
#include <vector>

#include "ui/layout_units.h"

namespace setup {

struct SetupLayout {
  std::vector<ui::Placement> controls;
  // Units, for the callers that lay out inside the annotation panel.
  int annotation_width_twips = 0;   // W
  int annotation_height_twips = 0;  // H

  const ui::Placement* Find(std::string_view name) const {
    return ui::FindPlacement(controls, name);
  }
};

// The layout of a window whose inside measures width x height pixels; combo boxes
// keep `combo_height` pixels (their own height).
SetupLayout ArrangeSetupControls(int width, int height, int combo_height);

}  // namespace setup
