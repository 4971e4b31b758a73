#include "ui/trace_columns.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ui::PixelPoint;
using ui::PixelSegment;

std::vector<PixelSegment> Segments(const std::vector<PixelPoint>& points) {
  std::vector<PixelSegment> out;
  ui::TraceSegments(points.data(), points.size(), out);
  return out;
}

TEST(TraceSegments, OneVerticalSegmentPerColumnJoinedAsThePolylineJoinsThem) {
  struct Case {
    const char* what;
    std::vector<PixelPoint> points;
    std::vector<PixelSegment> segments;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, {}},
      {"one sample", {{3, 7}}, {{3, 7, 3, 7}}},
      {"samples in one column: lowest to highest",
       {{2, 5}, {2, 9}, {2, 1}, {2, 4}},
       {{2, 1, 2, 9}}},
      // The step from 2 to 12 between neighbouring columns: the first column runs on
      // to row 11, as a line from (0, 2) to (1, 12) is drawn.
      {"a step up to the next column",
       {{0, 0}, {0, 2}, {1, 12}, {1, 11}},
       {{0, 0, 0, 11}, {1, 11, 1, 12}}},
      {"a step down", {{4, 10}, {5, 3}}, {{4, 4, 4, 10}, {5, 3, 5, 3}}},
      {"a step of one row", {{0, 5}, {1, 6}}, {{0, 5, 0, 5}, {1, 6, 1, 6}}},
      {"one sample per column, level",
       {{0, 5}, {1, 5}, {2, 5}},
       {{0, 5, 0, 5}, {1, 5, 1, 5}, {2, 5, 2, 5}}},
      // Fewer samples than pixels: the polyline's own segments join the samples.
      {"samples further apart than a column",
       {{0, 0}, {3, 6}, {6, 6}},
       {{0, 0, 0, 0}, {0, 0, 3, 6}, {3, 6, 3, 6}, {3, 6, 6, 6}, {6, 6, 6, 6}}},
      {"a full column, then a gap",
       {{0, 1}, {0, 4}, {2, 9}},
       {{0, 1, 0, 4}, {0, 4, 2, 9}, {2, 9, 2, 9}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Segments(c.points), c.segments) << c.what;
}

}  // namespace
