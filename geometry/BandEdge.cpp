#include "geometry/BandEdge.h"

#include <cmath>
#include <numbers>

#include "core/WorkMemory.h"
#include "geometry/SortByFirstRow.h"

NodePool gBandEdgePool = {sizeof(BandEdge), EdgeRecordsPerBlock, nullptr, nullptr};

namespace {
// y in sample-row units is y * 4 * 4096: a point's truncated y (1/4096 pixel)
// times the sample rows per pixel.
constexpr int64_t RowUnitsPerPoint = SampleRows;
// x in x units is the truncated x (1/4096 pixel) times the columns per pixel.
constexpr int64_t ColumnUnitsPerPoint = SampleColumns;

int64_t FloorShift(int64_t value) { return value >> GridFractionBits; }

// Points far outside any pixel frame (a nearly parallel offset crossing can
// lie millions of pixels away) are pulled in, so that every product below
// stays within 64 bits. Elements that large are rejected by their builder.
constexpr double CoordinateLimit = 1 << 20;  // pixels
double ClampCoordinate(double value) {
  if (!(value == value)) return 0;
  return value < -CoordinateLimit ? -CoordinateLimit : value > CoordinateLimit ? CoordinateLimit : value;
}
PixelPoint ClampPoint(PixelPoint point) { return PixelPoint{ClampCoordinate(point.x), ClampCoordinate(point.y)}; }

// Brings an angle difference into -half turn .. +half turn.
int64_t WrapDirectionDifference(int64_t difference) {
  if (difference > DirectionHalfTurn) return difference - DirectionTurn;
  if (difference < -DirectionHalfTurn) return difference + DirectionTurn;
  return difference;
}
}  // namespace

int64_t TruncScaled(double value, double scale) {
  double scaled = value * scale;
  if (!(scaled == scaled)) return 0;
  constexpr double Limit = 9.0e18;
  if (scaled >= Limit) return static_cast<int64_t>(Limit);
  if (scaled <= -Limit) return -static_cast<int64_t>(Limit);
  return static_cast<int64_t>(scaled);
}

int32_t DirectionAngle(double dx, double dy) {
  double turns = (std::atan2(-dy, -dx) + std::numbers::pi) * DirectionStepsPerRadian + 0.5;
  return static_cast<int32_t>(TruncScaled(turns, 1.0)) & DirectionMask;
}

int PlaceEdge(PixelPoint p, PixelPoint q, EdgePlacement* placement) {
  p = ClampPoint(p);
  q = ClampPoint(q);
  int64_t yP = TruncScaled(p.y, PointScale);
  int64_t yQ = TruncScaled(q.y, PointScale);
  if (yP == yQ) return 0;
  bool pIsTop = yP < yQ;
  const PixelPoint& top = pIsTop ? p : q;
  const PixelPoint& bottom = pIsTop ? q : p;
  int64_t yTop = (pIsTop ? yP : yQ) * RowUnitsPerPoint;
  int64_t yBottom = (pIsTop ? yQ : yP) * RowUnitsPerPoint;
  // First row centre strictly below the top, last one at or above the bottom.
  int64_t firstCentre = ((FloorShift(yTop - GridHalf) + 1) << GridFractionBits) + GridHalf;
  int64_t lastCentre = (FloorShift(yBottom - GridHalf) << GridFractionBits) + GridHalf;
  if (lastCentre < firstCentre) return 0;

  int64_t m = firstCentre - yTop;
  int64_t xTop = TruncScaled(top.x, PointScale) * ColumnUnitsPerPoint;
  int64_t dx = TruncScaled(bottom.x, PointScale) * ColumnUnitsPerPoint - xTop;
  int64_t dy = yBottom - yTop;
  placement->pIsTop = pIsTop;
  placement->firstRow = static_cast<int32_t>(FloorShift(firstCentre));
  placement->lastRow = static_cast<int32_t>(FloorShift(lastCentre));
  placement->m = m;
  placement->height = dy;
  if (firstCentre == lastCentre) {
    placement->xStep = 0;
    placement->x = xTop + dx * m / dy;
  } else {
    placement->xStep = dx * GridOne / dy;
    placement->x = ((placement->xStep * m) >> GridFractionBits) + xTop;
  }
  return 1;
}

int MakeBandEdge(BandEdgeList* list, PixelPoint p, PixelPoint q, int32_t distanceP, int32_t distanceQ,
                 int32_t directionP, int32_t directionQ, uint32_t flags, OffsetNode* firstOwner,
                 OffsetNode* secondOwner) {
  EdgePlacement place;
  if (!PlaceEdge(p, q, &place)) return 1;
  // Attributes travel with their ends; a downward edge has its owners
  // exchanged so that the first owner is on the left along a row.
  bool pIsTop = place.pIsTop;
  int64_t distanceTop = int64_t(pIsTop ? distanceP : distanceQ) << FixedShift;
  int64_t distanceBottom = int64_t(pIsTop ? distanceQ : distanceP) << FixedShift;
  int64_t directionTop = pIsTop ? directionP : directionQ;
  int64_t directionBottom = pIsTop ? directionQ : directionP;
  if (pIsTop) {
    OffsetNode* swap = firstOwner;
    firstOwner = secondOwner;
    secondOwner = swap;
  }

  int64_t m = place.m;
  int64_t dy = place.height;
  int64_t distance, distanceStep, direction, directionStep;
  if (place.firstRow == place.lastRow) {
    distance = distanceTop + (distanceBottom - distanceTop) * m / dy;
    distanceStep = 0;
    direction = directionTop + DirectionBias;
    directionStep = 0;
  } else {
    distanceStep = distanceBottom != distanceTop ? (distanceBottom - distanceTop) * GridOne / dy : 0;
    distance = distanceTop + ((distanceStep * m) >> GridFractionBits);
    if (directionBottom != directionTop) {
      directionStep = WrapDirectionDifference(directionBottom - directionTop) * GridOne / dy;
      direction = ((directionStep * m) >> GridFractionBits) + directionTop + DirectionBias;
    } else {
      directionStep = 0;
      direction = directionTop + DirectionBias;
    }
  }

  if (firstOwner == nullptr) flags |= NoFirstOwner;
  if (secondOwner == nullptr) flags |= NoSecondOwner;
  BandEdge* edge = TakeRecordOf<BandEdge>(&gBandEdgePool);
  if (edge == nullptr) return 0;
  edge->lastRow = place.lastRow;
  edge->firstRow = place.firstRow;
  edge->x = static_cast<int32_t>(place.x + ColumnRounding);
  edge->xStep = static_cast<int32_t>(place.xStep);
  edge->distance = static_cast<int32_t>(distance);
  edge->distanceStep = static_cast<int32_t>(distanceStep);
  edge->direction = static_cast<int32_t>(direction);
  edge->directionStep = static_cast<int32_t>(directionStep);
  edge->flags = flags;
  edge->secondOwner = secondOwner;
  edge->firstOwner = firstOwner;
  edge->column = 0;
  edge->value = 0;
  edge->segment = nullptr;
  edge->nextOpening = nullptr;
  edge->next = list->head;
  list->head = edge;
  ++list->count;
  return 1;
}

BandEdge* SortedInsert(BandEdge* edge, BandEdge* list) {
  BandEdge** link = &list;
  while (*link != nullptr && (*link)->firstRow < edge->firstRow) link = &(*link)->next;
  edge->next = *link;
  *link = edge;
  return list;
}

void FinishEdgeList(BandEdgeList* list) { list->head = SortByFirstRow(list->head); }

void WidenBounds(FixedBounds* bounds, double x, double y) {
  int64_t fx = TruncScaled(x, FixedOne);
  int64_t fy = TruncScaled(y, FixedOne);
  if (fx < bounds->minX)
    bounds->minX = fx;
  else if (fx > bounds->maxX)
    bounds->maxX = fx;
  if (fy < bounds->minY)
    bounds->minY = fy;
  else if (fy > bounds->maxY)
    bounds->maxY = fy;
}

PixelPoint OffsetEdgeEnd(const OffsetNode* p, double size) {
  const OffsetNode* n = p->next;
  PixelPoint end = {n->ox, n->oy};
  PixelPoint perpendicular = {n->x + size * p->nx, n->y + size * p->ny};
  if ((p->flags & (Collapsed | EndPerpendicular)) != 0) return perpendicular;
  if ((n->flags & Collapsed) != 0 || (p->flags & EndTrimCheck) != 0) {
    double side = p->nx * (end.y - n->y) - p->ny * (end.x - n->x);
    if (side < 0) return perpendicular;
  }
  return end;
}

int32_t HorizontalGradient(PixelPoint a, int32_t da, PixelPoint b, int32_t db, PixelPoint c, int32_t dc) {
  // Sort by y; values travel with their points.
  PixelPoint points[3] = {a, b, c};
  int32_t values[3] = {da, db, dc};
  for (int i = 1; i < 3; ++i)
    for (int k = i; k > 0 && points[k].y < points[k - 1].y; --k) {
      PixelPoint point = points[k];
      points[k] = points[k - 1];
      points[k - 1] = point;
      int32_t value = values[k];
      values[k] = values[k - 1];
      values[k - 1] = value;
    }
  const PixelPoint& top = points[0];
  const PixelPoint& middle = points[1];
  const PixelPoint& bottom = points[2];
  double height = bottom.y - top.y;
  if (height == 0) return 0;
  double r = (middle.y - top.y) / height;
  double width = SampleColumns * (r * (bottom.x - top.x) + (top.x - middle.x));
  if (width == 0) return 0;
  double gradient = FixedOne * (r * (values[2] - values[0]) + (values[0] - values[1])) / width;
  // A sliver so thin that the gradient leaves the 32-bit range has, for the
  // rasterisers, no usable gradient either.
  if (!(gradient > -2147483647.0 && gradient < 2147483647.0)) return 0;
  return static_cast<int32_t>(gradient);
}

int MakeBandQuadrilateral(OffsetNode* p, BandEdgeList* list, FixedBounds* bounds, double size, BandForm form) {
  OffsetNode* n = p->next;
  if (form == BandForm::Outer)
    WidenBounds(bounds, p->ox, p->oy);
  else
    WidenBounds(bounds, p->x, p->y);

  PixelPoint point = {p->x, p->y};
  PixelPoint nextPoint = {n->x, n->y};
  PixelPoint start = {p->ox, p->oy};
  PixelPoint end = OffsetEdgeEnd(p, size);
  int32_t a = DirectionAngle(start.x - point.x, start.y - point.y) << FixedShift;
  int32_t b = DirectionAngle(end.x - nextPoint.x, end.y - nextPoint.y) << FixedShift;
  p->distanceStep = HorizontalGradient(start, OffsetDistance, end, OffsetDistance, point, OutlineDistance);

  if (!IsInsertedNode(p) && !MakeBandEdge(list, point, nextPoint, OutlineDistance, OutlineDistance, a, b,
                                          OutlineEdgeFlag, p, nullptr))
    return 0;
  bool startShared = (p->flags & (StartReset | Collapsed)) == 0 && (p->prev->flags & Collapsed) == 0;
  if (!MakeBandEdge(list, start, point, OffsetDistance, OutlineDistance, a, a, 0, p, startShared ? p->prev : nullptr))
    return 0;
  if (!MakeBandEdge(list, start, end, OffsetDistance, OffsetDistance, a, b, 0, nullptr, p)) return 0;
  if ((p->flags & (EndTrimCheck | Collapsed)) != 0 || (n->flags & Collapsed) != 0)
    if (!MakeBandEdge(list, end, nextPoint, OffsetDistance, OutlineDistance, b, b, 0, nullptr, p)) return 0;
  return 1;
}

int BuildBands(OffsetRingList* rings, BandEdgeList* list, FixedBounds* bounds, double size, BandForm form) {
  for (OffsetRingList* ring = rings; ring != nullptr && !RunFailed(); ring = ring->next) {
    OffsetNode* node = ring->first;
    if (node == nullptr) continue;
    do {
      if (!MakeBandQuadrilateral(node, list, bounds, size, form)) break;
      node = node->next;
    } while (node != ring->first && !RunFailed());
  }
  FinishEdgeList(list);
  return RunFailed() ? 0 : 1;
}

void ShiftBandEdges(BandEdge* list, int32_t x0, int32_t y0) {
  uint32_t rowShift = static_cast<uint32_t>(y0) * SampleRows;
  uint32_t xShift = static_cast<uint32_t>(x0) * XUnitsPerPixel;
  for (BandEdge* edge = list; edge != nullptr; edge = edge->next) {
    edge->firstRow = static_cast<int32_t>(static_cast<uint32_t>(edge->firstRow) - rowShift);
    edge->lastRow = static_cast<int32_t>(static_cast<uint32_t>(edge->lastRow) - rowShift);
    edge->x = static_cast<int32_t>(static_cast<uint32_t>(edge->x) - xShift);
  }
}
