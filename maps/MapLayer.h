// Map layers: an image placed over one or more elements that blends one
// material channel of every covered pixel towards the image (or, for a Bump
// Map, tilts the surface when the element is shaded).
//
// The style's `mapLayers` heads a singly linked list in the order of the
// dialog's map list. Layers are single blocks of the work memory, owned by
// the run: FreeMapLayers releases a whole list.
#pragma once
#include <cstdint>

struct MapImage;
struct StyleRecord;

// layerFlags: the kind (exactly one of the low six bits).
constexpr uint32_t ColorMapLayer = 0x01;          // blends the material color
constexpr uint32_t OpacityMapLayer = 0x02;        // blends opacity
constexpr uint32_t ShininessMapLayer = 0x04;      // blends shininess
constexpr uint32_t ShinStrengthMapLayer = 0x08;   // blends shin. strength
constexpr uint32_t ReflectivityMapLayer = 0x10;   // blends reflectivity
constexpr uint32_t BumpMapLayer = 0x20;           // relief read by the renderer
constexpr uint32_t LayerKindMask = 0x3F;
// layerFlags: the other bits.
constexpr uint32_t BackgroundLayer = 0x1000;      // the image is the document's own pixels
constexpr uint32_t ApplyToMain = 0x10000;         // same values as the element selector bits
constexpr uint32_t ApplyToInnerBevel = 0x20000;
constexpr uint32_t ApplyToOuterBevel = 0x40000;
constexpr uint32_t ApplyToMask = 0x70000;
constexpr uint32_t InvertMap = 0x100000;          // image values v read as 255 - v
constexpr uint32_t ImageAlphaAsRgb = 0x200000;    // the alpha plane stands in for the colour planes
constexpr uint32_t AlphaOutputShift = 24;         // bits 24-25: what masks the blend
constexpr uint32_t AlphaOutputMask = 0x3000000;

enum AlphaOutput : uint32_t {
  AlphaOutputImageAlpha = 0,    // the image's alpha plane masks the blend
  AlphaOutputRgbIntensity = 1,  // the image's maximum plane masks the blend
  AlphaOutputOpaque = 2         // no mask: the amount alone
};

// mappingLink values below these are modes; anything else points at the
// layer whose placement this one follows. In files and descriptors a link is
// stored as MappingLinkStored + the other layer's position in the list.
enum MappingMode : uintptr_t {
  MappingCustom = 0,  // placed by hand: centre, size and angle as stored
  MappingFit = 1,     // the image stretched over the element's buffer
  MappingTile = 2,    // the image at its own size, repeated
  MappingLinkStored = 3
};

struct MapLayer {
  int32_t rowDx, colDx, rowDy, colDy;  // 16.16: image row and column change per pixel step in x and y
  int32_t row0, col0;                  // 16.16: image row and column at effect pixel (0, 0)
  float placedWidth, placedHeight;     // placed image size, pixels
  float angle;                         // rotation, radians
  float centerX, centerY;              // centre: effect frame in memory, document pixels in files
  uint32_t amount;                     // 0..255
  uint32_t layerFlags;
  MapImage* image;                     // into the image cache, or null
  MapLayer* next;
  uintptr_t mappingLink;               // a MappingMode, or (after loading) a MapLayer* of the same list
};

inline uint32_t LayerKind(const MapLayer& layer) { return layer.layerFlags & LayerKindMask; }
inline uint32_t LayerAlphaOutput(const MapLayer& layer) {
  return (layer.layerFlags & AlphaOutputMask) >> AlphaOutputShift;
}
// The layer this one's placement follows, or null for Custom, Fit and Tile.
inline MapLayer* LinkedLayer(const MapLayer& layer) {
  return layer.mappingLink <= MappingTile ? nullptr : reinterpret_cast<MapLayer*>(layer.mappingLink);
}

// A zero-filled layer appended to the end of *list, or null (MemFullErr set).
MapLayer* AppendMapLayer(MapLayer** list);
// Frees every layer of the list; the images stay in the cache.
void FreeMapLayers(MapLayer* list);
// Position of `layer` in `list` counted from 0, or -1.
int32_t MapLayerPosition(const MapLayer* list, const MapLayer* layer);
// Whether the image loaded for `layer` needs its maximum plane: every layer
// except a Color Map whose alpha output is not RGB Intensity.
int32_t LayerWantsMaxPlane(const MapLayer& layer);
