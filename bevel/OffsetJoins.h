// The corner pass of the offsetter (internal to the bevel offsetting).
#pragma once
#include "bevel/OffsetOutlines.h"

// Squared chord length (square pixels) above which a round join's arc is
// subdivided further: chords end at most sqrt(10) px long.
constexpr double ArcChordLimitSquared = 10.0;

// Walks every ring once from its first node and closes each corner between
// a vertex N and its successor M: moves M's offset start to the intersection
// of the two offset lines, or inserts join nodes (from the current pool)
// between N and M. Requires plain offsets (ox, oy) on every vertex. Returns
// 1, or 0 as soon as an allocation fails (MemFullErr is set).
int JoinCorners(OffsetRingList* list, JoinCode join, double size, double limit);
