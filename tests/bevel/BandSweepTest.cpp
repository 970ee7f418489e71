// The band sweep against brute-force geometry: every sub-sample is handed
// over at most once, exactly the sub-samples inside a band (on the element's
// side of the outlines) are stored, the gaps are the rest of the element, and
// the owner is the band with the largest band coordinate.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "BandTestSupport.h"
#include "bevel/BandSweep.h"
#include "bevel/DirectionTable.h"
#include "tests/support/CountingMemory.h"

using namespace band_test;

namespace {

struct Recorder {
  static constexpr bool WantsWinner = true;
  static constexpr bool WantsGaps = true;
  int32_t columns, rows;
  std::vector<int> hits;
  std::vector<uint8_t> gap;
  std::vector<const OffsetNode*> winner;
  std::vector<int32_t> value;
  std::vector<float> dx, dy;
  int32_t rowEnds = 0;
  bool outOfRange = false;
  Recorder(int32_t width, int32_t height)
      : columns(width * SampleColumns), rows(height * SampleRows), hits(size_t(columns) * rows),
        gap(hits.size()), winner(hits.size()), value(hits.size()), dx(hits.size()), dy(hits.size()) {}
  size_t Index(int32_t row, int32_t column) {
    if (row < 0 || row >= rows || column < 0 || column >= columns) {
      outOfRange = true;
      return 0;
    }
    return size_t(row) * columns + column;
  }
  void Store(int32_t row, int32_t column, const OffsetNode* w, int32_t v, float x, float y) {
    size_t i = Index(row, column);
    ++hits[i];
    winner[i] = w;
    value[i] = v;
    dx[i] = x;
    dy[i] = y;
  }
  void Gap(int32_t row, int32_t begin, int32_t end) {
    for (int32_t c = begin; c < end; ++c) {
      size_t i = Index(row, c);
      ++hits[i];
      gap[i] = 1;
    }
  }
  int RowEnd(int32_t row) {
    EXPECT_EQ(rowEnds, row);
    ++rowEnds;
    return 1;
  }
};

// Coverage-only user: the same sub-samples must come out as runs.
struct RunRecorder {
  static constexpr bool WantsWinner = false;
  static constexpr bool WantsGaps = true;
  int32_t columns;
  std::vector<int> stored, gaps;
  RunRecorder(int32_t width, int32_t height)
      : columns(width * SampleColumns), stored(size_t(columns) * height * SampleRows),
        gaps(stored.size()) {}
  void StoreRun(int32_t row, int32_t begin, int32_t end) {
    for (int32_t c = begin; c < end; ++c) ++stored[size_t(row) * columns + c];
  }
  void Gap(int32_t row, int32_t begin, int32_t end) {
    for (int32_t c = begin; c < end; ++c) ++gaps[size_t(row) * columns + c];
  }
  int RowEnd(int32_t) { return 1; }
};

// Rings with hand-made offsets, their band edges and the oracle.
struct Scene {
  ScopedCountingMemory memory;
  Outline outline;
  double size = 0;
  int32_t width = 0, height = 0;

  Scene(const std::vector<Polygon>& rings, double bandSize, int32_t w, int32_t h) : size(bandSize), width(w), height(h) {
    for (const Polygon& ring : rings) EXPECT_TRUE(outline.AddRing(ring));
    SetNormals(outline.list);
    EXPECT_TRUE(HandOffset(outline.list, size));
  }
  ~Scene() {
    EmptyPool(&gBandEdgePool);
    EmptyPool(&gOutlinePool);
    outline.Free();
  }
  // Band edges in a frame whose origin is the pixel (x0, y0).
  BandEdge* Edges(BandForm form, int32_t x0 = 0, int32_t y0 = 0) {
    EmptyPool(&gBandEdgePool);
    BandEdgeList list = {nullptr, 0};
    FixedBounds bounds = {0, 0, 0, 0};
    EXPECT_EQ(1, BuildBands(outline.list, &list, &bounds, size, form));
    ShiftBandEdges(list.head, x0, y0);
    return list.head;
  }
};

struct Counts {
  int stored = 0, gaps = 0, checked = 0, skipped = 0, overlapped = 0;
};

// Compares a recorded sweep with the oracle, sub-sample by sub-sample.
void Check(Scene& scene, const Recorder& rec, SweepVariant variant, Counts* result, double tolerance = 0.01) {
  Counts& counts = *result;
  std::vector<Quad> quads = QuadsOf(scene.outline.list, scene.size);
  auto rings = OutlinePolygons(scene.outline.list);
  EXPECT_FALSE(rec.outOfRange);
  EXPECT_EQ(rec.rows, rec.rowEnds);
  for (int32_t row = 0; row < rec.rows; ++row)
    for (int32_t column = 0; column < rec.columns; ++column) {
      size_t i = size_t(row) * rec.columns + column;
      EXPECT_LE(rec.hits[i], 1) << row << "," << column;
      double x = SampleX(column), y = SampleY(row);
      bool stored = rec.hits[i] == 1 && !rec.gap[i];
      counts.stored += stored;
      counts.gaps += rec.gap[i];
      if (NearestEdge(quads, x, y) < tolerance) {
        ++counts.skipped;
        continue;
      }
      ++counts.checked;
      bool inside = InsideEvenOdd(rings, x, y);
      bool ownSide = variant == SweepVariant::Inner ? inside : !inside;
      double best = -1e30;
      int containing = 0;
      for (const Quad& q : quads)
        if (!q.flat && InsidePolygon(q.corners, x, y)) {
          best = std::max(best, q.a * x + q.b * y + q.c);
          ++containing;
        }
      counts.overlapped += containing > 1 && stored;
      ASSERT_EQ(containing > 0 && ownSide, stored) << "row " << row << " column " << column;
      if (variant == SweepVariant::Inner) {
        ASSERT_EQ(containing == 0 && inside, rec.gap[i] != 0) << "row " << row << " column " << column;
      }
      if (!stored) continue;
      const Quad* won = nullptr;
      for (const Quad& q : quads)
        if (q.node == rec.winner[i]) won = &q;
      ASSERT_NE(won, nullptr);
      ASSERT_TRUE(InsidePolygon(won->corners, x, y)) << "winner does not contain the sample";
      double plane = won->a * x + won->b * y + won->c;
      ASSERT_GE(plane, best - 1.0) << "a band with a larger coordinate lost";
      ASSERT_NEAR(plane, rec.value[i] / 65536.0, 1.0);
      if ((won->node->flags & CurveEdge) == 0) {
        ASSERT_EQ(float(won->node->nx), rec.dx[i]);
        ASSERT_EQ(float(won->node->ny), rec.dy[i]);
      }
    }
}

Polygon HShape() {
  // Two blocks joined by a 6 px bridge; clockwise on the screen.
  return {{5, 5},   {25, 5},  {25, 27}, {45, 27}, {45, 5},  {65, 5},
          {65, 55}, {45, 55}, {45, 33}, {25, 33}, {25, 55}, {5, 55}};
}

}  // namespace

TEST(BandSweep, OuterBandOfAConvexPolygon) {
  Scene scene({Regular(32, 30, 18, 7)}, 6, 64, 60);
  Recorder rec(scene.width, scene.height);
  ASSERT_EQ(1, SweepBands(scene.Edges(BandForm::Outer), scene.width, scene.height, SweepVariant::Outer, nullptr, rec));
  Counts counts;
  Check(scene, rec, SweepVariant::Outer, &counts);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_GT(counts.stored, 20000);
  EXPECT_EQ(0, counts.gaps);  // outside one convex shape there is nothing between two bands
  EXPECT_GT(counts.checked, 100000);
}

TEST(BandSweep, InnerBandAndGapsOfAConvexPolygon) {
  Scene scene({Reversed(Regular(32, 30, 22, 9))}, 7, 64, 60);
  Recorder rec(scene.width, scene.height);
  ASSERT_EQ(1, SweepBands(scene.Edges(BandForm::Inner), scene.width, scene.height, SweepVariant::Inner, nullptr, rec));
  Counts counts;
  Check(scene, rec, SweepVariant::Inner, &counts);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_GT(counts.stored, 20000);
  EXPECT_GT(counts.gaps, 10000);
}

TEST(BandSweep, OverlappingOuterBandsGoToTheNearerOutline) {
  Scene scene({Rect(8, 10, 28, 40), Rect(34, 10, 54, 40)}, 8, 62, 50);
  Recorder rec(scene.width, scene.height);
  ASSERT_EQ(1, SweepBands(scene.Edges(BandForm::Outer), scene.width, scene.height, SweepVariant::Outer, nullptr, rec));
  Counts counts;
  Check(scene, rec, SweepVariant::Outer, &counts);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_GT(counts.overlapped, 3000);
  // Between the squares the nearer side wins outright.
  size_t left = size_t(SampleRows * 25) * rec.columns + 29 * SampleColumns + 3;   // x = 29.4
  size_t right = size_t(SampleRows * 25) * rec.columns + 32 * SampleColumns + 3;  // x = 32.4
  ASSERT_NE(rec.winner[left], nullptr);
  ASSERT_NE(rec.winner[right], nullptr);
  EXPECT_LT(rec.winner[left]->x, 31);
  EXPECT_GT(rec.winner[right]->x, 31);
}

TEST(BandSweep, OverlappingInnerBandsInANarrowBridge) {
  Scene scene({Reversed(HShape())}, 5, 70, 60);
  Recorder rec(scene.width, scene.height);
  ASSERT_EQ(1, SweepBands(scene.Edges(BandForm::Inner), scene.width, scene.height, SweepVariant::Inner, nullptr, rec));
  Counts counts;
  Check(scene, rec, SweepVariant::Inner, &counts);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_GT(counts.overlapped, 2000);
  EXPECT_GT(counts.gaps, 10000);
}

TEST(BandSweep, OuterBandAroundAHoleAndInsideIt) {
  // A frame: the outer band goes around the outside and into the hole.
  Scene scene({Rect(10, 10, 54, 50), Reversed(Rect(22, 22, 42, 38))}, 6, 64, 60);
  Recorder rec(scene.width, scene.height);
  ASSERT_EQ(1, SweepBands(scene.Edges(BandForm::Outer), scene.width, scene.height, SweepVariant::Outer, nullptr, rec));
  Counts counts;
  Check(scene, rec, SweepVariant::Outer, &counts);
  ASSERT_FALSE(HasFatalFailure());
}

TEST(BandSweep, CoverageRunsMatchTheSampleWalk) {
  for (int variant = 0; variant < 2; ++variant) {
    bool inner = variant == 1;
    Scene scene({inner ? Reversed(HShape()) : HShape()}, 5, 70, 60);
    BandForm form = inner ? BandForm::Inner : BandForm::Outer;
    SweepVariant sweep = inner ? SweepVariant::Inner : SweepVariant::Outer;
    Recorder rec(scene.width, scene.height);
    ASSERT_EQ(1, SweepBands(scene.Edges(form), scene.width, scene.height, sweep, nullptr, rec));
    RunRecorder runs(scene.width, scene.height);
    ASSERT_EQ(1, SweepBands(scene.Edges(form), scene.width, scene.height, sweep, nullptr, runs));
    for (size_t i = 0; i < rec.hits.size(); ++i) {
      ASSERT_EQ(rec.hits[i] == 1 && !rec.gap[i] ? 1 : 0, runs.stored[i]) << i;
      ASSERT_EQ(int(rec.gap[i]), runs.gaps[i]) << i;
    }
  }
}

TEST(BandSweep, EdgesAboveRowZeroEnterWhereTheyWouldHaveBeen) {
  for (int variant = 0; variant < 2; ++variant) {
    bool inner = variant == 1;
    Polygon shape = Regular(32, 30, 22, 9);
    Scene scene({inner ? Reversed(shape) : shape}, 7, 64, 60);
    BandForm form = inner ? BandForm::Inner : BandForm::Outer;
    SweepVariant sweep = inner ? SweepVariant::Inner : SweepVariant::Outer;
    Recorder whole(scene.width, scene.height);
    ASSERT_EQ(1, SweepBands(scene.Edges(form), scene.width, scene.height, sweep, nullptr, whole));
    // The same bands with the frame 25 pixels lower: the top of the shape lies above row 0.
    const int32_t shift = 25;
    Recorder cut(scene.width, scene.height - shift);
    ASSERT_EQ(1, SweepBands(scene.Edges(form, 0, shift), scene.width, scene.height - shift, sweep, nullptr, cut));
    for (int32_t row = 0; row < cut.rows; ++row)
      for (int32_t column = 0; column < cut.columns; ++column) {
        size_t a = size_t(row) * cut.columns + column;
        size_t b = size_t(row + shift * SampleRows) * whole.columns + column;
        ASSERT_EQ(whole.hits[b], cut.hits[a]) << row << "," << column;
        ASSERT_EQ(whole.gap[b], cut.gap[a]);
        ASSERT_EQ(whole.winner[b], cut.winner[a]);
        ASSERT_EQ(whole.value[b], cut.value[a]);
      }
  }
}

TEST(BandSweep, ColumnsOutsideTheBufferAreLeftOutAndTheRestUnchanged) {
  static DirectionTable table;
  MakeDirectionTable(&table);
  for (int variant = 0; variant < 2; ++variant) {
    bool inner = variant == 1;
    Polygon shape = Regular(32, 30, 22, 24, 0.2, SmoothPoint | CurveEdge);
    Scene scene({inner ? Reversed(shape) : shape}, 7, 64, 60);
    BandForm form = inner ? BandForm::Inner : BandForm::Outer;
    SweepVariant sweep = inner ? SweepVariant::Inner : SweepVariant::Outer;
    Recorder whole(scene.width, scene.height);
    ASSERT_EQ(1, SweepBands(scene.Edges(form), scene.width, scene.height, sweep, &table, whole));
    // A window 24 pixels wide from x = 20: the shape reaches out on both sides.
    const int32_t left = 20, width = 24;
    Recorder window(width, scene.height);
    ASSERT_EQ(1, SweepBands(scene.Edges(form, left, 0), width, scene.height, sweep, &table, window));
    EXPECT_FALSE(window.outOfRange);
    for (int32_t row = 0; row < window.rows; ++row)
      for (int32_t column = 0; column < window.columns; ++column) {
        size_t a = size_t(row) * window.columns + column;
        size_t b = size_t(row) * whole.columns + column + left * SampleColumns;
        ASSERT_EQ(whole.hits[b], window.hits[a]) << row << "," << column;
        ASSERT_EQ(whole.gap[b], window.gap[a]);
        ASSERT_EQ(whole.winner[b], window.winner[a]);
        ASSERT_EQ(whole.value[b], window.value[a]);
        ASSERT_EQ(whole.dx[b], window.dx[a]);
      }
  }
}

TEST(BandSweep, CurvePiecesInterpolateTheirDirection) {
  static DirectionTable table;
  MakeDirectionTable(&table);
  Scene scene({Regular(32, 30, 20, 16, 0.1, SmoothPoint | CurveEdge)}, 8, 64, 60);
  Recorder rec(scene.width, scene.height);
  ASSERT_EQ(1, SweepBands(scene.Edges(BandForm::Outer), scene.width, scene.height, SweepVariant::Outer, &table, rec));
  Counts counts;
  Check(scene, rec, SweepVariant::Outer, &counts);
  ASSERT_FALSE(HasFatalFailure());
  int between = 0;
  for (size_t i = 0; i < rec.hits.size(); ++i) {
    const OffsetNode* w = rec.winner[i];
    if (rec.hits[i] != 1 || rec.gap[i] || (w->flags & CurveEdge) == 0) continue;
    // The handed direction lies on the short arc from the piece's start
    // direction to its end direction.
    PixelPoint end = OffsetEdgeEnd(w, scene.size);
    int32_t a = DirectionAngle(w->ox - w->x, w->oy - w->y);
    int32_t b = DirectionAngle(end.x - w->next->x, end.y - w->next->y);
    int32_t d = DirectionAngle(rec.dx[i], rec.dy[i]);
    int32_t span = ((b - a) % 1024 + 1536) % 1024 - 512;
    int32_t along = ((d - a) % 1024 + 1536) % 1024 - 512;
    if (span < 0) {
      span = -span;
      along = -along;
    }
    ASSERT_GE(along, -1) << i;
    ASSERT_LE(along, span + 1) << i;
    between += along > 0 && along < span;
  }
  EXPECT_GT(between, 1000);
}

struct Stopper {
  static constexpr bool WantsWinner = false;
  static constexpr bool WantsGaps = false;
  int32_t rows = 0;
  void StoreRun(int32_t, int32_t, int32_t) {}
  int RowEnd(int32_t row) {
    rows = row + 1;
    return row < 9 ? 1 : 0;
  }
};

TEST(BandSweep, RowEndCanStopTheSweep) {
  Scene scene({Regular(32, 30, 20, 7)}, 6, 64, 60);
  Stopper stopper;
  EXPECT_EQ(0, SweepBands(scene.Edges(BandForm::Outer), scene.width, scene.height, SweepVariant::Outer, nullptr, stopper));
  EXPECT_EQ(10, stopper.rows);
}
