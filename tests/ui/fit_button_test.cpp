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
    bool full_size;
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
       {wide("Heatmap"), high(1)},
       false,
       {"Heatmap PLOT"}},
      {"no blank: smaller", "Connect", {wide("Conn"), high(2)}, false, {"Connect"}},
      {"two lines still too wide: smaller",
       "BodyBends Histogram PLOT",
       {wide("Bod"), high(2)},
       false,
       {"BodyBends", "Histogram PLOT"}},
      {"nothing to fit", "", {10, 10}, true, {""}},
  };
  for (const Row& r : rows) {
    const ui::CaptionFit fit = ui::FitCaption(r.caption, font, r.area);
    EXPECT_EQ(fit.lines, r.lines) << r.why;
    EXPECT_EQ(fit.font.pointSizeF() == 9, r.full_size) << r.why << " " << fit.font.pointSizeF();
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
  // No room at all: the shrinking ends at 2 points.
  EXPECT_EQ(ui::FitCaption("Start Acquisition", font, {3, 3}).font.pointSizeF(), 2);
}

}  // namespace
