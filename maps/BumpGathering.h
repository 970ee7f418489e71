// The Bump Map layers of one element as the renderer samples them.
#pragma once
#include <cstdint>

struct BumpSampler;
struct ElementBuffer;
struct MapLayer;

// One sampler per layer of `layers` (list order) that is a Bump Map, applies
// to the element of `elementBit` and has an image, its origin moved to the
// corner (x0, y0) of `buffer`. Returns the count with *samplers an array from
// NewBlock that the caller frees; 0 and null when there is none or the array
// cannot be had (the element is then shaded flat, and the result cell keeps
// its value: a missing relief is not a failed run).
int32_t GatherBumpSamplers(const MapLayer* layers, uint32_t elementBit, const ElementBuffer* buffer,
                           BumpSampler** samplers);
