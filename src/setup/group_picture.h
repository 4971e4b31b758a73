#pragma once
// The plate picture of the group editor without the picture box: what it draws (as
// a drawing plan at user coordinates), which well cell a point
// falls in, and the press / move / release rules of the mouse.
//
// User coordinates: one unit is a hundredth of the instrument's channel spacing;
// channel position (column c 0..23, row r 0..15) lies at (c x 100 + 50, r x 100 + 50),
// y growing downwards.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "setup/group_model.h"
#include "storage/plate_layout.h"
#include "ui/draw_plan.h"

namespace setup {

// 0x00BBGGRR, the picture box's encoding.
using PictureColor = int32_t;
constexpr PictureColor PictureRgb(int r, int g, int b) {
  return static_cast<PictureColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr PictureColor kPictureBlack = PictureRgb(0, 0, 0);
inline constexpr PictureColor kPictureWhite = PictureRgb(255, 255, 255);
inline constexpr PictureColor kPictureBlue = PictureRgb(0, 0, 255);
inline constexpr PictureColor kDotUnusable = PictureRgb(255, 255, 0);
inline constexpr PictureColor kDotUsable = PictureRgb(200, 200, 200);
// Group labels by group mod 4: green, navy, red, orange.
PictureColor GroupLabelColor(int group);

// The user scale (left, top, right, bottom) of the picture.
struct PictureScale {
  double left = 0, top = 0, right = 0, bottom = 0;
};
PictureScale PlatePictureScale(const storage::PlateView& plate);

// Pitches and offsets x 100, each rounded half to even to 16 bits: the cell outlines
// and the picture's scale use these; labels and bars the unrounded values.
struct CellGeometry {
  int cp = 0, co = 0, rp = 0, ro = 0;
};
CellGeometry CellGeometryOf(const storage::PlateView& plate);

// The whole picture over a cleared box: blue well cells, a dot per channel position
// (grey when usable, yellow otherwise), "G" & group on each well whose beam-0
// channel is in a group, column numbers and row letters. The group labels take the
// picture's font size (kLabelPoints), the numbers and letters 1.2 times it.
inline constexpr int kLabelPoints = 10;
ui::DrawPlan PlatePicture(const GroupModel& model);

// A well cell, row and column from 0. A point left of or above the plate falls in
// column or row 0; one right of or below it gives a row or column at the plate's
// end (never past it), which is off the plate.
struct Cell {
  int row = 0, col = 0;
  bool operator==(const Cell&) const = default;
};
Cell CellAt(const storage::PlateView& plate, double x, double y);
bool OnPlate(const storage::PlateView& plate, Cell cell);
// The well of an on-plate cell (wells are numbered down the columns).
int WellOfCell(const storage::PlateView& plate, Cell cell);
// "B3" for row 1, column 2.
std::string CellName(Cell cell);

// The bars along the plate's left and top edges that mark the rows and columns of
// a rectangle of cells.
ui::DrawPlan SelectionBars(const storage::PlateView& plate, const CellRect& rect);

// The group that a release assigns to: with the annotation panel shown, the group of
// the ticked annotation row (first row showing group `annotation_offset`; no row
// ticked gives group 0), otherwise the group list's current group.
int ReleaseTargetGroup(bool panel_visible, int ticked_row, int annotation_offset,
                       int current_group);

// The mouse on the plate picture. Buttons: 1 left, 2 right.
class PlatePointer {
 public:
  // A fresh window: nothing pressed, the last far corner at cell (0, 0).
  void Reset() { *this = PlatePointer(); }

  // An accepted press (button 1 or 2, the last move on the plate, the layout ready,
  // the press's own cell on the plate) starts a selection there and gives the cell.
  std::optional<Cell> Press(const storage::PlateView& plate, int button, double x, double y,
                            bool layout_ready);

  // A move: the rectangle from the press cell to the pointer's cell while a selection
  // is active, else the pointer's cell. Off the plate when its far corner or the
  // previous move's far corner lies off the plate; that move draws nothing and gates
  // the next press or release.
  struct Move {
    bool on_plate = false;
    CellRect rect;
    Cell far_corner;
  };
  Move MoveTo(const storage::PlateView& plate, double x, double y);

  // A release of button 1 or 2 ends the selection. It is accepted under the press's
  // conditions and gives the rectangle to assign; a release of another button
  // changes nothing.
  std::optional<CellRect> Release(const storage::PlateView& plate, int button, double x, double y,
                                  bool layout_ready);

  bool SelectionActive() const { return selection_active_; }
  bool PointerOffPlate() const { return pointer_off_plate_; }

 private:
  CellRect RectTo(Cell cell) const;

  bool selection_active_ = false;
  Cell selection_;
  Cell last_cell_;
  bool pointer_off_plate_ = false;
};

}  // namespace setup
