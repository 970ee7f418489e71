// Full bevel shading in two parts at once (a task runner given): the same
// pixels as one sweep, for any shape, style and clip, also where bands lie
// on top of each other; short memory only means one sweep.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "maps/MapFill.h"
#include "platform/WorkerThreads.h"
#include "render/RenderDriver.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/StyleSupport.h"

using namespace render_test;

namespace {
// The module's runner, counting the tasks it was handed.
int gStarted = 0;
void* CountingStart(void (*task)(void*), void* argument) {
  ++gStarted;
  return WorkerThreads()->start(task, argument);
}
const TaskRunner gCountingRunner{CountingStart, [](void* handle) { WorkerThreads()->wait(handle); }};

// A random star of 5 to 12 points around the middle of a 512 document.
std::vector<Point> RandomStar(std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int points = 5 + int(rng() % 8);
  const double outer = 150 + 80 * unit(rng), inner = outer * (0.35 + 0.5 * unit(rng));
  return StarPoints(points, 256, 256, outer, inner, unit(rng));
}
}  // namespace

TEST(TwoPartSweep, GivesTheOneSweepPixels) {
  ScopedCountingMemory memory;
  std::mt19937 rng(53);
  gStarted = 0;
  for (int round = 0; round < 16; ++round) {
    SCOPED_TRACE(round);
    Scene scene;
    scene.documentSize = 512;
    scene.style = RandomStyle(rng);
    scene.style.renderMode = RenderNormal;
    scene.style.mapLayers = nullptr;
    scene.style.reflectionImage = nullptr;
    for (BevelSetting& bevel : scene.style.bevels) bevel.size = uint16_t(8 + bevel.size % 40);
    const std::vector<Point> star = RandomStar(rng);
    ASSERT_TRUE(scene.AddPolygon(star));
    // Every third scene has the star twice: coincident edges, tied in the sweep's order.
    if (round % 3 == 2) {
      ASSERT_TRUE(scene.AddPolygon(star));
    }
    ASSERT_TRUE(scene.Build());
    RenderContext context = scene.Context();
    PixelRect clip = WholeFrame;
    if (round % 2 == 1) {
      const int32_t top = int32_t(rng() % uint32_t(scene.Height() / 2)), left = int32_t(rng() % uint32_t(scene.Width() / 2));
      clip = PixelRect{top, left, top + scene.Height() / 2, left + scene.Width() / 2};
    }
    RefreshMaterials(&scene.style, scene.buffers, SelectAllElements | AllMaterialChannels, clip);
    context.clip = &clip;
    ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
    const std::vector<uint8_t> oneSweep = scene.renderBuffer;
    context.tasks = &gCountingRunner;
    ASSERT_EQ(RenderElements(context, SelectAllElements), 1);
    EXPECT_TRUE(scene.renderBuffer == oneSweep);
  }
  EXPECT_GE(gStarted, 16) << "the shading was split";
}

TEST(TwoPartSweep, ShortMemoryOnlyMeansOneSweep) {
  ScopedCountingMemory memory;
  Scene scene;
  scene.documentSize = 512;
  scene.style.bevels[InnerBevelSetting] = BevelSetting{20, 100, 0x005, 0};
  scene.style.bevels[OuterBevelSetting] = BevelSetting{30, 100, 0x000, 0};
  std::mt19937 rng(7);
  ASSERT_TRUE(scene.AddPolygon(RandomStar(rng)));
  ASSERT_TRUE(scene.Build());
  gStarted = 0;
  const FailureCounts counts = FailEveryAllocationInTurn(
      &memory.memory, &scene, [](RenderContext* context) { context->tasks = &gCountingRunner; },
      [](const Scene&) { return 0L; });
  EXPECT_GE(counts.absorbed, 8);  // band copies, row states, the lower part and its planes, per bevel
  EXPECT_GE(counts.failed, 3);
  EXPECT_GT(gStarted, 0);
}
