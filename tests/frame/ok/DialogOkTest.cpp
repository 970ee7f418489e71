// Runs whose dialog ends with OK. They write the last-used settings file next
// to the program, so they live in a program (and folder) of their own: no
// other test reads what they write.
#include <gtest/gtest.h>

#include <filesystem>

#include "frame/RunRender.h"
#include "frame/StyleHandle.h"
#include "platform/ModuleInstance.h"
#include "style/StyleRecord.h"
#include "tests/frame/DialogRunSupport.h"
#include "tests/frame/FakeHost.h"
#include "ui/StyleEdits.h"

namespace {
constexpr int32_t Width = 400, Height = 300;
}  // namespace

// A dialog that ended with OK after its preview rendered only part of the
// document leaves the render buffer the written result comes from whole: the
// same as a dialog that completed the render itself before OK.
TEST(DialogRun, OkLeavesTheWholeChangedStyleToBeWritten) {
  // Each OK writes the last-used settings file next to this program; every
  // run starts from the default style.
  char folder[ModulePathCapacity];
  ASSERT_EQ(ModuleFolder(folder, sizeof folder), 1);
  const std::filesystem::path settings = std::filesystem::path(folder) / "default.dfs";
  std::error_code ignored;
  auto forgetSettings = [&] { std::filesystem::remove(settings, ignored); };
  forgetSettings();
  // `complete`: the dialog itself completes its render before OK, so that the
  // run has nothing left to do (the reference).
  auto runWithView = [&](int16_t viewRows, bool complete) {
    FakeHost host;
    AppendPolygonPath(&host.pathData, {{120, 90}, {300, 110}, {260, 220}, {200, 150}, {110, 210}}, Width, Height);
    EXPECT_EQ(host.Call(FilterSelectorParameters), 0);
    uint32_t staleAtOk = 0;
    host.dialog = [&] {
      RunGlobals* g = gRunGlobals;
      g->previewSrcTop = 0, g->previewSrcLeft = 0, g->previewSrcBottom = viewRows, g->previewSrcRight = Width;
      StyleRecord* style = CurrentStyle();
      SelectElement(style, OuterBevelElement);
      Request(SetBevelSize(style, style->bevels[OuterBevelSetting].size + 9));
      SelectElement(style, InnerBevelElement);
      Request(SetBevelDepth(style, style->bevels[InnerBevelSetting].depth + 200));
      staleAtOk = g->staleElements;
      if (complete) {
        EXPECT_EQ(CompleteRunRender(), 1);
      }
      return 1;
    };
    EXPECT_EQ(host.Call(FilterSelectorStart), 0);
    const Rendered written = Capture(host.Globals());
    EXPECT_EQ(host.Call(FilterSelectorFinish), 0);
    forgetSettings();
    return std::make_pair(written, staleAtOk);
  };
  const auto [partial, partialStale] = runWithView(100, false);
  const auto [whole, wholeStale] = runWithView(100, true);
  EXPECT_NE(partialStale, 0u);  // the preview did leave rows unrendered
  ExpectSame(partial, whole);
}

