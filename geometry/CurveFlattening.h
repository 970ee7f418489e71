// Flattening of cubic path segments into chords of a contour.
#pragma once
#include <cstdint>

struct Contour;

// A point in path units: 8.24 fractions of the document's width (x) and
// height (y).
struct PathPoint {
  int32_t x, y;
};

// Largest squared distance, in square pixels, between a sub-curve's midpoint
// and its chord for the chord to stand for the sub-curve (about 0.0316 px).
constexpr double FlatnessTolerance = 0.001;
// Subdivision depth after which a sub-curve is taken as flat whatever its
// measure. Integer halving can repeat a sub-curve of a few path units exactly
// and never meet the tolerance on documents wider than about 2^19 pixels.
constexpr int MaxFlatteningDepth = 32;

// Appends to the contour the chord start points of the cubic curve from
// anchor p0 with controls p1, p2 to anchor p3; p3 itself is not appended.
// Every vertex carries SmoothPoint | CurveEdge except that the first loses
// SmoothPoint unless `smooth`. documentWidth and documentHeight (pixels)
// scale path units for the flatness measure. Returns 1, or 0 with MemFullErr
// set (vertices appended so far stay in the contour).
int FlattenCurve(Contour* contour, PathPoint p0, PathPoint p1, PathPoint p2, PathPoint p3, bool smooth,
                 int32_t documentWidth, int32_t documentHeight);
