// Outline tracing of hand-made shapes: orientation of both sets, the even-odd
// rule, touching and shared edges, degenerate subpaths.
#include <gtest/gtest.h>

#include <cmath>

#include "core/WorkMemory.h"
#include "geometry/PointFlags.h"
#include "tests/geometry/PathTestSupport.h"

using namespace pathtest;

namespace {
constexpr int32_t DocWidth = 1000;
constexpr int32_t DocHeight = 800;

std::vector<Point> Rect(double left, double top, double right, double bottom) {
  return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

// Area of a set in square pixels.
double AreaPixels(const std::vector<Ring>& rings) { return SignedArea(rings) * PixelsPerSquareUnit(DocWidth, DocHeight); }

// The traced outer set covers the even-odd area, the inner set the same with
// the opposite orientation.
void ExpectAreasMatchOracle(const TraceOutcome& t) {
  const double oracle = EvenOddAreaPixels(t.input, DocWidth, DocHeight);
  EXPECT_NEAR(AreaPixels(t.outer), oracle, oracle * 1e-3 + 1);
  EXPECT_NEAR(-AreaPixels(t.inner), oracle, oracle * 1e-3 + 1);
}

// Whether the ring walks the vertical edge at x (pixels) in the given
// direction (dy sign) somewhere.
bool WalksVertical(const Ring& ring, const RecordWriter& w, double x, int dySign) {
  const int32_t ux = w.ToUnits(Point{x, 0}).x;
  for (size_t i = 0; i < ring.size(); ++i) {
    const RingPoint& a = ring[i];
    const RingPoint& b = ring[(i + 1) % ring.size()];
    if (a.x == ux && b.x == ux && (b.y > a.y ? 1 : -1) == dySign) return true;
  }
  return false;
}
}  // namespace

TEST(OutlineShapes, RectangleGivesOneRingPerSetWithOppositeOrientations) {
  RecordWriter w(DocWidth, DocHeight);
  w.Polygon(Rect(100, 100, 300, 200));
  const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
  ASSERT_TRUE(t.built) << t.result;
  ASSERT_EQ(t.outer.size(), 1u);
  ASSERT_EQ(t.inner.size(), 1u);
  EXPECT_EQ(t.outer[0].size(), 4u);
  EXPECT_NEAR(AreaPixels(t.outer), 20000, 0.05);
  EXPECT_NEAR(AreaPixels(t.inner), -20000, 0.05);
  EXPECT_TRUE(WalksVertical(t.outer[0], w, 100, -1)) << "outer: left edge walked upwards";
  EXPECT_TRUE(WalksVertical(t.inner[0], w, 100, +1)) << "inner: left edge walked downwards";
}

TEST(OutlineShapes, OrientationDoesNotDependOnDrawingDirection) {
  for (bool reversed : {false, true}) {
    std::vector<Point> r = Rect(100, 100, 300, 200);
    if (reversed) std::reverse(r.begin(), r.end());
    RecordWriter w(DocWidth, DocHeight);
    w.Polygon(r);
    const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
    ASSERT_TRUE(t.built);
    EXPECT_NEAR(AreaPixels(t.outer), 20000, 0.05);
    EXPECT_NEAR(AreaPixels(t.inner), -20000, 0.05);
  }
}

TEST(OutlineShapes, OverlapOfTwoRectanglesIsNotFilled) {
  RecordWriter w(DocWidth, DocHeight);
  w.Polygon(Rect(100, 100, 300, 300));
  w.Polygon(Rect(200, 200, 400, 400));
  const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
  ASSERT_TRUE(t.built) << t.result;
  EXPECT_NEAR(AreaPixels(t.outer), 2 * 40000 - 2 * 10000, 0.05);
  ExpectAreasMatchOracle(t);
}

TEST(OutlineShapes, FigureEightFillsBothLobes) {
  RecordWriter w(DocWidth, DocHeight);
  w.Polygon({{100, 100}, {300, 300}, {300, 100}, {100, 300}});
  const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
  ASSERT_TRUE(t.built) << t.result;
  EXPECT_NEAR(AreaPixels(t.outer), 20000, 0.05);
  EXPECT_NEAR(AreaPixels(t.inner), -20000, 0.05);
}

TEST(OutlineShapes, SharedEdgeDrawnBothWays) {
  RecordWriter w(DocWidth, DocHeight);
  w.Polygon(Rect(100, 100, 200, 200));                          // clockwise on screen: right edge down
  w.Polygon({{200, 100}, {200, 200}, {300, 200}, {300, 100}});  // anticlockwise: left edge up
  const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
  ASSERT_TRUE(t.built) << t.result;
  EXPECT_EQ(t.outer.size(), 1u) << "one ring around both squares";
  EXPECT_EQ(t.inner.size(), 2u) << "each square keeps its own inner ring";
  EXPECT_NEAR(AreaPixels(t.outer), 20000, 0.05);
  EXPECT_NEAR(AreaPixels(t.inner), -20000, 0.05);
}

TEST(OutlineShapes, SingleStraightLineGivesOneOuterRing) {
  for (int direction = 0; direction < 4; ++direction) {
    const Point a{100, 100};
    const Point b = direction == 0 ? Point{400, 300} : direction == 1 ? Point{100, 400} : direction == 2 ? Point{400, 100} : Point{50, 20};
    RecordWriter w(DocWidth, DocHeight);
    w.Polygon({a, b}, false);
    const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
    ASSERT_TRUE(t.built) << direction << " " << t.result;
    ASSERT_EQ(t.outer.size(), 1u);
    EXPECT_EQ(t.outer[0].size(), 2u);
    EXPECT_TRUE(t.inner.empty());
  }
}

TEST(OutlineShapes, ContoursTouchingAtOneVertex) {
  RecordWriter w(DocWidth, DocHeight);
  w.Polygon(Rect(100, 100, 200, 200));
  w.Polygon(Rect(200, 200, 300, 300));
  const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
  ASSERT_TRUE(t.built) << t.result;
  EXPECT_NEAR(AreaPixels(t.outer), 20000, 0.05);
  EXPECT_NEAR(AreaPixels(t.inner), -20000, 0.05);
}

TEST(OutlineShapes, IdenticalSquaresCancel) {
  RecordWriter w(DocWidth, DocHeight);
  w.Polygon(Rect(100, 100, 200, 200));
  w.Polygon(Rect(100, 100, 200, 200));
  const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
  if (t.built) {
    EXPECT_NEAR(AreaPixels(t.outer), 0, 0.05);
    EXPECT_NEAR(AreaPixels(t.inner), 0, 0.05);
  } else {
    EXPECT_EQ(t.result, 0) << "only an empty outer set may end the run";
  }
}

TEST(OutlineShapes, LineTouchingASquare) {
  RecordWriter w(DocWidth, DocHeight);
  w.Polygon(Rect(100, 100, 200, 200));
  w.Polygon({{200, 150}, {300, 150}}, false);  // starts on the right edge
  w.Polygon({{150, 150}, {150, 100}}, false);  // inside, ends on the top edge
  const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
  ASSERT_TRUE(t.built) << t.result;
  EXPECT_NEAR(AreaPixels(t.outer), 10000, 0.05);
  EXPECT_NEAR(AreaPixels(t.inner), -10000, 0.05);
}

TEST(OutlineShapes, PentagramAndEdgesThroughOnePoint) {
  std::vector<Point> star;
  for (int i = 0; i < 5; ++i) {
    const double a = -M_PI / 2 + i * 4 * M_PI / 5;
    star.push_back({400 + 200 * std::cos(a), 400 + 200 * std::sin(a)});
  }
  for (int variant = 0; variant < 4; ++variant) {
    RecordWriter w(DocWidth, DocHeight);
    if (variant == 0 || variant == 3) w.Polygon(star);
    if (variant == 1 || variant == 3) w.Polygon({{100, 100}, {300, 300}, {300, 100}, {100, 300}});
    if (variant == 2 || variant == 3) w.Polygon({{200, 80}, {200, 320}, {220, 320}, {180, 80}});
    const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
    ASSERT_TRUE(t.built) << variant << " " << t.result;
    ExpectAreasMatchOracle(t);
  }
}

TEST(OutlineShapes, CurveAndSmoothFlagsFollowTheWalkInBothSets) {
  // A "D": a curve bulging right from (300,100) to (300,700), then straight
  // back up. Crossed by a thin bar, so that both the group walk and the whole
  // contour copy are exercised.
  for (bool crossed : {false, true}) {
    RecordWriter w(DocWidth, DocHeight);
    w.Length(true, 2);
    w.Knot(true, false, {300, 100}, {300, 100}, {700, 100});
    w.Knot(true, false, {700, 700}, {300, 700}, {300, 700});
    if (crossed) w.Polygon(Rect(200, 390, 800, 410));
    const TraceOutcome t = TraceRecords(w.bytes(), DocWidth, DocHeight);
    ASSERT_TRUE(t.built) << t.result;
    const int32_t straightX = w.ToUnits({300, 0}).x;
    const int32_t barLeft = w.ToUnits({200, 0}).x, barRight = w.ToUnits({800, 0}).x;
    auto barCorner = [&](const RingPoint& p) { return crossed && (p.x == barLeft || p.x == barRight); };
    for (const auto* set : {&t.outer, &t.inner}) {
      for (const Ring& ring : *set) {
        for (size_t i = 0; i < ring.size(); ++i) {
          const RingPoint& a = ring[i];
          const RingPoint& b = ring[(i + 1) % ring.size()];
          const bool onStraight = a.x == straightX && b.x == straightX;
          const bool onBar = crossed && (a.y == b.y || (a.x == b.x && barCorner(a)));
          EXPECT_EQ((a.flags & CurveEdge) != 0, !onStraight && !onBar) << i;
          const RingPoint& before = ring[(i + ring.size() - 1) % ring.size()];
          const bool corner = a.x == straightX || barCorner(a) || (crossed && (before.y == a.y || b.y == a.y));
          EXPECT_EQ((a.flags & SmoothPoint) != 0, !corner) << i;
        }
      }
    }
  }
}
