#include "ui/fit_button.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <cmath>

namespace {

TEST(FitCaption, OneLineThenTwoThenASmallerFont) {
  QFont font("DejaVu Sans");
  font.setPointSizeF(9);
  const QFontMetricsF m(font);
  // Room for `text` with its pixel of air each side, and for n lines.
  auto wide = [&](const char* text) { return int(std::ceil(m.horizontalAdvance(text))) + 2; };
  auto high = [&](int n) { return int(std::ceil(m.height() + m.lineSpacing() * (n - 1))); };
  struct Row {
    const char* why;
    const char* caption;
    QSize area;
    bool full_size;  // or smaller but readable
    QStringList lines;
  };
  const Row rows[] = {
      {"fits", "Bar Plot", {wide("Bar Plot"), high(1)}, true, {"Bar Plot"}},
      {"too narrow: two lines", "Bar Plot", {wide("Plot"), high(2)}, true, {"Bar", "Plot"}},
      {"the split with the shorter longer line",
       "BodyBends Histogram PLOT",
       {wide("Histogram PLOT"), high(2)},
       true,
       {"BodyBends", "Histogram PLOT"}},
      {"one line high: smaller",
       "Heatmap PLOT",
       {wide("Heatmap PLO"), high(1)},
       false,
       {"Heatmap PLOT"}},
      {"no blank: smaller", "Connect", {wide("Connec"), high(2)}, false, {"Connect"}},
      {"two lines still too wide: smaller",
       "BodyBends Histogram PLOT",
       {wide("Histogram PLO"), high(2)},
       false,
       {"BodyBends", "Histogram PLOT"}},
      {"nothing to fit", "", {10, 10}, true, {""}},
  };
  for (const Row& r : rows) {
    const ui::CaptionFit fit = ui::FitCaption(r.caption, font, r.area);
    EXPECT_EQ(fit.lines, r.lines) << r.why;
    EXPECT_FALSE(fit.elided) << r.why;
    if (r.full_size) {
      EXPECT_EQ(fit.font.pointSizeF(), 9) << r.why;
    } else {
      EXPECT_LT(fit.font.pointSizeF(), 9) << r.why;
      EXPECT_GE(fit.font.pointSizeF(), ui::kReadablePoints) << r.why;
    }
    const QFontMetricsF fm(fit.font);
    for (const QString& line : fit.lines)
      EXPECT_LE(fm.horizontalAdvance(line), r.area.width() - 2) << r.why;
    // Half a point larger would not have fitted.
    if (!r.full_size) {
      QFont larger = fit.font;
      larger.setPointSizeF(fit.font.pointSizeF() + 0.5);
      const QFontMetricsF lm(larger);
      double widest = 0;
      for (const QString& line : fit.lines) widest = std::max(widest, lm.horizontalAdvance(line));
      EXPECT_GT(widest, r.area.width() - 2) << r.why;
    }
  }
}

TEST(FitCaption, BelowTheReadableSizeTheLinesAreElided) {
  QFont font("DejaVu Sans");
  font.setPointSizeF(9);
  const QFontMetricsF m(font);
  const int line = int(std::ceil(m.height()));
  struct Row {
    const char* why;
    QSize area;
    int lines;
  };
  const Row rows[] = {
      {"two lines high: both lines elided", {40, 3 * line}, 2},
      {"one line high: one elided line", {40, line}, 1},
      {"no room at all", {3, 3}, 1},
  };
  for (const Row& r : rows) {
    const ui::CaptionFit fit = ui::FitCaption("BodyBends Histogram PLOT", font, r.area);
    EXPECT_TRUE(fit.elided) << r.why;
    EXPECT_EQ(fit.font.pointSizeF(), ui::kReadablePoints) << r.why;
    ASSERT_EQ(fit.lines.size(), r.lines) << r.why;
    const QFontMetricsF fm(fit.font);
    for (const QString& text : fit.lines) {
      EXPECT_LE(fm.horizontalAdvance(text), std::max(0, r.area.width() - 2)) << r.why;
      if (!text.isEmpty()) EXPECT_TRUE(text.endsWith(QChar(0x2026))) << r.why;
    }
  }
}

// An elided caption is read whole from the tooltip, which goes once it fits again.
TEST(FitButton, AnElidedCaptionIsItsTooltip) {
  ui::FitButton button("BodyBends Histogram PLOT");
  button.resize(30, 20);
  button.grab();
  EXPECT_EQ(button.toolTip(), "BodyBends Histogram PLOT");
  button.resize(400, 40);
  button.grab();
  EXPECT_EQ(button.toolTip(), "");
  button.setToolTip("given");
  button.resize(30, 20);
  button.grab();
  EXPECT_EQ(button.toolTip(), "given");
}

}  // namespace
