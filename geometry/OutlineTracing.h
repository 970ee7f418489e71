// Tracing the element outlines: walks the classified edges of one bit set
// into closed rings of outline nodes.
#pragma once
#include <cstdint>

struct Contour;
struct CrossingGroupList;
struct OffsetRingList;

// Traces the outline set of bit set `shift` (OuterBitSet: the region lies to
// the right of every ring, y down; InnerBitSet: to the left) into *set: first
// the rings through crossing groups, each started at a group member with an
// unwalked edge and closed when it comes back to that edge, then every
// contour without crossings copied whole. Nodes come from CurrentPool(); ring
// headers are work-memory blocks that the set owns (FreeOutlineSet).
// Returns 1 with the set (possibly empty), or 0 with *set null and the
// result cell set: MemFullErr, or PathInvalidCode for a walk that finds no
// way on.
int TraceOutlines(Contour* list, CrossingGroupList* groups, int shift, OffsetRingList** set);
