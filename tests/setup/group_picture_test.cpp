// The plate picture without a picture box: hit test, the pointer's press / move /
// release rules, what a drag assigns, and the drawing steps of the picture.
#include "setup/group_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "group_fixture.h"

namespace {

using grouptest::OwnTables;
using K = ui::OpKind;

storage::PlateLayout W96f() { return storage::BuiltInPlateLayout("w96f"); }

// Centre of a well cell of w96f (pitch 2, row offset -0.5): (c x 200 + 100, r x 200 + 50).
double X(int col) { return col * 200 + 100; }
double Y(int row) { return row * 200 + 50; }

TEST(HitTest, FractionalPitchAndOffset) {
  // 4 rows x 6 columns, pitch 1.5, offset 0.25: cells 150 units wide from 25.
  OwnTables t(grouptest::CustomLayout(4, 6, {1, 1, 1, 1}, 1.5, 0.25));
  const storage::PlateView v = t.View();
  struct Case {
    double x, y;
    setup::Cell cell;
    bool on;
  };
  const Case cases[] = {
      {25, 25, {0, 0}, true},        {174.99, 174.99, {0, 0}, true},
      {175, 175, {1, 1}, true},      {924.9, 624.9, {3, 5}, true},
      {24, 200, {1, 0}, true},       // left of the plate: column 0
      {-5000, -5000, {0, 0}, true},  // above and left: row and column 0
      {925, 100, {0, 6}, false},     // right of the plate
      {100, 625, {4, 0}, false},     // below it
      {1e300, 1e300, {4, 6}, false}, {std::nan(""), 100, {0, 6}, false},
  };
  for (const Case& c : cases) {
    const setup::Cell cell = setup::CellAt(v, c.x, c.y);
    EXPECT_EQ(cell, c.cell) << c.x << "," << c.y;
    EXPECT_EQ(setup::OnPlate(v, cell), c.on) << c.x << "," << c.y;
  }
  storage::PlateView flat = v;
  flat.col_pitch = 0;  // never divides: every point is off the plate
  EXPECT_FALSE(setup::OnPlate(flat, setup::CellAt(flat, 100, 100)));
}

TEST(Pointer, PressAndReleaseOnlyAfterAMoveOnThePlate) {
  OwnTables t(W96f());
  const storage::PlateView v = t.View();
  setup::PlatePointer p;
  // Fresh: the last corner is cell (0, 0), so a click without a move is taken.
  EXPECT_EQ(p.Press(v, 1, X(0), Y(0), true), (setup::Cell{0, 0}));
  EXPECT_TRUE(p.Release(v, 1, X(0), Y(0), true));
  EXPECT_FALSE(p.SelectionActive());

  EXPECT_FALSE(p.MoveTo(v, X(12), Y(0)).on_plate);  // right of the plate
  EXPECT_FALSE(p.Press(v, 1, X(3), Y(3), true));    // gated
  EXPECT_FALSE(p.MoveTo(v, X(3), Y(3)).on_plate);   // the first move back is judged off
  EXPECT_FALSE(p.Press(v, 1, X(3), Y(3), true));
  const auto m = p.MoveTo(v, X(3), Y(3));
  EXPECT_TRUE(m.on_plate);
  EXPECT_EQ(setup::CellName(m.far_corner), "D4");
  EXPECT_FALSE(p.Press(v, 4, X(3), Y(3), true));   // middle button
  EXPECT_FALSE(p.Press(v, 1, X(3), Y(3), false));  // layout not ready
  EXPECT_EQ(p.Press(v, 2, X(3), Y(3), true), (setup::Cell{3, 3}));
}

TEST(Pointer, DragRectangleAndReleasesThatEndIt) {
  OwnTables t(W96f());
  const storage::PlateView v = t.View();
  struct Case {
    const char* what;
    double rx, ry;  // release point
    int button;
    std::optional<setup::CellRect> rect;
    bool still_active;
  };
  const Case cases[] = {
      {"drag up and left", X(0), Y(1), 1, setup::CellRect{1, 2, 0, 2}, false},
      {"release below the plate", X(0), 8 * 200 - 50 + 1, 1, std::nullopt, false},
      {"release right of the plate", 12 * 200 + 1, Y(1), 2, std::nullopt, false},
      {"middle button", X(0), Y(1), 4, std::nullopt, true},
  };
  for (const Case& c : cases) {
    setup::PlatePointer p;
    ASSERT_TRUE(p.Press(v, 1, X(2), Y(2), true)) << c.what;
    EXPECT_TRUE(p.MoveTo(v, X(0), Y(1)).on_plate) << c.what;
    const auto rect = p.Release(v, c.button, c.rx, c.ry, true);
    EXPECT_EQ(rect.has_value(), c.rect.has_value()) << c.what;
    if (rect && c.rect) {
      EXPECT_EQ(rect->row_first, c.rect->row_first) << c.what;
      EXPECT_EQ(rect->row_last, c.rect->row_last) << c.what;
      EXPECT_EQ(rect->col_first, c.rect->col_first) << c.what;
      EXPECT_EQ(rect->col_last, c.rect->col_last) << c.what;
    }
    EXPECT_EQ(p.SelectionActive(), c.still_active) << c.what;
  }
}

TEST(Assignment, LeftDragTakesUsableChannelsRightDragFreesThem) {
  OwnTables t(W96f());
  t.Put({34, 50}, 7);  // well 9 (B2) belongs to group 7
  t.enabled[16] = 0;   // beam 1 of well 0 is unusable...
  t.Put({16}, 9);      // ...and keeps its group
  auto model = t.Model();
  // Press on A1: its free usable channels join the current group first.
  model.TakeFreeChannelsOfWell(0, 2);
  EXPECT_EQ(t.ChannelsOf(2), std::vector<int>{0});
  // Release on B2: A1, B1, A2, B2 all go to the target group, whatever they had.
  EXPECT_EQ(model.SetRectChannels({0, 1, 0, 1}, 3), 9);
  EXPECT_EQ(t.ChannelsOf(3), (std::vector<int>{0, 2, 18, 32, 34, 48, 50}));
  EXPECT_EQ(t.ChannelsOf(9), std::vector<int>{16});
  EXPECT_EQ(t.ChannelsOf(7), std::vector<int>{});
  // A right drag over A1..B1 frees them, the unusable channel keeps its group.
  model.SetRectChannels({0, 1, 0, 0}, -1);
  EXPECT_EQ(t.ChannelsOf(3), (std::vector<int>{32, 34, 48, 50}));
  EXPECT_EQ(t.ChannelsOf(9), std::vector<int>{16});
  // Cells off the plate are skipped, never aliased into the next column.
  EXPECT_EQ(model.SetRectChannels({8, 8, 0, 0}, 4), -1);
  EXPECT_EQ(t.ChannelsOf(4), std::vector<int>{});
}

TEST(Assignment, TargetGroupOfARelease) {
  struct Case {
    bool visible;
    int row, offset, current, target;
  };
  for (const Case& c : {Case{true, 2, 10, 5, 12}, Case{true, -1, 10, 5, 0},
                        Case{true, 0, 378, 5, 378}, Case{false, 2, 10, 5, 5}}) {
    EXPECT_EQ(setup::ReleaseTargetGroup(c.visible, c.row, c.offset, c.current), c.target);
  }
}

std::vector<ui::DrawOp> OpsOf(const ui::DrawPlan& plan, K kind) {
  std::vector<ui::DrawOp> out;
  std::copy_if(plan.Ops().begin(), plan.Ops().end(), std::back_inserter(out),
               [&](const auto& o) { return o.kind == kind; });
  return out;
}

// A drawing step as the plan holds it: shapes carry no text, texts their corner twice
// and their size as a share of the labels' size.
ui::DrawOp Shape(K kind, double x1, double y1, double x2, double y2, int32_t c) {
  return {kind, x1, y1, x2, y2, c, 0, {}};
}
ui::DrawOp Text(double x, double y, const char* text, int32_t c, double scale) {
  return {K::kText, x, y, x, y, c, 0, text, 0, scale};
}

TEST(Drawing, CellsDotsLabelsNumbersAndLetters) {
  OwnTables t(W96f());
  t.Put({16}, 1);   // beam 1 of A1 only: no label
  t.Put({66}, 6);   // beam 0 of B3
  t.Put({0}, 999);  // not a group
  t.enabled[2] = 0;
  const auto plan = setup::PlatePicture(t.Model());
  const auto cells = OpsOf(plan, K::kOutline);
  ASSERT_EQ(cells.size(), 96u);
  EXPECT_EQ(cells[0], Shape(K::kOutline, 0, -50, 200, 150, setup::kPictureBlue));
  EXPECT_EQ(cells[1].x1, 200);  // rows first, then columns within a row
  const auto dots = OpsOf(plan, K::kCircle);
  ASSERT_EQ(dots.size(), 384u);
  EXPECT_EQ(dots[0], Shape(K::kCircle, 50, 50, 5, 0, setup::kDotUsable));
  EXPECT_EQ(dots[24].color, setup::kDotUnusable);  // channel 1 is off the plate
  EXPECT_EQ(dots[48].color, setup::kDotUnusable);  // channel 2 is disabled
  const auto texts = OpsOf(plan, K::kText);
  ASSERT_EQ(texts.size(), 1u + 12u + 8u);
  EXPECT_EQ(texts[0], Text(425, 195, "G6", setup::PictureRgb(255, 0, 0), 1.0));
  EXPECT_EQ(texts[1], Text(50, -150, "1", setup::kPictureBlack, 1.2));
  EXPECT_EQ(texts[13], Text(-100, -25, "A", setup::kPictureBlack, 1.2));
  const setup::PictureScale sc = setup::PlatePictureScale(t.View());
  EXPECT_EQ(std::vector<double>({sc.left, sc.top, sc.right, sc.bottom}),
            std::vector<double>({-100, -150, 2425, 1625}));
}

TEST(Drawing, FewerWellsThanCellsDrawWithoutReadingPastTheGrid) {
  // 2 x 2 cells, three wells; channel 0 (well 0) sits in the empty slots.
  OwnTables t(grouptest::CustomLayout(2, 2, {1, 1, 1}));
  t.Put({0, 1, 2}, 0);
  const auto plan = setup::PlatePicture(t.Model());
  EXPECT_EQ(OpsOf(plan, K::kOutline).size(), 4u);
  EXPECT_EQ(OpsOf(plan, K::kText).size(), 3u + 2u + 2u);  // wells 0..2 only
  // A view whose Max_Well claims more wells than its grid holds.
  storage::PlateView v = t.View();
  v.max_well = 3;
  setup::GroupModel wide(v, t.enabled, {t.group, t.names});
  EXPECT_EQ(OpsOf(setup::PlatePicture(wide), K::kText).size(), 3u + 2u + 2u);
  // A fourth well without channels: its empty slot holds channel 0, well 0's.
  OwnTables empty_well(grouptest::CustomLayout(2, 2, {1, 1, 1, 0}));
  empty_well.Put({0, 1, 2}, 0);
  EXPECT_EQ(OpsOf(setup::PlatePicture(empty_well.Model()), K::kText).size(), 3u + 2u + 2u);
}

TEST(Drawing, BarsMarkTheRectanglesRowsAndColumns) {
  OwnTables t(W96f());
  const std::vector<ui::DrawOp> expected = {
      Shape(K::kFill, 0, -50, 4, 1550, setup::kPictureWhite),
      Shape(K::kLine, 0, -50, 0, 1550, setup::kPictureBlue),
      Shape(K::kFill, 0, 150, 4, 550, setup::kPictureBlue),
      Shape(K::kFill, 0, -50, 2400, -46, setup::kPictureWhite),
      Shape(K::kLine, 0, -50, 2400, -50, setup::kPictureBlue),
      Shape(K::kFill, 600, -50, 800, -46, setup::kPictureBlue),
  };
  EXPECT_EQ(setup::SelectionBars(t.View(), {1, 2, 3, 3}).Ops(), expected);
}

}  // namespace
