#include "frame/RunRelease.h"

#include "bevel/ElementBuffer.h"
#include "frame/RunGlobals.h"
#include "frame/StyleHandle.h"
#include "geometry/ElementOutlines.h"
#include "geometry/NodePool.h"
#include "geometry/WorkMemory.h"

void PerRunReset() {
  RunGlobals* globals = gRunGlobals;
  globals->outerOutlines = nullptr;
  globals->innerOutlines = nullptr;
  globals->previewPixels = nullptr;
  globals->previewTransparency = nullptr;
  globals->mainField = nullptr;
  globals->innerBevelField = nullptr;
  globals->outerBevelField = nullptr;
  globals->imageCache = nullptr;
  globals->dialogPointer = nullptr;
  StyleRecord* style = CurrentStyle();
  globals->currentMaterial = style != nullptr ? &style->materials[MainElement] : nullptr;
  if (style != nullptr) {
    style->mapLayers = nullptr;
    style->reflectionImage = nullptr;
  }
}

void PostDialogRelease() {
  RunGlobals* globals = gRunGlobals;
  ReleaseElementOutlines(&globals->outerOutlines, &globals->innerOutlines);
  DisposeElementBuffer(&globals->mainField);
  DisposeElementBuffer(&globals->innerBevelField);
  DisposeElementBuffer(&globals->outerBevelField);
  EmptyPool(&gMainSpanPool);
  EmptyPool(&gInnerSpanPool);
  EmptyPool(&gOuterSpanPool);
  FreeBlockOf(globals->previewPixels);
  FreeBlockOf(globals->previewTransparency);
}

void RunCleanup() {
  RunGlobals* globals = gRunGlobals;
  PostDialogRelease();
  if (StyleRecord* style = CurrentStyle()) {
    style->reflectionImage = nullptr;
    // The map layer list (maps/) is freed here, every node after the first,
    // then the first, once map layers exist; until then it is always null.
    style->mapLayers = nullptr;
  }
  // The image cache (maps/) is freed here once it exists; until then it is
  // always null.
  globals->imageCache = nullptr;
  FreeBlockOf(globals->renderBuffer);
  FreeBlockOf(globals->maskBuffer);
}
