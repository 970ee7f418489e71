// The entry point as a host sees it: record validation, selectors, the run
// globals handle, suite acquisition and release.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "frame/PluginMain.h"
#include "frame/RunGlobals.h"
#include "frame/SuiteAcquisition.h"
#include "style/StyleRecord.h"
#include "tests/frame/FakeHost.h"

namespace {
struct Omission {
  const char* what;
  std::function<void(FakeHost&)> apply;
};

const Omission Omissions[] = {
    {"no handle procs", [](FakeHost& h) { h.record.handleProcs = nullptr; }},
    {"handle procs version 0", [](FakeHost& h) { h.handleProcs.handleProcsVersion = 0; }},
    {"five handle procs", [](FakeHost& h) { h.handleProcs.numHandleProcs = 5; }},
    {"no new handle", [](FakeHost& h) { h.handleProcs.newProc = nullptr; }},
    {"no dispose handle", [](FakeHost& h) { h.handleProcs.disposeProc = nullptr; }},
    {"no get size", [](FakeHost& h) { h.handleProcs.getSizeProc = nullptr; }},
    {"no set size", [](FakeHost& h) { h.handleProcs.setSizeProc = nullptr; }},
    {"no lock", [](FakeHost& h) { h.handleProcs.lockProc = nullptr; }},
    {"no unlock", [](FakeHost& h) { h.handleProcs.unlockProc = nullptr; }},
    {"no property procs", [](FakeHost& h) { h.record.propertyProcs = nullptr; }},
    {"property procs version 0", [](FakeHost& h) { h.propertyProcs.propertyProcsVersion = 0; }},
    {"no property proc counted", [](FakeHost& h) { h.propertyProcs.numPropertyProcs = 0; }},
    {"no get property", [](FakeHost& h) { h.propertyProcs.getPropertyProc = nullptr; }},
    {"no suite broker", [](FakeHost& h) { h.record.sSPBasic = nullptr; }},
    {"broker without acquire", [](FakeHost& h) { h.broker.AcquireSuite = nullptr; }},
    {"broker without release", [](FakeHost& h) { h.broker.ReleaseSuite = nullptr; }},
    {"no document info", [](FakeHost& h) { h.record.documentInfo = nullptr; }},
    {"no merged channels", [](FakeHost& h) { h.document.mergedCompositeChannels = nullptr; }},
    {"no display procedure", [](FakeHost& h) { h.record.displayPixels = nullptr; }},
};

TEST(EntryPoint, UnusableRecordStopsEverySelectorButAbout) {
  for (const Omission& omission : Omissions) {
    for (int16_t selector = FilterSelectorParameters; selector <= FilterSelectorFinish; ++selector) {
      SCOPED_TRACE(std::string(omission.what) + ", selector " + std::to_string(selector));
      FakeHost host;
      omission.apply(host);
      EXPECT_EQ(host.Call(selector), HostErrPlugInHostInsufficient);
      EXPECT_EQ(host.dataSlot, 0) << "no globals handle for an unusable host";
      EXPECT_EQ(host.acquisitions, 0);
      EXPECT_EQ(host.Parameters(), nullptr);
      EXPECT_TRUE(host.messages.empty());
      EXPECT_EQ(host.allocations, 0);
    }
  }
}

TEST(EntryPoint, AboutNeedsNoUsableRecord) {
  int16_t result = 77;
  intptr_t data = 0;
  PluginMain(FilterSelectorAbout, nullptr, &data, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(data, 0);

  AboutRecord about{};
  PlatformData platform{};
  about.platformData = &platform;
  result = -1;
  PluginMain(FilterSelectorAbout, &about, &data, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(data, 0);
}

TEST(EntryPoint, NullDataSlotIsAnUnusableHost) {
  FakeHost host;
  int16_t result = 0;
  PluginMain(FilterSelectorParameters, &host.record, nullptr, &result);
  EXPECT_EQ(result, HostErrPlugInHostInsufficient);
}

TEST(EntryPoint, UnknownSelectorsAreBadParametersWithoutMessage) {
  for (int16_t selector : {int16_t(6), int16_t(7), int16_t(100), int16_t(-1), int16_t(INT16_MIN)}) {
    FakeHost host;
    EXPECT_EQ(host.Call(selector), HostFilterBadParameters) << selector;
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.SuitesBalanced());
    EXPECT_EQ(host.Parameters(), nullptr);
  }
}

TEST(EntryPoint, GlobalsHandleIsMadeOnceZeroFilledAndUnlockedAfterEachCall) {
  FakeHost host;
  EXPECT_EQ(host.Call(FilterSelectorContinue), 0);
  ASSERT_NE(host.dataSlot, 0);
  const intptr_t slot = host.dataSlot;
  const Handle globals = reinterpret_cast<Handle>(slot);
  EXPECT_EQ(host.liveHandles.at(globals), sizeof(RunGlobals));
  EXPECT_EQ(host.handleLocks[globals], 0);
  RunGlobals* g = host.Globals();
  EXPECT_EQ(g->resultCell, &host.result);
  EXPECT_EQ(g->filterRecord, &host.record);
  EXPECT_EQ(g->renderBuffer, nullptr);
  EXPECT_EQ(g->outerOutlines, nullptr);
  EXPECT_EQ(g->imageCache, nullptr);
  EXPECT_EQ(g->channelCount, 0);
  EXPECT_EQ(gRunGlobals, nullptr) << "the current globals exist only within a call";

  g->dialogWidth = 700;  // survives between calls
  EXPECT_EQ(host.Call(FilterSelectorContinue), 0);
  EXPECT_EQ(host.dataSlot, slot);
  EXPECT_EQ(host.Globals()->dialogWidth, 700);
  EXPECT_EQ(host.liveHandles.size(), 1u);
  EXPECT_EQ(host.misuse, 0);
}

TEST(EntryPoint, GlobalsThatCannotBeMadeOrLockedGiveMemFull) {
  FakeHost host;
  host.failAt = 1;
  EXPECT_EQ(host.Call(FilterSelectorParameters), HostMemFullErr);
  EXPECT_EQ(host.dataSlot, 0);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.acquisitions, 0);

  host.failAt = 0;
  host.failGlobalsLock = true;
  EXPECT_EQ(host.Call(FilterSelectorParameters), HostMemFullErr);
  EXPECT_NE(host.dataSlot, 0) << "the handle is kept for the next call";
  EXPECT_EQ(host.acquisitions, 0);
  EXPECT_EQ(host.Parameters(), nullptr);

  host.failGlobalsLock = false;
  EXPECT_EQ(host.Call(FilterSelectorParameters), 0);
  EXPECT_EQ(host.misuse, 0);
}

TEST(EntryPoint, ParametersSelectorCreatesTheDefaultStyleAndAsksForTheDialog) {
  FakeHost host;
  EXPECT_EQ(host.Call(FilterSelectorParameters), 0);
  StyleRecord* style = host.Style();
  ASSERT_NE(style, nullptr);
  EXPECT_EQ(host.liveHandles.at(host.Parameters()), sizeof(StyleRecord));
  EXPECT_EQ(style->showDialog, 1);
  EXPECT_EQ(style->viewFlags, DefaultViewFlags);
  EXPECT_EQ(style->bevels[OuterBevelSetting].size, 20);
  EXPECT_EQ(style->mapLayers, nullptr);
  EXPECT_EQ(style->reflectionImage, nullptr);
  EXPECT_TRUE(host.messages.empty());

  // An existing block is left as it is, apart from the dialog request.
  style->bevels[OuterBevelSetting].size = 33;
  style->showDialog = 0;
  const Handle parameters = host.Parameters();
  EXPECT_EQ(host.Call(FilterSelectorParameters), 0);
  EXPECT_EQ(host.Parameters(), parameters);
  EXPECT_EQ(host.Style()->bevels[OuterBevelSetting].size, 33);
  EXPECT_EQ(host.Style()->showDialog, 1);
  EXPECT_TRUE(host.messages.empty());
}

TEST(EntryPoint, PrepareMakesTheStyleAndAsksForNoHostBuffers) {
  FakeHost host;
  host.record.maxSpace = 1 << 20;
  host.record.bufferSpace = 1 << 16;
  EXPECT_EQ(host.Call(FilterSelectorPrepare), 0);
  EXPECT_EQ(host.record.maxSpace, 0);
  EXPECT_EQ(host.record.bufferSpace, 0);
  ASSERT_NE(host.Style(), nullptr);
  EXPECT_EQ(host.Style()->showDialog, 0) << "only the parameters selector asks for the dialog";
}

TEST(EntryPoint, StyleThatCannotBeMadeGivesMemFullAndNoMessage) {
  for (int16_t selector : {FilterSelectorParameters, FilterSelectorPrepare, FilterSelectorStart}) {
    FakeHost host;
    host.record.maxSpace = 5;
    host.failAt = 2;  // the globals handle is the first allocation
    EXPECT_EQ(host.Call(selector), HostMemFullErr) << selector;
    EXPECT_EQ(host.Parameters(), nullptr);
    EXPECT_EQ(host.record.maxSpace, 5) << "the selector's own work is skipped";
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.pathQueries, 0);
    EXPECT_EQ(host.propertyQueries, 0);
    EXPECT_TRUE(host.SuitesBalanced());
    EXPECT_EQ(host.StrayHandles(), 0u);
  }
}

TEST(EntryPoint, ShortParameterBlockIsReplacedByDefaults) {
  FakeHost host;
  host.Call(FilterSelectorContinue);
  host.allocations = 0;
  host.record.parameters = host.MakeHandle(8);
  std::memset(*host.Parameters(), 0x5A, 8);
  EXPECT_EQ(host.Call(FilterSelectorParameters), 0);
  EXPECT_EQ(host.liveHandles.at(host.Parameters()), sizeof(StyleRecord));
  EXPECT_EQ(host.Style()->bevels[InnerBevelSetting].size, 10);
  EXPECT_EQ(host.Style()->showDialog, 1);
}

TEST(EntryPoint, ContinueDoesNothing) {
  FakeHost host;
  EXPECT_EQ(host.Call(FilterSelectorContinue), 0);
  EXPECT_EQ(host.Parameters(), nullptr);
  EXPECT_EQ(host.propertyQueries, 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST(EntryPoint, EveryCallAcquiresAllSuitesInOrderAndReleasesThem) {
  FakeHost host;
  for (int16_t selector = FilterSelectorParameters; selector <= FilterSelectorFinish; ++selector) {
    const int32_t before = host.acquisitions;
    host.Call(selector);
    EXPECT_EQ(host.acquisitions - before, 13) << selector;
    EXPECT_TRUE(host.SuitesBalanced()) << selector;
    EXPECT_EQ(gSuiteUseCount, 0);
    EXPECT_EQ(gBufferSuite, nullptr) << "released suite pointers are cleared";
  }
}

TEST(EntryPoint, RefusedSuiteReleasesWhatWasAcquiredAndTheNextCallStartsClean) {
  for (int i = 0; i < 13; ++i) {
    const std::string name = ModuleSuiteNames[i];
    SCOPED_TRACE(name);
    FakeHost host;
    host.refusedSuites = {name};
    EXPECT_EQ(host.Call(FilterSelectorParameters), HostErrPlugInHostInsufficient);
    EXPECT_EQ(host.acquisitions, i);
    EXPECT_EQ(host.releases, i);
    EXPECT_TRUE(host.SuitesBalanced());
    EXPECT_EQ(gSuiteUseCount, 0);
    EXPECT_EQ(host.Parameters(), nullptr) << "nothing is dispatched";
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.handleLocks[reinterpret_cast<Handle>(host.dataSlot)], 0) << "globals unlocked";
    if (i == 0) {
      EXPECT_TRUE(host.alerts.empty()) << "no alert without the ADM Basic suite";
    } else {
      ASSERT_EQ(host.alerts.size(), 1u);
      const int32_t versions[13] = {4, 4, 4, 1, 1, 3, 1, 2, 1, 2, 1, 1, 2};
      EXPECT_EQ(host.alerts[0], "Error: " + std::to_string(kSPSuiteNotFoundError) + ", suite: " + name +
                                    ", version: " + std::to_string(versions[i]) + "!");
    }

    host.refusedSuites.clear();
    const int32_t before = host.acquisitions;
    EXPECT_EQ(host.Call(FilterSelectorParameters), 0);
    EXPECT_EQ(host.acquisitions - before, 13) << "a clean start acquires every suite";
    EXPECT_TRUE(host.SuitesBalanced());
  }
}

TEST(EntryPoint, SuiteAnsweredWithoutTableCountsAsRefusedAndIsGivenBack) {
  FakeHost host;
  host.refusedSuites = {kPSBufferSuite};
  host.nullSuiteAnswer = true;
  EXPECT_EQ(host.Call(FilterSelectorParameters), HostErrPlugInHostInsufficient);
  EXPECT_EQ(host.acquisitions, 12);
  EXPECT_EQ(host.releases, 12);
  EXPECT_TRUE(host.SuitesBalanced());
  EXPECT_EQ(gSuiteUseCount, 0);
  EXPECT_EQ(host.alerts.size(), 1u);
}
}  // namespace
