// The setup window's layout as a function of the window's size.
#include "setup/setup_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace {

using setup::ArrangeSetupControls;
using setup::SetupLayout;
using ui::Placement;

const ui::PixelRect& Rect(const SetupLayout& l, const char* name) {
  const Placement* p = l.Find(name);
  EXPECT_NE(p, nullptr) << name;
  static const ui::PixelRect kNone;
  return p ? p->rect : kNone;
}

// Controls that lie over others by design: outline shapes, the annotation panel and
// the project list (each shown in front of what it covers), and the well label, which
// the Part puts a twentieth of a row into the picture's blank bottom margin.
bool OverlapAllowed(const std::string& a, const std::string& b) {
  const auto either = [&](const std::string& n) { return a == n || b == n; };
  if (a.rfind("Shape_", 0) == 0 || b.rfind("Shape_", 0) == 0) return true;
  if (either("frm_advance") || (either("frm_project") && either("Frame_setup"))) return true;
  return either("Picwell") && (either("Label19") || either("lblnchannel"));
}

TEST(SetupLayout, ControlsStayApartAndInsideTheirContainers) {
  for (const auto& [w, h] : {std::pair{1024, 698}, std::pair{1280, 778}, std::pair{800, 538}}) {
    const SetupLayout l = ArrangeSetupControls(w, h, 24);
    const std::string where = std::to_string(w) + "x" + std::to_string(h);
    for (const Placement& a : l.controls) {
      if (a.hidden) continue;
      if (!a.parent.empty()) {
        const ui::PixelRect& box = Rect(l, a.parent.c_str());
        EXPECT_TRUE(a.rect.x >= 0 && a.rect.y >= 0 && a.rect.right() <= box.width &&
                    a.rect.bottom() <= box.height)
            << where << " " << a.name << " leaves " << a.parent;
      }
      for (const Placement& b : l.controls) {
        if (&a >= &b || b.hidden || a.parent != b.parent || OverlapAllowed(a.name, b.name))
          continue;
        EXPECT_FALSE(ui::Overlap(a.rect, b.rect)) << where << " " << a.name << " / " << b.name;
      }
    }
  }
}

TEST(SetupLayout, PanelsProjectButtonsAndTheGap) {
  // 1200 x 800 pixels: 18000 x 12000 twips, u 2700, v 525, mL 900, mT 300.
  const SetupLayout l = ArrangeSetupControls(1200, 800, 24);
  EXPECT_EQ(Rect(l, "PicPanel1"), (ui::PixelRect{30, 20, 738, 682}));
  // The right panel starts 0.5 mL - 0.1 u = 180 twips (12 pixels) after the left one.
  EXPECT_EQ(Rect(l, "PicPanel2").x - Rect(l, "PicPanel1").right(), 12);
  const auto& load = Rect(l, "cmdLoad");
  const auto& save = Rect(l, "Cmdsavepj");
  const auto& made = Rect(l, "Cmdnewpj");
  EXPECT_EQ(load.right(), save.x);
  EXPECT_EQ(save.right(), made.x);
  EXPECT_LE(std::abs(load.width - made.width), 1);
  // The project list and the settings frame share their place.
  EXPECT_TRUE(ui::Overlap(Rect(l, "frm_project"), Rect(l, "Frame_setup")));
  EXPECT_EQ(Rect(l, "frm_project").bottom(), Rect(l, "Frame_setup").bottom());
}

TEST(SetupLayout, ATinyWindowGivesNoNegativeSize) {
  for (const auto& [w, h] : {std::pair{3, 3}, std::pair{0, 0}, std::pair{-5, 40}}) {
    for (const Placement& p : ArrangeSetupControls(w, h, 24).controls) {
      EXPECT_GE(p.rect.width, 0) << p.name;
      EXPECT_GE(p.rect.height, 0) << p.name;
    }
  }
}

}  // namespace
