// The bevel shading against a plain reference: the same band edges swept
// column by column (the sweep's per-sample interface), every sub-sample kept
// in its slot, and each pixel resolved slot by slot (facets in order of first
// appearance, normals summed in slot order). The shading routines gather
// sub-samples their own way for speed; their pixels must equal these bit for
// bit, over random shapes, faceted profiles and varied materials.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "bevel/ContourProfiles.h"
#include "bevel/CornerClassification.h"
#include "bevel/NodeNumbering.h"
#include "bevel/OffsetOutlines.h"
#include "bevel/OffsetUndo.h"
#include "bevel/PixelConversion.h"
#include "geometry/BandEdge.h"
#include "render/BevelShading.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/CountingMemory.h"

using namespace render_test;

namespace {
struct Slot {
  uint16_t key;  // 0 = none
  uint16_t index;
  float normal[3];
};

// Keeps every sub-sample of the element in its slot: row-major sample grid.
struct SlotUser {
  static constexpr bool WantsWinner = true;
  static constexpr bool WantsGaps = false;
  std::vector<Slot>* slots;
  int32_t columns;  // sample columns
  SweepVariant variant;
  const ContourTable* contour;
  const FacetKeyTable* keys;
  void Store(int32_t row, int32_t column, const OffsetNode* winner, int32_t value, float dx, float dy) {
    const int32_t i = BandIndex(value, variant);
    Slot& s = (*slots)[size_t(row) * columns + column];
    s.key = uint16_t(uint16_t(keys->key[i]) + uint16_t(winner->index));
    s.index = uint16_t(i);
    s.normal[0] = dx * contour->entry[i].radial;
    s.normal[1] = dy * contour->entry[i].radial;
    s.normal[2] = contour->entry[i].vertical;
  }
  int RowEnd(int32_t) { return 1; }
};

// The reference pixel of the full shading, or of the distance display.
RenderedPixel ReferencePixel(const std::vector<Slot>& slots, int32_t columns, int32_t x, int32_t y,
                             const PixelMaterial& m, const LightingSetup& lighting, bool distance) {
  uint16_t keys[PixelSamples];
  const Slot* at[PixelSamples];
  for (int32_t u = 0; u < PixelSamples; ++u) {
    at[u] = &slots[size_t(y * SampleRows + u / SampleColumns) * columns + x * SampleColumns + u % SampleColumns];
    keys[u] = at[u]->key;
  }
  uint32_t alpha = 0, red = 0, green = 0, blue = 0, indexSum = 0;
  for (int32_t s = 0; s < PixelSamples; ++s) {
    const uint16_t key = keys[s];
    if (key == 0) continue;
    uint32_t k = 0;
    float sum[3] = {0.0f, 0.0f, 0.0f};
    for (int32_t u = s; u < PixelSamples; ++u) {
      if (keys[u] != key) continue;
      keys[u] = 0;
      ++k;
      for (int c = 0; c < 3; ++c) sum[c] += at[u]->normal[c];
      indexSum += at[u]->index;
    }
    const float length = sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2];
    float n[3] = {0.0f, 0.0f, 1.0f};
    if (length > 0.0f)
      for (int c = 0; c < 3; ++c) n[c] = sum[c] * (1.0f / std::sqrt(length));
    float color[3];
    ShadeNormal(n, DecodeMaterial(m), lighting, nullptr, color);
    const uint32_t weight = m.opacity * k;
    alpha += weight;
    red += uint32_t(color[0] * float(weight));
    green += uint32_t(color[1] * float(weight));
    blue += uint32_t(color[2] * float(weight));
  }
  if (distance) return PackPixel(indexSum >> 5, indexSum >> 5, indexSum >> 5, indexSum >> 5);
  return PackPixel(alpha >> 5, red >> 5, green >> 5, blue >> 5);
}

// Sweeps one bevel of the scene into slots, as the render driver frames it.
std::vector<Slot> SweepSlots(Scene& scene, int32_t element, ContourTable* contour, FacetKeyTable* keys) {
  const bool inner = element == InnerBevelElement;
  OffsetRingList* rings = inner ? scene.innerOutlines : scene.outerOutlines;
  const BevelSetting& setting = scene.style.bevels[inner ? InnerBevelSetting : OuterBevelSetting];
  const ElementBuffer* buffer = scene.buffers[element];
  EmptyPool(&gBandEdgePool);
  const int64_t x = TruncScaled(rings->first->x, FixedOne), y = TruncScaled(rings->first->y, FixedOne);
  FixedBounds bounds{x, y, x, y};
  BandEdgeList edges{nullptr, 0};
  EXPECT_EQ(BuildBands(rings, &edges, &bounds, double(setting.size), inner ? BandForm::Inner : BandForm::Outer), 1);
  int32_t counter = 1;
  NumberNodes(rings, &counter);
  ShiftBandEdges(edges.head, int32_t(bounds.minX >> FixedShift), int32_t(bounds.minY >> FixedShift));
  BuildContour(*contour, *keys, setting.bevelFlags, setting.depth, int16_t(counter));
  const int32_t columns = buffer->width * SampleColumns;
  std::vector<Slot> slots(size_t(columns) * buffer->height * SampleRows, Slot{});
  SlotUser user{&slots, columns, inner ? SweepVariant::Inner : SweepVariant::Outer, contour, keys};
  SweepBands(edges.head, buffer->width, buffer->height, user.variant, &scene.directions, user);
  EmptyPool(&gBandEdgePool);
  return slots;
}

// A star of `points` points with random radii, clockwise on screen.
std::vector<Point> RandomStar(std::mt19937& random, int points) {
  std::uniform_real_distribution<double> radius(25.0, 100.0), jitter(-0.2, 0.2);
  std::vector<Point> star;
  for (int i = 0; i < points; ++i) {
    const double a = 2 * std::numbers::pi * (i + jitter(random)) / points;
    const double r = radius(random);
    star.push_back({128.3 + r * std::cos(a), 127.7 + r * std::sin(a)});
  }
  return star;
}
}  // namespace

TEST(BevelShadingOracle, PixelsEqualTheSlotBySlotReference) {
  ScopedCountingMemory memory;
  std::mt19937 random(20261208);
  // Profiles: 0 smooth, 2 a ridge with two facets, 9 and 30 with more steps;
  // joins Round, Bevel, Miter.
  const uint16_t flags[] = {0x000, 0x102, 0x209, 0x01E, 0x105};
  for (int trial = 0; trial < 10; ++trial) {
    Scene scene;
    const uint16_t f = flags[trial % 5];
    scene.style.bevels[InnerBevelSetting] = BevelSetting{uint16_t(3 + trial * 3), uint16_t(60 + trial * 40), f, 30};
    scene.style.bevels[OuterBevelSetting] =
        BevelSetting{uint16_t(20 - trial), uint16_t(250 - trial * 20), uint16_t(flags[(trial + 2) % 5]), 30};
    ASSERT_TRUE(scene.AddPolygon(RandomStar(random, 3 + trial)));
    ASSERT_TRUE(scene.Build());
    // Materials vary in small blocks, so the shading's reuse of earlier results is put to the test.
    for (ElementBuffer* field : scene.buffers)
      ForEachPixel(field, [&](int x, int y, RenderedPixel, const PixelMaterial&) {
        for (Span* span = field->rows[y]; span != nullptr; span = span->next)
          if (x >= span->xStart && x < span->xEnd) {
            PixelMaterial& m = span->material[x - span->xStart];
            m.shininess = uint8_t(((x / 3) * 37 + (y / 2) * 11) & 0x3F);
            m.red = uint8_t(m.red ^ ((x / 5 + y) & 0x30));
          }
      });
    LightingSetup lighting;
    SetUpLighting(scene.style, &lighting);
    for (const bool distance : {false, true}) {
      scene.style.renderMode = distance ? RenderOuterDistance : RenderNormal;
      for (const int32_t element : {InnerBevelElement, OuterBevelElement}) {
        if (distance && element == InnerBevelElement) scene.style.renderMode = RenderInnerDistance;
        if (distance && element == OuterBevelElement) scene.style.renderMode = RenderOuterDistance;
        RenderContext context = scene.Context();
        ASSERT_EQ(RenderElements(context, ElementSelectorBit(element)), 1);
        ContourTable contour;
        FacetKeyTable keys;
        const std::vector<Slot> slots = SweepSlots(scene, element, &contour, &keys);
        const ElementBuffer* buffer = scene.buffers[element];
        const int32_t columns = buffer->width * SampleColumns;
        int differing = 0;
        ForEachPixel(buffer, [&](int x, int y, RenderedPixel p, const PixelMaterial& m) {
          if (p != ReferencePixel(slots, columns, x, y, m, lighting, distance)) ++differing;
        });
        EXPECT_EQ(differing, 0) << "trial " << trial << " element " << element << (distance ? " distance" : "");
      }
    }
  }
}
