#pragma once
// A trace of many samples as it looks at the picture's resolution: where several
// samples share a pixel column, the polyline through them fills that column from its
// lowest to its highest sample, so one vertical segment per column draws the same
// picture as a line per pair of neighbours, in a small fraction of the calls. No Qt
// here: the reduction is tested by table.
#include <cstddef>
#include <vector>

namespace ui {

struct PixelPoint {
  int x = 0;
  int y = 0;
};

struct PixelSegment {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool operator==(const PixelSegment&) const = default;
};

// Appends to `out` the segments that draw the polyline through `points` (pixel
// positions, in order) as it looks. Consecutive points in one pixel column become one
// vertical segment from their lowest to their highest; where the next point lies in
// the neighbouring column, the segment runs on to the row before it, which joins the
// two columns as the line between those points would. Points further apart than one
// column are joined by the polyline's own straight segment.
void TraceSegments(const PixelPoint* points, std::size_t count, std::vector<PixelSegment>& out);

}  // namespace ui
