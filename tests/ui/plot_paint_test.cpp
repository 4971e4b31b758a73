// Label rows under a plot's slots: one row while the labels fit their slots, two
// staggered lines when they do not and the row is high enough, every label whole.
// Texts that must read whole in a narrow margin, and scaled texts, stay readable.
#include "ui/plot_paint.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <algorithm>
#include <string>
#include <vector>

#include "ui/fit_button.h"

namespace {

// 400 x 100 pixels over x 0..100 and y 10..-10: 4 pixels a unit across, 5 down.
constexpr double kAcross = 4, kDown = 5;

double WidthAt(const ui::PictureBox& pic, double points, const std::string& text) {
  QFont font = pic.Font();
  font.setPointSizeF(points);
  return QFontMetricsF(font).horizontalAdvance(QString::fromStdString(text));
}

double LineAt(const ui::PictureBox& pic, double points) {
  QFont font = pic.Font();
  font.setPointSizeF(points);
  return QFontMetricsF(font).height();
}

TEST(LabelRow, OneRowWhileLabelsFitTwoLinesWhenNotAndTheRowIsHighEnough) {
  ui::PictureBox pic;
  pic.resize(400, 100);
  pic.Scale(0, 10, 100, -10);
  pic.SetFontSize(9);
  const std::vector<double> xs = {0, 20, 40, 60, 80};
  const std::vector<std::string> longer(5, "G10_Group10");
  struct Row {
    const char* what;
    std::vector<std::string> labels;
    double bottom;
    bool staggered;
  };
  const std::vector<Row> rows = {
      {"short labels", {"G0", "G1", "G2", "G3", "G4"}, -10, false},
      {"labels wider than a slot", longer, -10, true},
      {"too low for two lines", longer, -3, false},
  };
  for (const Row& r : rows) {
    ui::DrawPlan plan;
    plan.LabelRow(xs, r.labels, 20, -1, 0, r.bottom);
    const ui::LabelRowFit fit = ui::FitLabelRow(pic, plan.Ops().front());
    ASSERT_EQ(fit.at.size(), xs.size()) << r.what;
    EXPECT_EQ(fit.staggered, r.staggered) << r.what;
    if (!r.staggered) {
      EXPECT_EQ(fit.points, 9) << r.what;
      for (std::size_t i = 0; i < xs.size(); ++i) {
        EXPECT_EQ(fit.at[i], QPointF(xs[i], -1)) << r.what << " " << i;
        EXPECT_EQ(fit.room[i], 20) << r.what << " " << i;
      }
      continue;
    }
    // Readable, both lines inside the row, every label whole in a room of its own.
    EXPECT_GE(fit.points, ui::kReadablePoints) << r.what;
    EXPECT_LE(fit.points, 9) << r.what;
    const double line = LineAt(pic, fit.points) / kDown;
    for (std::size_t i = 0; i < xs.size(); ++i) {
      const double top = i % 2 == 0 ? -1 : -1 - line;
      EXPECT_NEAR(fit.at[i].y(), top, 1e-9) << r.what << " " << i;
      EXPECT_GE(top - line, r.bottom) << r.what << " " << i;
      EXPECT_LE(WidthAt(pic, fit.points, r.labels[i]), fit.room[i] * kAcross) << r.what << " " << i;
      EXPECT_LE(fit.at[i].x() + fit.room[i], 100) << r.what << " " << i;
      if (i >= 2) {
        const double before = fit.at[i - 2].x() + WidthAt(pic, fit.points, r.labels[i - 2]) / kAcross;
        EXPECT_LT(before, fit.at[i].x()) << r.what << " " << i;
      }
    }
    // The last label, cut by the right edge in its place, starts further left.
    EXPECT_LT(fit.at.back().x(), xs.back()) << r.what;
  }
}

// Rows of a picture holding dark pixels, as bands of consecutive rows, and the
// rightmost dark column (-1 for none).
struct Ink {
  int bands = 0;
  int right = -1;
};
Ink InkOf(const QImage& image) {
  Ink ink;
  bool in_band = false;
  for (int y = 0; y < image.height(); ++y) {
    bool dark = false;
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 128) {
        dark = true;
        ink.right = std::max(ink.right, x);
      }
    }
    if (dark && !in_band) ++ink.bands;
    in_band = dark;
  }
  return ink;
}

TEST(WholeText, ShrinksToTheReadableFloorThenGoesOnFurtherLinesNeverCut) {
  struct Row {
    const char* what;
    double room;  // user units, 4 pixels each
    int lines;
  };
  const std::vector<Row> rows = {
      {"room for the picture's font", 12, 1},
      {"room at a smaller font", 7, 1},
      {"too narrow at the floor", 5, 2},
  };
  for (const Row& r : rows) {
    ui::PictureBox pic;
    pic.resize(400, 100);
    pic.Scale(0, 10, 100, -10);
    pic.SetFontSize(9);
    pic.Cls();
    ASSERT_GT(WidthAt(pic, 9, "100%"), 7 * kAcross);
    ASSERT_GT(WidthAt(pic, ui::kReadablePoints, "100%"), 5 * kAcross);
    ui::DrawPlan plan;
    plan.WholeText(0, 10, "100%", 0, r.room);
    ui::PaintPlan(pic, plan);
    const Ink ink = InkOf(pic.Image());
    EXPECT_EQ(ink.bands, r.lines) << r.what;
    EXPECT_GE(ink.right, 0) << r.what;
    EXPECT_LT(ink.right, r.room * kAcross) << r.what;
    EXPECT_EQ(pic.FontSize(), 9) << r.what;
  }
}

TEST(ScaledText, NeverDrawsBelowTheReadableFloor) {
  const auto draw = [](double font, double scale) {
    ui::PictureBox pic;
    pic.resize(200, 50);
    pic.Scale(0, 10, 100, -10);
    pic.SetFontSize(font);
    pic.Cls();
    ui::DrawPlan plan;
    plan.ScaledText(0, 10, "250", 0, scale);
    ui::PaintPlan(pic, plan);
    return pic.Image();
  };
  EXPECT_EQ(draw(8, 0.75), draw(ui::kReadablePoints, 1.0));  // 6 points asked
  EXPECT_EQ(draw(12, 0.75), draw(9, 1.0));
}

}  // namespace
