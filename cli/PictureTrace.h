// Outlines of the shapes in a picture, traced with potrace into a PathModel.
//
// A plane of 8-bit values (alpha, a mask's luma, a selection) is cut at a
// threshold; the pixels at or above it are the shapes. Their outlines, holes
// and the islands inside holes included, come back as closed subpaths in
// document pixels on the picture's own grid: pixel (x, y) covers the square
// [x, x + 1] x [y, y + 1], y downwards. Outer outlines and holes run in
// opposite directions, so both the nonzero and the even-odd rule fill them.
#pragma once
#include <cstdint>
#include <string>

#include "cli/PathModel.h"

// How outlines are fitted to the pixel staircase. The defaults keep the
// right angles of a clean logo sharp (those of squares from 8 pixels a side
// on) and turn its round parts into smooth curves.
struct TraceSettings {
  // Shapes and holes of at most this many pixels are dropped as speckles.
  int32_t speckleSize = 2;
  // How sharp a bend must be to stay a corner: 0 keeps every bend of the
  // staircase as a corner, MaxCornerThreshold none; larger is rounder.
  double cornerThreshold = 1.0;
  // Joins runs of curve segments into fewer ones as long as the joined curve
  // stays within curveTolerance pixels of them.
  bool optimizeCurves = true;
  double curveTolerance = 0.2;
};

constexpr double MaxCornerThreshold = 4.0 / 3.0;
constexpr int32_t MaxSpeckleSize = 1000000;  // pixels
constexpr double MaxCurveTolerance = 10.0;   // pixels

// Returns an empty string when the settings are usable, else what is wrong.
std::string CheckTraceSettings(const TraceSettings& settings);

struct TraceReport {
  int64_t insidePixels = 0;  // pixels at or above the threshold
  int32_t outlines = 0;      // outer outlines (shapes and islands)
  int32_t holes = 0;
};

// Traces `plane` (height rows of width bytes, top row first) cut at
// `threshold` (1..255) and appends one closed subpath per outline to `path`,
// smooth knots linked. The bitmap handed to potrace comes from the work
// memory (core/WorkMemory.h), which must be bound.
// Returns 0 with a message in `error`, and `path` unchanged, when no pixel
// reaches the threshold, when every shape is a speckle, when the size or the
// settings are out of range, or when memory runs out.
bool TracePlane(const uint8_t* plane, int32_t width, int32_t height, uint8_t threshold,
                const TraceSettings& settings, PathModel& path, TraceReport* report, std::string& error);
