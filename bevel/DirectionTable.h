// The direction table: unit vectors for the 1024 direction angles of the band
// edges, so that the renderer turns an interpolated angle into a vector by a
// table look-up.
#pragma once
#include <cstdint>

#include "geometry/BandEdge.h"

struct DirectionPair {
  float cos;  // cos(i * 2 pi / 1024)
  float sin;  // sin(i * 2 pi / 1024)
};

struct DirectionTable {
  DirectionPair pairs[DirectionSteps];  // index: angle in 1/1024 turns
};

// Fills the table; built once per run, before the first offset.
void MakeDirectionTable(DirectionTable* table);

// The pair for a 16.16 direction angle (any bias of whole turns is ignored).
inline const DirectionPair& DirectionFor(const DirectionTable& table, int32_t angle) {
  return table.pairs[(angle >> FixedShift) & DirectionMask];
}
