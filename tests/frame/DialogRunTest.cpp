// The dialog's run side against a fresh run: a change made in the dialog
// (rebuilding a bevel, refreshing materials, rendering only what the change
// names) leaves the same render buffer as a run that starts with the changed
// style. The changed style reaches the second run through the last-used
// settings file that the first run writes after OK.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "core/WorkMemory.h"
#include "frame/DialogRun.h"
#include "frame/RunGlobals.h"
#include "frame/StyleHandle.h"
#include "style/StyleRecord.h"
#include "tests/frame/FakeHost.h"
#include "ui/StyleEdits.h"

namespace {
constexpr int32_t Width = 400, Height = 300;

struct Rendered {
  int32_t top = 0, left = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;
};
Rendered Capture() {
  const RunGlobals* g = gRunGlobals;
  Rendered r{g->effectTop, g->effectLeft, uint16_t(g->effectWidth), uint16_t(g->effectHeight), {}};
  const size_t bytes = size_t(r.width) * size_t(r.height) * size_t(g->channelCount + 1);
  if (g->renderBuffer != nullptr) r.pixels.assign(g->renderBuffer, g->renderBuffer + bytes);
  return r;
}

// A start whose dialog runs `play` and presses OK.
Rendered RunWithDialog(const std::function<void()>& play) {
  FakeHost host;
  AppendPolygonPath(&host.pathData, {{120, 90}, {300, 110}, {260, 220}, {200, 150}, {110, 210}}, Width, Height);
  EXPECT_EQ(host.Call(FilterSelectorParameters), 0);
  Rendered rendered;
  host.dialog = [&] {
    play();
    rendered = Capture();
    return 1;
  };
  EXPECT_EQ(host.Call(FilterSelectorStart), 0);
  EXPECT_EQ(host.Call(FilterSelectorFinish), 0);
  EXPECT_TRUE(host.liveBuffers.empty());
  return rendered;
}

void Request(const DialogAction& action) { EXPECT_EQ(RunDialogRequest(action), 1); }
}  // namespace

TEST(DialogRun, AChangeInTheDialogRendersAsAFreshRunOfTheChangedStyle) {
  struct Change {
    const char* name;
    std::function<void(StyleRecord*)> apply;
  };
  const std::vector<Change> changes = {
      {"outer size", [](StyleRecord* s) { SelectElement(s, OuterBevelElement), Request(SetBevelSize(s, (s->bevels[1].size + 7) % 40)); }},
      {"inner size", [](StyleRecord* s) { SelectElement(s, InnerBevelElement), Request(SetBevelSize(s, (s->bevels[0].size + 5) % 30)); }},
      {"inner join", [](StyleRecord* s) { SelectElement(s, InnerBevelElement), Request(ChooseJoin(s, (JoinTypeOf(s->bevels[0].bevelFlags) + 1) % 3)); }},
      {"outer contour", [](StyleRecord* s) { SelectElement(s, OuterBevelElement), Request(ChooseContour(s, (ContourIndexOf(s->bevels[1].bevelFlags) + 9) % 49)); }},
      {"inner depth", [](StyleRecord* s) { SelectElement(s, InnerBevelElement), Request(SetBevelDepth(s, (s->bevels[0].depth + 150) % 1000)); }},
      {"main colour", [](StyleRecord* s) {
         SelectElement(s, MainElement);
         const uint8_t rgb[3] = {uint8_t(EditedMaterial(s)->color[2] + 91), 40, 200};
         Request(SetMaterialColor(s, rgb));
       }},
      {"outer linked", [](StyleRecord* s) {
         SelectElement(s, OuterBevelElement);
         Request(ChooseMaterialLink(s, s->materialLinks[OuterBevelElement] == -1 ? MainElement : -1));
         Request(SetMaterialPercent(s, ChannelShininess, 37));
       }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    const Rendered edited = RunWithDialog([&] { change.apply(CurrentStyle()); });
    const Rendered fresh = RunWithDialog([] {});
    EXPECT_EQ(edited.top, fresh.top);
    EXPECT_EQ(edited.left, fresh.left);
    EXPECT_EQ(edited.width, fresh.width);
    EXPECT_EQ(edited.height, fresh.height);
    EXPECT_TRUE(edited.pixels == fresh.pixels);
  }
}

// Every allocation of an Outer Bevel rebuild may fail: the request reports
// it, and the run cleans up without a leak.
TEST(DialogRun, EveryAllocationOfARebuildMayFail) {
  for (int64_t failAt = 1;; ++failAt) {
    SCOPED_TRACE(failAt);
    FakeHost host;
    AppendPolygonPath(&host.pathData, {{12, 9}, {30, 11}, {26, 22}}, Width, Height);
    ASSERT_EQ(host.Call(FilterSelectorParameters), 0);
    int32_t ok = 1;
    host.dialog = [&] {
      StyleRecord* style = CurrentStyle();
      SelectElement(style, OuterBevelElement);
      host.failAt = host.allocations + failAt;
      ok = RunDialogRequest(SetBevelSize(style, style->bevels[1].size + 3));
      host.failAt = 0;
      return ok ? 1 : 2;
    };
    const int16_t result = host.Call(FilterSelectorStart);
    host.Call(FilterSelectorFinish);
    EXPECT_TRUE(host.liveBuffers.empty());
    EXPECT_EQ(host.StrayHandles(), 0u);
    if (ok) break;
    EXPECT_EQ(result, HostMemFullErr);
  }
}
