// Corner classes of outline vertices, from exact integer arithmetic on path units.
#pragma once
#include <cstdint>

#include "geometry/OffsetNode.h"

// Sets OuterCorner, OuterCornerAhead, StraightPoint and StraightAhead on every
// node from the path-unit coordinates fx, fy (exact integer arithmetic). The
// vertex after a turn-back loses SmoothPoint.
void ClassifyCorners(OffsetRingList* list);
