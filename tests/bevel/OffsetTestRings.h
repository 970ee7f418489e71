// Test rings for the offsetter: outlines given in pixels, built straight from
// the outline pool (independent of the tracer), and the measures the tests
// use as oracles.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "bevel/CornerClassification.h"
#include "bevel/NodeNumbering.h"
#include "bevel/OffsetOutlines.h"
#include "bevel/OffsetUndo.h"
#include "bevel/PixelConversion.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/TestRings.h"

namespace offset_test {

// A 256 x 256 document: one pixel is 65536 path units, so pixel positions
// with 16 fraction bits convert exactly.
constexpr uint16_t DocumentSize = 256;
constexpr double UnitsPerPixel = 16777216.0 / DocumentSize;

struct RingPoint {
  double x, y;         // pixels
  uint32_t flags = 0;  // SmoothPoint / CurveEdge
};

// The list owns its ring headers (work memory); nodes live in gOutlinePool.
struct TestOutline {
  OffsetRingList* list = nullptr;

  // Appends a ring (at the end of the chain); false on allocation failure.
  bool AddRing(const std::vector<RingPoint>& points) {
    OffsetRingList* ring = test_rings::AppendRing(&list);
    if (ring == nullptr) return false;
    for (const RingPoint& p : points)
      if (test_rings::AppendNode(ring, int32_t(std::llround(p.x * UnitsPerPixel)), int32_t(std::llround(p.y * UnitsPerPixel)),
                                 p.flags & (SmoothPoint | CurveEdge)) == nullptr)
        return false;
    return true;
  }

  void Prepare() {
    ClassifyCorners(list);
    ToPixels(list, DocumentSize, DocumentSize);
  }

  void Free() { test_rings::FreeRings(&list); }
};

// A test whose outline and offset nodes are released after every case: the
// outline's headers, the outline and outer offset pools; nothing may be left.
struct OutlineFixture : ::testing::Test {
  ScopedCountingMemory memory;
  TestOutline outline;
  void TearDown() override {
    outline.Free();
    EmptyPool(&gOutlinePool);
    EmptyPool(&gOuterOffsetPool);
    SelectPool(&gOutlinePool);
    EXPECT_EQ(memory.memory.liveBlocks, 0);
  }
};

using test_rings::RingNodes;

// Signed shoelace area of a closed polygon.
inline double PolygonArea(const std::vector<double>& xs, const std::vector<double>& ys) {
  double twice = 0.0;
  for (size_t i = 0; i < xs.size(); ++i) {
    const size_t j = (i + 1) % xs.size();
    twice += xs[i] * ys[j] - xs[j] * ys[i];
  }
  return twice / 2.0;
}

inline double OutlineArea(const OffsetRingList* ring) {
  std::vector<double> xs, ys;
  for (const OffsetNode* n : RingNodes(ring)) {
    if (IsInsertedNode(n)) continue;
    xs.push_back(n->x);
    ys.push_back(n->y);
  }
  return std::fabs(PolygonArea(xs, ys));
}

// Area enclosed by the offset starts in ring order: the outer boundary of
// the band when no offset edge collapses.
inline double OffsetArea(const OffsetRingList* ring) {
  std::vector<double> xs, ys;
  for (const OffsetNode* n : RingNodes(ring)) {
    xs.push_back(n->ox);
    ys.push_back(n->oy);
  }
  return std::fabs(PolygonArea(xs, ys));
}

inline double Perimeter(const OffsetRingList* ring) {
  double length = 0.0;
  for (const OffsetNode* n : RingNodes(ring))
    if (!IsInsertedNode(n)) {
      const OffsetNode* next = n->next;
      while (IsInsertedNode(next)) next = next->next;
      length += std::hypot(next->x - n->x, next->y - n->y);
    }
  return length;
}

// The end of a node's offset edge as the band builder takes it.
struct BandEnd {
  double x, y;
};
inline BandEnd BandEndOf(const OffsetNode* p, double size) {
  const OffsetNode* n = p->next;
  BandEnd e{n->ox, n->oy};
  const bool beyond = p->nx * (e.y - n->y) - p->ny * (e.x - n->x) < 0.0;
  if ((p->flags & (Collapsed | EndPerpendicular)) != 0 ||
      (((n->flags & Collapsed) != 0 || (p->flags & EndTrimCheck) != 0) && beyond))
    e = BandEnd{n->x + size * p->nx, n->y + size * p->ny};
  return e;
}

// Distance of a point from a node's vertex along the node's normal.
inline double NormalDistance(const OffsetNode* node, double px, double py, const OffsetNode* base) {
  return node->nx * (px - base->x) + node->ny * (py - base->y);
}

// Value copy of a node for node-by-node comparisons.
struct NodeValues {
  double x, y, ox, oy, nx, ny;
  uint32_t flags;
  int16_t index;
  bool operator==(const NodeValues&) const = default;
};

inline std::vector<std::vector<NodeValues>> Snapshot(const OffsetRingList* list) {
  std::vector<std::vector<NodeValues>> rings;
  for (; list != nullptr; list = list->next) {
    rings.emplace_back();
    for (const OffsetNode* n : RingNodes(list))
      rings.back().push_back(NodeValues{n->x, n->y, n->ox, n->oy, n->nx, n->ny, n->flags, n->index});
  }
  return rings;
}

inline std::vector<RingPoint> Rectangle(double left, double top, double right, double bottom) {
  // Clockwise on the screen (y down): the normals point out of the rectangle.
  return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

// A circle flattened into `count` chords, as a curve: every point smooth and
// every edge a curve chord. Clockwise on the screen.
inline std::vector<RingPoint> FlatCircle(double cx, double cy, double radius, int count) {
  std::vector<RingPoint> points;
  for (int i = 0; i < count; ++i) {
    const double a = 2.0 * std::numbers::pi * i / count;
    points.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a), SmoothPoint | CurveEdge});
  }
  return points;
}

inline std::vector<RingPoint> Reversed(std::vector<RingPoint> points) {
  return std::vector<RingPoint>(points.rbegin(), points.rend());
}

}  // namespace offset_test
