// Handles, buffers and Buffer suite blocks as the module sees them: live
// counts, held handles, misuse that must not crash, and allocation faults
// counted across kinds or per kind.
#include <gtest/gtest.h>

#include <cstring>

#include "ScriptedHost.h"

TEST(HostMemory, HandlesLiveSizedLockedAndDisposed) {
  ScriptedHost s([&](int16_t selector, void* record, intptr_t*, int16_t* result) {
    HandleProcs* h = AsFilter(record)->handleProcs;
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->handleProcsVersion, 1);
    EXPECT_EQ(h->numHandleProcs, 8);
    Handle a = h->newProc(10);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(h->getSizeProc(a), 10);
    Ptr p = h->lockProc(a, 1);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], 0);
    std::memcpy(p, "abcdefghij", 10);
    h->unlockProc(a);
    EXPECT_EQ(h->setSizeProc(a, 20), 0);
    EXPECT_EQ(h->getSizeProc(a), 20);
    p = h->lockProc(a, 0);
    EXPECT_EQ(std::memcmp(p, "abcdefghij", 10), 0);  // growing keeps the contents
    h->unlockProc(a);
    if (selector == FilterSelectorParameters) {
      AsFilter(record)->parameters = a;  // the parameter block, which the host keeps
    } else {
      h->disposeProc(a);
    }
    *result = 0;
  });
  RunReport first = CallSelector(s.host, FilterSelectorParameters);
  EXPECT_EQ(first.liveHandles, 1);
  EXPECT_EQ(first.heldHandles, 1);
  EXPECT_EQ(first.strayHandles, 0);
  EXPECT_TRUE(HostHasParameters(s.host));
  RunReport second = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(second.liveHandles, 1);
  EXPECT_EQ(second.strayHandles, 0);
  EXPECT_EQ(second.misuse, 0);
  EXPECT_EQ(second.handleAllocations, 2);  // new + growth
}

TEST(HostMemory, DataSlotHandleCountsAsHeldAndLeaksAsStray) {
  ScriptedHost s([&](int16_t selector, void* record, intptr_t* data, int16_t*) {
    HandleProcs* h = AsFilter(record)->handleProcs;
    if (*data == 0) *data = reinterpret_cast<intptr_t>(h->newProc(32));
    if (selector == FilterSelectorStart) h->newProc(8);  // forgotten
  });
  RunReport a = CallSelector(s.host, FilterSelectorPrepare);
  EXPECT_EQ(a.heldHandles, 1);
  EXPECT_EQ(a.strayHandles, 0);
  EXPECT_NE(HostDataSlot(s.host), 0);
  RunReport b = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(b.liveHandles, 2);
  EXPECT_EQ(b.strayHandles, 1);
}

TEST(HostMemory, UnknownHandlesAreMisuseNotCrashes) {
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    HandleProcs* h = AsFilter(record)->handleProcs;
    char* fake[1] = {nullptr};
    h->disposeProc(fake);
    EXPECT_EQ(h->lockProc(fake, 0), nullptr);
    EXPECT_EQ(h->getSizeProc(fake), 0);
    Handle a = h->newProc(4);
    h->disposeProc(a);
    h->disposeProc(a);  // twice
    h->disposeProc(nullptr);  // null is allowed and ignored
  });
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(r.misuse, 4);
  EXPECT_EQ(r.liveHandles, 0);
}

TEST(HostMemory, BufferSuiteAndBufferProcsCountLiveBlocks) {
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    const PSBufferSuite1* buffers = Acquire<PSBufferSuite1>(r, kPSBufferSuite, 1);
    ASSERT_NE(buffers, nullptr);
    Ptr a = buffers->New(nullptr, 100);
    Ptr b = buffers->New(nullptr, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(buffers->GetSize(a), 100u);
    uint32_t requested = 50;
    Ptr c = buffers->New(&requested, 10);
    EXPECT_EQ(requested, 50u);
    buffers->Dispose(&a);
    EXPECT_EQ(a, nullptr);
    buffers->Dispose(&c);
    BufferID id = nullptr;
    ASSERT_EQ(r->bufferProcs->allocateProc(64, &id), 0);
    Ptr locked = r->bufferProcs->lockProc(id, 0);
    ASSERT_NE(locked, nullptr);
    locked[63] = 1;
    r->bufferProcs->unlockProc(id);
    r->sSPBasic->ReleaseSuite(kPSBufferSuite, 1);
  });
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(r.liveSuiteBuffers, 1);  // b
  EXPECT_EQ(r.liveSuiteBufferBytes, 0);
  EXPECT_EQ(r.peakSuiteBufferBytes, 150);
  EXPECT_EQ(r.liveBuffers, 1);
  EXPECT_EQ(r.suiteBufferAllocations, 3);
  EXPECT_EQ(r.bufferAllocations, 1);
  EXPECT_EQ(r.misuse, 0);
}

// Makes one allocation of each kind per call and reports which failed.
struct AllocationProbe {
  bool handleFailed = false, suiteFailed = false, bufferFailed = false, blockFailed = false;
};

static ModuleBody ProbeBody(AllocationProbe* probe) {
  return [probe](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    Handle h = r->handleProcs->newProc(4);
    probe->handleFailed = h == nullptr;
    if (h) r->handleProcs->disposeProc(h);
    const PSBufferSuite1* buffers = Acquire<PSBufferSuite1>(r, kPSBufferSuite, 1);
    Ptr p = buffers->New(nullptr, 4);
    probe->suiteFailed = p == nullptr;
    buffers->Dispose(&p);
    r->sSPBasic->ReleaseSuite(kPSBufferSuite, 1);
    BufferID id = nullptr;
    probe->bufferFailed = r->bufferProcs->allocateProc(4, &id) != 0;
    if (id) r->bufferProcs->freeProc(id);
    void* block = nullptr;
    probe->blockFailed = r->sSPBasic->AllocateBlock(4, &block) != 0;
    r->sSPBasic->FreeBlock(block);
  };
}

TEST(HostMemory, FaultInjectionCountsAllKindsTogether) {
  AllocationProbe probe;
  ScriptedHost s(ProbeBody(&probe));
  for (int failAt = 1; failAt <= 4; ++failAt) {
    HostOptionsOf(s.host).failAllocationAt = failAt;
    RunReport r = CallSelector(s.host, FilterSelectorStart);
    EXPECT_EQ(r.countedAllocations, 4);
    EXPECT_EQ(r.failedAllocations, 1);
    EXPECT_EQ(probe.handleFailed, failAt == 1);
    EXPECT_EQ(probe.suiteFailed, failAt == 2);
    EXPECT_EQ(probe.bufferFailed, failAt == 3);
    EXPECT_EQ(probe.blockFailed, failAt == 4);
    EXPECT_EQ(r.liveHandles + r.liveBuffers + r.liveSuiteBuffers + r.liveBasicBlocks, 0);
  }
}

TEST(HostMemory, FaultInjectionCanCountOneKindAndFailEverythingAfter) {
  AllocationProbe probe;
  ScriptedHost s(ProbeBody(&probe));
  HostOptions& o = HostOptionsOf(s.host);
  o.failKinds = AllocSuiteBuffer;
  o.failAllocationAt = 1;
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(r.countedAllocations, 1);
  EXPECT_FALSE(probe.handleFailed);
  EXPECT_TRUE(probe.suiteFailed);
  EXPECT_FALSE(probe.bufferFailed);

  o.failKinds = AllocAny;
  o.failAllocationAt = 2;
  o.failAllAfter = true;
  r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_FALSE(probe.handleFailed);
  EXPECT_TRUE(probe.suiteFailed);
  EXPECT_TRUE(probe.bufferFailed);
  EXPECT_TRUE(probe.blockFailed);
  EXPECT_EQ(r.failedAllocations, 3);
}
