// Working memory and the result cell of the current call.
//
// Every stage below the frame allocates through NewBlock and reports failure
// through the result cell, so geometry, bevel and render code never see the
// host. The frame binds the host's Buffer suite and the host's result cell at
// the start of each call; tests bind a counting allocator.
#pragma once
#include <cstdint>

#include "core/ResultCodes.h"

struct WorkMemory {
  // Returns a block of at least `size` bytes, or null when out of memory.
  void* (*newBlock)(void* context, uint32_t size);
  // Frees a block that newBlock returned; never called with null.
  void (*disposeBlock)(void* context, void* block);
  void* context;
  // The cell that failure codes are written into; never null once bound.
  int16_t* resultCell;
};

// Makes `memory` current for the calls that follow. Pass a record whose
// function pointers are null to unbind (every allocation then fails).
void BindWorkMemory(const WorkMemory& memory);
// Work memory from the C heap with `resultCell`, for programs that run the
// stages outside a host (the command-line tool, benchmarks).
WorkMemory HeapWorkMemory(int16_t* resultCell);
const WorkMemory& CurrentWorkMemory();

// Allocates a block; on failure writes MemFullErr into the result cell and
// returns null. The caller owns the block and frees it with FreeBlock.
void* NewBlock(uint32_t size);
// Like NewBlock, and the block is zero-filled.
void* NewClearedBlock(uint32_t size);
// Frees *block when it is not null and sets *block to null.
void FreeBlock(void** block);
template <class T> inline void FreeBlockOf(T*& block) {
  void* raw = block;
  FreeBlock(&raw);
  block = nullptr;
}

// The current result cell's value; 0 means every stage may go on.
int16_t CurrentResult();
void SetResult(int16_t code);
inline bool RunFailed() { return CurrentResult() != NoErr; }
