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

// ---- placement (plain functions: the run and the dialog's map editing share them)

// The affine mapping from effect-frame pixels to image rows and columns,
// recomputed from placedWidth, placedHeight, angle, centerX, centerY: the
// centre maps to the image centre, the placed width spans the image width
// along the rotated x axis. A layer without image, or whose placed size is
// zero or not finite, is left as it is.
void PlaceLayer(MapLayer* layer);
// Fit (the image stretched over the last present element it applies to, in
// the order Main, Inner Bevel, Outer Bevel) or Tile (the image at its own
// size) for mappingLink MappingFit or MappingTile: sets the size, angle 0
// and the centre; does not place. `fields` are the element buffers in the
// effect frame (null = absent).
struct ElementBuffer;
void FitOrTilePlacement(MapLayer* layer, ElementBuffer* const buffers[3]);
// Places `layer` and copies its size, angle and centre into every layer of
// `list` that follows its placement, directly or through other links, placing
// each. Returns the union of their layerFlags (this layer's included) masked
// with the kind and element bits (0xF00FF): what a material refresh must rewrite.
uint32_t PropagatePlacement(MapLayer* list, MapLayer* layer);

// ---- material fill

// Blends one layer into the materials of `buffer` (its x0, y0 in the effect
// frame): a Color Map into the color bytes, a scalar map into its byte. Bump
// Maps and layers without image (or without the plane they read) change nothing.
void BlendLayer(const MapLayer& layer, ElementBuffer* buffer);
// For Main, Inner Bevel and Outer Bevel whose bit is in `flags` and whose
// buffer exists: the constant material fill of the channels in `flags`
// (0x01..0x10), then every layer of `style`'s list that applies to the
// element and whose kind is in `flags`, in list order.
void RefreshMaterials(const StyleRecord* style, ElementBuffer* const buffers[3], uint32_t flags);
// Blends `layer` into every present element it applies to.
void ApplyLayer(const MapLayer& layer, ElementBuffer* const buffers[3]);

// ---- the run's frame for the layers

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

// After a style's layers have been read from a settings file or descriptor
// (links stored as MappingLinkStored + position, centres in document pixels):
// attaches the Background image to Background layers, resolves the links
// (a link to a missing, image-less or Background layer, or a chain that never
// reaches a placed layer, becomes Custom), moves Custom centres into the
// bound frame's effect frame, applies the alpha fix-up, places every layer
// and refills the element materials of the bound frame. Links that are
// already pointers (a second call) are kept.
void ResolveLayersAfterLoad(StyleRecord* style);
