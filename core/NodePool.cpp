#include "core/NodePool.h"

#include "core/WorkMemory.h"

// A pool block: header, then room for recordsPerBlock records. The header is
// padded to 8 bytes so that records holding doubles stay aligned on 32-bit
// targets too.
struct PoolBlock {
  uint32_t count;   // records handed out from this block
  PoolBlock* next;  // the next block of the pool, or null
};

namespace {
constexpr uint32_t RecordAlignment = 8;
constexpr uint32_t BlockHeaderSize = (sizeof(PoolBlock) + RecordAlignment - 1) & ~(RecordAlignment - 1);

PoolBlock* NewPoolBlock(const NodePool* pool) {
  const uint64_t size = BlockHeaderSize + uint64_t(pool->recordSize) * pool->recordsPerBlock;
  if (size > UINT32_MAX) {
    SetResult(MemFullErr);
    return nullptr;
  }
  auto* block = static_cast<PoolBlock*>(NewBlock(uint32_t(size)));
  if (block == nullptr) return nullptr;
  block->count = 0;
  block->next = nullptr;
  return block;
}
}  // namespace

void InitPool(NodePool* pool, uint32_t recordSize, uint32_t recordsPerBlock) {
  EmptyPool(pool);
  pool->recordSize = (recordSize + RecordAlignment - 1) & ~(RecordAlignment - 1);
  pool->recordsPerBlock = recordsPerBlock;
}

void* TakeRecord(NodePool* pool) {
  if (pool->recordsPerBlock == 0 || pool->recordSize == 0) {
    SetResult(MemFullErr);
    return nullptr;
  }
  if (pool->firstBlock == nullptr) {
    PoolBlock* block = NewPoolBlock(pool);
    if (block == nullptr) return nullptr;
    pool->firstBlock = block;
    pool->currentBlock = block;
  } else if (pool->currentBlock->count >= pool->recordsPerBlock) {
    PoolBlock* block = NewPoolBlock(pool);
    if (block == nullptr) return nullptr;
    pool->currentBlock->next = block;
    pool->currentBlock = block;
  }
  PoolBlock* block = pool->currentBlock;
  uint8_t* record = reinterpret_cast<uint8_t*>(block) + BlockHeaderSize + uint64_t(block->count) * pool->recordSize;
  ++block->count;
  return record;
}

void EmptyPool(NodePool* pool) {
  PoolBlock* block = pool->firstBlock;
  while (block != nullptr) {
    PoolBlock* next = block->next;
    FreeBlockOf(block);
    block = next;
  }
  pool->firstBlock = nullptr;
  pool->currentBlock = nullptr;
}
