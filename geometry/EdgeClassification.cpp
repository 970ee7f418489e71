#include "geometry/EdgeClassification.h"

#include "geometry/Contour.h"
#include "geometry/CrossingGroup.h"
#include "geometry/EdgeIndex.h"

namespace {
// Walk bits of both sets, as the classification clears them.
constexpr uint32_t ForwardOuter = WalkForwardPair << OuterBitSet;    // 0x003
constexpr uint32_t BackwardOuter = WalkBackwardPair << OuterBitSet;  // 0x00C
constexpr uint32_t ForwardInner = WalkForwardPair << InnerBitSet;    // 0x0C0
constexpr uint32_t BackwardInner = WalkBackwardPair << InnerBitSet;  // 0x300

inline int Sign(int64_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// Whether the boundary turns back at q, the end of the edge p -> q that ends on
// the ray line: vertices after q on the same line (same coordinate along the
// ray's cross axis) are skipped and the next edge's direction is compared.
bool TurnsBack(const PathVertex* p, const PathVertex* q, bool vertical) {
  const int64_t along = vertical ? q->x : q->y;
  const int direction = Sign(along - (vertical ? p->x : p->y));
  const PathVertex* r = q;
  while ((vertical ? r->next->x : r->next->y) == along) r = r->next;
  const int next = Sign(int64_t(vertical ? r->next->x : r->next->y) - along);
  return next != direction;
}

// Parity of the edges crossed by the ray from the midpoint of v -> v.next:
// towards smaller x for a non-horizontal edge, towards smaller y for a
// horizontal one. All in doubled path units.
uint32_t RayCount(EdgeIndex& index, const PathVertex* v) {
  const PathVertex* w = v->next;
  const bool vertical = v->y == w->y;  // a horizontal edge casts a vertical ray
  const int64_t mx = int64_t(v->x) + w->x;
  const int64_t my = int64_t(v->y) + w->y;
  // The ray runs along the cross axis value `level`, towards smaller `reach`.
  const int64_t level = vertical ? mx : my;
  const int64_t reach = vertical ? my : mx;
  uint32_t count = 0;
  const int64_t low = level >> 1;
  const int64_t far = INT32_MIN;
  auto visit = [&](uint32_t e) {
    const PathVertex* p = index.edges[e].start;
    if (p == v || p->link.partner == v) return;
    const PathVertex* q = p->next;
    const int64_t pl = 2 * int64_t(vertical ? p->x : p->y);
    const int64_t ql = 2 * int64_t(vertical ? q->x : q->y);
    if (pl == ql) return;
    if (level < (pl < ql ? pl : ql) || level > (pl < ql ? ql : pl)) return;
    if (level == ql && !TurnsBack(p, q, vertical)) return;
    const int64_t pr = 2 * int64_t(vertical ? p->y : p->x);
    const int64_t qr = 2 * int64_t(vertical ? q->y : q->x);
    // Side of the ray origin relative to the edge, in (level, reach) axes:
    // the edge crosses the ray line at a smaller reach than the origin.
    const int64_t side = (qr - pr) * (level - pl) - (ql - pl) * (reach - pr);
    if (ql > pl ? side < 0 : side > 0) ++count;
  };
  // The edges that can cross the ray: those near it in the grid, or those of
  // the contours whose box holds the ray's origin (a contour that does not
  // hold it is crossed an even number of times). The cheaper set is visited.
  const int64_t boxMinX = vertical ? low : far, boxMaxX = vertical ? low : reach >> 1;
  const int64_t boxMinY = vertical ? far : low, boxMaxY = vertical ? reach >> 1 : low;
  const int64_t originX = mx >> 1, originY = my >> 1;
  uint64_t contourWork = 0;
  for (uint32_t k = 0; k < index.contourCount; ++k) {
    const ContourEntry& c = index.contours[k];
    if (originX >= c.minX && originX <= c.maxX && originY >= c.minY && originY <= c.maxY) contourWork += c.edgeCount;
  }
  if (contourWork < EntriesInBox(index, boxMinX, boxMinY, boxMaxX, boxMaxY)) {
    for (uint32_t k = 0; k < index.contourCount; ++k) {
      const ContourEntry& c = index.contours[k];
      if (originX < c.minX || originX > c.maxX || originY < c.minY || originY > c.maxY) continue;
      for (uint32_t e = c.firstEdge; e < c.firstEdge + c.edgeCount; ++e) {
        const EdgeEntry& edge = index.edges[e];
        if (edge.maxX < boxMinX || edge.minX > boxMaxX || edge.maxY < boxMinY || edge.minY > boxMaxY) continue;
        visit(e);
      }
    }
  } else {
    ForEachEdgeNear(index, boxMinX, boxMinY, boxMaxX, boxMaxY, visit);
  }
  return count;
}

inline bool At(const PathVertex* a, int32_t x, int32_t y) { return a->x == x && a->y == y; }

// Marks the edge start -> end as a disabled duplicate of the edge at `primary`.
void DisableDuplicate(PathVertex* start, PathVertex* end, PathVertex* primary) {
  start->flags = (start->flags & ~(ForwardOuter | ForwardInner)) | TwinEdge | DisabledTwin;
  end->flags &= ~(BackwardOuter | BackwardInner);
  start->link.partner = primary;
  primary->flags |= TwinEdge;
}

// Classifies the edge primary -> primary.next, which leaves or arrives at the
// group member of `entry`, after disabling its coincident duplicates: the
// member's own other edge when the contour turns back there, and the edges of
// the members that follow `entry` in the group.
void ClassifyWithDuplicates(EdgeIndex& index, PathVertex* primary, const GroupMember* entry) {
  PathVertex* far = primary == entry->vertex ? primary->next : primary;  // the end away from the group point
  const int32_t ex = far->x, ey = far->y;
  uint32_t duplicates = 0;
  PathVertex* last = nullptr;
  // The member's own other edge is a duplicate when the contour turns straight
  // back at the member (a spike, or a two-vertex contour).
  PathVertex* member = entry->vertex;
  if (primary == member) {
    PathVertex* before = member->prev;
    if (before != member && At(before, ex, ey) && (before->flags & TwinEdge) == 0) {
      DisableDuplicate(before, member, primary);
      ++duplicates;
      last = before;
    }
  } else if (member->next != member && At(member->next, ex, ey) && (member->flags & TwinEdge) == 0) {
    DisableDuplicate(member, member->next, primary);
    ++duplicates;
    last = member;
  }
  for (const GroupMember* other = entry->next; other != nullptr; other = other->next) {
    PathVertex* u = other->vertex;
    if (At(u->next, ex, ey) && (u->flags & TwinEdge) == 0) {
      DisableDuplicate(u, u->next, primary);
      ++duplicates;
      last = u;
    }
    if (At(u->prev, ex, ey) && (u->prev->flags & TwinEdge) == 0) {
      DisableDuplicate(u->prev, u, primary);
      ++duplicates;
      last = u->prev;
    }
  }
  ClassifyEdge(index, primary, 0);
  if (last != nullptr) {
    last->flags = (last->flags | ForwardOuter | ForwardInner) & ~DisabledTwin;
    last->next->flags |= BackwardOuter | BackwardInner;
    ClassifyEdge(index, last, duplicates);
  }
}
}  // namespace

void ClassifyEdge(EdgeIndex& index, PathVertex* v, uint32_t extra) {
  PathVertex* w = v->next;
  const bool horizontal = v->y == w->y;
  const bool flip = horizontal ? v->x < w->x : w->y < v->y;
  uint32_t count;
  bool side;
  if ((v->flags & TwinEdge) != 0 && v->link.partner != nullptr) {
    count = (v->link.partner->flags & TwinDecision) != 0 ? 1 : 0;
    side = !flip;
  } else {
    count = RayCount(index, v);
    side = flip;
  }
  if (flip) ++count;
  const bool odd = ((count + extra) & 1) != 0;
  if (odd) {
    w->flags &= ~BackwardOuter;
    v->flags &= ~ForwardInner;
  } else {
    v->flags &= ~ForwardOuter;
    w->flags &= ~BackwardInner;
  }
  if ((v->flags & TwinEdge) != 0) {
    if (odd && side) {
      w->flags &= ~BackwardInner;
    } else if (odd) {
      v->flags = (v->flags & ~ForwardOuter) | TwinDecision;
    } else if (side) {
      w->flags &= ~BackwardOuter;
      v->flags |= TwinDecision;
    } else {
      v->flags &= ~ForwardInner;
    }
  }
  v->flags |= EdgeClassified;
}

void ClassifyGroups(EdgeIndex& index, CrossingGroupList* groups) {
  for (CrossingGroup* group = groups->first; group != nullptr; group = group->next) {
    for (const GroupMember* entry = &group->first; entry != nullptr; entry = entry->next) {
      PathVertex* v = entry->vertex;
      if ((v->flags & TwinEdge) == 0) ClassifyWithDuplicates(index, v, entry);
      if ((v->prev->flags & TwinEdge) == 0) ClassifyWithDuplicates(index, v->prev, entry);
    }
  }
}

void ClassifyPlainContours(EdgeIndex& index, Contour* list) {
  for (Contour* c = list; c != nullptr; c = c->next) {
    if (c->crossed != 0 || c->firstVertex == nullptr) continue;
    PathVertex* first = c->firstVertex;
    PathVertex* second = first->next;
    if (second != first && second->next == first) {
      first->flags |= TwinEdge;
      second->flags |= TwinEdge;
      second->link.partner = first;
    }
    ClassifyEdge(index, first, 0);
  }
}

int ClassifyEdges(Contour* list, CrossingGroupList* groups) {
  EdgeIndex index;
  if (!BuildEdgeIndex(&index, list)) return 0;
  ClassifyGroups(index, groups);
  ClassifyPlainContours(index, list);
  FreeEdgeIndex(&index);
  return 1;
}
