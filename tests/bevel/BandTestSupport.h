// Test support for band edges, the band sweep and the element buffers:
// outlines given in pixels, hand-made band offsets, brute-force geometry used
// as the oracle, and element buffers read back into a sub-sample grid.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "bevel/CornerClassification.h"
#include "bevel/ElementBuffer.h"
#include "bevel/NodeNumbering.h"
#include "bevel/OffsetOutlines.h"
#include "bevel/OffsetUndo.h"
#include "bevel/PixelConversion.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/BandEdge.h"
#include "geometry/OffsetNode.h"
#include "tests/support/TestRings.h"

namespace band_test {

// A 512 x 512 document: a pixel is 32768 path units, so pixel positions with
// 15 fraction bits convert exactly.
constexpr uint16_t DocumentSize = 512;
constexpr double UnitsPerPixel = 16777216.0 / DocumentSize;

struct Pt {
  double x, y;
  uint32_t flags = 0;  // SmoothPoint / CurveEdge
};
using Polygon = std::vector<Pt>;

// Outlines whose headers are work-memory blocks and whose nodes come from the
// outline pool, as the tracer makes them.
struct Outline {
  OffsetRingList* list = nullptr;

  bool AddRing(const Polygon& points) {
    OffsetRingList* ring = test_rings::AppendRing(&list);
    if (ring == nullptr) return false;
    for (const Pt& p : points) {
      OffsetNode* node = test_rings::AppendNode(ring, int32_t(std::llround(p.x * UnitsPerPixel)),
                                                int32_t(std::llround(p.y * UnitsPerPixel)), p.flags & (SmoothPoint | CurveEdge));
      if (node == nullptr) return false;
      node->x = p.x;
      node->y = p.y;
    }
    return true;
  }
  // Corner classification and conversion to pixels, as a run does once.
  void Prepare() {
    ClassifyCorners(list);
    ToPixels(list, DocumentSize, DocumentSize);
  }
  void Free() { test_rings::FreeRings(&list); }
};

using test_rings::RingNodes;

// Rectangle clockwise on the screen (y down): normals point out of it.
inline Polygon Rect(double left, double top, double right, double bottom) {
  return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}
inline Polygon Reversed(Polygon p) { return Polygon(p.rbegin(), p.rend()); }
// Regular polygon, clockwise on the screen.
inline Polygon Regular(double cx, double cy, double radius, int count, double phase = 0.3, uint32_t flags = 0) {
  Polygon p;
  for (int i = 0; i < count; ++i) {
    double a = phase + 2.0 * std::numbers::pi * i / count;
    p.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a), flags});
  }
  return p;
}

// Hand-made band offsets for rings whose x, y and normals are set: at an inner
// corner or a smooth point the next start moves to the crossing of the two
// offset lines, at an outer corner a bevel node closes the gap. No collapse handling: the shapes
// used with it keep every offset edge the right way round.
inline bool HandOffset(OffsetRingList* list, double size) {
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next) {
    std::vector<OffsetNode*> nodes = RingNodes(ring);
    for (OffsetNode* n : nodes) {
      n->ox = n->x + size * n->nx;
      n->oy = n->y + size * n->ny;
    }
    for (OffsetNode* n : nodes) {
      OffsetNode* m = n->next;
      OffsetNode* after = m->next;
      double r = (after->x - n->x) * (m->y - n->y) - (after->y - n->y) * (m->x - n->x);
      if (std::fabs(r) < 1e-12) continue;
      if (r > 0 || (m->flags & SmoothPoint) != 0) {
        // Inner corner or smooth point: both offset lines meet.
        double c1 = n->nx * n->ox + n->ny * n->oy;
        double c2 = m->nx * m->ox + m->ny * m->oy;
        double det = n->nx * m->ny - n->ny * m->nx;
        m->ox = (c1 * m->ny - c2 * n->ny) / det;
        m->oy = (n->nx * c2 - m->nx * c1) / det;
      } else {
        auto* join = TakeRecordOf<OffsetNode>(&gOutlinePool);
        if (join == nullptr) return false;
        *join = OffsetNode{};
        join->x = m->x;
        join->y = m->y;
        join->ox = m->x + size * n->nx;
        join->oy = m->y + size * n->ny;
        double dx = m->ox - join->ox, dy = m->oy - join->oy, length = std::hypot(dx, dy);
        join->nx = dy / length;
        join->ny = -dx / length;
        join->flags = JoinNodeFlags;
        join->prev = n;
        join->next = m;
        n->next = join;
        m->prev = join;
      }
    }
  }
  return true;
}

// Sets pixel positions and unit normals straight from the ring points (no
// path units), for the hand-made bands.
inline void SetNormals(OffsetRingList* list) {
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next)
    for (OffsetNode* n : RingNodes(ring)) {
      double dx = n->next->x - n->x, dy = n->next->y - n->y, length = std::hypot(dx, dy);
      n->nx = dy / length;
      n->ny = -dx / length;
    }
}

// ---- Brute-force geometry -----------------------------------------------------

inline bool InsidePolygon(const std::vector<Pt>& poly, double x, double y) {
  bool inside = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const Pt& a = poly[i];
    const Pt& b = poly[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

inline double SegmentDistance(const Pt& a, const Pt& b, double x, double y) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(a.x + t * dx - x, a.y + t * dy - y);
}

// One band quadrilateral as the oracle sees it.
struct Quad {
  const OffsetNode* node;
  std::vector<Pt> corners;  // outline point, next outline point, offset end, offset start
  double a, b, c;           // band coordinate (0..255) = a x + b y + c
  bool flat;                // no area: contains nothing
};

inline std::vector<Quad> QuadsOf(const OffsetRingList* list, double size) {
  std::vector<Quad> quads;
  for (const OffsetRingList* ring = list; ring != nullptr; ring = ring->next)
    for (OffsetNode* p : RingNodes(ring)) {
      PixelPoint end = OffsetEdgeEnd(p, size);
      Quad q{p, {{p->x, p->y}, {p->next->x, p->next->y}, {end.x, end.y}, {p->ox, p->oy}}, 0, 0, 0, false};
      // Plane through (start, 0), (end, 0), (point, 255).
      double x1 = p->ox, y1 = p->oy, x2 = end.x, y2 = end.y, x3 = p->x, y3 = p->y;
      double det = (x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1);
      if (std::fabs(det) < 1e-9) {
        q.flat = true;
      } else {
        // value = 255 * barycentric weight of (x3, y3)
        q.a = 255.0 * -(y2 - y1) / det;
        q.b = 255.0 * (x2 - x1) / det;
        q.c = -(q.a * x1 + q.b * y1);
      }
      quads.push_back(q);
    }
  return quads;
}

inline std::vector<std::vector<Pt>> OutlinePolygons(const OffsetRingList* list) {
  std::vector<std::vector<Pt>> rings;
  for (; list != nullptr; list = list->next) {
    rings.emplace_back();
    for (OffsetNode* n : RingNodes(list))
      if (!IsInsertedNode(n)) rings.back().push_back({n->x, n->y});
  }
  return rings;
}

inline bool InsideEvenOdd(const std::vector<std::vector<Pt>>& rings, double x, double y) {
  bool inside = false;
  for (const auto& ring : rings)
    if (InsidePolygon(ring, x, y)) inside = !inside;
  return inside;
}

// Distance from a point to the nearest quad side or outline edge.
inline double NearestEdge(const std::vector<Quad>& quads, double x, double y) {
  double best = 1e30;
  for (const Quad& q : quads)
    for (size_t i = 0; i < q.corners.size(); ++i)
      best = std::min(best, SegmentDistance(q.corners[i], q.corners[(i + 1) % q.corners.size()], x, y));
  return best;
}

inline double SampleX(int32_t column) { return (column + 0.5) / SampleColumns; }
inline double SampleY(int32_t row) { return (row + 0.5) / SampleRows; }

// ---- Element buffers read back ------------------------------------------------

// Coverage of every pixel of a buffer, placed in a document-sized grid
// (document pixels; the buffer's origin must be in document pixels).
struct CoverageGrid {
  int32_t width, height;
  std::vector<int32_t> counts;
  CoverageGrid(int32_t w, int32_t h) : width(w), height(h), counts(size_t(w) * h, 0) {}
  int32_t& At(int32_t x, int32_t y) { return counts[size_t(y) * width + x]; }
  // Adds the buffer's coverage; false when a pixel falls outside the grid or
  // the spans break their invariants.
  bool Add(const ElementBuffer* buffer) {
    if (buffer == nullptr || buffer->height == 0) return true;
    for (int32_t row = 0; row < buffer->height; ++row) {
      int32_t previousEnd = -1;
      for (const Span* span = buffer->rows[row]; span != nullptr; span = span->next) {
        if (span->xStart >= span->xEnd || span->xEnd > buffer->width) return false;
        if (int32_t(span->xStart) <= previousEnd) return false;  // overlapping or touching spans
        if (reinterpret_cast<const uint8_t*>(span->material) !=
            reinterpret_cast<const uint8_t*>(span->block) + 4 * (span->xEnd - span->xStart))
          return false;
        previousEnd = span->xEnd;
        for (int32_t x = span->xStart; x < span->xEnd; ++x) {
          int32_t c = span->material[x - span->xStart].coverage;
          if (c == 0 || c > PixelSamples) return false;
          int32_t gx = buffer->x0 + x, gy = buffer->y0 + row;
          if (gx < 0 || gy < 0 || gx >= width || gy >= height) return false;
          At(gx, gy) += c;
        }
      }
    }
    return true;
  }
  int64_t Total() const {
    int64_t total = 0;
    for (int32_t c : counts) total += c;
    return total;
  }
};

// Every covered pixel of a buffer as (column, row, coverage), in the
// buffer's frame plus its origin.
inline std::vector<int32_t> Signature(const ElementBuffer* buffer) {
  std::vector<int32_t> pixels;
  if (buffer == nullptr) return pixels;
  for (int32_t row = 0; row < buffer->height; ++row)
    for (const Span* span = buffer->rows[row]; span != nullptr; span = span->next)
      for (int32_t x = span->xStart; x < span->xEnd; ++x)
        pixels.insert(pixels.end(), {buffer->x0 + x, buffer->y0 + row, span->material[x - span->xStart].coverage});
  return pixels;
}

inline double ShoelaceArea(const std::vector<Pt>& p) {
  double twice = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const Pt& a = p[i];
    const Pt& b = p[(i + 1) % p.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return twice / 2;
}

// Counts the sub-samples a shading sweep hands over, per pixel of the frame.
struct ShadingCounter {
  static constexpr bool WantsWinner = true;
  static constexpr bool WantsGaps = true;
  int32_t width;
  std::vector<int32_t> band, gaps;
  int32_t nullWinners = 0;
  ShadingCounter(int32_t w, int32_t h) : width(w), band(size_t(w) * h), gaps(size_t(w) * h) {}
  void Store(int32_t row, int32_t column, const OffsetNode* winner, int32_t, float, float) {
    nullWinners += winner == nullptr;
    ++band[size_t(row >> SampleRowShift) * width + (column >> SampleColumnShift)];
  }
  void Gap(int32_t row, int32_t begin, int32_t end) {
    for (int32_t c = begin; c < end; ++c) ++gaps[size_t(row >> SampleRowShift) * width + (c >> SampleColumnShift)];
  }
  int RowEnd(int32_t) { return 1; }
};

}  // namespace band_test
