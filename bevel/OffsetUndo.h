// Restoring offset outlines so that the same outlines can be offset again
// with other settings (every element rebuild of the live preview).
#pragma once
#include <cstdint>

#include "geometry/OffsetNode.h"

// Restores the rings to their state before OffsetOutlines: unlinks every
// inserted node (they stay in their pool), removes the SmoothPoint the joins
// added, and leaves each vertex index 0 with only its SmoothPoint, CurveEdge
// and corner bits. Offset positions are left stale; the next offset rewrites
// them.
void UndoOffset(OffsetRingList* list);
