// The run's rendering stage in the frame: the mask buffer the run keeps with
// anti-aliasing off, every allocation of such a run failing in turn, and an
// empty effect rectangle that renders and writes nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frame/RunGlobals.h"
#include "frame/RunRender.h"
#include "style/StyleRecord.h"
#include "tests/frame/FakeHost.h"
#include "tests/support/CountingMemory.h"

namespace {
constexpr int32_t Width = 400, Height = 300;

void UseRectanglePath(FakeHost* host) {
  host->pathData.clear();
  AppendPolygonPath(&host->pathData, {{100, 100}, {300, 100}, {300, 200}, {100, 200}}, Width, Height);
}

// Parameters (the default style, with anti-aliasing switched off), then start.
int16_t HardEdgedStart(FakeHost* host) {
  UseRectanglePath(host);
  EXPECT_EQ(host->Call(FilterSelectorParameters), 0);
  host->Style()->viewFlags &= uint8_t(~AntiAliasingFlag);
  return host->Call(FilterSelectorStart);
}

TEST(RunRender, AntiAliasingOffKeepsTheMaskBufferUntilFinish) {
  FakeHost host;
  ASSERT_EQ(HardEdgedStart(&host), 0);
  const RunGlobals* g = host.Globals();
  ASSERT_NE(g->renderBuffer, nullptr);
  ASSERT_NE(g->maskBuffer, nullptr);
  EXPECT_EQ(host.liveBuffers.at(g->maskBuffer), size_t(g->effectWidth) * size_t(g->effectHeight));
  EXPECT_EQ(host.liveBuffers.size(), 2u);
  ASSERT_EQ(host.Call(FilterSelectorFinish), 0);
  EXPECT_TRUE(host.liveBuffers.empty());
  EXPECT_EQ(host.StrayHandles(), 0u);
}

TEST(RunRender, EveryAllocationOfAHardEdgedRunMayFail) {
  FakeHost counting;
  ASSERT_EQ(HardEdgedStart(&counting), 0);
  const int64_t total = counting.allocations;
  ASSERT_GT(total, 3);
  for (int64_t failAt = 1; failAt <= total; ++failAt) {
    SCOPED_TRACE("allocation " + std::to_string(failAt) + " of " + std::to_string(total));
    FakeHost host;
    UseRectanglePath(&host);
    ASSERT_EQ(host.Call(FilterSelectorParameters), 0);
    host.Style()->viewFlags &= uint8_t(~AntiAliasingFlag);
    host.failAt = failAt;
    EXPECT_EQ(host.Call(FilterSelectorStart), HostMemFullErr);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.Globals()->renderBuffer, nullptr);
    EXPECT_EQ(host.Globals()->maskBuffer, nullptr);
    EXPECT_TRUE(host.liveBuffers.empty());
    EXPECT_EQ(host.StrayHandles(), 0u);
    EXPECT_EQ(host.misuse, 0);
    if (HasFatalFailure()) return;
  }
}

// The stage called directly over hand-made run globals.
struct DirectRun {
  FakeHost host;
  RunGlobals globals{};
  ScopedCountingMemory memory;
  StyleRecord style{};
  char* styleBytes = reinterpret_cast<char*>(&style);
  DirectRun() {
    SetDefaultStyle(&style);
    host.record.parameters = &styleBytes;
    globals.filterRecord = &host.record;
    globals.resultCell = &memory.memory.result;
    gRunGlobals = &globals;
  }
  ~DirectRun() {
    host.record.parameters = nullptr;
    gRunGlobals = nullptr;
  }
};

TEST(RunRender, EmptyEffectRectangleRendersAndWritesNothing) {
  DirectRun run;
  std::vector<uint8_t> render(64, 0xA5);
  run.globals.renderBuffer = render.data();
  run.globals.channelCount = 3;
  run.style.viewFlags = 0;  // would need a mask buffer for any pixel
  for (const auto& [width, height] : {std::pair<int16_t, int16_t>{0, 4}, {4, 0}}) {
    run.globals.effectWidth = width;
    run.globals.effectHeight = height;
    EXPECT_EQ(RenderRunElements(SelectAllElements), 1);
    EXPECT_EQ(WriteRunResult(), 1);
    EXPECT_EQ(run.memory.memory.allocations, 0);
    EXPECT_EQ(run.memory.memory.result, 0);
    EXPECT_EQ(run.globals.maskBuffer, nullptr);
    for (uint8_t v : render) EXPECT_EQ(v, 0xA5);
  }
}
}  // namespace
