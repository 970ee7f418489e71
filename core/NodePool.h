// Node pools: fixed-size records carved from larger work-memory blocks,
// handed out one by one and released a whole pool at a time.
//
// A pool block holds a 32-bit count of records handed out from it, the link to
// the next block, and room for `recordsPerBlock` records. Records are never
// freed singly and are not cleared when handed out.
//
// The module's pools are plain constant-initialised globals: each is empty
// and carries its record size and block count from the moment the module is
// loaded, with no start-up call. Each one is declared and defined next to the
// record type it holds, so the record size is sizeof that type:
//   gVertexPool                                    geometry/Contour.h
//   gOutlinePool, gInnerOffsetPool, gOuterOffsetPool  geometry/OffsetNode.h
//   gBandEdgePool                                  geometry/BandEdge.h
//   gMainSpanPool, gInnerSpanPool, gOuterSpanPool  bevel/ElementBuffer.h
//   gPolygonEdgePool                               bevel/MainRasteriser.h
// The pools assume that calls into the module never overlap (one host thread).
#pragma once
#include <cstdint>

struct PoolBlock;

struct NodePool {
  uint32_t recordSize;       // bytes per record (sizeof the record kind held)
  uint32_t recordsPerBlock;  // records carved from one work-memory block
  PoolBlock* firstBlock;     // null when the pool is empty
  PoolBlock* currentBlock;   // the block records are taken from
};

// Records per block of the module's pools.
constexpr uint32_t NodeRecordsPerBlock = 30;  // vertex, outline and offset pools
constexpr uint32_t EdgeRecordsPerBlock = 32;  // band edge and polygon edge pools

// Empties the pool (freeing its blocks), then sets its record size and count.
void InitPool(NodePool* pool, uint32_t recordSize, uint32_t recordsPerBlock);
// Returns an uncleared record, or null with MemFullErr in the result cell.
// The record stays valid until the pool is emptied.
void* TakeRecord(NodePool* pool);
// Frees every block of the pool; first and current block become null.
void EmptyPool(NodePool* pool);

// Takes a record of type T from a pool whose record size is at least sizeof(T).
template <class T> inline T* TakeRecordOf(NodePool* pool) { return static_cast<T*>(TakeRecord(pool)); }
