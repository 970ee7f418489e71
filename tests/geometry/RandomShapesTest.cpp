// Randomised shapes, bounded in number: exact grid shapes full of shared
// vertices, collinear overlaps and concurrent edges; general crossings that
// need rounding; and grid shapes nudged by a path unit or two, which put
// rounded points next to each other. Every shape must trace, and both sets
// must cover the even-odd area of the input. BF_GEOMETRY_STRESS=<n> runs ten
// times as many shapes from seeds shifted by n.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "tests/geometry/PathTestSupport.h"

using namespace pathtest;

namespace {
// 1024 pixels: a 64-pixel grid step is exactly 2^20 path units.
constexpr int32_t DocSize = 1024;
constexpr int32_t GridUnits = 1 << 20;

enum class Style { Grid, Free, Nudged };

std::vector<uint8_t> RandomShape(std::mt19937& rng, Style style, int contours, int maxPoints) {
  RecordWriter w(DocSize, DocSize);
  std::uniform_int_distribution<int> grid(2, 13);
  std::uniform_int_distribution<int> nudge(-2, 2);
  std::uniform_real_distribution<double> free(100, 900);
  std::uniform_int_distribution<int> count(2, maxPoints);
  for (int c = 0; c < contours; ++c) {
    const int n = count(rng);
    w.Length(rng() % 4 != 0, int16_t(n));
    for (int i = 0; i < n; ++i) {
      UnitPoint p;
      if (style == Style::Free) {
        p = w.ToUnits(Point{free(rng), free(rng)});
      } else {
        p = UnitPoint{grid(rng) * GridUnits, grid(rng) * GridUnits};
        if (style == Style::Nudged) {
          p.x += nudge(rng);
          p.y += nudge(rng);
        }
      }
      w.RawKnot(2, p, p, p);
    }
  }
  return w.bytes();
}

void CheckShapes(Style style, uint32_t seed, int shapes, int contours, int maxPoints) {
  if (const char* stress = std::getenv("BF_GEOMETRY_STRESS")) {
    seed += uint32_t(std::atoi(stress));
    shapes *= 10;
  }
  std::mt19937 rng(seed);
  int failures = 0;
  for (int i = 0; i < shapes && failures < 5; ++i) {
    const std::vector<uint8_t> bytes = RandomShape(rng, style, contours, maxPoints);
    const TraceOutcome t = TraceRecords(bytes, DocSize, DocSize);
    if (!t.read) continue;  // every subpath collapsed
    const double oracle = EvenOddAreaPixels(t.input, DocSize, DocSize);
    const double scale = PixelsPerSquareUnit(DocSize, DocSize);
    const double tolerance = oracle * 1e-3 + 1;
    if (!t.built) {
      // Only a path that encloses nothing may end without outlines, quietly.
      if (t.result != 0 || oracle > tolerance) {
        ADD_FAILURE() << "shape " << i << " not traced, code " << t.result << ", area " << oracle;
        ++failures;
      }
      continue;
    }
    const double outer = SignedArea(t.outer) * scale;
    const double inner = -SignedArea(t.inner) * scale;
    if (std::fabs(outer - oracle) > tolerance || std::fabs(inner - oracle) > tolerance) {
      ADD_FAILURE() << "shape " << i << ": outer " << outer << " inner " << inner << " oracle " << oracle;
      ++failures;
    }
  }
}
}  // namespace

TEST(RandomShapes, GridShapesWithSharedVerticesAndOverlaps) { CheckShapes(Style::Grid, 1, 800, 3, 8); }

TEST(RandomShapes, FreeShapesWithManyCrossings) { CheckShapes(Style::Free, 2, 400, 3, 12); }

TEST(RandomShapes, NudgedGridShapesWithClusteredRoundings) { CheckShapes(Style::Nudged, 3, 800, 3, 8); }

TEST(RandomShapes, ManySmallContours) { CheckShapes(Style::Grid, 4, 100, 12, 4); }
