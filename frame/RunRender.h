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
// buffer) renders nothing and returns 1.
int32_t RenderRunElements(uint32_t selector);

// Composites the render buffer into the targeted channels of the document
// through the host's channel ports, with progress reports. Returns 1; 0 with
// the code in the result cell (-108 for a tile, -30900 for a port call).
int32_t WriteRunResult();
