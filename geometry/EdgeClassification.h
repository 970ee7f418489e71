// Edge classification by the even-odd rule over all subpaths together: for
// every edge that a trace can start or end on, which side the filled region
// lies on, expressed as the walk bits of the two bit sets (outer outlines walk
// with the region on their right, inner outlines with it on their left).
#pragma once
#include <cstdint>

struct Contour;
struct CrossingGroupList;
struct EdgeIndex;
struct PathVertex;

// Classifies the edge v -> v.next; `extra` is added to the crossing count
// before its parity is taken (the number of disabled duplicates of a
// coincident edge). `index` must hold the current edges of all contours.
void ClassifyEdge(EdgeIndex& index, PathVertex* v, uint32_t extra);

// Classifies the edges leaving and arriving at every group member, detecting
// coincident edges among the members of a group (and the two edges of a
// two-vertex contour): of k + 1 coincident edges the first is classified by
// its ray, k - 1 stay disabled and the last carries the decision on.
void ClassifyGroups(EdgeIndex& index, CrossingGroupList* groups);

// Classifies the first edge of every contour without crossings; the whole
// contour takes that edge's orientation. A two-vertex contour's vertices are
// marked as twins first.
void ClassifyPlainContours(EdgeIndex& index, Contour* list);

// Builds an edge index over the list and runs both classifications. Returns
// 1, or 0 with MemFullErr set.
int ClassifyEdges(Contour* list, CrossingGroupList* groups);
