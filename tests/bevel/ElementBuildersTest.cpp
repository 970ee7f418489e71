// The element builders with the real offsetter: Main, Inner Bevel and Outer
// Bevel partition the shape grown by the outer size, each element where the
// distance to the outline says it belongs; failures at every allocation.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "BandTestSupport.h"
#include "bevel/BandSweep.h"
#include "bevel/DirectionTable.h"
#include "bevel/ElementBuilders.h"
#include "platform/WorkerThreads.h"
#include "tests/support/CountingMemory.h"

using namespace band_test;

namespace {

constexpr uint16_t RoundJoin = 0x000;
constexpr uint16_t BevelJoin = 0x100;
constexpr uint16_t MiterJoin = 0x200;

// A shape given by its rings with the outer boundaries clockwise on the
// screen and the holes counter-clockwise: that is the outer outline set; the
// inner set is every ring reversed.
struct Elements {
  ScopedCountingMemory memory;
  std::vector<Polygon> rings;
  Outline outer, inner;
  ElementBuffer* outerBuffer = nullptr;
  ElementBuffer* innerBuffer = nullptr;
  ElementBuffer* mainBuffer = nullptr;

  explicit Elements(const std::vector<Polygon>& shape) : rings(shape) {
    for (const Polygon& ring : shape) {
      EXPECT_TRUE(outer.AddRing(ring));
      EXPECT_TRUE(inner.AddRing(Reversed(ring)));
    }
    outer.Prepare();
    inner.Prepare();
  }
  ~Elements() {
    Release();
    EmptyPool(&gOutlinePool);
    outer.Free();
    inner.Free();
    EXPECT_EQ(0, memory.memory.liveBlocks);
  }
  // What the run's release does: buffers, span pools, offset pools.
  void Release() {
    ReleaseElements(&outerBuffer, &innerBuffer, &mainBuffer);
    UndoOffset(outer.list);
    UndoOffset(inner.list);
    EmptyPool(&gInnerOffsetPool);
    EmptyPool(&gOuterOffsetPool);
  }
  const TaskRunner* tasks = nullptr;  // set: the bands are rasterised in two parts at once
  int Build(const BandSettings& outerSettings, const BandSettings& innerSettings) {
    int ok = BuildOuterBevel(outer.list, outerSettings, &outerBuffer, tasks);
    if (ok) ok = BuildInnerBevel(inner.list, innerSettings, &innerBuffer, &mainBuffer, tasks);
    return ok;
  }
  struct Grids {
    CoverageGrid outer{DocumentSize, DocumentSize}, inner{DocumentSize, DocumentSize}, main{DocumentSize, DocumentSize};
  };
  // The buffers must be in document pixels.
  void Read(Grids* grids) {
    EXPECT_TRUE(grids->outer.Add(outerBuffer));
    EXPECT_TRUE(grids->inner.Add(innerBuffer));
    EXPECT_TRUE(grids->main.Add(mainBuffer));
  }
};

double Sagitta(double radius) {
  // Round joins use chords of at most sqrt(10) pixels.
  return radius - std::sqrt(std::max(0.0, radius * radius - 2.5));
}

// Per pixel: every element covers the samples that certainly belong to it and
// at most the samples too near a boundary to decide.
void ExpectDistancePartition(const std::vector<Polygon>& rings, Elements::Grids& grids, double outerSize,
                             double innerSize, double joinError) {
  std::vector<std::vector<Pt>> polygons(rings.begin(), rings.end());
  double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
  for (const auto& ring : polygons)
    for (const Pt& p : ring) {
      minX = std::min(minX, p.x), minY = std::min(minY, p.y);
      maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
    }
  int32_t left = int32_t(minX - outerSize) - 2, top = int32_t(minY - outerSize) - 2;
  int32_t right = int32_t(maxX + outerSize) + 3, bottom = int32_t(maxY + outerSize) + 3;
  int64_t total = grids.outer.Total() + grids.inner.Total() + grids.main.Total();
  int64_t inWindow = 0;
  const double eps = 0.02;
  for (int32_t py = top; py < bottom; ++py)
    for (int32_t px = left; px < right; ++px) {
      int sure[3] = {0, 0, 0};  // outer, inner, main
      int unsure = 0;
      for (int32_t sy = 0; sy < SampleRows; ++sy)
        for (int32_t sx = 0; sx < SampleColumns; ++sx) {
          double x = px + SampleX(sx), y = py + SampleY(sy);
          double dist = 1e30;
          for (const auto& ring : polygons)
            for (size_t i = 0; i < ring.size(); ++i)
              dist = std::min(dist, SegmentDistance(ring[i], ring[(i + 1) % ring.size()], x, y));
          bool inside = InsideEvenOdd(polygons, x, y);
          if (dist < eps || (!inside && std::fabs(dist - outerSize) < joinError + eps) ||
              (inside && std::fabs(dist - innerSize) < joinError + eps)) {
            ++unsure;
            continue;
          }
          if (!inside && dist <= outerSize) ++sure[0];
          if (inside && dist <= innerSize) ++sure[1];
          if (inside && dist > innerSize) ++sure[2];
        }
      int32_t counts[3] = {grids.outer.At(px, py), grids.inner.At(px, py), grids.main.At(px, py)};
      inWindow += counts[0] + counts[1] + counts[2];
      ASSERT_LE(counts[0] + counts[1] + counts[2], PixelSamples) << px << "," << py;
      for (int e = 0; e < 3; ++e) {
        ASSERT_GE(counts[e], sure[e]) << "element " << e << " at " << px << "," << py << ": " << counts[0] << " "
                                      << counts[1] << " " << counts[2] << " sure " << sure[0] << " " << sure[1] << " "
                                      << sure[2] << " unsure " << unsure;
        ASSERT_LE(counts[e], sure[e] + unsure) << "element " << e << " at " << px << "," << py << ": " << counts[0]
                                               << " " << counts[1] << " " << counts[2] << " sure " << sure[0] << " "
                                               << sure[1] << " " << sure[2] << " unsure " << unsure;
      }
      ASSERT_GE(counts[0] + counts[1] + counts[2], sure[0] + sure[1] + sure[2]);
    }
  EXPECT_EQ(total, inWindow) << "coverage outside the grown shape";
}

void RunPartition(const std::vector<Polygon>& shape, uint16_t outerSize, uint16_t innerSize) {
  Elements elements(shape);
  ASSERT_EQ(1, elements.Build({outerSize, RoundJoin, 0}, {innerSize, RoundJoin, 0}));
  ASSERT_EQ(0, elements.memory.memory.result);
  Elements::Grids grids;
  elements.Read(&grids);
  ExpectDistancePartition(shape, grids, outerSize, innerSize,
                          std::max(Sagitta(outerSize), Sagitta(innerSize)) + 0.02);
}

Polygon HShape(double x, double y) {
  return {{x, y},           {x + 20, y},      {x + 20, y + 22}, {x + 40, y + 22}, {x + 40, y},      {x + 60, y},
          {x + 60, y + 50}, {x + 40, y + 50}, {x + 40, y + 28}, {x + 20, y + 28}, {x + 20, y + 50}, {x, y + 50}};
}

Polygon UShape(double x, double y, double gap) {
  // Two 16 px arms joined at the bottom, `gap` pixels apart.
  return {{x, y},           {x + 16, y},      {x + 16, y + 40}, {x + 16 + gap, y + 40}, {x + 16 + gap, y},
          {x + 32 + gap, y}, {x + 32 + gap, y + 56}, {x, y + 56}};
}

Polygon Circle(double cx, double cy, double r, int count) {
  return Regular(cx, cy, r, count, 0.05, SmoothPoint | CurveEdge);
}

}  // namespace

TEST(ElementBuilders, ConvexPolygonPartition) { RunPartition({Regular(80, 70, 40, 9)}, 6, 4); }

TEST(ElementBuilders, FrameWithAHolePartition) {
  RunPartition({Rect(30, 30, 110, 100), Reversed(Rect(55, 50, 85, 80))}, 5, 6);
}

TEST(ElementBuilders, NarrowBridgeWithOverlappingInnerBands) { RunPartition({HShape(30, 30)}, 5, 4); }

TEST(ElementBuilders, NarrowGapWithOverlappingOuterBands) { RunPartition({UShape(30, 30, 5)}, 6, 3); }

TEST(ElementBuilders, CurvedOutlinePartition) { RunPartition({Circle(60, 60, 24, 48)}, 7, 5); }

TEST(ElementBuilders, InnerSizeZeroGivesMainAloneAndOuterSizeZeroNoBuffer) {
  Polygon shape = HShape(30, 30);
  Elements elements({shape});
  ASSERT_EQ(1, elements.Build({0, RoundJoin, 0}, {0, RoundJoin, 0}));
  EXPECT_EQ(nullptr, elements.outerBuffer);
  EXPECT_EQ(nullptr, elements.innerBuffer);
  ASSERT_NE(nullptr, elements.mainBuffer);
  Elements::Grids grids;
  elements.Read(&grids);
  EXPECT_EQ(int64_t(std::fabs(ShoelaceArea(shape))) * PixelSamples, grids.main.Total());
  PixelRect effect;
  EffectRectangle(elements.outerBuffer, elements.innerBuffer, elements.mainBuffer, &effect);
  EXPECT_EQ(30, effect.left);
  EXPECT_EQ(30, effect.top);
  EXPECT_EQ(90, effect.right);
  EXPECT_EQ(80, effect.bottom);
  // Main + Inner with a band equal the same fill.
  ASSERT_EQ(1, BuildInnerBevel(elements.inner.list, {5, BevelJoin, 0}, &elements.innerBuffer, &elements.mainBuffer));
  Elements::Grids banded;
  elements.Read(&banded);
  for (int32_t y = 0; y < DocumentSize; ++y)
    for (int32_t x = 0; x < DocumentSize; ++x)
      ASSERT_EQ(grids.main.At(x, y), banded.main.At(x, y) + banded.inner.At(x, y)) << x << "," << y;
  EXPECT_GT(banded.inner.Total(), 0);
  EXPECT_GT(banded.main.Total(), 0);
}

TEST(ElementBuilders, OuterRoundBandOfAConvexPolygonHasTheOffsetArea) {
  // Area of the ring between a convex polygon and its rounded offset:
  // perimeter * r + pi * r^2, less what the arc chords cut off.
  Polygon shape = Regular(100, 100, 50, 7, 0.4);
  double perimeter = 0;
  for (size_t i = 0; i < shape.size(); ++i)
    perimeter += std::hypot(shape[(i + 1) % 7].x - shape[i].x, shape[(i + 1) % 7].y - shape[i].y);
  for (uint16_t r : {3, 10, 20}) {
    Elements elements({shape});
    ASSERT_EQ(1, BuildOuterBevel(elements.outer.list, {r, RoundJoin, 0}, &elements.outerBuffer));
    CoverageGrid grid(DocumentSize, DocumentSize);
    ASSERT_TRUE(grid.Add(elements.outerBuffer));
    double covered = grid.Total() / double(PixelSamples);
    double exact = perimeter * r + std::numbers::pi * r * r;
    // Chords of at most sqrt(10) px: a full turn of arcs loses at most
    // pi r^2 - the area of the inscribed polygon with that many chords.
    double chords = std::ceil(2 * std::numbers::pi * r / std::sqrt(10.0));
    double chordLoss = std::numbers::pi * r * r - chords / 2 * r * r * std::sin(2 * std::numbers::pi / chords);
    double sampling = 0.0005 * exact + 1;
    EXPECT_LE(covered, exact + sampling) << r;
    EXPECT_GE(covered, exact - chordLoss - sampling) << r;
  }
}

// The element pools are module-wide, so one element set is built at a time
// and compared through its read-back grids.
Elements::Grids BuildAndRead(const std::vector<Polygon>& shape, const BandSettings& outer, const BandSettings& inner) {
  Elements elements(shape);
  EXPECT_EQ(1, elements.Build(outer, inner));
  Elements::Grids grids;
  elements.Read(&grids);
  return grids;
}

TEST(ElementBuilders, JoinStylesKeepTheElementsDisjoint) {
  std::vector<Polygon> shape = {HShape(30, 30), UShape(120, 30, 5)};
  Elements::Grids fill = BuildAndRead(shape, {0, RoundJoin, 0}, {0, RoundJoin, 0});
  for (uint16_t join : {RoundJoin, BevelJoin, MiterJoin}) {
    Elements::Grids grids = BuildAndRead(shape, {6, join, 2}, {4, join, 2});
    // Main + Inner is the fill of the shape, whatever the join.
    for (int32_t y = 0; y < 140; ++y)
      for (int32_t x = 0; x < 200; ++x) {
        ASSERT_LE(grids.outer.At(x, y) + grids.inner.At(x, y) + grids.main.At(x, y), PixelSamples);
        ASSERT_EQ(fill.main.At(x, y), grids.inner.At(x, y) + grids.main.At(x, y)) << join << " " << x << "," << y;
      }
  }
}

TEST(ElementBuilders, RebuildingWithAnotherJoinEqualsAFreshBuild) {
  std::vector<Polygon> shape = {HShape(30, 30)};
  Elements::Grids fresh = BuildAndRead(shape, {6, MiterJoin, 3}, {4, BevelJoin, 0});
  Elements twice(shape);
  ASSERT_EQ(1, twice.Build({9, RoundJoin, 0}, {2, RoundJoin, 0}));
  ASSERT_EQ(1, twice.Build({6, MiterJoin, 3}, {4, BevelJoin, 0}));
  Elements::Grids again;
  twice.Read(&again);
  EXPECT_EQ(fresh.outer.counts, again.outer.counts);
  EXPECT_EQ(fresh.inner.counts, again.inner.counts);
  EXPECT_EQ(fresh.main.counts, again.main.counts);
}

TEST(ElementBuilders, PreviewRebuildsKeepTheEffectRectangle) {
  std::vector<Polygon> shape = {Regular(90, 80, 40, 8)};
  // References first: fresh builds with the settings the preview ends up with.
  PixelRect innerRef, mainRef, outerRef;
  Elements::Grids expected;
  {
    Elements reference(shape);
    ASSERT_EQ(1, reference.Build({4, MiterJoin, 1}, {8, BevelJoin, 0}));
    BoundsToRectangle(reference.innerBuffer, &innerRef);
    BoundsToRectangle(reference.mainBuffer, &mainRef);
    BoundsToRectangle(reference.outerBuffer, &outerRef);
    reference.Read(&expected);
  }
  Elements run(shape);
  ASSERT_EQ(1, run.Build({10, RoundJoin, 0}, {5, RoundJoin, 0}));
  PixelRect effect;
  EffectRectangle(run.outerBuffer, run.innerBuffer, run.mainBuffer, &effect);
  PixelRect outerBounds;
  BoundsToRectangle(run.outerBuffer, &outerBounds);
  EXPECT_EQ(outerBounds.left, effect.left);
  EXPECT_EQ(outerBounds.bottom, effect.bottom);
  PlaceElements(run.outerBuffer, run.innerBuffer, run.mainBuffer, effect);
  EXPECT_EQ(0, run.outerBuffer->x0);
  EXPECT_EQ(0, run.outerBuffer->y0);

  // Inner change: rebuilt in the same effect frame.
  ASSERT_EQ(1, RebuildInner(run.inner.list, {8, BevelJoin, 0}, &run.innerBuffer, &run.mainBuffer, effect));
  EXPECT_EQ(innerRef.left - effect.left, run.innerBuffer->x0);
  EXPECT_EQ(mainRef.top - effect.top, run.mainBuffer->y0);

  // Outer change: everything back in document pixels, the new rectangle out.
  PixelRect next;
  ASSERT_EQ(1, RebuildOuter(run.outer.list, {4, MiterJoin, 1}, &run.outerBuffer, &run.innerBuffer, &run.mainBuffer,
                            effect, &next));
  Elements::Grids grids;
  run.Read(&grids);
  EXPECT_EQ(expected.outer.counts, grids.outer.counts);
  EXPECT_EQ(expected.inner.counts, grids.inner.counts);
  EXPECT_EQ(expected.main.counts, grids.main.counts);
  EXPECT_EQ(outerRef.left, next.left);
  EXPECT_EQ(outerRef.top, next.top);
  EXPECT_EQ(outerRef.right, next.right);
  EXPECT_EQ(outerRef.bottom, next.bottom);
  PlaceElements(run.outerBuffer, run.innerBuffer, run.mainBuffer, next);
  EXPECT_EQ(0, run.outerBuffer->x0);

  // Outer size 0: no Outer buffer, the rectangle comes from the Inner Bevel.
  PixelRect last;
  ASSERT_EQ(1, RebuildOuter(run.outer.list, {0, RoundJoin, 0}, &run.outerBuffer, &run.innerBuffer, &run.mainBuffer,
                            next, &last));
  EXPECT_EQ(nullptr, run.outerBuffer);
  EXPECT_EQ(innerRef.left, last.left);
  EXPECT_EQ(innerRef.bottom, last.bottom);
  // Nothing at all: an empty rectangle.
  EffectRectangle(nullptr, nullptr, nullptr, &last);
  EXPECT_EQ(0, last.left | last.top | last.right | last.bottom);
  EXPECT_EQ(0, RebuildOuter(nullptr, {4, RoundJoin, 0}, &run.outerBuffer, &run.innerBuffer, &run.mainBuffer, next, &last));
  EXPECT_EQ(0, RebuildInner(nullptr, {4, RoundJoin, 0}, &run.innerBuffer, &run.mainBuffer, next));
}

TEST(ElementBuilders, NoOuterOutlinesFailsWithoutTouchingAnything) {
  ScopedCountingMemory memory;
  ElementBuffer* sentinel = reinterpret_cast<ElementBuffer*>(uintptr_t(0x1000));
  ElementBuffer* outer = sentinel;
  EXPECT_EQ(0, BuildOuterBevel(nullptr, {5, RoundJoin, 0}, &outer));
  EXPECT_EQ(sentinel, outer);
  EXPECT_EQ(0, memory.memory.allocations);
  ElementBuffer* inner = nullptr;
  ElementBuffer* main = nullptr;
  EXPECT_EQ(1, BuildInnerBevel(nullptr, {5, RoundJoin, 0}, &inner, &main));
  EXPECT_EQ(nullptr, inner);
  EXPECT_EQ(nullptr, main);
}

TEST(ElementBuilders, EveryFailedAllocationLeavesMemFullAndTheNextBuildWorks) {
  // Small, so that failing each allocation in turn stays quick: an L with a
  // reflex corner and a curve.
  std::vector<Polygon> shape = {{{20, 20}, {34, 20}, {34, 28}, {27, 28}, {27, 40}, {20, 40}}, Circle(60, 30, 9, 16)};
  std::vector<int32_t> outer, inner, main;
  long allocations = 0;
  {
    Elements elements(shape);
    elements.memory.memory.allocations = 0;
    ASSERT_EQ(1, elements.Build({6, RoundJoin, 0}, {4, RoundJoin, 0}));
    allocations = elements.memory.memory.allocations;
    outer = Signature(elements.outerBuffer);
    inner = Signature(elements.innerBuffer);
    main = Signature(elements.mainBuffer);
  }
  EXPECT_GT(allocations, 20);
  for (long failAt = 1; failAt <= allocations; ++failAt) {
    Elements elements(shape);
    long baseline = elements.memory.memory.liveBlocks;
    elements.memory.memory.allocations = 0;
    elements.memory.memory.failAt = failAt;
    ASSERT_EQ(0, elements.Build({6, RoundJoin, 0}, {4, RoundJoin, 0})) << failAt;
    EXPECT_EQ(MemFullErr, elements.memory.memory.result) << failAt;
    EXPECT_EQ(nullptr, gBandEdgePool.firstBlock) << failAt;
    // The next build, over the partly built buffers, works.
    elements.memory.memory.failAt = 0;
    elements.memory.memory.result = 0;
    ASSERT_EQ(1, elements.Build({6, RoundJoin, 0}, {4, RoundJoin, 0})) << failAt;
    ASSERT_EQ(outer, Signature(elements.outerBuffer)) << failAt;
    ASSERT_EQ(inner, Signature(elements.innerBuffer)) << failAt;
    ASSERT_EQ(main, Signature(elements.mainBuffer)) << failAt;
    elements.Release();
    EXPECT_EQ(baseline, elements.memory.memory.liveBlocks) << failAt;
  }
}

namespace {
std::vector<int32_t> PixelCounts(const ElementBuffer* buffer, int32_t left, int32_t top, int32_t width, int32_t height) {
  std::vector<int32_t> counts(size_t(width) * height);
  for (int32_t row = 0; row < buffer->height; ++row)
    for (const Span* span = buffer->rows[row]; span != nullptr; span = span->next)
      for (int32_t x = span->xStart; x < span->xEnd; ++x)
        counts[size_t(buffer->y0 - top + row) * width + buffer->x0 - left + x] = span->material[x - span->xStart].coverage;
  return counts;
}
}  // namespace

TEST(ElementBuilders, ShadingSweepInTheBufferFrameHandsOutTheCoveredSamples) {
  Elements elements({HShape(30, 30), Circle(150, 60, 24, 40)});
  ASSERT_EQ(1, elements.Build({7, RoundJoin, 0}, {5, MiterJoin, 2}));
  static DirectionTable table;
  MakeDirectionTable(&table);
  {
    const ElementBuffer* outer = elements.outerBuffer;
    BandEdge* edges = nullptr;
    ASSERT_EQ(1, MakeElementBandEdges(elements.outer.list, 7, BandForm::Outer, outer->x0, outer->y0, &edges));
    band_test::ShadingCounter counter(outer->width, outer->height);
    ASSERT_EQ(1, SweepBands(edges, outer->width, outer->height, SweepVariant::Outer, &table, counter));
    EmptyPool(&gBandEdgePool);
    EXPECT_EQ(0, counter.nullWinners);
    EXPECT_EQ(PixelCounts(outer, outer->x0, outer->y0, outer->width, outer->height), counter.band);
  }
  {
    const ElementBuffer* inner = elements.innerBuffer;
    BandEdge* edges = nullptr;
    ASSERT_EQ(1, MakeElementBandEdges(elements.inner.list, 5, BandForm::Inner, inner->x0, inner->y0, &edges));
    band_test::ShadingCounter counter(inner->width, inner->height);
    ASSERT_EQ(1, SweepBands(edges, inner->width, inner->height, SweepVariant::Inner, &table, counter));
    EmptyPool(&gBandEdgePool);
    EXPECT_EQ(0, counter.nullWinners);
    EXPECT_EQ(PixelCounts(inner, inner->x0, inner->y0, inner->width, inner->height), counter.band);
    EXPECT_EQ(PixelCounts(elements.mainBuffer, inner->x0, inner->y0, inner->width, inner->height), counter.gaps);
  }
}

// Rasterising in two parts at once (a task runner given) makes the buffers
// of one sweep, on outlines with many edges per row as a line of text has:
// rows of small curved rings, of small stars with holes, and the rings twice
// (coincident bands), with round and miter joins. With every allocation
// failing in turn a build either makes those buffers or fails with MemFullErr.
int gSplits = 0;
void* CountingStart(void (*task)(void*), void* argument) {
  ++gSplits;
  return WorkerThreads()->start(task, argument);
}
const TaskRunner gCountingRunner{CountingStart, [](void* handle) { WorkerThreads()->wait(handle); }};

std::vector<Polygon> Rows(bool stars) {
  std::vector<Polygon> rings;
  for (int row = 0; row < 3; ++row)
    for (int i = 0; i < 12; ++i) {
      const double cx = 40 + 36 * i, cy = 180 + 44 * row;
      if (!stars) {
        rings.push_back(Circle(cx, cy, 14, 20));
        continue;
      }
      Polygon star;
      for (int k = 0; k < 10; ++k)
        star.push_back({cx + (k % 2 ? 7 : 16) * std::cos(k * std::numbers::pi / 5),
                        cy + (k % 2 ? 7 : 16) * std::sin(k * std::numbers::pi / 5), 0});
      rings.push_back(star);
      rings.push_back(Reversed(Regular(cx, cy, 4, 6)));
    }
  return rings;
}

TEST(ElementBuilders, TwoPartRasterisingMakesTheOneSweepBuffers) {
  std::vector<Polygon> twice = Rows(false);
  const std::vector<Polygon> once = Rows(false);
  twice.insert(twice.end(), once.begin(), once.end());
  const std::vector<std::vector<Polygon>> shapes = {once, Rows(true), twice};
  gSplits = 0;
  for (size_t k = 0; k < shapes.size(); ++k) {
    for (uint16_t join : {RoundJoin, MiterJoin}) {
      std::vector<int32_t> signatures[3];
      {
        Elements one(shapes[k]);
        ASSERT_EQ(1, one.Build({24, join, 40}, {5, join, 40}));
        signatures[0] = Signature(one.outerBuffer);
        signatures[1] = Signature(one.innerBuffer);
        signatures[2] = Signature(one.mainBuffer);
      }
      {
        Elements two(shapes[k]);
        two.tasks = &gCountingRunner;
        ASSERT_EQ(1, two.Build({24, join, 40}, {5, join, 40}));
        EXPECT_EQ(signatures[0], Signature(two.outerBuffer)) << k;
        EXPECT_EQ(signatures[1], Signature(two.innerBuffer)) << k;
        EXPECT_EQ(signatures[2], Signature(two.mainBuffer)) << k;
      }
      if (k != 0 || join != RoundJoin) continue;
      int failures = 0;
      for (long failAt = 1;; ++failAt) {
        Elements elements(shapes[k]);
        elements.tasks = &gCountingRunner;
        elements.memory.memory.allocations = 0;
        elements.memory.memory.failAt = failAt;
        const int built = elements.Build({24, join, 40}, {5, join, 40});
        if (elements.memory.memory.allocations < failAt) break;
        if (!built) {
          ++failures;
          EXPECT_EQ(MemFullErr, elements.memory.memory.result) << failAt;
          continue;
        }
        EXPECT_EQ(signatures[0], Signature(elements.outerBuffer)) << failAt;
        EXPECT_EQ(signatures[1], Signature(elements.innerBuffer)) << failAt;
        EXPECT_EQ(signatures[2], Signature(elements.mainBuffer)) << failAt;
      }
      EXPECT_GT(failures, 20);
    }
  }
  EXPECT_GE(gSplits, 12) << "both bevels of every build were split";
}
