// Restoring offset outlines so that the same outlines can be offset again
// with other settings (every element rebuild of the live preview).
#include "bevel/OffsetUndo.h"

void UndoOffset(OffsetRingList* list) {
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next) {
    OffsetNode* first = ring->first;
    if (first == nullptr) continue;
    // The joins make the vertex after an arc or a curve-side miter point
    // smooth; no such vertex was smooth before (a smooth vertex gets no join).
    OffsetNode* node = first;
    do {
      if ((node->prev->flags & (ArcNode | MiterNode)) != 0) node->flags &= ~SmoothPoint;
      node = node->next;
    } while (node != first);
    // Inserted nodes always lie between two vertices, so the first node is a
    // vertex and the walk ends there.
    node = first;
    do {
      OffsetNode* next = node->next;
      if (IsInsertedNode(node)) {
        node->prev->next = next;
        next->prev = node->prev;
      } else {
        node->index = 0;
        node->flags &= VertexKeptMask;
      }
      node = next;
    } while (node != first);
  }
}
