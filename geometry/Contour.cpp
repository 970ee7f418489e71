#include "geometry/Contour.h"

#include "core/NodePool.h"
#include "core/WorkMemory.h"

NodePool gVertexPool = {sizeof(PathVertex), NodeRecordsPerBlock, nullptr, nullptr};

namespace {
PathVertex* NewVertex(int32_t x, int32_t y, uint32_t flags) {
  auto* vertex = TakeRecordOf<PathVertex>(&gVertexPool);
  if (vertex == nullptr) return nullptr;
  vertex->flags = flags;
  vertex->x = x;
  vertex->y = y;
  vertex->group = nullptr;
  vertex->link.crossings = nullptr;
  return vertex;
}
}  // namespace

int AppendVertex(Contour* contour, int32_t x, int32_t y, uint32_t extraFlags) {
  PathVertex* vertex = NewVertex(x, y, extraFlags | AllWalkBits);
  if (vertex == nullptr) return 0;
  PathVertex* first = contour->firstVertex;
  if (first == nullptr) {
    vertex->next = vertex;
    vertex->prev = vertex;
    contour->firstVertex = vertex;
  } else {
    vertex->next = first;
    vertex->prev = first->prev;
    first->prev->next = vertex;
    first->prev = vertex;
  }
  return 1;
}

PathVertex* InsertVertexAfter(PathVertex* vertex, int32_t x, int32_t y) {
  const uint32_t extra = (vertex->flags & CurveEdge) != 0 ? (SmoothPoint | CurveEdge) : 0;
  PathVertex* inserted = NewVertex(x, y, extra | AllWalkBits);
  if (inserted == nullptr) return nullptr;
  inserted->prev = vertex;
  inserted->next = vertex->next;
  vertex->next->prev = inserted;
  vertex->next = inserted;
  return inserted;
}

void FreeContourList(Contour** list) {
  Contour* contour = *list;
  while (contour != nullptr) {
    Contour* next = contour->next;
    FreeBlockOf(contour);
    contour = next;
  }
  *list = nullptr;
}

uint32_t VertexCount(const Contour* contour) {
  const PathVertex* first = contour->firstVertex;
  if (first == nullptr) return 0;
  uint32_t count = 0;
  const PathVertex* vertex = first;
  do {
    ++count;
    vertex = vertex->next;
  } while (vertex != first);
  return count;
}
