// Signed distance from the even-odd region of polygons given in pixels,
// computed straight from their edges (no rasteriser involved): the oracle for
// "every point within a bevel's size of the shape is covered".
#pragma once
#include <cstdint>
#include <vector>

namespace shape_test {

struct Pt {
  double x, y;
};
using Contours = std::vector<std::vector<Pt>>;

class ShapeDistance {
 public:
  explicit ShapeDistance(const Contours& contours);
  // Even-odd inside test of a pixel centre (x + 0.5, y + 0.5), integer pixel.
  bool InsidePixel(int32_t x, int32_t y);
  // Distance from a point to the nearest edge, or a value above `cap` when
  // no edge is that near.
  double BoundaryDistance(double x, double y, double cap) const;
  // A lower bound of the distance from (x, y) to the nearest edge, from a
  // cached distance of the centre of the coarse cell holding the point; a
  // value above `cap` means no edge is within `cap`.
  double BoundaryLowerBound(double x, double y, double cap);

 private:
  struct Segment {
    Pt a, b;
  };
  std::vector<Segment> segments_;
  double minX_ = 0, minY_ = 0;
  int32_t columns_ = 0, rows_ = 0;
  std::vector<std::vector<int32_t>> cells_;  // segment indices touching each cell
  std::vector<double> coarse_;               // per cell: centre distance, or -1 until computed
  int32_t crossingRow_ = INT32_MIN;
  std::vector<double> crossings_;            // of the current pixel row's centre line, sorted
};

// Coverage of the grown shape: pixels the relief must cover in full. A pixel
// qualifies when its whole 5 x 5 neighbourhood lies within `size` of the
// region, which holds when its centre's signed distance (negative inside) is
// at most size - 2.5 * sqrt(2).
constexpr double NeighbourhoodReach = 3.5355339059327378;

}  // namespace shape_test
