// Sequence numbers of offset nodes: the edge ids of an element's band pieces.
#pragma once
#include <cstdint>

#include "geometry/OffsetNode.h"

// Gives every node of every ring, ring by ring, each ring from its first node,
// the value of *counter as its index and increments *counter. Started at 1,
// the counter ends one above the number of nodes. Indexes are 16-bit.
void NumberNodes(OffsetRingList* list, int32_t* counter);
