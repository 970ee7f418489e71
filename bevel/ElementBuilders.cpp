#include "bevel/ElementBuilders.h"

#include "bevel/BandRasterisers.h"
#include "bevel/MainRasteriser.h"
#include "bevel/OffsetOutlines.h"
#include "bevel/OffsetUndo.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/BandEdge.h"

namespace {
constexpr int64_t PixelMask = FixedOne - 1;

// The bounds start at the first vertex of the first ring.
FixedBounds SeedBounds(const OffsetRingList* rings) {
  const OffsetNode* node = rings->first;
  int64_t x = node != nullptr ? TruncScaled(node->x, FixedOne) : 0;
  int64_t y = node != nullptr ? TruncScaled(node->y, FixedOne) : 0;
  return FixedBounds{x, y, x, y};
}

// Sets the buffer's frame from 16.16 bounds (floor of the minimum, ceiling of
// the maximum) and allocates its row array. An element outside the 16-bit
// pixel frame is a path this module cannot place: PathInvalidCode.
int SetFrame(const FixedBounds& bounds, ElementBuffer* buffer) {
  int64_t left = bounds.minX >> FixedShift;
  int64_t top = bounds.minY >> FixedShift;
  int64_t right = (bounds.maxX + PixelMask) >> FixedShift;
  int64_t bottom = (bounds.maxY + PixelMask) >> FixedShift;
  if (left < INT16_MIN || top < INT16_MIN || right > INT16_MAX || bottom > INT16_MAX) {
    SetResult(PathInvalidCode);
    return 0;
  }
  buffer->x0 = static_cast<int16_t>(left);
  buffer->y0 = static_cast<int16_t>(top);
  buffer->width = static_cast<uint16_t>(right - left);
  buffer->height = static_cast<uint16_t>(bottom - top);
  buffer->rows = nullptr;
  if (buffer->height == 0) return 1;
  buffer->rows = static_cast<Span**>(NewClearedBlock(sizeof(Span*) * uint32_t(buffer->height)));
  return buffer->rows != nullptr;
}

ElementBuffer* NewHeader(ElementBuffer** buffer) {
  *buffer = static_cast<ElementBuffer*>(NewClearedBlock(sizeof(ElementBuffer)));
  return *buffer;
}

// Offsets the outlines with the bevel's settings, nodes from `pool`. An
// earlier offset is undone first, while the nodes it inserted still exist.
int OffsetElement(OffsetRingList* rings, const BandSettings& settings, NodePool* pool) {
  UndoOffset(rings);
  SelectPool(pool);
  EmptyPool(pool);
  JoinCode join = JoinCodeForFlags(settings.bevelFlags);
  return OffsetOutlines(rings, join, settings.size, MiterLimitDistance(join, settings.size, settings.miterLimit));
}

// Bands, frame and coverage of a bevel element whose outlines are offset.
int RasteriseBevel(OffsetRingList* rings, double size, BandForm form, ElementBuffer* buffer,
                   ElementBuffer** mainBuffer, const TaskRunner* tasks) {
  EmptyPool(&gBandEdgePool);
  FixedBounds bounds = SeedBounds(rings);
  BandEdgeList edges = {nullptr, 0};
  int ok = BuildBands(rings, &edges, &bounds, size, form) && SetFrame(bounds, buffer);
  if (ok) {
    ShiftBandEdges(edges.head, buffer->x0, buffer->y0);
    ok = form == BandForm::Inner ? RasteriseInnerBands(edges.head, buffer, mainBuffer, tasks)
                                 : RasteriseOuterBands(edges.head, buffer, tasks);
  }
  EmptyPool(&gBandEdgePool);
  return ok;
}
}  // namespace

int BuildMainAlone(OffsetRingList* innerOutlines, ElementBuffer** mainBuffer) {
  if (innerOutlines == nullptr) return 1;
  DisposeElementBuffer(mainBuffer);
  EmptyPool(&gMainSpanPool);
  ElementBuffer* main = NewHeader(mainBuffer);
  if (main == nullptr) return 0;
  UndoOffset(innerOutlines);
  EmptyPool(&gPolygonEdgePool);
  FixedBounds bounds = SeedBounds(innerOutlines);
  PolygonEdgeList edges = {nullptr, 0};
  int ok = BuildPolygonEdges(innerOutlines, &edges, &bounds) && SetFrame(bounds, main);
  if (ok) {
    ShiftPolygonEdges(edges.head, main->x0, main->y0);
    ok = RasterisePolygon(edges.head, main);
  }
  EmptyPool(&gPolygonEdgePool);
  return ok;
}

int BuildInnerBevel(OffsetRingList* innerOutlines, const BandSettings& inner, ElementBuffer** innerBuffer,
                    ElementBuffer** mainBuffer, const TaskRunner* tasks) {
  DisposeElementBuffer(innerBuffer);
  DisposeElementBuffer(mainBuffer);
  EmptyPool(&gMainSpanPool);
  EmptyPool(&gInnerSpanPool);
  if (innerOutlines == nullptr) return 1;
  if (inner.size == 0) return BuildMainAlone(innerOutlines, mainBuffer);
  ElementBuffer* buffer = NewHeader(innerBuffer);
  if (buffer == nullptr) return 0;
  if (!OffsetElement(innerOutlines, inner, &gInnerOffsetPool)) return 0;
  return RasteriseBevel(innerOutlines, inner.size, BandForm::Inner, buffer, mainBuffer, tasks);
}

int BuildOuterBevel(OffsetRingList* outerOutlines, const BandSettings& outer, ElementBuffer** outerBuffer,
                    const TaskRunner* tasks) {
  if (outerOutlines == nullptr) return 0;
  DisposeElementBuffer(outerBuffer);
  EmptyPool(&gOuterSpanPool);
  if (outer.size == 0) return 1;
  ElementBuffer* buffer = NewHeader(outerBuffer);
  if (buffer == nullptr) return 0;
  if (!OffsetElement(outerOutlines, outer, &gOuterOffsetPool)) return 0;
  return RasteriseBevel(outerOutlines, outer.size, BandForm::Outer, buffer, nullptr, tasks);
}

void PlaceElements(ElementBuffer* outer, ElementBuffer* inner, ElementBuffer* main, const PixelRect& effect) {
  MoveElementOrigin(outer, -effect.left, -effect.top);
  MoveElementOrigin(inner, -effect.left, -effect.top);
  MoveElementOrigin(main, -effect.left, -effect.top);
}

int RebuildInner(OffsetRingList* innerOutlines, const BandSettings& inner, ElementBuffer** innerBuffer,
                 ElementBuffer** mainBuffer, const PixelRect& effect, const TaskRunner* tasks) {
  if (innerOutlines == nullptr) return 0;
  UndoOffset(innerOutlines);
  int ok = BuildInnerBevel(innerOutlines, inner, innerBuffer, mainBuffer, tasks);
  PlaceElements(nullptr, *innerBuffer, *mainBuffer, effect);
  return ok;
}

int RebuildOuter(OffsetRingList* outerOutlines, const BandSettings& outer, ElementBuffer** outerBuffer,
                 ElementBuffer** innerBuffer, ElementBuffer** mainBuffer, const PixelRect& previous,
                 PixelRect* effect, const TaskRunner* tasks) {
  MoveElementOrigin(*innerBuffer, previous.left, previous.top);
  MoveElementOrigin(*mainBuffer, previous.left, previous.top);
  DisposeElementBuffer(outerBuffer);
  EmptyPool(&gOuterSpanPool);
  int ok = 0;
  if (outerOutlines != nullptr) {
    UndoOffset(outerOutlines);
    ok = BuildOuterBevel(outerOutlines, outer, outerBuffer, tasks);
  }
  EffectRectangle(*outerBuffer, *innerBuffer, *mainBuffer, effect);
  return ok;
}

void ReleaseElements(ElementBuffer** outerBuffer, ElementBuffer** innerBuffer, ElementBuffer** mainBuffer) {
  DisposeElementBuffer(outerBuffer);
  DisposeElementBuffer(innerBuffer);
  DisposeElementBuffer(mainBuffer);
  EmptyPool(&gOuterSpanPool);
  EmptyPool(&gInnerSpanPool);
  EmptyPool(&gMainSpanPool);
}

int MakeElementBandEdges(OffsetRingList* rings, uint16_t size, BandForm form, int32_t left, int32_t top,
                         BandEdge** head) {
  *head = nullptr;
  EmptyPool(&gBandEdgePool);
  if (rings == nullptr) return 1;
  FixedBounds bounds = SeedBounds(rings);
  BandEdgeList edges = {nullptr, 0};
  if (!BuildBands(rings, &edges, &bounds, size, form)) return 0;
  ShiftBandEdges(edges.head, left, top);
  *head = edges.head;
  return 1;
}
