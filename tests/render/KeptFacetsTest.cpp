// Facets kept between preview renders: shading the kept facets gives the
// pixels of a fresh sweep whatever else changed (materials, lights, the
// reflection, the render mode); a changed contour or clip sweeps again.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "maps/MapFill.h"
#include "platform/WorkerThreads.h"
#include "render/KeptFacets.h"
#include "render/RenderDriver.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/StyleSupport.h"

using namespace render_test;

namespace {
// A star: straight pieces, round joins (curve pieces) and pixels where
// several facets meet.
void AddStar(Scene* scene) { ASSERT_TRUE(scene->AddPolygon(StarPoints(7, 128, 128, 100, 55))); }

// Renders every element with facets kept, then with a fresh sweep, and
// expects the same render buffer; returns it.
std::vector<uint8_t> RenderKeptAndFresh(Scene* scene, RenderContext* context, const PixelRect& clip) {
  RefreshMaterials(&scene->style, scene->buffers, SelectAllElements | AllMaterialChannels, clip);
  context->clip = &clip;
  context->keepFacets = 1;
  EXPECT_EQ(RenderElements(*context, SelectAllElements), 1);
  const std::vector<uint8_t> kept = scene->renderBuffer;
  context->keepFacets = 0;
  EXPECT_EQ(RenderElements(*context, SelectAllElements), 1);
  EXPECT_TRUE(kept == scene->renderBuffer);
  return kept;
}

PixelRect RandomClip(std::mt19937& rng, const Scene& scene) {
  auto pick = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  if (pick(0, 2) == 0) return WholeFrame;
  const int32_t top = pick(-4, scene.Height() / 2), left = pick(-4, scene.Width() / 2);
  return PixelRect{top, left, top + pick(1, scene.Height()), left + pick(1, scene.Width())};
}
}  // namespace

TEST(KeptFacets, ShadingKeptFacetsMatchesAFreshSweep) {
  ScopedCountingMemory memory;
  std::mt19937 rng(41);
  std::vector<uint8_t> reflectionPlane(8 * 8);
  for (size_t i = 0; i < reflectionPlane.size(); ++i) reflectionPlane[i] = uint8_t(i * 29);
  ReflectionSampler reflection;
  MakeReflectionSampler(&reflection, reflectionPlane.data(), 8, 8, 0);
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    Scene scene;
    scene.style = RandomStyle(rng);
    for (BevelSetting& bevel : scene.style.bevels) bevel.size = uint16_t(1 + bevel.size % 30);
    scene.style.renderMode = RenderNormal;
    AddStar(&scene);
    ASSERT_TRUE(scene.Build());
    RenderContext context = scene.Context();
    if (round % 2 == 1) context.reflection = &reflection;
    if (round % 3 != 0) context.tasks = WorkerThreads();
    PixelRect clip = RandomClip(rng, scene);
    RenderKeptAndFresh(&scene, &context, clip);
    for (int32_t e : {InnerBevelElement, OuterBevelElement})
      EXPECT_NE(scene.buffers[e]->attachment, nullptr) << "a full shading keeps its facets";

    // Everything but the bevels changes: the kept facets are shaded.
    StyleRecord other = RandomStyle(rng);
    std::memcpy(other.bevels, scene.style.bevels, sizeof other.bevels);
    other.renderMode = RenderNormal;
    scene.style = other;
    RenderKeptAndFresh(&scene, &context, clip);

    // Another contour or depth for one bevel, then another clip.
    BevelSetting& changed = scene.style.bevels[round % 2 == 0 ? InnerBevelSetting : OuterBevelSetting];
    changed.bevelFlags = uint16_t((changed.bevelFlags & ~ContourIndexMask) | uint16_t(rng() % ContourProfileCount));
    changed.depth = uint16_t(1 + rng() % 1000);
    RenderKeptAndFresh(&scene, &context, clip);
    clip = RandomClip(rng, scene);
    RenderKeptAndFresh(&scene, &context, clip);
    // Other render modes neither use nor disturb what is kept.
    scene.style.renderMode = uint8_t(1 + rng() % LastRenderMode);
    RenderKeptAndFresh(&scene, &context, clip);
  }
}

// Every allocation of a render that keeps facets fails in turn: a failure
// of the kept record only means nothing is kept.
TEST(KeptFacets, ShortMemoryKeepsNothingAndFailsNoRenderItShouldNot) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.style.bevels[InnerBevelSetting] = BevelSetting{9, 100, 0x005, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{14, 100, 0x000, 0};
  AddStar(&scene);
  ASSERT_TRUE(scene.Build());
  const FailureCounts counts = FailEveryAllocationInTurn(&memory.memory, &scene, [](RenderContext* context) {
    context->keepFacets = 1;
  }, [](const Scene& rendered) {
    long blocks = 0;  // a kept record is three blocks
    for (int32_t e : {InnerBevelElement, OuterBevelElement}) blocks += 3 * (rendered.buffers[e]->attachment != nullptr);
    return blocks;
  });
  EXPECT_GE(counts.absorbed, 4);
  EXPECT_GE(counts.failed, 2);

  // Shading kept facets in two parts needs a memo for the second: without
  // one the facets are shaded in one part.
  RenderContext context = scene.Context();
  context.keepFacets = 1;
  context.tasks = WorkerThreads();
  ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
  const std::vector<uint8_t> expected = scene.renderBuffer;
  for (long n = 1; n <= 2; ++n) {
    memory.memory.failAt = memory.memory.allocations + n;
    EXPECT_EQ(RenderElements(context, SelectAllElements), 1);
    memory.memory.failAt = 0;
    EXPECT_EQ(memory.memory.result, 0);
    EXPECT_TRUE(scene.renderBuffer == expected);
  }
}
