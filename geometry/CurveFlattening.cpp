#include "geometry/CurveFlattening.h"

#include <initializer_list>

#include "geometry/Contour.h"
#include "geometry/PathUnits.h"

namespace {

struct Flattener {
  Contour* contour;
  double scaleX;  // pixels per path unit, horizontally
  double scaleY;  // pixels per path unit, vertically
};

inline int32_t Half(int32_t a, int32_t b) { return int32_t((int64_t(a) + b) >> 1); }
inline PathPoint Mid(PathPoint a, PathPoint b) { return PathPoint{Half(a.x, b.x), Half(a.y, b.y)}; }

// Squared distance in pixels of m from the chord p0-p3, or of m from p0 when
// the chord has no length.
double Deviation(const Flattener& f, PathPoint p0, PathPoint m, PathPoint p3) {
  const double dx = (double(p3.x) - p0.x) * f.scaleX;
  const double dy = (double(p3.y) - p0.y) * f.scaleY;
  const double mx = (double(m.x) - p0.x) * f.scaleX;
  const double my = (double(m.y) - p0.y) * f.scaleY;
  const double chord = dx * dx + dy * dy;
  if (chord == 0) return mx * mx + my * my;
  const double v = (dx * mx + dy * my) / chord;
  const double ex = mx - v * dx;
  const double ey = my - v * dy;
  return ex * ex + ey * ey;
}

// A sub-curve whose points all lie within one path unit of its start is below
// the resolution of path units (the cleanup pass would merge its vertices), on
// however large a document.
bool WithinOneUnit(PathPoint p0, PathPoint p1, PathPoint p2, PathPoint p3) {
  for (const PathPoint& p : {p1, p2, p3}) {
    const int64_t dx = int64_t(p.x) - p0.x, dy = int64_t(p.y) - p0.y;
    if (dx < -1 || dx > 1 || dy < -1 || dy > 1) return false;
  }
  return true;
}

int Subdivide(const Flattener& f, PathPoint p0, PathPoint p1, PathPoint p2, PathPoint p3, int depth) {
  const PathPoint l1 = Mid(p0, p1);
  const PathPoint h = Mid(p1, p2);
  const PathPoint r2 = Mid(p2, p3);
  const PathPoint l2 = Mid(l1, h);
  const PathPoint r1 = Mid(h, r2);
  const PathPoint m = Mid(l2, r1);
  if (depth >= MaxFlatteningDepth || WithinOneUnit(p0, p1, p2, p3) || Deviation(f, p0, m, p3) <= FlatnessTolerance)
    return AppendVertex(f.contour, p0.x, p0.y, SmoothPoint | CurveEdge);
  if (!Subdivide(f, p0, l1, l2, m, depth + 1)) return 0;
  return Subdivide(f, m, r1, r2, p3, depth + 1);
}
}  // namespace

int FlattenCurve(Contour* contour, PathPoint p0, PathPoint p1, PathPoint p2, PathPoint p3, bool smooth,
                 int32_t documentWidth, int32_t documentHeight) {
  const Flattener f{contour, documentWidth * PathUnitScale, documentHeight * PathUnitScale};
  PathVertex* last = contour->firstVertex != nullptr ? contour->firstVertex->prev : nullptr;
  if (!Subdivide(f, p0, p1, p2, p3, 0)) return 0;
  if (!smooth) {
    PathVertex* first = last != nullptr ? last->next : contour->firstVertex;
    first->flags &= ~SmoothPoint;
  }
  return 1;
}
