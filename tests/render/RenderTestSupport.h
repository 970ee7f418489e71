// Test scaffolding for the renderer: hand-made element buffers with any
// coverage and material, and whole scenes built through the real bevel
// pipeline (outline rings -> offsets -> element buffers -> effect rectangle).
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "bevel/ContourProfiles.h"
#include "bevel/CornerClassification.h"
#include "bevel/DirectionTable.h"
#include "bevel/ElementBuffer.h"
#include "bevel/ElementBuilders.h"
#include "bevel/MainRasteriser.h"
#include "bevel/PixelConversion.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "maps/ElementMaterials.h"
#include "render/RenderDriver.h"
#include "style/StyleRecord.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/TestRings.h"

namespace render_test {

// An element buffer whose memory the test owns (never pass it to FreeElementBuffer).
struct SyntheticBuffer {
  ElementBuffer buffer{};
  std::vector<Span*> rows;
  std::deque<Span> spans;
  std::deque<std::vector<uint32_t>> blocks;

  // Columns with a non-zero coverage(x, y) become pixels; every pixel gets `material`
  // with its coverage byte set.
  SyntheticBuffer(int16_t x0, int16_t y0, uint16_t width, uint16_t height,
                  const std::function<uint8_t(int, int)>& coverage, PixelMaterial material) {
    buffer.x0 = x0;
    buffer.y0 = y0;
    buffer.width = width;
    buffer.height = height;
    rows.assign(height, nullptr);
    for (int y = 0; y < height; ++y) {
      Span** tail = &rows[y];
      int x = 0;
      while (x < width) {
        if (coverage(x, y) == 0) {
          ++x;
          continue;
        }
        int end = x;
        while (end < width && coverage(end, y) != 0) ++end;
        const int n = end - x;
        blocks.emplace_back(size_t(n) * 3, 0u);
        spans.push_back(Span{});
        Span& span = spans.back();
        span.xStart = uint16_t(x);
        span.xEnd = uint16_t(end);
        span.block = blocks.back().data();
        span.material = reinterpret_cast<PixelMaterial*>(span.block + n);
        for (int i = 0; i < n; ++i) {
          span.material[i] = material;
          span.material[i].coverage = coverage(x + i, y);
        }
        *tail = &span;
        tail = &span.next;
        x = end;
      }
    }
    buffer.rows = height != 0 ? rows.data() : nullptr;
  }

  // The rendered pixel at buffer column x, row y; 0 where there is no span.
  RenderedPixel Pixel(int x, int y) const {
    for (const Span* s = rows[y]; s != nullptr; s = s->next)
      if (x >= s->xStart && x < s->xEnd) return s->block[x - s->xStart];
    return 0;
  }
  PixelMaterial* Material(int x, int y) {
    for (Span* s = rows[y]; s != nullptr; s = s->next)
      if (x >= s->xStart && x < s->xEnd) return &s->material[x - s->xStart];
    return nullptr;
  }
};

inline PixelMaterial MakeMaterial(uint8_t r, uint8_t g, uint8_t b, uint8_t opacity, uint8_t shininess = 0,
                                  uint8_t strength = 0, uint8_t reflectivity = 0) {
  return PixelMaterial{r, g, b, opacity, shininess, strength, reflectivity, 0};
}

inline uint32_t AlphaOf(RenderedPixel p) { return p >> 24; }
inline uint32_t RedOf(RenderedPixel p) { return (p >> 16) & 0xFF; }
inline uint32_t GreenOf(RenderedPixel p) { return (p >> 8) & 0xFF; }
inline uint32_t BlueOf(RenderedPixel p) { return p & 0xFF; }

// Calls f(x, y, pixel, material) for every pixel of every span (buffer columns).
template <class F>
void ForEachPixel(const ElementBuffer* buffer, F f) {
  if (buffer == nullptr || buffer->rows == nullptr) return;
  for (int y = 0; y < buffer->height; ++y)
    for (const Span* s = buffer->rows[y]; s != nullptr; s = s->next)
      for (int x = s->xStart; x < s->xEnd; ++x) f(x, y, s->block[x - s->xStart], s->material[x - s->xStart]);
}

struct Point {
  double x, y;  // pixels
};

// A document whose outline is one or more polygons, built into element
// buffers by the real builders, placed in the effect rectangle, with the
// style's materials filled in and a render buffer ready.
struct Scene {
  uint16_t documentSize = 256;  // square document, a power of two so pixels convert exactly
  OffsetRingList* outerOutlines = nullptr;
  OffsetRingList* innerOutlines = nullptr;
  ElementBuffer* buffers[ElementCount] = {nullptr, nullptr, nullptr};
  PixelRect effect{0, 0, 0, 0};
  DirectionTable directions{};
  StyleRecord style{};
  int32_t channelCount = 3;
  std::vector<uint8_t> renderBuffer;
  uint8_t* maskBuffer = nullptr;

  Scene() {
    SetDefaultStyle(&style);
    style.mapLayers = nullptr;
    style.reflectionImage = nullptr;
    MakeDirectionTable(&directions);
  }
  ~Scene() { Release(); }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // The polygon is given clockwise on screen (y down); its outer outline
  // keeps that order (normals point out), the inner outline reverses it.
  bool AddPolygon(const std::vector<Point>& points) {
    std::vector<Point> reversed(points.rbegin(), points.rend());
    return AddRing(&outerOutlines, points) && AddRing(&innerOutlines, reversed);
  }

  // Classifies, converts and builds Outer then Inner (and Main); places the
  // buffers; fills the materials; allocates the render buffer.
  bool Build() {
    for (OffsetRingList* list : {outerOutlines, innerOutlines}) {
      ClassifyCorners(list);
      ToPixels(list, documentSize, documentSize);
    }
    return Rebuild();
  }

  bool Rebuild() {
    const BevelSetting& outer = style.bevels[OuterBevelSetting];
    const BevelSetting& inner = style.bevels[InnerBevelSetting];
    if (!BuildOuterBevel(outerOutlines, BandSettings{outer.size, outer.bevelFlags, outer.miterLimit},
                         &buffers[OuterBevelElement]))
      return false;
    if (!BuildInnerBevel(innerOutlines, BandSettings{inner.size, inner.bevelFlags, inner.miterLimit},
                         &buffers[InnerBevelElement], &buffers[MainElement]))
      return false;
    EffectRectangle(buffers[OuterBevelElement], buffers[InnerBevelElement], buffers[MainElement], &effect);
    PlaceElements(buffers[OuterBevelElement], buffers[InnerBevelElement], buffers[MainElement], effect);
    FillElementMaterials(&style, buffers, SelectAllElements | AllMaterialChannels);
    renderBuffer.assign(size_t(Width()) * Height() * (channelCount + 1), 0xEE);
    return true;
  }

  int32_t Width() const { return effect.right - effect.left; }
  int32_t Height() const { return effect.bottom - effect.top; }

  RenderContext Context() {
    RenderContext c{};
    c.style = &style;
    for (int e = 0; e < ElementCount; ++e) c.buffers[e] = buffers[e];
    c.innerOutlines = innerOutlines;
    c.outerOutlines = outerOutlines;
    c.directions = &directions;
    c.effectWidth = Width();
    c.effectHeight = Height();
    c.channelCount = channelCount;
    c.renderBuffer = renderBuffer.data();
    c.maskBuffer = &maskBuffer;
    return c;
  }

  uint8_t Plane(int plane, int x, int y) const {
    return renderBuffer[size_t(plane) * Width() * Height() + size_t(y) * Width() + x];
  }

  void Release() {
    for (ElementBuffer*& buffer : buffers) DisposeElementBuffer(&buffer);
    FreeBlockOf(maskBuffer);
    for (NodePool* pool : {&gMainSpanPool, &gInnerSpanPool, &gOuterSpanPool, &gInnerOffsetPool, &gOuterOffsetPool,
                           &gOutlinePool, &gBandEdgePool, &gPolygonEdgePool})
      EmptyPool(pool);
    for (OffsetRingList** list : {&outerOutlines, &innerOutlines}) test_rings::FreeRings(list);
  }

 private:
  bool AddRing(OffsetRingList** list, const std::vector<Point>& points) {
    OffsetRingList* ring = test_rings::AppendRing(list);
    if (ring == nullptr) return false;
    const double unitsPerPixel = 16777216.0 / documentSize;
    for (const Point& p : points)
      if (test_rings::AppendNode(ring, int32_t(std::llround(p.x * unitsPerPixel)), int32_t(std::llround(p.y * unitsPerPixel)),
                                 0) == nullptr)
        return false;
    return true;
  }
};

// Exact Euclidean distance from (px, py) to the closed polygon's boundary.
inline double DistanceToPolygon(const std::vector<Point>& polygon, double px, double py) {
  double best = INFINITY;
  for (size_t i = 0; i < polygon.size(); ++i) {
    const Point a = polygon[i], b = polygon[(i + 1) % polygon.size()];
    const double dx = b.x - a.x, dy = b.y - a.y;
    double t = ((px - a.x) * dx + (py - a.y) * dy) / (dx * dx + dy * dy);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    best = std::fmin(best, std::hypot(px - (a.x + t * dx), py - (a.y + t * dy)));
  }
  return best;
}

// Even-odd inside test.
inline bool InsidePolygon(const std::vector<Point>& polygon, double px, double py) {
  bool inside = false;
  for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Point a = polygon[i], b = polygon[j];
    if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

// A star of `points` tips around (cx, cy), tips at radius `outer`, notches at
// `inner`, turned by `turn` of a tip's step; clockwise on screen.
inline std::vector<Point> StarPoints(int points, double cx, double cy, double outer, double inner, double turn = 0) {
  std::vector<Point> star;
  for (int i = 0; i < 2 * points; ++i) {
    const double a = 2 * 3.14159265358979 * (i + turn) / (2 * points), r = i % 2 == 0 ? outer : inner;
    star.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  return star;
}

struct FailureCounts {
  int absorbed;  // renders that succeeded all the same
  int failed;    // renders that failed with MemFullErr
};

// Every allocation of one render of all elements fails in turn, the scene
// rebuilt before each (a fresh start; `setUp` adjusts each context). A
// failure the render absorbs leaves it successful with no code and the
// pixels of a render without failures; any other fails it with MemFullErr.
// Blocks left after the render are only the run's mask buffer and
// `keptBlocks(scene)`.
template <class SetUp, class KeptBlocks>
FailureCounts FailEveryAllocationInTurn(CountingMemory* memory, Scene* scene, SetUp setUp, KeptBlocks keptBlocks) {
  FailureCounts counts{0, 0};
  RenderContext context = scene->Context();
  setUp(&context);
  EXPECT_EQ(RenderElements(context, SelectAllElements), 1);
  const std::vector<uint8_t> expected = scene->renderBuffer;
  for (long n = 1;; ++n) {
    memory->result = 0;
    if (!scene->Rebuild()) {
      ADD_FAILURE() << "rebuild " << n;
      break;
    }
    context = scene->Context();
    setUp(&context);
    const long blocksBefore = memory->liveBlocks, before = memory->allocations;
    memory->failAt = before + n;
    const int rendered = RenderElements(context, SelectAllElements);
    memory->failAt = 0;
    if (memory->allocations < before + n) break;  // nothing failed: every allocation was tried
    if (rendered) {
      ++counts.absorbed;
      EXPECT_EQ(memory->result, 0) << n;
      EXPECT_TRUE(scene->renderBuffer == expected) << n;
    } else {
      ++counts.failed;
      EXPECT_EQ(memory->result, MemFullErr) << n;
    }
    EXPECT_LE(memory->liveBlocks - blocksBefore, keptBlocks(*scene) + 1) << n;
  }
  return counts;
}

}  // namespace render_test
