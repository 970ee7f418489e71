// Placement of map layers: the affine mapping from effect-frame pixels to
// image rows and columns, Fit and Tile, linked placement, and the fix-up after
// loading. Plain functions: the run and the dialog's map editing share them.
#pragma once
#include <cstdint>

#include "maps/MapLayer.h"

struct ElementBuffer;
struct StyleRecord;

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
void FitOrTilePlacement(MapLayer* layer, ElementBuffer* const buffers[3]);
// Places `layer` and copies its size, angle and centre into every layer of
// `list` that follows its placement, directly or through other links, placing
// each. Returns the union of their layerFlags (this layer's included) masked
// with the kind and element bits (0xF00FF): what a material refresh must rewrite.
uint32_t PropagatePlacement(MapLayer* list, MapLayer* layer);


// After a style's layers have been read from a settings file or descriptor
// (links stored as MappingLinkStored + position, centres in document pixels):
// attaches the Background image to Background layers, resolves the links
// (a link to a missing, image-less or Background layer, or a chain that never
// reaches a placed layer, becomes Custom), moves Custom centres into the
// bound frame's effect frame, applies the alpha fix-up, places every layer
// and refills the element materials of the bound frame. Links that are
// already pointers (a second call) are kept.
void ResolveLayersAfterLoad(StyleRecord* style);
