// The Main rasteriser: even-odd fill of the Inner outlines into the Main
// element buffer, used when the Inner Bevel has size 0 (no bands).
#pragma once
#include <cstdint>

#include "bevel/ElementBuffer.h"
#include "core/NodePool.h"
#include "geometry/BandEdge.h"
#include "geometry/OffsetNode.h"

struct PolygonEdge {
  int32_t lastRow;    // last sample row covered
  int32_t firstRow;   // first sample row covered
  int32_t x;          // at the current row: eighth pixels, 12 fraction bits, ColumnRounding added
  int32_t xStep;      // per sample row
  PolygonEdge* next;  // pending list sorted by first row, then the active list
};

extern NodePool gPolygonEdgePool;  // every PolygonEdge; emptied around each Main build

// A list of polygon edges under construction (collected unsorted, then
// sorted by first row; among equal first rows the later edge comes first).
struct PolygonEdgeList {
  PolygonEdge* head;
  int32_t count;
};

// Adds the edge P -> Q (nothing for an edge that covers no row). Returns 1,
// or 0 with MemFullErr set.
int MakePolygonEdge(PolygonEdgeList* list, PixelPoint p, PixelPoint q);

// Adds one edge for every node of every ring (node to its successor) and
// widens the bounds with every vertex. The list is sorted on return, also
// after a failure. Returns 1 or 0.
int BuildPolygonEdges(OffsetRingList* rings, PolygonEdgeList* list, FixedBounds* bounds);

// Moves every edge into a frame whose origin is the pixel (x0, y0).
void ShiftPolygonEdges(PolygonEdge* list, int32_t x0, int32_t y0);

// Rasterises a sorted edge list (in the buffer's frame) into the buffer, whose
// frame and row array are set: one span list per pixel row, coverage from the
// even-odd rule. Span records come from gMainSpanPool. Returns 1, or 0 with
// MemFullErr set (the rows made so far stay in the buffer).
int RasterisePolygon(PolygonEdge* edges, ElementBuffer* buffer);
