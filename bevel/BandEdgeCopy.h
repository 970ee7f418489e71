// A copy of a band edge list together with the band pieces its edges bound.
// The sweep changes both in place, so a second sweep of the same bands (one
// running beside another, over other rows) needs a copy of its own.
#pragma once
#include <cstdint>

#include "geometry/BandEdge.h"
#include "geometry/OffsetNode.h"

struct BandEdgeCopy {
  BandEdge* head;       // the copied list, in the original order; null when empty
  BandEdge* edges;      // the copies of the edges, in list order (one work-memory block)
  const BandEdge** originals;  // per copied edge, the edge it copies (one block)
  OffsetNode* pieces;   // the copies of the pieces, in order of first mention (one block)
  uint32_t edgeCount;
  uint32_t pieceCount;
};

// Copies the edges of the list at `head` that reach sample row `fromRow`
// (all of them by default; a sweep from that row on needs no other), and
// every piece a copied edge names as an owner, with the owners of the copied
// edges pointing at the copied pieces. Piece links to other nodes and edges
// are not copied (the sweep sets its own). Returns 1, or 0 with MemFullErr
// set (nothing left allocated).
int CopyBandEdges(const BandEdge* head, BandEdgeCopy* copy, int32_t fromRow = INT32_MIN);

// Frees the copy's blocks. Null-safe, and safe on a copy that failed.
void FreeBandEdgeCopy(BandEdgeCopy* copy);
