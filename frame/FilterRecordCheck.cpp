#include "frame/FilterRecordCheck.h"

namespace {
constexpr int16_t MinProcsVersion = 1;
constexpr int16_t MinPropertyProcs = 1;  // get-property

int32_t HandleProcsUsable(const HandleProcs* procs) {
  return procs != nullptr && procs->handleProcsVersion >= MinProcsVersion &&
         procs->numHandleProcs >= kMinHandleProcs && procs->newProc != nullptr && procs->disposeProc != nullptr &&
         procs->getSizeProc != nullptr && procs->setSizeProc != nullptr && procs->lockProc != nullptr &&
         procs->unlockProc != nullptr;
}

int32_t PropertyProcsUsable(const PropertyProcs* procs) {
  return procs != nullptr && procs->propertyProcsVersion >= MinProcsVersion &&
         procs->numPropertyProcs >= MinPropertyProcs && procs->getPropertyProc != nullptr;
}
// The broker's two entries the module calls; a table without them would be
// called through null pointers.
int32_t BrokerUsable(const SPBasicSuite* broker) {
  return broker != nullptr && broker->AcquireSuite != nullptr && broker->ReleaseSuite != nullptr;
}
}  // namespace

int32_t FilterRecordUsable(const FilterRecord* record) {
  return record != nullptr && HandleProcsUsable(record->handleProcs) &&
         PropertyProcsUsable(record->propertyProcs) && BrokerUsable(record->sSPBasic) &&
         record->documentInfo != nullptr && record->documentInfo->mergedCompositeChannels != nullptr &&
         record->displayPixels != nullptr;
}
