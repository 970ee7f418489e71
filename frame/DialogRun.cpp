#include "frame/DialogRun.h"

#include "bevel/ElementBuilders.h"
#include "core/WorkMemory.h"
#include "frame/PreviewImage.h"
#include "frame/RunGlobals.h"
#include "frame/RunRender.h"
#include "frame/RunStyleIo.h"
#include "frame/StyleHandle.h"
#include "maps/BackgroundImage.h"
#include "maps/ImageCache.h"
#include "maps/MapFrame.h"
#include "maps/MapLayer.h"
#include "maps/MapPlacement.h"
#include "platform/WorkerThreads.h"
#include "style/SettingsFile.h"


namespace {
// Refresh flags after a rebuild: every channel (bump included) of the
// rebuilt elements.
constexpr uint32_t AllChannels = 0x1FF;

PixelRect EffectOf(const RunGlobals* globals) {
  const int32_t left = globals->effectLeft, top = globals->effectTop;
  return PixelRect{top, left, top + int32_t(uint16_t(globals->effectHeight)),
                   left + int32_t(uint16_t(globals->effectWidth))};
}

BandSettings BandOf(const BevelSetting& bevel) { return BandSettings{bevel.size, bevel.bevelFlags, bevel.miterLimit}; }

bool IsFitOrTile(const MapLayer& layer) {
  return layer.mappingLink == MappingFit || layer.mappingLink == MappingTile;
}

// The Inner Bevel and Main again; the Fit and Tile layers placed on them (and
// not on the Outer Bevel, which keeps its place) follow.
int32_t RebuildInnerElements(StyleRecord* style, uint32_t* renderMask) {
  RunGlobals* globals = gRunGlobals;
  if (!RebuildInner(globals->innerOutlines, BandOf(style->bevels[InnerBevelSetting]), &globals->innerBevelField,
                    &globals->mainField, EffectOf(globals), WorkerThreads()))
    return !RunFailed();
  BindRunMaps();
  uint32_t flags = SelectMain | SelectInnerBevel | AllChannels;
  for (MapLayer* layer = style->mapLayers; layer != nullptr; layer = layer->next) {
    if (!IsFitOrTile(*layer) || !(layer->layerFlags & (ApplyToMain | ApplyToInnerBevel)) ||
        (layer->layerFlags & ApplyToOuterBevel))
      continue;
    FitOrTilePlacement(layer, CurrentMapFrame().buffers);
    flags |= PropagatePlacement(style->mapLayers, layer);
  }
  RefreshPreviewMaterials(flags);
  *renderMask |= flags & ApplyToMask;
  return !RunFailed();
}

// The Outer Bevel again. Its band sets the effect rectangle, so the render
// buffer follows its size, and what is placed in the effect frame is moved
// by the change of its origin, so that it stays where it was in the document.
int32_t RebuildOuterElements(StyleRecord* style, uint32_t* renderMask) {
  RunGlobals* globals = gRunGlobals;
  const PixelRect previous = EffectOf(globals);
  PixelRect effect = previous;
  const int32_t built = RebuildOuter(globals->outerOutlines, BandOf(style->bevels[OuterBevelSetting]),
                                     &globals->outerBevelField, &globals->innerBevelField, &globals->mainField,
                                     previous, &effect, WorkerThreads());
  globals->effectTop = int16_t(effect.top);
  globals->effectLeft = int16_t(effect.left);
  globals->effectHeight = int16_t(effect.bottom - effect.top);
  globals->effectWidth = int16_t(effect.right - effect.left);
  PlaceElements(globals->outerBevelField, globals->innerBevelField, globals->mainField, effect);
  BindRunMaps();
  if (!built || !AllocateRenderBuffer()) return !RunFailed();
  RefreshBackground(style);
  const float dx = float(previous.left - effect.left), dy = float(previous.top - effect.top);
  uint32_t flags = SelectOuterBevel | AllChannels;
  for (MapLayer* layer = style->mapLayers; layer != nullptr; layer = layer->next) {
    if ((layer->layerFlags & BackgroundLayer) || layer->image == nullptr || layer->mappingLink > MappingTile) continue;
    if (IsFitOrTile(*layer) && (layer->layerFlags & ApplyToOuterBevel)) {
      FitOrTilePlacement(layer, CurrentMapFrame().buffers);
      flags |= PropagatePlacement(style->mapLayers, layer);
    } else {
      layer->centerX += dx;
      layer->centerY += dy;
      PropagatePlacement(style->mapLayers, layer);
    }
  }
  if (globals->outerBevelField != nullptr) RefreshPreviewMaterials(flags);
  *renderMask |= flags & ApplyToMask;
  return !RunFailed();
}

int32_t RenderAndPreview(uint32_t renderMask) {
  if (!RenderPreviewElements(renderMask)) return 0;
  return RebuildPreviewImage();
}
}  // namespace

int32_t RebuildRunBevel(BevelRebuild bevel, uint32_t* renderMask) {
  StyleRecord* style = CurrentStyle();
  if (style == nullptr) return 0;
  if (bevel == BevelRebuild::Inner) {
    *renderMask |= SelectMain | SelectInnerBevel;
    return RebuildInnerElements(style, renderMask);
  }
  if (bevel == BevelRebuild::Outer) {
    *renderMask |= SelectOuterBevel;
    return RebuildOuterElements(style, renderMask);
  }
  return 1;
}

int32_t RunDialogRequest(const DialogAction& action) {
  if (RunFailed()) return 0;
  uint32_t renderMask = action.renderMask;
  if (!RebuildRunBevel(action.rebuild, &renderMask)) return 0;
  if (action.materialFlags != 0) {
    RefreshPreviewMaterials(action.materialFlags);
    if (RunFailed()) return 0;
  }
  if (renderMask == 0) return 1;
  return RenderAndPreview(renderMask);
}

int32_t LoadRunPreset(const char* path) {
  StyleRecord* style = CurrentStyle();
  char mapsFolder[MapsFolderCapacity];
  if (style == nullptr || !ReadSettingsFile(path, style, RunStyleIo(mapsFolder))) return 0;
  // The layers were read with their links as list positions and centres in
  // document pixels: they are resolved once both elements stand again.
  MapLayer* layers = style->mapLayers;
  style->mapLayers = nullptr;
  uint32_t renderMask = 0;
  const int32_t rebuilt =
      RebuildRunBevel(BevelRebuild::Outer, &renderMask) && RebuildRunBevel(BevelRebuild::Inner, &renderMask);
  style->mapLayers = layers;
  if (!rebuilt) return 0;
  BindRunMaps();
  ResolveLayersAfterLoad(style);
  if (RunFailed()) return 0;
  return RenderAndPreview(SelectAllElements);
}

int32_t SaveRunPreset(const char* path) {
  const StyleRecord* style = CurrentStyle();
  char mapsFolder[MapsFolderCapacity];
  return style != nullptr && WriteSettingsFile(path, *style, RunStyleIo(mapsFolder)) ? 1 : 0;
}

MapImage* LoadRunImage(const char* path, int32_t wantMax) {
  return LoadImage(&gRunGlobals->imageCache, path, wantMax);
}

MapImage* RunBackgroundImage() {
  StyleRecord* style = CurrentStyle();
  return style != nullptr ? GetBackgroundImage(style) : nullptr;
}

void PurgeRunImages() {
  const StyleRecord* style = CurrentStyle();
  if (style == nullptr) return;
  PruneImageCache(&gRunGlobals->imageCache, style->mapLayers, style->reflectionImage);
}
