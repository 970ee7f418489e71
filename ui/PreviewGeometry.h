// Where the preview looks: the preview area inside the view window and the
// document rectangle it shows, kept centred on the same document point when
// the zoom or the window size changes, and moved by the hand tool.
//
// Rectangles are document pixels (VRect: top, left, bottom, right, right and
// bottom exclusive); the preview area is screen pixels.
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"

struct PreviewGeometry {
  int32_t width, height;  // preview area, screen pixels: at most the window's client size
  VRect source;           // document rectangle shown, inside 0..document size
};

// The preview area for a client area of clientWidth x clientHeight and a
// document of documentWidth x documentHeight at `zoom`, and the source
// rectangle that fills it, centred where `previous` was centred and moved
// back inside the document where it would leave it. The source never exceeds
// the document (at small zooms the rounded-up area could ask for a few
// document pixels more than there are).
PreviewGeometry FitPreview(float zoom, int32_t clientWidth, int32_t clientHeight, int32_t documentWidth,
                           int32_t documentHeight, const VRect& previous);

// The hand tool: the mouse moved by (dx, dy) screen pixels; the source moves
// the opposite way by the movement divided by the zoom (truncated), along each
// axis where the zoomed document is larger than the preview area, stopping at
// the document's edges. Returns 1 when the source moved.
int32_t ScrollPreview(PreviewGeometry* geometry, float zoom, int32_t dx, int32_t dy, int32_t documentWidth,
                      int32_t documentHeight);
