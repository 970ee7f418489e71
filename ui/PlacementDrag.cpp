#include "ui/PlacementDrag.h"

#include <cmath>
#include <numbers>

#include "ui/PlacementFrame.h"

namespace {
struct Vector {
  double x, y;
};

// The handle's point relative to the centre in the unrotated frame: ±half
// the size along each edge bit, 0 along an axis the handle does not move.
Vector HandlePoint(uint32_t code, double width, double height) {
  Vector p{0.0, 0.0};
  if (code & HitLeftEdge) p.x = -0.5 * width;
  if (code & HitRightEdge) p.x = 0.5 * width;
  if (code & HitTopEdge) p.y = -0.5 * height;
  if (code & HitBottomEdge) p.y = 0.5 * height;
  return p;
}

uint32_t OppositeHandle(uint32_t code) {
  uint32_t opposite = 0;
  if (code & HitLeftEdge) opposite |= HitRightEdge;
  if (code & HitRightEdge) opposite |= HitLeftEdge;
  if (code & HitTopEdge) opposite |= HitBottomEdge;
  if (code & HitBottomEdge) opposite |= HitTopEdge;
  return opposite;
}

// The factor that takes the handle from `handle` to `to` seen from `anchor`; 1 for a zero factor.
double AxisFactor(double anchor, double handle, double to) {
  const double factor = (to - anchor) / (handle - anchor);
  return factor == 0.0 || !std::isfinite(factor) ? 1.0 : factor;
}
}  // namespace

void MoveLayer(MapLayer* layer, int32_t dx, int32_t dy, float zoom) {
  if (!(zoom > 0.0f)) return;
  layer->centerX += float(double(dx) / zoom);
  layer->centerY += float(double(dy) / zoom);
}

void ResizeLayer(MapLayer* layer, uint32_t hitCode, double x, double y, bool proportional, bool aboutCentre) {
  const uint32_t code = hitCode & HitEdgeBits;
  if (code == 0) return;
  const double width = layer->placedWidth, height = layer->placedHeight;
  const Vector anchor = HandlePoint(OppositeHandle(code), width, height);
  const Vector handle = HandlePoint(code, width, height);
  const double c = std::cos(double(layer->angle)), s = std::sin(double(layer->angle));
  const double rx = x - layer->centerX, ry = y - layer->centerY;
  Vector m{rx * c + ry * s, -rx * s + ry * c};
  if (aboutCentre) m = Vector{2.0 * m.x - handle.x, 2.0 * m.y - handle.y};

  double widthFactor = 1.0, heightFactor = 1.0;
  if (proportional) {
    const Vector reach{handle.x - anchor.x, handle.y - anchor.y};
    const double length2 = reach.x * reach.x + reach.y * reach.y;
    double t = length2 > 0.0 ? ((m.x - anchor.x) * reach.x + (m.y - anchor.y) * reach.y) / length2 : 1.0;
    if (t == 0.0 || !std::isfinite(t)) t = 1.0;
    widthFactor = heightFactor = t;
  } else {
    if (code & (HitLeftEdge | HitRightEdge)) widthFactor = AxisFactor(anchor.x, handle.x, m.x);
    if (code & (HitTopEdge | HitBottomEdge)) heightFactor = AxisFactor(anchor.y, handle.y, m.y);
  }
  layer->placedWidth = float(width * widthFactor);
  layer->placedHeight = float(height * heightFactor);
  if (aboutCentre) return;
  // The new handle position seen from the anchor, and the centre halfway between them.
  const Vector moved{anchor.x + (handle.x - anchor.x) * widthFactor, anchor.y + (handle.y - anchor.y) * heightFactor};
  const Vector mid{(anchor.x + moved.x) / 2.0, (anchor.y + moved.y) / 2.0};
  layer->centerX = float(layer->centerX + mid.x * c - mid.y * s);
  layer->centerY = float(layer->centerY + mid.x * s + mid.y * c);
}

RotationDrag BeginRotation(const MapLayer& layer) { return RotationDrag{layer.angle, layer.angle}; }

void RotateLayer(MapLayer* layer, RotationDrag* drag, double fromX, double fromY, double x, double y, bool snap) {
  const double before = std::atan2(fromY - layer->centerY, fromX - layer->centerX);
  const double after = std::atan2(y - layer->centerY, x - layer->centerX);
  double turn = after - before;
  if (turn > std::numbers::pi) turn -= 2.0 * std::numbers::pi;
  if (turn < -std::numbers::pi) turn += 2.0 * std::numbers::pi;
  drag->runningAngle += turn;
  if (!snap) {
    layer->angle = float(drag->runningAngle);
    return;
  }
  const double change = drag->runningAngle - drag->startAngle;
  layer->angle = float(drag->startAngle + change - std::fmod(change, RotationStep));
}
