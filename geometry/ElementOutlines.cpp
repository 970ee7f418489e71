#include "geometry/ElementOutlines.h"

#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/Contour.h"
#include "geometry/ContourCleanup.h"
#include "geometry/CrossingGroup.h"
#include "geometry/CrossingPass.h"
#include "geometry/EdgeClassification.h"
#include "geometry/OffsetNode.h"
#include "geometry/OutlineTracing.h"

namespace {
bool CoordinatesInRange(const Contour* list) {
  for (const Contour* c = list; c != nullptr; c = c->next) {
    const PathVertex* first = c->firstVertex;
    if (first == nullptr) continue;
    const PathVertex* v = first;
    do {
      if (v->x < -MaxPathCoordinate || v->x > MaxPathCoordinate || v->y < -MaxPathCoordinate || v->y > MaxPathCoordinate)
        return false;
      v = v->next;
    } while (v != first);
  }
  return true;
}

// Crossing passes until no contact point had to be rounded; the groups of the
// last pass stay in *groups. Returns 0 with the result cell set.
int ResolveCrossings(Contour** contours, CrossingGroupList* groups) {
  for (int pass = 0; pass < MaxCrossingPasses; ++pass) {
    bool rounded = false;
    if (!CrossingPass(*contours, groups, &rounded)) return 0;
    if (!rounded) return 1;
    CleanupPass(contours, groups);
    if (RunFailed()) return 0;
    ResetClassification(*contours);
    FreeGroupList(groups);
  }
  SetResult(PathInvalidCode);
  return 0;
}

int Trace(Contour* contours, CrossingGroupList* groups, OffsetRingList** outer, OffsetRingList** inner) {
  if (!ClassifyEdges(contours, groups)) return 0;
  SelectPool(&gOutlinePool);
  if (!TraceOutlines(contours, groups, OuterBitSet, outer)) return 0;
  if (*outer == nullptr) return 0;
  return TraceOutlines(contours, groups, InnerBitSet, inner);
}
}  // namespace

int BuildElementOutlines(Contour* contours, OffsetRingList** outer, OffsetRingList** inner) {
  *outer = nullptr;
  *inner = nullptr;
  CrossingGroupList groups{nullptr, nullptr};
  int ok = 0;
  if (!CoordinatesInRange(contours)) {
    SetResult(PathInvalidCode);
  } else {
    CleanupPass(&contours, nullptr);
    if (contours == nullptr)
      SetResult(PathInvalidCode);
    else if (ResolveCrossings(&contours, &groups))
      ok = Trace(contours, &groups, outer, inner);
  }
  FreeContourList(&contours);
  EmptyPool(&gVertexPool);
  FreeGroupList(&groups);
  if (!ok) ReleaseElementOutlines(outer, inner);
  return ok;
}

void ReleaseElementOutlines(OffsetRingList** outer, OffsetRingList** inner) {
  FreeOutlineSet(outer);
  FreeOutlineSet(inner);
  EmptyPool(&gOutlinePool);
  EmptyPool(&gInnerOffsetPool);
  EmptyPool(&gOuterOffsetPool);
}
