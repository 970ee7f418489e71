// The run's frame for the map layers: the effect rectangle, the element
// buffers and the document's planes that placement and the Background image
// depend on.
#pragma once
#include <cstdint>

struct ElementBuffer;
struct MapImage;

// How the Background image reads the document (all in document pixels).
struct PixelRect;
struct DocumentPlanes {
  // 0 when the document has no target composite channel; else 1 with the
  // first channel's bounds, the color channel count and whether the layer has
  // a transparency channel.
  int32_t (*describe)(void* context, PixelRect* bounds, int32_t* colorChannels, int32_t* hasTransparency);
  // Reads color channel `index` (0-based), or the transparency for index -1,
  // over `rect` into `destination` (rect width bytes per row). 1, or 0 with
  // the code in the result cell.
  int32_t (*read)(void* context, int32_t index, const PixelRect& rect, uint8_t* destination);
  void* context;
};

// What the placement of a run depends on. The run binds it before it
// resolves the layers and whenever the effect rectangle or an element changes.
struct MapFrame {
  ElementBuffer* buffers[3];           // Main, Inner Bevel, Outer Bevel in the effect frame; null = absent
  int32_t effectLeft, effectTop;      // effect rectangle origin, document pixels
  int32_t effectWidth, effectHeight;  // effect rectangle size
  MapImage** cache;                   // the run's image cache; null = none (no Background)
  DocumentPlanes document;            // read == null: the document cannot be read
};
void BindMapFrame(const MapFrame& frame);
const MapFrame& CurrentMapFrame();
