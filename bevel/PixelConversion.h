// Outline points from path units into document pixels, with the edge normals.
#pragma once
#include <cstdint>

#include "geometry/OffsetNode.h"

// Converts fx, fy (8.24 fractions of the document size) into pixels x, y with
// the document's width and height in pixels, then sets every node's unit
// normal (dy, -dx)/length of its outgoing edge; a zero-length edge gets the
// normal (0, 0). After this, fx and fy are free for other uses.
void ToPixels(OffsetRingList* list, uint16_t width, uint16_t height);
