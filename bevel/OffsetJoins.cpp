// Corner joins of the offsetter.
//
// Each corner is seen from the vertex N whose edge ends at it and the vertex
// M that stands there. The offset line of a node is the line through its
// offset start with the node's normal; moving an offset start along its own
// offset line never changes that line, which keeps the corners independent.
#include "bevel/OffsetJoins.h"

#include <cmath>

#include "core/NodePool.h"

namespace {

struct Point {
  double x, y;
};

// The points p with nx * p.x + ny * p.y = c.
struct OffsetLine {
  double nx, ny, c;
};

struct JoinSettings {
  JoinCode join;
  double size;   // band width, pixels
  double limit;  // farthest miter point from the corner, pixels (Miter only)
};

OffsetLine LineOf(const OffsetNode* node) {
  return OffsetLine{node->nx, node->ny, node->nx * node->ox + node->ny * node->oy};
}

OffsetLine LineThrough(Point point, Point normal) {
  return OffsetLine{normal.x, normal.y, normal.x * point.x + normal.y * point.y};
}

// The point common to both lines; false for parallel lines (no finite point).
bool Intersect(const OffsetLine& a, const OffsetLine& b, Point* point) {
  const double det = a.nx * b.ny - a.ny * b.nx;
  if (det == 0.0) return false;
  const double x = (a.c * b.ny - b.c * a.ny) / det;
  const double y = (a.nx * b.c - b.nx * a.c) / det;
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  *point = Point{x, y};
  return true;
}

// The unit vector of (dx, dy); false for the zero vector.
bool Normalize(double dx, double dy, Point* unit) {
  const double length = std::sqrt(dx * dx + dy * dy);
  if (!(length > 0.0) || !std::isfinite(length)) return false;
  *unit = Point{dx / length, dy / length};
  return true;
}

Point Along(const OffsetNode* vertex, double distance, Point direction) {
  return Point{vertex->x + distance * direction.x, vertex->y + distance * direction.y};
}

Point NormalOf(const OffsetNode* node) { return Point{node->nx, node->ny}; }

void SetStart(OffsetNode* node, Point start) {
  node->ox = start.x;
  node->oy = start.y;
}

// Links a new node from the current pool right after `after`. Every field is
// written, since pool records are not cleared. Null (MemFullErr set) when the
// pool cannot grow.
OffsetNode* InsertAfter(OffsetNode* after, const OffsetNode* vertex, Point start, Point normal, uint32_t flags) {
  OffsetNode* node = TakeRecordOf<OffsetNode>(CurrentPool());
  if (node == nullptr) return nullptr;
  node->x = vertex->x;
  node->y = vertex->y;
  node->ox = start.x;
  node->oy = start.y;
  node->nx = normal.x;
  node->ny = normal.y;
  node->flags = flags;
  node->distanceStep = 0;
  node->direction = 0;
  node->directionStep = 0;
  node->index = 0;
  node->fx = 0;
  node->fy = 0;
  node->spare = 0;
  OffsetNode* before = after->next;
  node->prev = after;
  node->next = before;
  after->next = node;
  before->prev = node;
  return node;
}

// Gives `node` the normal (dy, -dx) of the chord from its offset start to its
// successor's; an empty chord keeps the normal it has.
void SetChordNormal(OffsetNode* node) {
  Point normal;
  if (Normalize(node->next->oy - node->oy, -(node->next->ox - node->ox), &normal)) {
    node->nx = normal.x;
    node->ny = normal.y;
  }
}

// Inner corner: the offset edges overlap and meet at the intersection of
// their lines. A corner next to a curve chord keeps the chord's exact offset
// end points instead and leaves the overlap to the band builder.
void JoinInnerCorner(OffsetNode* n, OffsetNode* m) {
  if ((m->flags & SmoothPoint) != 0 || ((n->flags | m->flags) & CurveEdge) == 0) {
    Point meet;
    if (Intersect(LineOf(n), LineOf(m), &meet)) SetStart(m, meet);
    return;
  }
  m->flags |= StartReset;
  n->flags |= EndTrimCheck | EndPerpendicular;
}

int JoinRound(OffsetNode* n, OffsetNode* m, double size) {
  OffsetNode* arcStart = InsertAfter(n, m, Along(m, size, NormalOf(n)), NormalOf(n), ArcNodeFlags);
  if (arcStart == nullptr) return 0;
  // Set only once the arc exists, so that undoing a partly joined ring (which
  // clears SmoothPoint after arc nodes) always finds what was added here.
  m->flags |= SmoothPoint;
  OffsetNode* u = arcStart;
  while (u != m) {
    const OffsetNode* v = u->next;
    const double dx = v->ox - u->ox;
    const double dy = v->oy - u->oy;
    Point direction;
    if (dx * dx + dy * dy > ArcChordLimitSquared && Normalize(dy, -dx, &direction)) {
      if (InsertAfter(u, m, Along(m, size, direction), direction, ArcNodeFlags) == nullptr) return 0;
      continue;  // the first half of the chord is tried again
    }
    u = u->next;
  }
  for (OffsetNode* node = n->next; node != m; node = node->next) SetChordNormal(node);
  return 1;
}

// One chamfer from the exact end of N's offset edge to M's offset start.
int JoinBevel(OffsetNode* n, OffsetNode* m, double size) {
  const Point end = Along(m, size, NormalOf(n));
  Point normal;
  if (!Normalize(m->oy - end.y, -(m->ox - end.x), &normal)) normal = NormalOf(n);
  return InsertAfter(n, m, end, normal, JoinNodeFlags) != nullptr ? 1 : 0;
}

bool IsTurnBack(const OffsetNode* n, const OffsetNode* m) { return m->next->x == n->x && m->next->y == n->y; }

// Miter with its limit, and the square cap of a turn-back (Bevel and Miter).
int JoinClipped(OffsetNode* n, OffsetNode* m, const JoinSettings& settings, bool turnBack) {
  const double size = settings.size;
  Point tip;
  Point u = Point{0.0, 0.0};
  Point miter;
  bool haveMiter = false;
  if (!turnBack) {
    haveMiter = Intersect(LineOf(n), LineOf(m), &miter);
    if (!haveMiter && n->nx * m->nx + n->ny * m->ny > 0.0) {
      // Parallel offset lines facing the same way: the miter point is the
      // perpendicular offset itself.
      miter = Along(m, size, NormalOf(m));
      haveMiter = true;
    }
  }
  if (haveMiter) {
    const double dx = miter.x - m->x;
    const double dy = miter.y - m->y;
    if (dx * dx + dy * dy <= settings.limit * settings.limit) {
      if ((m->flags & CurveEdge) == 0) {
        SetStart(m, miter);
      } else {
        if (InsertAfter(n, m, miter, NormalOf(m), MiterNodeFlags) == nullptr) return 0;
        m->flags |= SmoothPoint;
      }
      if ((n->flags & CurveEdge) != 0) {
        const OffsetNode* successor = n->next;
        if (InsertAfter(n, successor, Along(successor, size, NormalOf(n)), NormalOf(n), CurveEndNodeFlags) == nullptr)
          return 0;
      }
      return 1;
    }
    Normalize(dx, dy, &u);
    tip = Along(m, settings.limit, u);
  } else {
    Normalize(m->x - n->x, m->y - n->y, &u);
    tip = Along(m, size, u);
  }

  const OffsetLine clip = LineThrough(tip, u);
  Point onM = tip;
  Intersect(clip, LineOf(m), &onM);
  Point onN = tip;
  Intersect(clip, LineOf(n), &onN);
  if ((m->flags & CurveEdge) == 0) {
    SetStart(m, onM);
  } else {
    if (InsertAfter(n, m, onM, NormalOf(m), MiterNodeFlags) == nullptr) return 0;
    m->flags |= SmoothPoint;
  }
  if (InsertAfter(n, m, onN, u, JoinNodeFlags) == nullptr) return 0;
  if ((n->flags & CurveEdge) == 0) return 1;
  return InsertAfter(n, m, Along(m, size, NormalOf(n)), NormalOf(n), CurveEndNodeFlags) != nullptr ? 1 : 0;
}

int JoinCorner(OffsetNode* n, OffsetNode* m, const JoinSettings& settings) {
  if ((n->flags & OuterCornerAhead) == 0) {
    JoinInnerCorner(n, m);
    return 1;
  }
  if ((m->flags & SmoothPoint) != 0) {
    Point meet;
    if (Intersect(LineOf(n), LineOf(m), &meet)) SetStart(m, meet);
    return 1;
  }
  switch (settings.join) {
    case BevelJoinCode:
      if (!IsTurnBack(n, m)) return JoinBevel(n, m, settings.size);
      return JoinClipped(n, m, settings, true);
    case MiterJoinCode:
      return JoinClipped(n, m, settings, IsTurnBack(n, m));
    case RoundJoinCode:
    default:
      return JoinRound(n, m, settings.size);
  }
}

}  // namespace

int JoinCorners(OffsetRingList* list, JoinCode join, double size, double limit) {
  const JoinSettings settings{join, size, limit};
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next) {
    OffsetNode* first = ring->first;
    if (first == nullptr) continue;
    OffsetNode* n = first;
    do {
      // Join nodes go between n and m, so the walk steps over them to m.
      OffsetNode* m = n->next;
      if ((n->flags & (InsertedNodeMask | StraightAhead)) == 0 && !JoinCorner(n, m, settings)) return 0;
      n = m;
    } while (n != first);
  }
  return 1;
}
