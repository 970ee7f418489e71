// The live preview after one slider step, on the 2000 x 2000 bench shapes at
// 100 % zoom, through the frame calls the dialog makes: rebuild the changed
// bevel (size changes only), refill its materials, render the affected
// elements, rebuild the preview image from a 2048 x 2048 RGB document.
// A size change of the Outer Bevel may move the effect rectangle, so it
// reallocates the render buffer and renders every element, as the run does.
// Materials and rendering are the dialog's preview requests, limited to
// what the view shows; the full render they leave for OK is timed once.
// Reports the median wall-clock time of each phase per shape; the target is one
// frame (16 ms).
//
//   bench_live_preview [repetitions] [preview width] [preview height]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "bench/BenchShapes.h"
#include "bench/ElementSetup.h"
#include "bevel/DirectionTable.h"
#include "bevel/MainRasteriser.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "frame/FilterRun.h"
#include "frame/PreviewImage.h"
#include "frame/RunGlobals.h"
#include "frame/RunRender.h"
#include "frame/SuiteAcquisition.h"
#include "render/RenderDriver.h"
#include "tests/support/ChannelPortsDouble.h"
#include "ui/PreviewGeometry.h"
#include "ui/PreviewZoom.h"

namespace {
constexpr int32_t Phases = 4;
const char* const PhaseNames[Phases] = {"rebuild", "materials", "render", "preview image"};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs the phases of one slider step `repetitions` times (the first call
// warms up and is not counted) and prints the median of each and of the sum.
void Report(const char* change, int repetitions, const std::function<void(int, int)>& phase) {
  std::vector<double> times[Phases + 1];
  for (int r = -1; r < repetitions; ++r) {
    double total = 0;
    for (int p = 0; p < Phases; ++p) {
      const double start = WallMilliseconds();
      phase(p, r);
      const double spent = WallMilliseconds() - start;
      total += spent;
      if (r >= 0) times[p].push_back(spent);
    }
    if (r >= 0) times[Phases].push_back(total);
  }
  std::printf("  %-22s %7.1f ms  (", change, Median(times[Phases]));
  for (int p = 0; p < Phases; ++p) std::printf("%s%s %.1f", p ? ", " : "", PhaseNames[p], Median(times[p]));
  std::printf(")\n");
}

BandSettings SettingsOf(const BevelSetting& b) { return BandSettings{b.size, b.bevelFlags, b.miterLimit}; }

// The effect rectangle of the globals as the element builders take it.
PixelRect EffectOf(const RunGlobals& g) {
  return PixelRect{g.effectTop, g.effectLeft, g.effectTop + g.effectHeight, g.effectLeft + g.effectWidth};
}
void SetEffect(RunGlobals* g, const PixelRect& e) {
  g->effectTop = int16_t(e.top);
  g->effectLeft = int16_t(e.left);
  g->effectHeight = int16_t(e.bottom - e.top);
  g->effectWidth = int16_t(e.right - e.left);
}
void AllocateRenderBuffer(RunGlobals* g) {
  FreeBlockOf(g->renderBuffer);
  FreeBlockOf(g->maskBuffer);
  g->renderBuffer = static_cast<uint8_t*>(
      NewBlock(uint32_t(g->effectWidth) * uint32_t(g->effectHeight) * uint32_t(g->channelCount + 1)));
}
}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::atoi(argv[1]) : 11;
  const int32_t viewWidth = argc > 2 ? std::atoi(argv[2]) : 415, viewHeight = argc > 3 ? std::atoi(argv[3]) : 341;
  int16_t result = 0;
  BindWorkMemory(HeapWorkMemory(&result));
  MakeDirectionTable(&gDirectionTable);
  FakeDocument document(DocumentSize, DocumentSize, 3, 128);
  gChannelPortsSuite = &document.ports;
  std::printf("live preview, %d x %d view at 100 %%, median wall-clock time of %d steps\n", viewWidth, viewHeight,
              repetitions);

  for (const Shape& shape : Shapes()) {
    StyleRecord style{};
    SetDefaultStyle(&style);
    style.bevels[InnerBevelSetting] = BevelSetting{30, 100, 0x000, 0};  // Round joins, profile 0
    style.bevels[OuterBevelSetting] = BevelSetting{50, 100, 0x000, 0};
    char* styleBytes = reinterpret_cast<char*>(&style);
    FilterRecord record{};
    record.parameters = &styleBytes;
    record.documentInfo = &document.desc;
    RunGlobals g{};
    g.filterRecord = &record;
    g.resultCell = &result;
    g.channelCount = 3;
    gRunGlobals = &g;

    g.outerOutlines = MakeRing(shape.points);
    g.innerOutlines = MakeInnerRing(shape);
    ElementBuffer* buffers[ElementCount];
    PixelRect effect;
    BuildBenchElements(g.outerOutlines, g.innerOutlines, DocumentSize, DocumentSize, style, buffers, &effect);
    g.mainField = buffers[MainElement];
    g.innerBevelField = buffers[InnerBevelElement];
    g.outerBevelField = buffers[OuterBevelElement];
    SetEffect(&g, effect);
    AllocateRenderBuffer(&g);
    RenderRunElements(SelectAllElements);
    // The view centred on the shape's top-left corner: bevels, face and background in sight.
    g.previewZoom = DefaultZoomStep;
    const PreviewGeometry view =
        FitPreview(ZoomFactor(g.previewZoom), viewWidth, viewHeight, DocumentSize, DocumentSize, VRect{74, 74, 74, 74});
    g.previewWidth = int16_t(view.width);
    g.previewHeight = int16_t(view.height);
    g.previewSrcTop = int16_t(view.source.top);
    g.previewSrcLeft = int16_t(view.source.left);
    g.previewSrcBottom = int16_t(view.source.bottom);
    g.previewSrcRight = int16_t(view.source.right);
    std::printf("%s: effect %d x %d\n", shape.name, g.effectWidth, g.effectHeight);

    Report("Inner Bevel size", repetitions, [&](int p, int r) {
      BevelSetting& bevel = style.bevels[InnerBevelSetting];
      if (p == 0) {
        bevel.size = uint16_t(r % 2 == 0 ? 31 : 30);
        RebuildInner(g.innerOutlines, SettingsOf(bevel), &g.innerBevelField, &g.mainField, EffectOf(g));
      } else if (p == 1) {
        RefreshPreviewMaterials(SelectInnerBevel | SelectMain | AllMaterialChannels);
      } else if (p == 2) {
        RenderPreviewElements(SelectInnerBevel | SelectMain);
      } else {
        RebuildPreviewImage();
      }
    });
    Report("Outer Bevel size", repetitions, [&](int p, int r) {
      BevelSetting& bevel = style.bevels[OuterBevelSetting];
      if (p == 0) {
        bevel.size = uint16_t(r % 2 == 0 ? 51 : 50);
        PixelRect moved;
        RebuildOuter(g.outerOutlines, SettingsOf(bevel), &g.outerBevelField, &g.innerBevelField, &g.mainField,
                     EffectOf(g), &moved);
        SetEffect(&g, moved);
        AllocateRenderBuffer(&g);
        PlaceElements(g.outerBevelField, g.innerBevelField, g.mainField, moved);
      } else if (p == 1) {
        RefreshPreviewMaterials(SelectAllElements | AllMaterialChannels);
      } else if (p == 2) {
        RenderPreviewElements(SelectAllElements);
      } else {
        RebuildPreviewImage();
      }
    });
    for (const int32_t bevelIndex : {InnerBevelSetting, OuterBevelSetting}) {
      const uint32_t selector = bevelIndex == InnerBevelSetting ? SelectInnerBevel : SelectOuterBevel;
      Report(bevelIndex == InnerBevelSetting ? "Inner Bevel depth" : "Outer Bevel depth", repetitions,
             [&](int p, int r) {
               if (p == 0) style.bevels[bevelIndex].depth = uint16_t(r % 2 == 0 ? 101 : 100);
               if (p == 2) RenderPreviewElements(selector);
               if (p == 3) RebuildPreviewImage();
             });
    }
    // What the steps left outside the view, done once before the result is written.
    const double start = WallMilliseconds();
    CompleteRunRender();
    std::printf("  %-22s %7.1f ms\n", "completion at OK", WallMilliseconds() - start);
    if (result != 0) std::printf("  result code %d\n", result);

    ReleaseElements(&g.outerBevelField, &g.innerBevelField, &g.mainField);
    FreeBlockOf(g.renderBuffer);
    FreeBlockOf(g.maskBuffer);
    FreeBlockOf(g.previewPixels);
    FreeBlockOf(g.previewTransparency);
    for (NodePool* pool : {&gInnerOffsetPool, &gOuterOffsetPool, &gOutlinePool, &gBandEdgePool, &gPolygonEdgePool})
      EmptyPool(pool);
    FreeBlockOf(g.outerOutlines);
    FreeBlockOf(g.innerOutlines);
    gRunGlobals = nullptr;
  }
  return 0;
}
