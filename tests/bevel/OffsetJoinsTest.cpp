// Offset geometry against exact distances and areas.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "OffsetTestRings.h"
#include "tests/support/CountingMemory.h"

using namespace offset_test;

namespace {

constexpr double Pi = std::numbers::pi;
constexpr JoinCode AllJoins[] = {RoundJoinCode, BevelJoinCode, MiterJoinCode};

struct OffsetFixture : OutlineFixture {
  void SetUp() override { SelectPool(&gOuterOffsetPool); }

  void Use(const std::vector<RingPoint>& points) {
    ASSERT_TRUE(outline.AddRing(points));
    outline.Prepare();
  }
  // Offsets afresh (undoing any earlier offset first).
  void Offset(JoinCode join, double size, double miterLimit = 100) {
    UndoOffset(outline.list);
    EmptyPool(&gOuterOffsetPool);
    ASSERT_EQ(OffsetOutlines(outline.list, join, size, join == MiterJoinCode ? size + miterLimit : 0.0), 1);
    ASSERT_EQ(memory.memory.result, 0);
  }
};

int CountFlag(const OffsetRingList* ring, uint32_t flag) {
  int count = 0;
  for (const OffsetNode* n : RingNodes(ring)) count += (n->flags & flag) != 0;
  return count;
}

// Every band piece of an outline vertex, and of the inserted nodes that keep
// an exact offset line, runs at exactly `size` from its outline edge; no
// piece of an outline vertex runs against its edge; arc points lie on the
// circle around their corner.
void ExpectBandGeometry(const OffsetRingList* list, double size) {
  const double tolerance = 1e-9 * (1.0 + size) * 1000;
  for (; list != nullptr; list = list->next)
    for (const OffsetNode* q : RingNodes(list)) {
      ASSERT_TRUE(std::isfinite(q->ox) && std::isfinite(q->oy));
      if ((q->flags & ArcNode) != 0) {
        ASSERT_NEAR(std::hypot(q->ox - q->x, q->oy - q->y), size, tolerance);
        continue;
      }
      if ((q->flags & JoinNode) != 0) continue;
      const BandEnd end = BandEndOf(q, size);
      ASSERT_NEAR(NormalDistance(q, q->ox, q->oy, q), size, tolerance) << "start of " << q->x << "," << q->y;
      ASSERT_NEAR(NormalDistance(q, end.x, end.y, q->next), size, tolerance) << "end of " << q->x << "," << q->y;
      if (!IsInsertedNode(q)) {
        const double along = (end.x - q->ox) * (q->next->x - q->x) + (end.y - q->oy) * (q->next->y - q->y);
        ASSERT_GE(along, -tolerance) << "reversed band at " << q->x << "," << q->y;
      }
    }
}

// Largest gap between an arc of radius r and chords of at most sqrt(10).
double ArcSagitta(double r) {
  const double halfChordSquared = 10.0 / 4.0;
  return r * r > halfChordSquared ? r - std::sqrt(r * r - halfChordSquared) : r;
}

// Number of chords a 90-degree round join gets: halved until <= sqrt(10).
int QuarterArcChords(double r) {
  int chords = 1;
  while (std::pow(2.0 * r * std::sin(Pi / 4.0 / chords), 2) > 10.0) chords *= 2;
  return chords;
}

TEST_F(OffsetFixture, RectangleAreaMatchesEachJoinForEverySize) {
  Use(Rectangle(300, 300, 400, 360));
  const double area = 100.0 * 60.0, perimeter = 320.0;
  for (int s = 1; s <= 250; ++s) {
    const double r = s;
    const double base = area + perimeter * r;
    SCOPED_TRACE(s);

    Offset(RoundJoinCode, r);
    ExpectBandGeometry(outline.list, r);
    const double roundArea = OffsetArea(outline.list);
    ASSERT_LE(roundArea, base + Pi * r * r + 1e-6 * base);
    ASSERT_GE(roundArea, base + Pi * r * r - 2.0 * Pi * r * ArcSagitta(r));
    ASSERT_EQ(int(RingNodes(outline.list).size()), 4 + 4 * QuarterArcChords(r));

    Offset(BevelJoinCode, r);
    ExpectBandGeometry(outline.list, r);
    ASSERT_NEAR(OffsetArea(outline.list), base + 2.0 * r * r, 1e-9 * base);
    ASSERT_EQ(RingNodes(outline.list).size(), 8u);

    Offset(MiterJoinCode, r, 2500);
    ExpectBandGeometry(outline.list, r);
    ASSERT_NEAR(OffsetArea(outline.list), base + 4.0 * r * r, 1e-9 * base);
    ASSERT_EQ(RingNodes(outline.list).size(), 4u);

    // Limit = size: each corner is cut square to the diagonal at distance r.
    Offset(MiterJoinCode, r, 0);
    ExpectBandGeometry(outline.list, r);
    const double cut = (std::sqrt(2.0) - 1.0) * r;
    ASSERT_NEAR(OffsetArea(outline.list), base + 4.0 * (r * r - cut * cut), 1e-9 * base);
    ASSERT_EQ(RingNodes(outline.list).size(), 8u);
  }
}

TEST_F(OffsetFixture, RoundJoinArcsStayOnTheCircleWithShortChords) {
  Use(Rectangle(100, 100, 180, 150));
  for (int s : {1, 2, 3, 4, 5, 17, 64, 128, 250}) {
    Offset(RoundJoinCode, s);
    for (const OffsetNode* q : RingNodes(outline.list)) {
      if ((q->flags & ArcNode) == 0) continue;
      const OffsetNode* v = q->next;
      ASSERT_EQ(q->flags, ArcNodeFlags);
      ASSERT_NEAR(std::hypot(q->ox - q->x, q->oy - q->y), s, 1e-9 * s);
      const double cx = v->ox - q->ox, cy = v->oy - q->oy;
      ASSERT_LE(cx * cx + cy * cy, 10.0 + 1e-9);
      // The chord's own normal (dy, -dx), pointing away from the corner.
      ASSERT_NEAR(q->nx * cx + q->ny * cy, 0.0, 1e-9);
      ASSERT_NEAR(std::hypot(q->nx, q->ny), 1.0, 1e-12);
      ASSERT_GT(q->nx * (q->ox - q->x) + q->ny * (q->oy - q->y), 0.0);
      // The chord's midpoint keeps within the sagitta of the circle.
      const double mid = std::hypot((q->ox + v->ox) / 2 - q->x, (q->oy + v->oy) / 2 - q->y);
      ASSERT_GE(mid, s - ArcSagitta(s) - 1e-9);
    }
    // The vertex after each arc is made smooth for the band builder.
    for (const OffsetNode* q : RingNodes(outline.list))
      if (!IsInsertedNode(q)) {
        ASSERT_NE(q->flags & SmoothPoint, 0u);
      }
  }
}

TEST_F(OffsetFixture, RightAngleMiterIsKeptUpToTheLimit) {
  Use(Rectangle(50, 50, 150, 150));
  Offset(MiterJoinCode, 10, 5);  // limit 15 > 14.14
  for (const OffsetNode* q : RingNodes(outline.list)) {
    ASSERT_FALSE(IsInsertedNode(q));
    EXPECT_NEAR(std::hypot(q->ox - q->x, q->oy - q->y), 10.0 * std::sqrt(2.0), 1e-12);
  }
  Offset(MiterJoinCode, 10, 4);  // limit 14: clipped at 14 px from the corner
  const auto nodes = RingNodes(outline.list);
  ASSERT_EQ(nodes.size(), 8u);
  for (const OffsetNode* q : nodes) {
    if ((q->flags & JoinNode) == 0) continue;
    ASSERT_EQ(q->flags, JoinNodeFlags);
    const OffsetNode* m = q->next;
    // Both ends of the cut lie at 14 px from the corner along the bisector.
    EXPECT_NEAR(q->nx * (q->ox - m->x) + q->ny * (q->oy - m->y), 14.0, 1e-12);
    EXPECT_NEAR(q->nx * (m->ox - m->x) + q->ny * (m->oy - m->y), 14.0, 1e-12);
    EXPECT_NEAR(std::fabs(q->nx), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(std::fabs(q->ny), std::sqrt(0.5), 1e-12);
  }
}

TEST_F(OffsetFixture, AcuteMiterSwitchesAtItsLength) {
  // A thin triangle with a 20-degree tip at (300, 200).
  const double half = 10.0 * Pi / 180.0;
  const double length = 150.0;
  Use({{300, 200}, {300 - length * std::cos(half), 200 + length * std::sin(half)},
       {300 - length * std::cos(half), 200 - length * std::sin(half)}});
  const auto nodes = RingNodes(outline.list);
  ASSERT_NE(nodes[0]->flags & OuterCorner, 0u);  // clockwise: every corner outer
  const double size = 10.0;
  const double tipMiter = size / std::sin(half);  // 57.6 px
  for (double miterLimit : {0.0, 20.0, 47.0, 48.0, 100.0}) {
    Offset(MiterJoinCode, size, miterLimit);
    ExpectBandGeometry(outline.list, size);
    const OffsetNode* tip = nodes[0];
    const double reach = std::hypot(tip->ox - tip->x, tip->oy - tip->y);
    if (tipMiter <= size + miterLimit) {
      EXPECT_NEAR(reach, tipMiter, 1e-3) << miterLimit;
      EXPECT_FALSE(IsInsertedNode(tip->prev));
    } else {
      const OffsetNode* join = tip->prev;
      ASSERT_EQ(join->flags, JoinNodeFlags) << miterLimit;
      EXPECT_NEAR(join->nx * (tip->ox - tip->x) + join->ny * (tip->oy - tip->y), size + miterLimit, 1e-9);
      EXPECT_LT(reach, tipMiter);
    }
  }
}

TEST_F(OffsetFixture, TurnBackIsCappedSquareOrRound) {
  // A lone line becomes a two-point ring around it.
  Use({{100, 100}, {160, 100}});
  for (int s : {1, 3, 10, 40, 250}) {
    const double r = s;
    SCOPED_TRACE(s);
    for (JoinCode join : {BevelJoinCode, MiterJoinCode}) {
      Offset(join, r, 0);
      ExpectBandGeometry(outline.list, r);
      EXPECT_NEAR(OffsetArea(outline.list), (60.0 + 2.0 * r) * 2.0 * r, 1e-9 * (60 + r) * r);
      EXPECT_EQ(CountFlag(outline.list, JoinNode), 2);
    }
    Offset(RoundJoinCode, r);
    ExpectBandGeometry(outline.list, r);
    const double stadium = 60.0 * 2.0 * r + Pi * r * r;
    EXPECT_LE(OffsetArea(outline.list), stadium + 1e-9 * stadium);
    // A size under sqrt(2.5) leaves the half circle as one chord.
    EXPECT_GE(OffsetArea(outline.list), stadium - 2.0 * Pi * r * ArcSagitta(r));
    // The cap reaches size beyond the line's end.
    double farthest = 0.0;
    for (const OffsetNode* q : RingNodes(outline.list)) farthest = std::max(farthest, q->ox);
    if (r * r * 4 > 10) {
      EXPECT_NEAR(farthest, 160.0 + r, 1e-9 * r);
    }
  }
}

// Sum over the corners of r^2 tan(turn / 2): the miter corners of an offset
// convex polygon, each an exact kite.
double MiterCornerArea(const OffsetRingList* ring, double r) {
  double sum = 0.0;
  for (const OffsetNode* q : RingNodes(ring)) {
    const OffsetNode* p = q->prev;
    const double a = std::atan2(q->y - p->y, q->x - p->x);
    const double b = std::atan2(q->next->y - q->y, q->next->x - q->x);
    double turn = std::fabs(b - a);
    if (turn > Pi) turn = 2 * Pi - turn;
    sum += r * r * std::tan(turn / 2);
  }
  return sum;
}

TEST_F(OffsetFixture, FlattenedCircleOffsetsThroughItsSmoothPoints) {
  Use(FlatCircle(128, 128, 40, 64));
  const double area = OutlineArea(outline.list), perimeter = Perimeter(outline.list);
  for (int s = 1; s <= 250; ++s) {
    const double r = s;
    for (JoinCode join : AllJoins) {
      Offset(join, r, 0);
      ExpectBandGeometry(outline.list, r);
      ASSERT_EQ(RingNodes(outline.list).size(), 64u);
      const double expected = area + perimeter * r + MiterCornerArea(outline.list, r);
      ASSERT_NEAR(OffsetArea(outline.list), expected, 1e-9 * expected) << s;
    }
  }
}

TEST_F(OffsetFixture, ConcaveShapeMatchesItsGrownOutline) {
  // An L: five convex corners and one concave corner at (200, 200).
  Use({{100, 100}, {300, 100}, {300, 200}, {200, 200}, {200, 300}, {100, 300}});
  const auto nodes = RingNodes(outline.list);
  EXPECT_EQ(nodes[3]->flags & OuterCorner, 0u);
  EXPECT_EQ(nodes[2]->flags & OuterCornerAhead, 0u);
  const double sx[] = {-1, 1, 1, 1, 1, -1}, sy[] = {-1, -1, 1, 1, 1, 1};
  for (double r : {1.0, 5.0, 20.0, 60.0, 99.0}) {
    SCOPED_TRACE(r);
    Offset(MiterJoinCode, r, 2500);
    ExpectBandGeometry(outline.list, r);
    ASSERT_EQ(RingNodes(outline.list).size(), 6u);
    for (int i = 0; i < 6; ++i) {
      EXPECT_DOUBLE_EQ(nodes[i]->ox, nodes[i]->x + sx[i] * r);
      EXPECT_DOUBLE_EQ(nodes[i]->oy, nodes[i]->y + sy[i] * r);
    }
    const double miterArea = OffsetArea(outline.list);

    Offset(BevelJoinCode, r);
    ExpectBandGeometry(outline.list, r);
    EXPECT_NEAR(OffsetArea(outline.list), miterArea - 5 * r * r / 2, 1e-9 * miterArea);

    Offset(RoundJoinCode, r);
    ExpectBandGeometry(outline.list, r);
    const double roundArea = miterArea - 5 * r * r * (1 - Pi / 4);
    EXPECT_LE(OffsetArea(outline.list), roundArea + 1e-9 * roundArea);
    EXPECT_GE(OffsetArea(outline.list), roundArea - 2 * Pi * r * ArcSagitta(r));
  }
}

TEST_F(OffsetFixture, NarrowNotchNeverBuildsAReversedBand) {
  // A rectangle with a 4 px wide, 20 px deep notch in its top edge: the
  // notch floor is a short edge between two inner corners.
  Use({{100, 100}, {148, 100}, {148, 120}, {152, 120}, {152, 100}, {200, 100}, {200, 200}, {100, 200}});
  bool repaired = false;
  for (int s = 1; s <= 60; ++s)
    for (JoinCode join : AllJoins) {
      SCOPED_TRACE(s);
      Offset(join, s, 10);
      ExpectBandGeometry(outline.list, s);
      repaired |= CountFlag(outline.list, Collapsed | StartReset | EndTrimCheck) > 0;
    }
  EXPECT_TRUE(repaired);
}

TEST_F(OffsetFixture, StraightPointGetsNoJoin) {
  Use({{100, 100}, {150, 100}, {200, 100}, {200, 150}, {100, 150}});
  for (JoinCode join : AllJoins) {
    Offset(join, 10, 0);
    const OffsetNode* straight = RingNodes(outline.list)[0]->next;
    while (IsInsertedNode(straight)) straight = straight->next;
    ASSERT_EQ(straight->x, 150.0);
    EXPECT_FALSE(IsInsertedNode(straight->prev)) << join;
    EXPECT_EQ(straight->ox, 150.0);
    EXPECT_EQ(straight->oy, 90.0);
  }
}

// A D shape: a vertical line on the left and a flattened half circle on the
// right, clockwise on the screen (offset side outside). The corners at both
// ends of the arc join a curve chord with a straight edge.
std::vector<RingPoint> DShape(double cx, double cy, double radius, int chords) {
  std::vector<RingPoint> points;
  for (int i = 0; i <= chords; ++i) {
    const double a = -Pi / 2 + Pi * i / chords;
    uint32_t flags = CurveEdge;
    if (i > 0) flags |= SmoothPoint;
    if (i == chords) flags = 0;  // the bottom corner starts the straight edge
    points.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a), flags});
  }
  return points;
}

TEST_F(OffsetFixture, CurveCornersKeepTheExactChordEnds) {
  Use(DShape(150, 150, 50, 16));
  const auto vertices = RingNodes(outline.list);
  const OffsetNode* top = vertices[0];      // corner whose outgoing edge is a chord
  const OffsetNode* bottom = vertices[16];  // corner reached by a chord
  const OffsetNode* lastChord = vertices[15];
  for (double r : {1.0, 8.0, 30.0}) {
    SCOPED_TRACE(r);
    Offset(MiterJoinCode, r, 2500);  // full miters
    ExpectBandGeometry(outline.list, r);
    // Top: the miter point rides on an inserted node; the chord keeps its start.
    const OffsetNode* miter = top->prev;
    ASSERT_EQ(miter->flags, MiterNodeFlags);
    EXPECT_NEAR(NormalDistance(bottom, miter->ox, miter->oy, bottom), r, 1e-9);
    EXPECT_NEAR(NormalDistance(top, miter->ox, miter->oy, top), r, 1e-9);
    EXPECT_NEAR(top->ox, top->x + r * top->nx, 1e-12);
    EXPECT_NEAR(top->oy, top->y + r * top->ny, 1e-12);
    EXPECT_NE(top->flags & SmoothPoint, 0u);
    // Bottom: the chord's offset edge ends exactly perpendicular to it.
    const OffsetNode* curveEnd = lastChord->next;
    ASSERT_EQ(curveEnd->flags, CurveEndNodeFlags);
    EXPECT_EQ(curveEnd->ox, bottom->x + r * lastChord->nx);
    EXPECT_EQ(curveEnd->oy, bottom->y + r * lastChord->ny);
    EXPECT_EQ(curveEnd->next, bottom);

    Offset(MiterJoinCode, r, 0);  // clipped: curve end, cut, miter point
    ExpectBandGeometry(outline.list, r);
    ASSERT_EQ(lastChord->next->flags, CurveEndNodeFlags);
    ASSERT_EQ(lastChord->next->next->flags, JoinNodeFlags);
    ASSERT_EQ(lastChord->next->next->next, bottom);
    ASSERT_EQ(top->prev->flags, MiterNodeFlags);
    ASSERT_EQ(top->prev->prev->flags, JoinNodeFlags);
    ASSERT_EQ(top->prev->prev->prev, bottom);

    for (JoinCode join : {RoundJoinCode, BevelJoinCode}) {
      Offset(join, r);
      ExpectBandGeometry(outline.list, r);
      EXPECT_EQ(CountFlag(outline.list, CurveEndNode | MiterNode), 0);
    }
  }
}

TEST_F(OffsetFixture, InnerCurveCornersAreLeftToTheBandBuilder) {
  // The same D walked the other way: the offset side is inside and both arc
  // ends are inner corners. The chord flags move with the reversal.
  std::vector<RingPoint> d = DShape(150, 150, 50, 16);
  std::vector<RingPoint> reversed;
  for (int i = int(d.size()) - 1; i >= 0; --i) {
    RingPoint p = d[i];
    const RingPoint& before = d[(i + d.size() - 1) % d.size()];
    p.flags = (p.flags & SmoothPoint) | (before.flags & CurveEdge);
    reversed.push_back(p);
  }
  Use(reversed);
  for (double r : {2.0, 10.0, 30.0, 45.0}) {
    SCOPED_TRACE(r);
    for (JoinCode join : AllJoins) {
      Offset(join, r, 10);
      ExpectBandGeometry(outline.list, r);
      EXPECT_EQ(CountFlag(outline.list, InsertedNodeMask), 0);
      EXPECT_GE(CountFlag(outline.list, EndPerpendicular), 2);
      EXPECT_GE(CountFlag(outline.list, StartReset), 2);
    }
  }
}

}  // namespace
