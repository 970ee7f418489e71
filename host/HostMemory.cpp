// Memory the host serves to the module: handles, bufferProcs buffers, Buffer
// suite blocks and SP Basic blocks, each kind counted live, with the
// allocation fault injection of HostOptions.
#include <cstdlib>
#include <cstring>

#include "host/HostState.h"

namespace {

constexpr int32_t HostBufferSpace = 64 * 1024 * 1024;  // bytes the host claims to have free
constexpr size_t MaxMisuseNotes = 16;
constexpr OSErr ParamErr = -50;
constexpr OSErr NilHandleErr = -109;
constexpr SPErr SPBadParameterError = int32_t(FourCharCode("Parm"));
constexpr SPErr SPOutOfMemoryError = int32_t(FourCharCode("!MEM"));

void RecordPeak(FilterHost* host) {
  if (host->liveSuiteBufferBytes > host->report.peakSuiteBufferBytes)
    host->report.peakSuiteBufferBytes = host->liveSuiteBufferBytes;
}

// ---- handleProcs ----------------------------------------------------------------------------

Handle PI_CALL ServeNewHandle(int32_t size) {
  FilterHost* host = gActiveHost;
  if (!host) return nullptr;
  return HostNewHandle(host, size, true);
}

void PI_CALL ServeDisposeHandle(Handle handle) {
  FilterHost* host = gActiveHost;
  if (!host || !handle) return;
  if (!FindHandle(host, handle)) {
    NoteMisuse(host, "dispose of an unknown handle");
    return;
  }
  HostDisposeHandle(host, handle);
}

int32_t PI_CALL ServeGetHandleSize(Handle handle) {
  FilterHost* host = gActiveHost;
  if (!host) return 0;
  HandleEntry* entry = FindHandle(host, handle);
  if (!entry) {
    NoteMisuse(host, "size of an unknown handle");
    return 0;
  }
  return entry->size;
}

OSErr PI_CALL ServeSetHandleSize(Handle handle, int32_t newSize) {
  FilterHost* host = gActiveHost;
  if (!host) return ParamErr;
  HandleEntry* entry = FindHandle(host, handle);
  if (!entry) {
    NoteMisuse(host, "resize of an unknown handle");
    return NilHandleErr;
  }
  if (newSize < 0) return ParamErr;
  if (entry->locks > 0) NoteMisuse(host, "resize of a locked handle");
  if (newSize > entry->size && host->options.countHandleGrowth && !AllocationAllowed(host, AllocHandle))
    return HostMemFullErr;
  char* data = static_cast<char*>(std::calloc(size_t(newSize) + 1, 1));
  if (!data) return HostMemFullErr;
  std::memcpy(data, entry->data, size_t(newSize < entry->size ? newSize : entry->size));
  std::free(entry->data);
  entry->data = data;
  entry->size = newSize;
  return HostNoErr;
}

Ptr PI_CALL ServeLockHandle(Handle handle, Boolean moveHigh) {
  FilterHost* host = gActiveHost;
  if (!host) return nullptr;
  HandleEntry* entry = FindHandle(host, handle);
  if (!entry) {
    NoteMisuse(host, "lock of an unknown handle");
    return nullptr;
  }
  ++entry->locks;
  return entry->data;
}

void PI_CALL ServeUnlockHandle(Handle handle) {
  FilterHost* host = gActiveHost;
  if (!host) return;
  HandleEntry* entry = FindHandle(host, handle);
  if (!entry) {
    NoteMisuse(host, "unlock of an unknown handle");
    return;
  }
  // Unlocking an unlocked handle is harmless on real hosts; not counted as misuse.
  if (entry->locks > 0) --entry->locks;
}

void PI_CALL ServeRecoverSpace(int32_t) {}

// ---- bufferProcs ------------------------------------------------------------------------------

OSErr PI_CALL ServeAllocateBuffer(int32_t size, BufferID* bufferID) {
  FilterHost* host = gActiveHost;
  if (!host || !bufferID) return ParamErr;
  *bufferID = nullptr;
  if (size < 0) return ParamErr;
  if (!AllocationAllowed(host, AllocBufferProc)) return HostMemFullErr;
  BufferEntry* entry = new BufferEntry;
  entry->data = static_cast<char*>(std::calloc(size_t(size) + 1, 1));
  if (!entry->data) {
    delete entry;
    return HostMemFullErr;
  }
  entry->size = size;
  host->buffers.insert(entry);
  *bufferID = entry;
  return HostNoErr;
}

BufferEntry* FindBuffer(FilterHost* host, BufferID id) {
  auto it = host->buffers.find(static_cast<BufferEntry*>(id));
  return it == host->buffers.end() ? nullptr : *it;
}

Ptr PI_CALL ServeLockBuffer(BufferID id, Boolean) {
  FilterHost* host = gActiveHost;
  if (!host) return nullptr;
  BufferEntry* entry = FindBuffer(host, id);
  if (!entry) {
    NoteMisuse(host, "lock of an unknown buffer");
    return nullptr;
  }
  ++entry->locks;
  return entry->data;
}

void PI_CALL ServeUnlockBuffer(BufferID id) {
  FilterHost* host = gActiveHost;
  if (!host) return;
  BufferEntry* entry = FindBuffer(host, id);
  if (!entry) {
    NoteMisuse(host, "unlock of an unknown buffer");
    return;
  }
  if (entry->locks > 0) --entry->locks;
}

void PI_CALL ServeFreeBuffer(BufferID id) {
  FilterHost* host = gActiveHost;
  if (!host || !id) return;
  BufferEntry* entry = FindBuffer(host, id);
  if (!entry) {
    NoteMisuse(host, "free of an unknown buffer");
    return;
  }
  host->buffers.erase(entry);
  std::free(entry->data);
  delete entry;
}

int32_t PI_CALL ServeBufferSpace(void) { return HostBufferSpace; }

// ---- Buffer suite ------------------------------------------------------------------------------

Ptr PI_CALL SuiteNew(uint32_t* requestedSize, uint32_t minimumSize) {
  FilterHost* host = gActiveHost;
  if (!host) return nullptr;
  const uint32_t size = requestedSize && *requestedSize > minimumSize ? *requestedSize : minimumSize;
  if (!AllocationAllowed(host, AllocSuiteBuffer)) return nullptr;
  // One spare byte so that a zero-size block is still a distinct address.
  void* block = std::malloc(size_t(size) + 1);
  if (!block) return nullptr;
  // Not cleared, like a real host: the module must not rely on fresh blocks being zero.
  if (host->options.poisonBlocks) std::memset(block, 0xA5, size_t(size) + 1);
  host->suiteBuffers[block] = size;
  host->liveSuiteBufferBytes += size;
  RecordPeak(host);
  if (requestedSize) *requestedSize = size;
  return static_cast<Ptr>(block);
}

void PI_CALL SuiteDispose(Ptr* buffer) {
  FilterHost* host = gActiveHost;
  if (!host || !buffer || !*buffer) return;
  auto it = host->suiteBuffers.find(*buffer);
  if (it == host->suiteBuffers.end()) {
    NoteMisuse(host, "dispose of an unknown Buffer suite block");
    return;
  }
  host->liveSuiteBufferBytes -= it->second;
  host->suiteBuffers.erase(it);
  std::free(*buffer);
  *buffer = nullptr;
}

uint32_t PI_CALL SuiteGetSize(Ptr buffer) {
  FilterHost* host = gActiveHost;
  if (!host) return 0;
  auto it = host->suiteBuffers.find(buffer);
  if (it == host->suiteBuffers.end()) {
    NoteMisuse(host, "size of an unknown Buffer suite block");
    return 0;
  }
  return it->second;
}

uint32_t PI_CALL SuiteGetSpace(void) { return uint32_t(HostBufferSpace); }

// ---- SP Basic blocks ----------------------------------------------------------------------------

SPBoolean PI_CALL BasicIsEqual(const char* a, const char* b) {
  if (!a || !b) return 0;
  return std::strcmp(a, b) == 0;
}

SPErr PI_CALL BasicAllocateBlock(size_t size, void** block) {
  FilterHost* host = gActiveHost;
  if (!host || !block) return SPBadParameterError;
  *block = nullptr;
  if (!AllocationAllowed(host, AllocBasicBlock)) return SPOutOfMemoryError;
  void* memory = std::malloc(size + 1);
  if (!memory) return SPOutOfMemoryError;
  host->basicBlocks[memory] = size;
  *block = memory;
  return 0;
}

SPErr PI_CALL BasicFreeBlock(void* block) {
  FilterHost* host = gActiveHost;
  if (!host) return SPBadParameterError;
  if (!block) return 0;
  auto it = host->basicBlocks.find(block);
  if (it == host->basicBlocks.end()) {
    NoteMisuse(host, "free of an unknown SP block");
    return SPBadParameterError;
  }
  host->basicBlocks.erase(it);
  std::free(block);
  return 0;
}

SPErr PI_CALL BasicReallocateBlock(void* block, size_t newSize, void** newBlock) {
  FilterHost* host = gActiveHost;
  if (!host || !newBlock) return SPBadParameterError;
  *newBlock = nullptr;
  size_t oldSize = 0;
  if (block) {
    auto it = host->basicBlocks.find(block);
    if (it == host->basicBlocks.end()) {
      NoteMisuse(host, "reallocation of an unknown SP block");
      return SPBadParameterError;
    }
    oldSize = it->second;
  }
  if (!AllocationAllowed(host, AllocBasicBlock)) return SPOutOfMemoryError;
  void* memory = std::malloc(newSize + 1);
  if (!memory) return SPOutOfMemoryError;
  if (block) {
    std::memcpy(memory, block, oldSize < newSize ? oldSize : newSize);
    host->basicBlocks.erase(block);
    std::free(block);
  }
  host->basicBlocks[memory] = newSize;
  *newBlock = memory;
  return 0;
}

SPErr PI_CALL BasicUndefined(void) { return SPBadParameterError; }

}  // namespace

const PSBufferSuite1 kHostBufferSuite = {SuiteNew, SuiteDispose, SuiteGetSize, SuiteGetSpace};
const SPBasicSuite kHostBasicSuite = {HostAcquireSuite,    HostReleaseSuite,     BasicIsEqual, BasicAllocateBlock,
                                      BasicFreeBlock,      BasicReallocateBlock, BasicUndefined};

bool AllocationAllowed(FilterHost* host, AllocationKind kind) {
  RunReport& report = host->report;
  switch (kind) {
    case AllocHandle: ++report.handleAllocations; break;
    case AllocBufferProc: ++report.bufferAllocations; break;
    case AllocSuiteBuffer: ++report.suiteBufferAllocations; break;
    case AllocBasicBlock: ++report.basicBlockAllocations; break;
    default: break;
  }
  if (!(host->options.failKinds & kind)) return true;
  const int64_t number = ++report.countedAllocations;
  const int64_t failAt = host->options.failAllocationAt;
  if (failAt <= 0) return true;
  if (number == failAt || (host->options.failAllAfter && number > failAt)) {
    ++report.failedAllocations;
    return false;
  }
  return true;
}

Handle HostNewHandle(FilterHost* host, int32_t size, bool counted) {
  if (size < 0) return nullptr;
  if (counted && !AllocationAllowed(host, AllocHandle)) return nullptr;
  HandleEntry* entry = new HandleEntry;
  // Handles come zero-filled on none of the real hosts we know of either way; zero
  // keeps runs reproducible. One spare byte keeps zero-size handles distinct.
  entry->data = static_cast<char*>(std::calloc(size_t(size) + 1, 1));
  if (!entry->data) {
    delete entry;
    return nullptr;
  }
  entry->size = size;
  host->handles.insert(entry);
  return &entry->data;
}

HandleEntry* FindHandle(FilterHost* host, Handle handle) {
  if (!handle) return nullptr;
  // Handle == &entry->data and data is the first member, so the entry's address equals the handle's.
  HandleEntry* candidate = reinterpret_cast<HandleEntry*>(handle);
  auto it = host->handles.find(candidate);
  return it == host->handles.end() ? nullptr : *it;
}

void HostDisposeHandle(FilterHost* host, Handle handle) {
  HandleEntry* entry = FindHandle(host, handle);
  if (!entry) return;
  host->handles.erase(entry);
  std::free(entry->data);
  delete entry;
}

void NoteMisuse(FilterHost* host, const std::string& note) {
  ++host->report.misuse;
  if (host->report.misuseNotes.size() < MaxMisuseNotes) host->report.misuseNotes.push_back(note);
}

void FillMemoryProcs(RecordSet& records) {
  HandleProcs& h = records.handleProcs;
  h.handleProcsVersion = 1;
  h.numHandleProcs = 8;
  h.newProc = ServeNewHandle;
  h.disposeProc = ServeDisposeHandle;
  h.getSizeProc = ServeGetHandleSize;
  h.setSizeProc = ServeSetHandleSize;
  h.lockProc = ServeLockHandle;
  h.unlockProc = ServeUnlockHandle;
  h.recoverSpaceProc = ServeRecoverSpace;
  h.disposeRegularHandleProc = ServeDisposeHandle;

  BufferProcs& b = records.bufferProcs;
  b.bufferProcsVersion = 2;
  b.numBufferProcs = 5;
  b.allocateProc = ServeAllocateBuffer;
  b.lockProc = ServeLockBuffer;
  b.unlockProc = ServeUnlockBuffer;
  b.freeProc = ServeFreeBuffer;
  b.spaceProc = ServeBufferSpace;
}

void ReleaseAllMemory(FilterHost* host) {
  for (HandleEntry* entry : host->handles) {
    std::free(entry->data);
    delete entry;
  }
  host->handles.clear();
  for (BufferEntry* entry : host->buffers) {
    std::free(entry->data);
    delete entry;
  }
  host->buffers.clear();
  for (auto& [block, size] : host->suiteBuffers) std::free(block);
  host->suiteBuffers.clear();
  host->liveSuiteBufferBytes = 0;
  for (auto& [block, size] : host->basicBlocks) std::free(block);
  host->basicBlocks.clear();
}
