// A malloc-backed WorkMemory for tests: counts live blocks and can fail the
// Nth allocation, so every failure path of a stage can be driven in turn.
#pragma once
#include <cstdint>

#include "core/WorkMemory.h"

struct CountingMemory {
  int16_t result = 0;
  long allocations = 0;  // allocations attempted since Reset
  long liveBlocks = 0;   // blocks handed out and not yet freed
  long failAt = 0;       // 1-based allocation number to fail; 0 = never
  bool failAllAfter = false;  // with failAt: every later allocation fails too

  // Binds this record as the current work memory and clears the counters.
  void Bind();
  void Reset();
};

// Binds a CountingMemory for the lifetime of a scope, and unbinds it after.
struct ScopedCountingMemory {
  CountingMemory memory;
  ScopedCountingMemory() { memory.Bind(); }
  ~ScopedCountingMemory();
};
