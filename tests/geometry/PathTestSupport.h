// Test helpers for the path geometry: writing path records, running the
// outline pipeline and measuring rings, and an even-odd area oracle that
// shares no code with the tracer (FreeType's anti-aliasing rasteriser).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Contour;
struct OffsetRingList;

namespace pathtest {

struct Point {
  double x, y;  // pixels, y down
};

struct UnitPoint {
  int32_t x, y;  // path units
};

// Writes 26-byte big-endian path records for a document of the given size.
class RecordWriter {
 public:
  RecordWriter(int32_t width, int32_t height) : width_(width), height_(height) {}
  // A length record: selector 0 (closed) or 3 (open) with a knot count.
  void Length(bool closed, int16_t count);
  // A knot record with explicit selector and raw 8.24 values (vertical first).
  void RawKnot(uint16_t selector, UnitPoint preceding, UnitPoint anchor, UnitPoint leaving);
  // A knot of a subpath started with Length(closed, ...): points in pixels.
  void Knot(bool closed, bool linked, Point preceding, Point anchor, Point leaving);
  // A corner knot whose control points sit on the anchor.
  void Corner(bool closed, Point anchor) { Knot(closed, false, anchor, anchor, anchor); }
  // A record with any selector and zero content (fill rule, clipboard...).
  void Other(uint16_t selector);
  // A whole closed polygon subpath.
  void Polygon(const std::vector<Point>& points, bool closed = true);

  UnitPoint ToUnits(Point p) const;
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

 private:
  void Put16(uint16_t v);
  void Put32(int32_t v);
  int32_t width_, height_;
  std::vector<uint8_t> bytes_;
};

struct RingPoint {
  int32_t x, y;     // path units
  uint32_t flags;   // SmoothPoint / CurveEdge
};
using Ring = std::vector<RingPoint>;
using Polygon = std::vector<UnitPoint>;

// Copies of the vertex rings of a contour list (path units).
std::vector<Polygon> ContourPolygons(const Contour* list);
std::vector<Ring> RingsOf(const OffsetRingList* set);

// Shoelace area of a ring in path units squared, positive when the region
// lies to the right of the walk on a y-down screen.
double SignedArea(const Ring& ring);
double SignedArea(const std::vector<Ring>& rings);

// Even-odd area of the polygons in square pixels, measured with FreeType's
// anti-aliasing rasteriser; `scale` multiplies pixel coordinates first to
// make the measure finer. Points beyond FreeType's range fail the test.
double EvenOddAreaPixels(const std::vector<Polygon>& polygons, int32_t width, int32_t height, double scale = 4.0);

// Square pixels per square path unit.
double PixelsPerSquareUnit(int32_t width, int32_t height);

struct TraceOutcome {
  int16_t result = 0;    // result cell after reading and building
  bool read = false;     // the records gave a contour list
  bool built = false;    // BuildElementOutlines returned 1
  std::vector<Polygon> input;  // the contours as read
  std::vector<Ring> outer, inner;
};

// Reads the records and builds both outline sets with a counting memory,
// copies everything out, releases it all and checks that no block is left.
TraceOutcome TraceRecords(const std::vector<uint8_t>& bytes, int32_t width, int32_t height);

// Glyphs of a font file as path records (one closed subpath per contour, conic
// segments raised to cubics), the em scaled to `emPixels`, placed with the
// origin at (originX, baseline).
class FontPaths {
 public:
  explicit FontPaths(const std::string& file);
  ~FontPaths();
  bool ok() const { return face_ != nullptr; }
  long glyphCount() const;
  // Appends the glyph's subpaths; returns its advance in pixels.
  double AppendGlyph(RecordWriter& writer, unsigned glyphIndex, double emPixels, double originX, double baseline);
  unsigned GlyphOfChar(unsigned long code) const;

 private:
  void* library_ = nullptr;
  void* face_ = nullptr;
};

// The font files used by the glyph tests that exist on this machine.
std::vector<std::string> TestFontFiles();

}  // namespace pathtest
