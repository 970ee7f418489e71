// Outline rings built by hand, as the tracer leaves them: ring headers are
// work-memory blocks, nodes come from the outline pool. Shared by the bevel
// and render tests and the benchmarks (header only: the benchmarks link no
// test library).
#pragma once
#include <cstdint>
#include <vector>

#include "bevel/CornerClassification.h"
#include "bevel/NodeNumbering.h"
#include "bevel/OffsetOutlines.h"
#include "bevel/OffsetUndo.h"
#include "bevel/PixelConversion.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"

namespace test_rings {

// Appends an empty ring at the end of the list. Returns it, or null when the
// header cannot be allocated.
inline OffsetRingList* AppendRing(OffsetRingList** list) {
  auto* header = static_cast<OffsetRingList*>(NewClearedBlock(sizeof(OffsetRingList)));
  if (header == nullptr) return nullptr;
  OffsetRingList** tail = list;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = header;
  return header;
}

// Appends a node at path units (fx, fy) with `flags` after the ring's last
// node. Returns it, or null when the pool cannot grow.
inline OffsetNode* AppendNode(OffsetRingList* ring, int32_t fx, int32_t fy, uint32_t flags) {
  auto* node = TakeRecordOf<OffsetNode>(&gOutlinePool);
  if (node == nullptr) return nullptr;
  *node = OffsetNode{};
  node->fx = fx;
  node->fy = fy;
  node->flags = flags;
  if (ring->first == nullptr) {
    node->next = node->prev = node;
    ring->first = node;
  } else {
    OffsetNode* last = ring->first->prev;
    node->prev = last;
    node->next = ring->first;
    last->next = node;
    ring->first->prev = node;
  }
  return node;
}

// Frees the ring headers of a list (the nodes go with their pool).
inline void FreeRings(OffsetRingList** list) {
  while (*list != nullptr) {
    OffsetRingList* next = (*list)->next;
    FreeBlockOf(*list);
    *list = next;
  }
}

inline std::vector<OffsetNode*> RingNodes(const OffsetRingList* ring) {
  std::vector<OffsetNode*> nodes;
  OffsetNode* node = ring->first;
  do {
    nodes.push_back(node);
    node = node->next;
  } while (node != ring->first);
  return nodes;
}

}  // namespace test_rings
