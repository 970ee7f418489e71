// What a drag of the map edit tool does to the edited layer's placement:
// move (inside the frame), resize (on a handle) or rotate (outside). Points
// are in the effect frame (document pixels relative to the effect rectangle,
// see ViewToEffect), where the layer's centre lives. Only the placed size,
// angle and centre change; the caller places the layer again.
#pragma once
#include <cstdint>

#include "maps/MapLayer.h"

// Rotation steps with Shift held: 15 degrees.
constexpr double RotationStep = 3.14159265358979323846 / 12.0;

// The angles a rotating drag keeps between mouse moves, radians.
struct RotationDrag {
  double startAngle;    // the layer's angle when the button went down
  double runningAngle;  // start plus every mouse turn so far
};

// Moves the centre by a mouse movement of (dx, dy) view pixels at `zoom`.
void MoveLayer(MapLayer* layer, int32_t dx, int32_t dy, float zoom);

// Resizes by dragging the handle `hitCode` (edge bits of PlacementFrame.h)
// to (x, y). The handle opposite stays where it is; with `aboutCentre` the
// centre stays instead and the opposite side moves symmetrically. With
// `proportional` width and height scale by the same factor, the handle's
// projection on the line from the opposite handle. A factor of exactly 0 is
// taken as 1 (the frame never collapses); the frame may turn over.
void ResizeLayer(MapLayer* layer, uint32_t hitCode, double x, double y, bool proportional, bool aboutCentre);

// Starts a rotating drag at the layer's angle.
RotationDrag BeginRotation(const MapLayer& layer);
// The mouse moved from (fromX, fromY) to (x, y): the turn around the layer's
// centre (brought into -π..π) is added to the running angle. The layer's
// angle becomes the running angle, or with `snap` the start angle plus the
// running change rounded toward zero to a multiple of RotationStep.
void RotateLayer(MapLayer* layer, RotationDrag* drag, double fromX, double fromY, double x, double y, bool snap);
