// The "Background" image: the document's own pixels over the effect
// rectangle, kept in the image cache.
#pragma once
#include <cstdint>

#include "maps/MapLayer.h"

struct MapImage;
struct StyleRecord;

// The "Background" image of the bound frame: the document's pixels over the
// effect rectangle (clipped to the document), with the transparency as alpha.
// A cached one of the same size is reused; one of another size is rebuilt in
// its place in the cache and the layers (and `style`'s reflection) that used
// it follow. Null when the document has no channel, the area is empty or
// memory runs out (MemFullErr).
MapImage* GetBackgroundImage(StyleRecord* style);
// When the cache holds a Background image: rebuilds it for the current
// effect rectangle and re-places every Background layer.
void RefreshBackground(StyleRecord* style);
// Makes `image` (the Background image, or null) the layer's image, placed by
// hand over the document's part of the effect frame; does not place.
void AttachBackgroundImage(MapLayer* layer, MapImage* image);
