// The dialog's preview image: the document pixels of the preview's source
// rectangle, scaled to the preview area, with the run's render buffer
// composited over them. Everything comes from the run globals: the preview
// geometry (previewWidth, previewHeight, previewZoom, previewSrc*), the
// effect rectangle and render buffer, the filter record's document and the
// host's ChannelPorts suite.
#pragma once
#include <cstdint>

// Rebuilds previewPixels (one previewWidth x previewHeight plane per channel
// of the target composite list) and, when the document has a transparency
// channel, previewTransparency; the blocks are kept while their size fits and
// replaced otherwise. An empty preview area or a document without channels
// leaves no preview pixels (the view then says so) and returns 1. Returns 0
// with the code in the result cell: -108 when a block cannot be had (the
// preview pixels are then gone), -30900 when a port read fails. A source
// rectangle outside the one the partial preview requests covered completes
// the render first (FollowPreviewSource), so a scroll or zoom never shows
// stale pixels.
int32_t RebuildPreviewImage();
