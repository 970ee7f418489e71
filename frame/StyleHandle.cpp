#include "frame/StyleHandle.h"

#include <cstring>

#include "core/WorkMemory.h"
#include "frame/RunGlobals.h"

namespace {
void FillDefaultStyle(StyleRecord* style) {
  std::memset(style, 0, sizeof *style);
  SetDefaultStyle(style);
}
}  // namespace

StyleRecord* CurrentStyle() {
  const FilterRecord* record = gRunGlobals->filterRecord;
  if (record->parameters == nullptr) return nullptr;
  return reinterpret_cast<StyleRecord*>(*record->parameters);
}

StyleRecord* EnsureStyleRecord() {
  FilterRecord* record = gRunGlobals->filterRecord;
  const HandleProcs* procs = record->handleProcs;
  constexpr int32_t StyleSize = int32_t(sizeof(StyleRecord));
  if (record->parameters == nullptr) {
    Handle handle = procs->newProc(StyleSize);
    if (handle == nullptr || *handle == nullptr) {
      if (handle != nullptr) procs->disposeProc(handle);
      SetResult(MemFullErr);
      return nullptr;
    }
    record->parameters = handle;
    FillDefaultStyle(reinterpret_cast<StyleRecord*>(*handle));
    return reinterpret_cast<StyleRecord*>(*handle);
  }
  // A block shorter than the record (left by another build of the module)
  // would be read past its end: grow it and start again from the defaults.
  if (procs->getSizeProc(record->parameters) < StyleSize) {
    if (procs->setSizeProc(record->parameters, StyleSize) != 0 || *record->parameters == nullptr) {
      SetResult(MemFullErr);
      return nullptr;
    }
    FillDefaultStyle(reinterpret_cast<StyleRecord*>(*record->parameters));
  }
  return reinterpret_cast<StyleRecord*>(*record->parameters);
}
