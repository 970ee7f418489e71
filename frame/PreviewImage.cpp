#include "frame/PreviewImage.h"

#include "core/WorkMemory.h"
#include "frame/RunGlobals.h"
#include "frame/RunRender.h"
#include "frame/SuiteAcquisition.h"
#include "render/DocumentOutput.h"
#include "ui/PreviewZoom.h"

namespace {
// The size each preview block was allocated with. Only this file allocates
// them, so a block whose pointer is the one remembered here has that size;
// any other block (none yet, or one this file did not see) is replaced.
struct SizedBlock {
  const void* block;
  uint32_t size;
};
SizedBlock gPixelsBlock{nullptr, 0};
SizedBlock gTransparencyBlock{nullptr, 0};

// Makes *block a block of `size` bytes, keeping it when it already is one.
// Returns 1, or 0 with MemFullErr set and *block null.
int32_t FitBlock(uint8_t** block, SizedBlock* known, uint32_t size) {
  if (*block != nullptr && *block == known->block && known->size == size) return 1;
  FreeBlockOf(*block);
  *block = static_cast<uint8_t*>(NewBlock(size));
  *known = SizedBlock{*block, size};
  return *block != nullptr ? 1 : 0;
}

int32_t ListLength(const ReadChannelDesc* list) {
  int32_t n = 0;
  for (; list != nullptr; list = list->next) ++n;
  return n;
}

void DropPreview(RunGlobals* globals) {
  FreeBlockOf(globals->previewPixels);
  FreeBlockOf(globals->previewTransparency);
}
}  // namespace

int32_t RebuildPreviewImage() {
  RunGlobals* globals = gRunGlobals;
  if (globals == nullptr || globals->filterRecord == nullptr || RunFailed()) return 0;
  if (!FollowPreviewSource()) return 0;
  const ReadImageDocumentDesc* document = globals->filterRecord->documentInfo;
  const int32_t width = globals->previewWidth, height = globals->previewHeight;
  const VRect source{globals->previewSrcTop, globals->previewSrcLeft, globals->previewSrcBottom,
                     globals->previewSrcRight};
  const int32_t planeCount = document != nullptr ? ListLength(document->targetCompositeChannels) : 0;
  if (width <= 0 || height <= 0 || planeCount == 0 || source.right <= source.left || source.bottom <= source.top) {
    DropPreview(globals);
    return 1;
  }
  const uint32_t planeSize = uint32_t(width) * uint32_t(height);
  if (!FitBlock(&globals->previewPixels, &gPixelsBlock, planeSize * uint32_t(planeCount))) {
    DropPreview(globals);
    return 0;
  }
  const ReadChannelDesc* transparency = document->targetTransparency;
  if (transparency == nullptr) {
    FreeBlockOf(globals->previewTransparency);
  } else if (!FitBlock(&globals->previewTransparency, &gTransparencyBlock, planeSize)) {
    DropPreview(globals);
    return 0;
  }

  uint8_t* plane = globals->previewPixels;
  for (const ReadChannelDesc* c = document->targetCompositeChannels; c != nullptr; c = c->next, plane += planeSize)
    ReadChannelScaled(gChannelPortsSuite, c, plane, source, width, height);
  if (transparency != nullptr)
    ReadChannelScaled(gChannelPortsSuite, transparency, globals->previewTransparency, source, width, height);
  if (RunFailed()) return 0;

  const RenderedEffect effect{globals->renderBuffer,
                              globals->channelCount,
                              globals->effectTop,
                              globals->effectLeft,
                              int32_t(uint16_t(globals->effectWidth)),
                              int32_t(uint16_t(globals->effectHeight))};
  const PreviewSurface surface{globals->previewPixels, planeCount, globals->previewTransparency, width, height,
                               source, ZoomFactor(globals->previewZoom)};
  CompositePreview(document, effect, surface);
  return 1;
}
