#include "frame/BufferSuiteMemory.h"

#include "core/WorkMemory.h"
#include "frame/SuiteAcquisition.h"

namespace {
void* BufferSuiteNew(void*, uint32_t size) {
  if (gBufferSuite == nullptr) return nullptr;
  // No requested-size cell: the block is exactly the minimum size or nothing.
  return gBufferSuite->New(nullptr, size);
}

void BufferSuiteDispose(void*, void* block) {
  if (gBufferSuite == nullptr) return;
  Ptr pointer = static_cast<Ptr>(block);
  gBufferSuite->Dispose(&pointer);
}
}  // namespace

void BindHostMemory(int16_t* resultCell) {
  BindWorkMemory(WorkMemory{BufferSuiteNew, BufferSuiteDispose, nullptr, resultCell});
}

void UnbindHostMemory() { BindWorkMemory(WorkMemory{nullptr, nullptr, nullptr, nullptr}); }
