#include "tests/support/ShapeDistance.h"

#include <algorithm>
#include <cmath>

namespace shape_test {
namespace {
constexpr double Cell = 16.0;  // pixels

double SegmentDistance(const Pt& a, const Pt& b, double x, double y) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(a.x + t * dx - x, a.y + t * dy - y);
}
}  // namespace

ShapeDistance::ShapeDistance(const Contours& contours) {
  double maxX = -1e30, maxY = -1e30;
  minX_ = minY_ = 1e30;
  for (const auto& ring : contours)
    for (size_t i = 0; i < ring.size(); ++i) {
      segments_.push_back({ring[i], ring[(i + 1) % ring.size()]});
      minX_ = std::min(minX_, ring[i].x), minY_ = std::min(minY_, ring[i].y);
      maxX = std::max(maxX, ring[i].x), maxY = std::max(maxY, ring[i].y);
    }
  if (segments_.empty()) return;
  columns_ = int32_t((maxX - minX_) / Cell) + 1;
  rows_ = int32_t((maxY - minY_) / Cell) + 1;
  cells_.resize(size_t(columns_) * rows_);
  coarse_.assign(cells_.size(), -1);
  for (size_t s = 0; s < segments_.size(); ++s) {
    const Segment& g = segments_[s];
    // Every cell of the segment's bounding box: a superset is harmless.
    int32_t c0 = int32_t((std::min(g.a.x, g.b.x) - minX_) / Cell), c1 = int32_t((std::max(g.a.x, g.b.x) - minX_) / Cell);
    int32_t r0 = int32_t((std::min(g.a.y, g.b.y) - minY_) / Cell), r1 = int32_t((std::max(g.a.y, g.b.y) - minY_) / Cell);
    for (int32_t r = r0; r <= r1; ++r)
      for (int32_t c = c0; c <= c1; ++c) cells_[size_t(r) * columns_ + c].push_back(int32_t(s));
  }
}

bool ShapeDistance::InsidePixel(int32_t x, int32_t y) {
  const double cy = y + 0.5, cx = x + 0.5;
  if (y != crossingRow_) {
    crossingRow_ = y;
    crossings_.clear();
    for (const Segment& g : segments_)
      if ((g.a.y > cy) != (g.b.y > cy)) crossings_.push_back(g.a.x + (cy - g.a.y) * (g.b.x - g.a.x) / (g.b.y - g.a.y));
    std::sort(crossings_.begin(), crossings_.end());
  }
  // Inside when an odd number of crossings lie right of the centre.
  size_t right = crossings_.end() - std::upper_bound(crossings_.begin(), crossings_.end(), cx);
  return (right & 1) != 0;
}

double ShapeDistance::BoundaryDistance(double x, double y, double cap) const {
  if (segments_.empty()) return cap + 1;
  // Rings of cells around the point's cell until the best distance found is
  // nearer than anything the next ring can hold.
  const int32_t c = int32_t(std::floor((x - minX_) / Cell)), r = int32_t(std::floor((y - minY_) / Cell));
  // Distance from the point to the grid's box: rings closer than that are empty.
  double best = 1e30;
  const int32_t maxRing = int32_t(cap / Cell) + 2 + std::max({-c, -r, c - columns_, r - rows_, 0});
  for (int32_t k = 0; k <= maxRing; ++k) {
    // Every cell of ring k lies at least (k - 1) * Cell from the point.
    if (best <= (k - 1) * Cell) break;
    for (int32_t rr = r - k; rr <= r + k; ++rr) {
      if (rr < 0 || rr >= rows_) continue;
      const bool edgeRow = rr == r - k || rr == r + k;
      for (int32_t cc = c - k; cc <= c + k; cc += edgeRow ? 1 : 2 * k) {
        if (cc >= 0 && cc < columns_)
          for (int32_t s : cells_[size_t(rr) * columns_ + cc])
            best = std::min(best, SegmentDistance(segments_[s].a, segments_[s].b, x, y));
        if (k == 0) break;
      }
    }
  }
  return best;
}

double ShapeDistance::BoundaryLowerBound(double x, double y, double cap) {
  const int32_t c = int32_t(std::floor((x - minX_) / Cell)), r = int32_t(std::floor((y - minY_) / Cell));
  if (c < 0 || r < 0 || c >= columns_ || r >= rows_) return 0;
  double& d = coarse_[size_t(r) * columns_ + c];
  if (d < 0) d = BoundaryDistance(minX_ + (c + 0.5) * Cell, minY_ + (r + 0.5) * Cell, cap + Cell);
  return d - Cell * 0.7072;
}

}  // namespace shape_test
