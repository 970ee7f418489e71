// Contours: appending and inserting vertices, curve flattening, the cleanup
// pass.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/NodePool.h"
#include "geometry/Contour.h"
#include "geometry/ContourCleanup.h"
#include "geometry/CrossingGroup.h"
#include "geometry/CurveFlattening.h"
#include "tests/support/CountingMemory.h"

namespace {
constexpr double Units = 16777216.0;  // path units per document size

struct ContourFixture : ::testing::Test {
  ScopedCountingMemory scoped;
  Contour* list = nullptr;

  Contour* NewContour() {
    auto* c = static_cast<Contour*>(NewBlock(sizeof(Contour)));
    *c = Contour{nullptr, list, 0};
    list = c;
    return c;
  }
  Contour* Polygon(std::initializer_list<std::pair<int32_t, int32_t>> points, uint32_t flags = 0) {
    Contour* c = NewContour();
    for (auto [x, y] : points) EXPECT_EQ(AppendVertex(c, x, y, flags), 1);
    return c;
  }
  void TearDown() override {
    FreeContourList(&list);
    EmptyPool(&gVertexPool);
    EXPECT_EQ(scoped.memory.liveBlocks, 0);
  }
};

std::vector<PathVertex*> Ring(const Contour* c) {
  std::vector<PathVertex*> ring;
  PathVertex* v = c->firstVertex;
  if (v != nullptr) do {
      ring.push_back(v);
      EXPECT_EQ(v->next->prev, v);
      v = v->next;
    } while (v != c->firstVertex);
  return ring;
}

PathPoint Px(double x, double y, int32_t w, int32_t h) {
  return PathPoint{int32_t(std::llround(x * Units / w)), int32_t(std::llround(y * Units / h))};
}
}  // namespace

TEST_F(ContourFixture, AppendBuildsTheRingInOrderWithFreshWalkBits) {
  Contour* c = Polygon({{1, 2}, {3, 4}, {5, 6}}, SmoothPoint);
  const auto ring = Ring(c);
  ASSERT_EQ(ring.size(), 3u);
  EXPECT_EQ(ring[0]->x, 1);
  EXPECT_EQ(ring[2]->y, 6);
  for (PathVertex* v : ring) {
    EXPECT_EQ(v->flags, AllWalkBits | SmoothPoint);
    EXPECT_EQ(v->group, nullptr);
  }
  PathVertex* inserted = InsertVertexAfter(ring[0], 9, 9);
  ASSERT_NE(inserted, nullptr);
  EXPECT_EQ(Ring(c)[1], inserted);
  EXPECT_EQ(inserted->flags, AllWalkBits);
  ring[1]->flags |= CurveEdge;
  EXPECT_EQ(InsertVertexAfter(ring[1], 7, 7)->flags, AllWalkBits | SmoothPoint | CurveEdge);
}

TEST_F(ContourFixture, StraightLookingCurveGivesOneVertex) {
  Contour* c = NewContour();
  const int32_t w = 1000, h = 1000;
  ASSERT_EQ(FlattenCurve(c, Px(100, 100, w, h), Px(200, 200, w, h), Px(300, 300, w, h), Px(400, 400, w, h), false, w, h), 1);
  const auto ring = Ring(c);
  ASSERT_EQ(ring.size(), 1u);
  EXPECT_EQ(ring[0]->x, Px(100, 100, w, h).x);
  EXPECT_EQ(ring[0]->flags, AllWalkBits | CurveEdge) << "the first vertex loses SmoothPoint unless smooth";
}

TEST_F(ContourFixture, QuarterCircleChordsStayWithinTolerance) {
  const int32_t w = 1000, h = 800;
  const double k = 0.5522847498 * 100;
  const double p[4][2] = {{500, 300}, {500 + k, 300}, {600, 400 - k}, {600, 400}};
  Contour* c = NewContour();
  ASSERT_EQ(FlattenCurve(c, Px(p[0][0], p[0][1], w, h), Px(p[1][0], p[1][1], w, h), Px(p[2][0], p[2][1], w, h),
                         Px(p[3][0], p[3][1], w, h), true, w, h),
            1);
  ASSERT_EQ(AppendVertex(c, Px(600, 400, w, h).x, Px(600, 400, w, h).y, 0), 1);
  const auto ring = Ring(c);
  EXPECT_GT(ring.size(), 10u);
  // Dense samples of the cubic itself, in pixels.
  std::vector<std::pair<double, double>> curve;
  for (int i = 0; i <= 20000; ++i) {
    const double t = i / 20000.0, s = 1 - t;
    const double b0 = s * s * s, b1 = 3 * s * s * t, b2 = 3 * s * t * t, b3 = t * t * t;
    curve.push_back({b0 * p[0][0] + b1 * p[1][0] + b2 * p[2][0] + b3 * p[3][0],
                     b0 * p[0][1] + b1 * p[1][1] + b2 * p[2][1] + b3 * p[3][1]});
  }
  double worst = 0;
  for (size_t i = 0; i + 1 < ring.size(); ++i) {
    EXPECT_EQ(ring[i]->flags & (SmoothPoint | CurveEdge), SmoothPoint | CurveEdge);
    const double mx = (ring[i]->x + ring[i + 1]->x) / 2.0 * w / Units;
    const double my = (ring[i]->y + ring[i + 1]->y) / 2.0 * h / Units;
    double best = 1e9;
    for (const auto& [cx, cy] : curve) best = std::min(best, std::hypot(cx - mx, cy - my));
    worst = std::max(worst, best);
  }
  EXPECT_LT(worst, 0.04) << "chord midpoints within about 0.0316 px of the curve";
}

TEST_F(ContourFixture, DegenerateCurvesEndTheirSubdivision) {
  // A loop back to its own start, a curve with all points equal, and a tiny
  // curve on a document far wider than the flatness measure can resolve.
  Contour* c = NewContour();
  ASSERT_EQ(FlattenCurve(c, {1000, 1000}, {900000, 5000}, {5000, 900000}, {1000, 1000}, false, 3000, 3000), 1);
  ASSERT_EQ(FlattenCurve(c, {7, 7}, {7, 7}, {7, 7}, {7, 7}, false, 3000, 3000), 1);
  ASSERT_EQ(FlattenCurve(c, {0, 0}, {1, 0}, {1, 1}, {1, 1}, true, 2000000000, 2000000000), 1);
  ASSERT_EQ(FlattenCurve(c, {-5, 3}, {9, -20}, {-30, 8}, {4, 4}, true, 2000000000, 2000000000), 1);
  EXPECT_LT(Ring(c).size(), 10000u);
}

TEST_F(ContourFixture, CleanupMergesOnlyWithinOneUnit) {
  Contour* c = Polygon({{0, 0}, {1000, 0}, {1001, 1}, {1000, 1000}, {1002, 1002}});
  c->firstVertex->next->flags |= SmoothPoint;  // (1000, 0) is removed, (1001, 1) inherits it
  EXPECT_TRUE(CleanupPass(&list, nullptr));
  const auto ring = Ring(c);
  ASSERT_EQ(ring.size(), 4u);
  EXPECT_EQ(ring[1]->x, 1001);
  EXPECT_NE(ring[1]->flags & SmoothPoint, 0u);
  EXPECT_EQ(ring[3]->x, 1002) << "two units apart are not merged";
  EXPECT_FALSE(CleanupPass(&list, nullptr));
}

TEST_F(ContourFixture, CleanupWrapsAroundTheFirstVertex) {
  Contour* c = Polygon({{0, 0}, {500, 0}, {500, 500}, {1, -1}});
  EXPECT_TRUE(CleanupPass(&list, nullptr));
  const auto ring = Ring(c);
  ASSERT_EQ(ring.size(), 3u);
  EXPECT_EQ(c->firstVertex->x, 0) << "(1,-1) merges into the first vertex, which stays";
}

TEST_F(ContourFixture, CollapsedContoursLeaveTheList) {
  Contour* kept = Polygon({{0, 0}, {100, 0}, {100, 100}});
  Polygon({{5, 5}, {6, 6}, {5, 6}, {6, 5}});  // all within one unit: the list head
  EXPECT_TRUE(CleanupPass(&list, nullptr));
  EXPECT_EQ(list, kept);
  EXPECT_EQ(list->next, nullptr);
  Polygon({{3, 3}});
  Polygon({{9, 9}, {10, 10}});
  EXPECT_TRUE(CleanupPass(&list, nullptr));
  EXPECT_EQ(list, kept);
  EXPECT_EQ(list->next, nullptr);
}

TEST_F(ContourFixture, CleanupKeepsContactPointsInPlace) {
  CrossingGroupList groups{};
  Contour* a = Polygon({{0, 0}, {1000, 0}, {1001, 0}, {1000, 1000}, {500, 1000}, {501, 1000}});
  Contour* b = Polygon({{1000, 0}, {2000, 500}, {1001, 0}});
  const auto ra = Ring(a), rb = Ring(b);
  // (1000,0) of a and b at one contact; (1001,0) of a alone in another; the
  // pair at (500,1000)/(501,1000): only the second in a group.
  CrossingGroup* g1 = NewGroup(&groups, ra[1]);
  AddGroupMember(g1, rb[0]);
  NewGroup(&groups, ra[2]);
  CrossingGroup* g3 = NewGroup(&groups, ra[5]);
  AddGroupMember(g3, rb[2]);
  // Two contacts at the very same place become one group on one vertex.
  Contour* c = Polygon({{0, 5000}, {3000, 5000}, {3000, 5000}, {0, 9000}});
  Contour* d = Polygon({{3000, 5000}, {6000, 0}, {6000, 9000}});
  const auto rc = Ring(c);
  CrossingGroup* g4 = NewGroup(&groups, rc[1]);
  AddGroupMember(g4, Ring(d)[0]);
  NewGroup(&groups, rc[2]);
  CleanupPass(&list, &groups);
  ASSERT_EQ(Ring(c).size(), 3u);
  EXPECT_EQ(Ring(c)[1], rc[2]);
  EXPECT_EQ(Ring(d)[0]->group, rc[2]->group);
  const auto after = Ring(a);
  EXPECT_EQ(after.size(), 5u) << "two contacts a unit apart both stay; the ungrouped neighbour goes";
  EXPECT_EQ(after[1]->group, g1);
  EXPECT_EQ(after[4]->x, 501);
  EXPECT_EQ(rb[2]->group, g3);
  FreeGroupList(&groups);
}
