// Contour profiles: the cross-section of a bevel band as 256 profile normals.
//
// Band distance 0 is the offset edge of the band, 255 the outline. The
// program stores no heights: for each distance step it keeps the unit normal
// of the profile in the plane of the cross-section, which the renderer turns
// into a 3-D surface normal with the band direction at the pixel.
#pragma once
#include <cstdint>

#include "style/StyleRecord.h"

// Entries of a contour, one per band distance step.
constexpr int ContourTableSize = 256;
// Built-in profiles, contourIndex 0..ContourProfileCount-1; others build 0.
constexpr int ContourProfileCount = 49;

// Unit normal of the profile at one distance step. `vertical` >= 0 is the
// upward component, `radial` the component across the band; its sign is the
// direction of the tilt. A flat step is (0, 1).
struct ContourNormal {
  float radial;
  float vertical;
};

struct ContourTable {
  ContourNormal entry[ContourTableSize];  // index = band distance 0..255
};

// Per distance step 0 or the element key; the renderer uses it to tell the
// facets of a profile apart.
struct FacetKeyTable {
  int16_t key[ContourTableSize];
  // The facet key a renderer stores for a sub-sample whose 16-bit key sum
  // (key + piece index) wraps to 0, which marks an empty slot: the element
  // key, which no piece produces while the element has fewer than 65,535
  // nodes (never 0).
  uint16_t wrappedKey;
};

// Fills both tables for one bevel element. `bevelFlags` supplies the profile
// (bits 0-7) and the flips (0x400, 0x800); `depth` is the relief depth in
// percent (0..1000); `elementKey` is one more than the number of the
// element's offset nodes (see NumberNodes). Entries that would have no
// direction (a vertical wall at depth 0) are stored flat as (0, 1).
void BuildContour(ContourTable& table, FacetKeyTable& keys, uint16_t bevelFlags, uint16_t depth,
                  int16_t elementKey);
