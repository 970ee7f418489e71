// The command-line tool's own vector path model, and its encoding as the
// host's 26-byte path records.
//
// Readers (SVG files, text set in a font) produce a PathModel in document
// pixels, x to the right and y downwards; EncodePathRecords turns it into the
// byte string a host hands to the filter for its target path.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One knot of a subpath. All coordinates are document pixels.
struct PathKnot {
  double anchorX = 0, anchorY = 0;
  double inX = 0, inY = 0;    // control point of the segment arriving at the anchor
  double outX = 0, outY = 0;  // control point of the segment leaving the anchor
  // The two control points are kept on one line through the anchor (a smooth
  // node); only meaningful when both differ from the anchor.
  bool linked = false;
};

struct Subpath {
  std::vector<PathKnot> knots;
  // A closed subpath has a segment from its last knot back to its first,
  // shaped by the last knot's leaving and the first knot's arriving control.
  bool closed = false;
};

struct PathModel {
  std::vector<Subpath> subpaths;
};

// Fraction bits of the record coordinates: 8.24 fixed point, 1 << 24 being
// the document's full width (horizontal values) or height (vertical values).
constexpr int PathFractionBits = 24;

// The first big-endian 16-bit field of every record (records are PathRecordSize bytes long,
// interface/PluginInterface.h).
enum PathRecordKind : int16_t {
  ClosedLengthRecord = 0,     // starts a closed subpath; knot count follows
  ClosedKnotLinked = 1,       // knot of a closed subpath, smooth node
  ClosedKnotUnlinked = 2,     // knot of a closed subpath, corner node
  OpenLengthRecord = 3,       // starts an open subpath; knot count follows
  OpenKnotLinked = 4,         // knot of an open subpath, smooth node
  OpenKnotUnlinked = 5,       // knot of an open subpath, corner node
  FillRuleRecord = 6,         // path fill rule; the rest of the record is zero
  ClipboardRecord = 7,        // clipboard bounds and resolution
  InitialFillRuleRecord = 8   // initial fill setting: 16-bit 0 or 1
};

struct PathEncodeOptions {
  // Start with a fill rule record and an initial fill rule record, as
  // image editors write them in front of the first subpath.
  bool leadingFillRuleRecords = true;
};

// Converts a pixel coordinate to an 8.24 fraction of `size` pixels, rounded to
// the nearest value (halves away from zero). Returns 0 and leaves *value
// untouched when the result does not fit in a signed 32-bit value or is not
// finite.
bool PixelsToPathFraction(double pixels, int32_t size, int32_t* value);

// Appends the records for `path` to `records`. Subpaths without knots are
// left out. Returns 0 with a message in `error` when the document size is not
// positive, a subpath has more knots than a length record can count, or a
// coordinate does not fit in 8.24; `records` is then unchanged.
bool EncodePathRecords(const PathModel& path, int32_t documentWidth, int32_t documentHeight,
                       const PathEncodeOptions& options, std::vector<uint8_t>& records,
                       std::string& error);

// Marks as linked every knot whose two control points differ from its anchor
// and lie on opposite sides of it on one line, within `sineTolerance` (the
// sine of the angle between the two tangents). Other knots become unlinked.
void MarkSmoothKnots(PathModel& path, double sineTolerance = 1e-3);

// The axis-aligned box of all anchors and control points (which contains the
// curves). Returns 0 for a path without knots.
bool PathControlBounds(const PathModel& path, double* minX, double* minY, double* maxX,
                       double* maxY);

// Moves every point of the path by (dx, dy) pixels.
void TranslatePath(PathModel& path, double dx, double dy);

// Builds a PathModel from drawing commands in document pixels, the way both
// SVG path data and font outlines describe shapes.
class PathBuilder {
 public:
  // Starts a new subpath at (x, y); a subpath under construction is ended open.
  void MoveTo(double x, double y);
  // Straight segment from the current point. Without a current point the
  // segment degenerates to a move to (x, y).
  void LineTo(double x, double y);
  void CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y);
  // Quadratic segment, stored as the equal cubic.
  void QuadTo(double cx, double cy, double x, double y);
  // Closes the current subpath. When its last anchor coincides with the first
  // (within `closeTolerance`), the two knots are merged so that the closing
  // segment is not a zero-length one.
  void Close();
  // Ends the current subpath open (without a closing segment).
  void EndOpen();

  // The current point: the end of the last segment, or after Close the
  // start of the closed subpath (a drawing command then starts a new subpath
  // there).
  bool HasCurrentPoint() const { return hasCurrentPoint_; }
  double CurrentX() const { return currentX_; }
  double CurrentY() const { return currentY_; }

  // Ends the last subpath open, drops subpaths of fewer than two knots (a lone
  // move draws nothing) and hands the model over; the builder is then empty.
  PathModel Take();

  double closeTolerance = 1e-9;  // pixels

 private:
  Subpath& OpenSubpath();  // the subpath under construction, started if needed
  PathModel model_;
  int current_ = -1;  // index of the subpath under construction, -1 = none
  bool hasCurrentPoint_ = false;
  double currentX_ = 0, currentY_ = 0;
  double startX_ = 0, startY_ = 0;
};
