#include "geometry/ContourCleanup.h"

#include "core/WorkMemory.h"
#include "geometry/Contour.h"
#include "geometry/CrossingGroup.h"

namespace {
inline bool SamePoint(const PathVertex* a, const PathVertex* b) {
  const int64_t dx = int64_t(a->x) - b->x;
  const int64_t dy = int64_t(a->y) - b->y;
  return dx >= -SamePointDistance && dx <= SamePointDistance && dy >= -SamePointDistance && dy <= SamePointDistance;
}

// Hands the crossing group of v, which is about to be removed, on to w.
// Returns 0 with MemFullErr set when a group or member entry cannot be made.
int MergeGroupInto(CrossingGroupList* groups, PathVertex* v, PathVertex* w) {
  CrossingGroup* from = v->group;
  if (from == nullptr || groups == nullptr) return 1;
  if (from == w->group) {
    RemoveGroupMember(v);
    return 1;
  }
  if (w->group == nullptr && NewGroup(groups, w) == nullptr) return 0;
  CrossingGroup* to = w->group;
  for (GroupMember* entry = &from->first; entry != nullptr; entry = entry->next) {
    if (entry->vertex == v) continue;
    if (!AddGroupMember(to, entry->vertex)) return 0;
  }
  v->group = nullptr;
  DeleteGroup(groups, from);
  return 1;
}

// Two neighbours that stand at two different contact points (in different
// groups, at different places) both stay: the
// other contours pass through each point, and merging would move one contact
// away from them, so that the next crossing pass would round the same
// crossing again.
inline bool StandAtTwoContacts(const PathVertex* v, const PathVertex* w) {
  return v->group != nullptr && w->group != nullptr && v->group != w->group && (v->x != w->x || v->y != w->y);
}

// Takes a vertex that leaves the contours out of its group; a group left
// without members is deleted.
void DropFromGroup(CrossingGroupList* groups, PathVertex* v) {
  CrossingGroup* group = v->group;
  if (group == nullptr || groups == nullptr) return;
  if (group->first.vertex == v && group->first.next == nullptr) {
    v->group = nullptr;
    DeleteGroup(groups, group);
  } else {
    RemoveGroupMember(v);
  }
}

// Cleans one contour; returns whether it changed. Stops early on failure.
bool CleanContour(Contour* contour, CrossingGroupList* groups) {
  bool changed = false;
  PathVertex* v = contour->firstVertex;
  if (v == nullptr) return false;
  for (;;) {
    PathVertex* w = v->next;
    if (!SamePoint(v, w) || StandAtTwoContacts(v, w)) {
      if (w == contour->firstVertex) break;
      v = w;
      continue;
    }
    changed = true;
    if (v == w) {
      contour->firstVertex = nullptr;
      DropFromGroup(groups, v);
      break;
    }
    if (v->group != nullptr && w->group == nullptr) {
      // Keep the vertex that stands at a contact: removing it would move the
      // contour off the contact point and let the next crossing pass find,
      // and round, the same crossing again.
      v->flags = (v->flags & ~CurveEdge) | (w->flags & (SmoothPoint | CurveEdge));
      v->next = w->next;
      w->next->prev = v;
      if (w == contour->firstVertex) {
        contour->firstVertex = v;
        break;
      }
      continue;
    }
    if (!MergeGroupInto(groups, v, w)) break;
    w->flags |= v->flags & SmoothPoint;
    v->prev->next = w;
    w->prev = v->prev;
    if (v == contour->firstVertex) {
      contour->firstVertex = w;
    } else if (w == contour->firstVertex) {
      break;
    }
    v = w;
  }
  return changed;
}
}  // namespace

bool CleanupPass(Contour** list, CrossingGroupList* groups) {
  bool changed = false;
  Contour** link = list;
  while (*link != nullptr) {
    Contour* contour = *link;
    if (CleanContour(contour, groups)) changed = true;
    if (RunFailed()) return changed;
    if (contour->firstVertex == nullptr) {
      *link = contour->next;
      FreeBlockOf(contour);
      continue;
    }
    link = &contour->next;
  }
  return changed;
}
