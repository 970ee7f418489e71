// From contours to element outlines: the whole geometry stage between reading
// the target path and offsetting the bevels.
//
//   Contour* contours = ReadPathRecords(data, size, width, height);
//   if (contours == nullptr) -> end (result cell set)
//   if (!BuildElementOutlines(contours, &outer, &inner)) -> end (result cell
//       set, or 0 when the path encloses nothing)
//   ... bevels, rendering, dialog ...
//   ReleaseElementOutlines(&outer, &inner);  // post-dialog release
#pragma once
#include <cstdint>

struct Contour;
struct OffsetRingList;

// Crossing passes allowed before a path whose rounded contact points keep
// making new contacts is given up as invalid.
constexpr int MaxCrossingPasses = 64;

// Takes ownership of the contour list (its records and gVertexPool) and
// builds both outline sets: merges coincident consecutive vertices, resolves
// crossings (repeating the crossing pass while contact points had to be
// rounded), classifies edges by the even-odd rule and traces the outer set
// (region to the right of each ring, y down) and the inner set (region to the
// left) with gOutlinePool selected as the current pool.
//
// On return the contour list is freed, gVertexPool is empty and no crossing
// group is left, whatever the outcome.
// Returns 1 with *outer non-empty and *inner possibly null; the caller owns
// both sets (ring headers) and the nodes in gOutlinePool, released together
// by ReleaseElementOutlines.
// Returns 0 with both sets null and gOutlinePool emptied when the run must
// end: the result cell holds PathInvalidCode (no contour left after merging,
// coordinates beyond +-MaxPathCoordinate, crossings that cannot be resolved,
// a trace that finds no way on) or MemFullErr; or the result cell is still
// 0 when the path encloses nothing (no outer outline), in which case the
// run ends quietly.
int BuildElementOutlines(Contour* contours, OffsetRingList** outer, OffsetRingList** inner);

// Frees both outline sets (each ring is opened before its header is freed)
// and sets them to null, then empties gOutlinePool and both offset pools,
// which hold the nodes of the rings.
void ReleaseElementOutlines(OffsetRingList** outer, OffsetRingList** inner);
