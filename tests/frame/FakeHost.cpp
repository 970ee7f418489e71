#include "tests/frame/FakeHost.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>
#include <unistd.h>

#include "frame/PluginMain.h"
#include "frame/RunGlobals.h"
#include "interface/HostHooks.h"
#include "platform/Registry.h"
#include "style/StyleRecord.h"

const char* const ModuleSuiteNames[13] = {
    kADMBasicSuite,  kADMDialogSuite,  kADMItemSuite, kADMIconSuite, kADMNotifierSuite,
    kADMDrawerSuite, kADMTrackerSuite, kADMEntrySuite, kADMListSuite, kSPBlocksSuite,
    kPSGetPathSuite, kPSBufferSuite,   kPSChannelPortsSuite};

namespace {
FakeHost* gHost = nullptr;

bool AllocationFails() {
  ++gHost->allocations;
  return gHost->failAt != 0 &&
         (gHost->allocations == gHost->failAt || (gHost->failAllAfter && gHost->allocations > gHost->failAt));
}

Handle PI_CALL NewHandle(int32_t size) {
  if (size < 0 || AllocationFails()) return nullptr;
  Handle handle = static_cast<Handle>(std::malloc(sizeof(char*)));
  *handle = static_cast<char*>(std::malloc(size_t(size) + 1));
  gHost->liveHandles[handle] = size_t(size);
  return handle;
}

void PI_CALL DisposeHandle(Handle handle) {
  if (handle == nullptr) return;
  if (gHost->liveHandles.erase(handle) == 0) {
    ++gHost->misuse;
    return;
  }
  if (gHost->handleLocks[handle] != 0) ++gHost->misuse;  // disposed while locked
  gHost->handleLocks.erase(handle);
  std::free(*handle);
  std::free(handle);
}

int32_t PI_CALL GetHandleSize(Handle handle) {
  auto entry = gHost->liveHandles.find(handle);
  if (entry == gHost->liveHandles.end()) {
    ++gHost->misuse;
    return 0;
  }
  return int32_t(entry->second);
}

OSErr PI_CALL SetHandleSize(Handle handle, int32_t size) {
  auto entry = gHost->liveHandles.find(handle);
  if (entry == gHost->liveHandles.end() || size < 0) return HostMemFullErr;
  char* grown = static_cast<char*>(std::realloc(*handle, size_t(size) + 1));
  if (grown == nullptr) return HostMemFullErr;
  *handle = grown;
  entry->second = size_t(size);
  return 0;
}

Ptr PI_CALL LockHandle(Handle handle, Boolean moveHigh) {
  if (gHost->liveHandles.count(handle) == 0) {
    ++gHost->misuse;
    return nullptr;
  }
  if (moveHigh && gHost->failGlobalsLock) return nullptr;
  if (moveHigh && gHost->pathHandles.count(handle) != 0) ++gHost->pathLocksMovingHigh;
  ++gHost->handleLocks[handle];
  return *handle;
}

void PI_CALL UnlockHandle(Handle handle) {
  if (gHost->liveHandles.count(handle) == 0 || gHost->handleLocks[handle] == 0) {
    ++gHost->misuse;
    return;
  }
  --gHost->handleLocks[handle];
}

void PI_CALL RecoverSpace(int32_t) {}

OSErr PI_CALL GetProperty(OSType signature, OSType key, int32_t index, intptr_t* simple, Handle* complex) {
  ++gHost->propertyQueries;
  if (signature != PropertySignature) return HostErrPlugInPropertyUndefined;
  if (key == PropNumberOfPaths) {
    if (gHost->pathCountError != 0) return gHost->pathCountError;
    *simple = gHost->pathCount;
    return 0;
  }
  if (key == PropTargetPathIndex) {
    if (gHost->targetIndexError != 0) return gHost->targetIndexError;
    *simple = gHost->targetIndex;
    return 0;
  }
  if (key == PropPathContents) {
    ++gHost->pathQueries;
    if (complex == nullptr) return HostErrPlugInPropertyUndefined;
    *complex = nullptr;
    if (gHost->pathError != 0 && !gHost->pathHandleOnError) return gHost->pathError;
    Handle handle = NewHandle(int32_t(gHost->pathData.size()));
    if (handle == nullptr) return HostMemFullErr;
    gHost->pathHandles.insert(handle);
    if (!gHost->pathData.empty()) std::memcpy(*handle, gHost->pathData.data(), gHost->pathData.size());
    *complex = handle;
    return gHost->pathError;
  }
  return HostErrPlugInPropertyUndefined;
}

Boolean PI_CALL Abort() {
  ++gHost->abortQueries;
  return gHost->aborts;
}

OSErr PI_CALL DisplayPixels(const PSPixelMap*, const VRect*, int32_t, int32_t, void*) { return 0; }

// Buffer suite.
Ptr PI_CALL BufferNew(uint32_t* requestedSize, uint32_t minimumSize) {
  if (requestedSize != nullptr) ++gHost->misuse;  // the module asks for exact sizes
  if (AllocationFails()) return nullptr;
  Ptr block = static_cast<Ptr>(std::malloc(minimumSize == 0 ? 1 : minimumSize));
  gHost->liveBuffers[block] = minimumSize;
  return block;
}

void PI_CALL BufferDispose(Ptr* block) {
  if (block == nullptr || *block == nullptr) return;
  if (gHost->liveBuffers.erase(*block) == 0) {
    ++gHost->misuse;
    return;
  }
  std::free(*block);
  *block = nullptr;
}

uint32_t PI_CALL BufferGetSize(Ptr block) {
  auto entry = gHost->liveBuffers.find(block);
  return entry == gHost->liveBuffers.end() ? 0 : uint32_t(entry->second);
}

uint32_t PI_CALL BufferGetSpace() { return 1u << 30; }

const PSBufferSuite1 BufferSuite = {BufferNew, BufferDispose, BufferGetSize, BufferGetSpace};

void PI_CALL Alert(const char* text) { gHost->alerts.push_back(text != nullptr ? text : ""); }
void PI_CALL Unused() {}
const ADMBasicSuite4 AdmBasicSuite = {{Unused, Unused, Unused}, Alert};

// Suites that are only held: any table will do.
const void* const HeldSuite[16] = {};

SPErr PI_CALL AcquireSuite(const char* name, int32_t version, const void** suite) {
  for (const std::string& refused : gHost->refusedSuites) {
    if (refused != name) continue;
    if (gHost->nullSuiteAnswer) {
      ++gHost->acquisitions;
      ++gHost->acquired[name];
      *suite = nullptr;
      return 0;
    }
    return kSPSuiteNotFoundError;
  }
  if (std::strcmp(name, kPSBufferSuite) == 0)
    *suite = &BufferSuite;
  else if (std::strcmp(name, kADMBasicSuite) == 0)
    *suite = &AdmBasicSuite;
  else
    *suite = HeldSuite;
  ++gHost->acquisitions;
  ++gHost->acquired[name];
  return 0;
}

SPErr PI_CALL ReleaseSuite(const char* name, int32_t) {
  ++gHost->releases;
  --gHost->acquired[name];
  return 0;
}
}  // namespace

// The host message hook that the module looks up in this program.
PI_EXPORT int32_t PI_CALL BevelForgeHostMessage(const char* text, const char* caption, uint32_t style) {
  if (gHost == nullptr) return 1;
  SeenMessage message;
  message.text = text != nullptr ? text : "";
  message.hasCaption = caption != nullptr;
  if (caption != nullptr) message.caption = caption;
  message.style = style;
  gHost->messages.push_back(message);
  return 1;
}

PI_EXPORT int32_t PI_CALL BevelForgeHostDialog(int32_t) {
  if (gHost == nullptr) return 1;
  ++gHost->dialogRequests;
  return gHost->dialog ? gHost->dialog() : gHost->dialogAnswer;
}

namespace {
void PutBigEndian16(std::vector<uint8_t>* bytes, int32_t value) {
  bytes->push_back(uint8_t(value >> 8));
  bytes->push_back(uint8_t(value));
}
void PutBigEndian32(std::vector<uint8_t>* bytes, int32_t value) {
  PutBigEndian16(bytes, int32_t(uint32_t(value) >> 16));
  PutBigEndian16(bytes, value & 0xFFFF);
}
// Pixels to 8.24 fractions of the document's extent.
int32_t PathUnits(double pixels, int32_t extent) { return int32_t(std::llround(pixels * 16777216.0 / extent)); }

constexpr size_t PathRecordBytes = 26;
}  // namespace

void AppendPolygonPath(std::vector<uint8_t>* path, const std::vector<std::pair<double, double>>& points, int32_t width,
                       int32_t height) {
  const size_t start = path->size();
  PutBigEndian16(path, 0);  // closed subpath length record
  PutBigEndian16(path, int32_t(points.size()));
  path->resize(start + PathRecordBytes, 0);
  for (const auto& [x, y] : points) {
    const size_t knot = path->size();
    PutBigEndian16(path, 2);  // closed subpath knot, unlinked
    for (int i = 0; i < 3; ++i) {
      PutBigEndian32(path, PathUnits(y, height));
      PutBigEndian32(path, PathUnits(x, width));
    }
    path->resize(knot + PathRecordBytes, 0);
  }
}

namespace {
// Points the module's registry at a scratch file for the whole test program.
struct RegistryEnvironment : ::testing::Environment {
  void SetUp() override { setenv(BF_REGISTRY_PATH_VARIABLE, TestRegistryPath().c_str(), 1); }
  void TearDown() override { std::remove(TestRegistryPath().c_str()); }
};
const auto* const gRegistryEnvironment = ::testing::AddGlobalTestEnvironment(new RegistryEnvironment);
}  // namespace

const std::string& TestRegistryPath() {
  static const std::string path = "/tmp/bf-test-frame-registry-" + std::to_string(getpid());
  return path;
}

FakeHost::FakeHost() {
  handleProcs = {kCurrentHandleProcsVersion, 8,          NewHandle,    DisposeHandle, GetHandleSize,
                 SetHandleSize,              LockHandle, UnlockHandle, RecoverSpace,  DisposeHandle};
  propertyProcs = {1, 2, GetProperty, nullptr};
  broker.AcquireSuite = AcquireSuite;
  broker.ReleaseSuite = ReleaseSuite;
  for (int i = 0; i < 3; ++i) {
    mergedChannels[i].bounds = VRect{0, 0, 300, 400};
    mergedChannels[i].target = 1;
    mergedChannels[i].next = i < 2 ? &mergedChannels[i + 1] : nullptr;
    targetChannels[i] = mergedChannels[i];
    targetChannels[i].next = i < 2 ? &targetChannels[i + 1] : nullptr;
  }
  document.imageMode = ModeRGBColor;
  document.depth = 8;
  document.bounds = VRect{0, 0, 300, 400};
  document.mergedCompositeChannels = mergedChannels;
  document.targetCompositeChannels = targetChannels;
  record.abortProc = Abort;
  record.handleProcs = &handleProcs;
  record.propertyProcs = &propertyProcs;
  record.sSPBasic = &broker;
  record.documentInfo = &document;
  record.displayPixels = DisplayPixels;
  record.platformData = &platform;
  record.filterCase = FilterCaseEditableTransparencyNoSelection;
  record.imageMode = ModeRGBColor;
  record.depth = 8;
}

FakeHost::~FakeHost() {
  FakeHost* previous = gHost;
  gHost = this;
  if (record.parameters != nullptr) DisposeHandle(record.parameters);
  if (dataSlot != 0) {
    Handle globals = reinterpret_cast<Handle>(dataSlot);
    handleLocks[globals] = 0;
    DisposeHandle(globals);
  }
  for (auto& [handle, size] : liveHandles) {
    std::free(*handle);
    std::free(handle);
  }
  for (auto& [block, size] : liveBuffers) std::free(block);
  gHost = previous == this ? nullptr : previous;
}

int16_t FakeHost::Call(int16_t selector) {
  gHost = this;
  allocations = 0;
  PluginMain(selector, &record, &dataSlot, &result);
  gHost = nullptr;
  return result;
}

Handle FakeHost::MakeHandle(int32_t size) {
  FakeHost* previous = gHost;
  gHost = this;
  Handle handle = NewHandle(size);
  gHost = previous;
  return handle;
}

RunGlobals* FakeHost::Globals() const {
  return dataSlot != 0 ? reinterpret_cast<RunGlobals*>(*reinterpret_cast<Handle>(dataSlot)) : nullptr;
}

StyleRecord* FakeHost::Style() const {
  return record.parameters != nullptr ? reinterpret_cast<StyleRecord*>(*record.parameters) : nullptr;
}

size_t FakeHost::StrayHandles() const {
  size_t held = (record.parameters != nullptr ? 1 : 0) + (dataSlot != 0 ? 1 : 0);
  return liveHandles.size() - held;
}

bool FakeHost::SuitesBalanced() const {
  for (const auto& [name, count] : acquired)
    if (count != 0) return false;
  return true;
}
