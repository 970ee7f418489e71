#include "style/NameOnlyImages.h"

#include <cstring>

#include "core/WorkMemory.h"
#include "maps/MapImage.h"

MapImage* LoadNameOnlyImage(void* cache, const char* path, int32_t) {
  MapImage** tail = static_cast<MapImage**>(cache);
  for (; *tail != nullptr; tail = &(*tail)->next)
    if (std::strcmp((*tail)->name, path) == 0) return *tail;
  MapImage* image = static_cast<MapImage*>(NewClearedBlock(sizeof(MapImage)));
  if (image == nullptr) return nullptr;
  image->data = static_cast<uint8_t*>(NewClearedBlock(1));
  if (image->data == nullptr) {
    FreeBlockOf(image);
    return nullptr;
  }
  image->maxPlane = image->data;
  image->width = image->height = 1;
  image->flags = ImageGray | ImageHasMax;
  const size_t length = std::strlen(path);
  const size_t kept = length < MapImageNameCapacity - 1 ? length : MapImageNameCapacity - 1;
  std::memcpy(image->name, path, kept);
  image->name[kept] = 0;
  *tail = image;
  return image;
}
