#include "frame/RunRelease.h"

#include "bevel/ElementBuffer.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "frame/RunGlobals.h"
#include "frame/StyleHandle.h"
#include "geometry/ElementOutlines.h"
#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"

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
    FreeMapLayers(style->mapLayers);
    style->mapLayers = nullptr;
  }
  FreeImages(globals->imageCache);
  globals->imageCache = nullptr;
  FreeBlockOf(globals->renderBuffer);
  FreeBlockOf(globals->maskBuffer);
}
