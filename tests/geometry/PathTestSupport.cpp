#include "tests/geometry/PathTestSupport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_IMAGE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "geometry/Contour.h"
#include "geometry/ElementOutlines.h"
#include "geometry/OffsetNode.h"
#include "geometry/PathRecords.h"
#include "tests/support/CountingMemory.h"

namespace pathtest {

namespace {
constexpr double UnitsPerDocument = 16777216.0;  // 8.24: 2^24 units per document size

int32_t RoundUnits(double v) { return int32_t(std::llround(v)); }
}  // namespace

void RecordWriter::Put16(uint16_t v) {
  bytes_.push_back(uint8_t(v >> 8));
  bytes_.push_back(uint8_t(v));
}

void RecordWriter::Put32(int32_t v) {
  const uint32_t u = uint32_t(v);
  for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(uint8_t(u >> shift));
}

void RecordWriter::Length(bool closed, int16_t count) {
  Put16(closed ? 0 : 3);
  Put16(uint16_t(count));
  for (int i = 0; i < 22; ++i) bytes_.push_back(0);
}

void RecordWriter::RawKnot(uint16_t selector, UnitPoint preceding, UnitPoint anchor, UnitPoint leaving) {
  Put16(selector);
  for (UnitPoint p : {preceding, anchor, leaving}) {
    Put32(p.y);
    Put32(p.x);
  }
}

UnitPoint RecordWriter::ToUnits(Point p) const {
  return UnitPoint{RoundUnits(p.x * UnitsPerDocument / width_), RoundUnits(p.y * UnitsPerDocument / height_)};
}

void RecordWriter::Knot(bool closed, bool linked, Point preceding, Point anchor, Point leaving) {
  const uint16_t base = closed ? 1 : 4;
  RawKnot(uint16_t(base + (linked ? 0 : 1)), ToUnits(preceding), ToUnits(anchor), ToUnits(leaving));
}

void RecordWriter::Other(uint16_t selector) {
  Put16(selector);
  for (int i = 0; i < 24; ++i) bytes_.push_back(0);
}

void RecordWriter::Polygon(const std::vector<Point>& points, bool closed) {
  Length(closed, int16_t(points.size()));
  for (const Point& p : points) Corner(closed, p);
}

std::vector<Polygon> ContourPolygons(const Contour* list) {
  std::vector<Polygon> polygons;
  for (const Contour* c = list; c != nullptr; c = c->next) {
    Polygon polygon;
    const PathVertex* first = c->firstVertex;
    if (first != nullptr) {
      const PathVertex* v = first;
      do {
        polygon.push_back(UnitPoint{v->x, v->y});
        v = v->next;
      } while (v != first);
    }
    polygons.push_back(polygon);
  }
  return polygons;
}

std::vector<Ring> RingsOf(const OffsetRingList* set) {
  std::vector<Ring> rings;
  for (const OffsetRingList* r = set; r != nullptr; r = r->next) {
    Ring ring;
    const OffsetNode* first = r->first;
    const OffsetNode* n = first;
    if (n != nullptr) do {
        ring.push_back(RingPoint{n->fx, n->fy, n->flags});
        n = n->next;
        if (ring.size() > 50000000) {
          ADD_FAILURE() << "ring does not close";
          break;
        }
      } while (n != first);
    rings.push_back(ring);
  }
  return rings;
}

double SignedArea(const Ring& ring) {
  double sum = 0;
  for (size_t i = 0; i < ring.size(); ++i) {
    const RingPoint& a = ring[i];
    const RingPoint& b = ring[(i + 1) % ring.size()];
    sum += double(a.x) * b.y - double(b.x) * a.y;
  }
  return sum / 2;
}

double SignedArea(const std::vector<Ring>& rings) {
  double sum = 0;
  for (const Ring& r : rings) sum += SignedArea(r);
  return sum;
}

double PixelsPerSquareUnit(int32_t width, int32_t height) {
  return (width / UnitsPerDocument) * (height / UnitsPerDocument);
}

namespace {
struct LibraryHolder {
  FT_Library library = nullptr;
  LibraryHolder() { FT_Init_FreeType(&library); }
  ~LibraryHolder() { FT_Done_FreeType(library); }
};

void SumSpans(int, int count, const FT_Span* spans, void* user) {
  auto* sum = static_cast<double*>(user);
  for (int i = 0; i < count; ++i) *sum += double(spans[i].len) * spans[i].coverage;
}
}  // namespace

double EvenOddAreaPixels(const std::vector<Polygon>& polygons, int32_t width, int32_t height, double scale) {
  size_t points = 0;
  double extent = 1;
  for (const Polygon& p : polygons) {
    points += p.size();
    for (const UnitPoint& u : p) {
      extent = std::max(extent, std::fabs(double(u.x) * width / UnitsPerDocument));
      extent = std::max(extent, std::fabs(double(u.y) * height / UnitsPerDocument));
    }
  }
  scale = std::min(scale, 8000.0 / extent);
  if (points == 0) return 0;
  EXPECT_LT(points, 32000u) << "too many points for the area oracle";
  if (points >= 32000u) return -1;
  LibraryHolder holder;
  FT_Outline outline;
  if (FT_Outline_New(holder.library, FT_UInt(points), FT_Int(polygons.size()), &outline) != 0) return -1;
  size_t k = 0;
  int contour = 0;
  for (const Polygon& p : polygons) {
    for (const UnitPoint& u : p) {
      outline.points[k].x = FT_Pos(std::llround(double(u.x) * width / UnitsPerDocument * scale * 64));
      outline.points[k].y = FT_Pos(std::llround(double(u.y) * height / UnitsPerDocument * scale * 64));
      outline.tags[k] = FT_CURVE_TAG_ON;
      ++k;
    }
    outline.contours[contour++] = short(k - 1);
  }
  // Empty polygons would leave an end index before the start; drop them.
  int kept = 0;
  short last = -1;
  for (int i = 0; i < outline.n_contours; ++i)
    if (outline.contours[i] > last) last = outline.contours[kept++] = outline.contours[i];
  outline.n_contours = short(kept);
  outline.flags |= FT_OUTLINE_EVEN_ODD_FILL;
  // FreeType's rasteriser keeps a bounded number of cells per band; vertical
  // strips keep every row short enough.
  FT_BBox box;
  FT_Outline_Get_CBox(&outline, &box);
  double sum = 0;
  FT_Error error = 0;
  for (int strip = 2048; strip >= 4; strip /= 4) {
    sum = 0;
    error = 0;
    for (FT_Pos x = (box.xMin >> 6) - 1; x <= (box.xMax >> 6) + 1 && error == 0; x += strip) {
      FT_Raster_Params params{};
      params.source = &outline;
      params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
      params.gray_spans = SumSpans;
      params.user = &sum;
      params.clip_box = FT_BBox{x, (box.yMin >> 6) - 1, x + strip, (box.yMax >> 6) + 2};
      error = FT_Outline_Render(holder.library, &outline, &params);
    }
    if (error == 0) break;
  }
  FT_Outline_Done(holder.library, &outline);
  EXPECT_EQ(error, 0);
  return sum / 255.0 / (scale * scale);
}

TraceOutcome TraceRecords(const std::vector<uint8_t>& bytes, int32_t width, int32_t height) {
  TraceOutcome outcome;
  ScopedCountingMemory scoped;
  Contour* list = ReadPathRecords(bytes.data(), uint32_t(bytes.size()), width, height);
  outcome.read = list != nullptr;
  if (list != nullptr) {
    outcome.input = ContourPolygons(list);
    OffsetRingList* outer = nullptr;
    OffsetRingList* inner = nullptr;
    outcome.built = BuildElementOutlines(list, &outer, &inner) == 1;
    outcome.outer = RingsOf(outer);
    outcome.inner = RingsOf(inner);
    ReleaseElementOutlines(&outer, &inner);
  }
  outcome.result = scoped.memory.result;
  EXPECT_EQ(scoped.memory.liveBlocks, 0) << "blocks left after the outlines were released";
  return outcome;
}

namespace {
struct Segment {
  FT_Vector p0, c1, c2, p3;
};

struct Decomposition {
  std::vector<std::vector<Segment>> contours;
  FT_Vector current{};
};

FT_Vector Lerp(const FT_Vector& a, const FT_Vector& b, double t) {
  // Font units are integers; 2/3 points are kept in 1/3 units by scaling
  // everything by 3 before decomposing.
  return FT_Vector{FT_Pos(std::llround(a.x + (b.x - a.x) * t)), FT_Pos(std::llround(a.y + (b.y - a.y) * t))};
}

int MoveTo(const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposition*>(user);
  d->contours.emplace_back();
  d->current = *to;
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposition*>(user);
  if (to->x != d->current.x || to->y != d->current.y) d->contours.back().push_back(Segment{d->current, d->current, *to, *to});
  d->current = *to;
  return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposition*>(user);
  d->contours.back().push_back(Segment{d->current, Lerp(d->current, *control, 2.0 / 3), Lerp(*to, *control, 2.0 / 3), *to});
  d->current = *to;
  return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposition*>(user);
  d->contours.back().push_back(Segment{d->current, *c1, *c2, *to});
  d->current = *to;
  return 0;
}
}  // namespace

FontPaths::FontPaths(const std::string& file) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return;
  library_ = library;
  FT_Face face = nullptr;
  if (FT_New_Face(library, file.c_str(), 0, &face) == 0) face_ = face;
}

FontPaths::~FontPaths() {
  if (face_ != nullptr) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_ != nullptr) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

long FontPaths::glyphCount() const { return face_ != nullptr ? static_cast<FT_Face>(face_)->num_glyphs : 0; }

unsigned FontPaths::GlyphOfChar(unsigned long code) const {
  return face_ != nullptr ? FT_Get_Char_Index(static_cast<FT_Face>(face_), code) : 0;
}

double FontPaths::AppendGlyph(RecordWriter& writer, unsigned glyphIndex, double emPixels, double originX, double baseline) {
  auto face = static_cast<FT_Face>(face_);
  if (FT_Load_Glyph(face, glyphIndex, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return 0;
  const double scale = emPixels / face->units_per_EM;
  const double advance = face->glyph->advance.x * scale;
  if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return advance;
  // Decompose in thirds of a font unit so that raised conic controls stay exact.
  FT_Outline& outline = face->glyph->outline;
  for (int i = 0; i < outline.n_points; ++i) {
    outline.points[i].x *= 3;
    outline.points[i].y *= 3;
  }
  FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  Decomposition d;
  FT_Outline_Decompose(&outline, &funcs, &d);
  auto toPixels = [&](const FT_Vector& v) { return Point{originX + v.x / 3.0 * scale, baseline - v.y / 3.0 * scale}; };
  for (const auto& segments : d.contours) {
    if (segments.empty()) continue;
    const size_t n = segments.size();
    writer.Length(true, int16_t(n));
    for (size_t i = 0; i < n; ++i) {
      const Segment& in = segments[(i + n - 1) % n];
      const Segment& out = segments[i];
      const double ix = double(out.p0.x) - in.c2.x, iy = double(out.p0.y) - in.c2.y;
      const double ox = double(out.c1.x) - out.p0.x, oy = double(out.c1.y) - out.p0.y;
      const bool linked = (ix != 0 || iy != 0) && (ox != 0 || oy != 0) &&
                          std::fabs(ix * oy - iy * ox) <= 1e-3 * std::hypot(ix, iy) * std::hypot(ox, oy) &&
                          ix * ox + iy * oy > 0;
      writer.Knot(true, linked, toPixels(in.c2), toPixels(out.p0), toPixels(out.c1));
    }
  }
  return advance;
}

std::vector<std::string> TestFontFiles() {
  const char* candidates[] = {
      "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
      "/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf",
      "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf",
      "/usr/share/fonts/truetype/liberation/LiberationSans-BoldItalic.ttf",
  };
  std::vector<std::string> files;
  for (const char* f : candidates)
    if (std::filesystem::exists(f)) files.push_back(f);
  return files;
}

}  // namespace pathtest
