#include "frame/FilterRun.h"

#include <cstdio>

#include "bevel/CornerClassification.h"
#include "bevel/DirectionTable.h"
#include "bevel/ElementBuilders.h"
#include "bevel/PixelConversion.h"
#include "core/WorkMemory.h"
#include "frame/DialogSize.h"
#include "frame/HostPath.h"
#include "frame/PathContours.h"
#include "frame/RunGlobals.h"
#include "frame/RunRelease.h"
#include "frame/RunRender.h"
#include "frame/RunStyleIo.h"
#include "frame/StyleDialog.h"
#include "frame/StyleHandle.h"
#include "geometry/ElementOutlines.h"
#include "maps/MapLayer.h"
#include "platform/ModuleInstance.h"
#include "platform/WorkerThreads.h"
#include "platform/WaitCursor.h"
#include "style/ScriptingParameters.h"
#include "style/SettingsFile.h"

DirectionTable gDirectionTable;

namespace {
// Largest document edge the 16-bit document size can hold, pixels.
constexpr int32_t MaxDocumentEdge = 32767;

#define LastUsedSettingsName "default.dfs"
// Module folder plus the last-used settings file's name, terminator included.
constexpr uint32_t SettingsPathCapacity = ModulePathCapacity + sizeof(LastUsedSettingsName);

// Working state of one start call besides the run globals.
struct RunWork {
  int32_t targetIndex;                       // the host's target path
  char settingsPath[SettingsPathCapacity];   // the last-used settings file; empty when the module folder is unknown
};

// The document checks: whether the document can take the effect. Returns 1 when the
// run may go on; 0 ends the run with nothing built (an abort leaves the
// result 0, the checks leave their message code).
int32_t CheckDocument(RunWork* work) {
  RunGlobals* globals = gRunGlobals;
  const FilterRecord* record = globals->filterRecord;
  ShowWaitCursor();
  if (record->abortProc != nullptr && record->abortProc()) return 0;
  if (EnsureStyleRecord() == nullptr) return 0;
  if (record->filterCase == FilterCaseProtectedTransparencyNoSelection ||
      record->filterCase == FilterCaseProtectedTransparencyWithSelection) {
    SetResult(LockedTransparencyCode);
    return 0;
  }
  int32_t pathCount = 0;
  if (QueryPathCount(&pathCount) != 0 || pathCount < 1) {
    SetResult(NoPathsCode);
    return 0;
  }
  work->targetIndex = -1;
  if (QueryTargetPathIndex(&work->targetIndex) != 0 || work->targetIndex < 0) {
    SetResult(NoTargetPathCode);
    return 0;
  }
  const VRect& bounds = record->documentInfo->mergedCompositeChannels->bounds;
  if (bounds.bottom < 0 || bounds.right < 0 || bounds.bottom > MaxDocumentEdge || bounds.right > MaxDocumentEdge) {
    SetResult(FilterBadParameters);
    return 0;
  }
  globals->documentHeight = int16_t(bounds.bottom);
  globals->documentWidth = int16_t(bounds.right);
  return 1;
}

// The target path as the two outline sets of the run. The
// per-run reset comes first, so the outline fields are this run's from here
// on. Returns 0 when the run must end: the result cell holds the reason, or
// is still 0 when the path encloses nothing. Whatever was built is released.
int32_t TraceTargetPath(const RunWork& work) {
  RunGlobals* globals = gRunGlobals;
  PathDocumentSize document{globals->documentWidth, globals->documentHeight};
  Contour* contours = static_cast<Contour*>(ReadHostPath(work.targetIndex, ReadPathContours, &document));
  if (contours == nullptr) return 0;
  PerRunReset();
  if (!BuildElementOutlines(contours, &globals->outerOutlines, &globals->innerOutlines)) {
    RunCleanup();
    return 0;
  }
  return 1;
}

// Pixel geometry of both outline sets, with the corner classes the
// joins need.
void PrepareOutlines() {
  RunGlobals* globals = gRunGlobals;
  MakeDirectionTable(&gDirectionTable);
  const uint16_t width = uint16_t(globals->documentWidth), height = uint16_t(globals->documentHeight);
  ClassifyCorners(globals->outerOutlines);
  ToPixels(globals->outerOutlines, width, height);
  if (globals->innerOutlines != nullptr) {
    ClassifyCorners(globals->innerOutlines);
    ToPixels(globals->innerOutlines, width, height);
  }
}

// The style of this run: the scripting parameters, or failing them
// the last-used settings file, which also bring the map and reflection images
// into the image cache. A last-used file that cannot be read leaves the style
// as it is; a host error while reading the descriptor ends the run.
int32_t RestoreStyle(RunWork* work) {
  char folder[ModulePathCapacity];
  work->settingsPath[0] = 0;
  if (ModuleFolder(folder, sizeof folder))
    std::snprintf(work->settingsPath, sizeof work->settingsPath, "%s%s", folder, LastUsedSettingsName);
  FilterRecord* record = gRunGlobals->filterRecord;
  StyleRecord* style = CurrentStyle();
  char mapsFolder[MapsFolderCapacity];
  const StyleIo io = RunStyleIo(mapsFolder);
  if (!ReadScriptingParameters(record->descriptorParameters, record->handleProcs, style, io) && !RunFailed())
    ReadSettingsFile(work->settingsPath, style, io);
  return !RunFailed();
}

BandSettings BandSettingsOf(const BevelSetting& bevel) { return BandSettings{bevel.size, bevel.bevelFlags, bevel.miterLimit}; }

// The element rasters, Outer Bevel first. Returns 0 when a build failed.
int32_t BuildElements() {
  RunGlobals* globals = gRunGlobals;
  const StyleRecord* style = CurrentStyle();
  if (!BuildOuterBevel(globals->outerOutlines, BandSettingsOf(style->bevels[OuterBevelSetting]),
                       &globals->outerBevelField, WorkerThreads()))
    return 0;
  return BuildInnerBevel(globals->innerOutlines, BandSettingsOf(style->bevels[InnerBevelSetting]),
                         &globals->innerBevelField, &globals->mainField, WorkerThreads());
}

// The color planes of the render buffer: one per channel of the target
// composite list, untargeted ones included. Channel k of the list is written
// from plane k, so counting only the targeted channels would leave the last
// targeted ones of a list with an untargeted channel without a plane, and
// would shade an RGB document with two targeted channels in gray.
int32_t RenderColorPlanes(const ReadImageDocumentDesc* document) {
  int32_t planes = 0;
  for (const ReadChannelDesc* channel = document->targetCompositeChannels; channel != nullptr; channel = channel->next)
    ++planes;
  return planes;
}

// The effect rectangle, the render buffer for it, and the
// element rasters moved into it. Returns 0 when the render buffer cannot be
// had (MemFullErr).
int32_t PlaceEffect() {
  RunGlobals* globals = gRunGlobals;
  PixelRect effect;
  EffectRectangle(globals->outerBevelField, globals->innerBevelField, globals->mainField, &effect);
  globals->effectTop = int16_t(effect.top);
  globals->effectLeft = int16_t(effect.left);
  globals->effectHeight = int16_t(effect.bottom - effect.top);
  globals->effectWidth = int16_t(effect.right - effect.left);
  globals->channelCount = RenderColorPlanes(globals->filterRecord->documentInfo);
  if (!AllocateRenderBuffer()) return 0;
  PlaceElements(globals->outerBevelField, globals->innerBevelField, globals->mainField, effect);
  return 1;
}

// The map layers placed in the effect frame and the per-pixel materials
// filled, then all elements rendered into the render buffer; a failure
// leaves its code in the result cell.
void RenderRun() {
  PrepareRunMaps();
  if (RunFailed()) return;
  RenderRunElements(SelectAllElements);
}

// The dialog when the style asks for it, then the release of
// everything only the dialog needed.
void RunDialog() {
  RunGlobals* globals = gRunGlobals;
  ReadDialogSize();
  StyleRecord* style = CurrentStyle();
  if (style->showDialog) {
    // A run that has already failed has nothing to show.
    if (!RunFailed()) {
      globals->dialogLong = 0;
      // A dialog that failed (out of memory while opening it or while
      // rendering for it) keeps its code; any other ending is a cancel.
      if (!ShowStyleDialog() && !RunFailed()) SetResult(UserCanceledErr);
    }
    style->showDialog = 0;
  }
  ShowWaitCursor();
  // The dialog's preview renders only what its view shows; the rest is
  // rendered now, while the elements it needs still exist.
  if (!RunFailed()) CompleteRunRender();
  PostDialogRelease();
}

// The rendered result into the document, then the style into the
// last-used settings file at work.settingsPath.
void WriteRunOutput(const RunWork& work) {
  if (!WriteRunResult()) return;
  char mapsFolder[MapsFolderCapacity];
  // A last-used file that cannot be written only costs the next run its
  // starting style; the run itself succeeded.
  const int16_t result = CurrentResult();
  WriteSettingsFile(work.settingsPath, *CurrentStyle(), RunStyleIo(mapsFolder));
  SetResult(result);
}
}  // namespace

void RunFilter() {
  RunWork work{};
  if (!CheckDocument(&work)) return;
  if (!TraceTargetPath(work)) return;
  PrepareOutlines();
  if (!RestoreStyle(&work) || !BuildElements() || !PlaceEffect()) {
    RunCleanup();
    return;
  }
  // A failed render still passes through the dialog step (which then shows
  // nothing) and the post-dialog release, and ends with the run cleanup.
  RenderRun();
  RunDialog();
  if (!RunFailed()) WriteRunOutput(work);
  WriteDialogSize();
  if (RunFailed()) RunCleanup();
}
