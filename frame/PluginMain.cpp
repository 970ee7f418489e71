// The module's entry point: one call per selector of the filter protocol.
#include <cstring>

#include "core/WorkMemory.h"
#include "frame/AboutSelector.h"
#include "frame/BufferSuiteMemory.h"
#include "frame/FilterRecordCheck.h"
#include "frame/FilterRun.h"
#include "frame/Messages.h"
#include "frame/PluginMain.h"
#include "frame/RunGlobals.h"
#include "frame/RunRelease.h"
#include "frame/RunStyleIo.h"
#include "frame/StyleHandle.h"
#include "frame/SuiteAcquisition.h"
#include "style/ScriptingParameters.h"

RunGlobals* gRunGlobals = nullptr;

namespace {
// Creates the run globals handle on the first call and keeps it in the data
// slot, zero-filled; then locks it (moving high) for this call. Returns the
// locked globals, or null with MemFullErr in the result cell.
RunGlobals* LockRunGlobals(FilterRecord* record, intptr_t* data, int16_t* result) {
  const HandleProcs* procs = record->handleProcs;
  if (*data == 0) {
    Handle handle = procs->newProc(int32_t(sizeof(RunGlobals)));
    if (handle == nullptr || *handle == nullptr) {
      if (handle != nullptr) procs->disposeProc(handle);
      *result = MemFullErr;
      return nullptr;
    }
    std::memset(*handle, 0, sizeof(RunGlobals));
    *data = reinterpret_cast<intptr_t>(handle);
  }
  RunGlobals* globals = reinterpret_cast<RunGlobals*>(procs->lockProc(reinterpret_cast<Handle>(*data), 1));
  if (globals == nullptr) *result = MemFullErr;
  return globals;
}

// The finish selector: the run's style is recorded for the host's action
// system while its map layers and images still exist, then the run lets go of
// everything.
void FinishRun() {
  FilterRecord* record = gRunGlobals->filterRecord;
  if (const StyleRecord* style = CurrentStyle()) {
    char mapsFolder[MapsFolderCapacity];
    WriteScriptingParameters(record->descriptorParameters, record->handleProcs, *style, RunStyleIo(mapsFolder));
  }
  RunCleanup();
}

void Dispatch(int16_t selector) {
  FilterRecord* record = gRunGlobals->filterRecord;
  switch (selector) {
    case FilterSelectorParameters:
      if (StyleRecord* style = EnsureStyleRecord()) style->showDialog = 1;
      break;
    case FilterSelectorPrepare:
      if (EnsureStyleRecord() != nullptr) {
        // The module takes its memory from the Buffer suite, not from the
        // host's tile buffers.
        record->maxSpace = 0;
        record->bufferSpace = 0;
      }
      break;
    case FilterSelectorStart:
      RunFilter();
      break;
    case FilterSelectorContinue:
      break;
    case FilterSelectorFinish:
      FinishRun();
      break;
    default:
      SetResult(FilterBadParameters);
      break;
  }
}
}  // namespace

PI_EXPORT void PI_CALL PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result) {
  if (result == nullptr) return;  // nowhere to report anything
  *result = NoErr;
  if (selector == FilterSelectorAbout) {
    RunAboutSelector(static_cast<const AboutRecord*>(record));
    return;
  }
  gRunGlobals = nullptr;
  FilterRecord* filterRecord = static_cast<FilterRecord*>(record);
  if (data == nullptr || !FilterRecordUsable(filterRecord)) {
    *result = ErrPlugInHostInsufficient;
    return;
  }
  RunGlobals* globals = LockRunGlobals(filterRecord, data, result);
  if (globals == nullptr) return;
  globals->resultCell = result;
  globals->filterRecord = filterRecord;
  gRunGlobals = globals;
  BindHostMemory(result);
  if (AcquireHostSuites(filterRecord->sSPBasic)) {
    Dispatch(selector);
    ShowResultMessage(*result);
    ReleaseHostSuites(filterRecord->sSPBasic);
  } else {
    *result = ErrPlugInHostInsufficient;
  }
  UnbindHostMemory();
  gRunGlobals = nullptr;
  filterRecord->handleProcs->unlockProc(reinterpret_cast<Handle>(*data));
}
