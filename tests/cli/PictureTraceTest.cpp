// Traced outlines against the shapes that were drawn: exact areas and centres
// (up to the pixel staircase), corners on the pixel grid, holes and islands,
// the SVG written and read back, and the refusals.
#include "cli/PictureTrace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "cli/PathSvgWriter.h"
#include "cli/SvgPath.h"
#include "tests/support/CountingMemory.h"

namespace {

// A plane with 255 on the pixels whose centre `inside` accepts, 0 elsewhere.
std::vector<uint8_t> Draw(int32_t width, int32_t height, const std::function<bool(double, double)>& inside) {
  std::vector<uint8_t> plane(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      plane[static_cast<size_t>(y) * width + x] = inside(x + 0.5, y + 0.5) ? 255 : 0;
  return plane;
}

// Area and centroid of the region the closed subpaths bound, every subpath
// counted with its orientation (so holes subtract). Green's theorem along
// each segment with 5-point Gauss-Legendre, exact for cubic segments.
struct Moments {
  double area = 0, momentX = 0, momentY = 0;
  double CentreX() const { return momentX / area; }
  double CentreY() const { return momentY / area; }
};

Moments RegionMoments(const PathModel& path) {
  static const double nodes[5] = {-0.9061798459386640, -0.5384693101056831, 0.0, 0.5384693101056831,
                                  0.9061798459386640};
  static const double weights[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889,
                                    0.4786286704993665, 0.2369268850561891};
  Moments m;
  for (const Subpath& subpath : path.subpaths) {
    const size_t n = subpath.knots.size();
    for (size_t k = 0; k < n; ++k) {
      const PathKnot& a = subpath.knots[k];
      const PathKnot& b = subpath.knots[(k + 1) % n];
      const double px[4] = {a.anchorX, a.outX, b.inX, b.anchorX}, py[4] = {a.anchorY, a.outY, b.inY, b.anchorY};
      for (int g = 0; g < 5; ++g) {
        const double t = 0.5 * (nodes[g] + 1), s = 1 - t;
        const double x = s * s * s * px[0] + 3 * s * s * t * px[1] + 3 * s * t * t * px[2] + t * t * t * px[3];
        const double y = s * s * s * py[0] + 3 * s * s * t * py[1] + 3 * s * t * t * py[2] + t * t * t * py[3];
        const double dx = 3 * (s * s * (px[1] - px[0]) + 2 * s * t * (px[2] - px[1]) + t * t * (px[3] - px[2]));
        const double dy = 3 * (s * s * (py[1] - py[0]) + 2 * s * t * (py[2] - py[1]) + t * t * (py[3] - py[2]));
        const double w = 0.5 * weights[g];
        m.area += w * 0.5 * (x * dy - y * dx);
        m.momentX += w * 0.5 * x * x * dy;
        m.momentY -= w * 0.5 * y * y * dx;
      }
    }
  }
  return m;
}

PathModel Trace(const std::vector<uint8_t>& plane, int32_t width, int32_t height, TraceReport* report = nullptr,
                const TraceSettings& settings = TraceSettings()) {
  ScopedCountingMemory memory;
  PathModel path;
  std::string error;
  EXPECT_TRUE(TracePlane(plane.data(), width, height, 128, settings, path, report, error)) << error;
  EXPECT_EQ(memory.memory.liveBlocks, 0);
  return path;
}

// The traced region has the drawn shape's area and centre, within the
// staircase: the pixels whose centres lie inside an outline reach at most
// half a pixel beyond it or short of it, so the area may differ by half a
// pixel times the perimeter. The fitted curves cut a little into convex
// bends (on discs of 12 to 40 pixels by up to a quarter pixel on average);
// the centre stays within a fifth of a pixel.
void ExpectRegion(const PathModel& path, double area, double perimeter, double centreX, double centreY) {
  const Moments m = RegionMoments(path);
  EXPECT_NEAR(std::fabs(m.area), area, perimeter / 2);
  EXPECT_NEAR(m.CentreX(), centreX, 0.2);
  EXPECT_NEAR(m.CentreY(), centreY, 0.2);
}

}  // namespace

TEST(PictureTrace, DiscsSquaresAndRingsHaveTheAreaAndCentreDrawn) {
  constexpr int32_t W = 160, H = 120;
  std::mt19937 random(12);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int trial = 0; trial < 24; ++trial) {
    const double cx = 60 + 40 * unit(random), cy = 45 + 30 * unit(random);
    const double outer = 12 + 28 * unit(random), inner = outer * (0.3 + 0.4 * unit(random));
    const double island = inner * 0.4;

    TraceReport report;
    PathModel disc = Trace(Draw(W, H, [&](double x, double y) { return std::hypot(x - cx, y - cy) <= outer; }), W, H);
    ExpectRegion(disc, M_PI * outer * outer, 2 * M_PI * outer, cx, cy);
    // A round outline is all smooth curve: no knot is a corner.
    ASSERT_EQ(disc.subpaths.size(), 1u);
    for (const PathKnot& knot : disc.subpaths[0].knots) EXPECT_TRUE(knot.linked);

    // A ring with an island in its hole: each outline counted with its
    // orientation, the hole subtracts and the island adds again.
    PathModel ring = Trace(Draw(W, H,
                                [&](double x, double y) {
                                  const double r = std::hypot(x - cx, y - cy);
                                  return (r <= outer && r >= inner) || r <= island;
                                }),
                           W, H, &report);
    EXPECT_EQ(report.outlines, 2);
    EXPECT_EQ(report.holes, 1);
    ASSERT_EQ(ring.subpaths.size(), 3u);
    ExpectRegion(ring, M_PI * (outer * outer - inner * inner + island * island), 2 * M_PI * (outer + inner + island),
                 cx, cy);

    // A square on whole pixels is traced exactly: four corners on the grid, y
    // downwards as in the picture. (Below 8 pixels a side the default corner
    // threshold rounds it.)
    const int32_t x0 = 10 + static_cast<int32_t>(60 * unit(random)), y0 = 5 + static_cast<int32_t>(40 * unit(random));
    const int32_t side = 8 + static_cast<int32_t>(50 * unit(random));
    PathModel square = Trace(
        Draw(W, H, [&](double x, double y) { return x > x0 && x < x0 + side && y > y0 && y < y0 + side; }), W, H);
    const Moments m = RegionMoments(square);
    EXPECT_NEAR(std::fabs(m.area), double(side) * side, 1e-6);
    EXPECT_NEAR(m.CentreX(), x0 + side / 2.0, 1e-9);
    EXPECT_NEAR(m.CentreY(), y0 + side / 2.0, 1e-9);
    ASSERT_EQ(square.subpaths.size(), 1u);
    ASSERT_EQ(square.subpaths[0].knots.size(), 4u);
    for (const PathKnot& knot : square.subpaths[0].knots) {
      EXPECT_FALSE(knot.linked);
      EXPECT_TRUE(knot.anchorX == x0 || knot.anchorX == x0 + side) << knot.anchorX;
      EXPECT_TRUE(knot.anchorY == y0 || knot.anchorY == y0 + side) << knot.anchorY;
      EXPECT_TRUE(knot.inX == knot.anchorX && knot.outY == knot.anchorY);
    }
  }
}

TEST(PictureTrace, WrittenSvgReadsBackAsTheSamePath) {
  constexpr int32_t W = 97, H = 64;
  PathModel path = Trace(Draw(W, H,
                              [](double x, double y) {
                                const double r = std::hypot(x - 30, y - 30);
                                return (r < 25 && r > 11) || (x > 60 && x < 90 && y > 10 && y < 55 && y < x - 40);
                              }),
                         W, H);
  ASSERT_EQ(path.subpaths.size(), 3u);
  SvgReadOptions options;
  options.documentWidth = W;
  options.documentHeight = H;
  SvgReadResult read;
  std::string error;
  ASSERT_TRUE(ReadSvgText(PathSvgText(path, W, H), options, read, error)) << error;
  ASSERT_EQ(read.path.subpaths.size(), path.subpaths.size());
  for (size_t s = 0; s < path.subpaths.size(); ++s) {
    const std::vector<PathKnot>& want = path.subpaths[s].knots;
    const std::vector<PathKnot>& got = read.path.subpaths[s].knots;
    EXPECT_TRUE(read.path.subpaths[s].closed);
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) {
      EXPECT_EQ(got[k].anchorX, want[k].anchorX);
      EXPECT_EQ(got[k].anchorY, want[k].anchorY);
      EXPECT_EQ(got[k].inX, want[k].inX);
      EXPECT_EQ(got[k].inY, want[k].inY);
      EXPECT_EQ(got[k].outX, want[k].outX);
      EXPECT_EQ(got[k].outY, want[k].outY);
      EXPECT_EQ(got[k].linked, want[k].linked);
    }
  }
}

TEST(PictureTrace, RefusalsLeaveThePathAloneAndFreeEverything) {
  constexpr int32_t W = 40, H = 30;
  const std::vector<uint8_t> speck = Draw(W, H, [](double x, double y) { return x > 5 && x < 6 && y > 5 && y < 7; });
  const std::vector<uint8_t> blob = Draw(W, H, [](double x, double y) { return std::hypot(x - 20, y - 15) < 9; });
  PathModel path;
  path.subpaths.resize(1);  // what the caller had before stays untouched
  std::string error;
  ScopedCountingMemory memory;

  EXPECT_FALSE(TracePlane(blob.data(), W, H, 0, TraceSettings(), path, nullptr, error));
  std::vector<uint8_t> faint(blob.size(), 127);
  EXPECT_FALSE(TracePlane(faint.data(), W, H, 128, TraceSettings(), path, nullptr, error));
  EXPECT_NE(error.find("no pixel reaches the threshold 128"), std::string::npos) << error;
  EXPECT_FALSE(TracePlane(speck.data(), W, H, 128, TraceSettings(), path, nullptr, error));
  EXPECT_NE(error.find("speckle"), std::string::npos) << error;
  TraceSettings bad;
  bad.cornerThreshold = 1.5;
  EXPECT_FALSE(TracePlane(blob.data(), W, H, 128, bad, path, nullptr, error));
  EXPECT_FALSE(TracePlane(blob.data(), 0, H, 128, TraceSettings(), path, nullptr, error));
  EXPECT_EQ(path.subpaths.size(), 1u);

  // Speckles stay when asked; every allocation of a trace may fail.
  TraceSettings keepAll;
  keepAll.speckleSize = 0;
  ASSERT_TRUE(TracePlane(speck.data(), W, H, 128, keepAll, path, nullptr, error)) << error;
  EXPECT_EQ(path.subpaths.size(), 2u);
  memory.memory.Reset();
  ASSERT_TRUE(TracePlane(blob.data(), W, H, 128, TraceSettings(), path, nullptr, error));
  const long allocations = memory.memory.allocations;
  ASSERT_GE(allocations, 1);
  for (long failAt = 1; failAt <= allocations; ++failAt) {
    memory.memory.Reset();
    memory.memory.failAt = failAt;
    EXPECT_FALSE(TracePlane(blob.data(), W, H, 128, TraceSettings(), path, nullptr, error));
    EXPECT_EQ(memory.memory.result, MemFullErr);
    EXPECT_EQ(memory.memory.liveBlocks, 0);
    EXPECT_EQ(path.subpaths.size(), 3u);
  }
}
