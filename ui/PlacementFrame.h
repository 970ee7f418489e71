// The placement frame of a map layer as the preview shows it: its corners and
// edge midpoints (the handles), which handle or region the mouse is over, and
// which layer's placement the map edit tool changes.
//
// Frame points are zoomed document pixels: document pixel (x, y) lies at
// (trunc(x × zoom), trunc(y × zoom)). A view pixel becomes a zoomed document
// pixel by adding the view's origin (PreviewMapping).
#pragma once
#include <cstdint>

#include "maps/MapLayer.h"

// Hit codes. A handle's code names the edges it moves; 1 and 0 are regions.
constexpr uint32_t HitOutside = 0x00;    // outside the frame: the drag rotates
constexpr uint32_t HitInside = 0x01;     // inside the frame: the drag moves
constexpr uint32_t HitLeftEdge = 0x04;   // the handle moves the left edge (u = -0.5)
constexpr uint32_t HitBottomEdge = 0x08; // the handle moves the bottom edge (v = +0.5)
constexpr uint32_t HitRightEdge = 0x10;  // the handle moves the right edge (u = +0.5)
constexpr uint32_t HitTopEdge = 0x20;    // the handle moves the top edge (v = -0.5)
constexpr uint32_t HitEdgeBits = HitLeftEdge | HitBottomEdge | HitRightEdge | HitTopEdge;

// Handles in testing order: the four corners, then the top, right, bottom and
// left midpoints. HandleCodes[i] is the hit code of handle i.
constexpr int32_t HandleCount = 8;
constexpr int32_t CornerCount = 4;
extern const uint32_t HandleCodes[HandleCount];
// A handle is hit within this many view pixels of the mouse along both axes.
constexpr int32_t HandleReach = 3;

struct FramePoint {
  int32_t x, y;
};

// Handles in the order of HandleCodes; corners 0..3 also walk the frame's sides.
struct PlacementFrame {
  FramePoint handles[HandleCount];
  bool mirrored;  // width × height < 0: the corners run the other way round
};

// How view pixels relate to the document and the effect frame of the run.
struct PreviewMapping {
  float zoom;                       // preview pixels per document pixel
  int32_t originX, originY;         // zoomed document pixel at the view's (0, 0)
  int32_t effectLeft, effectTop;    // effect rectangle origin, document pixels
};

// The view origin for a preview of `source` shown at (offsetX, offsetY) of the view.
PreviewMapping MakePreviewMapping(float zoom, int32_t sourceLeft, int32_t sourceTop, int32_t offsetX,
                                  int32_t offsetY, int32_t effectLeft, int32_t effectTop);
// A view pixel in the effect frame (document pixels relative to the effect
// rectangle, where map layer centres live).
void ViewToEffect(const PreviewMapping& mapping, int32_t viewX, int32_t viewY, double* x, double* y);

// The frame of `layer` (centre in the effect frame) in zoomed document pixels.
PlacementFrame MakePlacementFrame(const MapLayer& layer, const PreviewMapping& mapping);

// The hit code of zoomed document pixel `point`: the first handle within
// HandleReach, else HitInside or HitOutside.
uint32_t HitTestFrame(const PlacementFrame& frame, FramePoint point);

// The layer whose placement the map edit tool changes when `selected` is
// chosen: the end of its chain of shared placements (null for a broken chain).
MapLayer* EditedLayer(MapLayer* selected);
// Whether the frame of `selected` is shown and can be edited: Show Mapping is
// on and the edited layer has an image and is not the document's Background.
bool CanEditPlacement(MapLayer* selected, uint8_t viewFlags);
