#include "ui/PreviewGeometry.h"

#include <cmath>

namespace {
int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t Max(int32_t a, int32_t b) { return a > b ? a : b; }

// One axis of the source: `length` document pixels centred where
// first..last was, inside 0..extent.
void CentreSpan(int32_t first, int32_t last, int32_t length, int32_t extent, int32_t* start, int32_t* end) {
  int32_t s = (first + last) / 2 - length / 2;
  s = Max(s, 0);
  if (s + length > extent) s = Max(extent - length, 0);
  *start = s;
  *end = s + length;
}

// The zoomed extent, rounded up: the preview area never shows grey inside the document.
int32_t ZoomedExtent(float zoom, int32_t extent) { return int32_t(std::ceil(double(zoom) * double(extent))); }

// One axis of the hand tool; returns 1 when it moved.
int32_t ScrollSpan(int32_t* start, int32_t* end, int32_t amount, float zoom, int32_t area, int32_t extent) {
  if (amount == 0 || ZoomedExtent(zoom, extent) <= area) return 0;
  const int32_t length = *end - *start;
  const int32_t moved = Min(Max(*start + amount, 0), Max(extent - length, 0));
  if (moved == *start) return 0;
  *start = moved;
  *end = moved + length;
  return 1;
}
}  // namespace

PreviewGeometry FitPreview(float zoom, int32_t clientWidth, int32_t clientHeight, int32_t documentWidth,
                           int32_t documentHeight, const VRect& previous) {
  PreviewGeometry g{};
  if (!(zoom > 0.0f) || clientWidth <= 0 || clientHeight <= 0 || documentWidth <= 0 || documentHeight <= 0) return g;
  g.width = Min(clientWidth, ZoomedExtent(zoom, documentWidth));
  g.height = Min(clientHeight, ZoomedExtent(zoom, documentHeight));
  const int32_t sourceWidth = Min(int32_t(double(g.width) / double(zoom)), documentWidth);
  const int32_t sourceHeight = Min(int32_t(double(g.height) / double(zoom)), documentHeight);
  int32_t left, right, top, bottom;
  CentreSpan(previous.left, previous.right, sourceWidth, documentWidth, &left, &right);
  CentreSpan(previous.top, previous.bottom, sourceHeight, documentHeight, &top, &bottom);
  g.source = VRect{top, left, bottom, right};
  return g;
}

int32_t ScrollPreview(PreviewGeometry* geometry, float zoom, int32_t dx, int32_t dy, int32_t documentWidth,
                      int32_t documentHeight) {
  if (!(zoom > 0.0f)) return 0;
  const int32_t amountX = -int32_t(double(dx) / double(zoom));
  const int32_t amountY = -int32_t(double(dy) / double(zoom));
  if (amountX == 0 && amountY == 0) return 0;
  VRect& s = geometry->source;
  const int32_t movedX = ScrollSpan(&s.left, &s.right, amountX, zoom, geometry->width, documentWidth);
  const int32_t movedY = ScrollSpan(&s.top, &s.bottom, amountY, zoom, geometry->height, documentHeight);
  return movedX | movedY;
}
