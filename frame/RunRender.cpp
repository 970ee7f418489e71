#include "frame/RunRender.h"

#include "core/WorkMemory.h"
#include "frame/FilterRun.h"
#include "frame/RunGlobals.h"
#include "frame/StyleHandle.h"
#include "frame/SuiteAcquisition.h"
#include "maps/BumpGathering.h"
#include "maps/ElementMaterials.h"
#include "maps/MapFill.h"
#include "maps/MapFrame.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "maps/MapPlacement.h"
#include "render/DocumentOutput.h"
#include "platform/WorkerThreads.h"
#include "render/RenderDriver.h"

namespace {
// The effect size in pixels. The 16-bit fields hold sizes up to 65535 (the
// element buffers' limit), so they are read as unsigned.
int32_t EffectWidth(const RunGlobals* globals) { return int32_t(uint16_t(globals->effectWidth)); }
int32_t EffectHeight(const RunGlobals* globals) { return int32_t(uint16_t(globals->effectHeight)); }

DocumentAccess RunDocumentAccess(const RunGlobals* globals) {
  const FilterRecord* record = globals->filterRecord;
  return DocumentAccess{gChannelPortsSuite, record->documentInfo, record->progressProc};
}

void BuffersOf(RunGlobals* globals, ElementBuffer* buffers[ElementCount]) {
  buffers[MainElement] = globals->mainField;
  buffers[InnerBevelElement] = globals->innerBevelField;
  buffers[OuterBevelElement] = globals->outerBevelField;
}

const ReadChannelDesc* SelectionChannel(const RunGlobals* globals) {
  const ReadImageDocumentDesc* document = globals->filterRecord->documentInfo;
  return document != nullptr ? document->selection : nullptr;
}

// The selection as the run hands it to the render driver. The driver takes a
// selection it cannot copy as one that selects nothing, and a mask buffer it
// cannot get as no selection at all; for the run both would be a wrong result
// reported as success, so a copy that fails for want of memory fails the run.
struct RunSelection {
  SelectionSource source;
  const ReadChannelDesc* channel;
};

// 1 when the two rectangles share at least one pixel.
bool Meets(const VRect& a, const VRect& b) {
  const int32_t top = a.top > b.top ? a.top : b.top, bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
  const int32_t left = a.left > b.left ? a.left : b.left, right = a.right < b.right ? a.right : b.right;
  return top < bottom && left < right;
}

int CopyRunSelection(void* context, uint8_t* mask, int32_t width, int32_t height, const PixelRect& area) {
  RunSelection* selection = static_cast<RunSelection*>(context);
  if (CopySelectionForRender(&selection->source, mask, width, height, area)) return 1;
  // Not copied although the selection meets the area: its buffer failed.
  const int32_t top = selection->source.top, left = selection->source.left;
  const VRect wanted{top + area.top, left + area.left, top + area.bottom, left + area.right};
  if (!RunFailed() && Meets(wanted, selection->channel->bounds)) SetResult(MemFullErr);
  return 0;
}

// The mask buffer holds the coverage sums with anti-aliasing off and the
// selection mask; the driver would go on without it, so it is made here,
// where its failure can end the run. Returns 0 with MemFullErr.
int32_t EnsureMaskBuffer(RunGlobals* globals, const StyleRecord* style, bool hasSelection) {
  if (globals->maskBuffer != nullptr) return 1;
  if ((style->viewFlags & AntiAliasingFlag) != 0 && !hasSelection) return 1;
  globals->maskBuffer = static_cast<uint8_t*>(NewBlock(uint32_t(EffectWidth(globals)) * uint32_t(EffectHeight(globals))));
  return globals->maskBuffer != nullptr ? 1 : 0;
}
int32_t BumpsOfElement(void* context, uint32_t elementBit, const ElementBuffer* buffer, BumpSampler** samplers) {
  return GatherBumpSamplers(static_cast<const StyleRecord*>(context)->mapLayers, elementBit, buffer, samplers);
}

int32_t CountChannels(const ReadChannelDesc* list) {
  int32_t n = 0;
  for (; list != nullptr; list = list->next) ++n;
  return n;
}

// The document as the Background image reads it: the target composite
// channels and the layer's transparency, unscaled.
int32_t DescribeDocument(void* context, PixelRect* bounds, int32_t* colorChannels, int32_t* hasTransparency) {
  const ReadImageDocumentDesc* document = static_cast<const RunGlobals*>(context)->filterRecord->documentInfo;
  if (document == nullptr || document->targetCompositeChannels == nullptr) return 0;
  const VRect& b = document->targetCompositeChannels->bounds;
  *bounds = PixelRect{b.top, b.left, b.bottom, b.right};
  *colorChannels = CountChannels(document->targetCompositeChannels);
  *hasTransparency = document->targetTransparency != nullptr;
  return 1;
}

int32_t ReadDocumentPlane(void* context, int32_t index, const PixelRect& rect, uint8_t* destination) {
  const ReadImageDocumentDesc* document = static_cast<const RunGlobals*>(context)->filterRecord->documentInfo;
  const ReadChannelDesc* channel = document->targetTransparency;
  if (index >= 0) {
    channel = document->targetCompositeChannels;
    for (int32_t i = 0; i < index && channel != nullptr; ++i) channel = channel->next;
  }
  if (channel == nullptr) return 0;
  return ReadChannel(gChannelPortsSuite, channel, destination, VRect{rect.top, rect.left, rect.bottom, rect.right});
}

// What the map layers are placed in: the run's elements, effect rectangle,
// image cache and document.
void BindRunMapFrame(RunGlobals* globals) {
  MapFrame frame{};
  BuffersOf(globals, frame.buffers);
  frame.effectLeft = globals->effectLeft;
  frame.effectTop = globals->effectTop;
  frame.effectWidth = EffectWidth(globals);
  frame.effectHeight = EffectHeight(globals);
  frame.cache = &globals->imageCache;
  frame.document = DocumentPlanes{DescribeDocument, ReadDocumentPlane, globals};
  BindMapFrame(frame);
}
}  // namespace

void BindRunMaps() { BindRunMapFrame(gRunGlobals); }

int32_t AllocateRenderBuffer() {
  RunGlobals* globals = gRunGlobals;
  if (globals->effectWidth == 0 || globals->effectHeight == 0) return 1;
  FreeBlockOf(globals->renderBuffer);
  FreeBlockOf(globals->maskBuffer);
  // One alpha plane and one plane per target channel; a size beyond 32 bits
  // cannot be allocated.
  const uint64_t bytes = uint64_t(EffectWidth(globals)) * uint64_t(globals->channelCount + 1) * uint64_t(EffectHeight(globals));
  if (bytes > UINT32_MAX) {
    SetResult(MemFullErr);
    return 0;
  }
  globals->renderBuffer = static_cast<uint8_t*>(NewBlock(uint32_t(bytes)));
  return globals->renderBuffer != nullptr ? 1 : 0;
}

namespace {
// Marks a partial render even when none of its elements exists: the render
// buffer itself is then stale outside the rectangle.
constexpr uint32_t StaleComposition = 0x100000;

VRect PreviewSource(const RunGlobals* globals) {
  return VRect{globals->previewSrcTop, globals->previewSrcLeft, globals->previewSrcBottom, globals->previewSrcRight};
}

bool HasStale(const RunGlobals* globals) { return globals->staleMaterials != 0 || globals->staleElements != 0; }

// 1 when `inner` lies inside the stale rectangle (an empty one always does).
bool InsideStaleRect(const RunGlobals* globals, const VRect& inner) {
  if (inner.top >= inner.bottom || inner.left >= inner.right) return true;
  return inner.top >= globals->staleTop && inner.left >= globals->staleLeft && inner.bottom <= globals->staleBottom &&
         inner.right <= globals->staleRight;
}

// Before a partial request: what earlier ones left outside another rectangle
// is completed, then the preview's rectangle becomes the stale rectangle.
int32_t PreparePartial(RunGlobals* globals) {
  const VRect source = PreviewSource(globals);
  const bool same = source.top == globals->staleTop && source.left == globals->staleLeft &&
                    source.bottom == globals->staleBottom && source.right == globals->staleRight;
  if (HasStale(globals) && !same && !CompleteRunRender()) return 0;
  globals->staleTop = int16_t(source.top);
  globals->staleLeft = int16_t(source.left);
  globals->staleBottom = int16_t(source.bottom);
  globals->staleRight = int16_t(source.right);
  return 1;
}

// The stale rectangle in the effect frame.
PixelRect StaleClip(const RunGlobals* globals) {
  return PixelRect{globals->staleTop - globals->effectTop, globals->staleLeft - globals->effectLeft,
                   globals->staleBottom - globals->effectTop, globals->staleRight - globals->effectLeft};
}

void RefreshWithin(uint32_t flags, const PixelRect& clip) {
  const StyleRecord* style = CurrentStyle();
  if (style == nullptr) return;
  ElementBuffer* buffers[ElementCount];
  BuffersOf(gRunGlobals, buffers);
  RefreshMaterials(style, buffers, flags, clip);
}

// Renders the elements of `selector` and recomposes the render buffer, inside
// `clip` (effect frame) or, with null, everywhere.
int32_t RenderWithin(uint32_t selector, const PixelRect* clip) {
  RunGlobals* globals = gRunGlobals;
  const StyleRecord* style = CurrentStyle();
  if (style == nullptr || globals->renderBuffer == nullptr) return 1;
  if (EffectWidth(globals) == 0 || EffectHeight(globals) == 0) return 1;
  const ReadChannelDesc* selectionChannel = SelectionChannel(globals);
  if (!EnsureMaskBuffer(globals, style, selectionChannel != nullptr)) return 0;
  // Lives until the driver returns: the driver's selection copier reads it.
  RunSelection selection{{RunDocumentAccess(globals), globals->effectTop, globals->effectLeft}, selectionChannel};

  RenderContext context{};
  context.style = style;
  BuffersOf(globals, context.buffers);
  context.innerOutlines = globals->innerOutlines;
  context.outerOutlines = globals->outerOutlines;
  context.directions = &gDirectionTable;
  context.effectWidth = EffectWidth(globals);
  context.effectHeight = EffectHeight(globals);
  context.channelCount = globals->channelCount;
  context.renderBuffer = globals->renderBuffer;
  context.maskBuffer = &globals->maskBuffer;
  ReflectionSampler reflection;
  if (const MapImage* image = style->reflectionImage) {
    MakeReflectionSampler(&reflection, image->data, image->width, image->height, (image->flags & ImageRgb) != 0);
    context.reflection = &reflection;
  }
  if (style->mapLayers != nullptr) {
    context.gatherBumps = BumpsOfElement;
    context.bumpContext = const_cast<StyleRecord*>(style);
  }
  if (selectionChannel != nullptr) {
    context.copySelection = CopyRunSelection;
    context.selectionContext = &selection;
  }
  context.clip = clip;
  // The preview re-renders the same facets after most changes; a whole
  // render happens once per run.
  context.keepFacets = clip != nullptr ? 1 : 0;
  context.tasks = WorkerThreads();
  if (!RenderElements(context, selector)) return 0;
  return RunFailed() ? 0 : 1;
}
}  // namespace

void RefreshRunMaterials(uint32_t flags) { RefreshWithin(flags, WholeFrame); }

void RefreshPreviewMaterials(uint32_t flags) {
  RunGlobals* globals = gRunGlobals;
  if (!PreparePartial(globals)) return;
  RefreshWithin(flags, StaleClip(globals));
  globals->staleMaterials |= flags;
}

int32_t RenderPreviewElements(uint32_t selector) {
  RunGlobals* globals = gRunGlobals;
  if (!PreparePartial(globals)) return 0;
  const PixelRect clip = StaleClip(globals);
  globals->staleElements |= selector | StaleComposition;
  return RenderWithin(selector, &clip);
}

int32_t CompleteRunRender() { return HasStale(gRunGlobals) ? RenderRunElements(0) : 1; }

int32_t FollowPreviewSource() {
  const RunGlobals* globals = gRunGlobals;
  if (!HasStale(globals) || InsideStaleRect(globals, PreviewSource(globals))) return 1;
  return CompleteRunRender();
}

void PrepareRunMaps() {
  StyleRecord* style = CurrentStyle();
  if (style == nullptr) return;
  BindRunMapFrame(gRunGlobals);
  ResolveLayersAfterLoad(style);
}

int32_t RenderRunElements(uint32_t selector) {
  RunGlobals* globals = gRunGlobals;
  if (HasStale(globals)) {
    const uint32_t materials = globals->staleMaterials;
    selector |= (materials | globals->staleElements) & SelectAllElements;
    globals->staleMaterials = globals->staleElements = 0;
    // A refresh allocates nothing and cannot fail.
    if (materials != 0) RefreshRunMaterials(materials);
  }
  return RenderWithin(selector, nullptr);
}


int32_t WriteRunResult() {
  if (!CompleteRunRender()) return 0;
  const RunGlobals* globals = gRunGlobals;
  const RenderedEffect effect{globals->renderBuffer, globals->channelCount, globals->effectTop, globals->effectLeft,
                              EffectWidth(globals), EffectHeight(globals)};
  DocumentAccess access = RunDocumentAccess(globals);
  access.tasks = WorkerThreads();
  return WriteResult(access, effect) ? 1 : 0;
}
