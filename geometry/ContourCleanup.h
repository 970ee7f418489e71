// The cleanup pass: merges consecutive vertices that stand on the same point
// and drops contours that collapse.
#pragma once
#include <cstdint>

struct Contour;
struct CrossingGroupList;

// Largest difference, per axis in path units, at which two consecutive
// vertices count as the same point.
constexpr int32_t SamePointDistance = 1;

// For every contour in list order, removes each vertex that stands on the same
// point as its successor (the successor stays and inherits SmoothPoint; the
// removed vertex's crossing group is merged into the successor's). Contact
// points keep their place: when only the first of the two stands in a
// crossing group the successor is removed instead, and two neighbours in
// different groups both stay. A contour
// left without vertices is unlinked from *list and freed. `groups` may be null
// when no vertex belongs to a group. Removed vertices stay in gVertexPool.
// Returns whether anything changed. A failed group allocation leaves
// MemFullErr in the result cell and ends the pass early; the caller checks
// RunFailed().
bool CleanupPass(Contour** list, CrossingGroupList* groups);
