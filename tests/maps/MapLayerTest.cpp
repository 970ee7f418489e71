// Map layer placement, the material fill, the post-load fix-up, bump
// gathering and the Background image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "maps/BackgroundImage.h"
#include "maps/BumpGathering.h"
#include "maps/ImageCache.h"
#include "maps/MapFill.h"
#include "maps/MapFrame.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "maps/MapPlacement.h"
#include "render/Sampling.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/CountingMemory.h"

using render_test::SyntheticBuffer;

namespace {
// An image whose planes the test owns.
struct TestImage {
  std::vector<uint8_t> planes;
  MapImage image{};
  // Gray (one plane, its own maximum) or RGB (three planes and a maximum), with `alpha` an extra plane.
  TestImage(int w, int h, bool rgb, bool alpha, const std::function<uint8_t(int plane, int x, int y)>& value) {
    image.width = uint16_t(w);
    image.height = uint16_t(h);
    image.flags = uint8_t((rgb ? ImageRgb : ImageGray | ImageHasMax) | (alpha ? ImageAlpha : 0));
    const int count = int(ImagePlaneCount(image));
    planes.resize(size_t(w) * h * (count + 1));
    for (int p = 0; p < count; ++p)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) planes[(size_t(p) * h + y) * w + x] = value(p, x, y);
    image.data = planes.data();
    if (rgb) {
      uint8_t* max = planes.data() + size_t(count) * w * h;
      for (int i = 0; i < w * h; ++i) max[i] = std::max({planes[i], planes[w * h + i], planes[2 * w * h + i]});
      image.maxPlane = max;
      image.flags |= ImageHasMax;
    } else {
      image.maxPlane = image.data;
    }
  }
};

SyntheticBuffer FullBuffer(int x0, int y0, int w, int h) {
  return SyntheticBuffer(int16_t(x0), int16_t(y0), uint16_t(w), uint16_t(h), [](int, int) { return uint8_t(32); },
                         render_test::MakeMaterial(10, 20, 30, 40, 50, 60, 70));
}

MapLayer Layer(MapImage* image, uint32_t flags, uint32_t amount) {
  MapLayer layer{};
  layer.image = image;
  layer.layerFlags = flags;
  layer.amount = amount;
  return layer;
}

// What bilinear sampling gives for a plane that holds v everywhere.
uint32_t UniformSample(uint32_t v) { return (((v * 0xFFFF) >> 16) * 0xFFFF) >> 16; }
}  // namespace

// Uniform images make every sample known: each kind writes its own byte
// (color its three) from the right plane, masked by the right plane, as the
// blend formulas say; no other byte moves.
TEST(MapFill, UniformImagesBlendTheirKindsByteFromTheRightPlanes) {
  std::mt19937 rng(21);
  const uint32_t kinds[] = {ColorMapLayer, OpacityMapLayer, ShininessMapLayer, ShinStrengthMapLayer,
                            ReflectivityMapLayer};
  for (int round = 0; round < 400; ++round) {
    const uint8_t plane[4] = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    const bool alpha = rng() % 2, alphaAsRgb = rng() % 2, invert = rng() % 2;
    TestImage image(1 + rng() % 5, 1 + rng() % 5, true, alpha, [&](int p, int, int) { return plane[p]; });
    const uint32_t kind = kinds[rng() % 5], output = rng() % 3, amount = rng() % 256;
    MapLayer layer = Layer(&image.image, kind | ApplyToMain | (invert ? InvertMap : 0) |
                                             (alphaAsRgb ? ImageAlphaAsRgb : 0) | (output << AlphaOutputShift),
                           amount);
    layer.placedWidth = 7.5f, layer.placedHeight = 3.25f, layer.angle = float(rng() % 7), layer.centerX = 2;
    PlaceLayer(&layer);
    SyntheticBuffer buffer = FullBuffer(-3, 2, 6, 4);
    const PixelMaterial before = *buffer.Material(0, 0);
    BlendLayer(layer, &buffer.buffer);

    const uint32_t maxValue = std::max({plane[0], plane[1], plane[2]});
    const bool useAlpha = alpha && alphaAsRgb;
    const uint32_t mask = output == AlphaOutputImageAlpha && alpha ? plane[3] : maxValue;
    const uint32_t strength = ((amount + 1) * UniformSample(mask)) >> 8;
    auto blend = [&](uint32_t p, uint32_t source) {
      const uint32_t v = invert ? 255 - UniformSample(source) : UniformSample(source);
      return output == AlphaOutputOpaque ? uint8_t((((256 - amount) * p) >> 8) + (((amount + 1) * v) >> 8))
                                         : uint8_t((((257 - strength) * p) >> 8) + ((strength * v) >> 8));
    };
    uint8_t want[8];
    std::memcpy(want, &before, 8);
    if (kind == ColorMapLayer) {
      for (int k = 0; k < 3; ++k) want[k] = blend(want[k], useAlpha ? plane[3] : plane[k]);
    } else {
      const int byte = kind == OpacityMapLayer ? 3 : kind == ShininessMapLayer ? 4 : kind == ShinStrengthMapLayer ? 5 : 6;
      want[byte] = blend(want[byte], useAlpha ? plane[3] : maxValue);
    }
    render_test::ForEachPixel(&buffer.buffer, [&](int x, int y, RenderedPixel, const PixelMaterial& m) {
      ASSERT_EQ(std::memcmp(&m, want, 8), 0) << "round " << round << " pixel " << x << "," << y;
    });
  }
}

TEST(MapFill, EdgeValuesOfTheOpaqueBlend) {
  TestImage white(3, 3, false, false, [](int, int, int) { return uint8_t(255); });
  TestImage black(3, 3, false, false, [](int, int, int) { return uint8_t(0); });
  const uint32_t opaque = AlphaOutputOpaque << AlphaOutputShift;
  for (auto [image, flags, amount, want] :
       {std::tuple{&white, ColorMapLayer | opaque, 255u, 253}, std::tuple{&black, ColorMapLayer | opaque | InvertMap, 255u, 255},
        std::tuple{&white, ColorMapLayer | opaque, 0u, 10}}) {
    MapLayer layer = Layer(&image->image, flags | ApplyToMain, amount);
    layer.placedWidth = layer.placedHeight = 3;
    PlaceLayer(&layer);
    SyntheticBuffer buffer = FullBuffer(0, 0, 4, 4);
    BlendLayer(layer, &buffer.buffer);
    EXPECT_EQ(buffer.Material(1, 2)->red, want);
  }
}

// Tile placement repeats the image with exactly its period, also left of
// and above the placement, for every kind and image size.
TEST(MapPlacement, TileRepeatsWithTheImagePeriod) {
  std::mt19937 rng(8);
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + rng() % 9, h = 1 + rng() % 9;
    TestImage image(w, h, rng() % 2, false, [&](int, int, int) { return uint8_t(rng()); });
    SyntheticBuffer main = FullBuffer(-int(rng() % 20), -int(rng() % 20), 30, 25);
    ElementBuffer* buffers[3] = {&main.buffer, nullptr, nullptr};
    const uint32_t kind = 1u << (rng() % 5);
    MapLayer layer = Layer(&image.image, kind | ApplyToMain | (AlphaOutputOpaque << AlphaOutputShift), rng() % 256);
    layer.mappingLink = MappingTile;
    FitOrTilePlacement(&layer, buffers);
    EXPECT_EQ(layer.placedWidth, float(w));
    PropagatePlacement(&layer, &layer);
    BlendLayer(layer, &main.buffer);
    for (int y = 0; y + h < 25; ++y)
      for (int x = 0; x + w < 30; ++x) {
        ASSERT_EQ(std::memcmp(main.Material(x, y), main.Material(x + w, y), 8), 0) << round;
        ASSERT_EQ(std::memcmp(main.Material(x, y), main.Material(x, y + h), 8), 0) << round;
      }
  }
}

// A quarter turn of the placement reads the image as an image turned the
// other way would be read unturned (within one unit of rounding).
TEST(MapPlacement, QuarterTurnEqualsTheTurnedImage) {
  std::mt19937 rng(4);
  const int n = 8;
  std::vector<uint8_t> source(n * n);
  for (uint8_t& v : source) v = uint8_t(rng());
  TestImage image(n, n, false, false, [&](int, int x, int y) { return source[y * n + x]; });
  // J(r, c) = I((n - c) mod n, r): I turned a quarter the other way about
  // its centre n/2, on the tiled plane.
  TestImage turned(n, n, false, false, [&](int, int x, int y) { return source[((n - x) % n) * n + y]; });
  const uint32_t flags = ShininessMapLayer | ApplyToMain | (AlphaOutputOpaque << AlphaOutputShift);
  MapLayer a = Layer(&image.image, flags, 255), b = Layer(&turned.image, flags, 255);
  for (MapLayer* l : {&a, &b}) l->placedWidth = l->placedHeight = float(n), l->centerX = 20.5f, l->centerY = 11.5f;
  a.angle = float(M_PI / 2);
  PlaceLayer(&a);
  PlaceLayer(&b);
  // The angle is a float a little above a quarter turn; derivatives truncate.
  EXPECT_NEAR(a.colDx, 0, 1);
  EXPECT_NEAR(a.rowDy, 0, 1);
  EXPECT_NEAR(a.colDy, b.colDx, 1);
  EXPECT_NEAR(a.rowDx, -b.rowDy, 1);
  SyntheticBuffer ba = FullBuffer(0, 0, 40, 30), bb = FullBuffer(0, 0, 40, 30);
  BlendLayer(a, &ba.buffer);
  BlendLayer(b, &bb.buffer);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_NEAR(ba.Material(x, y)->shininess, bb.Material(x, y)->shininess, 2) << x << "," << y;
}

TEST(MapPlacement, FitFollowsTheElementAndLinksFollowTheirLayer) {
  TestImage image(4, 4, false, false, [](int, int, int) { return uint8_t(1); });
  SyntheticBuffer main = FullBuffer(12, 13, 20, 10), inner = FullBuffer(8, 9, 28, 18);
  ElementBuffer* buffers[3] = {&main.buffer, &inner.buffer, nullptr};
  MapLayer a = Layer(&image.image, ColorMapLayer | ApplyToMain | ApplyToInnerBevel, 255);
  a.mappingLink = MappingFit;
  FitOrTilePlacement(&a, buffers);
  EXPECT_EQ(a.placedWidth, 28.0f);
  EXPECT_EQ(a.placedHeight, 18.0f);
  EXPECT_EQ(a.centerX, 14.0f + 8);
  EXPECT_EQ(a.centerY, 9.0f + 9);
  MapLayer b = Layer(&image.image, OpacityMapLayer | ApplyToOuterBevel, 255);
  a.next = &b;
  b.mappingLink = reinterpret_cast<uintptr_t>(&a);
  a.centerX = 3;
  a.angle = 0.5f;
  EXPECT_EQ(PropagatePlacement(&a, &a), ColorMapLayer | OpacityMapLayer | ApplyToMain | ApplyToInnerBevel | ApplyToOuterBevel);
  EXPECT_EQ(b.centerX, 3.0f);
  EXPECT_EQ(b.angle, 0.5f);
  EXPECT_EQ(std::memcmp(&a, &b, offsetof(MapLayer, amount)), 0);
}

// The fix-up after loading: stored links become pointers or Custom, loops
// are broken, Custom centres move into the effect frame, image-less alpha
// options give way, and the materials are refilled.
TEST(MapPlacement, ResolveAfterLoad) {
  ScopedCountingMemory memory;
  TestImage gray(4, 4, false, false, [](int, int x, int) { return uint8_t(x * 60); });
  SyntheticBuffer main = FullBuffer(5, 5, 10, 10);
  MapFrame frame{};
  frame.buffers[MainElement] = &main.buffer;
  frame.effectLeft = 100;
  frame.effectTop = 50;
  BindMapFrame(frame);
  StyleRecord style{};
  SetDefaultStyle(&style);
  style.mapLayers = nullptr;
  style.reflectionImage = nullptr;
  MapLayer* layers[5];
  for (MapLayer*& l : layers) {
    l = AppendMapLayer(&style.mapLayers);
    l->image = &gray.image;
    l->layerFlags = ColorMapLayer | ApplyToMain;
    l->amount = 255;
    l->placedWidth = l->placedHeight = 4;
    l->centerX = 110, l->centerY = 60;
  }
  layers[1]->mappingLink = MappingLinkStored + 0;  // follows layer 0
  layers[2]->mappingLink = MappingLinkStored + 9;  // no such layer
  layers[3]->mappingLink = MappingLinkStored + 4;  // 3 and 4 follow each other
  layers[4]->mappingLink = MappingLinkStored + 3;
  ResolveLayersAfterLoad(&style);
  EXPECT_EQ(LinkedLayer(*layers[1]), layers[0]);
  EXPECT_EQ(layers[2]->mappingLink, MappingCustom);
  EXPECT_TRUE(layers[3]->mappingLink == MappingCustom || layers[4]->mappingLink == MappingCustom);
  for (MapLayer* l : layers) {
    EXPECT_EQ(l->centerX, 10.0f);
    EXPECT_EQ(l->centerY, 10.0f);
    EXPECT_EQ(LayerAlphaOutput(*l), AlphaOutputOpaque);  // the image has no alpha
    EXPECT_EQ(l->colDx, 1 << 16);
  }
  // Image column 0 lies 2 pixels left of the centre, at effect column 8 = buffer column 3.
  EXPECT_EQ(main.Material(3, 3)->red, UniformSample(0));
  FreeMapLayers(style.mapLayers);
  BindMapFrame(MapFrame{});
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

// Gathered samplers start at the buffer's corner on the layer's mapping; a
// constant height image leaves the normal as it was.
TEST(BumpGathering, SamplersStartAtTheBufferCorner) {
  ScopedCountingMemory memory;
  TestImage flat(5, 3, false, true, [](int, int, int) { return uint8_t(77); });
  MapLayer bump = Layer(&flat.image, BumpMapLayer | ApplyToInnerBevel | InvertMap, 200);
  MapLayer color = Layer(&flat.image, ColorMapLayer | ApplyToInnerBevel, 200);
  bump.next = &color;
  bump.placedWidth = 9, bump.placedHeight = 4, bump.angle = 0.3f, bump.centerX = 4;
  PlaceLayer(&bump);
  SyntheticBuffer buffer = FullBuffer(-7, 11, 4, 4);
  BumpSampler* samplers = nullptr;
  EXPECT_EQ(GatherBumpSamplers(&bump, SelectMain, &buffer.buffer, &samplers), 0);
  EXPECT_EQ(samplers, nullptr);
  ASSERT_EQ(GatherBumpSamplers(&bump, SelectInnerBevel, &buffer.buffer, &samplers), 1);
  EXPECT_EQ(samplers[0].colOrigin, bump.col0 - 7 * bump.colDx + 11 * bump.colDy);
  EXPECT_EQ(samplers[0].rowOrigin, bump.row0 - 7 * bump.rowDx + 11 * bump.rowDy);
  EXPECT_EQ(samplers[0].opacityPlane, ImageAlphaPlane(flat.image));
  EXPECT_NE(samplers[0].invert, 0);
  float n[3] = {0, 0, 1};
  PerturbNormal(samplers, 1, n);
  EXPECT_EQ(n[0], 0.0f);
  EXPECT_EQ(n[2], 1.0f);
  FreeBlockOf(samplers);
  memory.memory.failAt = memory.memory.allocations + 1;
  EXPECT_EQ(GatherBumpSamplers(&bump, SelectInnerBevel, &buffer.buffer, &samplers), 0);
  EXPECT_EQ(memory.memory.result, 0);  // shaded flat, not a failed run
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

namespace {
// A gray document with transparency whose pixel (x, y) is x + 2y (and 255 - that).
struct FakeDocument {
  PixelRect bounds{0, 0, 40, 60};
  int32_t channels = 1;
  int reads = 0;
  static int32_t Describe(void* c, PixelRect* bounds, int32_t* channels, int32_t* transparency) {
    auto* d = static_cast<FakeDocument*>(c);
    *bounds = d->bounds;
    *channels = d->channels;
    *transparency = 1;
    return 1;
  }
  static int32_t Read(void* c, int32_t index, const PixelRect& r, uint8_t* out) {
    static_cast<FakeDocument*>(c)->reads++;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        *out++ = uint8_t(index < 0 ? 255 - (x + 2 * y) : x + 2 * y);
    return 1;
  }
};
}  // namespace

TEST(BackgroundImage, DocumentPixelsUnderTheEffectReusedWhileTheSizeHolds) {
  ScopedCountingMemory memory;
  FakeDocument document;
  MapImage* cache = nullptr;
  MapFrame frame{};
  frame.cache = &cache;
  frame.document = DocumentPlanes{FakeDocument::Describe, FakeDocument::Read, &document};
  frame.effectLeft = -5, frame.effectTop = 10, frame.effectWidth = 20, frame.effectHeight = 50;
  BindMapFrame(frame);
  StyleRecord style{};
  MapLayer* layer = AppendMapLayer(&style.mapLayers);
  layer->layerFlags = BackgroundLayer | ColorMapLayer | ApplyToMain;
  MapImage* image = GetBackgroundImage(&style);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 15);   // clipped at the document's left edge
  EXPECT_EQ(image->height, 30);  // and bottom
  EXPECT_EQ(image->flags, ImageRgb | ImageAlpha);
  const uint32_t size = ImagePlaneSize(*image);
  for (uint32_t p = 0; p < 3; ++p) EXPECT_EQ(image->data[p * size + 2 * 15 + 3], 3 + 2 * 12);
  EXPECT_EQ(ImageAlphaPlane(*image)[0], 255 - 20);
  AttachBackgroundImage(layer, image);
  EXPECT_EQ(layer->centerX, 7.5f + 5);
  EXPECT_EQ(layer->centerY, 15.0f);
  const int reads = document.reads;
  EXPECT_EQ(GetBackgroundImage(&style), image);
  EXPECT_EQ(document.reads, reads);
  frame.effectWidth = 10;
  BindMapFrame(frame);
  RefreshBackground(&style);
  ASSERT_NE(layer->image, nullptr);
  EXPECT_EQ(layer->image->width, 5);
  EXPECT_EQ(cache, layer->image);
  EXPECT_EQ(cache->next, nullptr);
  FreeImages(cache);
  FreeMapLayers(style.mapLayers);
  BindMapFrame(MapFrame{});
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}
