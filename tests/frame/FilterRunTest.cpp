// Whole start runs over a traced path: what the run keeps, what it releases on
// every way out, the dialog outcome, and every allocation failing in turn.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "bevel/ElementBuffer.h"
#include "bevel/MainRasteriser.h"
#include "core/NodePool.h"
#include "frame/RunGlobals.h"
#include "geometry/BandEdge.h"
#include "geometry/Contour.h"
#include "style/StyleRecord.h"
#include "tests/frame/FakeHost.h"

namespace {
constexpr int32_t Width = 400, Height = 300;

// A document with one path: a 200 × 100 rectangle, and a hole in it.
void UseRectanglePath(FakeHost* host) {
  host->pathData.clear();
  AppendPolygonPath(&host->pathData, {{100, 100}, {300, 100}, {300, 200}, {100, 200}}, Width, Height);
  AppendPolygonPath(&host->pathData, {{180, 130}, {220, 130}, {220, 170}, {180, 170}}, Width, Height);
}

bool PoolsEmpty() {
  for (const NodePool* pool : {&gVertexPool, &gOutlinePool, &gInnerOffsetPool, &gOuterOffsetPool, &gBandEdgePool,
                               &gPolygonEdgePool, &gMainSpanPool, &gInnerSpanPool, &gOuterSpanPool})
    if (pool->firstBlock != nullptr) return false;
  return true;
}

// Nothing of the run is left: no element data, no buffers, no stray handles.
void ExpectNothingLeft(const FakeHost& host) {
  const RunGlobals* g = host.Globals();
  EXPECT_EQ(g->outerOutlines, nullptr);
  EXPECT_EQ(g->innerOutlines, nullptr);
  EXPECT_EQ(g->mainField, nullptr);
  EXPECT_EQ(g->innerBevelField, nullptr);
  EXPECT_EQ(g->outerBevelField, nullptr);
  EXPECT_EQ(g->renderBuffer, nullptr);
  EXPECT_EQ(g->maskBuffer, nullptr);
  EXPECT_TRUE(host.liveBuffers.empty());
  EXPECT_EQ(host.StrayHandles(), 0u);
  EXPECT_TRUE(PoolsEmpty());
  EXPECT_TRUE(host.SuitesBalanced());
  EXPECT_EQ(host.misuse, 0);
}

std::string RegistryText() {
  std::ifstream in(TestRegistryPath());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FilterRun, MenuRunKeepsTheRenderBufferUntilFinish) {
  std::remove(TestRegistryPath().c_str());
  FakeHost host;
  UseRectanglePath(&host);
  ASSERT_EQ(host.Call(FilterSelectorParameters), 0);
  ASSERT_EQ(host.Call(FilterSelectorPrepare), 0);
  ASSERT_EQ(host.Call(FilterSelectorStart), 0);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.pathQueries, 1);
  EXPECT_EQ(host.dialogRequests, 1);
  EXPECT_EQ(host.Style()->showDialog, 0);

  const RunGlobals* g = host.Globals();
  EXPECT_EQ(g->documentWidth, Width);
  EXPECT_EQ(g->documentHeight, Height);
  EXPECT_EQ(g->channelCount, 3);
  // The Outer Bevel (20 px by default) sets the effect rectangle around the 200 × 100 outline.
  EXPECT_NEAR(g->effectLeft, 100 - 20, 1);
  EXPECT_NEAR(g->effectTop, 100 - 20, 1);
  EXPECT_NEAR(g->effectWidth, 200 + 40, 2);
  EXPECT_NEAR(g->effectHeight, 100 + 40, 2);
  ASSERT_NE(g->renderBuffer, nullptr);
  EXPECT_EQ(host.liveBuffers.at(g->renderBuffer), size_t(g->effectWidth) * 4 * size_t(g->effectHeight));
  // The post-dialog release has run.
  EXPECT_EQ(g->outerOutlines, nullptr);
  EXPECT_EQ(g->mainField, nullptr);
  EXPECT_EQ(g->outerBevelField, nullptr);
  EXPECT_EQ(g->currentMaterial, &host.Style()->materials[MainElement]);
  EXPECT_TRUE(PoolsEmpty());
  EXPECT_EQ(host.liveBuffers.size(), 1u) << "only the render buffer stays for the finish selector";
  EXPECT_NE(RegistryText().find("Dialog Width="), std::string::npos);

  EXPECT_EQ(host.Call(FilterSelectorFinish), 0);
  ExpectNothingLeft(host);
}

// A host without scripting cannot say that a run repeats the last one, so
// the run asks for the dialog (a scripting host's replay shows none: the host
// scenarios cover that).
TEST(FilterRun, StartWithoutScriptingShowsTheDialog) {
  FakeHost host;
  UseRectanglePath(&host);
  ASSERT_EQ(host.Call(FilterSelectorPrepare), 0);
  ASSERT_EQ(host.Call(FilterSelectorStart), 0);
  EXPECT_EQ(host.dialogRequests, 1);
  EXPECT_NE(host.Globals()->renderBuffer, nullptr);
  host.Call(FilterSelectorFinish);
  ExpectNothingLeft(host);
}

TEST(FilterRun, CancelledDialogCleansUpAndStillStoresTheDialogSize) {
  std::remove(TestRegistryPath().c_str());
  FakeHost host;
  UseRectanglePath(&host);
  host.dialogAnswer = 2;
  host.Call(FilterSelectorParameters);
  host.Call(FilterSelectorContinue);
  host.Globals()->dialogWidth = 812;
  host.Globals()->dialogHeight = 555;
  EXPECT_EQ(host.Call(FilterSelectorStart), HostUserCanceledErr);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.Style()->showDialog, 0);
  ExpectNothingLeft(host);
  const std::string registry = RegistryText();
  EXPECT_NE(registry.find("Dialog Width=812"), std::string::npos) << registry;
  EXPECT_NE(registry.find("Dialog Height=555"), std::string::npos) << registry;
}

TEST(FilterRun, DialogSizeIsReadFromTheRegistry) {
  FakeHost host;
  UseRectanglePath(&host);
  host.Call(FilterSelectorContinue);
  host.Globals()->dialogWidth = 700;
  host.Globals()->dialogHeight = 600;
  std::ofstream(TestRegistryPath()) << "[Software\\Glintmark\\Bevel Forge\\1.0]\nDialog Width=900\n";
  ASSERT_EQ(host.Call(FilterSelectorStart), 0);
  EXPECT_EQ(host.Globals()->dialogWidth, 900);
  EXPECT_EQ(host.Globals()->dialogHeight, 600) << "a missing value leaves the current one";
  host.Call(FilterSelectorFinish);
}

TEST(FilterRun, SubpathsOfOneKnotAreAnInvalidPath) {
  FakeHost host;
  AppendPolygonPath(&host.pathData, {{100, 100}}, Width, Height);
  AppendPolygonPath(&host.pathData, {{200, 100}}, Width, Height);
  EXPECT_EQ(host.Call(FilterSelectorStart), 2);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "This path is invalid.");
  ExpectNothingLeft(host);
}

TEST(FilterRun, RunAfterAnUnfinishedRunStartsFresh) {
  FakeHost host;
  UseRectanglePath(&host);
  ASSERT_EQ(host.Call(FilterSelectorStart), 0);
  ASSERT_EQ(host.Call(FilterSelectorStart), 0);
  EXPECT_EQ(host.liveBuffers.size(), 1u) << "the earlier render buffer is replaced, not leaked";
  host.Call(FilterSelectorFinish);
  ExpectNothingLeft(host);
}

TEST(FilterRun, FinishWithoutARunReleasesNothingAndSucceeds) {
  FakeHost host;
  EXPECT_EQ(host.Call(FilterSelectorFinish), 0);
  ExpectNothingLeft(host);
}

// Runs parameters and start with allocation `failAt` of the start failing
// (and, with failAllAfter, every later one too).
void FailingStart(int64_t failAt, bool failAllAfter, int64_t* allocationsSeen) {
  FakeHost host;
  UseRectanglePath(&host);
  ASSERT_EQ(host.Call(FilterSelectorParameters), 0);
  host.failAt = failAt;
  host.failAllAfter = failAllAfter;
  const int16_t result = host.Call(FilterSelectorStart);
  *allocationsSeen = host.allocations;
  if (failAt == 0) {
    EXPECT_EQ(result, 0);
    host.Call(FilterSelectorFinish);
    ExpectNothingLeft(host);
    return;
  }
  EXPECT_EQ(result, HostMemFullErr) << "allocation " << failAt;
  EXPECT_TRUE(host.messages.empty());
  ExpectNothingLeft(host);
  host.failAt = 0;
  EXPECT_EQ(host.Call(FilterSelectorFinish), 0);
  ExpectNothingLeft(host);
}

TEST(FilterRun, EveryAllocationOfARunMayFail) {
  int64_t total = 0;
  FailingStart(0, false, &total);
  ASSERT_GT(total, 3);
  RecordProperty("allocations", std::to_string(total));
  for (int64_t failAt = 1; failAt <= total; ++failAt) {
    SCOPED_TRACE("allocation " + std::to_string(failAt) + " of " + std::to_string(total));
    int64_t seen = 0;
    FailingStart(failAt, false, &seen);
    FailingStart(failAt, true, &seen);
    if (HasFatalFailure()) return;
  }
}
}  // namespace
