#include "cli/PathModel.h"

#include <cmath>
#include <limits>

#include "interface/PluginInterface.h"

namespace {

constexpr int32_t MaxKnotsPerSubpath = std::numeric_limits<int16_t>::max();  // a length record's count

void PutBigEndian16(uint8_t* at, int16_t value) {
  const auto bits = static_cast<uint16_t>(value);
  at[0] = static_cast<uint8_t>(bits >> 8);
  at[1] = static_cast<uint8_t>(bits);
}

void PutBigEndian32(uint8_t* at, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  at[0] = static_cast<uint8_t>(bits >> 24);
  at[1] = static_cast<uint8_t>(bits >> 16);
  at[2] = static_cast<uint8_t>(bits >> 8);
  at[3] = static_cast<uint8_t>(bits);
}

// A zero-filled record carrying `selector`; returns where its body starts.
uint8_t* AppendRecord(std::vector<uint8_t>& records, PathRecordKind selector) {
  const size_t start = records.size();
  records.resize(start + PathRecordSize, 0);
  PutBigEndian16(&records[start], selector);
  return &records[start + 2];
}

bool SamePoint(double ax, double ay, double bx, double by, double tolerance) {
  return std::fabs(ax - bx) <= tolerance && std::fabs(ay - by) <= tolerance;
}

}  // namespace

bool PixelsToPathFraction(double pixels, int32_t size, int32_t* value) {
  if (size <= 0) return false;
  // Scaling by a power of two is exact, so the division is the only rounding
  // before the final round to nearest.
  const double scaled = std::round(std::ldexp(pixels, PathFractionBits) / size);
  if (!std::isfinite(scaled) || scaled < std::numeric_limits<int32_t>::min() ||
      scaled > std::numeric_limits<int32_t>::max())
    return false;
  *value = static_cast<int32_t>(scaled);
  return true;
}

bool EncodePathRecords(const PathModel& path, int32_t documentWidth, int32_t documentHeight,
                       const PathEncodeOptions& options, std::vector<uint8_t>& records,
                       std::string& error) {
  if (documentWidth <= 0 || documentHeight <= 0) {
    error = "the document size must be positive to encode a path";
    return false;
  }
  std::vector<uint8_t> out;
  if (options.leadingFillRuleRecords) {
    AppendRecord(out, FillRuleRecord);
    AppendRecord(out, InitialFillRuleRecord);  // body 0: start without fill
  }
  for (size_t s = 0; s < path.subpaths.size(); ++s) {
    const Subpath& subpath = path.subpaths[s];
    if (subpath.knots.empty()) continue;
    if (subpath.knots.size() > static_cast<size_t>(MaxKnotsPerSubpath)) {
      error = "subpath " + std::to_string(s + 1) + " has " + std::to_string(subpath.knots.size()) +
              " knots; at most " + std::to_string(MaxKnotsPerSubpath) + " fit in one subpath";
      return false;
    }
    PutBigEndian16(AppendRecord(out, subpath.closed ? ClosedLengthRecord : OpenLengthRecord),
                   static_cast<int16_t>(subpath.knots.size()));
    for (const PathKnot& knot : subpath.knots) {
      const bool smooth = knot.linked;
      const PathRecordKind selector =
          subpath.closed ? (smooth ? ClosedKnotLinked : ClosedKnotUnlinked)
                         : (smooth ? OpenKnotLinked : OpenKnotUnlinked);
      // Vertical before horizontal: preceding control, anchor, leaving control.
      const double pixels[6] = {knot.inY, knot.inX, knot.anchorY, knot.anchorX, knot.outY, knot.outX};
      int32_t values[6];
      for (int i = 0; i < 6; ++i) {
        const int32_t size = (i % 2 == 0) ? documentHeight : documentWidth;
        if (!PixelsToPathFraction(pixels[i], size, &values[i])) {
          error = "a point of subpath " + std::to_string(s + 1) + " (" + std::to_string(knot.anchorX) +
                  ", " + std::to_string(knot.anchorY) +
                  ") lies too far outside the document to be encoded";
          return false;
        }
      }
      uint8_t* body = AppendRecord(out, selector);
      for (int i = 0; i < 6; ++i) PutBigEndian32(body + 4 * i, values[i]);
    }
  }
  records.insert(records.end(), out.begin(), out.end());
  return true;
}

void MarkSmoothKnots(PathModel& path, double sineTolerance) {
  for (Subpath& subpath : path.subpaths) {
    for (PathKnot& knot : subpath.knots) {
      const double ax = knot.anchorX - knot.inX, ay = knot.anchorY - knot.inY;     // arriving tangent
      const double bx = knot.outX - knot.anchorX, by = knot.outY - knot.anchorY;  // leaving tangent
      const double lengths = std::hypot(ax, ay) * std::hypot(bx, by);
      knot.linked = lengths > 0 && ax * bx + ay * by > 0 &&
                    std::fabs(ax * by - ay * bx) <= sineTolerance * lengths;
    }
  }
}

bool PathControlBounds(const PathModel& path, double* minX, double* minY, double* maxX,
                       double* maxY) {
  bool any = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  auto include = [&](double x, double y) {
    if (!any) {
      x0 = x1 = x;
      y0 = y1 = y;
      any = true;
      return;
    }
    x0 = std::fmin(x0, x);
    x1 = std::fmax(x1, x);
    y0 = std::fmin(y0, y);
    y1 = std::fmax(y1, y);
  };
  for (const Subpath& subpath : path.subpaths) {
    for (const PathKnot& knot : subpath.knots) {
      include(knot.anchorX, knot.anchorY);
      include(knot.inX, knot.inY);
      include(knot.outX, knot.outY);
    }
  }
  if (!any) return false;
  *minX = x0;
  *minY = y0;
  *maxX = x1;
  *maxY = y1;
  return true;
}

void TranslatePath(PathModel& path, double dx, double dy) {
  for (Subpath& subpath : path.subpaths) {
    for (PathKnot& knot : subpath.knots) {
      knot.anchorX += dx;
      knot.inX += dx;
      knot.outX += dx;
      knot.anchorY += dy;
      knot.inY += dy;
      knot.outY += dy;
    }
  }
}

Subpath& PathBuilder::OpenSubpath() {
  if (current_ < 0) {
    model_.subpaths.emplace_back();
    current_ = static_cast<int>(model_.subpaths.size()) - 1;
    PathKnot first;
    first.anchorX = first.inX = first.outX = currentX_;
    first.anchorY = first.inY = first.outY = currentY_;
    model_.subpaths.back().knots.push_back(first);
    startX_ = currentX_;
    startY_ = currentY_;
  }
  return model_.subpaths[static_cast<size_t>(current_)];
}

void PathBuilder::MoveTo(double x, double y) {
  EndOpen();
  currentX_ = x;
  currentY_ = y;
  hasCurrentPoint_ = true;
  OpenSubpath();
}

void PathBuilder::LineTo(double x, double y) {
  if (!hasCurrentPoint_) {
    MoveTo(x, y);
    return;
  }
  Subpath& subpath = OpenSubpath();
  PathKnot knot;
  knot.anchorX = knot.inX = knot.outX = x;
  knot.anchorY = knot.inY = knot.outY = y;
  subpath.knots.push_back(knot);
  currentX_ = x;
  currentY_ = y;
}

void PathBuilder::CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) {
  if (!hasCurrentPoint_) MoveTo(c1x, c1y);
  Subpath& subpath = OpenSubpath();
  subpath.knots.back().outX = c1x;
  subpath.knots.back().outY = c1y;
  PathKnot knot;
  knot.inX = c2x;
  knot.inY = c2y;
  knot.anchorX = knot.outX = x;
  knot.anchorY = knot.outY = y;
  subpath.knots.push_back(knot);
  currentX_ = x;
  currentY_ = y;
}

void PathBuilder::QuadTo(double cx, double cy, double x, double y) {
  if (!hasCurrentPoint_) MoveTo(cx, cy);
  // The cubic with controls two thirds of the way from each end to the
  // quadratic's control traces the same curve.
  const double x0 = currentX_, y0 = currentY_;
  CubicTo(x0 + 2.0 / 3.0 * (cx - x0), y0 + 2.0 / 3.0 * (cy - y0), x + 2.0 / 3.0 * (cx - x),
          y + 2.0 / 3.0 * (cy - y), x, y);
}

void PathBuilder::Close() {
  if (current_ < 0) return;
  Subpath& subpath = model_.subpaths[static_cast<size_t>(current_)];
  std::vector<PathKnot>& knots = subpath.knots;
  // Merging needs at least three knots so that two remain: a loop drawn from
  // one knot back to itself keeps its end knot.
  if (knots.size() >= 3 && SamePoint(knots.back().anchorX, knots.back().anchorY, knots.front().anchorX,
                                     knots.front().anchorY, closeTolerance)) {
    knots.front().inX = knots.back().inX;
    knots.front().inY = knots.back().inY;
    knots.pop_back();
  }
  subpath.closed = true;
  current_ = -1;
  currentX_ = startX_;
  currentY_ = startY_;
}

void PathBuilder::EndOpen() { current_ = -1; }

PathModel PathBuilder::Take() {
  EndOpen();
  PathModel result;
  for (Subpath& subpath : model_.subpaths)
    if (subpath.knots.size() >= 2) result.subpaths.push_back(std::move(subpath));
  model_ = PathModel();
  hasCurrentPoint_ = false;
  return result;
}
