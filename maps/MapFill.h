// The per-pixel material fill: the constant material of each element, then
// the map layers blended into it in list order.
#pragma once
#include <cstdint>

#include "bevel/ElementWindow.h"
#include "maps/MapLayer.h"

struct StyleRecord;

// Blends one layer into the materials of `buffer` (its x0, y0 in the effect
// frame): a Color Map into the color bytes, a scalar map into its byte. Bump
// Maps and layers without image (or without the plane they read) change
// nothing. Only pixels inside `clip` (effect frame) are blended.
void BlendLayer(const MapLayer& layer, ElementBuffer* buffer, const PixelRect& clip = WholeFrame);
// For Main, Inner Bevel and Outer Bevel whose bit is in `flags` and whose
// buffer exists: the constant material fill of the channels in `flags`
// (0x01..0x10), then every layer of `style`'s list that applies to the
// element and whose kind is in `flags`, in list order; inside `clip` only.
void RefreshMaterials(const StyleRecord* style, ElementBuffer* const buffers[3], uint32_t flags,
                      const PixelRect& clip = WholeFrame);
// Blends `layer` into every present element it applies to.
void ApplyLayer(const MapLayer& layer, ElementBuffer* const buffers[3]);
