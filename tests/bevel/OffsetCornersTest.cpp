// Corner classification, conversion to pixels and join codes.
#include <gtest/gtest.h>

#include "OffsetTestRings.h"
#include "tests/support/CountingMemory.h"

using namespace offset_test;

namespace {

constexpr uint32_t CornerBits = OuterCorner | OuterCornerAhead | StraightPoint | StraightAhead;

struct CornerFixture : OutlineFixture {};

// Builds a ring straight from path units.
OffsetRingList* RingFromUnits(TestOutline& outline, const std::vector<std::pair<int32_t, int32_t>>& units,
                              uint32_t flags = 0) {
  std::vector<RingPoint> none;
  outline.AddRing(none);
  OffsetRingList* ring = outline.list;
  while (ring->next != nullptr) ring = ring->next;
  for (auto [fx, fy] : units) test_rings::AppendNode(ring, fx, fy, flags);
  return ring;
}

TEST_F(CornerFixture, ClockwiseSquareHasOnlyOuterCorners) {
  outline.AddRing(Rectangle(10, 10, 20, 20));
  outline.AddRing(Reversed(Rectangle(10, 10, 20, 20)));
  ClassifyCorners(outline.list);
  for (OffsetNode* n : RingNodes(outline.list)) EXPECT_EQ(n->flags & CornerBits, OuterCorner | OuterCornerAhead);
  for (OffsetNode* n : RingNodes(outline.list->next)) EXPECT_EQ(n->flags & CornerBits, 0u);
}

TEST_F(CornerFixture, CollinearMiddlePointIsStraight) {
  outline.AddRing({{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}});
  ClassifyCorners(outline.list);
  const auto nodes = RingNodes(outline.list);
  EXPECT_EQ(nodes[1]->flags & CornerBits, StraightPoint | OuterCorner | OuterCornerAhead);
  EXPECT_EQ(nodes[0]->flags & CornerBits, StraightAhead | OuterCornerAhead | OuterCorner);
  EXPECT_EQ(nodes[2]->flags & CornerBits, OuterCorner | OuterCornerAhead);
}

TEST_F(CornerFixture, TurnBackIsAnOuterCornerAndLosesSmoothness) {
  outline.AddRing({{0, 0, SmoothPoint}, {30, 10, SmoothPoint}});
  ClassifyCorners(outline.list);
  for (OffsetNode* n : RingNodes(outline.list)) {
    EXPECT_EQ(n->flags & CornerBits, OuterCorner | OuterCornerAhead);
    EXPECT_EQ(n->flags & SmoothPoint, 0u);
  }
}

TEST_F(CornerFixture, ClassificationIsExactBeyondSixtyFourBitProducts) {
  // Differences near 2^32 make the cross products exceed 64 bits.
  const int32_t lo = INT32_MIN, hi = INT32_MAX;
  // On the line y = x + 2 for offset 1, one unit either side of it otherwise.
  for (int32_t offset : {1, 0, -1}) RingFromUnits(outline, {{lo, lo + 2}, {0, 2}, {hi - 2, hi - 1 + offset}});
  ClassifyCorners(outline.list);
  int ringIndex = 0;
  for (OffsetRingList* ring = outline.list; ring != nullptr; ring = ring->next, ++ringIndex) {
    const auto nodes = RingNodes(ring);
    const __int128 r = (__int128(nodes[2]->fx) - nodes[0]->fx) * (__int128(nodes[1]->fy) - nodes[0]->fy) -
                       (__int128(nodes[2]->fy) - nodes[0]->fy) * (__int128(nodes[1]->fx) - nodes[0]->fx);
    const uint32_t middle = nodes[1]->flags & CornerBits;
    if (r == 0) {
      EXPECT_EQ(middle & StraightPoint, StraightPoint) << ringIndex;
    } else if (r < 0) {
      EXPECT_EQ(middle & (StraightPoint | OuterCorner), OuterCorner) << ringIndex;
    } else {
      EXPECT_EQ(middle & OuterCorner, 0u) << ringIndex;
    }
  }
  // The three rings cover all three outcomes.
  EXPECT_NE(RingNodes(outline.list)[1]->flags & StraightPoint, 0u);
}

TEST_F(CornerFixture, ToPixelsScalesByTheDocumentSizeAndSetsUnitNormals) {
  RingFromUnits(outline, {{1 << 23, 1 << 22}, {1 << 24, 1 << 22}, {1 << 24, 3 << 22}});
  ToPixels(outline.list, 1000, 600);
  const auto nodes = RingNodes(outline.list);
  EXPECT_EQ(nodes[0]->x, 500.0);
  EXPECT_EQ(nodes[0]->y, 150.0);
  EXPECT_EQ(nodes[1]->x, 1000.0);
  EXPECT_EQ(nodes[2]->y, 450.0);
  for (OffsetNode* n : nodes) {
    const double dx = n->next->x - n->x, dy = n->next->y - n->y;
    EXPECT_NEAR(std::hypot(n->nx, n->ny), 1.0, 1e-15);
    EXPECT_NEAR(n->nx * dx + n->ny * dy, 0.0, 1e-9);      // perpendicular
    EXPECT_GT(n->nx * dy - n->ny * dx, 0.0);              // (dy, -dx) side
  }
  EXPECT_EQ(nodes[0]->nx, 0.0);
  EXPECT_EQ(nodes[0]->ny, -1.0);
}

TEST_F(CornerFixture, ZeroLengthEdgeGetsNoDirection) {
  outline.AddRing({{0, 0}, {0, 0}, {10, 0}, {10, 10}});
  outline.Prepare();
  const auto nodes = RingNodes(outline.list);
  EXPECT_EQ(nodes[0]->nx, 0.0);
  EXPECT_EQ(nodes[0]->ny, 0.0);
  // Offsetting such a ring stays finite.
  SelectPool(&gOuterOffsetPool);
  for (JoinCode join : {RoundJoinCode, BevelJoinCode, MiterJoinCode}) {
    ASSERT_EQ(OffsetOutlines(outline.list, join, 5.0, 10.0), 1);
    for (OffsetNode* n : RingNodes(outline.list)) ASSERT_TRUE(std::isfinite(n->ox) && std::isfinite(n->oy));
    UndoOffset(outline.list);
  }
  EmptyPool(&gOuterOffsetPool);
  SelectPool(&gOutlinePool);
}

TEST(JoinCodes, JoinTypeSelectsTheJoinAndTypeThreeIsRound) {
  EXPECT_EQ(JoinCodeForFlags(0x0000), RoundJoinCode);
  EXPECT_EQ(JoinCodeForFlags(0x0100), BevelJoinCode);
  EXPECT_EQ(JoinCodeForFlags(0x0200), MiterJoinCode);
  EXPECT_EQ(JoinCodeForFlags(0x0300), RoundJoinCode);
  EXPECT_EQ(JoinCodeForFlags(0x0CFF | 0x0200), MiterJoinCode);
  EXPECT_EQ(int(RoundJoinCode), 1);
  EXPECT_EQ(int(BevelJoinCode), 2);
  EXPECT_EQ(int(MiterJoinCode), 4);
  EXPECT_EQ(MiterLimitDistance(MiterJoinCode, 10, 5), 15.0);
  EXPECT_EQ(MiterLimitDistance(RoundJoinCode, 10, 5), 0.0);
  EXPECT_EQ(MiterLimitDistance(BevelJoinCode, 250, 2500), 0.0);
}

}  // namespace
