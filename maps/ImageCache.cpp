#include "maps/MapImage.h"

#include "core/WorkMemory.h"

// Images are not read yet: every load reports "not available" and the caller
// keeps its previous image (or none).
MapImage* LoadImage(MapImage** cache, const char* path, int32_t wantMax) { return nullptr; }

int32_t MakeMaxPlane(MapImage* image) { return image != nullptr && (image->flags & ImageHasMax) ? 1 : 0; }

void FreeImages(MapImage* image) {
  while (image != nullptr) {
    MapImage* next = image->next;
    if (image->maxPlane != image->data) FreeBlockOf(image->maxPlane);
    FreeBlockOf(image->data);
    FreeBlockOf(image);
    image = next;
  }
}
