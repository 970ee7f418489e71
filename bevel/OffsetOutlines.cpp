// The offsetter: plain offset, joins, collapse detection, restored starts.
#include "bevel/OffsetOutlines.h"

#include "bevel/OffsetJoins.h"
#include "style/StyleRecord.h"

namespace {

void PlainOffset(OffsetNode* first, double size) {
  OffsetNode* node = first;
  do {
    node->ox = node->x + size * node->nx;
    node->oy = node->y + size * node->ny;
    node = node->next;
  } while (node != first);
}

// Marks offset edges that are empty or run against their outline edge. At a
// join such an edge is repaired by the band builder (StartReset on the start
// side, EndTrimCheck on the end side) instead of being dropped as Collapsed.
void DetectCollapse(OffsetNode* first, double size) {
  OffsetNode* q = first;
  do {
    OffsetNode* s = q->next;
    if ((q->flags & (OuterCorner | OuterCornerAhead)) != (OuterCorner | OuterCornerAhead)) {
      double endX = s->ox, endY = s->oy;
      if ((q->flags & EndPerpendicular) != 0) {
        endX = s->x + size * q->nx;
        endY = s->y + size * q->ny;
      }
      const bool empty = endX == q->ox && endY == q->oy;
      const bool reversed = (s->oy - q->oy) * (q->x - q->ox) - (s->ox - q->ox) * (q->y - q->oy) > 0.0;
      if (empty || reversed) {
        if ((q->flags & OuterCornerAhead) != 0) {
          q->flags = (q->flags & ~Collapsed) | StartReset;
          q->prev->flags |= EndTrimCheck;
        } else if ((q->flags & OuterCorner) != 0) {
          q->flags = (q->flags & ~Collapsed) | EndTrimCheck;
          s->flags |= StartReset;
        } else {
          q->flags |= Collapsed;
        }
      }
    }
    q = s;
  } while (q != first);
}

// Puts offset starts back to the perpendicular offset where a collapsed edge
// would otherwise leave them moved forward along their edge.
void RestoreStarts(OffsetNode* first, double size) {
  OffsetNode* q = first;
  do {
    const bool movedForward = -q->nx * (q->oy - q->y) + q->ny * (q->ox - q->x) < 0.0;
    const bool reset = (q->flags & Collapsed) != 0 ||
                       (((q->prev->flags & Collapsed) != 0 || (q->flags & StartReset) != 0) && movedForward);
    if (reset) {
      q->ox = q->x + size * q->nx;
      q->oy = q->y + size * q->ny;
    }
    q = q->next;
  } while (q != first);
}

}  // namespace

int OffsetOutlines(OffsetRingList* list, JoinCode join, double size, double limit) {
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next)
    if (ring->first != nullptr) PlainOffset(ring->first, size);
  if (!JoinCorners(list, join, size, limit)) return 0;
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next)
    if (ring->first != nullptr) DetectCollapse(ring->first, size);
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next)
    if (ring->first != nullptr) RestoreStarts(ring->first, size);
  return 1;
}

JoinCode JoinCodeForFlags(uint16_t bevelFlags) {
  switch ((bevelFlags & JoinTypeMask) >> JoinTypeShift) {
    case JoinBevel: return BevelJoinCode;
    case JoinMiter: return MiterJoinCode;
    default: return RoundJoinCode;
  }
}

double MiterLimitDistance(JoinCode join, uint16_t size, uint16_t miterLimit) {
  return join == MiterJoinCode ? double(size) + double(miterLimit) : 0.0;
}
