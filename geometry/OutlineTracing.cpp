#include "geometry/OutlineTracing.h"

#include "core/WorkMemory.h"
#include "geometry/Contour.h"
#include "geometry/CrossingGroup.h"
#include "geometry/OffsetNode.h"

namespace {
enum Direction { Forwards, Backwards };

struct Tracer {
  int shift;
  uint32_t forwardBit;   // WalkForward << shift
  uint32_t backwardBit;  // WalkBackward << shift
  uint64_t stepsLeft;    // walk steps allowed for the whole set
  OffsetRingList** set;
};

// A way on from a group point: the member whose edge is walked, the
// direction, and the vertex at the other end.
struct Candidate {
  PathVertex* member;
  Direction direction;
  PathVertex* destination;
};

inline int64_t Cross(int64_t ax, int64_t ay, int64_t bx, int64_t by) { return ax * by - ay * bx; }

// Rank of the angle from the backward direction a to b, turning towards
// increasing atan2 (clockwise on the screen): 0 below a half turn, 1 exactly a
// half turn (straight on), 2 above it, 3 a full turn (straight back).
int HalfTurnClass(int64_t ax, int64_t ay, int64_t bx, int64_t by) {
  const int64_t c = Cross(ax, ay, bx, by);
  if (c > 0) return 0;
  if (c < 0) return 2;
  return ax * bx + ay * by < 0 ? 1 : 3;
}

// Whether b makes a smaller turn than c after arriving along -a. This is the
// exact form of comparing the signed turns beta - alpha -+ pi of atan2 angles,
// a way back to the point just left counting as the largest turn.
bool SmallerTurn(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t cx, int64_t cy) {
  const int hb = HalfTurnClass(ax, ay, bx, by);
  const int hc = HalfTurnClass(ax, ay, cx, cy);
  if (hb != hc) return hb < hc;
  if (hb == 1 || hb == 3) return false;
  return Cross(bx, by, cx, cy) > 0;
}

int AppendPoint(OffsetRingList* ring, const PathVertex* at, uint32_t flags) {
  return AppendVertex(ring, at->x, at->y, flags);
}

// Outline flags of a point walked through along the contour.
uint32_t PassFlags(const PathVertex* v, Direction d) {
  return d == Forwards ? (v->flags & (SmoothPoint | CurveEdge)) : ((v->flags & SmoothPoint) | (v->prev->flags & CurveEdge));
}

// Finds the way on at a group point with the smallest turn.
bool ChooseWayOn(const Tracer& t, const PathVertex* at, const PathVertex* cameFrom, Candidate* chosen) {
  const int64_t ax = int64_t(cameFrom->x) - at->x, ay = int64_t(cameFrom->y) - at->y;
  bool found = false;
  int64_t bestX = 0, bestY = 0;
  for (const GroupMember* entry = &at->group->first; entry != nullptr; entry = entry->next) {
    PathVertex* u = entry->vertex;
    for (int pass = 0; pass < 2; ++pass) {
      const Direction d = pass == 0 ? Forwards : Backwards;
      if ((u->flags & (d == Forwards ? t.forwardBit : t.backwardBit)) == 0) continue;
      PathVertex* to = d == Forwards ? u->next : u->prev;
      const int64_t bx = int64_t(to->x) - at->x, by = int64_t(to->y) - at->y;
      if (found && !SmallerTurn(ax, ay, bx, by, bestX, bestY)) continue;
      *chosen = Candidate{u, d, to};
      bestX = bx;
      bestY = by;
      found = true;
    }
  }
  return found;
}

// Walks one ring from the group member `start`; returns 0 with the result
// cell set on failure.
int WalkRing(Tracer& t, PathVertex* start, Direction startDirection) {
  auto* ring = static_cast<OffsetRingList*>(NewBlock(sizeof(OffsetRingList)));
  if (ring == nullptr) return 0;
  ring->first = nullptr;
  ring->next = *t.set;
  *t.set = ring;
  if (!AppendPoint(ring, start, PassFlags(start, startDirection))) return 0;
  const PathVertex* cameFrom = start;
  PathVertex* at = startDirection == Forwards ? start->next : start->prev;
  Direction direction = startDirection;
  for (;;) {
    if (t.stepsLeft == 0) {
      SetResult(PathInvalidCode);
      return 0;
    }
    --t.stepsLeft;
    if (at->group == nullptr) {
      if ((at->flags & (direction == Forwards ? t.forwardBit : t.backwardBit)) == 0) {
        SetResult(PathInvalidCode);
        return 0;
      }
      if (!AppendPoint(ring, at, PassFlags(at, direction))) return 0;
      cameFrom = at;
      at = direction == Forwards ? at->next : at->prev;
      continue;
    }
    Candidate way;
    if (!ChooseWayOn(t, at, cameFrom, &way)) {
      SetResult(PathInvalidCode);
      return 0;
    }
    const bool goesStraightOn = way.member == at && way.direction == direction;
    if (way.member == start && way.direction == startDirection) {
      if (!goesStraightOn) ring->first->flags &= ~SmoothPoint;
      return 1;
    }
    way.member->flags &= ~(way.direction == Forwards ? t.forwardBit : t.backwardBit);
    uint32_t flags = way.direction == Forwards ? (way.member->flags & CurveEdge) : (way.member->prev->flags & CurveEdge);
    if (goesStraightOn) flags |= at->flags & SmoothPoint;
    if (!AppendPoint(ring, at, flags)) return 0;
    cameFrom = at;
    at = way.destination;
    direction = way.direction;
  }
}

// Finds the next start among the group members from the cursor on: in a
// first sweep edges without a coincident twin, in a second sweep those with.
bool NextStart(const Tracer& t, CrossingGroupList* groups, int* sweep, CrossingGroup** group, const GroupMember** entry,
               Direction* direction) {
  const uint32_t startedForward = StartedForward << t.shift;
  const uint32_t startedBackward = StartedBackward << t.shift;
  while (*sweep < 2) {
    const bool twins = *sweep == 1;
    while (*group != nullptr) {
      if (*entry == nullptr) *entry = &(*group)->first;
      for (; *entry != nullptr; *entry = (*entry)->next) {
        PathVertex* r = (*entry)->vertex;
        if (((r->flags & TwinEdge) != 0) == twins && (r->flags & t.forwardBit) != 0 && (r->flags & startedForward) == 0) {
          *direction = Forwards;
          return true;
        }
        if (((r->prev->flags & TwinEdge) != 0) == twins && (r->flags & t.backwardBit) != 0 &&
            (r->flags & startedBackward) == 0) {
          *direction = Backwards;
          return true;
        }
      }
      *group = (*group)->next;
    }
    ++*sweep;
    *group = groups->first;
    *entry = nullptr;
  }
  return false;
}

int TraceRings(Tracer& t, Contour* list, CrossingGroupList* groups) {
  int sweep = 0;
  CrossingGroup* group = groups != nullptr ? groups->first : nullptr;
  const GroupMember* entry = nullptr;
  Direction direction = Forwards;
  while (groups != nullptr && NextStart(t, groups, &sweep, &group, &entry, &direction)) {
    PathVertex* start = entry->vertex;
    start->flags |= (direction == Forwards ? StartedForward : StartedBackward) << t.shift;
    if (!WalkRing(t, start, direction)) return 0;
  }
  for (Contour* c = list; c != nullptr; c = c->next) {
    if (c->crossed != 0) continue;
    auto* ring = static_cast<OffsetRingList*>(NewBlock(sizeof(OffsetRingList)));
    if (ring == nullptr) return 0;
    ring->first = nullptr;
    ring->next = *t.set;
    *t.set = ring;
    if (!CopyOutline(ring, c, t.shift)) return 0;
    if (ring->first == nullptr) {
      *t.set = ring->next;
      FreeBlockOf(ring);
    }
  }
  return 1;
}
}  // namespace

int TraceOutlines(Contour* list, CrossingGroupList* groups, int shift, OffsetRingList** set) {
  *set = nullptr;
  uint64_t vertices = 0;
  for (Contour* c = list; c != nullptr; c = c->next) vertices += VertexCount(c);
  Tracer t{shift, WalkForward << shift, WalkBackward << shift, 2 * vertices + 16, set};
  if (TraceRings(t, list, groups)) return 1;
  FreeOutlineSet(set);
  if (!RunFailed()) SetResult(PathInvalidCode);
  return 0;
}
