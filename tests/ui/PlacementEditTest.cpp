// The map edit tool's rules: handles and hit codes of the placement frame
// against an independent point-in-rectangle test, and the drag math of move,
// resize and rotate as properties (what stays fixed, where the handle lands,
// which angles Shift allows).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "style/StyleRecord.h"
#include "ui/PlacementDrag.h"
#include "ui/PlacementFrame.h"

namespace {
constexpr PreviewMapping OneToOne{1.0f, 0, 0, 0, 0};

MapLayer RandomLayer(std::mt19937& random) {
  std::uniform_real_distribution<double> size(60, 400), centre(-300, 300), angle(-4, 4);
  MapLayer layer{};
  layer.placedWidth = float(size(random) * (random() % 4 == 0 ? -1 : 1));
  layer.placedHeight = float(size(random));
  layer.centerX = float(centre(random));
  layer.centerY = float(centre(random));
  layer.angle = float(angle(random));
  return layer;
}

// A point of the layer's unrotated frame (u, v in units of width and height) in the effect frame.
void FramePointAt(const MapLayer& l, double u, double v, double* x, double* y) {
  const double px = u * l.placedWidth, py = v * l.placedHeight, c = std::cos(l.angle), s = std::sin(l.angle);
  *x = l.centerX + px * c - py * s;
  *y = l.centerY + px * s + py * c;
}
double U(uint32_t code) { return code & HitLeftEdge ? -0.5 : code & HitRightEdge ? 0.5 : 0.0; }
double V(uint32_t code) { return code & HitTopEdge ? -0.5 : code & HitBottomEdge ? 0.5 : 0.0; }
uint32_t Opposite(uint32_t code) {
  return (code & HitLeftEdge ? HitRightEdge : 0) | (code & HitRightEdge ? HitLeftEdge : 0) |
         (code & HitTopEdge ? HitBottomEdge : 0) | (code & HitBottomEdge ? HitTopEdge : 0);
}
}  // namespace

// Each handle is found at its own point, and away from the handles a point is
// inside exactly when the inverse rotation puts it inside the unrotated frame.
TEST(PlacementFrame, HandlesAndInsideAgreeWithTheUnrotatedFrame) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> unit(-0.8, 0.8);
  for (int trial = 0; trial < 300; ++trial) {
    const MapLayer layer = RandomLayer(random);
    const PlacementFrame frame = MakePlacementFrame(layer, OneToOne);
    for (int32_t i = 0; i < HandleCount; ++i) {
      double x, y;
      FramePointAt(layer, U(HandleCodes[i]), V(HandleCodes[i]), &x, &y);
      // Corners are truncated; midpoints average two truncated corners.
      EXPECT_NEAR(frame.handles[i].x, x, 1.5);
      EXPECT_NEAR(frame.handles[i].y, y, 1.5);
      EXPECT_EQ(HitTestFrame(frame, frame.handles[i]), HandleCodes[i]);
    }
    for (int k = 0; k < 50; ++k) {
      const double u = unit(random), v = unit(random);
      // Keep 3 pixels clear of the sides: the frame's corners are truncated.
      const double margin = std::fmin(std::fabs(std::fabs(u) - 0.5) * std::fabs(layer.placedWidth),
                                      std::fabs(std::fabs(v) - 0.5) * layer.placedHeight);
      if (margin < 3.0) continue;
      double x, y;
      FramePointAt(layer, u, v, &x, &y);
      const FramePoint p{int32_t(std::lround(x)), int32_t(std::lround(y))};
      bool nearHandle = false;
      for (const FramePoint& h : frame.handles)
        nearHandle |= std::abs(h.x - p.x) <= HandleReach && std::abs(h.y - p.y) <= HandleReach;
      if (nearHandle) continue;
      EXPECT_EQ(HitTestFrame(frame, p), std::fabs(u) < 0.5 && std::fabs(v) < 0.5 ? HitInside : HitOutside);
    }
  }
}

// Dragging a handle to any point keeps the opposite handle where it was (or,
// about the centre, the centre); without Shift the dragged handle lands on
// the mouse along the axes it moves.
TEST(PlacementDrag, ResizeKeepsTheAnchorAndReachesTheMouse) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> mouse(-600, 600);
  for (int trial = 0; trial < 2000; ++trial) {
    MapLayer layer = RandomLayer(random);
    const uint32_t code = HandleCodes[random() % HandleCount];
    const bool proportional = random() % 2 == 0, aboutCentre = random() % 3 == 0;
    const double mx = mouse(random), my = mouse(random);
    double ax, ay, cx = layer.centerX, cy = layer.centerY;
    FramePointAt(layer, U(Opposite(code)), V(Opposite(code)), &ax, &ay);
    const float oldWidth = layer.placedWidth, oldHeight = layer.placedHeight;
    ResizeLayer(&layer, code, mx, my, proportional, aboutCentre);
    const double tolerance = 1e-3 * (std::fabs(mx) + std::fabs(my) + 1000);
    double fx, fy;
    FramePointAt(layer, U(Opposite(code)), V(Opposite(code)), &fx, &fy);
    EXPECT_NEAR(aboutCentre ? layer.centerX : fx, aboutCentre ? cx : ax, tolerance);
    EXPECT_NEAR(aboutCentre ? layer.centerY : fy, aboutCentre ? cy : ay, tolerance);
    if (proportional) {
      EXPECT_NEAR(layer.placedWidth / oldWidth, layer.placedHeight / oldHeight, 1e-3);
      continue;
    }
    // The mouse in the new frame: on the handle's moved coordinates.
    const double c = std::cos(layer.angle), s = std::sin(layer.angle);
    const double rx = mx - layer.centerX, ry = my - layer.centerY;
    const double u = (rx * c + ry * s) / layer.placedWidth, v = (-rx * s + ry * c) / layer.placedHeight;
    if (code & (HitLeftEdge | HitRightEdge) && layer.placedWidth != oldWidth) {
      EXPECT_NEAR(u, U(code), 1e-3);
    }
    if (code & (HitTopEdge | HitBottomEdge) && layer.placedHeight != oldHeight) {
      EXPECT_NEAR(v, V(code), 1e-3);
    }
    if (!(code & (HitLeftEdge | HitRightEdge))) {
      EXPECT_EQ(layer.placedWidth, oldWidth);
    }
  }
}

// A rotating drag follows the mouse around the centre; with Shift the angle
// is the start angle plus whole 15-degree steps, never past the free angle.
TEST(PlacementDrag, RotationFollowsTheMouseAndShiftSnapsFromTheStartAngle) {
  std::mt19937 random(9);
  std::uniform_real_distribution<double> step(-1.0, 1.0);
  for (int trial = 0; trial < 200; ++trial) {
    MapLayer layer = RandomLayer(random);
    RotationDrag drag = BeginRotation(layer);
    double turned = 0, a = step(random) * 3;
    for (int move = 0; move < 30; ++move) {
      const double b = a + step(random);
      const bool snap = random() % 2 == 0;
      RotateLayer(&layer, &drag, layer.centerX + 100 * std::cos(a), layer.centerY + 100 * std::sin(a),
                  layer.centerX + 80 * std::cos(b), layer.centerY + 80 * std::sin(b), snap);
      turned += b - a;
      a = b;
      EXPECT_NEAR(drag.runningAngle, drag.startAngle + turned, 1e-9);
      const double change = layer.angle - drag.startAngle;
      if (!snap) {
        EXPECT_NEAR(layer.angle, drag.runningAngle, 1e-5);
        continue;
      }
      EXPECT_NEAR(change / RotationStep, std::round(change / RotationStep), 1e-4);
      EXPECT_LE(std::fabs(change), std::fabs(turned) + 1e-5);
      EXPECT_LT(std::fabs(turned - change), RotationStep);
    }
  }
}

TEST(PlacementDrag, MoveFollowsTheMouseInDocumentPixels) {
  MapLayer layer{};
  MoveLayer(&layer, 30, -12, 3.0f);
  EXPECT_FLOAT_EQ(layer.centerX, 10.0f);
  EXPECT_FLOAT_EQ(layer.centerY, -4.0f);
}

// The edited layer is the end of the chain of shared placements; only a
// shown, image-backed, non-Background placement can be edited.
TEST(PlacementFrame, EditedLayerFollowsSharedPlacements) {
  MapImage* image = reinterpret_cast<MapImage*>(&image);
  MapLayer owner{}, middle{}, selected{};
  owner.image = image;
  middle.mappingLink = reinterpret_cast<uintptr_t>(&owner);
  selected.mappingLink = reinterpret_cast<uintptr_t>(&middle);
  EXPECT_EQ(EditedLayer(&selected), &owner);
  EXPECT_TRUE(CanEditPlacement(&selected, ShowMappingFlag));
  EXPECT_FALSE(CanEditPlacement(&selected, 0));
  owner.layerFlags = BackgroundLayer;
  EXPECT_FALSE(CanEditPlacement(&selected, ShowMappingFlag));
  owner.mappingLink = reinterpret_cast<uintptr_t>(&selected);  // a loop never settles
  EXPECT_EQ(EditedLayer(&selected), nullptr);
  EXPECT_FALSE(CanEditPlacement(nullptr, ShowMappingFlag));
}
