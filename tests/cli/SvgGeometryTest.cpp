#include "cli/SvgGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr double Pi = 3.14159265358979323846;

struct Point {
  double x, y;
};

// Points along every segment of every subpath, t = 0..1 in `steps` steps.
std::vector<Point> Sample(const PathModel& path, int steps) {
  std::vector<Point> points;
  for (const Subpath& s : path.subpaths) {
    for (size_t i = 0; i + 1 < s.knots.size(); ++i) {
      const PathKnot& a = s.knots[i];
      const PathKnot& b = s.knots[i + 1];
      for (int k = (i == 0 ? 0 : 1); k <= steps; ++k) {
        const double t = static_cast<double>(k) / steps, u = 1 - t;
        points.push_back({u * u * u * a.anchorX + 3 * u * u * t * a.outX + 3 * u * t * t * b.inX + t * t * t * b.anchorX,
                          u * u * u * a.anchorY + 3 * u * u * t * a.outY + 3 * u * t * t * b.inY + t * t * t * b.anchorY});
      }
    }
  }
  return points;
}

PathModel ParsePath(const std::string& data, const Affine& transform = Affine()) {
  PathBuilder builder;
  std::string error;
  EXPECT_TRUE(ParseSvgPathData(data, transform, builder, &error)) << data << ": " << error;
  return builder.Take();
}

void ExpectSamePath(const PathModel& a, const PathModel& b, double tolerance) {
  ASSERT_EQ(a.subpaths.size(), b.subpaths.size());
  for (size_t s = 0; s < a.subpaths.size(); ++s) {
    ASSERT_EQ(a.subpaths[s].closed, b.subpaths[s].closed) << s;
    ASSERT_EQ(a.subpaths[s].knots.size(), b.subpaths[s].knots.size()) << s;
    for (size_t k = 0; k < a.subpaths[s].knots.size(); ++k) {
      const PathKnot& p = a.subpaths[s].knots[k];
      const PathKnot& q = b.subpaths[s].knots[k];
      const double pv[6] = {p.anchorX, p.anchorY, p.inX, p.inY, p.outX, p.outY};
      const double qv[6] = {q.anchorX, q.anchorY, q.inX, q.inY, q.outX, q.outY};
      for (int i = 0; i < 6; ++i) EXPECT_NEAR(pv[i], qv[i], tolerance) << "subpath " << s << " knot " << k << " value " << i;
    }
  }
}

// The cubic approximation of a quarter circle strays at most 0.027% from it.
constexpr double ArcRadialTolerance = 3e-4;

}  // namespace

TEST(SvgArc, CubicsLieOnTheExactEllipseAndSweepTheRequestedAngle) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0, 1);
  int checked = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    const double cx = unit(random) * 200 - 100, cy = unit(random) * 200 - 100;
    const double rx = 1 + unit(random) * 99, ry = 1 + unit(random) * 99;
    const double phiDegrees = unit(random) * 360 - 180, phi = phiDegrees * Pi / 180;
    const double start = unit(random) * 2 * Pi;
    const double span = (unit(random) * 2 - 1) * 2 * Pi;
    // Spans near 0, half a turn (either large-arc choice fits) or a full
    // turn (the end points meet) do not pin down one arc.
    if (std::fabs(span) < 0.05 || std::fabs(std::fabs(span) - Pi) < 0.01 || std::fabs(span) > 2 * Pi - 0.05) continue;
    auto onEllipse = [&](double t) {
      const double ex = rx * std::cos(t), ey = ry * std::sin(t);
      return Point{cx + std::cos(phi) * ex - std::sin(phi) * ey, cy + std::sin(phi) * ex + std::cos(phi) * ey};
    };
    const Point from = onEllipse(start), to = onEllipse(start + span);
    PathBuilder builder;
    builder.MoveTo(from.x, from.y);
    AddSvgArc(from.x, from.y, rx, ry, phiDegrees, std::fabs(span) > Pi, span > 0, to.x, to.y, Affine(), builder);
    const PathModel path = builder.Take();
    ASSERT_EQ(path.subpaths.size(), 1u);
    const auto& knots = path.subpaths[0].knots;
    EXPECT_LE(knots.size(), 5u);  // at most four quarter turns
    EXPECT_EQ(knots.back().anchorX, to.x);
    EXPECT_EQ(knots.back().anchorY, to.y);

    double swept = 0, previousAngle = start;
    for (const Point& p : Sample(path, 16)) {
      const double dx = p.x - cx, dy = p.y - cy;
      const double ux = (std::cos(phi) * dx + std::sin(phi) * dy) / rx;
      const double uy = (-std::sin(phi) * dx + std::cos(phi) * dy) / ry;
      ASSERT_NEAR(std::hypot(ux, uy), 1.0, ArcRadialTolerance) << "trial " << trial;
      const double angle = std::atan2(uy, ux);
      const double step = std::remainder(angle - previousAngle, 2 * Pi);
      EXPECT_GE(step * span, -1e-9) << "the arc turns back";
      swept += step;
      previousAngle = angle;
    }
    EXPECT_NEAR(swept, span, 1e-6);
    ++checked;
  }
  EXPECT_GT(checked, 1500);
}

TEST(SvgArc, RadiiTooSmallAreScaledUpAndDegenerateArcsSimplify) {
  PathModel path = ParsePath("M0 0 A1 2 0 0 1 10 0");
  // The radii grow by 5: a half ellipse of 5 x 10 around (5, 0).
  for (const Point& p : Sample(path, 32)) {
    EXPECT_NEAR(std::hypot((p.x - 5) / 5, p.y / 10), 1.0, ArcRadialTolerance);
    EXPECT_LE(p.y, 1e-9);  // sweep flag 1 from (0,0) to (10,0) passes above, y < 0
  }
  EXPECT_EQ(path.subpaths[0].knots.size(), 3u);

  path = ParsePath("M0 0 A0 5 0 0 1 10 10");  // zero radius: straight line
  ASSERT_EQ(path.subpaths[0].knots.size(), 2u);
  EXPECT_EQ(path.subpaths[0].knots[0].outX, 0);
  EXPECT_EQ(path.subpaths[0].knots[1].inX, 10);

  path = ParsePath("M5 5 A3 3 0 1 1 5 5 L 6 6");  // same end points: no arc
  EXPECT_EQ(path.subpaths[0].knots.size(), 2u);

  path = ParsePath("M0 0 A-5 -5 0 0 0 10 0");  // negative radii count as positive
  for (const Point& p : Sample(path, 16)) {
    EXPECT_NEAR(std::hypot(p.x - 5, p.y), 5.0, 5 * ArcRadialTolerance);
    EXPECT_GE(p.y, -1e-9);
  }
}

TEST(SvgArc, ExtremeValuesGiveFiniteCurvesOrAChord) {
  for (const char* data : {"M0 0 A1e-300 1e-300 0 0 1 10 10", "M0 0 A1e300 1e300 0 0 1 10 10",
                           "M1e308 0 A1e308 1 0 0 1 -1e308 0", "M0 0 A1 1 1e300 1 1 1e-300 0",
                           "M0 0 A1e-320 5 0 0 1 3 4"}) {
    const PathModel path = ParsePath(data);
    ASSERT_EQ(path.subpaths.size(), 1u) << data;
    const PathKnot& end = path.subpaths[0].knots.back();
    for (const PathKnot& k : path.subpaths[0].knots)
      EXPECT_TRUE(std::isfinite(k.inX) && std::isfinite(k.inY) && std::isfinite(k.outX) && std::isfinite(k.outY)) << data;
    EXPECT_TRUE(std::isfinite(end.anchorX)) << data;
  }
}

TEST(SvgPathData, RelativeAndAbsoluteFormsDrawTheSameShape) {
  const PathModel absolute = ParsePath(
      "M 10 10 L 20 10 H 30 V 20 C 30 30 40 30 40 20 S 50 10 50 20 Q 60 30 70 20 T 90 20 "
      "A 10 5 30 0 1 110 20 Z M 200 200 L 210 210");
  const PathModel relative = ParsePath(
      "m 10 10 l 10 0 h 10 v 10 c 0 10 10 10 10 0 s 10 -10 10 0 q 10 10 20 0 t 20 0 "
      "a 10 5 30 0 1 20 0 z m 190 190 l 10 10");
  const PathModel compact = ParsePath("M10,10,20,10H30V20C30,30 40,30 40,20S50,10 50,20Q60,30 70,20T90,20A10 5 30 01110 20ZM200,200,210,210");
  ExpectSamePath(absolute, relative, 1e-9);
  ExpectSamePath(absolute, compact, 0);
  ASSERT_EQ(absolute.subpaths.size(), 2u);
  EXPECT_TRUE(absolute.subpaths[0].closed);
  EXPECT_FALSE(absolute.subpaths[1].closed);
}

TEST(SvgPathData, SmoothCommandsReflectThePreviousControlPoint) {
  ExpectSamePath(ParsePath("M0 0 C 10 0 20 10 30 10 S 50 20 60 20"),
                 ParsePath("M0 0 C 10 0 20 10 30 10 C 40 10 50 20 60 20"), 0);
  ExpectSamePath(ParsePath("M0 0 Q 10 10 20 0 T 40 0"), ParsePath("M0 0 Q 10 10 20 0 Q 30 -10 40 0"), 1e-12);
  // Without a preceding curve of the same family the control is the current point.
  ExpectSamePath(ParsePath("M0 0 L 10 0 S 20 10 30 10"), ParsePath("M0 0 L 10 0 C 10 0 20 10 30 10"), 0);
  ExpectSamePath(ParsePath("M0 0 C 0 5 5 5 10 0 T 20 0"), ParsePath("M0 0 C 0 5 5 5 10 0 Q 10 0 20 0"), 1e-12);
}

TEST(SvgPathData, NumberSyntax) {
  ExpectSamePath(ParsePath("M.5.5L-1-2e1 3E+1-0.25e-2"), ParsePath("M 0.5 0.5 L -1 -20 30 -0.0025"), 0);
  ExpectSamePath(ParsePath("  M\t1\n2\r\nl3,4  "), ParsePath("M1 2 L4 6"), 0);
}

TEST(SvgPathData, TransformAppliesToEveryPointIncludingArcs) {
  Affine t;
  std::string error;
  ASSERT_TRUE(ParseTransformList("translate(3 4) rotate(30) scale(2 1) skewX(10)", &t, &error)) << error;
  const std::string data = "M 10 10 C 20 0 30 20 40 10 Q 50 0 60 10 A 10 5 20 1 0 80 10 Z";
  const PathModel plain = ParsePath(data);
  PathModel mapped = plain;
  for (Subpath& s : mapped.subpaths) {
    for (PathKnot& k : s.knots) {
      t.Apply(k.anchorX, k.anchorY, &k.anchorX, &k.anchorY);
      t.Apply(k.inX, k.inY, &k.inX, &k.inY);
      t.Apply(k.outX, k.outY, &k.outX, &k.outY);
    }
  }
  ExpectSamePath(ParsePath(data, t), mapped, 1e-9);
}

TEST(SvgTransform, ListsComposeRightToLeft) {
  auto apply = [](const char* text, double x, double y) {
    Affine t;
    std::string error;
    EXPECT_TRUE(ParseTransformList(text, &t, &error)) << text << ": " << error;
    Point p;
    t.Apply(x, y, &p.x, &p.y);
    return p;
  };
  // The last transform acts first: scale, then rotate, then translate.
  const double angle = 30 * Pi / 180;
  const double sx = 2 * 5, sy = 3 * 7;
  const Point expected{std::cos(angle) * sx - std::sin(angle) * sy + 10,
                       std::sin(angle) * sx + std::cos(angle) * sy + 20};
  Point p = apply("translate(10,20) rotate(30) scale(2 3)", 5, 7);
  EXPECT_NEAR(p.x, expected.x, 1e-12);
  EXPECT_NEAR(p.y, expected.y, 1e-12);
  p = apply(" translate(10 20),rotate( 30 ) , scale(2,3) ", 5, 7);
  EXPECT_NEAR(p.x, expected.x, 1e-12);

  p = apply("rotate(90 10 10)", 20, 10);
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 20);
  p = apply("rotate(-270)", 1, 0);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 1);
  p = apply("skewX(45)", 0, 10);
  EXPECT_NEAR(p.x, 10, 1e-12);
  p = apply("skewY(45)", 10, 0);
  EXPECT_NEAR(p.y, 10, 1e-12);
  p = apply("matrix(1 2 3 4 5 6)", 1, 1);
  EXPECT_EQ(p.x, 9);
  EXPECT_EQ(p.y, 12);
  p = apply("scale(2)", 3, 4);
  EXPECT_EQ(p.x, 6);
  EXPECT_EQ(p.y, 8);
  p = apply("translate(5)", 1, 1);
  EXPECT_EQ(p.x, 6);
  EXPECT_EQ(p.y, 1);
  p = apply("", 1, 1);
  EXPECT_EQ(p.x, 1);
}

TEST(SvgTransform, MalformedListsAreRefused) {
  for (const char* text : {"translate(1 2 3)", "rotate(1 2)", "spin(1)", "scale(", "scale(1", "matrix(1 2 3 4 5)",
                           "translate 10", "scale(a)", "translate(1)x", "(1)", "matrix(1 2 3 4 5 6 7)",
                           "skewX(90) skewY()"}) {
    Affine t;
    t.e = 99;
    std::string error;
    EXPECT_FALSE(ParseTransformList(text, &t, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(t.e, 99) << text;
  }
}

TEST(SvgPathData, MalformedDataIsRefusedWithItsPosition) {
  for (const char* data : {"L 10 10", "M 10", "M 10 10 L", "M 10 10 X 5", "M 10 10 Z 5 5", "M 10 10 A 5 5 0 2 1 20 20",
                           "M 10,,10", "M 1e400 0", "10 10", "M 10 10 L 20 20 30", "M 0 0 a 1 1 0 0 1 5", "M--1 0",
                           "M 0 0 C 1 2 3 4 5", "M 0 0 e 1 1"}) {
    PathBuilder builder;
    std::string error;
    EXPECT_FALSE(ParseSvgPathData(data, Affine(), builder, &error)) << data;
    EXPECT_FALSE(error.empty()) << data;
  }
  PathBuilder builder;
  std::string error;
  EXPECT_FALSE(ParseSvgPathData("M 0 0 L 10 10 Q", Affine(), builder, &error));
  EXPECT_NE(error.find("'Q'"), std::string::npos) << error;
  EXPECT_NE(error.find("at the end"), std::string::npos) << error;
  EXPECT_TRUE(ParseSvgPathData("", Affine(), builder, &error));
  EXPECT_TRUE(ParseSvgPathData("   ", Affine(), builder, &error));
}
