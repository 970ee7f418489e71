// The dialog's run side against the run's own build: a change made in the
// dialog (rebuilding a bevel, refreshing materials, rendering only what the
// change names) leaves the same render buffer as building every element of
// the changed style from its outlines, as the start of a run does. The
// dialogs end with Cancel, so that no test changes the last-used settings
// file that other tests of this program read.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bevel/ElementBuilders.h"
#include "bevel/OffsetUndo.h"
#include "core/WorkMemory.h"
#include "frame/RunRender.h"
#include "frame/DialogRun.h"
#include "frame/RunGlobals.h"
#include "frame/StyleHandle.h"
#include "style/StyleRecord.h"
#include "style/SettingsFile.h"
#include "tests/frame/DialogRunSupport.h"
#include "tests/frame/FakeHost.h"
#include "tests/support/StyleSupport.h"
#include "ui/StyleEdits.h"

namespace {
constexpr int32_t Width = 400, Height = 300;

// Every element built again from the outlines for the current style, placed,
// filled and rendered, as the start of a run does it.
void BuildEverything() {
  RunGlobals* g = gRunGlobals;
  const StyleRecord* style = CurrentStyle();
  auto band = [](const BevelSetting& b) { return BandSettings{b.size, b.bevelFlags, b.miterLimit}; };
  UndoOffset(g->outerOutlines);
  UndoOffset(g->innerOutlines);
  ASSERT_EQ(BuildOuterBevel(g->outerOutlines, band(style->bevels[OuterBevelSetting]), &g->outerBevelField), 1);
  ASSERT_EQ(BuildInnerBevel(g->innerOutlines, band(style->bevels[InnerBevelSetting]), &g->innerBevelField, &g->mainField), 1);
  PixelRect effect;
  EffectRectangle(g->outerBevelField, g->innerBevelField, g->mainField, &effect);
  g->effectTop = int16_t(effect.top), g->effectLeft = int16_t(effect.left);
  g->effectHeight = int16_t(effect.bottom - effect.top), g->effectWidth = int16_t(effect.right - effect.left);
  ASSERT_EQ(AllocateRenderBuffer(), 1);
  PlaceElements(g->outerBevelField, g->innerBevelField, g->mainField, effect);
  BindRunMaps();
  RefreshRunMaterials(SelectAllElements | AllMaterialChannels);
  ASSERT_EQ(RenderRunElements(SelectAllElements), 1);
}

// A start whose dialog runs `play`, then builds everything again; returns
// the render buffer after `play` (completed as before the result is written)
// and after the full build.
std::pair<Rendered, Rendered> PlayAndRebuild(const std::function<void()>& play) {
  FakeHost host;
  AppendPolygonPath(&host.pathData, {{120, 90}, {300, 110}, {260, 220}, {200, 150}, {110, 210}}, Width, Height);
  EXPECT_EQ(host.Call(FilterSelectorParameters), 0);
  std::pair<Rendered, Rendered> rendered;
  host.dialog = [&] {
    play();
    EXPECT_EQ(CompleteRunRender(), 1);
    rendered.first = Capture();
    BuildEverything();
    rendered.second = Capture();
    return 2;
  };
  EXPECT_EQ(host.Call(FilterSelectorStart), UserCanceledErr);
  EXPECT_EQ(host.Call(FilterSelectorFinish), 0);
  EXPECT_TRUE(host.liveBuffers.empty());
  return rendered;
}

}  // namespace

TEST(DialogRun, AChangeInTheDialogRendersAsBuildingTheChangedStyle) {
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
    const auto [edited, built] = PlayAndRebuild([&] { change.apply(CurrentStyle()); });
    ExpectSame(edited, built);
  }
}

// A preset loaded in the dialog rebuilds both bevels and renders as building
// the preset's style from the outlines, whatever part of the document the
// preview shows (the requests render only there).
TEST(DialogRun, APresetLoadedInTheDialogRendersAsBuildingItsStyle) {
  std::mt19937 rng(5);
  const std::string path = testing::TempDir() + "dialog-run-preset.bfs";
  for (int round = 0; round < 3; ++round) {
    StyleRecord preset = RandomStyle(rng);
    preset.bevels[InnerBevelSetting].size %= 40;
    preset.bevels[OuterBevelSetting].size %= 40;
    {
      TestStyleIo io;
      ASSERT_EQ(WriteSettingsFile(path.c_str(), preset, io.Io()), 1);
    }
    const auto [loaded, built] = PlayAndRebuild([&] {
      RunGlobals* g = gRunGlobals;
      g->previewSrcTop = int16_t(rng() % Height), g->previewSrcLeft = int16_t(rng() % Width);
      g->previewSrcBottom = int16_t(g->previewSrcTop + 1 + rng() % Height);
      g->previewSrcRight = int16_t(g->previewSrcLeft + 1 + rng() % Width);
      EXPECT_EQ(LoadRunPreset(path.c_str()), 1);
      if (round == 2) {  // the view moved off the rendered part: the render is completed
        g->previewSrcTop = int16_t(g->previewSrcTop + Height), g->previewSrcBottom = int16_t(g->previewSrcBottom + Height);
        EXPECT_EQ(FollowPreviewSource(), 1);
        EXPECT_EQ(g->staleMaterials | g->staleElements, 0u);
      }
      EXPECT_EQ(CurrentStyle()->bevels[OuterBevelSetting].size, preset.bevels[OuterBevelSetting].size);
    });
    ExpectSame(loaded, built);
  }
  PlayAndRebuild([&] { EXPECT_EQ(LoadRunPreset((path + ".missing").c_str()), 0); });
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
      return 2;
    };
    const int16_t result = host.Call(FilterSelectorStart);
    host.Call(FilterSelectorFinish);
    EXPECT_TRUE(host.liveBuffers.empty());
    EXPECT_EQ(host.StrayHandles(), 0u);
    EXPECT_EQ(result, ok ? int16_t(UserCanceledErr) : int16_t(HostMemFullErr));
    if (ok) break;
  }
}
