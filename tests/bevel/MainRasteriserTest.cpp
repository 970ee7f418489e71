// Main alone: the even-odd fill of the Inner outlines, checked against exact
// areas and brute-force point sampling.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "BandTestSupport.h"
#include "bevel/ElementBuilders.h"
#include "bevel/MainRasteriser.h"
#include "tests/support/CountingMemory.h"

using namespace band_test;

namespace {

struct MainScene {
  ScopedCountingMemory memory;
  Outline outline;
  ElementBuffer* main = nullptr;
  explicit MainScene(const std::vector<Polygon>& rings) {
    for (const Polygon& ring : rings) EXPECT_TRUE(outline.AddRing(ring));
    outline.Prepare();
  }
  ~MainScene() {
    DisposeElementBuffer(&main);
    EmptyPool(&gMainSpanPool);
    EmptyPool(&gOutlinePool);
    outline.Free();
    EXPECT_EQ(0, memory.memory.liveBlocks);
  }
  CoverageGrid Build() {
    EXPECT_EQ(1, BuildMainAlone(outline.list, &main));
    EXPECT_EQ(0, memory.memory.result);
    CoverageGrid grid(DocumentSize, DocumentSize);
    EXPECT_TRUE(grid.Add(main));
    return grid;
  }
};

// Per pixel, the covered count must equal the samples whose centres lie
// inside (even-odd), give or take the samples too near an edge to decide.
void ExpectMatchesSampling(const std::vector<Polygon>& rings, CoverageGrid& grid, int32_t left, int32_t top,
                           int32_t right, int32_t bottom, double tolerance) {
  std::vector<std::vector<Pt>> polygons(rings.begin(), rings.end());
  for (int32_t py = top; py < bottom; ++py)
    for (int32_t px = left; px < right; ++px) {
      int inside = 0, near = 0;
      for (int32_t sy = 0; sy < SampleRows; ++sy)
        for (int32_t sx = 0; sx < SampleColumns; ++sx) {
          double x = px + SampleX(sx), y = py + SampleY(sy);
          double nearest = 1e30;
          for (const auto& ring : polygons)
            for (size_t i = 0; i < ring.size(); ++i)
              nearest = std::min(nearest, SegmentDistance(ring[i], ring[(i + 1) % ring.size()], x, y));
          if (nearest < tolerance)
            ++near;
          else
            inside += InsideEvenOdd(polygons, x, y);
        }
      int32_t count = grid.At(px, py);
      ASSERT_GE(count, inside) << px << "," << py;
      ASSERT_LE(count, inside + near) << px << "," << py;
    }
}

}  // namespace

TEST(MainAlone, SquareOnPixelCornersIsFullyCovered) {
  MainScene scene({Reversed(Rect(2, 3, 12, 9))});
  CoverageGrid grid = scene.Build();
  ASSERT_NE(scene.main, nullptr);
  EXPECT_EQ(2, scene.main->x0);
  EXPECT_EQ(3, scene.main->y0);
  EXPECT_EQ(10, scene.main->width);
  EXPECT_EQ(6, scene.main->height);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x)
      EXPECT_EQ(x >= 2 && x < 12 && y >= 3 && y < 9 ? 32 : 0, grid.At(x, y)) << x << "," << y;
  // One span per row, twelve bytes a pixel in one block.
  for (int32_t row = 0; row < 6; ++row) {
    const Span* span = scene.main->rows[row];
    ASSERT_NE(span, nullptr);
    EXPECT_EQ(nullptr, span->next);
    EXPECT_EQ(0, span->xStart);
    EXPECT_EQ(10, span->xEnd);
  }
}

TEST(MainAlone, HalfPixelAndSampleCentreEdges) {
  {
    MainScene scene({Reversed(Rect(0.5, 0, 10, 4))});
    CoverageGrid grid = scene.Build();
    EXPECT_EQ(16, grid.At(0, 0));
    EXPECT_EQ(32, grid.At(1, 0));
    EXPECT_EQ(16 * 4, grid.At(0, 0) + grid.At(0, 1) + grid.At(0, 2) + grid.At(0, 3));
  }
  {
    // Top edge on the centre of sample row 0 (not covered), bottom edge on
    // the centre of sample row 4 (covered).
    MainScene scene({Reversed(Rect(0, 0.125, 8, 1.125))});
    CoverageGrid grid = scene.Build();
    EXPECT_EQ(24, grid.At(3, 0));
    EXPECT_EQ(8, grid.At(3, 1));
    EXPECT_EQ(0, grid.At(3, 2));
  }
}

TEST(MainAlone, RingInsideARingMakesAHole) {
  Polygon outer = Reversed(Rect(10, 10, 50, 40)), hole = Rect(20, 18, 30, 30);
  MainScene scene({outer, hole});
  CoverageGrid grid = scene.Build();
  EXPECT_EQ(int64_t(40 * 30 - 10 * 12) * 32, grid.Total());
  EXPECT_EQ(0, grid.At(25, 25));
  EXPECT_EQ(32, grid.At(15, 25));
}

TEST(MainAlone, CoverageMatchesAreaAndSamplingOfRandomPolygons) {
  std::mt19937 random(21);
  std::uniform_real_distribution<double> radius(6, 40), angle(0, 0.5);
  for (int trial = 0; trial < 4; ++trial) {
    // A star-like polygon around (60, 60): simple, with reflex corners.
    Polygon star;
    int points = 5 + trial * 3;
    double a = 0;
    for (int i = 0; i < points; ++i) {
      a += 2 * std::numbers::pi / points;
      double r = radius(random), b = a + angle(random) * 2 * std::numbers::pi / points;
      star.push_back({60.3 + r * std::cos(b), 60.7 + r * std::sin(b)});
    }
    // Even-odd over two overlapping rings too.
    std::vector<Polygon> rings = {star};
    if (trial % 2 == 1) rings.push_back(Regular(70, 55, 14, 11, 0.2));
    MainScene scene(rings);
    CoverageGrid grid = scene.Build();
    double area = 0;
    double edgeHeight = 0, edgeWidth = 0;
    for (const Polygon& ring : rings) {
      area += std::fabs(ShoelaceArea(ring));
      for (size_t i = 0; i < ring.size(); ++i) {
        edgeHeight += std::fabs(ring[(i + 1) % ring.size()].y - ring[i].y);
        edgeWidth += std::fabs(ring[(i + 1) % ring.size()].x - ring[i].x);
      }
    }
    if (trial % 2 == 0) {
      // Point sampling of a simple polygon: within one sample per crossing.
      double bound = edgeHeight * SampleRows / double(PixelSamples) + edgeWidth * SampleColumns / double(PixelSamples);
      EXPECT_NEAR(area, grid.Total() / double(PixelSamples), bound * 0.25) << trial;
    }
    double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
    for (const Polygon& ring : rings)
      for (const Pt& p : ring) {
        minX = std::min(minX, p.x), minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
      }
    // Outside the bounding box nothing may be covered at all.
    int64_t inBox = 0;
    for (int32_t y = int32_t(minY); y <= int32_t(maxY); ++y)
      for (int32_t x = int32_t(minX); x <= int32_t(maxX); ++x) inBox += grid.At(x, y);
    EXPECT_EQ(grid.Total(), inBox);
    ExpectMatchesSampling(rings, grid, int32_t(minX), int32_t(minY), int32_t(maxX) + 1, int32_t(maxY) + 1, 0.01);
    if (HasFatalFailure()) return;
  }
}

TEST(MainAlone, FailedAllocationsLeaveMemFullAndNothingBehind) {
  Polygon shape = Reversed(Regular(40, 40, 30, 40));
  std::vector<int32_t> reference;
  long allocations = 0;
  {
    MainScene scene({shape});
    scene.memory.memory.allocations = 0;
    ASSERT_EQ(1, BuildMainAlone(scene.outline.list, &scene.main));
    allocations = scene.memory.memory.allocations;
    reference = Signature(scene.main);
  }
  for (long failAt = 1; failAt <= allocations; ++failAt) {
    MainScene scene({shape});
    long baseline = scene.memory.memory.liveBlocks;
    scene.memory.memory.allocations = 0;
    scene.memory.memory.failAt = failAt;
    ASSERT_EQ(0, BuildMainAlone(scene.outline.list, &scene.main)) << failAt;
    EXPECT_EQ(MemFullErr, scene.memory.memory.result) << failAt;
    EXPECT_EQ(nullptr, gPolygonEdgePool.firstBlock);
    DisposeElementBuffer(&scene.main);
    EmptyPool(&gMainSpanPool);
    EXPECT_EQ(baseline, scene.memory.memory.liveBlocks) << failAt;
    // The next build works.
    scene.memory.memory.failAt = 0;
    scene.memory.memory.result = 0;
    ASSERT_EQ(1, BuildMainAlone(scene.outline.list, &scene.main));
    EXPECT_EQ(reference, Signature(scene.main)) << failAt;
  }
}

TEST(MainAlone, PathOutsideThePixelFrameIsRejected) {
  ScopedCountingMemory memory;
  Outline outline;
  // Path units reach far beyond the document; 40000 pixels does not fit the
  // 16-bit frame of an element.
  ASSERT_TRUE(outline.AddRing(Reversed(Rect(40000, 10, 40010, 20))));
  outline.Prepare();
  ElementBuffer* main = nullptr;
  EXPECT_EQ(0, BuildMainAlone(outline.list, &main));
  EXPECT_EQ(PathInvalidCode, memory.memory.result);
  DisposeElementBuffer(&main);
  EmptyPool(&gMainSpanPool);
  EmptyPool(&gOutlinePool);
  outline.Free();
  EXPECT_EQ(0, memory.memory.liveBlocks);
}

TEST(MainAlone, NoOutlinesBuildsNothing) {
  ScopedCountingMemory memory;
  ElementBuffer* main = nullptr;
  EXPECT_EQ(1, BuildMainAlone(nullptr, &main));
  EXPECT_EQ(nullptr, main);
  EXPECT_EQ(0, memory.memory.allocations);
}
