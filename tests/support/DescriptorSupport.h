// The style's scripting reader and writer run in-process against our host's
// descriptor procedures, exactly as the module meets them in a run. Shared by
// the descriptor tests and the descriptor fuzz target. The caller binds the
// work memory (CountingMemory) that the reader and writer allocate from.
#pragma once
#include <cstdint>

#include "host/FilterHost.h"
#include "style/StyleIo.h"
#include "style/StyleRecord.h"

// One bench at a time (its module body is process-wide).
struct DescriptorBench {
  FilterHost* host = nullptr;
  DescriptorBench();
  ~DescriptorBench();
  DescriptorBench(const DescriptorBench&) = delete;
  DescriptorBench& operator=(const DescriptorBench&) = delete;

  // Offers `store` (null: no descriptor) with `playInfo` and reads it into
  // *style. Returns the reader's answer (1 = complete); *report says what the
  // host saw.
  int32_t Read(const DescriptorStore* store, int16_t playInfo, StyleRecord* style, const StyleIo& io,
               RunReport* report = nullptr);
  // Records `style`; the store the host keeps, *ok the writer's answer.
  DescriptorStore Write(const StyleRecord& style, const StyleIo& io, int32_t* ok = nullptr);
};
