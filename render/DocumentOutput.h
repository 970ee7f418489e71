// Putting the render buffer into the document, and reading the selection for
// the render driver, through the host's ChannelPorts suite; and compositing
// the render buffer over the dialog's preview pixels with the same operators.
//
// This is an I/O edge: it knows the host's channel descriptions. Failures go
// into the current result cell (core/WorkMemory.h): -108 when a tile
// cannot be allocated, -30900 when a port call fails. Only 8-bit channels are
// read and written; a channel of any other depth is left alone (its pixels
// would not fit the one-byte-per-pixel tiles).
#pragma once
#include <cstdint>

#include "core/TaskRunner.h"
#include "interface/PluginInterface.h"

struct PixelRect;  // bevel/ElementBuffer.h

// The rendered relief as the output reads it (see RenderDriver.h).
struct RenderedEffect {
  const uint8_t* renderBuffer;  // planar, width x height bytes each: alpha, then channelCount colors
  int32_t channelCount;         // color planes in the buffer
  int32_t top, left;            // effect rectangle origin, document pixels
  int32_t width, height;        // effect rectangle size; 0 = nothing rendered
};

// The document as the output reaches it. Neither pointer is owned.
struct DocumentAccess {
  const PSChannelPortsSuite1* ports;      // the ChannelPorts suite; null = cannot read or write
  const ReadImageDocumentDesc* document;  // the filter record's documentInfo
  ProgressProc progress;                  // null = no progress reports
  const TaskRunner* tasks = nullptr;      // a second thread for compositing; null = the caller's only
};

// Reads `rect` (document pixels) of an 8-bit channel into `destination`
// ((right - left) bytes per row). Returns 1 when pixels were read. A channel
// without a read port, or whose port cannot read, gives a zero-filled
// destination and 0; a failing port call also sets -30900.
int ReadChannel(const PSChannelPortsSuite1* ports, const ReadChannelDesc* channel, uint8_t* destination,
                const VRect& rect);

// Reads `source` (document pixels) of an 8-bit channel scaled into a
// destination of width x height bytes (the preview). Same contract as ReadChannel.
int ReadChannelScaled(const PSChannelPortsSuite1* ports, const ReadChannelDesc* channel, uint8_t* destination,
                      const VRect& source, int32_t width, int32_t height);

// Writes `rect` of an 8-bit channel from `source`. Returns 1 when written; a
// channel without a write port or whose port cannot write is skipped (0); a
// failing port call sets -30900.
int WriteChannel(const PSChannelPortsSuite1* ports, const ReadChannelDesc* channel, const uint8_t* source,
                 const VRect& rect);

// Targeted channels of the target composite list; with `all` also the
// targeted alpha channels, transparency and layer mask.
int32_t CountTargetChannels(const ReadImageDocumentDesc* document, int all);

// Composites the effect into every targeted color channel (over the layer's
// transparency when that is targeted), then its alpha into the transparency,
// the targeted alpha channels and the targeted layer mask, each as one tile
// of the effect rectangle clipped to the first color channel's bounds, with
// progress reports. Color channel k of the list takes render plane k, counting
// untargeted channels too; a channel past the buffer's last plane is not
// written. Returns 1 when the result cell is 0 at the end, else 0.
int WriteResult(const DocumentAccess& access, const RenderedEffect& effect);

// Copies the document's selection into `mask` (width x height bytes for the
// effect rectangle at top, left) over the part of the rectangle inside the
// selection's bounds; the rest of the mask is left as it is. Returns 1 when
// copied; 0 without a selection, when the rectangles do not meet or when the
// buffer cannot be allocated. Never changes the result cell, except -30900
// for a failing port call.
int CopySelection(const DocumentAccess& access, uint8_t* mask, int32_t top, int32_t left, int32_t width,
                  int32_t height);

// The selection as the render driver asks for it (a SelectionCopier of
// RenderDriver.h): `source` points to a SelectionSource. Only the part of the
// mask inside `area` (effect frame, inside the effect) is copied.
struct SelectionSource {
  DocumentAccess access;
  int32_t top, left;  // effect rectangle origin, document pixels
};
int CopySelectionForRender(void* source, uint8_t* mask, int32_t width, int32_t height, const PixelRect& area);

// The preview's pixels: one plane of width x height bytes per channel of the
// target composite list (untargeted ones included), the document rectangle
// `source` shown at `zoom` preview pixels per document pixel: document pixel
// (x, y) lies at preview pixel (trunc((x - source.left) x zoom), trunc((y - source.top) x zoom)).
struct PreviewSurface {
  uint8_t* planes;
  int32_t planeCount;
  uint8_t* transparency;  // null when the preview has none
  int32_t width, height;
  VRect source;
  float zoom;  // 1 = 1:1; otherwise the render buffer is sampled at nearest positions
};

// Composites the effect over the preview where the effect rectangle and the
// preview's source rectangle overlap, with the operators of WriteResult.
void CompositePreview(const ReadImageDocumentDesc* document, const RenderedEffect& effect,
                      const PreviewSurface& preview);
