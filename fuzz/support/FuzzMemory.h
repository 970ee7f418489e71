// Work memory for fuzz targets: malloc-backed and counted, bound once, so a
// target can check after every input that it left nothing allocated.
#pragma once
#include "tests/support/CountingMemory.h"

// The process-wide counting memory, bound on first use.
CountingMemory& FuzzMemory();
// Aborts (a finding for libFuzzer) when blocks are still live beyond `baseline`.
void CheckNoLeak(long baseline, const char* where);
