// Render timings on a 2000 x 2000 effect: the preview's single-element
// re-render (one bevel reshaded, all elements recomposed), each element on its
// own, the composition alone and a whole render, for a few outline shapes.
//
//   bench_render [repetitions]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "bench/BenchShapes.h"
#include "bench/ElementSetup.h"
#include "bevel/BandSweep.h"
#include "bevel/CornerClassification.h"
#include "bevel/DirectionTable.h"
#include "bevel/ElementBuilders.h"
#include "bevel/MainRasteriser.h"
#include "bevel/PixelConversion.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/BandEdge.h"
#include "maps/BumpGathering.h"
#include "maps/ElementMaterials.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "maps/MapPlacement.h"
#include "platform/WorkerThreads.h"
#include "render/RenderDriver.h"
#include "style/StyleRecord.h"

namespace {
int16_t gResult = 0;
void* MallocNew(void*, uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void MallocDispose(void*, void* block) { std::free(block); }

// Best time of `repetitions` calls: CPU time, or wall-clock time for work
// that may run on two threads.
template <class F>
double Time(int repetitions, F f, double (*clock)() = CpuMilliseconds) {
  double best = 1e30;
  for (int i = 0; i < repetitions; ++i) {
    const double start = clock();
    f();
    best = std::fmin(best, clock() - start);
  }
  return best;
}

// A sweep user that only looks at the winners: the cost of the band sweep itself.
struct BareSweepUser {
  static constexpr bool WantsWinner = true;
  static constexpr bool WantsGaps = false;
  int64_t checksum = 0;
  void Store(int32_t, int32_t column, const OffsetNode* winner, int32_t value, float, float) {
    checksum += value + column + winner->index;
  }
  int RowEnd(int32_t) { return 1; }
};

// Band edges of the Outer Bevel and one sweep over them, storing nothing.
double BareOuterSweep(int repetitions, OffsetRingList* rings, double size, const ElementBuffer* buffer,
                      const DirectionTable* directions) {
  return Time(repetitions, [&] {
    EmptyPool(&gBandEdgePool);
    const OffsetNode* first = rings->first;
    const int64_t x = TruncScaled(first->x, FixedOne), y = TruncScaled(first->y, FixedOne);
    FixedBounds bounds{x, y, x, y};
    BandEdgeList edges{nullptr, 0};
    BuildBands(rings, &edges, &bounds, size, BandForm::Outer);
    ShiftBandEdges(edges.head, int32_t(bounds.minX >> FixedShift), int32_t(bounds.minY >> FixedShift));
    BareSweepUser user;
    SweepBands(edges.head, buffer->width, buffer->height, SweepVariant::Outer, directions, user);
    if (user.checksum == 1) std::printf(" ");
    EmptyPool(&gBandEdgePool);
  });
}
// A 256 x 256 reflection image and a 256 x 256 height image tiled over every
// element, as the run would hand them to the driver.
struct MapsFixture {
  std::vector<uint8_t> sky, heights;
  MapImage bumpImage{};
  MapLayer layer{};
  ReflectionSampler reflection{};
  MapsFixture() : sky(256 * 256 * 3), heights(256 * 256) {
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        for (int c = 0; c < 3; ++c) sky[size_t(c) * 65536 + y * 256 + x] = uint8_t(x * (c + 1) + y);
        heights[y * 256 + x] = uint8_t(127 + 127 * std::sin(x * 0.3) * std::cos(y * 0.2));
      }
    MakeReflectionSampler(&reflection, sky.data(), 256, 256, 1);
    bumpImage.data = bumpImage.maxPlane = heights.data();
    bumpImage.width = bumpImage.height = 256;
    bumpImage.flags = ImageGray | ImageHasMax;
    layer.image = &bumpImage;
    layer.layerFlags = BumpMapLayer | ApplyToMask | (AlphaOutputOpaque << AlphaOutputShift);
    layer.amount = 200;
    layer.placedWidth = layer.placedHeight = 256;
    layer.centerX = layer.centerY = 128;
    PlaceLayer(&layer);
  }
};

// Best CPU time of one element's re-render (shading and composition) after
// its material color changed, with the facets of a first render kept.
double KeptReRender(int repetitions, const RenderContext& context, StyleRecord* style, ElementBuffer** buffers,
                    int32_t element, double (*clock)()) {
  const uint32_t selector = element == OuterBevelElement ? SelectOuterBevel : SelectInnerBevel;
  RenderElements(context, selector);
  double best = 1e30;
  for (int i = 0; i < repetitions; ++i) {
    style->materials[element].color[2] = uint8_t(40 + 30 * i);
    FillElementMaterials(style, buffers, 0xF001F);
    const double start = clock();
    RenderElements(context, selector);
    best = std::fmin(best, clock() - start);
  }
  return best;
}

int32_t GatherBumps(void* layers, uint32_t elementBit, const ElementBuffer* buffer, BumpSampler** samplers) {
  return GatherBumpSamplers(static_cast<const MapLayer*>(layers), elementBit, buffer, samplers);
}
}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::atoi(argv[1]) : 5;
  BindWorkMemory(WorkMemory{MallocNew, MallocDispose, nullptr, &gResult});
  DirectionTable directions;
  MakeDirectionTable(&directions);

  for (const Shape& shape : Shapes()) {
    StyleRecord style{};
    SetDefaultStyle(&style);
    style.bevels[InnerBevelSetting] = BevelSetting{30, 100, 0x000, 0};  // Round joins, profile 0
    style.bevels[OuterBevelSetting] = BevelSetting{50, 100, 0x000, 0};
    style.materials[MainElement].reflectivity = 0;
    OffsetRingList* outer = MakeRing(shape.points);
    OffsetRingList* inner = MakeInnerRing(shape);
    ElementBuffer* buffers[ElementCount];
    PixelRect effect;
    BuildBenchElements(outer, inner, DocumentSize, DocumentSize, style, buffers, &effect);
    const int32_t width = effect.right - effect.left, height = effect.bottom - effect.top;
    std::vector<uint8_t> render(size_t(width) * height * 4);
    uint8_t* mask = nullptr;

    RenderContext context{};
    context.style = &style;
    for (int e = 0; e < ElementCount; ++e) context.buffers[e] = buffers[e];
    context.innerOutlines = inner;
    context.outerOutlines = outer;
    context.directions = &directions;
    context.effectWidth = width;
    context.effectHeight = height;
    context.channelCount = 3;
    context.renderBuffer = render.data();
    context.maskBuffer = &mask;

    long pixels[ElementCount] = {0, 0, 0};
    for (int e = 0; e < ElementCount; ++e)
      if (buffers[e] != nullptr)
        for (int y = 0; y < buffers[e]->height; ++y)
          for (const Span* s = buffers[e]->rows[y]; s != nullptr; s = s->next) pixels[e] += s->xEnd - s->xStart;

    std::printf("%s: effect %d x %d; pixels Main %ld, Inner Bevel %ld, Outer Bevel %ld\n", shape.name, width, height,
                pixels[0], pixels[1], pixels[2]);
    const double compose = Time(repetitions, [&] { RenderElements(context, 0); });
    const double outerTime = Time(repetitions, [&] { RenderElements(context, SelectOuterBevel); });
    const double innerTime = Time(repetitions, [&] { RenderElements(context, SelectInnerBevel); });
    // The module sweeps a bevel in two parts on two threads.
    context.tasks = WorkerThreads();
    const double outerWall = Time(repetitions, [&] { RenderElements(context, SelectOuterBevel); }, WallMilliseconds);
    const double innerWall = Time(repetitions, [&] { RenderElements(context, SelectInnerBevel); }, WallMilliseconds);
    const double allWall = Time(repetitions, [&] { RenderElements(context, SelectAllElements); }, WallMilliseconds);
    context.tasks = nullptr;
    const double mainTime = Time(repetitions, [&] { RenderElements(context, SelectMain); });
    const double all = Time(repetitions, [&] { RenderElements(context, SelectAllElements); });
    style.renderMode = RenderOuterDistance;
    const double distance = Time(repetitions, [&] { RenderElements(context, SelectOuterBevel); });
    style.renderMode = RenderNormal;
    style.viewFlags = 0;
    const double hardEdges = Time(repetitions, [&] { RenderElements(context, SelectOuterBevel); });
    // The preview keeps the facets it swept: after a material change the
    // re-render shades the kept facets (each repetition a new color).
    context.keepFacets = 1;
    style.renderMode = RenderNormal;
    style.viewFlags = DefaultViewFlags;
    const double keptOuter = KeptReRender(repetitions, context, &style, buffers, OuterBevelElement, CpuMilliseconds);
    const double keptInner = KeptReRender(repetitions, context, &style, buffers, InnerBevelElement, CpuMilliseconds);
    context.tasks = WorkerThreads();
    const double keptOuterWall =
        KeptReRender(repetitions, context, &style, buffers, OuterBevelElement, WallMilliseconds);
    const double keptInnerWall =
        KeptReRender(repetitions, context, &style, buffers, InnerBevelElement, WallMilliseconds);
    context.tasks = nullptr;
    context.keepFacets = 0;
    style.viewFlags = 0;
    const double bare = BareOuterSweep(repetitions, outer, style.bevels[OuterBevelSetting].size, buffers[OuterBevelElement], &directions);
    std::printf("  (CPU time, best of %d)\n", repetitions);
    std::printf("  compose only            %8.1f ms\n", compose);
    std::printf("  Outer band edges + bare sweep %6.1f ms\n", bare);
    std::printf("  Outer Bevel + compose   %8.1f ms   (shading alone ~%.1f ms)\n", outerTime, outerTime - compose);
    std::printf("  Inner Bevel + compose   %8.1f ms   (shading alone ~%.1f ms)\n", innerTime, innerTime - compose);
    std::printf("  Outer Bevel + compose, two threads %5.1f ms wall clock\n", outerWall);
    std::printf("  Inner Bevel + compose, two threads %5.1f ms wall clock\n", innerWall);
    std::printf("  all elements, two threads   %5.1f ms wall clock\n", allWall);
    std::printf("  Outer re-render, facets kept %5.1f ms; two threads %5.1f ms wall clock (after a material change)\n",
                keptOuter, keptOuterWall);
    std::printf("  Inner re-render, facets kept %5.1f ms; two threads %5.1f ms wall clock (after a material change)\n",
                keptInner, keptInnerWall);
    std::printf("  Main + compose          %8.1f ms   (shading alone ~%.1f ms)\n", mainTime, mainTime - compose);
    std::printf("  all elements            %8.1f ms\n", all);
    std::printf("  Outer distance display  %8.1f ms\n", distance);
    std::printf("  Outer, anti-aliasing off%8.1f ms\n", hardEdges);

    // The preview's one-bevel re-render with a reflection image and a tiled
    // bump map on every element, against the same re-render without them.
    style.viewFlags = DefaultViewFlags;
    for (MaterialSetting& m : style.materials) m.reflectivity = 128;
    FillElementMaterials(&style, buffers, 0xF001F);
    const double plainOuter = Time(repetitions, [&] { RenderElements(context, SelectOuterBevel); });
    const double plainInner = Time(repetitions, [&] { RenderElements(context, SelectInnerBevel); });
    MapsFixture maps;
    context.reflection = &maps.reflection;
    context.gatherBumps = GatherBumps;
    context.bumpContext = &maps.layer;
    const double mappedOuter = Time(repetitions, [&] { RenderElements(context, SelectOuterBevel); });
    const double mappedInner = Time(repetitions, [&] { RenderElements(context, SelectInnerBevel); });
    const double mappedMain = Time(repetitions, [&] { RenderElements(context, SelectMain); });
    context.reflection = nullptr;
    context.gatherBumps = nullptr;
    std::printf("  Outer re-render, reflection + bump map %8.1f ms  (without %.1f ms, ratio %.2f)\n", mappedOuter,
                plainOuter, mappedOuter / plainOuter);
    std::printf("  Inner re-render, reflection + bump map %8.1f ms  (without %.1f ms, ratio %.2f)\n", mappedInner,
                plainInner, mappedInner / plainInner);
    std::printf("  Main re-render, reflection + bump map  %8.1f ms  (without %.1f ms)\n", mappedMain, mainTime);
    if (gResult != 0) std::printf("  result code %d\n", gResult);

    for (ElementBuffer*& buffer : buffers) DisposeElementBuffer(&buffer);
    FreeBlockOf(mask);
    for (NodePool* pool : {&gMainSpanPool, &gInnerSpanPool, &gOuterSpanPool, &gInnerOffsetPool, &gOuterOffsetPool,
                           &gOutlinePool, &gBandEdgePool, &gPolygonEdgePool})
      EmptyPool(pool);
    FreeBlockOf(outer);
    FreeBlockOf(inner);
  }
  return 0;
}
