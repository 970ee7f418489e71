#include "frame/HostPath.h"

#include "core/WorkMemory.h"
#include "frame/RunGlobals.h"

namespace {
OSErr GetSimpleProperty(OSType key, int32_t* value) {
  const FilterRecord* record = gRunGlobals->filterRecord;
  intptr_t simple = 0;
  const OSErr error = record->propertyProcs->getPropertyProc(PropertySignature, key, 0, &simple, nullptr);
  // The values are 32-bit numbers; a 64-bit host may hand -1 over without
  // sign extension, so only the low 32 bits count.
  if (error == 0) *value = int32_t(uint32_t(uintptr_t(simple)));
  return error;
}
}  // namespace

OSErr QueryPathCount(int32_t* count) { return GetSimpleProperty(PropNumberOfPaths, count); }

OSErr QueryTargetPathIndex(int32_t* index) { return GetSimpleProperty(PropTargetPathIndex, index); }

void* ReadHostPath(int32_t index, PathDataReader read, void* context) {
  if (RunFailed()) return nullptr;
  const FilterRecord* record = gRunGlobals->filterRecord;
  const HandleProcs* procs = record->handleProcs;
  intptr_t simple = 0;
  Handle handle = nullptr;
  const OSErr error = record->propertyProcs->getPropertyProc(PropertySignature, PropPathContents, index, &simple,
                                                             &handle);
  if (error != 0) SetResult(error);
  void* built = nullptr;
  if (handle != nullptr) {
    // Path data are read in place; they need not move high.
    const Ptr data = procs->lockProc(handle, 0);
    if (data != nullptr) {
      const int32_t size = procs->getSizeProc(handle);
      if (error == 0 && size > 0) built = read(reinterpret_cast<const uint8_t*>(data), uint32_t(size), context);
      procs->unlockProc(handle);
    }
    procs->disposeProc(handle);
  }
  if (built == nullptr && !RunFailed()) SetResult(PathInvalidCode);
  return built;
}
