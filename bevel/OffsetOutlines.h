// Offsetting element outlines into bevel bands.
//
// Every outline vertex gets a second position, its offset start, moved by the
// bevel size along the normal of its outgoing edge; corners are closed with a
// Round, Bevel or Miter join. Afterwards each node of a ring describes one
// band quadrilateral: from its outline edge (node to next) to its offset edge
// (offset start to the end of the offset edge).
//
// Lifecycle, per filter run: ClassifyCorners (bevel/CornerClassification.h)
// then ToPixels (bevel/PixelConversion.h), once, on each outline set. Per
// element build: UndoOffset (bevel/OffsetUndo.h) unless the list is fresh,
// empty and select the element's offset pool (SelectPool), then
// OffsetOutlines; the corner joins are in bevel/OffsetJoins.cpp. UndoOffset
// must run before the pool that holds the inserted nodes is emptied, because
// it walks them to unlink them.
#pragma once
#include <cstdint>

#include "geometry/OffsetNode.h"

// Join codes passed to the offsetter.
enum JoinCode : int32_t {
  RoundJoinCode = 1,  // circular arc around the corner, chords at most sqrt(10) px
  BevelJoinCode = 2,  // one straight chamfer between the two offset edges
  MiterJoinCode = 4   // pointed corner, clipped at the miter limit
};

// Join code for a bevel's flag word (join type in bits 8-9). The unused join
// type 3 is taken as Round.
JoinCode JoinCodeForFlags(uint16_t bevelFlags);

// The offsetter's limit: distance from the corner (pixels) up to which a miter
// point is kept; size + miterLimit for the Miter join, 0 for the others.
double MiterLimitDistance(JoinCode join, uint16_t size, uint16_t miterLimit);

// Offsets every ring by `size` pixels with the given join; `limit` (pixels)
// is used by the Miter join only. Inserted nodes are taken from the current
// node pool. Returns 1, or 0 when a node could not be allocated (MemFullErr is
// in the result cell and the rings are partly joined; UndoOffset still
// restores them). The list must be fresh or restored by UndoOffset.
int OffsetOutlines(OffsetRingList* list, JoinCode join, double size, double limit);
