// Timing of the path geometry stage on a long line of text: reading the path
// records (with curve flattening) and building both outline sets (cleanup,
// crossing passes, classification, tracing), on a poster-sized document.
//
// Cases: a plain line of text (glyphs apart, a few crossings inside glyphs),
// the same line set so tight that neighbouring glyphs overlap (many
// crossings), and a shorter line at a large size (many vertices per glyph).
//
// Usage: bench_geometry_trace [font file] [repetitions]
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/Contour.h"
#include "geometry/ElementOutlines.h"
#include "geometry/OffsetNode.h"
#include "geometry/PathRecords.h"

namespace {

constexpr int32_t DocumentWidth = 30000;
constexpr int32_t DocumentHeight = 3000;
constexpr double UnitsPerDocument = 16777216.0;  // 8.24 path units

int16_t gResult = 0;
// Path records written big-endian, 26 bytes each.
struct Records {
  std::vector<uint8_t> bytes;
  void Put16(uint16_t v) {
    bytes.push_back(uint8_t(v >> 8));
    bytes.push_back(uint8_t(v));
  }
  void Put32(int32_t v) {
    for (int s = 24; s >= 0; s -= 8) bytes.push_back(uint8_t(uint32_t(v) >> s));
  }
  void Length(int16_t n) {
    Put16(0);
    Put16(uint16_t(n));
    bytes.resize(bytes.size() + 22, 0);
  }
  // Points in pixels: (x, y) pairs for the preceding control, anchor, leaving control.
  void Knot(const double (&p)[6]) {
    Put16(2);
    for (int i = 0; i < 3; ++i) {
      Put32(int32_t(std::llround(p[2 * i + 1] * UnitsPerDocument / DocumentHeight)));
      Put32(int32_t(std::llround(p[2 * i] * UnitsPerDocument / DocumentWidth)));
    }
  }
};

struct Segment {
  double x0, y0, x1, y1, x2, y2, x3, y3;  // font units, cubic
};

struct Decomposer {
  std::vector<std::vector<Segment>> contours;
  double cx = 0, cy = 0;
};

int MoveTo(const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposer*>(user);
  d->contours.emplace_back();
  d->cx = to->x;
  d->cy = to->y;
  return 0;
}
int LineTo(const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposer*>(user);
  if (to->x != d->cx || to->y != d->cy)
    d->contours.back().push_back({d->cx, d->cy, d->cx, d->cy, double(to->x), double(to->y), double(to->x), double(to->y)});
  d->cx = to->x;
  d->cy = to->y;
  return 0;
}
int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposer*>(user);
  d->contours.back().push_back({d->cx, d->cy, d->cx + 2.0 / 3 * (c->x - d->cx), d->cy + 2.0 / 3 * (c->y - d->cy),
                                to->x + 2.0 / 3 * (c->x - to->x), to->y + 2.0 / 3 * (c->y - to->y), double(to->x),
                                double(to->y)});
  d->cx = to->x;
  d->cy = to->y;
  return 0;
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposer*>(user);
  d->contours.back().push_back(
      {d->cx, d->cy, double(c1->x), double(c1->y), double(c2->x), double(c2->y), double(to->x), double(to->y)});
  d->cx = to->x;
  d->cy = to->y;
  return 0;
}

// Lays the text out from (x, baseline) with the em at emPixels; `tracking`
// (in ems) is added to every advance, negative to make glyphs overlap.
Records TextRecords(FT_Face face, const std::string& text, double emPixels, double x, double baseline, double tracking) {
  Records r;
  const double scale = emPixels / face->units_per_EM;
  for (char ch : text) {
    if (FT_Load_Char(face, FT_ULong(static_cast<unsigned char>(ch)), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) continue;
    Decomposer d;
    FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    FT_Outline_Decompose(&face->glyph->outline, &funcs, &d);
    for (const auto& segs : d.contours) {
      if (segs.empty()) continue;
      r.Length(int16_t(segs.size()));
      for (size_t i = 0; i < segs.size(); ++i) {
        const Segment& in = segs[(i + segs.size() - 1) % segs.size()];
        const Segment& out = segs[i];
        auto px = [&](double fx) { return x + fx * scale; };
        auto py = [&](double fy) { return baseline - fy * scale; };
        const double knot[6] = {px(in.x2), py(in.y2), px(out.x0), py(out.y0), px(out.x1), py(out.y1)};
        r.Knot(knot);
      }
    }
    x += face->glyph->advance.x * scale + tracking * emPixels;
  }
  return r;
}

struct Figures {
  double readMs = 0, buildMs = 0;
  uint64_t vertices = 0, outerNodes = 0, innerNodes = 0, outerRings = 0;
  int16_t result = 0;
};

uint64_t CountNodes(const OffsetRingList* set, uint64_t* rings) {
  uint64_t n = 0;
  for (const OffsetRingList* r = set; r != nullptr; r = r->next) {
    ++*rings;
    const OffsetNode* node = r->first;
    do {
      ++n;
      node = node->next;
    } while (node != r->first);
  }
  return n;
}

Figures Measure(const Records& records, int repetitions) {
  std::vector<double> reads, builds;
  Figures f;
  for (int rep = 0; rep < repetitions; ++rep) {
    gResult = 0;
    const auto t0 = std::chrono::steady_clock::now();
    Contour* list = ReadPathRecords(records.bytes.data(), uint32_t(records.bytes.size()), DocumentWidth, DocumentHeight);
    const auto t1 = std::chrono::steady_clock::now();
    if (list == nullptr) {
      f.result = gResult;
      return f;
    }
    f.vertices = 0;
    for (Contour* c = list; c != nullptr; c = c->next) f.vertices += VertexCount(c);
    OffsetRingList* outer = nullptr;
    OffsetRingList* inner = nullptr;
    const auto t2 = std::chrono::steady_clock::now();
    const int built = BuildElementOutlines(list, &outer, &inner);
    const auto t3 = std::chrono::steady_clock::now();
    f.result = gResult;
    if (built) {
      f.outerRings = 0;
      uint64_t innerRings = 0;
      f.outerNodes = CountNodes(outer, &f.outerRings);
      f.innerNodes = CountNodes(inner, &innerRings);
    }
    ReleaseElementOutlines(&outer, &inner);
    reads.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    builds.push_back(std::chrono::duration<double, std::milli>(t3 - t2).count());
  }
  std::sort(reads.begin(), reads.end());
  std::sort(builds.begin(), builds.end());
  f.readMs = reads[reads.size() / 2];
  f.buildMs = builds[builds.size() / 2];
  return f;
}

void Report(const char* name, size_t glyphs, const Records& r, const Figures& f) {
  std::printf("%-28s %4zu glyphs %7zu records %8llu vertices: read %8.2f ms, outlines %8.2f ms"
              " (%llu outer rings, %llu + %llu nodes), result %d\n",
              name, glyphs, r.bytes.size() / PathRecordSize, (unsigned long long)f.vertices, f.readMs, f.buildMs,
              (unsigned long long)f.outerRings, (unsigned long long)f.outerNodes, (unsigned long long)f.innerNodes,
              f.result);
}

}  // namespace

int main(int argc, char** argv) {
  const char* fontFile = argc > 1 ? argv[1] : "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
  const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, fontFile, 0, &face) != 0) {
    std::fprintf(stderr, "cannot open font %s\n", fontFile);
    return 1;
  }
  // Keep freed memory in the process: otherwise every run pays for the heap
  // being trimmed and faulted in again, which measures the allocator.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  BindWorkMemory(HeapWorkMemory(&gResult));
  std::string line;
  while (line.size() < 360) line += "Sphinx of black quartz, judge my vow! 0123456789 & @ % ";
  line.resize(360);
  std::printf("font %s, document %d x %d px, median of %d runs\n", fontFile, DocumentWidth, DocumentHeight, repetitions);

  const Records plain = TextRecords(face, line, 80, 200, 1000, 0);
  Report("text line, em 80 px", line.size(), plain, Measure(plain, repetitions));

  const Records tight = TextRecords(face, line, 80, 200, 1000, -0.25);
  Report("overlapping glyphs, em 80", line.size(), tight, Measure(tight, repetitions));

  const std::string shortLine = line.substr(0, 48);
  const Records large = TextRecords(face, shortLine, 600, 200, 2200, 0);
  Report("text line, em 600 px", shortLine.size(), large, Measure(large, repetitions));

  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return 0;
}
