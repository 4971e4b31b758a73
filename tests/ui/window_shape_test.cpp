#include "ui/window_shape.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include "ui/picture_box.h"

namespace {

TEST(WindowShape, OutlinesFollowTheTable) {
  // A window of 900 x 600 twips at 15 twips per pixel.
  EXPECT_EQ(ui::FormCornersRect(900, 600, 15, 15), (ui::RoundRect{0, 0, 60, 40, 30, 30}));
  // Integer division: 914 twips are still 60 pixels.
  EXPECT_EQ(ui::FormCornersRect(914, 614, 15, 15), (ui::RoundRect{0, 0, 60, 40, 30, 30}));
  // A button of 1200 x 450 twips.
  EXPECT_EQ(ui::ButtonRect(1200, 450, 15, 15), (ui::RoundRect{5, 5, 76, 26, 20, 20}));
  // A control in pixels, taken as it is.
  EXPECT_EQ(ui::ControlRect(120, 40), (ui::RoundRect{5, 5, 116, 36, 20, 20}));
  // A screen reporting no twips per pixel: both sizes count as 0.
  const ui::RoundRect none = ui::ButtonRect(1200, 450, 0, 15);
  EXPECT_EQ(none, (ui::RoundRect{5, 5, -4, -4, 20, 20}));
  EXPECT_TRUE(none.IsEmpty());
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
  // Symmetric corners.
  EXPECT_EQ(r.contains(QPoint(4, 4)), r.contains(QPoint(55, 35)));
  EXPECT_EQ(r.contains(QPoint(5, 2)), r.contains(QPoint(54, 37)));

  const QRegion button = ui::RoundRectRegion({5, 5, 76, 26, 20, 20});
  EXPECT_EQ(button.boundingRect(), QRect(QPoint(5, 5), QPoint(75, 25)));
  EXPECT_TRUE(ui::RoundRectRegion({5, 5, -4, -4, 20, 20}).isEmpty());
  // Corners larger than the rectangle are cut down to it: a small square stays whole.
  EXPECT_TRUE(ui::RoundRectRegion({0, 0, 10, 10, 30, 30}).contains(QPoint(5, 0)));
}

TEST(WindowShape, WidgetsGetTheirOutlineAsAMask) {
  QWidget panel;
  panel.resize(60, 40);
  EXPECT_TRUE(ui::RoundFormCorners(panel));
  EXPECT_EQ(panel.mask(), ui::RoundRectRegion({0, 0, 60, 40, 30, 30}));

  QPushButton button;
  button.resize(80, 30);  // 1200 x 450 twips
  EXPECT_TRUE(ui::RoundButton(button));
  EXPECT_EQ(button.mask(), ui::RoundRectRegion({5, 5, 76, 26, 20, 20}));

  QPushButton play;
  play.resize(120, 40);
  EXPECT_TRUE(ui::RoundControl(play));
  EXPECT_EQ(play.mask().boundingRect(), QRect(QPoint(5, 5), QPoint(115, 35)));
}

TEST(WindowShape, TooSmallAControlKeepsItsShapeInsteadOfVanishing) {
  QPushButton button;
  button.resize(80, 30);
  ASSERT_TRUE(ui::RoundControl(button));
  const QRegion before = button.mask();
  // Smaller than the insets: the outline would be empty or inverted.
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
  combo.addItem("Group 1");
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
  EXPECT_EQ(pic.Point(50, 30), kWhite);  // cleared first
  EXPECT_EQ(pic.Point(50, 0), kGrey);    // top
  EXPECT_EQ(pic.Point(99, 30), kGrey);   // right
  EXPECT_EQ(pic.Point(50, 59), kGrey);   // bottom
  EXPECT_EQ(pic.Point(0, 30), kGrey);    // left
  EXPECT_EQ(pic.Point(0, 0), kWhite);    // the corners are cut round
  EXPECT_EQ(pic.Point(99, 59), kWhite);
  EXPECT_EQ(pic.Point(0, 59), kWhite);
  EXPECT_EQ(pic.Point(99, 0), kWhite);
  // Each corner arc bends towards its own corner (centre 15 units in, radius 15).
  auto grey_near = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (pic.Point(x + dx, y + dy) == kGrey) return true;
    return false;
  };
  EXPECT_TRUE(grey_near(4, 4));
  EXPECT_TRUE(grey_near(83 + 11, 4));
  EXPECT_TRUE(grey_near(83 + 11, 43 + 11));
  EXPECT_TRUE(grey_near(4, 43 + 11));
  EXPECT_FALSE(grey_near(26, 26));  // the inner side of the top-left arc's circle
  EXPECT_FALSE(grey_near(72, 32));
}

TEST(WindowShape, RoundedFrameSkipsAPictureWithoutArea) {
  ui::PictureBox pic;
  pic.resize(100, 60);
  ASSERT_TRUE(pic.Scale(100, 0, 0, 60));  // right to left: width -100
  pic.PSet(50, 30, ui::RGB(255, 0, 0));
  EXPECT_FALSE(ui::DrawRoundedFrame(pic));
  EXPECT_EQ(pic.Point(50, 30), ui::RGB(255, 0, 0));  // not cleared
}

}  // namespace
