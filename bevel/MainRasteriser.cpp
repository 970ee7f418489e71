#include "bevel/MainRasteriser.h"

#include "core/WorkMemory.h"
#include "geometry/SortByFirstRow.h"

NodePool gPolygonEdgePool = {sizeof(PolygonEdge), EdgeRecordsPerBlock, nullptr, nullptr};

namespace {
// Among equal first rows the later edge stays in front: the list is in
// reverse order of making.
void SortPolygonEdges(PolygonEdgeList* list) { list->head = SortByFirstRow(list->head); }

bool GoesBefore(const PolygonEdge* edge, const PolygonEdge* other) {
  return other->x > edge->x || (other->x == edge->x && other->xStep > edge->xStep);
}

// Inserts in front of the first edge with a greater x, or an equal x and a
// greater step.
void InsertActive(PolygonEdge** head, PolygonEdge* edge) {
  PolygonEdge** link = head;
  while (*link != nullptr && !GoesBefore(edge, *link)) link = &(*link)->next;
  edge->next = *link;
  *link = edge;
}

// Keeps the active list in x order after the edges moved (stable, nearly
// sorted), so that pairs stay inside the outline even where rounding lets
// two edges change places.
void ResortActive(PolygonEdge** head) {
  PolygonEdge* sorted = nullptr;
  PolygonEdge* tail = nullptr;
  PolygonEdge* edge = *head;
  while (edge != nullptr) {
    PolygonEdge* next = edge->next;
    if (tail == nullptr || !GoesBefore(edge, tail)) {
      edge->next = nullptr;
      if (tail == nullptr)
        sorted = edge;
      else
        tail->next = edge;
      tail = edge;
    } else {
      InsertActive(&sorted, edge);
    }
    edge = next;
  }
  *head = sorted;
}

int32_t WrapAdd(int32_t a, int64_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(static_cast<uint64_t>(b)));
}
}  // namespace

int MakePolygonEdge(PolygonEdgeList* list, PixelPoint p, PixelPoint q) {
  EdgePlacement place;
  if (!PlaceEdge(p, q, &place)) return 1;
  PolygonEdge* edge = TakeRecordOf<PolygonEdge>(&gPolygonEdgePool);
  if (edge == nullptr) return 0;
  edge->lastRow = place.lastRow;
  edge->firstRow = place.firstRow;
  edge->x = static_cast<int32_t>(place.x + ColumnRounding);
  edge->xStep = static_cast<int32_t>(place.xStep);
  edge->next = list->head;
  list->head = edge;
  ++list->count;
  return 1;
}

int BuildPolygonEdges(OffsetRingList* rings, PolygonEdgeList* list, FixedBounds* bounds) {
  int ok = 1;
  for (OffsetRingList* ring = rings; ring != nullptr && ok; ring = ring->next) {
    OffsetNode* node = ring->first;
    if (node == nullptr) continue;
    do {
      WidenBounds(bounds, node->x, node->y);
      ok = MakePolygonEdge(list, PixelPoint{node->x, node->y}, PixelPoint{node->next->x, node->next->y});
      node = node->next;
    } while (ok && node != ring->first);
  }
  SortPolygonEdges(list);
  return ok;
}

void ShiftPolygonEdges(PolygonEdge* list, int32_t x0, int32_t y0) {
  uint32_t rowShift = static_cast<uint32_t>(y0) * SampleRows;
  uint32_t xShift = static_cast<uint32_t>(x0) * XUnitsPerPixel;
  for (PolygonEdge* edge = list; edge != nullptr; edge = edge->next) {
    edge->firstRow = static_cast<int32_t>(static_cast<uint32_t>(edge->firstRow) - rowShift);
    edge->lastRow = static_cast<int32_t>(static_cast<uint32_t>(edge->lastRow) - rowShift);
    edge->x = static_cast<int32_t>(static_cast<uint32_t>(edge->x) - xShift);
  }
}

int RasterisePolygon(PolygonEdge* edges, ElementBuffer* buffer) {
  const int32_t width = buffer->width;
  const int32_t rowLimit = int32_t(buffer->height) * SampleRows;
  if (rowLimit == 0) return 1;
  auto* counts = static_cast<uint8_t*>(NewClearedBlock(static_cast<uint32_t>(width) + 1));
  if (counts == nullptr) return 0;

  PolygonEdge* pending = edges;
  PolygonEdge* active = nullptr;
  // Edges that begin above the buffer enter row 0 where they would have been.
  while (pending != nullptr && pending->firstRow < 0) {
    PolygonEdge* edge = pending;
    pending = edge->next;
    if (edge->lastRow < 0) continue;
    edge->x = WrapAdd(edge->x, int64_t(-edge->firstRow) * edge->xStep);
    InsertActive(&active, edge);
  }
  int32_t lowest = width, highest = 0;
  int ok = 1;
  for (int32_t row = 0; row < rowLimit && ok; ++row) {
    while (pending != nullptr && pending->firstRow <= row) {
      PolygonEdge* edge = pending;
      pending = edge->next;
      InsertActive(&active, edge);
    }
    for (PolygonEdge* left = active; left != nullptr && left->next != nullptr; left = left->next->next)
      AddSampleRun(counts, width, left->x >> GridFractionBits, left->next->x >> GridFractionBits);
    for (PolygonEdge** link = &active; *link != nullptr;) {
      if ((*link)->lastRow <= row)
        *link = (*link)->next;
      else
        link = &(*link)->next;
    }
    if ((row & (SampleRows - 1)) == SampleRows - 1)
      ok = EmitCoverageRow(counts, width, &buffer->rows[row >> SampleRowShift], &gMainSpanPool, &lowest, &highest);
    for (PolygonEdge* edge = active; edge != nullptr; edge = edge->next) edge->x = WrapAdd(edge->x, edge->xStep);
    ResortActive(&active);
  }
  FreeBlockOf(counts);
  return ok;
}
