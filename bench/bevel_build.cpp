// Timing of the element builders on a text path: the three elements of two
// lines of text on a 4000 x 2000 document (Outer Bevel 20, Inner Bevel 10),
// and the preview rebuild of one bevel after a size change.
//
// The glyph outlines come from FreeType and are flattened here the way the
// path reader flattens curves (chord midpoints within sqrt(0.001) pixel).
//
// Usage: bench_bevel_build [font file] [repetitions]
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bevel/CornerClassification.h"
#include "bevel/DirectionTable.h"
#include "bevel/ElementBuilders.h"
#include "bevel/OffsetUndo.h"
#include "bevel/PixelConversion.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/OffsetNode.h"

namespace {

constexpr uint16_t DocumentWidth = 4000;
constexpr uint16_t DocumentHeight = 2000;
constexpr double FlatnessSquared = 0.001;  // square pixels

int16_t gResult = 0;
struct Point {
  double x, y;
};
struct RingPoint {
  Point p;
  uint32_t flags;
};
using Ring = std::vector<RingPoint>;

// Collects flattened glyph contours in document pixels (y down).
struct Collector {
  std::vector<Ring> rings;
  Point origin;  // pen position of the glyph, document pixels
  Point last;    // current point, document pixels
  Point ToDocument(const FT_Vector* v) const { return {origin.x + v->x / 64.0, origin.y - v->y / 64.0}; }
};

void FlattenCubic(Collector& c, Point p0, Point p1, Point p2, Point p3, int depth) {
  Point l1 = {(p0.x + p1.x) / 2, (p0.y + p1.y) / 2}, h = {(p1.x + p2.x) / 2, (p1.y + p2.y) / 2};
  Point r2 = {(p2.x + p3.x) / 2, (p2.y + p3.y) / 2};
  Point l2 = {(l1.x + h.x) / 2, (l1.y + h.y) / 2}, r1 = {(h.x + r2.x) / 2, (h.y + r2.y) / 2};
  Point m = {(l2.x + r1.x) / 2, (l2.y + r1.y) / 2};
  double dx = p3.x - p0.x, dy = p3.y - p0.y, mx = m.x - p0.x, my = m.y - p0.y;
  double dd = dx * dx + dy * dy;
  double v = dd > 0 ? (dx * mx + dy * my) / dd : 0;
  double ex = mx - v * dx, ey = my - v * dy;
  if (depth > 16 || ex * ex + ey * ey <= FlatnessSquared) {
    c.rings.back().push_back({p0, SmoothPoint | CurveEdge});
    return;
  }
  FlattenCubic(c, p0, l1, l2, m, depth + 1);
  FlattenCubic(c, m, r1, r2, p3, depth + 1);
}

int MoveTo(const FT_Vector* to, void* user) {
  auto& c = *static_cast<Collector*>(user);
  c.rings.emplace_back();
  c.last = c.ToDocument(to);
  return 0;
}
int LineTo(const FT_Vector* to, void* user) {
  auto& c = *static_cast<Collector*>(user);
  c.rings.back().push_back({c.last, 0});
  c.last = c.ToDocument(to);
  return 0;
}
int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto& c = *static_cast<Collector*>(user);
  Point q = c.ToDocument(control), p3 = c.ToDocument(to);
  Point p1 = {c.last.x + 2.0 / 3 * (q.x - c.last.x), c.last.y + 2.0 / 3 * (q.y - c.last.y)};
  Point p2 = {p3.x + 2.0 / 3 * (q.x - p3.x), p3.y + 2.0 / 3 * (q.y - p3.y)};
  size_t first = c.rings.back().size();
  FlattenCubic(c, c.last, p1, p2, p3, 0);
  c.rings.back()[first].flags &= ~SmoothPoint;  // the anchor is a corner unless proven smooth
  c.last = p3;
  return 0;
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto& c = *static_cast<Collector*>(user);
  Point p3 = c.ToDocument(to);
  size_t first = c.rings.back().size();
  FlattenCubic(c, c.last, c.ToDocument(c1), c.ToDocument(c2), p3, 0);
  c.rings.back()[first].flags &= ~SmoothPoint;
  c.last = p3;
  return 0;
}

bool TextRings(const char* fontPath, std::vector<Ring>* rings) {
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) != 0) return false;
  if (FT_New_Face(library, fontPath, 0, &face) != 0) {
    FT_Done_FreeType(library);
    return false;
  }
  FT_Set_Pixel_Sizes(face, 0, 560);
  FT_Outline_Funcs funcs = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  Collector collector;
  const char* lines[] = {"Bevel Forge", "Glint & Bump"};
  for (int line = 0; line < 2; ++line) {
    collector.origin = {120, 700.0 + line * 820};
    for (const char* ch = lines[line]; *ch != 0; ++ch) {
      if (FT_Load_Char(face, FT_ULong(static_cast<unsigned char>(*ch)), FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0)
        continue;
      size_t before = collector.rings.size();
      FT_Outline_Decompose(&face->glyph->outline, &funcs, &collector);
      // The contour's last point closes on its first: drop an exact repeat.
      for (size_t i = before; i < collector.rings.size(); ++i) {
        Ring& ring = collector.rings[i];
        while (ring.size() > 1 && std::fabs(ring.back().p.x - ring.front().p.x) < 1e-9 &&
               std::fabs(ring.back().p.y - ring.front().p.y) < 1e-9)
          ring.pop_back();
      }
      collector.origin.x += face->glyph->advance.x / 64.0;
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  for (Ring& ring : collector.rings)
    if (ring.size() >= 3) rings->push_back(ring);
  return !rings->empty();
}

double SignedArea(const Ring& ring) {
  double twice = 0;
  for (size_t i = 0; i < ring.size(); ++i) {
    const Point& a = ring[i].p;
    const Point& b = ring[(i + 1) % ring.size()].p;
    twice += a.x * b.y - b.x * a.y;
  }
  return twice / 2;
}

// Makes an outline set; reversed rings turn the normals to the other side.
OffsetRingList* MakeOutlines(const std::vector<Ring>& rings, bool reverse) {
  OffsetRingList* list = nullptr;
  OffsetRingList** tail = &list;
  for (const Ring& ring : rings) {
    auto* header = static_cast<OffsetRingList*>(NewClearedBlock(sizeof(OffsetRingList)));
    *tail = header;
    tail = &header->next;
    size_t n = ring.size();
    for (size_t k = 0; k < n; ++k) {
      const RingPoint& point = reverse ? ring[n - 1 - k] : ring[k];
      // Walked backwards, a point's outgoing edge is its predecessor's.
      uint32_t flags = point.flags & SmoothPoint;
      if (reverse)
        flags |= ring[(n - k - 2 + n) % n].flags & CurveEdge;
      else
        flags |= point.flags & CurveEdge;
      int32_t fx = int32_t(std::llround(point.p.x / DocumentWidth * 16777216.0));
      int32_t fy = int32_t(std::llround(point.p.y / DocumentHeight * 16777216.0));
      AppendVertex(header, fx, fy, flags);
    }
  }
  return list;
}

void FreeOutlines(OffsetRingList* list) {
  while (list != nullptr) {
    OffsetRingList* next = list->next;
    FreeBlockOf(list);
    list = next;
  }
}

struct BufferFigures {
  long spans = 0, pixels = 0, samples = 0;
};
void Count(const ElementBuffer* buffer, BufferFigures* figures) {
  if (buffer == nullptr) return;
  for (int32_t row = 0; row < buffer->height; ++row)
    for (const Span* span = buffer->rows[row]; span != nullptr; span = span->next) {
      ++figures->spans;
      figures->pixels += span->xEnd - span->xStart;
      for (int32_t x = 0; x < span->xEnd - span->xStart; ++x) figures->samples += span->material[x].coverage;
    }
}

long CountNodes(const OffsetRingList* list) {
  long nodes = 0;
  for (; list != nullptr; list = list->next) {
    const OffsetNode* node = list->first;
    do {
      ++nodes;
      node = node->next;
    } while (node != list->first);
  }
  return nodes;
}

double Milliseconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const char* font = argc > 1 ? argv[1] : "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
  int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
  std::vector<Ring> rings;
  if (!TextRings(font, &rings)) {
    std::fprintf(stderr, "cannot read glyph outlines from %s\n", font);
    return 1;
  }
  BindWorkMemory(HeapWorkMemory(&gResult));

  // TrueType outer contours run clockwise in font units (y up): after the
  // flip to y down they run counter-clockwise, normals into the glyph. That
  // is the inner side; the outer side is every ring reversed.
  double largest = 0;
  for (const Ring& ring : rings)
    if (std::fabs(SignedArea(ring)) > std::fabs(largest)) largest = SignedArea(ring);
  bool flip = largest > 0;  // a counter-clockwise (screen) ring has negative area
  OffsetRingList* inner = MakeOutlines(rings, flip);
  OffsetRingList* outer = MakeOutlines(rings, !flip);
  ClassifyCorners(outer);
  ToPixels(outer, DocumentWidth, DocumentHeight);
  ClassifyCorners(inner);
  ToPixels(inner, DocumentWidth, DocumentHeight);
  static DirectionTable directions;
  MakeDirectionTable(&directions);
  std::printf("text path: %zu rings, %ld outline points, document %u x %u\n", rings.size(), CountNodes(outer),
              DocumentWidth, DocumentHeight);

  const BandSettings outerSettings = {20, 0x000, 0};  // Round
  const BandSettings innerSettings = {10, 0x000, 0};
  const BandSettings changedOuter = {24, 0x000, 0};
  double bestOuter = 1e30, bestInner = 1e30, bestAll = 1e30, bestRebuildOuter = 1e30, bestRebuildInner = 1e30;
  ElementBuffer *outerBuffer = nullptr, *innerBuffer = nullptr, *mainBuffer = nullptr;
  for (int rep = 0; rep < repetitions; ++rep) {
    auto start = std::chrono::steady_clock::now();
    if (!BuildOuterBevel(outer, outerSettings, &outerBuffer)) return 2;
    double outerTime = Milliseconds(start);
    auto innerStart = std::chrono::steady_clock::now();
    if (!BuildInnerBevel(inner, innerSettings, &innerBuffer, &mainBuffer)) return 2;
    double innerTime = Milliseconds(innerStart);
    PixelRect effect;
    EffectRectangle(outerBuffer, innerBuffer, mainBuffer, &effect);
    PlaceElements(outerBuffer, innerBuffer, mainBuffer, effect);
    double all = Milliseconds(start);
    bestOuter = std::min(bestOuter, outerTime);
    bestInner = std::min(bestInner, innerTime);
    bestAll = std::min(bestAll, all);

    start = std::chrono::steady_clock::now();
    PixelRect next;
    if (!RebuildOuter(outer, changedOuter, &outerBuffer, &innerBuffer, &mainBuffer, effect, &next)) return 3;
    PlaceElements(outerBuffer, innerBuffer, mainBuffer, next);
    bestRebuildOuter = std::min(bestRebuildOuter, Milliseconds(start));

    start = std::chrono::steady_clock::now();
    if (!RebuildInner(inner, {12, 0x100, 0}, &innerBuffer, &mainBuffer, next)) return 3;
    bestRebuildInner = std::min(bestRebuildInner, Milliseconds(start));
    if (rep + 1 < repetitions) {
      UndoOffset(outer);
      UndoOffset(inner);
    }
  }
  BufferFigures o, i, m;
  Count(outerBuffer, &o);
  Count(innerBuffer, &i);
  Count(mainBuffer, &m);
  std::printf("offset nodes after joins: outer %ld, inner %ld\n", CountNodes(outer), CountNodes(inner));
  std::printf("Outer Bevel: %ld spans, %ld pixels, %.0f px covered\n", o.spans, o.pixels, o.samples / 32.0);
  std::printf("Inner Bevel: %ld spans, %ld pixels, %.0f px covered\n", i.spans, i.pixels, i.samples / 32.0);
  std::printf("Main:        %ld spans, %ld pixels, %.0f px covered\n", m.spans, m.pixels, m.samples / 32.0);
  std::printf("best of %d: Build Outer Bevel (size 20) %.2f ms, Build Inner Bevel + Main (size 10) %.2f ms, "
              "all three with placement %.2f ms\n",
              repetitions, bestOuter, bestInner, bestAll);
  std::printf("preview: Rebuild Outer (size 20 -> 24) %.2f ms, Rebuild Inner (size 10 -> 12, Bevel join) %.2f ms\n",
              bestRebuildOuter, bestRebuildInner);

  ReleaseElements(&outerBuffer, &innerBuffer, &mainBuffer);
  UndoOffset(outer);
  UndoOffset(inner);
  EmptyPool(&gInnerOffsetPool);
  EmptyPool(&gOuterOffsetPool);
  FreeOutlines(outer);
  FreeOutlines(inner);
  EmptyPool(&gOutlinePool);
  return gResult == 0 ? 0 : 4;
}
