// The facets a full bevel shading resolved, kept with the element buffer.
//
// A facet's color depends only on its unit normal, the pixel's material, the
// lights and the reflection image; its normal only on the band edges, the
// contour and the pixel. A later full shading of the same buffer with the
// same contour and window (another material, other lights: what a dialog
// slider changes) therefore takes the kept normals and weights instead of
// sweeping the bands again, and gives the same pixels.
//
// The record is the buffer's attachment: it goes when the buffer's pixels go,
// so it never outlives the geometry it was swept from. Keeping is an
// optimisation only: when memory is short nothing is kept and nothing fails.
#pragma once
#include <cstdint>

#include "bevel/BandSweep.h"
#include "bevel/ContourProfiles.h"
#include "bevel/ElementBuffer.h"
#include "bevel/ElementWindow.h"

// One facet of a pixel.
struct KeptFacet {
  uint32_t normalBits[3];  // the facet's unit normal, bit for bit
  uint32_t weight;         // its sub-samples (1..32), with MoreFacets when the pixel's next facet follows
};
constexpr uint32_t MoreFacets = 0x100;       // the next facet belongs to the same pixel
constexpr uint32_t FacetWeightMask = 0xFF;   // the sub-samples of a weight
constexpr uint32_t NoFacets = 0xFFFFFFFFu;   // a pixel without sub-samples

// What the normals were swept from besides the buffer itself.
struct FacetSource {
  ElementWindow window;  // the buffer rows and columns shaded
  SweepVariant variant;
  ContourTable contour;
  FacetKeyTable keys;
};

struct KeptFacets {
  BufferAttachment attachment;  // first member: the buffer releases the record through it
  FacetSource source;
  uint32_t* pixels;     // per resolved pixel (window rows, spans clipped to the window, left to right):
                        // index of its first facet, or NoFacets
  uint32_t pixelCount;
  KeptFacet* facets;    // a pixel's facets are consecutive; pixels with one facet share equal ones
  uint32_t facetCount;
  uint32_t facetCapacity;
};

// The source a shading of `buffer` would have; `contour` and `keys` are copied.
void DescribeFacetSource(FacetSource* source, const ElementBuffer* buffer, const PixelRect& clip,
                         SweepVariant variant, const ContourTable& contour, const FacetKeyTable& keys);

// The facets kept with `buffer` when they were swept from `source`, else null.
const KeptFacets* FindKeptFacets(const ElementBuffer* buffer, const FacetSource& source);

// Pixels resolved for a source: the window's rows, spans clipped to its columns.
uint32_t ResolvedPixelCount(const ElementBuffer* buffer, const ElementWindow& window);

// Gathers the facets of one shading, pixel by pixel in resolve order. When
// memory is short (or the record would pass KeptFacetsLimit bytes) it gives
// up quietly: the result cell keeps its code and nothing is kept.
struct FacetRecorder {
  KeptFacets* kept;    // null: not recording
  uint32_t pixel;      // the next pixel
  uint32_t first;      // the current pixel's first facet, or NoFacets
  int16_t result;      // the result cell's code when recording began
  uint32_t shared[1024];  // single facets already recorded, by hash: index + 1, 0 = none

  void Add(const uint32_t normalBits[3], uint32_t weight);
  void EndPixel();
};
constexpr uint32_t KeptFacetsLimit = 64u << 20;

// Starts recording for `source` over `buffer`; on failure the recorder stays
// off. Any record already kept with the buffer is released first.
void BeginFacetRecording(FacetRecorder* recorder, ElementBuffer* buffer, const FacetSource& source);
// With `complete` (the shading succeeded) and every pixel recorded, attaches
// the record to the buffer; else frees it. The result cell is not touched.
void FinishFacetRecording(FacetRecorder* recorder, ElementBuffer* buffer, int complete);
