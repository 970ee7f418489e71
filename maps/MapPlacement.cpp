#include <cmath>

#include "bevel/ElementBuffer.h"
#include "maps/BackgroundImage.h"
#include "maps/ImageCache.h"
#include "maps/MapFill.h"
#include "maps/MapFrame.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "maps/MapPlacement.h"
#include "render/Sampling.h"
#include "style/StyleRecord.h"

namespace {
// Mapping derivatives and origins are 16.16 fixed point.
constexpr double MapFixedOne = double(1 << MapFractionBits);
// Stored links are MappingLinkStored + position; a list holds at most this
// many layers, so larger values are pointers of an earlier resolution.
constexpr uintptr_t MaxStoredLayers = 1024;
constexpr uint32_t KindAndElementBits = 0xF00FF;
constexpr uint32_t AllElementsAllChannels = 0xF001F;

// Truncates toward zero into 32 bits, saturating (NaN gives 0): placements
// far outside any sensible range stay defined.
int32_t Fixed(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return int32_t(v);
}

bool Placeable(const MapLayer& layer) {
  return layer.image != nullptr && std::isfinite(layer.placedWidth) && std::isfinite(layer.placedHeight) &&
         std::isfinite(layer.angle) && std::isfinite(layer.centerX) && std::isfinite(layer.centerY) &&
         layer.placedWidth != 0.0f && layer.placedHeight != 0.0f;
}

void CopyPlacement(const MapLayer& from, MapLayer* to) {
  to->placedWidth = from.placedWidth;
  to->placedHeight = from.placedHeight;
  to->angle = from.angle;
  to->centerX = from.centerX;
  to->centerY = from.centerY;
}

int32_t ListLength(const MapLayer* list) {
  int32_t n = 0;
  for (; list != nullptr; list = list->next) ++n;
  return n;
}

MapLayer* LayerAt(MapLayer* list, uintptr_t position) {
  for (; list != nullptr; list = list->next, --position)
    if (position == 0) return list;
  return nullptr;
}

// The layer of `list` at address `value`, or null: the address is compared,
// never followed, until it is known to be a member.
MapLayer* MemberOf(MapLayer* list, uintptr_t value) {
  for (; list != nullptr; list = list->next)
    if (reinterpret_cast<uintptr_t>(list) == value) return list;
  return nullptr;
}

uint32_t Propagate(MapLayer* list, MapLayer* layer, int32_t depthLeft) {
  PlaceLayer(layer);
  uint32_t flags = layer->layerFlags & KindAndElementBits;
  if (depthLeft <= 0) return flags;
  for (MapLayer* other = list; other != nullptr; other = other->next) {
    if (other == layer || LinkedLayer(*other) != layer) continue;
    CopyPlacement(*layer, other);
    flags |= Propagate(list, other, depthLeft - 1);
  }
  return flags;
}

// 1 when following the links from `layer` reaches a Custom, Fit or Tile
// layer within the list's length (no cycle).
bool ReachesPlacedLayer(const MapLayer& layer, int32_t steps) {
  const MapLayer* l = &layer;
  for (int32_t i = 0; i <= steps; ++i) {
    const MapLayer* next = LinkedLayer(*l);
    if (next == nullptr) return true;
    l = next;
  }
  return false;
}

}  // namespace

void PlaceLayer(MapLayer* layer) {
  if (!Placeable(*layer)) return;
  const double w = layer->placedWidth, h = layer->placedHeight, a = layer->angle;
  const double c = std::cos(a), s = std::sin(a);
  const double iw = layer->image->width, ih = layer->image->height;
  // X = (w cos, w sin) spans the image columns, Y = (-h sin, h cos) its rows;
  // inverting [X Y] gives the derivatives of column and row per pixel step.
  layer->colDx = Fixed(iw * c / w * MapFixedOne);
  layer->colDy = Fixed(iw * s / w * MapFixedOne);
  layer->rowDx = Fixed(-ih * s / h * MapFixedOne);
  layer->rowDy = Fixed(ih * c / h * MapFixedOne);
  // Corner P0 = -(X + Y)/2 from the centre maps to row 0, column 0.
  const double p0x = -(w * c - h * s) / 2, p0y = -(w * s + h * c) / 2;
  const double dx = -p0x - layer->centerX, dy = -p0y - layer->centerY;
  layer->row0 = int32_t(uint32_t(Fixed(dy * layer->rowDy)) + uint32_t(Fixed(dx * layer->rowDx)));
  layer->col0 = int32_t(uint32_t(Fixed(dy * layer->colDy)) + uint32_t(Fixed(dx * layer->colDx)));
}

void FitOrTilePlacement(MapLayer* layer, ElementBuffer* const buffers[3]) {
  if (layer->image == nullptr) return;
  layer->angle = 0.0f;
  layer->placedWidth = layer->image->width;
  layer->placedHeight = layer->image->height;
  if (layer->mappingLink == MappingFit) {
    for (int32_t e = 0; e < ElementCount; ++e) {
      if ((layer->layerFlags & ElementSelectorBit(e)) == 0 || buffers[e] == nullptr) continue;
      layer->placedWidth = buffers[e]->width;
      layer->placedHeight = buffers[e]->height;
    }
  }
  layer->centerX = layer->placedWidth / 2;
  layer->centerY = layer->placedHeight / 2;
  // The Outer Bevel's buffer starts at the effect frame's origin.
  if (layer->layerFlags & ApplyToOuterBevel) return;
  const ElementBuffer* origin = (layer->layerFlags & ApplyToInnerBevel) && buffers[InnerBevelElement] != nullptr
                                    ? buffers[InnerBevelElement]
                                    : buffers[MainElement];
  if (origin == nullptr) return;
  layer->centerX += origin->x0;
  layer->centerY += origin->y0;
}

uint32_t PropagatePlacement(MapLayer* list, MapLayer* layer) { return Propagate(list, layer, ListLength(list)); }

void ResolveLayersAfterLoad(StyleRecord* style) {
  const MapFrame& frame = CurrentMapFrame();
  MapLayer* list = style->mapLayers;
  for (MapLayer* layer = list; layer != nullptr; layer = layer->next) {
    if (layer->layerFlags & BackgroundLayer) {
      AttachBackgroundImage(layer, GetBackgroundImage(style));
    } else if (layer->mappingLink > MappingTile) {
      // A stored position, or a pointer kept from an earlier resolution; any
      // other value (a damaged file) names no layer.
      MapLayer* target = layer->mappingLink < MappingLinkStored + MaxStoredLayers
                             ? LayerAt(list, layer->mappingLink - MappingLinkStored)
                             : MemberOf(list, layer->mappingLink);
      if (target == nullptr || target == layer || target->image == nullptr || (target->layerFlags & BackgroundLayer))
        layer->mappingLink = MappingCustom;
      else
        layer->mappingLink = reinterpret_cast<uintptr_t>(target);
    }
    if (layer->mappingLink == MappingFit || layer->mappingLink == MappingTile) {
      FitOrTilePlacement(layer, frame.buffers);
    } else if (layer->mappingLink == MappingCustom && !(layer->layerFlags & BackgroundLayer)) {
      layer->centerX -= float(frame.effectLeft);
      layer->centerY -= float(frame.effectTop);
    }
    // Scalar and bump layers read the maximum plane, which a shared or
    // Background image may not have made yet.
    if (layer->image != nullptr && LayerWantsMaxPlane(*layer) && !MakeMaxPlane(layer->image)) return;
    if (layer->image != nullptr && !(layer->image->flags & ImageAlpha)) {
      if (LayerAlphaOutput(*layer) == AlphaOutputImageAlpha)
        layer->layerFlags = (layer->layerFlags & ~AlphaOutputMask) | (AlphaOutputOpaque << AlphaOutputShift);
      layer->layerFlags &= ~ImageAlphaAsRgb;
    }
  }
  // A chain of links that loops never reaches a placed layer: it is placed by hand instead.
  const int32_t length = ListLength(list);
  for (MapLayer* layer = list; layer != nullptr; layer = layer->next) {
    if (ReachesPlacedLayer(*layer, length)) continue;
    layer->mappingLink = MappingCustom;
    layer->centerX -= float(frame.effectLeft);
    layer->centerY -= float(frame.effectTop);
  }
  for (MapLayer* layer = list; layer != nullptr; layer = layer->next)
    if (layer->mappingLink <= MappingTile) PropagatePlacement(list, layer);
  RefreshMaterials(style, frame.buffers, AllElementsAllChannels);
}
