// The run's rendering and output: the element materials, the render driver
// and the document output, each fed from the run globals. The filter run
// calls them once per start; the dialog's preview calls the first two again
// after every change.
#pragma once
#include <cstdint>

// Writes the material of every present element selected by `flags` (element
// bits 0x10000..0x40000) into the channels selected by `flags` (bits
// 0x01..0x10): the constant material, then the map layers. Needs the style record.
void RefreshRunMaterials(uint32_t flags);

// Places the style's map layers in the run's effect frame once the elements
// are in it (links resolved, the Background image read from the document,
// Custom centres moved from document pixels) and fills every element's
// materials from them. Out of memory leaves MemFullErr in the result cell.
void PrepareRunMaps();

// Binds the map frame (maps/MapFrame.h) to the run's element buffers,
// effect rectangle, image cache and document: after the effect rectangle or
// an element buffer changed.
void BindRunMaps();

// A render buffer for the current effect rectangle, replacing the old one;
// the mask buffer is freed (the render makes it again at the new size). An
// empty effect leaves both as they are. Returns 1; 0 with MemFullErr.
int32_t AllocateRenderBuffer();

// Shades the elements in `selector` and recomposes the run's render buffer
// from all present elements, masked by the document's selection. Returns 1;
// 0 with the code in the result cell. An empty effect rectangle (or no render
// buffer) renders nothing and returns 1. Whatever preview requests left
// partly done is completed with it.
int32_t RenderRunElements(uint32_t selector);

// The dialog's preview requests: RefreshRunMaterials and RenderRunElements
// limited to the document rectangle the preview shows (previewSrc* of the
// globals), so that a change costs what the view shows. The run remembers
// what they left out (staleMaterials, staleElements); a request for another
// rectangle completes that first.
void RefreshPreviewMaterials(uint32_t flags);
int32_t RenderPreviewElements(uint32_t selector);

// Refreshes and renders in full what preview requests did only in part, so
// that the render buffer holds exactly what full requests would have left.
// Returns 1; 0 with the code in the result cell.
int32_t CompleteRunRender();

// CompleteRunRender when the preview's source rectangle is no longer inside
// the one the partial requests covered (the view was scrolled or zoomed).
int32_t FollowPreviewSource();

// Completes the render (CompleteRunRender), then composites the render buffer
// into the targeted channels of the document through the host's channel
// ports, with progress reports. Returns 1; 0 with
// the code in the result cell (-108 for a tile, -30900 for a port call).
int32_t WriteRunResult();
