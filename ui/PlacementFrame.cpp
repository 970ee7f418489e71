#include "ui/PlacementFrame.h"

#include <cmath>

#include "style/StyleRecord.h"

const uint32_t HandleCodes[HandleCount] = {
    HitLeftEdge | HitTopEdge,     HitRightEdge | HitTopEdge, HitRightEdge | HitBottomEdge,
    HitLeftEdge | HitBottomEdge,  HitTopEdge,                HitRightEdge,
    HitBottomEdge,                HitLeftEdge};

namespace {
// Unit offsets of the corners from the centre, in the layer's unrotated frame.
constexpr double CornerU[CornerCount] = {-0.5, 0.5, 0.5, -0.5};
constexpr double CornerV[CornerCount] = {-0.5, -0.5, 0.5, 0.5};

// Longest chain of shared placements followed before it counts as broken.
constexpr int32_t MaxPlacementChain = 4096;

int32_t Distance(int32_t a, int32_t b) { return a > b ? a - b : b - a; }
}  // namespace

PreviewMapping MakePreviewMapping(float zoom, int32_t sourceLeft, int32_t sourceTop, int32_t offsetX,
                                  int32_t offsetY, int32_t effectLeft, int32_t effectTop) {
  return PreviewMapping{zoom, int32_t(double(zoom) * sourceLeft) - offsetX, int32_t(double(zoom) * sourceTop) - offsetY,
                        effectLeft, effectTop};
}

void ViewToEffect(const PreviewMapping& mapping, int32_t viewX, int32_t viewY, double* x, double* y) {
  *x = double(viewX + mapping.originX) / double(mapping.zoom) - mapping.effectLeft;
  *y = double(viewY + mapping.originY) / double(mapping.zoom) - mapping.effectTop;
}

PlacementFrame MakePlacementFrame(const MapLayer& layer, const PreviewMapping& mapping) {
  PlacementFrame frame{};
  const double c = std::cos(double(layer.angle)), s = std::sin(double(layer.angle));
  const double centreX = mapping.effectLeft + double(layer.centerX);
  const double centreY = mapping.effectTop + double(layer.centerY);
  for (int32_t i = 0; i < CornerCount; ++i) {
    const double x = CornerU[i] * layer.placedWidth, y = CornerV[i] * layer.placedHeight;
    frame.handles[i].x = int32_t((centreX + x * c - y * s) * mapping.zoom);
    frame.handles[i].y = int32_t((centreY + x * s + y * c) * mapping.zoom);
  }
  for (int32_t i = 0; i < CornerCount; ++i) {
    const FramePoint& a = frame.handles[i];
    const FramePoint& b = frame.handles[(i + 1) % CornerCount];
    frame.handles[CornerCount + i] = FramePoint{(a.x + b.x) >> 1, (a.y + b.y) >> 1};
  }
  frame.mirrored = double(layer.placedWidth) * double(layer.placedHeight) < 0.0;
  return frame;
}

uint32_t HitTestFrame(const PlacementFrame& frame, FramePoint point) {
  for (int32_t i = 0; i < HandleCount; ++i)
    if (Distance(frame.handles[i].x, point.x) <= HandleReach && Distance(frame.handles[i].y, point.y) <= HandleReach)
      return HandleCodes[i];
  // Inside: on the inner side of all four sides. With y downwards the corners
  // run clockwise on screen, which makes every cross product non-negative.
  for (int32_t i = 0; i < CornerCount; ++i) {
    const FramePoint& a = frame.handles[i];
    const FramePoint& b = frame.handles[(i + 1) % CornerCount];
    const int64_t cross = int64_t(b.x - a.x) * (point.y - a.y) - int64_t(b.y - a.y) * (point.x - a.x);
    if (frame.mirrored ? cross > 0 : cross < 0) return HitOutside;
  }
  return HitInside;
}

MapLayer* EditedLayer(MapLayer* selected) {
  MapLayer* layer = selected;
  for (int32_t steps = 0; layer != nullptr; ++steps) {
    MapLayer* next = LinkedLayer(*layer);
    if (next == nullptr) return layer;
    if (steps == MaxPlacementChain) return nullptr;
    layer = next;
  }
  return nullptr;
}

bool CanEditPlacement(MapLayer* selected, uint8_t viewFlags) {
  if ((viewFlags & ShowMappingFlag) == 0 || selected == nullptr) return false;
  const MapLayer* edited = EditedLayer(selected);
  return edited != nullptr && edited->image != nullptr && (edited->layerFlags & BackgroundLayer) == 0 &&
         (selected->layerFlags & BackgroundLayer) == 0;
}
