// Shading of the two bevel elements from their band edges.
//
// The bevels are not stored as height maps: the band sweep hands over every
// sub-sample of the band with the band piece that owns it, its band
// coordinate (0 on the offset edge, 255 on the outline) and the band's
// direction there. Each routine below stores what it needs per sub-sample in
// planes of one pixel row, and at the end of every pixel row resolves the 32
// sub-samples of each covered pixel into one RenderedPixel, treating every
// distinct facet key of the pixel once (a pixel inside one flat facet costs
// one shading). The routines share the sweep and the resolve loop; they
// differ only in what they store and how a facet adds to the pixel.
//
// Inner Bevel routines round the band index ((v + 0x8000) >> 16), Outer Bevel
// routines truncate it (v >> 16); either is clamped to 0..255.
#pragma once
#include <cstdint>

#include "bevel/BandSweep.h"
#include "bevel/ContourProfiles.h"
#include "bevel/DirectionTable.h"
#include "bevel/ElementBuffer.h"
#include "bevel/ElementWindow.h"
#include "core/TaskRunner.h"
#include "render/Lighting.h"
#include "render/Sampling.h"

// One bevel element's shape for one render call.
struct BevelShape {
  BandEdge* edges;                   // sorted by first row, in the frame of `buffer` (row 0 = its top row,
                                     // x 0 = its left column); advanced in place, not reusable afterwards
  const ContourTable* contour;       // profile normal per band index
  const FacetKeyTable* facetKeys;    // per band index 0 or the element key
  const DirectionTable* directions;  // angle -> vector for curve pieces
  SweepVariant variant;              // Inner for the Inner Bevel, Outer for the Outer Bevel
  PixelRect clip = WholeFrame;       // effect frame: only the pixels inside are written; the sweep
                                     // stops below it and hands nothing over beside or above it
  const TaskRunner* tasks = nullptr;  // a full shading may sweep two parts of the rows at once through it
};

// Each routine sweeps `shape` over the buffer's rows and columns and writes a
// RenderedPixel for every column of every span of `buffer`. Returns 1, or 0
// when a working plane cannot be allocated (MemFullErr is set and no pixel of
// the element has been written). Planes are freed before returning.

// Full shading of every facet with the lighting model; with bump samplers
// (count >= 1) each facet normal is tilted first. With `keepFacets` (and no
// bump samplers) the facets found are kept with the buffer (KeptFacets.h).
int ShadeBevelFull(const BevelShape& shape, ElementBuffer* buffer, const LightingSetup& lighting,
                   const ReflectionSampler* reflection, BumpSampler* samplers, int32_t count, int keepFacets);

// Full shading, without bump samplers, from the facets kept with the buffer
// for `source`: the pixels ShadeBevelFull would write (with a task runner,
// in two parts at once). Returns 1; 0 when
// nothing is kept for that source (nothing written, no code set).
struct FacetSource;
int ShadeKeptFacets(ElementBuffer* buffer, const FacetSource& source, const LightingSetup& lighting,
                    const ReflectionSampler* reflection, const TaskRunner* tasks);

// Color display per facet (see ShadeMainColorDisplay): the reflection is
// looked up at the (bump-tilted) facet normal.
int ShadeBevelColorDisplay(const BevelShape& shape, ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                           const ReflectionSampler* reflection, int showColor, int useOpacity);

// Gray image of one material byte (MaterialOpacityByte .. MaterialReflectivityByte)
// weighted by the swept coverage.
int ShadeBevelChannelDisplay(const BevelShape& shape, ElementBuffer* buffer, int32_t byteIndex);

// Gray image of the average band index of the pixel's 32 sub-samples
// (a sub-sample outside the band counts 0): white on the outline, dark at the rim.
int ShadeBevelDistanceDisplay(const BevelShape& shape, ElementBuffer* buffer);

// The band index of coordinate `value` (16.16): rounded for the Inner
// variant, truncated for the Outer, clamped to 0..255.
inline int32_t BandIndex(int32_t value, SweepVariant variant) {
  const int64_t rounding = variant == SweepVariant::Inner ? 0x8000 : 0;
  const int64_t index = (int64_t(value) + rounding) >> 16;
  return index < 0 ? 0 : (index > ContourTableSize - 1 ? ContourTableSize - 1 : int32_t(index));
}
