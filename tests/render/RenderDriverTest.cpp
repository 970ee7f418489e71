// The render driver: mode selection, partial re-renders, composition,
// anti-aliasing off and the selection mask.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "maps/MapFill.h"
#include "maps/MapImage.h"
#include "render/MainShading.h"
#include "render/RenderDriver.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/StyleSupport.h"

using namespace render_test;

namespace {
std::vector<Point> Shape() { return {{30.5, 20.0}, {120.0, 28.25}, {110.0, 110.0}, {70.0, 80.5}, {25.0, 100.0}}; }

// A white, fully lit style: ambient white, lights off, every material white and opaque.
void MakeWhite(StyleRecord* style) {
  style->ambientColor[0] = style->ambientColor[1] = style->ambientColor[2] = 255;
  for (LightSetting& light : style->lights) SetLightColor(&light, 0);
  for (int e = 0; e < ElementCount; ++e) {
    style->materialLinks[e] = -1;
    SetMaterialColorWord(&style->materials[e], 0xFFFFFFFF);
  }
}

// A driver context over hand-made buffers (no outlines: bevels keep their pixels).
struct FlatContext {
  StyleRecord style{};
  std::vector<uint8_t> render;
  uint8_t* mask = nullptr;
  RenderContext context{};
  FlatContext(int width, int height, int channels) : render(size_t(width) * height * (channels + 1), 0xAB) {
    SetDefaultStyle(&style);
    MakeWhite(&style);
    context.style = &style;
    context.effectWidth = width;
    context.effectHeight = height;
    context.channelCount = channels;
    context.renderBuffer = render.data();
    context.maskBuffer = &mask;
  }
  ~FlatContext() { FreeBlockOf(mask); }
  uint8_t At(int plane, int x, int y) const {
    return render[size_t(plane) * context.effectWidth * context.effectHeight + size_t(y) * context.effectWidth + x];
  }
};

struct SelectionPattern {
  int calls = 0;
  int answer = 1;
  // Inside the area only, as the copier's contract says.
  static int Copy(void* self, uint8_t* mask, int32_t width, int32_t, const PixelRect& area) {
    auto* pattern = static_cast<SelectionPattern*>(self);
    ++pattern->calls;
    if (!pattern->answer) return 0;
    for (int32_t y = area.top; y < area.bottom; ++y)
      for (int32_t x = area.left; x < area.right; ++x) {
        const int32_t i = y * width + x;
        mask[i] = uint8_t(i % 2 == 0 ? 255 : 100);
      }
    return 1;
  }
};
}  // namespace

TEST(RenderDriver, EmptyEffectRectangleDoesNothing) {
  FlatContext flat(0, 5, 3);
  flat.render.assign(16, 0xAB);
  EXPECT_EQ(RenderElements(flat.context, SelectAllElements), 1);
  for (uint8_t v : flat.render) EXPECT_EQ(v, 0xAB);
  EXPECT_EQ(flat.mask, nullptr);
}

TEST(RenderDriver, ModesAboveTwelveRenderAsNormal) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.style.bevels[InnerBevelSetting] = BevelSetting{6, 100, 0, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{9, 200, 0x205, 0};
  ASSERT_TRUE(scene.AddPolygon(Shape()));
  ASSERT_TRUE(scene.Build());
  RenderContext context = scene.Context();
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  const std::vector<uint8_t> normal = scene.renderBuffer;
  for (uint8_t mode : {uint8_t(13), uint8_t(200), uint8_t(255)}) {
    scene.style.renderMode = mode;
    std::fill(scene.renderBuffer.begin(), scene.renderBuffer.end(), 0x55);
    ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
    EXPECT_EQ(scene.renderBuffer, normal) << "mode " << int(mode);
  }
  scene.style.renderMode = RenderColor;
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  EXPECT_NE(scene.renderBuffer, normal);
}

TEST(RenderDriver, DistanceModesFillTheOtherElements) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.style.bevels[InnerBevelSetting] = BevelSetting{6, 100, 0, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{9, 100, 0, 0};
  ASSERT_TRUE(scene.AddPolygon(Shape()));
  ASSERT_TRUE(scene.Build());
  RenderContext context = scene.Context();

  scene.style.renderMode = RenderInnerDistance;
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  ForEachPixel(scene.buffers[OuterBevelElement],
               [](int, int, RenderedPixel p, const PixelMaterial&) { EXPECT_EQ(p, 0u); });
  ForEachPixel(scene.buffers[MainElement], [](int, int, RenderedPixel p, const PixelMaterial& m) {
    const uint32_t v = (255u * m.coverage) >> 5;
    EXPECT_EQ(p, PackPixel(v, v, v, v));
  });
  // A Main pixel away from the bevels is opaque white in the render buffer.
  const ElementBuffer* main = scene.buffers[MainElement];
  int white = 0;
  ForEachPixel(main, [&](int x, int y, RenderedPixel, const PixelMaterial& m) {
    if (m.coverage != 32) return;
    const int bx = main->x0 + x, by = main->y0 + y;
    if (scene.Plane(0, bx, by) == 255 && scene.Plane(1, bx, by) == 255 && scene.Plane(3, bx, by) == 255) ++white;
  });
  EXPECT_GT(white, 1000);

  scene.style.renderMode = RenderOuterDistance;
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  ForEachPixel(scene.buffers[InnerBevelElement], [](int, int, RenderedPixel p, const PixelMaterial& m) {
    const uint32_t v = (255u * m.coverage) >> 5;
    EXPECT_EQ(p, PackPixel(v, v, v, v));
  });
}

TEST(RenderDriver, OneElementIsReshadedAndAllAreRecomposed) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.style.bevels[InnerBevelSetting] = BevelSetting{6, 100, 0, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{9, 100, 0, 0};
  ASSERT_TRUE(scene.AddPolygon(Shape()));
  ASSERT_TRUE(scene.Build());
  RenderContext context = scene.Context();
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  auto snapshot = [&](int32_t e) {
    std::vector<RenderedPixel> pixels;
    ForEachPixel(scene.buffers[e], [&](int, int, RenderedPixel p, const PixelMaterial&) { pixels.push_back(p); });
    return pixels;
  };
  const auto main = snapshot(MainElement), inner = snapshot(InnerBevelElement), outer = snapshot(OuterBevelElement);
  const std::vector<uint8_t> before = scene.renderBuffer;

  scene.style.renderMode = RenderOpacity;
  std::fill(scene.renderBuffer.begin(), scene.renderBuffer.end(), 0x11);
  ASSERT_EQ(RenderElements(context, SelectInnerBevel), 1);
  EXPECT_EQ(snapshot(MainElement), main);
  EXPECT_EQ(snapshot(OuterBevelElement), outer);
  EXPECT_NE(snapshot(InnerBevelElement), inner);
  // The buffer is recomposed from all three: it differs only where the Inner Bevel lies.
  const ElementBuffer* innerBuffer = scene.buffers[InnerBevelElement];
  std::vector<bool> innerArea(size_t(scene.Width()) * scene.Height(), false);
  ForEachPixel(innerBuffer, [&](int x, int y, RenderedPixel, const PixelMaterial&) {
    innerArea[size_t(innerBuffer->y0 + y) * scene.Width() + innerBuffer->x0 + x] = true;
  });
  const size_t planeSize = innerArea.size();
  for (size_t i = 0; i < scene.renderBuffer.size(); ++i) {
    if (innerArea[i % planeSize]) continue;
    ASSERT_EQ(scene.renderBuffer[i], before[i]) << i;
  }
}

TEST(RenderDriver, AllElementsComposeToOpaqueWhiteInside) {
  ScopedCountingMemory memory;
  Scene scene;
  MakeWhite(&scene.style);
  scene.style.bevels[InnerBevelSetting] = BevelSetting{5, 100, 0, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{8, 100, 0, 0};
  ASSERT_TRUE(scene.AddPolygon(Shape()));
  ASSERT_TRUE(scene.Build());
  RenderContext context = scene.Context();
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  // The three elements tile the plane without overlap: inside the outer rim
  // the summed coverage is 32 and the sum of the alphas 255 (up to truncation).
  int opaque = 0;
  for (int y = 0; y < scene.Height(); ++y)
    for (int x = 0; x < scene.Width(); ++x) {
      const double cx = scene.effect.left + x + 0.5, cy = scene.effect.top + y + 0.5;
      const std::vector<Point> shape = Shape();
      if (!InsidePolygon(shape, cx, cy) && DistanceToPolygon(shape, cx, cy) > 8 - 1.0) continue;
      // Ambient white on white reaches 1 only up to the rounding of 1/65025: 254 or 255.
      EXPECT_GE(scene.Plane(0, x, y), 253) << x << "," << y;
      EXPECT_GE(scene.Plane(1, x, y), 252) << x << "," << y;
      EXPECT_LE(scene.Plane(1, x, y), scene.Plane(0, x, y));
      ++opaque;
    }
  EXPECT_GT(opaque, 5000);
}

TEST(RenderDriver, GrayDocumentsGetTheWeightedSum) {
  std::vector<uint8_t> render(2 * 2 * 3, 0);
  SyntheticBuffer buffer(
      0, 0, 2, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(0, 0, 0, 255));
  buffer.rows[0]->block[0] = 0xFFFF0000;  // pure red, opaque
  buffer.rows[0]->block[1] = 0xFFFFFFFF;
  ComposeElement(&buffer.buffer, render.data(), 2, 2, 1, nullptr);
  EXPECT_EQ(render[0], 255);
  EXPECT_EQ(render[2], (255u * 5033165) >> 24);  // plane 1
  EXPECT_EQ(render[4], (255u * 5033165) >> 24);  // plane 2, the same gray
  EXPECT_EQ(render[3], 255);                     // white stays white
  EXPECT_EQ(render[5], 255);
}

TEST(RenderDriver, ComposeClipsToTheEffectRectangle) {
  std::vector<uint8_t> render(4 * 4 * 2, 0);
  SyntheticBuffer buffer(
      -2, 2, 8, 4, [](int, int) { return uint8_t(32); }, MakeMaterial(0, 0, 0, 255));
  for (int y = 0; y < 4; ++y)
    for (Span* s = buffer.rows[y]; s != nullptr; s = s->next)
      for (int x = s->xStart; x < s->xEnd; ++x) s->block[x - s->xStart] = 0x10101010;
  ComposeElement(&buffer.buffer, render.data(), 1, 4, 4, nullptr);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(render[size_t(y) * 4 + x], y >= 2 ? 0x10 : 0) << x << "," << y;
}

TEST(AntiAliasingOff, HalfCoveredPixelsBecomeWholeAndLessCoveredOnesVanish) {
  ScopedCountingMemory memory;
  FlatContext flat(4, 1, 3);
  flat.style.viewFlags = 0;
  flat.style.renderMode = RenderOpacity;  // colors equal the alpha exactly
  SyntheticBuffer main(
      0, 0, 4, 1, [](int x, int) { return uint8_t(x == 0 ? 15 : (x == 1 ? 16 : (x == 2 ? 32 : 24))); },
      MakeMaterial(255, 255, 255, 255));
  flat.context.buffers[MainElement] = &main.buffer;
  ASSERT_EQ(RenderElements(flat.context, SelectAllElements), 1);
  EXPECT_EQ(AlphaOf(main.Pixel(1, 0)), 127u);
  for (int plane = 0; plane < 4; ++plane) {
    EXPECT_EQ(flat.At(plane, 0, 0), 0);
    EXPECT_EQ(flat.At(plane, 1, 0), 254);  // (127 x 0x2000000) >> 24
    EXPECT_EQ(flat.At(plane, 2, 0), 255);
    EXPECT_EQ(flat.At(plane, 3, 0), (191u * 0x1555555) >> 24);
  }
  ASSERT_NE(flat.mask, nullptr);
  flat.mask[0] = 99;  // the mask is cleared before every use
  ASSERT_EQ(RenderElements(flat.context, SelectAllElements), 1);
  EXPECT_EQ(flat.At(0, 0, 0), 0);
}

TEST(AntiAliasingOff, CoverageOfAllElementsIsSummed) {
  ScopedCountingMemory memory;
  FlatContext flat(2, 1, 1);
  flat.style.viewFlags = 0;
  SyntheticBuffer main(
      0, 0, 2, 1, [](int, int) { return uint8_t(10); }, MakeMaterial(255, 255, 255, 255));
  SyntheticBuffer bevel(
      0, 0, 2, 1, [](int, int) { return uint8_t(10); }, MakeMaterial(255, 255, 255, 255));
  for (int x = 0; x < 2; ++x) bevel.rows[0]->block[x] = PackPixel(79, 79, 79, 79);  // (255 x 10) >> 5
  flat.context.buffers[MainElement] = &main.buffer;
  flat.context.buffers[OuterBevelElement] = &bevel.buffer;
  ASSERT_EQ(RenderElements(flat.context, SelectMain), 1);
  // 10 + 10 = 20 sub-samples: 158 x 2^29 / 20 >> 24.
  EXPECT_EQ(flat.At(0, 0, 0), uint8_t((158u * 0x1999999) >> 24));
}

TEST(AntiAliasingOff, WithoutAMaskBufferTheResultStaysClear) {
  ScopedCountingMemory memory;
  FlatContext flat(3, 1, 3);
  flat.style.viewFlags = 0;
  SyntheticBuffer main(
      0, 0, 3, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(255, 255, 255, 255));
  flat.context.buffers[MainElement] = &main.buffer;
  memory.memory.failAt = memory.memory.allocations + 1;
  ASSERT_EQ(RenderElements(flat.context, SelectAllElements), 1);
  EXPECT_EQ(memory.memory.result, 0);
  for (uint8_t v : flat.render) EXPECT_EQ(v, 0);
}

TEST(Selection, MasksEveryPlaneAndIsSkippedWithoutASelection) {
  ScopedCountingMemory memory;
  FlatContext flat(4, 1, 3);
  flat.style.renderMode = RenderShininess;  // a gray of 200 under full alpha
  SyntheticBuffer main(
      0, 0, 4, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(255, 255, 255, 255, 200));
  flat.context.buffers[MainElement] = &main.buffer;
  ASSERT_EQ(RenderElements(flat.context, SelectAllElements), 1);
  EXPECT_EQ(flat.At(0, 1, 0), 255);
  EXPECT_EQ(flat.At(1, 1, 0), 200);
  EXPECT_EQ(flat.mask, nullptr);  // anti-aliased and no selection: no mask needed

  SelectionPattern pattern;
  flat.context.copySelection = SelectionPattern::Copy;
  flat.context.selectionContext = &pattern;
  ASSERT_EQ(RenderElements(flat.context, SelectAllElements), 1);
  EXPECT_EQ(pattern.calls, 1);
  EXPECT_EQ(flat.At(0, 0, 0), 255);
  EXPECT_EQ(flat.At(0, 1, 0), 100);
  for (int plane = 1; plane < 4; ++plane) {
    EXPECT_EQ(flat.At(plane, 0, 0), 200);
    EXPECT_EQ(flat.At(plane, 1, 0), 200 * 100 / 255);
  }
  // A selection that does not meet the effect leaves the mask clear: all transparent.
  pattern.answer = 0;
  ASSERT_EQ(RenderElements(flat.context, SelectAllElements), 1);
  for (uint8_t v : flat.render) EXPECT_EQ(v, 0);
}

TEST(Selection, WithoutAMaskBufferTheResultIsNotMasked) {
  ScopedCountingMemory memory;
  FlatContext flat(2, 1, 3);
  SyntheticBuffer main(
      0, 0, 2, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(255, 255, 255, 255));
  flat.context.buffers[MainElement] = &main.buffer;
  SelectionPattern pattern;
  flat.context.copySelection = SelectionPattern::Copy;
  flat.context.selectionContext = &pattern;
  memory.memory.failAt = memory.memory.allocations + 1;
  ASSERT_EQ(RenderElements(flat.context, SelectAllElements), 1);
  EXPECT_EQ(memory.memory.result, 0);
  EXPECT_EQ(pattern.calls, 0);
  EXPECT_EQ(flat.At(0, 1, 0), 255);
}

TEST(Selection, MaskArithmeticTruncates) {
  std::vector<uint8_t> planes = {255, 254, 1, 128};
  const std::vector<uint8_t> mask = {254, 255, 254, 2};
  ApplySelectionMask(planes.data(), 1, 4, mask.data());
  EXPECT_EQ(planes, (std::vector<uint8_t>{254, 254, 0, 1}));
}

namespace {
// Hands every element one bump sampler over a ramp image, from work memory.
struct RampBumps {
  std::vector<uint8_t> image = std::vector<uint8_t>(16 * 16);
  std::vector<uint32_t> elements;
  RampBumps() {
    for (int i = 0; i < 256; ++i) image[size_t(i)] = uint8_t((i % 16) * 16 + (i / 16) * 3);
  }
  static int32_t Gather(void* self, uint32_t elementBit, const ElementBuffer*, BumpSampler** samplers) {
    auto* bumps = static_cast<RampBumps*>(self);
    bumps->elements.push_back(elementBit);
    *samplers = static_cast<BumpSampler*>(NewClearedBlock(sizeof(BumpSampler)));
    if (*samplers == nullptr) return 0;
    BumpSampler& b = **samplers;
    b.cosAngle = 1.0f;
    b.amount = 120.0f * OneOver65025;
    b.width = b.height = 16;
    b.valuePlane = bumps->image.data();
    b.colStepX = 1 << 16;
    b.rowStepY = 1 << 16;
    return 1;
  }
};
}  // namespace

TEST(RenderDriver, BumpSamplersAndReflectionReachEveryElement) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.style.bevels[InnerBevelSetting] = BevelSetting{6, 100, 0, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{9, 100, 0, 0};
  for (int e = 0; e < ElementCount; ++e) {
    scene.style.materialLinks[e] = -1;
    scene.style.materials[e].reflectivity = 255;
  }
  ASSERT_TRUE(scene.AddPolygon(Shape()));
  ASSERT_TRUE(scene.Build());
  std::vector<uint8_t> white(8 * 8, 255);
  ReflectionSampler reflection;
  MakeReflectionSampler(&reflection, white.data(), 8, 8, 0);

  RenderContext context = scene.Context();
  context.reflection = &reflection;
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  const std::vector<uint8_t> plain = scene.renderBuffer;
  // Reflection display of a white image at full reflectivity: 254 x 255 / 65025
  // of full, truncated (253 where a pixel's facets each lose a fraction).
  scene.style.renderMode = RenderReflection;
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  for (int32_t e = 0; e < ElementCount; ++e)
    ForEachPixel(scene.buffers[e], [&](int, int, RenderedPixel p, const PixelMaterial& m) {
      if (m.coverage != 32) return;
      EXPECT_EQ(AlphaOf(p), 255u);
      EXPECT_NEAR(double(RedOf(p)), 253.5, 0.5);
      EXPECT_EQ(RedOf(p), BlueOf(p));
    });

  scene.style.renderMode = RenderNormal;
  const long blocks = memory.memory.liveBlocks;
  RampBumps bumps;
  context.gatherBumps = RampBumps::Gather;
  context.bumpContext = &bumps;
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  EXPECT_EQ(bumps.elements, (std::vector<uint32_t>{SelectMain, SelectInnerBevel, SelectOuterBevel}));
  EXPECT_EQ(memory.memory.liveBlocks, blocks);  // the sampler arrays were released
  EXPECT_NE(scene.renderBuffer, plain);
  // A flat bump image tilts nothing: the result is that of no bump maps, up to
  // the recomputed z of the bevel normals.
  std::fill(bumps.image.begin(), bumps.image.end(), 77);
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  for (size_t i = 0; i < plain.size(); ++i) ASSERT_NEAR(int(scene.renderBuffer[i]), int(plain[i]), 1) << i;
  // A failing sampler allocation only means no bumps.
  memory.memory.failAt = memory.memory.allocations + 1;
  ASSERT_EQ(RenderElements(context, SelectMain), 1);
  EXPECT_EQ(memory.memory.result, MemFullErr);  // the gatherer's allocation reported it
}

// The preview's partial render: with materials refreshed and elements
// rendered inside a clip only, the pixels inside equal those of a full
// render, and a full refresh and render afterwards (what the run does before
// the result is written) leaves exactly the full render's buffer. Random
// styles (render modes, anti-aliasing, contours, lights), a map layer, bump
// samplers, a reflection, a selection, random clips that may reach past
// the effect; the partial render starts from a full render of another style.
TEST(RenderDriver, AClippedRenderMatchesTheFullRenderInsideItsClip) {
  ScopedCountingMemory memory;
  std::mt19937 rng(29);
  auto pick = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  std::vector<uint8_t> mapPlane(16 * 16);
  for (size_t i = 0; i < mapPlane.size(); ++i) mapPlane[i] = uint8_t(i * 37 % 251);
  MapImage image{};
  image.data = image.maxPlane = mapPlane.data();
  image.width = image.height = 16;
  std::vector<uint8_t> reflectionPlane(8 * 8, 180);
  ReflectionSampler reflection;
  MakeReflectionSampler(&reflection, reflectionPlane.data(), 8, 8, 0);
  const uint32_t everything = SelectAllElements | AllMaterialChannels;
  for (int round = 0; round < 6 * (LastRenderMode + 1); ++round) {
    SCOPED_TRACE(round);
    StyleRecord style = RandomStyle(rng), before = RandomStyle(rng);
    style.renderMode = uint8_t(round % (LastRenderMode + 1));  // every mode in turn
    for (BevelSetting& bevel : style.bevels) bevel.size = uint16_t(bevel.size % 24);
    std::memcpy(before.bevels, style.bevels, sizeof style.bevels);  // the same elements
    MapLayer layer{};
    layer.layerFlags = uint32_t(1 << pick(0, 4)) | (uint32_t(pick(1, 7)) << 16) | (AlphaOutputOpaque << AlphaOutputShift);
    layer.amount = uint32_t(pick(0, 255));
    layer.rowDy = layer.colDx = pick(1, 3) << 15;
    layer.image = &image;
    style.mapLayers = pick(0, 1) ? &layer : nullptr;
    Scene scene;
    scene.style = style;
    ASSERT_TRUE(scene.AddPolygon(Shape()));
    ASSERT_TRUE(scene.Build());
    RampBumps bumps;
    for (size_t i = 0; i < bumps.image.size(); ++i) bumps.image[i] = uint8_t(i * i * 53 % 256);  // no steady slope
    SelectionPattern selection;
    RenderContext context = scene.Context();
    if (pick(0, 3) != 0) context.gatherBumps = RampBumps::Gather, context.bumpContext = &bumps;
    if (pick(0, 1)) context.reflection = &reflection;
    if (pick(0, 2) == 0) context.copySelection = SelectionPattern::Copy, context.selectionContext = &selection;
    auto render = [&](const StyleRecord& with, const PixelRect& clip) {
      scene.style = with;
      RefreshMaterials(&scene.style, scene.buffers, everything, clip);
      context.clip = &clip;
      ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
    };
    render(style, WholeFrame);
    const std::vector<uint8_t> full = scene.renderBuffer;
    render(before, WholeFrame);
    const std::vector<uint8_t> previous = scene.renderBuffer;

    const int32_t width = scene.Width(), height = scene.Height();
    const int32_t top = pick(-8, height * 3 / 4), left = pick(-8, width * 3 / 4);
    const PixelRect clip{top, left, top + pick(0, height / 2 + 8), left + pick(0, width / 2 + 8)};
    auto inside = [&clip](int32_t x, int32_t y) {
      return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
    };
    // Every element pixel and material outside the clip, in the effect frame.
    auto outsideElements = [&] {
      std::vector<uint64_t> values;
      for (const ElementBuffer* buffer : scene.buffers)
        ForEachPixel(buffer, [&](int x, int y, RenderedPixel p, const PixelMaterial& m) {
          if (inside(buffer->x0 + x, buffer->y0 + y)) return;
          uint64_t bytes;
          std::memcpy(&bytes, &m, sizeof bytes);
          values.insert(values.end(), {uint64_t(p), bytes});
        });
      return values;
    };
    const std::vector<uint64_t> elementsBefore = outsideElements();
    render(style, clip);
    EXPECT_TRUE(outsideElements() == elementsBefore);
    // Inside the clip the full render's pixels, outside the earlier ones.
    for (size_t i = 0; i < full.size(); ++i) {
      const int32_t x = int32_t(i % size_t(width)), y = int32_t(i / size_t(width) % size_t(height));
      ASSERT_EQ(scene.renderBuffer[i], inside(x, y) ? full[i] : previous[i]) << x << " " << y;
    }
    render(style, WholeFrame);
    EXPECT_TRUE(scene.renderBuffer == full);
  }
}
