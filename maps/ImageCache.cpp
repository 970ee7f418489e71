#include <cstdio>

#include "core/WorkMemory.h"
#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "maps/TiffReader.h"
#include "platform/MessageBox.h"

namespace {
constexpr uint32_t MessageCapacity = MapImageNameCapacity + 32;

void ShowUnreadable(const char* path) {
  char text[MessageCapacity];
  std::snprintf(text, sizeof text, "Could not read %s!", path);
  ShowMessageBox(text, "Error", MessageIconStop, ActiveWindow());
}

bool InUse(const MapImage* image, const MapLayer* layers, const MapImage* reflection) {
  if (image == reflection) return true;
  for (const MapLayer* layer = layers; layer != nullptr; layer = layer->next)
    if (layer->image == image) return true;
  return false;
}
}  // namespace

int32_t SameNameIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    const unsigned char la = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca, lb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
    if (la != lb) return 0;
    if (ca == 0) return 1;
  }
}

MapImage* FindCachedImage(MapImage* cache, const char* name) {
  for (MapImage* image = cache; image != nullptr; image = image->next)
    if (SameNameIgnoringCase(image->name, name)) return image;
  return nullptr;
}

MapImage* LoadImage(MapImage** cache, const char* path, int32_t wantMax) {
  if (RunFailed()) return nullptr;
  if (MapImage* cached = FindCachedImage(*cache, path)) {
    if (wantMax && !MakeMaxPlane(cached)) return nullptr;
    return cached;
  }
  MapImage* image = nullptr;
  const TiffReadStatus status = ReadTiffMapImage(path, wantMax, &image);
  if (status == TiffUnreadable) ShowUnreadable(path);
  if (status != TiffReadOk) return nullptr;
  MapImage** tail = cache;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = image;
  return image;
}

int32_t MakeMaxPlane(MapImage* image) {
  if (image->flags & ImageHasMax) return 1;
  const uint32_t planeSize = ImagePlaneSize(*image);
  uint8_t* max = static_cast<uint8_t*>(NewBlock(planeSize));
  if (max == nullptr) return 0;
  const bool rgb = (image->flags & ImageRgb) != 0;
  const uint8_t* red = image->data;
  const uint8_t* green = rgb ? red + planeSize : red;
  const uint8_t* blue = rgb ? red + 2 * planeSize : red;
  for (uint32_t i = 0; i < planeSize; ++i) {
    uint8_t m = red[i] > green[i] ? red[i] : green[i];
    max[i] = blue[i] > m ? blue[i] : m;
  }
  image->maxPlane = max;
  image->flags |= ImageHasMax;
  return 1;
}

void FreeImages(MapImage* image) {
  while (image != nullptr) {
    MapImage* next = image->next;
    if (image->maxPlane != image->data) FreeBlockOf(image->maxPlane);
    FreeBlockOf(image->data);
    FreeBlockOf(image);
    image = next;
  }
}

void PruneImageCache(MapImage** cache, const MapLayer* layers, const MapImage* reflection) {
  MapImage** link = cache;
  while (*link != nullptr) {
    MapImage* image = *link;
    if (InUse(image, layers, reflection)) {
      link = &image->next;
      continue;
    }
    *link = image->next;
    image->next = nullptr;
    FreeImages(image);
  }
}
