#include "fuzz/support/FuzzMemory.h"

#include <cstdio>
#include <cstdlib>

CountingMemory& FuzzMemory() {
  static CountingMemory* memory = [] {
    auto* m = new CountingMemory;
    m->Bind();
    return m;
  }();
  return *memory;
}

void CheckNoLeak(long baseline, const char* where) {
  if (FuzzMemory().liveBlocks == baseline) return;
  std::fprintf(stderr, "%s: %ld work-memory blocks left\n", where, FuzzMemory().liveBlocks - baseline);
  std::abort();
}
