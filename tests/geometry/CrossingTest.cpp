// The crossing pass on small contours in path units: contact points, groups,
// rounding.
#include <gtest/gtest.h>

#include <vector>

#include "core/NodePool.h"
#include "geometry/Contour.h"
#include "geometry/CrossingGroup.h"
#include "geometry/CrossingPass.h"
#include "tests/support/CountingMemory.h"

namespace {
struct CrossingFixture : ::testing::Test {
  ScopedCountingMemory scoped;
  Contour* list = nullptr;
  CrossingGroupList groups{};

  Contour* Polygon(std::initializer_list<std::pair<int32_t, int32_t>> points) {
    auto* c = static_cast<Contour*>(NewBlock(sizeof(Contour)));
    *c = Contour{nullptr, nullptr, 0};
    Contour** tail = &list;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = c;  // list order as written
    for (auto [x, y] : points) AppendVertex(c, x, y, 0);
    return c;
  }
  std::vector<PathVertex*> Ring(const Contour* c) {
    std::vector<PathVertex*> ring;
    PathVertex* v = c->firstVertex;
    do {
      ring.push_back(v);
      v = v->next;
    } while (v != c->firstVertex);
    return ring;
  }
  int GroupCount() {
    int n = 0;
    for (CrossingGroup* g = groups.first; g != nullptr; g = g->next) ++n;
    return n;
  }
  static int MemberCount(const CrossingGroup* g) {
    int n = 0;
    for (const GroupMember* m = &g->first; m != nullptr; m = m->next) ++n;
    return n;
  }
  void TearDown() override {
    FreeGroupList(&groups);
    FreeContourList(&list);
    EmptyPool(&gVertexPool);
    EXPECT_EQ(scoped.memory.liveBlocks, 0);
  }
};
}  // namespace

TEST_F(CrossingFixture, TouchingAtOneVertexMakesOneGroupWithoutRounding) {
  Contour* a = Polygon({{0, 0}, {1000, 0}, {1000, 1000}});
  Contour* b = Polygon({{1000, 1000}, {2000, 1000}, {2000, 2000}});
  bool rounded = true;
  ASSERT_EQ(CrossingPass(list, &groups, &rounded), 1);
  EXPECT_FALSE(rounded);
  ASSERT_EQ(GroupCount(), 1);
  EXPECT_EQ(MemberCount(groups.first), 2);
  EXPECT_EQ(Ring(a).size(), 3u);
  EXPECT_EQ(Ring(b).size(), 3u);
  EXPECT_EQ(a->crossed, 1u);
  EXPECT_EQ(b->crossed, 1u);
}

TEST_F(CrossingFixture, FigureEightGetsTwoVerticesInOneGroup) {
  Contour* c = Polygon({{0, 0}, {2000, 2000}, {2000, 0}, {0, 2000}});
  bool rounded = false;
  ASSERT_EQ(CrossingPass(list, &groups, &rounded), 1);
  EXPECT_TRUE(rounded) << "a crossing inside both edges is a computed point";
  const auto ring = Ring(c);
  ASSERT_EQ(ring.size(), 6u);
  ASSERT_EQ(GroupCount(), 1);
  EXPECT_EQ(MemberCount(groups.first), 2);
  for (const GroupMember* m = &groups.first->first; m != nullptr; m = m->next) {
    EXPECT_EQ(m->vertex->x, 1000);
    EXPECT_EQ(m->vertex->y, 1000);
  }
  // The second pass finds the two vertices standing on one point: exact.
  ResetClassification(list);
  FreeGroupList(&groups);
  ASSERT_EQ(CrossingPass(list, &groups, &rounded), 1);
  EXPECT_FALSE(rounded);
  EXPECT_EQ(Ring(c).size(), 6u);
  EXPECT_EQ(GroupCount(), 1);
}

TEST_F(CrossingFixture, HalfUnitCrossingsRoundAwayFromZero) {
  // b crosses y = 0 at x = 1500.5: on the edge running right the offset 1500.5
  // becomes 1501; on the edge running left -1499.5 becomes -1500.
  Contour* a = Polygon({{0, 0}, {3000, 0}});
  Polygon({{1500, -1000}, {1501, 1000}, {-5000, 1000}});
  bool rounded = false;
  ASSERT_EQ(CrossingPass(list, &groups, &rounded), 1);
  EXPECT_TRUE(rounded);
  const auto ring = Ring(a);
  ASSERT_EQ(ring.size(), 4u);
  EXPECT_EQ(ring[1]->x, 1501);
  EXPECT_EQ(ring[3]->x, 1500);
}

TEST_F(CrossingFixture, StartsInsideOtherEdgesBecomeSharedVertices) {
  // b's corner lies on a's bottom edge; c runs back along a's top edge,
  // starting inside it and ending at a's corner.
  Contour* a = Polygon({{0, 0}, {4000, 0}, {4000, 4000}, {0, 4000}});
  Contour* b = Polygon({{2000, 4000}, {3000, 6000}, {1000, 6000}});
  Contour* c = Polygon({{3000, 0}, {0, 0}, {1000, -2000}});
  bool rounded = true;
  ASSERT_EQ(CrossingPass(list, &groups, &rounded), 1);
  EXPECT_FALSE(rounded);
  const auto ra = Ring(a);
  ASSERT_EQ(ra.size(), 6u) << "a gets vertices at (3000,0) and (2000,4000)";
  EXPECT_EQ(ra[1]->x, 3000);
  EXPECT_EQ(ra[4]->x, 2000);
  EXPECT_EQ(ra[4]->group, Ring(b)[0]->group);
  EXPECT_EQ(ra[1]->group, Ring(c)[0]->group);
  EXPECT_EQ(ra[0]->group, Ring(c)[1]->group);
  EXPECT_EQ(Ring(c).size(), 3u);
}

TEST_F(CrossingFixture, OverlapsRunningAgainstEachOtherSplitBothEdges) {
  // a's top edge and b's bottom edge overlap on [1000, 3000], drawn against
  // each other: each edge starts inside the other.
  Contour* a = Polygon({{0, 0}, {3000, 0}, {3000, -1000}});
  Contour* b = Polygon({{1000, 0}, {1000, 1000}, {5000, 1000}, {5000, 0}});
  bool rounded = true;
  ASSERT_EQ(CrossingPass(list, &groups, &rounded), 1);
  EXPECT_FALSE(rounded);
  EXPECT_EQ(Ring(a).size(), 4u);
  EXPECT_EQ(Ring(b).size(), 5u);
  EXPECT_EQ(GroupCount(), 2);
}

TEST_F(CrossingFixture, ResetPutsBackTheWalkBits) {
  Contour* c = Polygon({{0, 0}, {10, 0}, {10, 10}});
  Ring(c)[0]->flags = SmoothPoint | CurveEdge | 0x10001234;
  ResetClassification(list);
  EXPECT_EQ(Ring(c)[0]->flags, SmoothPoint | CurveEdge | AllWalkBits);
}
