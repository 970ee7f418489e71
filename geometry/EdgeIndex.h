// A table of the edges of a contour list with a uniform grid over their
// bounding boxes, so that the crossing search and the ray counts of the edge
// classification visit only edges near the place they look at. Queries give
// exactly the edges whose boxes meet the query box; the callers apply the
// same exact tests to them as they would to every edge.
#pragma once
#include <cstdint>

struct Contour;
struct PathVertex;

struct EdgeEntry {
  PathVertex* start;  // the edge runs from start to start->next (as when the index was built)
  Contour* contour;
  int32_t minX, minY, maxX, maxY;  // bounding box, path units, inclusive
};

// A contour's edges are contiguous in the table.
struct ContourEntry {
  uint32_t firstEdge, edgeCount;
  int32_t minX, minY, maxX, maxY;  // bounding box of the contour, path units, inclusive
};

struct EdgeIndex {
  EdgeEntry* edges;    // in list order: contours in list order, each ring from its first vertex
  uint32_t edgeCount;
  ContourEntry* contours;  // in list order, empty contours left out
  uint32_t contourCount;
  uint32_t* cellStart;  // columns * rows + 1 offsets into cellEdges
  uint32_t* cellEdges;  // edge numbers per cell, increasing within a cell
  uint32_t* marks;      // per edge: the query that last reported it
  uint32_t queryMark;
  int32_t originX, originY;  // the low corner of the grid, path units
  int columnShift;           // a cell is 2^columnShift path units wide
  int rowShift;              // and 2^rowShift path units tall
  uint32_t columns, rows;
};

// Builds the index over every edge of the list. Returns 1, or 0 with
// MemFullErr set (the index is then empty and needs no freeing).
int BuildEdgeIndex(EdgeIndex* index, Contour* list);
void FreeEdgeIndex(EdgeIndex* index);

// The grid cells that cover the box [minX, maxX] x [minY, maxY], clamped to
// the grid; empty (first > last) when the box misses the grid.
struct CellRange {
  uint32_t firstColumn, lastColumn, firstRow, lastRow;
  bool empty;
};
CellRange CellsOfBox(const EdgeIndex& index, int64_t minX, int64_t minY, int64_t maxX, int64_t maxY);

// Number of grid entries in the cells of the box: the work ForEachEdgeNear
// would do for it.
uint64_t EntriesInBox(const EdgeIndex& index, int64_t minX, int64_t minY, int64_t maxX, int64_t maxY);

// Calls visit(edgeNumber) once for every edge whose box meets the given box.
template <class Visit>
void ForEachEdgeNear(EdgeIndex& index, int64_t minX, int64_t minY, int64_t maxX, int64_t maxY, Visit visit) {
  const CellRange cells = CellsOfBox(index, minX, minY, maxX, maxY);
  if (cells.empty) return;
  if (++index.queryMark == 0) {
    for (uint32_t i = 0; i < index.edgeCount; ++i) index.marks[i] = 0;
    index.queryMark = 1;
  }
  for (uint32_t row = cells.firstRow; row <= cells.lastRow; ++row) {
    for (uint32_t column = cells.firstColumn; column <= cells.lastColumn; ++column) {
      const uint32_t cell = row * index.columns + column;
      for (uint32_t k = index.cellStart[cell]; k < index.cellStart[cell + 1]; ++k) {
        const uint32_t e = index.cellEdges[k];
        if (index.marks[e] == index.queryMark) continue;
        index.marks[e] = index.queryMark;
        const EdgeEntry& edge = index.edges[e];
        if (edge.maxX < minX || edge.minX > maxX || edge.maxY < minY || edge.minY > maxY) continue;
        visit(e);
      }
    }
  }
}
