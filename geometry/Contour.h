// Contours: the subpaths of the target path as closed rings of vertices in
// path units (8.24 fractions of the document's width and height, y down).
//
// Contour records are single work-memory blocks; their vertices come from
// gVertexPool and are released with it.
#pragma once
#include <cstdint>

#include "core/NodePool.h"
#include "geometry/PointFlags.h"

// Every PathVertex of the contour list; emptied when the list is freed.
extern NodePool gVertexPool;

struct CrossingRecord;
struct CrossingGroup;

struct PathVertex;

// The link word of a vertex: during a crossing pass the list of contacts found
// on the edge that starts here, afterwards the partner vertex of a coincident
// edge.
union VertexLink {
  CrossingRecord* crossings;
  PathVertex* partner;
};

struct PathVertex {
  PathVertex* next;  // the ring of the contour, in path order
  PathVertex* prev;
  uint32_t flags;    // the bits below
  int32_t x, y;      // path units
  CrossingGroup* group;  // the crossing group the vertex stands in, or null
  VertexLink link;
};

struct Contour {
  PathVertex* firstVertex;  // null for an empty contour; the vertices form a closed ring
  Contour* next;            // the contour list is singly linked
  uint32_t crossed;         // 1 when an edge of this contour met another edge in the last crossing pass
};

// Walk bits exist twice, for bit set 0 (outer outlines, region to the right
// of the walk) and bit set 6 (inner outlines, region to the left). For bit
// set s the bits are these constants shifted left by s.
constexpr uint32_t WalkForward = 0x00000001;         // the edge to next may be walked forwards
constexpr uint32_t WalkForwardPair = 0x00000003;     // both bits of it; classification clears the pair
constexpr uint32_t WalkBackward = 0x00000004;        // the edge from prev may be walked from here to prev
constexpr uint32_t WalkBackwardPair = 0x0000000C;
constexpr uint32_t StartedForward = 0x00000010;      // a trace already started forwards here
constexpr uint32_t StartedBackward = 0x00000020;     // a trace already started backwards here
constexpr int OuterBitSet = 0;                       // shift of the outer outline walk bits
constexpr int InnerBitSet = 6;                       // shift of the inner outline walk bits

constexpr uint32_t AllWalkBits = 0x000003CF;   // every walk bit of both sets: a fresh vertex
constexpr uint32_t TwinEdge = 0x00001000;      // the edge here has a coincident twin, or the vertex is on a two-vertex contour
constexpr uint32_t TwinDecision = 0x00002000;  // classification result handed to a twin edge
constexpr uint32_t DisabledTwin = 0x00004000;  // disabled duplicate of a coincident edge
constexpr uint32_t EdgeClassified = 0x10000000;  // the edge to next has been classified

// Takes a vertex from gVertexPool with flags extraFlags | AllWalkBits and puts
// it at the end of the contour's ring (in front of its first vertex). Points
// are given as x (horizontal) and y (vertical). Returns 1, or 0 with
// MemFullErr set.
int AppendVertex(Contour* contour, int32_t x, int32_t y, uint32_t extraFlags);

// Puts a new vertex at (x, y) between `vertex` and its next. It continues a
// flattened curve (SmoothPoint | CurveEdge) when `vertex` has CurveEdge.
// Returns the new vertex, or null with MemFullErr set.
PathVertex* InsertVertexAfter(PathVertex* vertex, int32_t x, int32_t y);

// Frees every contour record of the list and sets *list to null. The vertices
// stay in gVertexPool; whoever frees the list empties that pool as well.
void FreeContourList(Contour** list);

// Number of vertices in a contour's ring (0 for an empty contour).
uint32_t VertexCount(const Contour* contour);
