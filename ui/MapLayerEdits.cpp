#include "ui/MapLayerEdits.h"

#include <cstdio>
#include <cstring>

#include "core/WorkMemory.h"
#include "maps/BackgroundImage.h"
#include "maps/ImageCache.h"
#include "maps/MapFrame.h"
#include "maps/MapImage.h"
#include "maps/MapPlacement.h"
#include "style/StyleIo.h"
#include "ui/SliderMaps.h"

namespace {
constexpr DialogAction NoAction{BevelRebuild::None, 0, 0, false};
// What a material refresh rewrites for a layer: its kind and its elements.
constexpr uint32_t LayerRefreshMask = ApplyToMask | LayerKindMask;

const char* const PlacementModes[] = {"Custom", "Fit", "Tile"};

DialogAction LayerChanged(const MapLayer& layer, uint32_t moreFlags = 0) {
  return RefreshAndRender((layer.layerFlags & LayerRefreshMask) | moreFlags);
}

int32_t ListLength(const MapLayer* list) {
  int32_t n = 0;
  for (; list != nullptr; list = list->next) ++n;
  return n;
}

// 1 when `from`'s placement chain reaches `layer` (bounded by the list's
// length, so a damaged chain cannot loop).
bool ChainReaches(const MapLayer* from, const MapLayer* layer, int32_t length) {
  for (int32_t step = 0; from != nullptr && step <= length; ++step) {
    if (from == layer) return true;
    from = LinkedLayer(*from);
  }
  return false;
}

// The layers that followed `layer`'s placement follow the first of them
// instead, which keeps the placement by hand; nobody points at `layer` then.
void RelinkFollowers(MapLayer* list, const MapLayer* layer) {
  MapLayer* first = nullptr;
  for (MapLayer* l = list; l != nullptr; l = l->next) {
    if (LinkedLayer(*l) != layer) continue;
    if (first == nullptr) {
      first = l;
      l->mappingLink = MappingCustom;
    } else {
      l->mappingLink = reinterpret_cast<uintptr_t>(first);
    }
  }
}

bool IsFitOrTile(const MapLayer& layer) {
  return layer.mappingLink == MappingFit || layer.mappingLink == MappingTile;
}

// Fit or Tile placement from the bound frame's elements, passed on to the
// followers; returns what they cover.
uint32_t RefitLayer(MapLayer* list, MapLayer* layer) {
  FitOrTilePlacement(layer, CurrentMapFrame().buffers);
  return PropagatePlacement(list, layer);
}
}  // namespace

const char* MapKindName(uint32_t kind) {
  switch (kind) {
    case ColorMapLayer: return "Color Map";
    case OpacityMapLayer: return "Opacity Map";
    case ShininessMapLayer: return "Shininess Map";
    case ShinStrengthMapLayer: return "Shin. Strength Map";
    case ReflectivityMapLayer: return "Reflectivity Map";
    case BumpMapLayer: return "Bump Map";
    default: return "Background";
  }
}

void MapLayerLine(const MapLayer& layer, char* out, uint32_t capacity) {
  if (capacity == 0) return;
  if (layer.layerFlags & BackgroundLayer) {
    std::snprintf(out, capacity, "%s", BackgroundImageName);
    return;
  }
  const char* kind = MapKindName(LayerKind(layer));
  if (layer.image == nullptr) {
    std::snprintf(out, capacity, "%s", kind);
    return;
  }
  char base[MapImageNameCapacity];
  BaseName(layer.image->name, base, sizeof base);
  std::snprintf(out, capacity, "%s - %s", kind, base);
}

int32_t PlacementModeCount(const MapLayer& layer) { return (layer.layerFlags & BackgroundLayer) ? 1 : 3; }
const char* PlacementModeName(int32_t item) { return item >= 0 && item <= 2 ? PlacementModes[item] : ""; }

MapLayer* NextPlacementTarget(MapLayer* list, const MapLayer* layer, const MapLayer* after) {
  if (layer->layerFlags & BackgroundLayer) return nullptr;
  const int32_t length = ListLength(list);
  for (MapLayer* c = after != nullptr ? after->next : list; c != nullptr; c = c->next) {
    if (c == layer || (c->layerFlags & BackgroundLayer) || c->image == nullptr) continue;
    if (!ChainReaches(c, layer, length)) return c;
  }
  return nullptr;
}

int32_t PlacementItemOf(MapLayer* list, const MapLayer& layer) {
  if (layer.layerFlags & BackgroundLayer) return 0;
  if (layer.mappingLink <= MappingTile) return int32_t(layer.mappingLink);
  int32_t item = PlacementModeCount(layer);
  for (MapLayer* t = NextPlacementTarget(list, &layer, nullptr); t != nullptr;
       t = NextPlacementTarget(list, &layer, t), ++item)
    if (t == LinkedLayer(layer)) return item;
  return 0;
}

LayerControls LayerControlsOf(MapLayer* list, const MapLayer* layer) {
  LayerControls c{};
  if (layer == nullptr) return c;
  c.visible = true;
  for (int32_t e = 0; e < ElementCount; ++e) c.applyTo[e] = (layer->layerFlags & ElementSelectorBit(e)) != 0;
  c.invert = (layer->layerFlags & InvertMap) != 0;
  c.alphaAsRgb = (layer->layerFlags & ImageAlphaAsRgb) != 0;
  c.alphaOutput = int32_t(LayerAlphaOutput(*layer));
  c.amount = PercentOfByte(int32_t(layer->amount));
  const bool background = (layer->layerFlags & BackgroundLayer) != 0;
  const bool hasImage = layer->image != nullptr;
  c.imageButtonEnabled = !background;
  c.placementEnabled = !background && hasImage;
  c.otherOutputsEnabled = background || hasImage;
  c.imageAlphaEnabled = c.alphaAsRgbEnabled = c.otherOutputsEnabled;
  c.placementItem = PlacementItemOf(list, *layer);
  if (hasImage) {
    c.imageAlphaEnabled = c.alphaAsRgbEnabled = (layer->image->flags & ImageAlpha) != 0;
    BaseName(layer->image->name, c.imageText, sizeof c.imageText);
  } else {
    std::snprintf(c.imageText, sizeof c.imageText, "Invalid Image");
  }
  return c;
}

DialogAction SetLayerApplyTo(StyleRecord* style, MapLayer* layer, int32_t element, bool on) {
  if (element < 0 || element >= ElementCount) return NoAction;
  const uint32_t bit = ElementSelectorBit(element);
  const uint32_t flags = on ? layer->layerFlags | bit : layer->layerFlags & ~bit;
  if (flags == layer->layerFlags) return NoAction;
  layer->layerFlags = flags;
  // Fit stretches over the outermost element the layer covers; only a
  // change there moves it (Tile follows the same element's origin).
  const uint32_t furtherOut = ApplyToMask & ~((bit << 1) - 1);
  uint32_t moved = 0;
  if (IsFitOrTile(*layer) && (layer->layerFlags & furtherOut) == 0) moved = RefitLayer(style->mapLayers, layer);
  return RefreshAndRender(bit | LayerKind(*layer) | moved);
}

DialogAction SetLayerFlag(MapLayer* layer, uint32_t flag, bool on) {
  if (flag != InvertMap && flag != ImageAlphaAsRgb) return NoAction;
  const uint32_t flags = on ? layer->layerFlags | flag : layer->layerFlags & ~flag;
  if (flags == layer->layerFlags) return NoAction;
  layer->layerFlags = flags;
  return LayerChanged(*layer);
}

DialogAction SetLayerAmount(MapLayer* layer, int32_t percent) {
  if (percent < 0 || percent > 100) return NoAction;
  const uint32_t amount = uint32_t(ByteOfPercent(percent));
  if (amount == layer->amount) return NoAction;
  layer->amount = amount;
  return LayerChanged(*layer);
}

DialogAction ChooseAlphaOutput(MapLayer* layer, int32_t output) {
  if (layer->image == nullptr || output < 0 || output > int32_t(AlphaOutputOpaque) ||
      uint32_t(output) == LayerAlphaOutput(*layer))
    return NoAction;
  if (output == AlphaOutputRgbIntensity && !MakeMaxPlane(layer->image)) return NoAction;
  layer->layerFlags = (layer->layerFlags & ~AlphaOutputMask) | (uint32_t(output) << AlphaOutputShift);
  return LayerChanged(*layer);
}

DialogAction ChoosePlacement(StyleRecord* style, MapLayer* layer, int32_t item, MapLayer* target) {
  MapLayer* list = style->mapLayers;
  if (target != nullptr) {
    bool offered = false;
    for (MapLayer* t = NextPlacementTarget(list, layer, nullptr); t != nullptr && !offered;
         t = NextPlacementTarget(list, layer, t))
      offered = t == target;
    if (!offered || LinkedLayer(*layer) == target) return NoAction;
    layer->placedWidth = target->placedWidth;
    layer->placedHeight = target->placedHeight;
    layer->centerX = target->centerX;
    layer->centerY = target->centerY;
    layer->angle = target->angle;
    layer->mappingLink = reinterpret_cast<uintptr_t>(target);
    return LayerChanged(*layer, PropagatePlacement(list, layer));
  }
  if (item < 0 || item >= PlacementModeCount(*layer) || layer->mappingLink == uintptr_t(item)) return NoAction;
  layer->mappingLink = uintptr_t(item);
  // Custom keeps the placement the layer has now: nothing moves.
  if (item == MappingCustom) return NoAction;
  return LayerChanged(*layer, RefitLayer(list, layer));
}

DialogAction ReplaceLayerImage(StyleRecord* style, MapLayer* layer, MapImage* image) {
  MapLayer* list = style->mapLayers;
  if (image == layer->image) return NoAction;
  if (image == nullptr) {
    layer->image = nullptr;
    RelinkFollowers(list, layer);
    layer->mappingLink = MappingCustom;
    return LayerChanged(*layer);
  }
  if (layer->image == nullptr) {
    layer->placedWidth = float(image->width);
    layer->placedHeight = float(image->height);
  }
  layer->image = image;
  if (!(image->flags & ImageAlpha) && LayerAlphaOutput(*layer) == AlphaOutputImageAlpha)
    layer->layerFlags = (layer->layerFlags & ~AlphaOutputMask) | (AlphaOutputOpaque << AlphaOutputShift);
  if (IsFitOrTile(*layer)) FitOrTilePlacement(layer, CurrentMapFrame().buffers);
  return LayerChanged(*layer, PropagatePlacement(list, layer));
}

MapLayer* AddMapLayer(StyleRecord* style, uint32_t kind, MapImage* image, DialogAction* action) {
  *action = NoAction;
  if (image == nullptr) return nullptr;
  MapLayer* layer = AppendMapLayer(&style->mapLayers);
  if (layer == nullptr) return nullptr;
  layer->amount = 255;
  layer->layerFlags = kind | ApplyToMask;
  layer->mappingLink = MappingCustom;
  if (!(image->flags & ImageAlpha)) layer->layerFlags |= AlphaOutputOpaque << AlphaOutputShift;
  if (kind & BackgroundLayer) {
    AttachBackgroundImage(layer, image);
  } else {
    layer->image = image;
    layer->placedWidth = float(image->width);
    layer->placedHeight = float(image->height);
    layer->centerX = layer->placedWidth / 2;
    layer->centerY = layer->placedHeight / 2;
  }
  *action = LayerChanged(*layer, PropagatePlacement(style->mapLayers, layer));
  return layer;
}

MapLayer* RemoveMapLayer(StyleRecord* style, MapLayer* layer, DialogAction* action) {
  *action = NoAction;
  MapLayer** link = &style->mapLayers;
  MapLayer* before = nullptr;
  while (*link != nullptr && *link != layer) {
    before = *link;
    link = &(*link)->next;
  }
  if (*link == nullptr) return layer;
  RelinkFollowers(style->mapLayers, layer);
  *link = layer->next;
  *action = LayerChanged(*layer);
  FreeBlockOf(layer);
  return before != nullptr ? before : style->mapLayers;
}
