// The render driver: shades the requested elements of a run into their
// element buffers with the routine the style's render mode selects, then
// composes all present elements into the planar render buffer, applies the
// anti-aliasing policy and restricts the result to the selection.
//
// Entry point for the filter run (all elements, before the result is written)
// and for the dialog's preview (only the elements a change affects). The
// caller fills a RenderContext from the run:
//
//   style          the style record              buffers       the run's mainField, innerBevelField, outerBevelField
//   innerOutlines  / outerOutlines of the run    directions    the run's direction table
//   effectWidth / effectHeight, channelCount, renderBuffer, maskBuffer = &maskBuffer of the run
//   reflection     a sampler over the style's reflection image (MakeReflectionSampler), or null
//   gatherBumps    the Bump Map layers' samplers, or null
//   copySelection  CopySelectionForRender with a SelectionSource (DocumentOutput.h)
//                  when the document has a selection channel, else null
//
//   if (!RenderElements(context, SelectAllElements)) -> the result cell holds the code
//
// Materials must be filled before (FillElementMaterials and the map layers).
// The driver keeps nothing between calls except the mask buffer it
// allocates into *context.maskBuffer (owned by the run, freed with the render
// buffer) and, with keepFacets, the bevels' facets (owned by their buffers). Elements not requested keep the pixels of an earlier call and are
// composed again from them.
#pragma once
#include <cstdint>

#include "bevel/DirectionTable.h"
#include "bevel/ElementBuffer.h"
#include "core/TaskRunner.h"
#include "geometry/OffsetNode.h"
#include "render/Sampling.h"
#include "style/StyleRecord.h"

// Gathers the bump samplers of the element with selector bit `elementBit`
// whose buffer is `buffer` (their origin moved to its corner). Returns the
// count and *samplers = an array from NewBlock that the driver frees after
// the element is shaded; 0 and null when there are none or the array could
// not be allocated (the element is then shaded without bumps).
typedef int32_t (*BumpGatherer)(void* context, uint32_t elementBit, const ElementBuffer* buffer,
                                BumpSampler** samplers);

// Copies the document's selection into `mask` (width x height bytes over the
// effect rectangle) inside `area` (effect frame, inside the effect); returns 1
// when copied, 0 when not (the mask stays 0 there). See CopySelection in
// DocumentOutput.h.
typedef int (*SelectionCopier)(void* context, uint8_t* mask, int32_t width, int32_t height, const PixelRect& area);

struct RenderContext {
  const StyleRecord* style;
  ElementBuffer* buffers[ElementCount];  // Main, Inner Bevel, Outer Bevel; null = absent
  OffsetRingList* innerOutlines;        // source of the Inner Bevel's bands (offset by its build)
  OffsetRingList* outerOutlines;        // source of the Outer Bevel's bands
  const DirectionTable* directions;     // the run's direction table
  int32_t effectWidth, effectHeight;    // pixels; the buffers' origins are relative to the effect rectangle
  int32_t channelCount;                 // color planes of the render buffer (target composite channels)
  uint8_t* renderBuffer;                // (channelCount + 1) planes of effectWidth x effectHeight bytes
  uint8_t** maskBuffer;                 // the run's mask buffer cell: null until first needed; the
                                        // run frees it whenever the effect rectangle changes
  const ReflectionSampler* reflection;  // the style's reflection image, or null for none
  BumpGatherer gatherBumps;             // null = no bump maps
  void* bumpContext;
  SelectionCopier copySelection;  // null = the document has no selection
  void* selectionContext;
  const PixelRect* clip;  // effect frame: shading, composition and masks touch only the pixels inside;
                          // null = the whole effect
  const TaskRunner* tasks;  // null: everything on the caller's thread; else a full bevel shading may
                           // sweep two parts of its rows at once (the same pixels)
  int keepFacets;         // 1: a bevel's full shading keeps its facets with its buffer, and a later call
                          // with the same contour and clip shades from them (a preview that re-renders
                          // after material and light changes); 0: nothing is kept or used
};

// Shades the elements whose bits (SelectMain, SelectInnerBevel,
// SelectOuterBevel) are in `selector` and whose buffers exist, then
// recomposes the render buffer from all present elements. Returns 1; 0 when
// a shading routine could not get its working memory (MemFullErr) or a
// bevel's band edges could not be built (their code stays in the result
// cell); the render buffer is then not recomposed. An empty effect rectangle
// does nothing and returns 1. With a clip, pixels outside it (of the shaded
// elements and of the render buffer) keep what they held.
int RenderElements(const RenderContext& context, uint32_t selector);

// Adds one element's pixels into the render buffer (alpha plane, then the
// color planes: red, green, blue for three channels, else the gray value in
// each), clipped to the effect rectangle; with `coverage` not null its
// coverage bytes are added there too. Additions wrap at 8 bits.
void ComposeElement(const ElementBuffer* buffer, uint8_t* renderBuffer, int32_t channelCount, int32_t width,
                    int32_t height, uint8_t* coverage);

// With anti-aliasing off: a pixel whose summed coverage is at least half a
// pixel is scaled to full coverage, any other is cleared.
void NormaliseHardEdges(uint8_t* renderBuffer, int32_t planes, uint32_t planeSize, const uint8_t* coverage);

// Multiplies every plane value by the mask byte / 255 (truncating).
void ApplySelectionMask(uint8_t* renderBuffer, int32_t planes, uint32_t planeSize, const uint8_t* mask);
