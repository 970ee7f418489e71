#include "maps/TiffMemory.h"

#include <cstring>

#include "core/WorkMemory.h"

namespace {
// Header ahead of every block: the size asked for, padded so the caller's
// bytes keep the alignment of the work memory's blocks.
constexpr uint32_t TiffBlockHeader = 16;

uint32_t SizeOf(void* block) {
  uint32_t size;
  std::memcpy(&size, static_cast<uint8_t*>(block) - TiffBlockHeader, sizeof size);
  return size;
}

// A block of `size` bytes, or null (MemFullErr set by the work memory). Sizes
// libtiff computes from hostile headers can be negative or beyond 32 bits.
void* NewTiffBlock(tmsize_t size, bool cleared) {
  if (size < 0 || uint64_t(size) > UINT32_MAX - TiffBlockHeader) return nullptr;
  const uint32_t bytes = uint32_t(size) + TiffBlockHeader;
  uint8_t* raw = static_cast<uint8_t*>(cleared ? NewClearedBlock(bytes) : NewBlock(bytes));
  if (raw == nullptr) return nullptr;
  const uint32_t stored = uint32_t(size);
  std::memcpy(raw, &stored, sizeof stored);
  return raw + TiffBlockHeader;
}
}  // namespace

extern "C" void* __wrap__TIFFmalloc(tmsize_t size) { return NewTiffBlock(size, false); }

extern "C" void* __wrap__TIFFcalloc(tmsize_t count, tmsize_t size) {
  if (count < 0 || size < 0 || (size != 0 && uint64_t(count) > uint64_t(UINT32_MAX) / uint64_t(size))) return nullptr;
  return NewTiffBlock(count * size, true);
}

extern "C" void* __wrap__TIFFrealloc(void* block, tmsize_t size) {
  if (block == nullptr) return NewTiffBlock(size, false);
  void* grown = NewTiffBlock(size, false);
  // As realloc: on failure the old block stays valid and owned by the caller.
  if (grown == nullptr) return nullptr;
  const uint32_t old = SizeOf(block);
  std::memcpy(grown, block, old < uint64_t(size) ? old : size_t(size));
  __wrap__TIFFfree(block);
  return grown;
}

extern "C" void __wrap__TIFFfree(void* block) {
  if (block == nullptr) return;
  void* raw = static_cast<uint8_t*>(block) - TiffBlockHeader;
  FreeBlock(&raw);
}
