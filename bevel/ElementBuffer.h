// Element surface buffers: the sparse, anti-aliased raster of one relief
// element (Main, Inner Bevel or Outer Bevel).
//
// For every pixel the element touches, a buffer keeps its coverage (0..32
// sub-samples), its material (filled by the map layers) and room for its
// rendered value (filled by the renderer). Pixels are grouped in spans: runs
// of covered pixels on one row. Empty rows and columns cost nothing.
#pragma once
#include <cstdint>

#include "core/NodePool.h"
#include "geometry/BandEdge.h"

// Premultiplied alpha, red, green, blue of a rendered pixel in one word.
typedef uint32_t RenderedPixel;
constexpr int32_t RenderedAlphaShift = 24;
constexpr int32_t RenderedRedShift = 16;
constexpr int32_t RenderedGreenShift = 8;
constexpr int32_t RenderedBlueShift = 0;

// The material of one pixel, 8 bytes.
struct PixelMaterial {
  uint8_t red;           // material color, written by the map layers
  uint8_t green;
  uint8_t blue;
  uint8_t opacity;       // 0..255
  uint8_t shininess;
  uint8_t shinStrength;
  uint8_t reflectivity;
  uint8_t coverage;      // covered sub-samples, 0..PixelSamples; written by the rasterisers
};
static_assert(sizeof(PixelMaterial) == 8, "a pixel material is 8 bytes");

// A run of covered pixels on one buffer row. Columns are relative to the
// buffer's x0. Spans of a row are in increasing x and are separated by at
// least one pixel of zero coverage.
struct Span {
  uint16_t xEnd;            // the column after the last one
  uint16_t xStart;          // the first column
  uint32_t flags;           // SpanOwnsBlock or 0
  RenderedPixel* block;     // the span's RenderedPixels, then its PixelMaterials
  PixelMaterial* material;  // the first PixelMaterial (block + pixel count)
  Span* next;               // the next span of the row, or null
};
// The spans made together on one row share one work-memory block, their
// pixels one after the other; the first of them owns it and frees it.
constexpr uint32_t SpanOwnsBlock = 0x1;

// Frees the blocks the spans of one row list own; their pixels are gone.
void FreeSpanBlocks(Span* head);

// Something a later stage keeps with a buffer between its calls (the
// renderer's facets); it lives exactly as long as the buffer's pixels, so it
// can never outlive the geometry it was derived from. `release` frees the
// record and what it holds.
struct BufferAttachment {
  void (*release)(BufferAttachment* attachment);
};

struct ElementBuffer {
  int16_t x0;      // left column in the current frame (document or effect rectangle)
  int16_t y0;      // top row
  uint16_t width;  // columns
  uint16_t height; // rows
  Span** rows;     // height span-list heads (null for an empty row); null when height is 0
  BufferAttachment* attachment;  // null when nothing is kept; released with the pixels
};

// Span records of each element; emptied before every build of the element.
constexpr uint32_t SpanRecordsPerBlock = 128;
extern NodePool gMainSpanPool;
extern NodePool gInnerSpanPool;
extern NodePool gOuterSpanPool;

// Frees every span's pixel block, then the row array (rows becomes null),
// and releases the attachment.
// The header stays: its owner frees it. Span records go with their pool.
void FreeElementBuffer(ElementBuffer* buffer);
// Free buffer, then frees the header and sets *buffer to null. Null-safe.
void DisposeElementBuffer(ElementBuffer** buffer);

// A rectangle in pixels; bottom and right are exclusive.
struct PixelRect {
  int32_t top;
  int32_t left;
  int32_t bottom;
  int32_t right;
};

// top = y0, left = x0, bottom = y0 + height, right = x0 + width.
void BoundsToRectangle(const ElementBuffer* buffer, PixelRect* rect);

// The effect rectangle of a run: the bounds of the first present buffer of
// Outer Bevel, Inner Bevel, Main; all zero when there is none.
void EffectRectangle(const ElementBuffer* outer, const ElementBuffer* inner, const ElementBuffer* main,
                     PixelRect* rect);

// Moves a buffer's origin by (dx, dy). Null-safe.
void MoveElementOrigin(ElementBuffer* buffer, int32_t dx, int32_t dy);

// Turns one pixel row of coverage counts (one byte per column of the buffer
// width) into spans appended to *rowHead, taking span records from `pool`.
// Each run of non-zero counts becomes a span with zeroed pixels whose
// coverage bytes get the counts (all in one block); the counts are reset to 0. Returns 1, or 0
// with MemFullErr set (the spans made so far stay linked). `lowestColumn`,
// `highestEnd` are widened with the columns of the spans made.
int EmitCoverageRow(uint8_t* counts, int32_t width, Span** rowHead, NodePool* pool, int32_t* lowestColumn,
                    int32_t* highestEnd);

// Adds 1 to the count of the pixel of every sample column in [begin, end),
// clipped to the buffer width (in pixels).
inline void AddSampleRun(uint8_t* counts, int32_t width, int32_t begin, int32_t end) {
  if (begin < 0) begin = 0;
  int32_t limit = width * SampleColumns;
  if (end > limit) end = limit;
  if (begin >= end) return;
  int32_t first = begin >> SampleColumnShift;
  int32_t last = (end - 1) >> SampleColumnShift;
  if (first == last) {
    counts[first] = static_cast<uint8_t>(counts[first] + (end - begin));
    return;
  }
  counts[first] = static_cast<uint8_t>(counts[first] + (SampleColumns - (begin & (SampleColumns - 1))));
  for (int32_t pixel = first + 1; pixel < last; ++pixel)
    counts[pixel] = static_cast<uint8_t>(counts[pixel] + SampleColumns);
  counts[last] = static_cast<uint8_t>(counts[last] + (end - (last << SampleColumnShift)));
}
