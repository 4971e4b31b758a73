#include "ui/trace_columns.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ui::PixelPoint;
using ui::PixelSegment;

TEST(TraceSegments, OneVerticalSegmentPerColumnJoinedAsThePolylineJoinsThem) {
  const struct {
    const char* what;
    std::vector<PixelPoint> points;
    std::vector<PixelSegment> segments;
  } cases[] = {
      {"nothing", {}, {}},
      {"one column: lowest to highest", {{2, 5}, {2, 9}, {2, 1}, {2, 4}}, {{2, 1, 2, 9}}},
      // The first column runs on to the row before the next one's, as a line from (0, 2)
      // to (1, 12) is drawn.
      {"a step up", {{0, 0}, {0, 2}, {1, 12}, {1, 11}}, {{0, 0, 0, 11}, {1, 11, 1, 12}}},
      {"a step down", {{4, 10}, {5, 3}}, {{4, 4, 4, 10}, {5, 3, 5, 3}}},
      {"level", {{0, 5}, {1, 5}}, {{0, 5, 0, 5}, {1, 5, 1, 5}}},
      // Columns apart: the polyline's own segment from the last point of the column.
      {"gaps",
       {{0, 1}, {0, 4}, {2, 6}, {5, 6}},
       {{0, 1, 0, 4}, {0, 4, 2, 6}, {2, 6, 2, 6}, {2, 6, 5, 6}, {5, 6, 5, 6}}},
  };
  for (const auto& c : cases) {
    std::vector<PixelSegment> got;
    ui::TraceSegments(c.points.data(), c.points.size(), got);
    EXPECT_EQ(got, c.segments) << c.what;
  }
}

}  // namespace
