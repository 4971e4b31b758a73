#include "setup/group_picture.h"

#include <algorithm>
#include <cmath>

#include "platform/numeric.h"

namespace setup {
namespace {

int RoundToInt16(double x) { return std::clamp(platform::RoundToInt(x), -32768, 32767); }

// The whole cells before a point along one axis: negative counts as 0, anything
// past the plate (or a plate without a usable pitch) as `count`.
int CellIndex(double pos, double offset, double pitch, int count) {
  if (!(pitch > 0) || !std::isfinite(pitch)) return std::max(count, 0);
  double q = (pos - offset * 100) / (pitch * 100);
  if (std::isnan(q)) return std::max(count, 0);
  if (q < 0) q = 0;
  q = std::floor(q);
  return q >= count ? std::max(count, 0) : static_cast<int>(q);
}

}  // namespace

PictureColor GroupLabelColor(int group) {
  switch (group % 4) {
    case 0:
      return PictureRgb(0, 128, 0);
    case 1:
      return PictureRgb(0, 0, 128);
    case 2:
      return PictureRgb(255, 0, 0);
    default:
      return PictureRgb(255, 150, 0);
  }
}

CellGeometry CellGeometryOf(const storage::PlateView& p) {
  return {RoundToInt16(p.col_pitch * 100), RoundToInt16(p.col_offset * 100),
          RoundToInt16(p.row_pitch * 100), RoundToInt16(p.row_offset * 100)};
}

PictureScale PlatePictureScale(const storage::PlateView& plate) {
  const CellGeometry g = CellGeometryOf(plate);
  return {double(g.co - 100), double(g.ro - 100), 2425, 1625};
}

ui::DrawPlan PlatePicture(const GroupModel& model) {
  const storage::PlateView& p = model.Plate();
  const CellGeometry g = CellGeometryOf(p);
  ui::DrawPlan plan;
  for (int r = 0; r < p.rows; ++r) {
    for (int c = 0; c < p.cols; ++c) {
      plan.Outline(c * g.cp + g.co, r * g.rp + g.ro, (c + 1) * g.cp + g.co, (r + 1) * g.rp + g.ro,
                   kPictureBlue);
    }
  }
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 24; ++c) {
      plan.Circle(c * 100 + 50, r * 100 + 50, 5,
                  model.Usable(c * 16 + r) ? kDotUsable : kDotUnusable);
    }
  }
  for (int c = 0; c < p.cols; ++c) {
    for (int r = 0; r < p.rows; ++r) {
      // A well past Max_Well, or whose beam-0 slot another well's channel holds, has
      // no label channel.
      const int ch = p.ClaimedChannel(p.rows * c + r, 0);
      const int group = model.GroupOf(ch);
      if (ch < 0 || group < 0) continue;
      plan.Text(c * 100 * p.col_pitch + p.col_offset * 100 + 25,
                r * 100 * p.row_pitch + p.row_offset * 100 + 45, "G" + std::to_string(group),
                GroupLabelColor(group));
    }
  }
  constexpr double kNumberScale = 12.0 / kLabelPoints;
  for (int c = 0; c < p.cols; ++c) {
    plan.ScaledText(c * 100 * p.col_pitch + p.col_offset * 100 + 50, p.row_offset * 100 - 100,
                    std::to_string(c + 1), kPictureBlack, kNumberScale);
  }
  for (int r = 0; r < p.rows; ++r) {
    plan.ScaledText(p.col_offset * 100 - 100, r * 100 * p.row_pitch + p.row_offset * 100 + 25,
                    std::string(1, static_cast<char>(65 + r)), kPictureBlack, kNumberScale);
  }
  return plan;
}

Cell CellAt(const storage::PlateView& p, double x, double y) {
  return {CellIndex(y, p.row_offset, p.row_pitch, p.rows),
          CellIndex(x, p.col_offset, p.col_pitch, p.cols)};
}

bool OnPlate(const storage::PlateView& p, Cell cell) {
  return cell.row >= 0 && cell.row < p.rows && cell.col >= 0 && cell.col < p.cols;
}

int WellOfCell(const storage::PlateView& p, Cell cell) { return p.rows * cell.col + cell.row; }

std::string CellName(Cell cell) {
  return std::string(1, static_cast<char>(65 + cell.row)) + std::to_string(cell.col + 1);
}

ui::DrawPlan SelectionBars(const storage::PlateView& p, const CellRect& rect) {
  const CellGeometry g = CellGeometryOf(p);
  const double co = g.co, ro = g.ro;
  const double rp = p.row_pitch * 100, cp = p.col_pitch * 100;
  const double bottom = p.rows * 100 * p.row_pitch + ro;
  const double right = p.cols * cp + co;
  ui::DrawPlan plan;
  plan.Fill(co, ro, co + 4, bottom, kPictureWhite);
  plan.Line(co, ro, co, bottom, kPictureBlue);
  plan.Fill(co, rect.row_first * rp + ro, co + 4, (rect.row_last + 1) * rp + ro, kPictureBlue);
  plan.Fill(co, ro, right, ro + 4, kPictureWhite);
  plan.Line(co, ro, right, ro, kPictureBlue);
  plan.Fill(rect.col_first * cp + co, ro, (rect.col_last + 1) * cp + co, ro + 4, kPictureBlue);
  return plan;
}

int ReleaseTargetGroup(bool panel_visible, int ticked_row, int annotation_offset,
                       int current_group) {
  if (!panel_visible) return current_group;
  return ticked_row >= 0 && ticked_row <= 5 ? annotation_offset + ticked_row : 0;
}

CellRect PlatePointer::RectTo(Cell cell) const {
  if (!selection_active_) return {cell.row, cell.row, cell.col, cell.col};
  return {std::min(cell.row, selection_.row), std::max(cell.row, selection_.row),
          std::min(cell.col, selection_.col), std::max(cell.col, selection_.col)};
}

std::optional<Cell> PlatePointer::Press(const storage::PlateView& plate, int button, double x,
                                        double y, bool layout_ready) {
  if ((button != 1 && button != 2) || pointer_off_plate_ || !layout_ready) return std::nullopt;
  const Cell cell = CellAt(plate, x, y);
  if (!OnPlate(plate, cell)) return std::nullopt;
  selection_ = cell;
  selection_active_ = true;
  return cell;
}

PlatePointer::Move PlatePointer::MoveTo(const storage::PlateView& plate, double x, double y) {
  Move m;
  m.rect = RectTo(CellAt(plate, x, y));
  m.far_corner = {m.rect.row_last, m.rect.col_last};
  m.on_plate = OnPlate(plate, m.far_corner) && OnPlate(plate, last_cell_);
  pointer_off_plate_ = !m.on_plate;
  last_cell_ = m.far_corner;
  return m;
}

std::optional<CellRect> PlatePointer::Release(const storage::PlateView& plate, int button, double x,
                                              double y, bool layout_ready) {
  if (button != 1 && button != 2) return std::nullopt;
  const Cell cell = CellAt(plate, x, y);
  const CellRect rect = RectTo(cell);
  selection_active_ = false;
  if (pointer_off_plate_ || !layout_ready || !OnPlate(plate, cell)) return std::nullopt;
  return rect;
}

}  // namespace setup
