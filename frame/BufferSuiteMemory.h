// Binds the stages' working memory (core/WorkMemory.h) to the host: blocks
// come from the Buffer suite, failures go into the host's result cell.
#pragma once
#include <cstdint>

// Makes the Buffer suite and `resultCell` current. Until the Buffer suite is
// held every allocation fails with MemFullErr.
void BindHostMemory(int16_t* resultCell);

// Unbinds the host's memory and result cell at the end of a call, so nothing
// can reach them between calls.
void UnbindHostMemory();
