// Building the three element buffers from the element outlines.
//
// Call order in a filter run: MakeDirectionTable, corner classification and
// conversion to pixels of both outline sets (once), then BuildOuterBevel,
// then BuildInnerBevel (which builds Main alone when the Inner Bevel size is
// 0), then EffectRectangle and PlaceElements to move the buffers into the
// effect rectangle. The dialog calls RebuildInner / RebuildOuter when a bevel
// setting changes.
//
// Every builder frees the buffers it replaces first, so a failed build leaves
// at most a partly built buffer attached; the next build or the run's
// release frees it (DisposeElementBuffer, then EmptyPool on the span pools).
// Failures write the code into the result cell: MemFullErr for memory,
// PathInvalidCode for an element too large for the 16-bit pixel frame.
#pragma once
#include <cstdint>

#include "bevel/ElementBuffer.h"
#include "core/TaskRunner.h"
#include "geometry/BandEdge.h"
#include "geometry/OffsetNode.h"

// A bevel's shape settings, as the style keeps them.
struct BandSettings {
  uint16_t size;        // band width in pixels; 0 = no band
  uint16_t bevelFlags;  // join type in bits 8-9 (the other bits are not read here)
  uint16_t miterLimit;  // pixels beyond size, Miter join only
};

// Main alone: the even-odd fill of the Inner outlines. Returns 1 (also when
// there are no Inner outlines: nothing is built), or 0.
int BuildMainAlone(OffsetRingList* innerOutlines, ElementBuffer** mainBuffer);

// Inner Bevel and Main. Frees both buffers and empties their span pools;
// with no Inner outlines returns 1, with size 0 builds Main alone. Offsets
// the outlines (restoring an earlier offset first) with the Inner offset pool.
int BuildInnerBevel(OffsetRingList* innerOutlines, const BandSettings& inner, ElementBuffer** innerBuffer,
                    ElementBuffer** mainBuffer, const TaskRunner* tasks = nullptr);

// Outer Bevel. With no Outer outlines returns 0 and touches nothing. Frees the
// buffer and empties its span pool; with size 0 returns 1 and leaves no buffer.
// In both builds (and the rebuilds below) a task runner lets the bands be
// rasterised in two parts at once: the same buffers; the other thread
// allocates nothing.
int BuildOuterBevel(OffsetRingList* outerOutlines, const BandSettings& outer, ElementBuffer** outerBuffer,
                    const TaskRunner* tasks = nullptr);

// Moves every present buffer into the effect rectangle (its left and top
// subtracted); the Outer Bevel buffer, when present, ends at (0, 0).
void PlaceElements(ElementBuffer* outer, ElementBuffer* inner, ElementBuffer* main, const PixelRect& effect);

// Preview, after an Inner Bevel setting changed: rebuilds Inner Bevel and
// Main and places them in the unchanged effect rectangle. Returns 0 when
// there are no Inner outlines or the build failed. The caller then re-places
// the map layers and refreshes the materials.
int RebuildInner(OffsetRingList* innerOutlines, const BandSettings& inner, ElementBuffer** innerBuffer,
                 ElementBuffer** mainBuffer, const PixelRect& effect, const TaskRunner* tasks = nullptr);

// Preview, after an Outer Bevel setting changed: returns Main and Inner Bevel
// to document pixels (with the `previous` effect rectangle), rebuilds the
// Outer Bevel and writes the new effect rectangle (document pixels) into
// *effect, also on failure. Returns 0 when there are no Outer outlines or the
// build failed. The caller frees and reallocates the render and mask buffers,
// refreshes the background image, re-places the map layers (their centres
// return to document pixels too), then calls PlaceElements with *effect and
// refreshes the materials.
int RebuildOuter(OffsetRingList* outerOutlines, const BandSettings& outer, ElementBuffer** outerBuffer,
                 ElementBuffer** innerBuffer, ElementBuffer** mainBuffer, const PixelRect& previous,
                 PixelRect* effect, const TaskRunner* tasks = nullptr);

// Frees the three buffers (Free buffer, then the header; each pointer becomes
// null) and empties the three span pools: the release after the dialog and
// at the end of a run.
void ReleaseElements(ElementBuffer** outerBuffer, ElementBuffer** innerBuffer, ElementBuffer** mainBuffer);

// The band edges of a bevel element whose outlines are offset (by its last
// build), sorted and moved into the frame whose origin is the document pixel
// (left, top): for a bevel shading sweep, which consumes its edges. To hand
// out the same sub-samples as the element's coverage, the frame must be the
// buffer's own: left = x0 and top = y0 in document pixels (add the effect
// rectangle's left and top once the buffers are placed), with the buffer's
// width and height. Empties the band edge pool first; the caller empties it
// after the sweep. Returns 1, or 0 with MemFullErr set.
int MakeElementBandEdges(OffsetRingList* rings, uint16_t size, BandForm form, int32_t left, int32_t top,
                         BandEdge** head);
