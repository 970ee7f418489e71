// Undoing an offset, numbering nodes, and allocation failures.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "OffsetTestRings.h"
#include "tests/support/CountingMemory.h"

using namespace offset_test;

namespace {

struct Setting {
  JoinCode join;
  double size;
  double miterLimit;
  double Limit() const { return MiterLimitDistance(join, uint16_t(size), uint16_t(miterLimit)); }
};

const Setting Settings[] = {
    {RoundJoinCode, 1, 0},    {RoundJoinCode, 37, 0},  {BevelJoinCode, 10, 0},   {MiterJoinCode, 10, 0},
    {MiterJoinCode, 25, 2500}, {RoundJoinCode, 250, 0}, {BevelJoinCode, 250, 0}, {MiterJoinCode, 250, 5},
};

std::vector<RingPoint> DShape(double cx, double cy, double radius, int chords, bool reversed) {
  std::vector<RingPoint> points;
  for (int i = 0; i <= chords; ++i) {
    const double a = -std::numbers::pi / 2 + std::numbers::pi * i / chords;
    uint32_t flags = CurveEdge | (i > 0 ? SmoothPoint : 0);
    if (i == chords) flags = 0;
    points.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a), flags});
  }
  if (!reversed) return points;
  std::vector<RingPoint> back;
  for (int i = int(points.size()) - 1; i >= 0; --i) {
    RingPoint p = points[i];
    p.flags = (p.flags & SmoothPoint) | (points[(i + points.size() - 1) % points.size()].flags & CurveEdge);
    back.push_back(p);
  }
  return back;
}

// Rings that reach every kind of corner: convex, concave with a collapsing
// notch, curve chords meeting corners from both sides, a turn-back, a
// straight point and smooth points.
bool BuildMixedOutline(TestOutline& outline) {
  return outline.AddRing({{100, 100}, {148, 100}, {148, 120}, {152, 120}, {152, 100}, {200, 100}, {200, 150},
                          {200, 200}, {100, 200}}) &&
         outline.AddRing(DShape(300, 150, 50, 12, false)) && outline.AddRing(DShape(300, 400, 60, 9, true)) &&
         outline.AddRing({{50, 300}, {90, 330}}) &&
         outline.AddRing({{100, 500}, {300, 500}, {300, 600}, {200, 600}, {200, 700}, {100, 700}}) &&
         outline.AddRing(FlatCircle(500, 500, 30, 24));
}

struct UndoFixture : OutlineFixture {
  void SetUp() override {
    ASSERT_TRUE(BuildMixedOutline(outline));
    outline.Prepare();
    SelectPool(&gOuterOffsetPool);
  }

  // The ring as a fresh build with the setting produces it, from a separate
  // copy of the outline.
  std::vector<std::vector<NodeValues>> FreshResult(const Setting& s) {
    TestOutline fresh;
    EXPECT_TRUE(BuildMixedOutline(fresh));
    fresh.Prepare();
    SelectPool(&gInnerOffsetPool);
    EXPECT_EQ(OffsetOutlines(fresh.list, s.join, s.size, s.Limit()), 1);
    auto result = Snapshot(fresh.list);
    SelectPool(&gOuterOffsetPool);
    EmptyPool(&gInnerOffsetPool);
    fresh.Free();
    return result;
  }

  int Reoffset(const Setting& s) {
    UndoOffset(outline.list);
    EmptyPool(&gOuterOffsetPool);
    return OffsetOutlines(outline.list, s.join, s.size, s.Limit());
  }
};

// Everything but the offset positions, which an undo leaves stale.
void ExpectSameOutline(const std::vector<std::vector<NodeValues>>& a, const std::vector<std::vector<NodeValues>>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t r = 0; r < a.size(); ++r) {
    ASSERT_EQ(a[r].size(), b[r].size()) << "ring " << r;
    for (size_t i = 0; i < a[r].size(); ++i) {
      NodeValues x = a[r][i], y = b[r][i];
      x.ox = y.ox = x.oy = y.oy = 0;
      ASSERT_EQ(x, y) << "ring " << r << " node " << i;
    }
  }
}

TEST_F(UndoFixture, OffsetAfterUndoEqualsAFreshBuild) {
  const auto prepared = Snapshot(outline.list);
  std::vector<std::vector<std::vector<NodeValues>>> fresh;
  for (const Setting& s : Settings) fresh.push_back(FreshResult(s));
  for (const Setting& first : Settings)
    for (size_t b = 0; b < std::size(Settings); ++b) {
      ASSERT_EQ(Reoffset(first), 1);
      UndoOffset(outline.list);
      ExpectSameOutline(Snapshot(outline.list), prepared);
      ASSERT_EQ(Reoffset(Settings[b]), 1);
      ASSERT_TRUE(Snapshot(outline.list) == fresh[b]) << "after join " << first.join << " size " << first.size
                                                      << ", then join " << Settings[b].join << " size "
                                                      << Settings[b].size;
    }
}

TEST_F(UndoFixture, EveryKindOfJoinNodeIsExercised) {
  uint32_t seen = 0;
  for (const Setting& s : Settings) {
    ASSERT_EQ(Reoffset(s), 1);
    for (OffsetRingList* ring = outline.list; ring != nullptr; ring = ring->next)
      for (const OffsetNode* n : RingNodes(ring)) seen |= n->flags;
  }
  EXPECT_EQ(seen & InsertedNodeMask, InsertedNodeMask);
  EXPECT_EQ(seen & (StartReset | EndTrimCheck | Collapsed | EndPerpendicular),
            StartReset | EndTrimCheck | Collapsed | EndPerpendicular);
}

TEST_F(UndoFixture, NumberingCountsEveryNodeRingByRing) {
  ASSERT_EQ(Reoffset(Settings[1]), 1);
  int32_t counter = 1;
  NumberNodes(outline.list, &counter);
  int32_t expected = 1;
  for (OffsetRingList* ring = outline.list; ring != nullptr; ring = ring->next)
    for (const OffsetNode* n : RingNodes(ring)) EXPECT_EQ(n->index, expected++);
  EXPECT_EQ(counter, expected);
  UndoOffset(outline.list);
  for (OffsetRingList* ring = outline.list; ring != nullptr; ring = ring->next)
    for (const OffsetNode* n : RingNodes(ring)) EXPECT_EQ(n->index, 0);
}

TEST_F(UndoFixture, EveryAllocationFailureIsReportedAndRecoverable) {
  for (const Setting& s : Settings) {
    const auto fresh = FreshResult(s);
    // Allocations one successful offset takes.
    UndoOffset(outline.list);
    EmptyPool(&gOuterOffsetPool);
    const long before = memory.memory.allocations;
    ASSERT_EQ(OffsetOutlines(outline.list, s.join, s.size, s.Limit()), 1);
    const long needed = memory.memory.allocations - before;
    ASSERT_GT(needed, 0);
    for (bool failAllAfter : {false, true})
      for (long k = 1; k <= needed; ++k) {
        UndoOffset(outline.list);
        EmptyPool(&gOuterOffsetPool);
        memory.memory.failAt = memory.memory.allocations + k;
        memory.memory.failAllAfter = failAllAfter;
        ASSERT_EQ(OffsetOutlines(outline.list, s.join, s.size, s.Limit()), 0) << k;
        ASSERT_EQ(memory.memory.result, MemFullErr);
        memory.memory.failAt = 0;
        memory.memory.result = 0;
        // A partly joined outline is undone and offset again as if fresh.
        ASSERT_EQ(Reoffset(s), 1);
        ASSERT_TRUE(Snapshot(outline.list) == fresh) << "join " << s.join << " size " << s.size << " fail " << k;
      }
  }
  UndoOffset(outline.list);
  EmptyPool(&gOuterOffsetPool);
}

TEST_F(UndoFixture, FailureAtTheFirstNodeLeavesNothingInserted) {
  UndoOffset(outline.list);
  EmptyPool(&gOuterOffsetPool);
  memory.memory.failAt = memory.memory.allocations + 1;
  memory.memory.failAllAfter = true;
  EXPECT_EQ(OffsetOutlines(outline.list, RoundJoinCode, 10, 0), 0);
  EXPECT_EQ(memory.memory.result, MemFullErr);
  UndoOffset(outline.list);
  for (OffsetRingList* ring = outline.list; ring != nullptr; ring = ring->next)
    for (const OffsetNode* n : RingNodes(ring)) EXPECT_FALSE(IsInsertedNode(n));
  memory.memory.failAt = 0;
  memory.memory.result = 0;
}

}  // namespace
