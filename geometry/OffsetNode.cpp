#include "geometry/OffsetNode.h"

#include "core/WorkMemory.h"
#include "geometry/Contour.h"

NodePool gOutlinePool = {sizeof(OffsetNode), NodeRecordsPerBlock, nullptr, nullptr};
NodePool gInnerOffsetPool = {sizeof(OffsetNode), NodeRecordsPerBlock, nullptr, nullptr};
NodePool gOuterOffsetPool = {sizeof(OffsetNode), NodeRecordsPerBlock, nullptr, nullptr};

namespace {
NodePool* gCurrentPool = &gOutlinePool;
}

void SelectPool(NodePool* pool) { gCurrentPool = pool != nullptr ? pool : &gOutlinePool; }

NodePool* CurrentPool() { return gCurrentPool; }

int AppendVertex(OffsetRingList* ring, int32_t fx, int32_t fy, uint32_t flags) {
  auto* node = TakeRecordOf<OffsetNode>(CurrentPool());
  if (node == nullptr) return 0;
  *node = OffsetNode{};
  node->fx = fx;
  node->fy = fy;
  node->flags = flags & (SmoothPoint | CurveEdge);
  OffsetNode* first = ring->first;
  if (first == nullptr) {
    node->next = node;
    node->prev = node;
    ring->first = node;
  } else {
    node->next = first;
    node->prev = first->prev;
    first->prev->next = node;
    first->prev = node;
  }
  return 1;
}

int CopyOutline(OffsetRingList* ring, const Contour* source, int shift) {
  const PathVertex* first = source->firstVertex;
  if (first == nullptr) return 1;
  if ((first->flags & (WalkForward << shift)) != 0) {
    const PathVertex* v = first;
    do {
      if (!AppendVertex(ring, v->x, v->y, v->flags)) return 0;
      v = v->next;
    } while (v != first);
  } else if ((first->next->flags & (WalkBackward << shift)) != 0) {
    const PathVertex* v = first;
    do {
      if (!AppendVertex(ring, v->x, v->y, (v->flags & SmoothPoint) | (v->prev->flags & CurveEdge))) return 0;
      v = v->prev;
    } while (v != first);
  }
  return 1;
}

void FreeOutlineSet(OffsetRingList** set) {
  OffsetRingList* ring = *set;
  while (ring != nullptr) {
    OffsetRingList* next = ring->next;
    if (ring->first != nullptr) ring->first->prev->next = nullptr;
    FreeBlockOf(ring);
    ring = next;
  }
  *set = nullptr;
}
