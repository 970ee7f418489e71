#include "tests/support/CountingMemory.h"

#include <cstdlib>

namespace {
void* CountingNew(void* context, uint32_t size) {
  auto* memory = static_cast<CountingMemory*>(context);
  ++memory->allocations;
  if (memory->failAt != 0 &&
      (memory->allocations == memory->failAt || (memory->failAllAfter && memory->allocations > memory->failAt)))
    return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) ++memory->liveBlocks;
  return block;
}

void CountingDispose(void* context, void* block) {
  auto* memory = static_cast<CountingMemory*>(context);
  --memory->liveBlocks;
  std::free(block);
}
}  // namespace

void CountingMemory::Bind() {
  Reset();
  BindWorkMemory(WorkMemory{CountingNew, CountingDispose, this, &result});
}

void CountingMemory::Reset() {
  result = 0;
  allocations = 0;
  failAt = 0;
  failAllAfter = false;
}

ScopedCountingMemory::~ScopedCountingMemory() { BindWorkMemory(WorkMemory{nullptr, nullptr, nullptr, nullptr}); }
