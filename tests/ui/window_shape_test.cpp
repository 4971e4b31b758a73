#include "ui/window_shape.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include "ui/picture_box.h"

namespace {

TEST(WindowShape, OutlinesFollowTheTable) {
  struct Case {
    const char* what;
    ui::RoundRect got, want;
  };
  const Case cases[] = {
      // A window of 900 x 600 twips at 15 twips per pixel; 914 twips are still 60 pixels.
      {"form", ui::FormCornersRect(900, 600, 15, 15), {0, 0, 60, 40, 30, 30}},
      {"form rounded down", ui::FormCornersRect(914, 614, 15, 15), {0, 0, 60, 40, 30, 30}},
      {"button", ui::ButtonRect(1200, 450, 15, 15), {5, 5, 76, 26, 20, 20}},
      {"control in pixels", ui::ControlRect(120, 40), {5, 5, 116, 36, 20, 20}},
      // A screen reporting no twips per pixel: both sizes count as 0.
      {"no twips", ui::ButtonRect(1200, 450, 0, 15), {5, 5, -4, -4, 20, 20}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_TRUE(ui::ButtonRect(1200, 450, 0, 15).IsEmpty());
  EXPECT_TRUE(ui::FormCornersRect(900, 600, 0, 0).IsEmpty());
}

TEST(WindowShape, RegionIsARoundedRectangleWithoutItsRightAndBottomEdges) {
  const QRegion r = ui::RoundRectRegion({0, 0, 60, 40, 30, 30});
  EXPECT_EQ(r.boundingRect(), QRect(0, 0, 60, 40));
  for (QPoint inside : {QPoint(30, 0), QPoint(30, 39), QPoint(0, 20), QPoint(59, 20),
                        QPoint(30, 20), QPoint(4, 4), QPoint(55, 35)})
    EXPECT_TRUE(r.contains(inside)) << inside.x() << "," << inside.y();
  for (QPoint outside : {QPoint(0, 0), QPoint(59, 0), QPoint(0, 39), QPoint(59, 39),
                         QPoint(3, 3), QPoint(60, 20), QPoint(30, 40), QPoint(-1, 20)})
    EXPECT_FALSE(r.contains(outside)) << outside.x() << "," << outside.y();
  EXPECT_EQ(r.contains(QPoint(5, 2)), r.contains(QPoint(54, 37)));  // symmetric corners

  EXPECT_TRUE(ui::RoundRectRegion({5, 5, -4, -4, 20, 20}).isEmpty());
  // Corners larger than the rectangle are cut down to it: a small square stays whole.
  EXPECT_TRUE(ui::RoundRectRegion({0, 0, 10, 10, 30, 30}).contains(QPoint(5, 0)));
}

TEST(WindowShape, WidgetsGetTheirOutlineAsAMaskUnlessTooSmall) {
  QWidget panel;
  panel.resize(60, 40);
  EXPECT_TRUE(ui::RoundFormCorners(panel));
  EXPECT_EQ(panel.mask(), ui::RoundRectRegion({0, 0, 60, 40, 30, 30}));

  QPushButton button;
  button.resize(80, 30);  // 1200 x 450 twips
  EXPECT_TRUE(ui::RoundButton(button));
  EXPECT_EQ(button.mask(), ui::RoundRectRegion({5, 5, 76, 26, 20, 20}));
  EXPECT_TRUE(ui::RoundControl(button));
  EXPECT_EQ(button.mask().boundingRect(), QRect(QPoint(5, 5), QPoint(75, 25)));

  // Smaller than the insets the outline would be empty or inverted: the shape stays.
  const QRegion before = button.mask();
  button.resize(6, 6);
  EXPECT_FALSE(ui::RoundControl(button));
  EXPECT_FALSE(ui::RoundButton(button));
  EXPECT_EQ(button.mask(), before);
  QWidget fresh;
  fresh.resize(0, 0);
  EXPECT_FALSE(ui::RoundFormCorners(fresh));
  EXPECT_TRUE(fresh.mask().isEmpty());  // no mask: the whole widget shows
}

TEST(WindowShape, OnlyListBoxesLoseTheirBorder) {
  QComboBox combo;
  const bool framed = combo.hasFrame();
  EXPECT_FALSE(ui::RemoveListBoxBorder(combo));
  EXPECT_EQ(combo.hasFrame(), framed);
  QListWidget list;
  ASSERT_NE(list.frameShape(), QFrame::NoFrame);
  EXPECT_TRUE(ui::RemoveListBoxBorder(list));
  EXPECT_EQ(list.frameShape(), QFrame::NoFrame);
}

TEST(WindowShape, RoundedFrameRunsAlongTheEdgesOfThePicture) {
  constexpr ui::Color kGrey = ui::RGB(200, 200, 200);
  constexpr ui::Color kWhite = ui::RGB(255, 255, 255);
  ui::PictureBox pic;
  pic.resize(100, 60);
  pic.PSet(50, 30, ui::RGB(255, 0, 0));
  ASSERT_TRUE(ui::DrawRoundedFrame(pic));
  EXPECT_EQ(pic.DrawWidth(), 2);
  // Cleared first; the four edges grey; the corners cut round.
  const std::tuple<int, int, ui::Color> points[] = {
      {50, 30, kWhite}, {50, 0, kGrey},  {99, 30, kGrey},  {50, 59, kGrey}, {0, 30, kGrey},
      {0, 0, kWhite},   {99, 59, kWhite}, {0, 59, kWhite}, {99, 0, kWhite}};
  for (const auto& [x, y, colour] : points) EXPECT_EQ(pic.Point(x, y), colour) << x << "," << y;
  // Each corner arc bends towards its own corner (centre 15 units in, radius 15).
  auto grey_near = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (pic.Point(x + dx, y + dy) == kGrey) return true;
    return false;
  };
  EXPECT_TRUE(grey_near(4, 4) && grey_near(94, 4) && grey_near(94, 54) && grey_near(4, 54));
  EXPECT_FALSE(grey_near(26, 26));  // the inner side of the top-left arc's circle
  EXPECT_FALSE(grey_near(72, 32));

  // A picture without area (a right-to-left scale) is left alone, not cleared.
  pic.PSet(50, 30, ui::RGB(255, 0, 0));
  ASSERT_TRUE(pic.Scale(100, 0, 0, 60));
  EXPECT_FALSE(ui::DrawRoundedFrame(pic));
  EXPECT_EQ(pic.Point(50, 30), ui::RGB(255, 0, 0));
}

}  // namespace
