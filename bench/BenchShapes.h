// The outline shapes the render benches share: a square, a circle of curve
// points and a ten-pointed star inside (74, 74) .. (1974, 1974) of a 2048 x
// 2048 document, so that an Outer Bevel of 50 gives a 2000 x 2000 effect;
// and the process CPU clock they are timed with.
#pragma once
#include <time.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "geometry/PointFlags.h"
#include "tests/support/TestRings.h"

constexpr uint16_t DocumentSize = 2048;

struct Vertex {
  double x, y;
  uint32_t flags;
};

struct Shape {
  const char* name;
  std::vector<Vertex> points;  // clockwise on screen
};

inline OffsetRingList* MakeRing(const std::vector<Vertex>& points) {
  OffsetRingList* ring = nullptr;
  test_rings::AppendRing(&ring);
  const double unitsPerPixel = 16777216.0 / DocumentSize;
  for (const Vertex& p : points)
    test_rings::AppendNode(ring, int32_t(std::llround(p.x * unitsPerPixel)), int32_t(std::llround(p.y * unitsPerPixel)),
                           p.flags);
  return ring;
}

// The inner outline of a shape: its points in reverse order. A reversed curve
// keeps CurveEdge on the edge walked from each point.
inline OffsetRingList* MakeInnerRing(const Shape& shape) {
  std::vector<Vertex> reversed(shape.points.rbegin(), shape.points.rend());
  for (Vertex& v : reversed) v.flags = shape.points[0].flags != 0 ? SmoothPoint | CurveEdge : 0;
  return MakeRing(reversed);
}

inline std::vector<Shape> Shapes() {
  std::vector<Shape> shapes;
  shapes.push_back({"square", {{74, 74, 0}, {1974, 74, 0}, {1974, 1974, 0}, {74, 1974, 0}}});
  Shape circle{"circle (720 curve points)", {}};
  for (int i = 0; i < 720; ++i) {
    const double a = 2 * std::numbers::pi * i / 720;
    circle.points.push_back({1024 + 950 * std::cos(a), 1024 + 950 * std::sin(a), SmoothPoint | CurveEdge});
  }
  shapes.push_back(circle);
  Shape star{"star (10 points)", {}};
  for (int i = 0; i < 20; ++i) {
    const double a = 2 * std::numbers::pi * i / 20 - std::numbers::pi / 2, r = i % 2 == 0 ? 950 : 450;
    star.points.push_back({1024 + r * std::cos(a), 1024 + r * std::sin(a), 0});
  }
  shapes.push_back(star);
  return shapes;
}

// Wall-clock milliseconds: what work spread over threads is measured in.
inline double WallMilliseconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// Process CPU time in milliseconds: the machine is shared, so wall time
// would mostly measure the other processes.
inline double CpuMilliseconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}
