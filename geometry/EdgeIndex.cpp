#include "geometry/EdgeIndex.h"

#include <cmath>

#include "core/WorkMemory.h"
#include "geometry/Contour.h"

namespace {
// The grid aims at about one cell per edge, and cells are made larger while
// the edges would be entered in more than this many cells each on average.
constexpr uint64_t MaxCellsPerEdge = 6;
constexpr int MaxCellShift = 33;

void* NewArray(uint64_t count, uint32_t size) {
  const uint64_t bytes = count * size;
  if (bytes > UINT32_MAX) {
    SetResult(MemFullErr);
    return nullptr;
  }
  return NewBlock(uint32_t(bytes == 0 ? size : bytes));
}

inline uint32_t CellOf(int64_t value, int32_t origin, int shift, uint32_t count) {
  const int64_t cell = (value - origin) >> shift;
  if (cell < 0) return 0;
  if (cell >= int64_t(count)) return count - 1;
  return uint32_t(cell);
}

uint64_t EntryCount(const EdgeIndex& index, int columnShift, int rowShift) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < index.edgeCount; ++i) {
    const EdgeEntry& e = index.edges[i];
    const uint64_t w = uint64_t((int64_t(e.maxX) - index.originX) >> columnShift) -
                       uint64_t((int64_t(e.minX) - index.originX) >> columnShift) + 1;
    const uint64_t h = uint64_t((int64_t(e.maxY) - index.originY) >> rowShift) -
                       uint64_t((int64_t(e.minY) - index.originY) >> rowShift) + 1;
    total += w * h;
  }
  return total;
}

int ShiftFor(double side) {
  int shift = 0;
  while (shift < MaxCellShift && std::ldexp(1.0, shift) < side) ++shift;
  return shift;
}
}  // namespace

int BuildEdgeIndex(EdgeIndex* index, Contour* list) {
  *index = EdgeIndex{};
  uint64_t count = 0;
  for (Contour* c = list; c != nullptr; c = c->next) count += VertexCount(c);
  uint64_t contourCount = 0;
  for (Contour* c = list; c != nullptr; c = c->next) contourCount += c->firstVertex != nullptr ? 1 : 0;
  index->edges = static_cast<EdgeEntry*>(NewArray(count, sizeof(EdgeEntry)));
  index->marks = static_cast<uint32_t*>(NewArray(count, sizeof(uint32_t)));
  index->contours = static_cast<ContourEntry*>(NewArray(contourCount, sizeof(ContourEntry)));
  if (index->edges == nullptr || index->marks == nullptr || index->contours == nullptr) {
    FreeEdgeIndex(index);
    return 0;
  }
  index->edgeCount = uint32_t(count);
  int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
  uint32_t n = 0;
  for (Contour* c = list; c != nullptr; c = c->next) {
    PathVertex* first = c->firstVertex;
    if (first == nullptr) continue;
    ContourEntry& ce = index->contours[index->contourCount++];
    ce = ContourEntry{n, 0, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    PathVertex* v = first;
    do {
      EdgeEntry& e = index->edges[n++];
      const PathVertex* w = v->next;
      e.start = v;
      e.contour = c;
      e.minX = v->x < w->x ? v->x : w->x;
      e.maxX = v->x < w->x ? w->x : v->x;
      e.minY = v->y < w->y ? v->y : w->y;
      e.maxY = v->y < w->y ? w->y : v->y;
      if (e.minX < minX) minX = e.minX;
      if (e.maxX > maxX) maxX = e.maxX;
      if (e.minY < minY) minY = e.minY;
      if (e.maxY > maxY) maxY = e.maxY;
      index->marks[n - 1] = 0;
      if (e.minX < ce.minX) ce.minX = e.minX;
      if (e.maxX > ce.maxX) ce.maxX = e.maxX;
      if (e.minY < ce.minY) ce.minY = e.minY;
      if (e.maxY > ce.maxY) ce.maxY = e.maxY;
      ++ce.edgeCount;
      v = v->next;
    } while (v != first);
  }
  if (count == 0) {
    minX = minY = maxX = maxY = 0;
  }
  index->originX = minX;
  index->originY = minY;
  // Cells of about one edge each, shaped like the average edge box (path
  // units are fractions of the document's width and height, so shapes are
  // often stretched), as powers of two.
  double sumW = 0, sumH = 0;
  for (uint32_t i = 0; i < index->edgeCount; ++i) {
    sumW += double(index->edges[i].maxX) - index->edges[i].minX + 1;
    sumH += double(index->edges[i].maxY) - index->edges[i].minY + 1;
  }
  const double area = (double(maxX) - minX + 1) * (double(maxY) - minY + 1) / double(count == 0 ? 1 : count);
  const double aspect = (sumW + 1) / (sumH + 1);
  int columnShift = ShiftFor(std::sqrt(area * aspect));
  int rowShift = ShiftFor(std::sqrt(area / aspect));
  uint64_t columns = 0, rows = 0, entries = 0;
  for (;;) {
    columns = uint64_t((int64_t(maxX) - minX) >> columnShift) + 1;
    rows = uint64_t((int64_t(maxY) - minY) >> rowShift) + 1;
    entries = EntryCount(*index, columnShift, rowShift);
    const bool fits = entries <= MaxCellsPerEdge * count + 16 && columns * rows <= 4 * count + 16;
    if (fits || (columnShift >= MaxCellShift && rowShift >= MaxCellShift)) break;
    if (columnShift < MaxCellShift) ++columnShift;
    if (rowShift < MaxCellShift) ++rowShift;
  }
  index->columnShift = columnShift;
  index->rowShift = rowShift;
  index->columns = uint32_t(columns);
  index->rows = uint32_t(rows);
  const uint64_t cells = columns * rows;
  index->cellStart = static_cast<uint32_t*>(NewArray(cells + 1, sizeof(uint32_t)));
  index->cellEdges = static_cast<uint32_t*>(NewArray(entries, sizeof(uint32_t)));
  if (index->cellStart == nullptr || index->cellEdges == nullptr) {
    FreeEdgeIndex(index);
    return 0;
  }
  for (uint64_t i = 0; i <= cells; ++i) index->cellStart[i] = 0;
  // Counting sort of the (cell, edge) entries; edges are entered in order, so
  // every cell lists its edges by increasing number.
  for (int pass = 0; pass < 2; ++pass) {
    for (uint32_t i = 0; i < index->edgeCount; ++i) {
      const EdgeEntry& e = index->edges[i];
      const CellRange r = CellsOfBox(*index, e.minX, e.minY, e.maxX, e.maxY);
      for (uint32_t row = r.firstRow; row <= r.lastRow; ++row)
        for (uint32_t column = r.firstColumn; column <= r.lastColumn; ++column) {
          const uint32_t cell = row * index->columns + column;
          if (pass == 0)
            ++index->cellStart[cell + 1];
          else
            index->cellEdges[index->cellStart[cell]++] = i;
        }
    }
    if (pass == 0) {
      for (uint64_t i = 0; i < cells; ++i) index->cellStart[i + 1] += index->cellStart[i];
    } else {
      for (uint64_t i = cells; i > 0; --i) index->cellStart[i] = index->cellStart[i - 1];
      index->cellStart[0] = 0;
    }
  }
  return 1;
}

void FreeEdgeIndex(EdgeIndex* index) {
  FreeBlockOf(index->edges);
  FreeBlockOf(index->marks);
  FreeBlockOf(index->contours);
  FreeBlockOf(index->cellStart);
  FreeBlockOf(index->cellEdges);
  *index = EdgeIndex{};
}

uint64_t EntriesInBox(const EdgeIndex& index, int64_t minX, int64_t minY, int64_t maxX, int64_t maxY) {
  const CellRange cells = CellsOfBox(index, minX, minY, maxX, maxY);
  if (cells.empty) return 0;
  uint64_t total = 0;
  for (uint32_t row = cells.firstRow; row <= cells.lastRow; ++row) {
    const uint32_t base = row * index.columns;
    total += index.cellStart[base + cells.lastColumn + 1] - index.cellStart[base + cells.firstColumn];
  }
  return total;
}

CellRange CellsOfBox(const EdgeIndex& index, int64_t minX, int64_t minY, int64_t maxX, int64_t maxY) {
  CellRange r{};
  if (index.columns == 0 || index.rows == 0) {
    r.empty = true;
    return r;
  }
  const int64_t gridMaxX = index.originX + (int64_t(index.columns) << index.columnShift) - 1;
  const int64_t gridMaxY = index.originY + (int64_t(index.rows) << index.rowShift) - 1;
  if (maxX < index.originX || maxY < index.originY || minX > gridMaxX || minY > gridMaxY || minX > maxX || minY > maxY) {
    r.empty = true;
    return r;
  }
  r.firstColumn = CellOf(minX, index.originX, index.columnShift, index.columns);
  r.lastColumn = CellOf(maxX, index.originX, index.columnShift, index.columns);
  r.firstRow = CellOf(minY, index.originY, index.rowShift, index.rows);
  r.lastRow = CellOf(maxY, index.originY, index.rowShift, index.rows);
  r.empty = false;
  return r;
}
