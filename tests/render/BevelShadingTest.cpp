// The bevel shading family on real band edges, against exact distances and
// the lighting formula.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <vector>

#include "render/BevelShading.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/CountingMemory.h"

using namespace render_test;

namespace {
// A convex pentagon-like shape with one reflex corner: straight edges,
// outer corners (joins) and an inner corner.
std::vector<Point> TestShape() {
  return {{40.5, 30.25}, {150.0, 40.0}, {170.75, 120.0}, {110.0, 95.5}, {60.25, 150.0}, {30.0, 100.0}};
}

struct ErrorStats {
  std::map<int, int> histogram;  // rounded error -> count
  double sum = 0, sumSquares = 0, worst = 0;
  int count = 0;
  void Add(double error) {
    histogram[int(std::lround(error))]++;
    sum += error;
    sumSquares += error * error;
    worst = std::max(worst, std::fabs(error));
    ++count;
  }
  double Mean() const { return sum / count; }
  double Rms() const { return std::sqrt(sumSquares / count); }
  std::string Describe() const {
    std::string text;
    char line[64];
    std::snprintf(line, sizeof line, "n=%d mean=%.3f rms=%.3f worst=%.2f |", count, Mean(), Rms(), worst);
    text = line;
    for (auto [bucket, n] : histogram) {
      std::snprintf(line, sizeof line, " %+d:%d", bucket, n);
      text += line;
    }
    return text;
  }
};

// Renders one distance mode of a Round-joined scene and compares every pixel
// that lies wholly inside the band with 255 (1 - d / size), d the exact
// distance of the pixel centre from the outline.
ErrorStats DistanceErrors(uint8_t mode, int32_t element, uint16_t size) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.style.bevels[InnerBevelSetting] = BevelSetting{size, 100, 0, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{size, 100, 0, 0};
  scene.style.renderMode = mode;
  const std::vector<Point> shape = TestShape();
  EXPECT_TRUE(scene.AddPolygon(shape));
  EXPECT_TRUE(scene.Build());
  RenderContext context = scene.Context();
  EXPECT_EQ(RenderElements(context, SelectAllElements), 1);
  ErrorStats stats;
  const ElementBuffer* buffer = scene.buffers[element];
  const double margin = 0.75;  // a pixel's sub-samples lie within 0.57 px of its centre
  ForEachPixel(buffer, [&](int x, int y, RenderedPixel p, const PixelMaterial&) {
    const double cx = scene.effect.left + buffer->x0 + x + 0.5, cy = scene.effect.top + buffer->y0 + y + 0.5;
    const double d = DistanceToPolygon(shape, cx, cy);
    const bool inside = InsidePolygon(shape, cx, cy);
    if (inside != (element == InnerBevelElement) || d < margin || d > size - margin) return;
    EXPECT_EQ(AlphaOf(p), RedOf(p));
    EXPECT_EQ(RedOf(p), BlueOf(p));
    stats.Add(double(RedOf(p)) - 255.0 * (1.0 - d / size));
  });
  scene.Release();
  EXPECT_EQ(memory.memory.liveBlocks, 0);
  return stats;
}
}  // namespace

TEST(BandIndex, RoundsForInnerAndTruncatesForOuter) {
  EXPECT_EQ(BandIndex(0x7F8000, SweepVariant::Inner), 128);
  EXPECT_EQ(BandIndex(0x7F8000, SweepVariant::Outer), 127);
  EXPECT_EQ(BandIndex(0x7F7FFF, SweepVariant::Inner), 127);
  EXPECT_EQ(BandIndex(0xFF0001, SweepVariant::Outer), 255);
  EXPECT_EQ(BandIndex(0x1000000, SweepVariant::Inner), 255);
  EXPECT_EQ(BandIndex(-1, SweepVariant::Outer), 0);
  EXPECT_EQ(BandIndex(-0x8001, SweepVariant::Inner), 0);
  EXPECT_EQ(BandIndex(INT32_MAX, SweepVariant::Inner), 255);
}

TEST(DistanceDisplay, OuterBevelFollowsTheExactDistance) {
  const ErrorStats stats = DistanceErrors(RenderOuterDistance, OuterBevelElement, 12);
  std::printf("outer distance (size 12, Round): %s\n", stats.Describe().c_str());
  ASSERT_GT(stats.count, 500);
  EXPECT_LE(stats.worst, 3.0);
  EXPECT_LT(std::fabs(stats.Mean()), 1.5);
}

TEST(DistanceDisplay, InnerBevelFollowsTheExactDistance) {
  const ErrorStats stats = DistanceErrors(RenderInnerDistance, InnerBevelElement, 12);
  std::printf("inner distance (size 12, Round): %s\n", stats.Describe().c_str());
  ASSERT_GT(stats.count, 500);
  // The few largest errors sit at the acute corners and on round-join chords.
  EXPECT_LE(stats.worst, 4.5);
  EXPECT_LT(std::fabs(stats.Mean()), 1.5);
  EXPECT_GT(stats.histogram.at(0) + stats.histogram.at(-1), stats.count * 95 / 100);
}

TEST(DistanceDisplay, WideBandsToo) {
  const ErrorStats outer = DistanceErrors(RenderOuterDistance, OuterBevelElement, 30);
  const ErrorStats inner = DistanceErrors(RenderInnerDistance, InnerBevelElement, 20);
  std::printf("outer distance (size 30): %s\ninner distance (size 20): %s\n", outer.Describe().c_str(),
              inner.Describe().c_str());
  EXPECT_LE(outer.worst, 4.5);
  EXPECT_LE(inner.worst, 4.5);
}

namespace {
// A square with the given corners, clockwise on screen.
std::vector<Point> Square(double left, double top, double right, double bottom) {
  return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

// The shaded colors of a pixel wholly on one facet with profile normal
// (radial, vertical) along the band direction (dx, dy), by the double-precision formula.
void OracleFacet(const StyleRecord& style, double dx, double dy, double radial, double vertical,
                 const MaterialSetting& material, double out[3]) {
  double n[3] = {dx * radial, dy * radial, vertical};
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (double& v : n) v /= length;
  const double color[3] = {double(material.color[2]), double(material.color[1]), double(material.color[0])};
  for (int c = 0; c < 3; ++c) out[c] = color[c] * style.ambientColor[c] / 65025.0;
  for (const LightSetting& light : style.lights) {
    if (light.color == 0) continue;
    const double lightColor[3] = {double((light.color >> 16) & 0xFF) / 255.0, double((light.color >> 8) & 0xFF) / 255.0,
                                  double(light.color & 0xFF) / 255.0};
    double d = 0, h = 0;
    for (int i = 0; i < 3; ++i) {
      d += n[i] * light.direction[i];
      h += n[i] * light.halfVector[i];
    }
    const double q = d > 0 ? d / 255.0 : 0.0;
    const double t = h > 0 ? std::pow(h, material.shininess + 1.0) * material.shinStrength / 255.0 : 0.0;
    for (int c = 0; c < 3; ++c) out[c] += (q * color[c] + t) * lightColor[c];
  }
  for (int c = 0; c < 3; ++c) out[c] = std::fmin(out[c], 1.0);
}
}  // namespace

TEST(BevelFullShading, FlatFacetsMatchTheLightingFormula) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.style.ambientColor[0] = 20;
  scene.style.ambientColor[1] = 40;
  scene.style.ambientColor[2] = 60;
  for (int e = 0; e < ElementCount; ++e) {
    scene.style.materialLinks[e] = -1;
    SetMaterialColorWord(&scene.style.materials[e], 0xFFC08040u);
    scene.style.materials[e].shininess = 12;
    scene.style.materials[e].shinStrength = 200;
  }
  scene.style.bevels[InnerBevelSetting] = BevelSetting{8, 100, 0x100, 0};  // Bevel joins, profile 0
  scene.style.bevels[OuterBevelSetting] = BevelSetting{10, 150, 0x100, 0};
  ASSERT_TRUE(scene.AddPolygon(Square(40, 40, 140, 140)));
  ASSERT_TRUE(scene.Build());
  RenderContext context = scene.Context();
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);

  // Profile 0: every step is unit(F, 255) with F = depth x 255 x 0.01.
  struct Side {
    int32_t element;
    double dx, dy;          // band direction: the outline normal, into the band
    double x0, y0, x1, y1;  // document rectangle of interior pixels on this side
  };
  const double outerF = 150 * 255 * 0.01, innerF = 100 * 255 * 0.01;
  const Side sides[] = {
      {OuterBevelElement, 0, -1, 52, 31, 128, 39},  {OuterBevelElement, 1, 0, 141, 52, 149, 128},
      {OuterBevelElement, 0, 1, 52, 141, 128, 149}, {OuterBevelElement, -1, 0, 31, 52, 39, 128},
      {InnerBevelElement, 0, 1, 52, 41, 128, 47},   {InnerBevelElement, -1, 0, 133, 52, 139, 128},
  };
  int checked = 0;
  for (const Side& side : sides) {
    const double f = side.element == OuterBevelElement ? outerF : innerF;
    const double length = std::hypot(f, 255.0);
    double expected[3];
    OracleFacet(scene.style, side.dx, side.dy, f / length, 255.0 / length, scene.style.materials[side.element],
                expected);
    const ElementBuffer* buffer = scene.buffers[side.element];
    ForEachPixel(buffer, [&](int x, int y, RenderedPixel p, const PixelMaterial&) {
      const double cx = scene.effect.left + buffer->x0 + x + 0.5, cy = scene.effect.top + buffer->y0 + y + 0.5;
      if (cx < side.x0 || cx > side.x1 || cy < side.y0 || cy > side.y1) return;
      ++checked;
      EXPECT_EQ(AlphaOf(p), 255u);
      EXPECT_NEAR(double(RedOf(p)), std::floor(expected[0] * 255), 1.0) << cx << "," << cy;
      EXPECT_NEAR(double(GreenOf(p)), std::floor(expected[1] * 255), 1.0) << cx << "," << cy;
      EXPECT_NEAR(double(BlueOf(p)), std::floor(expected[2] * 255), 1.0) << cx << "," << cy;
    });
  }
  EXPECT_GT(checked, 3000);
  scene.Release();
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

TEST(BevelFullShading, CoverageAndOpacityMakeTheAlpha) {
  ScopedCountingMemory memory;
  Scene scene;
  for (int e = 0; e < ElementCount; ++e) {
    scene.style.materialLinks[e] = -1;
    SetMaterialColorWord(&scene.style.materials[e], 0xC8FFFFFFu);  // opacity 200
  }
  scene.style.bevels[InnerBevelSetting] = BevelSetting{6, 100, 0x100, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{10, 100, 0x100, 0};
  // Edges on half pixels: the outer rim row and the outline row are half covered by the outer band.
  ASSERT_TRUE(scene.AddPolygon(Square(40.5, 40.5, 140.5, 140.5)));
  ASSERT_TRUE(scene.Build());
  RenderContext context = scene.Context();
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  const ElementBuffer* outer = scene.buffers[OuterBevelElement];
  int full = 0, half = 0;
  ForEachPixel(outer, [&](int x, int y, RenderedPixel p, const PixelMaterial& m) {
    const int docX = scene.effect.left + outer->x0 + x, docY = scene.effect.top + outer->y0 + y;
    if (docX < 50 || docX > 130) return;
    if (docY >= 31 && docY <= 39) {
      ++full;
      EXPECT_EQ(AlphaOf(p), 200u);
      EXPECT_EQ(m.coverage, 32);
    } else if (docY == 30 || docY == 40) {
      ++half;
      EXPECT_EQ(AlphaOf(p), (200u * 16) >> 5);
      EXPECT_EQ(m.coverage, 16);
    }
  });
  EXPECT_EQ(full, 81 * 9);
  EXPECT_EQ(half, 81 * 2);
  // The element's swept coverage and the rasteriser's coverage agree everywhere.
  for (int32_t e : {InnerBevelElement, OuterBevelElement})
    ForEachPixel(scene.buffers[e], [&](int, int, RenderedPixel p, const PixelMaterial& m) {
      EXPECT_EQ(AlphaOf(p), (200u * m.coverage) >> 5);
    });
}

TEST(BevelFullShading, FacetKeysSplitAPixelAtAProfileRidge) {
  ScopedCountingMemory memory;
  Scene scene;
  // Profile 2 rises on its first half and falls on its second, which has its
  // own facet key. On the top side of an Outer Bevel of size 16 whose outline
  // lies at y = 40.5 the ridge (index 127 | 128) falls in the middle of pixel
  // row 32: two sample rows on each facet.
  scene.style.bevels[InnerBevelSetting] = BevelSetting{6, 100, 0x100, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{16, 100, 0x102, 0};
  ASSERT_TRUE(scene.AddPolygon(Square(40.5, 40.5, 140.5, 140.5)));
  ASSERT_TRUE(scene.Build());
  RenderContext context = scene.Context();
  ASSERT_EQ(RenderElements(context, SelectOuterBevel), 1);
  const ElementBuffer* outer = scene.buffers[OuterBevelElement];
  auto pixelAt = [&](int docX, int docY) {
    RenderedPixel found = 0;
    ForEachPixel(outer, [&](int x, int y, RenderedPixel p, const PixelMaterial&) {
      if (scene.effect.left + outer->x0 + x == docX && scene.effect.top + outer->y0 + y == docY) found = p;
    });
    return found;
  };
  for (int docX : {60, 90, 120}) {
    const RenderedPixel rising = pixelAt(docX, 30), ridge = pixelAt(docX, 32), falling = pixelAt(docX, 35);
    ASSERT_NE(rising, falling);
    EXPECT_EQ(AlphaOf(ridge), 255u);
    // Each facet is shaded on its own and weighted by its 16 sub-samples.
    EXPECT_NEAR(double(RedOf(ridge)), (RedOf(rising) + RedOf(falling)) / 2.0, 1.0);
    EXPECT_NEAR(double(GreenOf(ridge)), (GreenOf(rising) + GreenOf(falling)) / 2.0, 1.0);
    EXPECT_NEAR(double(BlueOf(ridge)), (BlueOf(rising) + BlueOf(falling)) / 2.0, 1.0);
  }
}

TEST(BevelDisplays, ChannelAndColorDisplaysUseTheSweptCoverage) {
  ScopedCountingMemory memory;
  Scene scene;
  for (int e = 0; e < ElementCount; ++e) {
    scene.style.materialLinks[e] = -1;
    SetMaterialColorWord(&scene.style.materials[e], 0x8040A0FFu);  // opacity 0x80
    scene.style.materials[e].shininess = 77;
  }
  scene.style.bevels[InnerBevelSetting] = BevelSetting{5, 100, 0, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{9, 100, 0, 0};
  ASSERT_TRUE(scene.AddPolygon(TestShape()));
  ASSERT_TRUE(scene.Build());
  struct Expectation {
    uint8_t mode;
    uint32_t (*pixel)(uint32_t coverage);
  };
  const Expectation expectations[] = {
      {RenderShininess,
       [](uint32_t k) { return PackPixel((255 * k) >> 5, (77 * k) >> 5, (77 * k) >> 5, (77 * k) >> 5); }},
      {RenderOpacity,
       [](uint32_t k) { return PackPixel((255 * k) >> 5, (128 * k) >> 5, (128 * k) >> 5, (128 * k) >> 5); }},
      {RenderColor,
       [](uint32_t k) {
         const float w = float(255 * k);
         return PackPixel((255 * k) >> 5, uint32_t(64.0f * OneOver255 * w) >> 5, uint32_t(160.0f * OneOver255 * w) >> 5,
                          uint32_t(1.0f * w) >> 5);
       }},
      {12,
       [](uint32_t k) {
         const float w = float(128 * k);
         return PackPixel((128 * k) >> 5, uint32_t(64.0f * OneOver255 * w) >> 5, uint32_t(160.0f * OneOver255 * w) >> 5,
                          uint32_t(1.0f * w) >> 5);
       }},
      {RenderReflection, [](uint32_t k) { return PackPixel((255 * k) >> 5, 0, 0, 0); }},
  };
  for (const Expectation& expectation : expectations) {
    scene.style.renderMode = expectation.mode;
    RenderContext context = scene.Context();
    ASSERT_EQ(RenderElements(context, SelectInnerBevel | SelectOuterBevel), 1);
    int pixels = 0;
    for (int32_t e : {InnerBevelElement, OuterBevelElement})
      ForEachPixel(scene.buffers[e], [&](int, int, RenderedPixel p, const PixelMaterial& m) {
        ++pixels;
        EXPECT_EQ(p, expectation.pixel(m.coverage)) << "mode " << int(expectation.mode);
      });
    EXPECT_GT(pixels, 1000);
  }
}

TEST(BevelShading, OutOfMemoryLeavesNothingBehind) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.style.bevels[InnerBevelSetting] = BevelSetting{7, 100, 0, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{11, 100, 0, 0};
  ASSERT_TRUE(scene.AddPolygon(TestShape()));
  ASSERT_TRUE(scene.Build());
  const long blocksAfterBuild = memory.memory.liveBlocks;
  for (uint8_t mode : {uint8_t(RenderNormal), uint8_t(RenderColor), uint8_t(RenderOpacity),
                       uint8_t(RenderOuterDistance), uint8_t(RenderInnerDistance)}) {
    scene.style.renderMode = mode;
    bool succeeded = false;
    int failures = 0;
    for (long n = 1; n < 400 && !succeeded; ++n) {
      memory.memory.result = 0;
      memory.memory.failAt = memory.memory.allocations + n;
      RenderContext context = scene.Context();
      const int ok = RenderElements(context, SelectAllElements);
      if (ok) {
        succeeded = true;
        EXPECT_EQ(memory.memory.result, 0);
      } else {
        ++failures;
        EXPECT_EQ(memory.memory.result, MemFullErr) << "mode " << int(mode) << " failing allocation " << n;
      }
      // Band edges and planes are released whatever happened; only the mask
      // buffer of the run may have been added.
      EXPECT_LE(memory.memory.liveBlocks - blocksAfterBuild, 1);
    }
    EXPECT_TRUE(succeeded);
    EXPECT_GE(failures, 3) << "mode " << int(mode);  // band edges, and each bevel's planes
  }
  memory.memory.failAt = 0;
  scene.Release();
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

// Facet keys are 16-bit sums of the profile's key and the piece number; with
// more than 32,767 pieces some sum wraps to 0, the mark of an empty slot.
// Such sub-samples still count: every pixel's alpha follows its coverage.
TEST(BevelFullShading, WrappedFacetKeysKeepTheirSubSamples) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.documentSize = 2048;
  // Profile 2 keys the outline half of the band with the element key.
  scene.style.bevels[InnerBevelSetting] = BevelSetting{2, 100, 0x002, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{3, 100, 0x002, 0};
  // A square whose sides are cut into 8,500 straight pieces each: about
  // 34,000 pieces of 0.13 px, each owning sub-samples.
  constexpr int Cuts = 8500;
  constexpr double Left = 100, Top = 100, Side = 1105;
  std::vector<Point> polygon;
  for (int side = 0; side < 4; ++side)
    for (int i = 0; i < Cuts; ++i) {
      const double t = Side * i / Cuts;
      const Point corners[4] = {{Left + t, Top}, {Left + Side, Top + t}, {Left + Side - t, Top + Side}, {Left, Top + Side - t}};
      polygon.push_back(corners[side]);
    }
  ASSERT_TRUE(scene.AddPolygon(polygon));
  ASSERT_TRUE(scene.Build());
  RenderContext context = scene.Context();
  ASSERT_EQ(RenderElements(context, SelectOuterBevel | SelectInnerBevel), 1);
  int64_t pixels = 0;
  for (int32_t e : {InnerBevelElement, OuterBevelElement})
    ForEachPixel(scene.buffers[e], [&](int, int, RenderedPixel p, const PixelMaterial& m) {
      ++pixels;
      ASSERT_EQ(AlphaOf(p), (255u * m.coverage) >> 5);
    });
  EXPECT_GT(pixels, 20000);
}
