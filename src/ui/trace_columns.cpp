#include "ui/trace_columns.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace ui {

void TraceSegments(const PixelPoint* points, std::size_t count, std::vector<PixelSegment>& out) {
  std::size_t i = 0;
  while (i < count) {
    const int x = points[i].x;
    int lo = points[i].y, hi = points[i].y;
    std::size_t j = i + 1;
    for (; j < count && points[j].x == x; ++j) {
      lo = std::min(lo, points[j].y);
      hi = std::max(hi, points[j].y);
    }
    if (i > 0 && std::abs(int64_t{x} - points[i - 1].x) > 1)
      out.push_back({points[i - 1].x, points[i - 1].y, x, points[i].y});
    if (j < count && std::abs(int64_t{points[j].x} - x) == 1) {
      // The step to the next column: this column runs on to the row before the next
      // column's first point, as the painter's own line between the two is drawn.
      const int last = points[j - 1].y, next = points[j].y;
      const int reach = next > last ? next - 1 : next < last ? next + 1 : next;
      lo = std::min(lo, reach);
      hi = std::max(hi, reach);
    }
    out.push_back({x, lo, x, hi});
    i = j;
  }
}

}  // namespace ui
