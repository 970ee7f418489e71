// Sequence numbers of offset nodes: the edge ids of an element's band pieces.
#include "bevel/NodeNumbering.h"

void NumberNodes(OffsetRingList* list, int32_t* counter) {
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next) {
    OffsetNode* first = ring->first;
    if (first == nullptr) continue;
    OffsetNode* node = first;
    do {
      node->index = int16_t(*counter);
      ++*counter;
      node = node->next;
    } while (node != first);
  }
}
