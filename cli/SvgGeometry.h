// The geometric micro-languages of SVG: numbers, transform lists, path data
// (with elliptical arcs turned into cubic Béziers) and point lists.
#pragma once
#include <string>
#include <vector>

#include "cli/PathModel.h"

// A 2-D affine map x' = a x + c y + e, y' = b x + d y + f (SVG's matrix order).
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  void Apply(double x, double y, double* outX, double* outY) const {
    *outX = a * x + c * y + e;
    *outY = b * x + d * y + f;
  }
};

// The map that applies `second` after `first` (matrix product second × first).
Affine Compose(const Affine& second, const Affine& first);
Affine Translation(double tx, double ty);
Affine Scaling(double sx, double sy);
Affine Rotation(double degrees);  // positive angles turn x towards y

// Reads one number in SVG syntax at text[*pos] ("-1.5e3", ".5", "1."),
// leaving *pos after it. Leading white space is not skipped. Returns 0 (and
// leaves *pos) when no number starts there or the value is not finite.
bool ReadSvgNumber(const std::string& text, size_t* pos, double* value);

// Parses a list of numbers separated by white space and/or single commas.
bool ParseNumberList(const std::string& text, std::vector<double>* numbers, std::string* error);

// Parses a transform list ("translate(10) rotate(30 5 5) matrix(...)") into
// the single map it describes (the rightmost transform applies first). An
// empty text is the identity.
bool ParseTransformList(const std::string& text, Affine* transform, std::string* error);

// Parses path data and adds its subpaths to `builder`, every point mapped
// through `transform`. Arcs become at most quarter-turn cubic segments,
// quadratics become cubics. Returns 0 with a message naming the offset for
// malformed data; the segments before the fault are left in the builder.
bool ParseSvgPathData(const std::string& data, const Affine& transform, PathBuilder& builder,
                      std::string* error);

// Adds an SVG elliptical arc from the builder's current point (cx, cy in user
// space given as fromX/fromY) to (toX, toY) as cubic segments mapped through
// `transform`. Radii are made positive and scaled up when too small to reach;
// a zero radius gives a straight line, equal end points give nothing.
void AddSvgArc(double fromX, double fromY, double rx, double ry, double rotationDegrees, bool largeArc,
               bool sweep, double toX, double toY, const Affine& transform, PathBuilder& builder);
