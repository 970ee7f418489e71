#include "render/RenderDriver.h"

#include <cstring>

#include "bevel/ContourProfiles.h"
#include "bevel/NodeNumbering.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/BandEdge.h"
#include "render/BevelShading.h"
#include "render/KeptFacets.h"
#include "render/Lighting.h"
#include "render/MainShading.h"

namespace {
// Packed values of the distance modes' constant fills.
constexpr uint32_t OpaqueWhite = 0xFFFFFFFF;
constexpr uint32_t Clear = 0;

// Gray weights in 8.24 fixed point (0.30, 0.59, 0.11); they add up to exactly 1 << 24.
constexpr uint32_t GrayRed = 5033165;
constexpr uint32_t GrayGreen = 9898557;
constexpr uint32_t GrayBlue = 1845494;
constexpr int32_t GrayShift = 24;
static_assert(GrayRed + GrayGreen + GrayBlue == (1u << GrayShift), "white stays white");

// Coverage sums of at least half a pixel are scaled to a full pixel by
// (v x scale) >> 24, scale = 2^29 / k.
constexpr int32_t HardEdgeShift = 24;
constexpr double HardEdgeNumerator = 536870912.0;  // 2^29
constexpr uint32_t HalfCoverage = PixelSamples / 2;

// How one render mode shades an element.
enum class Routine : int32_t {
  Full,             // lighting model (bumped when samplers exist)
  ColorDisplay,     // material color and/or reflection, flags below
  ChannelDisplay,   // gray of one material byte
  DistanceDisplay,  // gray of the band index (bevels only)
  FillWhite,        // constant fill 0xFFFFFFFF
  FillClear         // constant fill 0
};

struct ModeChoice {
  Routine routine;
  int showColor;      // color display: material color on
  int useReflection;  // color display: reflection sampler passed
  int useOpacity;     // color display: alpha from the opacity
  int32_t byteIndex;  // channel display: PixelMaterial byte
};

ModeChoice ChooseRoutine(uint8_t mode, int32_t element) {
  if (mode > LastRenderMode) mode = RenderNormal;
  switch (mode) {
    case RenderColor:
      return {Routine::ColorDisplay, 1, 0, 0, 0};
    case RenderReflection:
      return {Routine::ColorDisplay, 0, 1, 0, 0};
    case RenderOpacity:
    case RenderShininess:
    case RenderShinStrength:
    case RenderReflectivity:
      return {Routine::ChannelDisplay, 0, 0, 0, int32_t(mode)};
    case RenderReflectionColor:
      return {Routine::ColorDisplay, 1, 1, 0, 0};
    case RenderOuterDistance:
      return {element == OuterBevelElement ? Routine::DistanceDisplay : Routine::FillWhite, 0, 0, 0, 0};
    case RenderInnerDistance:
      if (element == InnerBevelElement) return {Routine::DistanceDisplay, 0, 0, 0, 0};
      return {element == OuterBevelElement ? Routine::FillClear : Routine::FillWhite, 0, 0, 0, 0};
    case RenderColorReflectionOpacity:
      return {Routine::ColorDisplay, 1, 1, 1, 0};
    case RenderReflectionOpacity:
      return {Routine::ColorDisplay, 0, 1, 1, 0};
    case RenderColorOpacity:
      return {Routine::ColorDisplay, 1, 0, 1, 0};
    default:
      return {Routine::Full, 0, 0, 0, 0};
  }
}

// The bump samplers of one element for one shading; released by the destructor.
struct ElementBumps {
  BumpSampler* samplers = nullptr;
  int32_t count = 0;
  ElementBumps(const RenderContext& context, uint32_t elementBit, const ElementBuffer* buffer) {
    if (context.gatherBumps == nullptr) return;
    count = context.gatherBumps(context.bumpContext, elementBit, buffer, &samplers);
    if (samplers == nullptr) count = 0;
  }
  ~ElementBumps() { FreeBlockOf(samplers); }
  ElementBumps(const ElementBumps&) = delete;
  ElementBumps& operator=(const ElementBumps&) = delete;
};

// The clip of a render call in the effect frame.
PixelRect ClipOf(const RenderContext& context) { return context.clip != nullptr ? *context.clip : WholeFrame; }

int ShadeMain(const RenderContext& context, const LightingSetup& lighting, ElementBuffer* buffer) {
  const PixelRect clip = ClipOf(context);
  const ModeChoice choice = ChooseRoutine(context.style->renderMode, MainElement);
  ElementBumps bumps(context, SelectMain, buffer);
  const ReflectionSampler* reflection = choice.useReflection ? context.reflection : nullptr;
  switch (choice.routine) {
    case Routine::Full:
      if (bumps.count > 0)
        return ShadeMainFullBumped(lighting, buffer, context.reflection, bumps.samplers, bumps.count, clip);
      return ShadeMainFull(lighting, buffer, context.reflection, clip);
    case Routine::ColorDisplay:
      return ShadeMainColorDisplay(buffer, bumps.samplers, bumps.count, reflection, choice.showColor,
                                   choice.useOpacity, clip);
    case Routine::ChannelDisplay:
      return ShadeMainChannelDisplay(buffer, choice.byteIndex, clip);
    case Routine::DistanceDisplay:
    case Routine::FillWhite:
      return ConstantFill(buffer, OpaqueWhite, clip);
    case Routine::FillClear:
      return ConstantFill(buffer, Clear, clip);
  }
  return 1;
}

int ShadeBevel(const RenderContext& context, const LightingSetup& lighting, const ModeChoice& choice,
               const ElementBumps& bumps, ElementBuffer* buffer, const BevelShape& shape) {
  const ReflectionSampler* reflection = choice.useReflection ? context.reflection : nullptr;
  switch (choice.routine) {
    case Routine::Full:
      return ShadeBevelFull(shape, buffer, lighting, context.reflection, bumps.samplers, bumps.count,
                            context.keepFacets);
    case Routine::ColorDisplay:
      return ShadeBevelColorDisplay(shape, buffer, bumps.samplers, bumps.count, reflection, choice.showColor,
                                    choice.useOpacity);
    case Routine::ChannelDisplay:
      return ShadeBevelChannelDisplay(shape, buffer, choice.byteIndex);
    case Routine::DistanceDisplay:
      return ShadeBevelDistanceDisplay(shape, buffer);
    case Routine::FillWhite:
      return ConstantFill(buffer, OpaqueWhite, shape.clip);
    case Routine::FillClear:
      return ConstantFill(buffer, Clear, shape.clip);
  }
  return 1;
}

// Builds one bevel's band edges from its outlines, in the frame of its pixel
// bounds, with its contour tables, and shades it; a full shading whose facets
// are kept with the buffer takes them instead. Returns 1 or 0 (code set).
int RenderBevel(const RenderContext& context, const LightingSetup& lighting, int32_t element) {
  ElementBuffer* buffer = context.buffers[element];
  const bool inner = element == InnerBevelElement;
  OffsetRingList* rings = inner ? context.innerOutlines : context.outerOutlines;
  // A buffer without outlines cannot be swept; it keeps its earlier pixels.
  if (rings == nullptr || rings->first == nullptr) return 1;
  const BevelSetting& setting = context.style->bevels[inner ? InnerBevelSetting : OuterBevelSetting];
  const SweepVariant variant = inner ? SweepVariant::Inner : SweepVariant::Outer;

  int32_t counter = 1;
  NumberNodes(rings, &counter);
  ContourTable contour;
  FacetKeyTable facetKeys;
  BuildContour(contour, facetKeys, setting.bevelFlags, setting.depth, int16_t(counter));
  const ModeChoice choice = ChooseRoutine(context.style->renderMode, element);
  const ElementBumps bumps(context, ElementSelectorBit(element), buffer);
  if (context.keepFacets && choice.routine == Routine::Full && bumps.count == 0) {
    FacetSource source;
    DescribeFacetSource(&source, buffer, ClipOf(context), variant, contour, facetKeys);
    if (ShadeKeptFacets(buffer, source, lighting, context.reflection, context.tasks)) return 1;
  }

  EmptyPool(&gBandEdgePool);
  const OffsetNode* first = rings->first;
  const int64_t seedX = TruncScaled(first->x, FixedOne), seedY = TruncScaled(first->y, FixedOne);
  FixedBounds bounds{seedX, seedY, seedX, seedY};
  BandEdgeList edges{nullptr, 0};
  BuildBands(rings, &edges, &bounds, double(setting.size), inner ? BandForm::Inner : BandForm::Outer);
  if (RunFailed()) {
    EmptyPool(&gBandEdgePool);
    return 0;
  }
  // The element's pixel frame: floor of the minimum (the arithmetic shift
  // rounds toward minus infinity), as the element's buffer was framed.
  ShiftBandEdges(edges.head, int32_t(bounds.minX >> FixedShift), int32_t(bounds.minY >> FixedShift));

  const BevelShape shape{edges.head, &contour, &facetKeys, context.directions, variant, ClipOf(context),
                         context.tasks};
  const int shaded = ShadeBevel(context, lighting, choice, bumps, buffer, shape);
  EmptyPool(&gBandEdgePool);
  if (!shaded) {
    SetResult(MemFullErr);
    return 0;
  }
  return 1;
}

// The run's mask buffer, allocated on first need. A failure is not an error
// of the run: the result cell keeps its value and null is returned.
uint8_t* MaskBuffer(const RenderContext& context, uint32_t planeSize) {
  if (context.maskBuffer == nullptr) return nullptr;
  if (*context.maskBuffer == nullptr) {
    const int16_t before = CurrentResult();
    *context.maskBuffer = static_cast<uint8_t*>(NewBlock(planeSize));
    if (*context.maskBuffer == nullptr) SetResult(before);
  }
  return *context.maskBuffer;
}

// Adds `count` pixels into the four planes at `at`: straight loops over
// unaliased runs, which the compiler turns into vector code.
void AddRgbRun(const RenderedPixel* __restrict source, uint32_t count, uint8_t* __restrict alpha,
               uint8_t* __restrict red, uint8_t* __restrict green, uint8_t* __restrict blue) {
  for (uint32_t k = 0; k < count; ++k) {
    const RenderedPixel p = source[k];
    alpha[k] = uint8_t(alpha[k] + uint8_t(p >> RenderedAlphaShift));
    red[k] = uint8_t(red[k] + uint8_t(p >> RenderedRedShift));
    green[k] = uint8_t(green[k] + uint8_t(p >> RenderedGreenShift));
    blue[k] = uint8_t(blue[k] + uint8_t(p >> RenderedBlueShift));
  }
}

void AddCoverageRun(const PixelMaterial* __restrict material, uint32_t count, uint8_t* __restrict coverage) {
  for (uint32_t k = 0; k < count; ++k) coverage[k] = uint8_t(coverage[k] + material[k].coverage);
}

// Adds the spans of one buffer row (effect row y) between effect columns
// left and right (inside the effect rectangle) into the planes.
template <bool ThreeChannels, bool CountCoverage>
void ComposeRow(const ElementBuffer* buffer, int32_t row, int32_t y, uint8_t* renderBuffer, int32_t channelCount,
                int32_t width, uint32_t planeSize, uint8_t* coverage, int32_t left, int32_t right) {
  for (const Span* span = buffer->rows[row]; span != nullptr; span = span->next) {
    // Clip the span to the columns once.
    int32_t begin = span->xStart, end = span->xEnd;
    if (buffer->x0 + begin < left) begin = left - buffer->x0;
    if (buffer->x0 + end > right) end = right - buffer->x0;
    if (begin >= end) continue;
    const uint32_t first = uint32_t(y) * uint32_t(width) + uint32_t(buffer->x0 + begin);
    const uint32_t count = uint32_t(end - begin);
    const RenderedPixel* source = span->block + (begin - span->xStart);
    if constexpr (ThreeChannels) {
      uint8_t* alpha = renderBuffer + first;
      AddRgbRun(source, count, alpha, alpha + planeSize, alpha + 2 * planeSize, alpha + 3 * planeSize);
    } else {
      for (uint32_t k = 0; k < count; ++k) {
        const RenderedPixel p = source[k];
        const uint32_t at = first + k;
        const uint32_t red = (p >> RenderedRedShift) & 0xFF, green = (p >> RenderedGreenShift) & 0xFF;
        const uint32_t blue = (p >> RenderedBlueShift) & 0xFF;
        renderBuffer[at] = uint8_t(renderBuffer[at] + ((p >> RenderedAlphaShift) & 0xFF));
        const uint32_t gray = (red * GrayRed + green * GrayGreen + blue * GrayBlue) >> GrayShift;
        for (int32_t c = 1; c <= channelCount; ++c)
          renderBuffer[uint32_t(c) * planeSize + at] = uint8_t(renderBuffer[uint32_t(c) * planeSize + at] + gray);
      }
    }
    if constexpr (CountCoverage) AddCoverageRun(span->material + (begin - span->xStart), count, coverage + first);
  }
}

template <bool ThreeChannels, bool CountCoverage>
void ComposeRows(const ElementBuffer* buffer, uint8_t* renderBuffer, int32_t channelCount, int32_t width,
                 int32_t height, uint8_t* coverage) {
  const uint32_t planeSize = uint32_t(width) * uint32_t(height);
  for (int32_t row = 0; row < int32_t(buffer->height); ++row) {
    const int32_t y = buffer->y0 + row;
    if (y >= 0 && y < height)
      ComposeRow<ThreeChannels, CountCoverage>(buffer, row, y, renderBuffer, channelCount, width, planeSize, coverage,
                                               0, width);
  }
}

// The render buffer (and the coverage plane when given) inside `area`
// cleared and composed row by row, every element's row added while the row
// is in cache: the same additions in the same order as clearing everything
// first and composing element after element.
template <bool ThreeChannels, bool CountCoverage>
void ComposeAllRows(ElementBuffer* const buffers[ElementCount], uint8_t* renderBuffer, int32_t channelCount,
                    int32_t width, int32_t height, int32_t planes, uint8_t* coverage, const PixelRect& area) {
  const uint32_t planeSize = uint32_t(width) * uint32_t(height);
  const uint32_t columns = uint32_t(area.right - area.left);
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const uint32_t rowStart = uint32_t(y) * uint32_t(width) + uint32_t(area.left);
    for (int32_t plane = 0; plane < planes; ++plane)
      std::memset(renderBuffer + uint32_t(plane) * planeSize + rowStart, 0, columns);
    if constexpr (CountCoverage) std::memset(coverage + rowStart, 0, columns);
    for (int32_t e = 0; e < ElementCount; ++e) {
      const ElementBuffer* buffer = buffers[e];
      if (buffer == nullptr || buffer->rows == nullptr) continue;
      const int32_t row = y - buffer->y0;
      if (row < 0 || row >= int32_t(buffer->height)) continue;
      ComposeRow<ThreeChannels, CountCoverage>(buffer, row, y, renderBuffer, channelCount, width, planeSize, coverage,
                                               area.left, area.right);
    }
  }
}

void ComposeArea(ElementBuffer* const buffers[ElementCount], uint8_t* renderBuffer, int32_t channelCount,
                 int32_t width, int32_t height, int32_t planes, uint8_t* coverage, const PixelRect& area) {
  if (channelCount == 3) {
    if (coverage != nullptr)
      ComposeAllRows<true, true>(buffers, renderBuffer, channelCount, width, height, planes, coverage, area);
    else
      ComposeAllRows<true, false>(buffers, renderBuffer, channelCount, width, height, planes, coverage, area);
  } else if (coverage != nullptr) {
    ComposeAllRows<false, true>(buffers, renderBuffer, channelCount, width, height, planes, coverage, area);
  } else {
    ComposeAllRows<false, false>(buffers, renderBuffer, channelCount, width, height, planes, coverage, area);
  }
}

// The composition of one part of the area's rows, as a task.
struct CompositionPart {
  ElementBuffer* const* buffers;
  uint8_t* renderBuffer;
  int32_t channelCount, width, height, planes;
  uint8_t* coverage;
  PixelRect area;
  static void Run(void* part) {
    const CompositionPart* p = static_cast<const CompositionPart*>(part);
    ComposeArea(p->buffers, p->renderBuffer, p->channelCount, p->width, p->height, p->planes, p->coverage, p->area);
  }
};

// Rows are composed independently: with a task runner the lower half of
// the area's rows is composed beside the upper half.
void ComposeAll(const TaskRunner* tasks, ElementBuffer* const buffers[ElementCount], uint8_t* renderBuffer,
                int32_t channelCount, int32_t width, int32_t height, int32_t planes, uint8_t* coverage,
                const PixelRect& area) {
  CompositionPart upper{buffers, renderBuffer, channelCount, width, height, planes, coverage, area};
  if (tasks == nullptr || area.bottom - area.top < 2) {
    CompositionPart::Run(&upper);
    return;
  }
  CompositionPart lower = upper;
  upper.area.bottom = lower.area.top = area.top + (area.bottom - area.top) / 2;
  RunBeside(tasks, CompositionPart::Run, &lower, CompositionPart::Run, &upper);
}
}  // namespace

void ComposeElement(const ElementBuffer* buffer, uint8_t* renderBuffer, int32_t channelCount, int32_t width,
                    int32_t height, uint8_t* coverage) {
  if (buffer == nullptr || buffer->rows == nullptr) return;
  if (channelCount == 3) {
    if (coverage != nullptr)
      ComposeRows<true, true>(buffer, renderBuffer, channelCount, width, height, coverage);
    else
      ComposeRows<true, false>(buffer, renderBuffer, channelCount, width, height, coverage);
  } else if (coverage != nullptr) {
    ComposeRows<false, true>(buffer, renderBuffer, channelCount, width, height, coverage);
  } else {
    ComposeRows<false, false>(buffer, renderBuffer, channelCount, width, height, coverage);
  }
}

namespace {
// Calls run(first, count) for the stretches of a plane (offsets into it) that
// `area` covers: one stretch when it spans whole rows, else one per row.
template <class Run>
void ForEachStretch(int32_t width, const PixelRect& area, Run run) {
  if (area.left == 0 && area.right == width) {
    run(uint32_t(area.top) * uint32_t(width), uint32_t(area.bottom - area.top) * uint32_t(width));
    return;
  }
  for (int32_t y = area.top; y < area.bottom; ++y)
    run(uint32_t(y) * uint32_t(width) + uint32_t(area.left), uint32_t(area.right - area.left));
}

void NormaliseHardEdgesIn(uint8_t* renderBuffer, int32_t planes, uint32_t planeSize, const uint8_t* coverage,
                          int32_t width, const PixelRect& area) {
  // Scale per coverage sum: 0 below half a pixel; a sum above a full pixel
  // (not produced by the rasterisers) is left unscaled.
  uint32_t scale[256];
  for (uint32_t k = 0; k < 256; ++k) {
    if (k < HalfCoverage)
      scale[k] = 0;
    else if (k <= uint32_t(PixelSamples))
      scale[k] = uint32_t(HardEdgeNumerator / double(k));
    else
      scale[k] = 1u << HardEdgeShift;
  }
  for (int32_t plane = 0; plane < planes; ++plane) {
    uint8_t* values = renderBuffer + uint32_t(plane) * planeSize;
    ForEachStretch(width, area, [&](uint32_t first, uint32_t count) {
      for (uint32_t i = first; i < first + count; ++i)
        values[i] = uint8_t((uint32_t(values[i]) * scale[coverage[i]]) >> HardEdgeShift);
    });
  }
}

void ApplySelectionMaskIn(uint8_t* renderBuffer, int32_t planes, uint32_t planeSize, const uint8_t* mask,
                          int32_t width, const PixelRect& area) {
  for (int32_t plane = 0; plane < planes; ++plane) {
    uint8_t* values = renderBuffer + uint32_t(plane) * planeSize;
    ForEachStretch(width, area, [&](uint32_t first, uint32_t count) {
      for (uint32_t i = first; i < first + count; ++i) values[i] = uint8_t(uint32_t(values[i]) * mask[i] / 255);
    });
  }
}

// The clip of a render call inside the effect rectangle; empty when they do not meet.
PixelRect ComposedArea(const RenderContext& context) {
  const PixelRect clip = ClipOf(context);
  PixelRect area{clip.top > 0 ? clip.top : 0, clip.left > 0 ? clip.left : 0,
                 clip.bottom < context.effectHeight ? clip.bottom : context.effectHeight,
                 clip.right < context.effectWidth ? clip.right : context.effectWidth};
  if (area.bottom < area.top) area.bottom = area.top;
  if (area.right < area.left) area.right = area.left;
  return area;
}
}  // namespace

// The whole plane, taken as one row.
void NormaliseHardEdges(uint8_t* renderBuffer, int32_t planes, uint32_t planeSize, const uint8_t* coverage) {
  NormaliseHardEdgesIn(renderBuffer, planes, planeSize, coverage, int32_t(planeSize), PixelRect{0, 0, 1, int32_t(planeSize)});
}

void ApplySelectionMask(uint8_t* renderBuffer, int32_t planes, uint32_t planeSize, const uint8_t* mask) {
  ApplySelectionMaskIn(renderBuffer, planes, planeSize, mask, int32_t(planeSize), PixelRect{0, 0, 1, int32_t(planeSize)});
}

int RenderElements(const RenderContext& context, uint32_t selector) {
  if (context.effectWidth <= 0 || context.effectHeight <= 0) return 1;
  const PixelRect area = ComposedArea(context);
  if (area.top == area.bottom || area.left == area.right) return 1;
  LightingSetup lighting;
  SetUpLighting(*context.style, &lighting);

  ElementBuffer* main = context.buffers[MainElement];
  if ((selector & SelectMain) != 0 && main != nullptr && !ShadeMain(context, lighting, main)) {
    SetResult(MemFullErr);
    return 0;
  }
  if ((selector & SelectInnerBevel) != 0 && context.buffers[InnerBevelElement] != nullptr &&
      !RenderBevel(context, lighting, InnerBevelElement))
    return 0;
  if ((selector & SelectOuterBevel) != 0 && context.buffers[OuterBevelElement] != nullptr &&
      !RenderBevel(context, lighting, OuterBevelElement))
    return 0;

  const int32_t width = context.effectWidth, height = context.effectHeight;
  const uint32_t planeSize = uint32_t(width) * uint32_t(height);
  const int32_t planes = (context.channelCount > 0 ? context.channelCount : 0) + 1;
  if (context.renderBuffer == nullptr) return 1;
  // A buffer of this size cannot have been allocated (block sizes are 32-bit).
  if (uint64_t(planes) * planeSize > UINT32_MAX) {
    SetResult(MemFullErr);
    return 0;
  }
  if ((context.style->viewFlags & AntiAliasingFlag) != 0) {
    ComposeAll(context.tasks, context.buffers, context.renderBuffer, context.channelCount, width, height, planes,
               nullptr, area);
  } else if (uint8_t* coverage = MaskBuffer(context, planeSize)) {
    ComposeAll(context.tasks, context.buffers, context.renderBuffer, context.channelCount, width, height, planes,
               coverage, area);
    NormaliseHardEdgesIn(context.renderBuffer, planes, planeSize, coverage, width, area);
  } else {
    for (int32_t plane = 0; plane < planes; ++plane)
      ForEachStretch(width, area, [&](uint32_t first, uint32_t count) {
        std::memset(context.renderBuffer + uint32_t(plane) * planeSize + first, 0, count);
      });
  }
  if (context.copySelection != nullptr) {
    if (uint8_t* mask = MaskBuffer(context, planeSize)) {
      ForEachStretch(width, area, [&](uint32_t first, uint32_t count) { std::memset(mask + first, 0, count); });
      context.copySelection(context.selectionContext, mask, width, height, area);
      ApplySelectionMaskIn(context.renderBuffer, planes, planeSize, mask, width, area);
    }
  }
  return 1;
}
