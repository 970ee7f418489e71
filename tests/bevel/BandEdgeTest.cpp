// Band edges: placement on the sample rows, attribute interpolation, owner
// order, list order, the distance gradient and the band quadrilaterals.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "BandTestSupport.h"
#include "geometry/BandEdge.h"
#include "tests/support/CountingMemory.h"

using namespace band_test;

namespace {

struct EdgePoolScope {
  ScopedCountingMemory memory;
  ~EdgePoolScope() { EmptyPool(&gBandEdgePool); }
};

BandEdge* OnlyEdge(const BandEdgeList& list) { return list.count == 1 ? list.head : nullptr; }

BandEdge* MakeOne(PixelPoint p, PixelPoint q, int32_t dp = 0, int32_t dq = 255, int32_t ap = 0, int32_t aq = 0,
                  OffsetNode* first = nullptr, OffsetNode* second = nullptr) {
  BandEdgeList list = {nullptr, 0};
  EXPECT_EQ(1, MakeBandEdge(&list, p, q, dp, dq, ap << FixedShift, aq << FixedShift, 0, first, second));
  return OnlyEdge(list);
}

// Rows whose centre lies in (top, bottom] of the truncated end points.
void ExpectedRows(double y0, double y1, int32_t* first, int32_t* last) {
  double top = std::trunc(std::min(y0, y1) * 4096) / 4096, bottom = std::trunc(std::max(y0, y1) * 4096) / 4096;
  *first = int32_t(std::floor(top * 4 - 0.5)) + 1;
  while (SampleY(*first) <= top) ++*first;
  *last = int32_t(std::floor(bottom * 4 - 0.5));
  while (SampleY(*last + 1) <= bottom) ++*last;
}

}  // namespace

TEST(DirectionAngle, QuartersAndWrap) {
  EXPECT_EQ(0, DirectionAngle(1, 0));
  EXPECT_EQ(256, DirectionAngle(0, 1));
  EXPECT_EQ(512, DirectionAngle(-1, 0));
  EXPECT_EQ(768, DirectionAngle(0, -1));
  // Just below a full turn rounds to 0, not 1024.
  EXPECT_EQ(0, DirectionAngle(1, -1e-6));
  EXPECT_EQ(128, DirectionAngle(1, 1));
}

TEST(MakeBandEdge, CoversRowCentresStrictlyBelowTopAndAtOrAboveBottom) {
  EdgePoolScope scope;
  // 0.125 .. 0.375: the centre of row 0 is the top itself, row 1's is the bottom.
  BandEdge* edge = MakeOne({1, 0.125}, {1, 0.375});
  ASSERT_NE(edge, nullptr);
  EXPECT_EQ(1, edge->firstRow);
  EXPECT_EQ(1, edge->lastRow);
  // Both ends between the same two centres: no record.
  BandEdgeList list = {nullptr, 0};
  EXPECT_EQ(1, MakeBandEdge(&list, {0, 0.13}, {5, 0.37}, 0, 0, 0, 0, 0, nullptr, nullptr));
  EXPECT_EQ(0, list.count);
  // Horizontal edge: no record.
  EXPECT_EQ(1, MakeBandEdge(&list, {0, 3}, {5, 3}, 0, 0, 0, 0, 0, nullptr, nullptr));
  EXPECT_EQ(0, list.count);
  // Negative rows are floored: -1.3 .. 0.6 covers rows -5 .. 1.
  edge = MakeOne({2, 0.6}, {2, -1.3});
  ASSERT_NE(edge, nullptr);
  EXPECT_EQ(-5, edge->firstRow);
  EXPECT_EQ(1, edge->lastRow);
}

TEST(MakeBandEdge, RowsAndCrossingsMatchTheExactLine) {
  EdgePoolScope scope;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-20, 60);
  for (int trial = 0; trial < 2000; ++trial) {
    PixelPoint p = {coordinate(random), coordinate(random)}, q = {coordinate(random), coordinate(random)};
    int32_t first, last;
    ExpectedRows(p.y, q.y, &first, &last);
    BandEdgeList list = {nullptr, 0};
    ASSERT_EQ(1, MakeBandEdge(&list, p, q, 0, 255, 0, 0, 0, nullptr, nullptr));
    if (last < first) {
      EXPECT_EQ(0, list.count);
      continue;
    }
    BandEdge* edge = OnlyEdge(list);
    ASSERT_NE(edge, nullptr);
    ASSERT_EQ(first, edge->firstRow);
    ASSERT_EQ(last, edge->lastRow);
    // Crossing x and distance at every row against the exact line; the
    // stepping drifts by less than one x unit per row.
    // The line through the end points as the edge sees them (1/4096 pixel).
    PixelPoint top = p.y < q.y ? p : q, bottom = p.y < q.y ? q : p;
    for (PixelPoint* end : {&top, &bottom}) {
      end->x = std::trunc(end->x * 4096) / 4096;
      end->y = std::trunc(end->y * 4096) / 4096;
    }
    double topDistance = p.y < q.y ? 0 : 255;
    for (int32_t row = first; row <= last; ++row) {
      int64_t steps = row - first;
      double x = (double(edge->x) + double(edge->xStep) * steps - ColumnRounding) / XUnitsPerPixel;
      double t = (SampleY(row) - top.y) / (bottom.y - top.y);
      double exactX = top.x + t * (bottom.x - top.x);
      ASSERT_NEAR(exactX, x, (steps + 3) / 32768.0) << trial << " row " << row;
      double distance = (double(edge->distance) + double(edge->distanceStep) * steps) / FixedOne;
      double exactDistance = topDistance + t * (255 - 2 * topDistance);
      ASSERT_NEAR(exactDistance, distance, (steps + 3) / 65536.0) << trial;
    }
  }
}

TEST(MakeBandEdge, OwnersAndFlagsFollowTheRowDirection) {
  EdgePoolScope scope;
  OffsetNode a = {}, b = {};
  // Upward edge (P below Q): owners kept.
  BandEdge* up = MakeOne({0, 10}, {0, 0}, 0, 255, 0, 0, &a, &b);
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(&a, up->firstOwner);
  EXPECT_EQ(&b, up->secondOwner);
  EXPECT_EQ(0u, up->flags);
  // Downward edge: exchanged, so that the first owner stays on the left.
  BandEdge* down = MakeOne({0, 0}, {0, 10}, 0, 255, 0, 0, &a, nullptr);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(nullptr, down->firstOwner);
  EXPECT_EQ(&a, down->secondOwner);
  EXPECT_EQ(NoFirstOwner, down->flags);
  BandEdge* closing = MakeOne({0, 10}, {0, 0}, 0, 255, 0, 0, &a, nullptr);
  ASSERT_NE(closing, nullptr);
  EXPECT_EQ(NoSecondOwner, closing->flags);
}

TEST(MakeBandEdge, DirectionsInterpolateTheShortWayRound) {
  EdgePoolScope scope;
  BandEdge* edge = MakeOne({0, 0}, {0, 100}, 0, 0, 1000, 20);
  ASSERT_NE(edge, nullptr);
  EXPECT_GT(edge->directionStep, 0);  // 1000 -> 1024 (= 0) -> 20
  double rows = edge->lastRow - edge->firstRow;
  double end = (double(edge->direction) + edge->directionStep * rows - DirectionBias) / FixedOne;
  EXPECT_NEAR(1044, end, 0.5);
  EXPECT_NEAR(1000, (double(edge->direction) - DirectionBias) / FixedOne, 0.2);
  // The other way: 20 -> 1000 steps downwards through 0.
  edge = MakeOne({0, 0}, {0, 100}, 0, 0, 20, 1000);
  ASSERT_NE(edge, nullptr);
  EXPECT_LT(edge->directionStep, 0);
  // A single-row edge keeps the top direction with no step.
  edge = MakeOne({0, 0.3}, {0, 0.45}, 0, 0, 300, 200);
  ASSERT_NE(edge, nullptr);
  EXPECT_EQ(0, edge->directionStep);
  EXPECT_EQ((300 << FixedShift) + DirectionBias, edge->direction);
}

TEST(MakeBandEdge, FailedRecordLeavesTheListAndSetsMemFull) {
  ScopedCountingMemory scope;
  scope.memory.failAt = 1;
  BandEdgeList list = {nullptr, 0};
  EXPECT_EQ(0, MakeBandEdge(&list, {0, 0}, {3, 9}, 0, 255, 0, 0, 0, nullptr, nullptr));
  EXPECT_EQ(nullptr, list.head);
  EXPECT_EQ(MemFullErr, scope.memory.result);
  EmptyPool(&gBandEdgePool);
  EXPECT_EQ(0, scope.memory.liveBlocks);
}

TEST(FinishEdgeList, SameOrderAsInsertingEachEdgeInTurn) {
  EdgePoolScope scope;
  std::mt19937 random(3);
  std::uniform_int_distribution<int> row(-3, 12);
  BandEdgeList list = {nullptr, 0};
  BandEdge* inserted = nullptr;
  std::vector<BandEdge> copies(300);
  for (int i = 0; i < 300; ++i) {
    double y = row(random) / 4.0;
    ASSERT_EQ(1, MakeBandEdge(&list, {double(i), y}, {double(i), y + 3}, 0, 0, 0, 0, 0, nullptr, nullptr));
    copies[i] = *list.head;
    inserted = SortedInsert(&copies[i], inserted);
  }
  FinishEdgeList(&list);
  int count = 0;
  for (BandEdge *a = list.head, *b = inserted; a != nullptr || b != nullptr; a = a->next, b = b->next, ++count) {
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(b->x, a->x) << count;  // the x tells the edges apart
  }
  EXPECT_EQ(300, count);
}

TEST(HorizontalGradient, MatchesThePlaneThroughTheCorners) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> coordinate(-30, 30);
  int checked = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    PixelPoint a = {coordinate(random), coordinate(random)}, b = {coordinate(random), coordinate(random)},
               c = {coordinate(random), coordinate(random)};
    double det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (std::fabs(det) < 1) continue;
    // d = 255 at c, 0 at a and b: d/dx of the plane, per eighth pixel.
    double perPixel = 255.0 * -(b.y - a.y) / det;
    int32_t gradient = HorizontalGradient(a, 0, b, 0, c, 255);
    EXPECT_NEAR(perPixel / SampleColumns * FixedOne, gradient, 1.0 + std::fabs(perPixel) * 1e-6) << trial;
    ++checked;
  }
  EXPECT_GT(checked, 900);
  // Degenerate triangles store 0: collinear corners, all on one row.
  EXPECT_EQ(0, HorizontalGradient({0, 0}, 0, {1, 1}, 0, {2, 2}, 255));
  EXPECT_EQ(0, HorizontalGradient({0, 5}, 0, {1, 5}, 0, {2, 5}, 255));
  // A band along a horizontal outline has no horizontal gradient.
  EXPECT_EQ(0, HorizontalGradient({0, 10}, 0, {100, 10}, 0, {0, 0}, 255));
}

TEST(BandQuadrilateral, EdgesOwnersAndBounds) {
  EdgePoolScope scope;
  // An upward outline edge with its band to the left (normal (-1, 0)).
  OffsetNode p = {}, n = {}, prev = {};
  p.next = &n;
  p.prev = &prev;
  n.next = &p;
  n.prev = &p;
  prev.next = &p;
  p.x = 10, p.y = 20, n.x = 10, n.y = 0;
  p.nx = -1, p.ny = 0;
  p.ox = 5, p.oy = 20;
  n.ox = 5, n.oy = 0;
  BandEdgeList list = {nullptr, 0};
  FixedBounds bounds = {10 << 16, 20 << 16, 10 << 16, 20 << 16};
  ASSERT_EQ(1, MakeBandQuadrilateral(&p, &list, &bounds, 5.0, BandForm::Outer));
  EXPECT_EQ(int64_t(5) << 16, bounds.minX);
  EXPECT_EQ(FixedOne / 8 * 255 / 5, p.distanceStep);  // 255 over 5 px, rising to the right
  // Horizontal start side and end side: outline edge and offset edge remain.
  ASSERT_EQ(2, list.count);
  FinishEdgeList(&list);
  BandEdge* outline = (list.head->flags & OutlineEdgeFlag) ? list.head : list.head->next;
  BandEdge* offset = outline == list.head ? list.head->next : list.head;
  EXPECT_EQ(&p, outline->firstOwner);
  EXPECT_EQ(OutlineEdgeFlag | NoSecondOwner, outline->flags);
  EXPECT_EQ(&p, offset->secondOwner);
  EXPECT_EQ(NoFirstOwner, offset->flags);
  EXPECT_EQ(255 << FixedShift, outline->distance);
  EXPECT_EQ(0, offset->distance);
  EXPECT_EQ((512 << FixedShift) + DirectionBias, offset->direction);  // pointing left

  // An inserted join node gets no outline edge; the inner form widens the
  // bounds with the outline point.
  EmptyPool(&gBandEdgePool);
  list = {nullptr, 0};
  p.flags = JoinNodeFlags;
  bounds = {0, 0, 0, 0};
  ASSERT_EQ(1, MakeBandQuadrilateral(&p, &list, &bounds, 5.0, BandForm::Inner));
  EXPECT_EQ(int64_t(20) << 16, bounds.maxY);
  EXPECT_EQ(int64_t(10) << 16, bounds.maxX);
  EXPECT_EQ(1, list.count);
  EXPECT_EQ(0u, list.head->flags & OutlineEdgeFlag);
}

TEST(BandQuadrilateral, TrimmedEndGetsItsOwnEndSide) {
  EdgePoolScope scope;
  OffsetNode p = {}, n = {};
  p.next = p.prev = &n;
  n.next = n.prev = &p;
  // Outline edge to the right along y = 0 with the band above (normal (0, -1)).
  p.x = 0, p.y = 0, n.x = 10, n.y = 0;
  p.nx = 0, p.ny = -1;
  p.ox = 0, p.oy = -4;
  // The next start falls short of n along the edge: the band ends at the
  // perpendicular offset of n.
  n.ox = 8, n.oy = -4;
  p.flags = EndTrimCheck;
  PixelPoint end = OffsetEdgeEnd(&p, 4);
  EXPECT_DOUBLE_EQ(10, end.x);
  EXPECT_DOUBLE_EQ(-4, end.y);
  n.ox = 12;  // reaches past n: kept
  end = OffsetEdgeEnd(&p, 4);
  EXPECT_DOUBLE_EQ(12, end.x);
  p.flags = 0;
  n.ox = 8;  // without a trim check the next start is always the end
  end = OffsetEdgeEnd(&p, 4);
  EXPECT_DOUBLE_EQ(8, end.x);
  n.flags = Collapsed;  // a collapsed next node asks for the check too
  end = OffsetEdgeEnd(&p, 4);
  EXPECT_DOUBLE_EQ(10, end.x);
  n.flags = 0;
  p.flags = EndPerpendicular;
  end = OffsetEdgeEnd(&p, 4);
  EXPECT_DOUBLE_EQ(10, end.x);
  p.flags = EndTrimCheck;
  BandEdgeList list = {nullptr, 0};
  FixedBounds bounds = {};
  ASSERT_EQ(1, MakeBandQuadrilateral(&p, &list, &bounds, 4, BandForm::Outer));
  // Start side (p.o -> p), end side (E -> n); the outline and offset edges are horizontal.
  ASSERT_EQ(2, list.count);
  for (BandEdge* e = list.head; e != nullptr; e = e->next) EXPECT_TRUE(e->firstOwner == &p || e->secondOwner == &p);
}
