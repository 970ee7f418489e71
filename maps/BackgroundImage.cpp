// The "Background" image: the document's own pixels under the effect, as a
// map image that Background layers read like any other.
#include <cstring>

#include "bevel/ElementBuffer.h"
#include "core/WorkMemory.h"
#include "maps/BackgroundImage.h"
#include "maps/ImageCache.h"
#include "maps/MapFrame.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "maps/MapPlacement.h"
#include "style/StyleRecord.h"

namespace {
// Reads the document under `area` into a new image record; null when out of
// memory or a read failed (code in the result cell).
MapImage* ReadBackground(const DocumentPlanes& document, const PixelRect& area, int32_t colorChannels,
                         int32_t hasTransparency) {
  MapImage* image = static_cast<MapImage*>(NewClearedBlock(sizeof(MapImage)));
  if (image == nullptr) return nullptr;
  std::strcpy(image->name, BackgroundImageName);
  image->width = uint16_t(area.right - area.left);
  image->height = uint16_t(area.bottom - area.top);
  image->flags = hasTransparency ? (ImageRgb | ImageAlpha) : ImageRgb;
  const uint32_t planeSize = ImagePlaneSize(*image);
  image->data = static_cast<uint8_t*>(NewBlock(planeSize * ImagePlaneCount(*image)));
  if (image->data == nullptr) {
    FreeImages(image);
    return nullptr;
  }
  // Three channels fill red, green and blue; a gray document's one channel fills all three.
  const int32_t reads = colorChannels >= 3 ? 3 : 1;
  for (int32_t c = 0; c < reads && !RunFailed(); ++c)
    document.read(document.context, c, area, image->data + uint32_t(c) * planeSize);
  if (reads == 1) {
    std::memcpy(image->data + planeSize, image->data, planeSize);
    std::memcpy(image->data + 2 * planeSize, image->data, planeSize);
  }
  if (hasTransparency && !RunFailed()) document.read(document.context, -1, area, image->data + 3 * planeSize);
  if (RunFailed()) {
    FreeImages(image);
    return nullptr;
  }
  return image;
}
}  // namespace

MapImage* GetBackgroundImage(StyleRecord* style) {
  const MapFrame& frame = CurrentMapFrame();
  if (frame.cache == nullptr || frame.document.describe == nullptr || frame.document.read == nullptr) return nullptr;
  PixelRect bounds{};
  int32_t colorChannels = 0, hasTransparency = 0;
  if (!frame.document.describe(frame.document.context, &bounds, &colorChannels, &hasTransparency) ||
      colorChannels < 1)
    return nullptr;
  PixelRect area{frame.effectTop, frame.effectLeft, frame.effectTop + frame.effectHeight,
                 frame.effectLeft + frame.effectWidth};
  if (area.top < bounds.top) area.top = bounds.top;
  if (area.left < bounds.left) area.left = bounds.left;
  if (area.bottom > bounds.bottom) area.bottom = bounds.bottom;
  if (area.right > bounds.right) area.right = bounds.right;
  if (area.right <= area.left || area.bottom <= area.top) return nullptr;
  if (area.right - area.left > UINT16_MAX || area.bottom - area.top > UINT16_MAX) return nullptr;

  // The cached one is reused while the area keeps its size.
  MapImage** link = frame.cache;
  while (*link != nullptr && FindCachedImage(*link, BackgroundImageName) != *link) link = &(*link)->next;
  MapImage* old = *link;
  if (old != nullptr && old->width == area.right - area.left && old->height == area.bottom - area.top) return old;

  MapImage* image = ReadBackground(frame.document, area, colorChannels, hasTransparency);
  if (image == nullptr) return nullptr;
  image->next = old != nullptr ? old->next : nullptr;
  *link = image;
  if (old != nullptr) {
    for (MapLayer* layer = style->mapLayers; layer != nullptr; layer = layer->next)
      if (layer->image == old) layer->image = image;
    if (style->reflectionImage == old) style->reflectionImage = image;
    old->next = nullptr;
    FreeImages(old);
  }
  return image;
}

void RefreshBackground(StyleRecord* style) {
  const MapFrame& frame = CurrentMapFrame();
  if (frame.cache == nullptr || FindCachedImage(*frame.cache, BackgroundImageName) == nullptr) return;
  MapImage* image = GetBackgroundImage(style);
  for (MapLayer* layer = style->mapLayers; layer != nullptr; layer = layer->next) {
    if (!(layer->layerFlags & BackgroundLayer)) continue;
    AttachBackgroundImage(layer, image);
    PlaceLayer(layer);
  }
}

void AttachBackgroundImage(MapLayer* layer, MapImage* image) {
  const MapFrame& frame = CurrentMapFrame();
  layer->image = image;
  layer->mappingLink = MappingCustom;
  layer->placedWidth = image != nullptr ? float(image->width) : 0.0f;
  layer->placedHeight = image != nullptr ? float(image->height) : 0.0f;
  layer->angle = 0.0f;
  // The image starts at the document's edge, which lies inside the effect
  // frame when the effect reaches beyond the document.
  layer->centerX = layer->placedWidth / 2 + (frame.effectLeft < 0 ? float(-frame.effectLeft) : 0.0f);
  layer->centerY = layer->placedHeight / 2 + (frame.effectTop < 0 ? float(-frame.effectTop) : 0.0f);
}
