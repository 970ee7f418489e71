#include "core/WorkMemory.h"

#include <cstdlib>
#include <cstring>

namespace {
int16_t gFallbackCell = 0;
WorkMemory gMemory = {nullptr, nullptr, nullptr, &gFallbackCell};
}  // namespace

void BindWorkMemory(const WorkMemory& memory) {
  gMemory = memory;
  if (gMemory.resultCell == nullptr) gMemory.resultCell = &gFallbackCell;
}

const WorkMemory& CurrentWorkMemory() { return gMemory; }

void* NewBlock(uint32_t size) {
  void* block = gMemory.newBlock ? gMemory.newBlock(gMemory.context, size) : nullptr;
  if (block == nullptr) *gMemory.resultCell = MemFullErr;
  return block;
}

void* NewClearedBlock(uint32_t size) {
  void* block = NewBlock(size);
  if (block != nullptr) std::memset(block, 0, size);
  return block;
}

void FreeBlock(void** block) {
  if (*block != nullptr && gMemory.disposeBlock != nullptr) gMemory.disposeBlock(gMemory.context, *block);
  *block = nullptr;
}

int16_t CurrentResult() { return *gMemory.resultCell; }
void SetResult(int16_t code) { *gMemory.resultCell = code; }

namespace {
void* NewHeapBlock(void*, uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void DisposeHeapBlock(void*, void* block) { std::free(block); }
}  // namespace

WorkMemory HeapWorkMemory(int16_t* resultCell) { return WorkMemory{NewHeapBlock, DisposeHeapBlock, nullptr, resultCell}; }
