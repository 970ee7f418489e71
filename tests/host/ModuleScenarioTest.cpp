// The real filter module in our host: the protocol cases every host relies on
// (unusable records, unknown selectors, message codes with their texts and
// icons, allocation failures, refused suites) and a fault sweep over a whole
// run. The module is staged into a folder of its own for every session, so
// that the settings it keeps next to itself start afresh.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/FilterHost.h"

#if defined(BF_MODULE_PATH)

namespace {

constexpr int32_t DocW = 64, DocH = 48;  // pixels
constexpr uint8_t DocFill = 128;

const char* const kNoPaths = "No paths available. Please create a path";
const char* const kNoTarget = "No target path available. Please select a path";
const char* const kInvalidPath = "This path is invalid.";
const char* const kLocked =
    "Bevel Forge requires editable transparency. Please unlock transparent pixels in the Layer palette";

std::string StageFolder() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return (std::filesystem::path(testing::TempDir()) / "bfhost-stage" /
          (std::string(info->test_suite_name()) + "." + info->name()))
      .string();
}

std::string StagedModule() {
  const std::string folder = StageFolder();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::string error;
  std::string path = StageModuleCopy(BF_MODULE_PATH, folder.c_str(), &error);
  EXPECT_FALSE(path.empty()) << error;
  return path;
}

HostDocument RectanglePathDocument(LayerKind layer) {
  HostDocument d = MakeDocument(DocW, DocH, ModeRGBColor, layer, DocFill);
  std::vector<uint8_t> path;
  AppendPathRecord(path, PathFillRule);
  AppendPolygonSubpath(path, {{12, 10}, {52, 10}, {52, 38}, {12, 38}}, DocW, DocH);
  d.paths.push_back(path);
  d.targetPath = 0;
  return d;
}

struct Session {
  FilterHost* host = nullptr;
  explicit Session(const HostDocument& document) {
    std::string error;
    host = OpenFilterHost(StagedModule().c_str(), &error);
    EXPECT_NE(host, nullptr) << error;
    if (host) SetHostDocument(host, document);
  }
  ~Session() { CloseFilterHost(host); }
};

// Nothing of the module's is left in the host beyond what it keeps by design.
void ExpectClean(const RunReport& r) {
  EXPECT_EQ(r.strayHandles, 0);
  EXPECT_EQ(r.liveBuffers, 0);
  EXPECT_EQ(r.liveSuiteBuffers, 0);
  EXPECT_EQ(r.liveBasicBlocks, 0);
  EXPECT_EQ(r.livePorts, 0);
  EXPECT_TRUE(r.suitesBalanced);
  EXPECT_EQ(r.misuse, 0) << (r.misuseNotes.empty() ? "" : r.misuseNotes[0]);
}

void ExpectOneMessage(const RunReport& r, const char* text, MessageIcon icon) {
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].text, text);
  EXPECT_EQ(r.messages[0].icon, icon);
  EXPECT_FALSE(r.messages[0].hasCaption);  // the system's default caption
  EXPECT_FALSE(r.messages[0].fromAlertSuite);
}

}  // namespace

TEST(ModuleScenario, AboutIgnoresAnUnusableRecord) {
  Session s(RectanglePathDocument(LayerKind::Flat));
  ASSERT_NE(s.host, nullptr);
  HostOptions& o = HostOptionsOf(s.host);
  o.omitDisplayPixels = o.omitDocumentInfo = o.omitHandleProcs = o.omitPropertyProcs = true;
  RunReport r = RunAbout(s.host);
  EXPECT_EQ(r.finalResult, 0);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(HostDataSlot(s.host), 0);  // no globals for About
}

TEST(ModuleScenario, UnusableRecordsFailEverySelector) {
  struct Omission {
    const char* what;
    void (*apply)(HostOptions&);
  };
  const Omission omissions[] = {
      {"displayPixels", [](HostOptions& o) { o.omitDisplayPixels = true; }},
      {"documentInfo", [](HostOptions& o) { o.omitDocumentInfo = true; }},
      {"merged channels", [](HostOptions& o) { o.omitMergedChannels = true; }},
      {"handleProcs", [](HostOptions& o) { o.omitHandleProcs = true; }},
      {"five handle procs", [](HostOptions& o) { o.handleProcsCount = 5; }},
      {"propertyProcs", [](HostOptions& o) { o.omitPropertyProcs = true; }},
      {"suite broker", [](HostOptions& o) { o.omitBasicSuite = true; }},
  };
  for (const Omission& omission : omissions) {
    Session s(RectanglePathDocument(LayerKind::Flat));
    ASSERT_NE(s.host, nullptr);
    omission.apply(HostOptionsOf(s.host));
    for (int16_t selector = 1; selector <= 5; ++selector) {
      RunReport r = CallSelector(s.host, selector);
      EXPECT_EQ(r.finalResult, HostErrPlugInHostInsufficient) << omission.what << " selector " << selector;
      EXPECT_TRUE(r.messages.empty());
      EXPECT_EQ(r.liveHandles, 0) << omission.what;
    }
  }
}

TEST(ModuleScenario, UnknownSelectorAndContinue) {
  Session s(RectanglePathDocument(LayerKind::Flat));
  ASSERT_NE(s.host, nullptr);
  RunReport six = CallSelector(s.host, 6);
  EXPECT_EQ(six.finalResult, HostFilterBadParameters);
  EXPECT_TRUE(six.messages.empty());
  ExpectClean(six);
  RunReport four = CallSelector(s.host, FilterSelectorContinue);
  EXPECT_EQ(four.finalResult, 0);
  EXPECT_TRUE(four.messages.empty());
  ExpectClean(four);
}

TEST(ModuleScenario, ParametersKeepAnExistingBlock) {
  Session s(RectanglePathDocument(LayerKind::Flat));
  ASSERT_NE(s.host, nullptr);
  RunReport first = CallSelector(s.host, FilterSelectorParameters);
  EXPECT_EQ(first.finalResult, 0);
  EXPECT_TRUE(HostHasParameters(s.host));
  RunReport second = CallSelector(s.host, FilterSelectorParameters);
  EXPECT_EQ(second.finalResult, 0);
  EXPECT_EQ(second.handleAllocations, 0);
  EXPECT_TRUE(second.messages.empty());
}

TEST(ModuleScenario, NoPathsShowsItsMessage) {
  Session s(MakeDocument(DocW, DocH, ModeRGBColor, LayerKind::Flat, DocFill));
  ASSERT_NE(s.host, nullptr);
  RunReport r = RunMenu(s.host);
  EXPECT_EQ(r.finalResult, 3);
  ExpectOneMessage(r, kNoPaths, MessageIcon::Exclamation);
  EXPECT_EQ(r.messages[0].selector, FilterSelectorStart);
  EXPECT_EQ(r.pathReads, 0);
  ExpectClean(r);
}

TEST(ModuleScenario, NoPathsWhenTheQueryFails) {
  Session s(RectanglePathDocument(LayerKind::Flat));
  ASSERT_NE(s.host, nullptr);
  HostOptionsOf(s.host).failedProperties.push_back({PropNumberOfPaths, HostErrPlugInPropertyUndefined});
  RunReport r = RunMenu(s.host);
  EXPECT_EQ(r.finalResult, 3);
  ExpectOneMessage(r, kNoPaths, MessageIcon::Exclamation);
  ExpectClean(r);
}

TEST(ModuleScenario, NoTargetPath) {
  HostDocument d = RectanglePathDocument(LayerKind::Flat);
  d.targetPath = -1;
  Session s(d);
  ASSERT_NE(s.host, nullptr);
  RunReport r = RunMenu(s.host);
  EXPECT_EQ(r.finalResult, 4);
  ExpectOneMessage(r, kNoTarget, MessageIcon::Exclamation);
  EXPECT_EQ(r.pathReads, 0);
  ExpectClean(r);
}

TEST(ModuleScenario, LockedTransparencyReadsNoPath) {
  const HostDocument d = RectanglePathDocument(LayerKind::LockedTransparency);
  Session s(d);
  ASSERT_NE(s.host, nullptr);
  RunReport r = RunMenu(s.host);
  EXPECT_EQ(r.finalResult, 5);
  ExpectOneMessage(r, kLocked, MessageIcon::Stop);
  EXPECT_EQ(r.pathReads, 0);
  EXPECT_EQ(r.documentChecksum, DocumentChecksum(d));
  ExpectClean(r);
}

TEST(ModuleScenario, PathOfSingleKnotSubpathsIsInvalid) {
  HostDocument d = MakeDocument(DocW, DocH, ModeRGBColor, LayerKind::Flat, DocFill);
  std::vector<uint8_t> path;
  AppendPolygonSubpath(path, {{10, 10}}, DocW, DocH);
  AppendPolygonSubpath(path, {{30, 20}}, DocW, DocH, false);
  d.paths.push_back(path);
  d.targetPath = 0;
  Session s(d);
  ASSERT_NE(s.host, nullptr);
  RunReport r = RunMenu(s.host);
  if (r.pathReads == 0) GTEST_SKIP() << "the module does not read paths yet";
  EXPECT_EQ(r.finalResult, 2);
  ExpectOneMessage(r, kInvalidPath, MessageIcon::Stop);
  EXPECT_EQ(r.documentChecksum, DocumentChecksum(d));
  ExpectClean(r);
}

TEST(ModuleScenario, GlobalsAndParameterBlockAllocationFailures) {
  {
    Session s(RectanglePathDocument(LayerKind::Flat));
    ASSERT_NE(s.host, nullptr);
    HostOptions& o = HostOptionsOf(s.host);
    o.failKinds = AllocHandle;
    o.failAllocationAt = 1;  // the run globals
    RunReport r = RunMenu(s.host);
    EXPECT_EQ(r.finalResult, HostMemFullErr);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(HostDataSlot(s.host), 0);
    ExpectClean(r);
  }
  {
    Session s(RectanglePathDocument(LayerKind::Flat));
    ASSERT_NE(s.host, nullptr);
    CallSelector(s.host, FilterSelectorContinue);  // makes the run globals only
    ASSERT_FALSE(HostHasParameters(s.host));
    HostOptions& o = HostOptionsOf(s.host);
    o.failKinds = AllocHandle;
    o.failAllocationAt = 1;  // now the first handle is the parameter block
    RunReport r = RunMenu(s.host);
    EXPECT_EQ(r.finalResult, HostMemFullErr);
    EXPECT_EQ(r.calls.size(), 1u);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_FALSE(HostHasParameters(s.host));
    ExpectClean(r);
    // The same failure on the repeat path (prepare makes the block there).
    RunReport repeat = RunRepeat(s.host);
    EXPECT_EQ(repeat.finalResult, HostMemFullErr);
    EXPECT_TRUE(repeat.messages.empty());
  }
}

TEST(ModuleScenario, RefusedSuiteLeavesTheNextCallClean) {
  const char* const suites[] = {"ADM Basic Suite", "ADM Dialog Suite", "Photoshop GetPath Suite for Plug-ins",
                                "Photoshop Buffer Suite for Plug-ins", "Photoshop ChannelPorts Suite for Plug-ins"};
  for (const char* suite : suites) {
    Session s(MakeDocument(DocW, DocH, ModeRGBColor, LayerKind::Flat, DocFill));
    ASSERT_NE(s.host, nullptr);
    HostOptionsOf(s.host).refusedSuites.push_back(suite);
    RunReport refused = CallSelector(s.host, FilterSelectorParameters);
    EXPECT_EQ(refused.finalResult, HostErrPlugInHostInsufficient) << suite;
    EXPECT_TRUE(refused.suitesBalanced) << suite;
    const bool admHeld = std::string(suite) != "ADM Basic Suite";
    ASSERT_EQ(refused.messages.size(), admHeld ? 1u : 0u) << suite;
    if (admHeld) {
      EXPECT_TRUE(refused.messages[0].fromAlertSuite);
      EXPECT_NE(refused.messages[0].text.find(suite), std::string::npos);
    }
    HostOptionsOf(s.host).refusedSuites.clear();
    // The use count went back to 0: the next call acquires and releases everything again.
    RunReport next = RunMenu(s.host);
    EXPECT_EQ(next.finalResult, 3) << suite;
    EXPECT_TRUE(next.suitesBalanced);
    for (const SuiteBalance& b : next.suites) {
      EXPECT_EQ(b.acquired, int32_t(next.calls.size())) << b.name;
      EXPECT_EQ(b.released, b.acquired) << b.name;
    }
    ExpectClean(next);
  }
}

TEST(ModuleScenario, PathRunAndRepeatLeaveNothingBehind) {
  Session s(RectanglePathDocument(LayerKind::Flat));
  ASSERT_NE(s.host, nullptr);
  RunReport menu = RunMenu(s.host);
  EXPECT_EQ(menu.finalResult, 0);
  EXPECT_TRUE(menu.messages.empty());
  ExpectClean(menu);
  RunReport repeat = RunRepeat(s.host);
  EXPECT_EQ(repeat.finalResult, 0);
  EXPECT_EQ(repeat.dialogRequests, 0);  // no dialog on a repeat
  ExpectClean(repeat);
}

TEST(ModuleScenario, ShortRecordIsEnough) {
  Session s(RectanglePathDocument(LayerKind::EditableTransparency));
  ASSERT_NE(s.host, nullptr);
  HostOptionsOf(s.host).shortRecord = true;
  RunReport r = RunMenu(s.host);
  EXPECT_EQ(r.finalResult, 0);
  ExpectClean(r);
}

// Fails every allocation of a whole run in turn, each in a fresh session.
void SweepRun(const HostDocument& document, bool repeat) {
  const std::string folder = StageFolder();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::string error;
  const std::string module = StageModuleCopy(BF_MODULE_PATH, folder.c_str(), &error);
  ASSERT_FALSE(module.empty()) << error;
  std::vector<FaultSweepStep> steps;
  ASSERT_TRUE(RunFaultSweep(module.c_str(), document, HostOptions{}, repeat, &steps, &error, [&] {
    std::filesystem::remove(std::filesystem::path(folder) / "default.dfs", ignored);
  })) << error;
  ASSERT_FALSE(steps.empty());
  const RunReport& clean = steps[0].report;
  ASSERT_EQ(clean.finalResult, 0);
  ExpectClean(clean);
  for (size_t i = 1; i < steps.size(); ++i) {
    const RunReport& r = steps[i].report;
    SCOPED_TRACE("allocation " + std::to_string(steps[i].failAt) + ": " + SummarizeReport(r));
    EXPECT_EQ(r.failedAllocations, 1);
    // Either the run failed for want of memory, silently, or the allocation was
    // one the module can do without and the run completed.
    if (r.finalResult != 0) {
      EXPECT_EQ(r.finalResult, HostMemFullErr);
      EXPECT_TRUE(r.messages.empty());
    } else {
      EXPECT_EQ(r.calls.back().selector, FilterSelectorFinish);
    }
    ExpectClean(r);
  }
}

TEST(ModuleScenario, FaultSweepOverAMenuRun) { SweepRun(RectanglePathDocument(LayerKind::Flat), false); }

TEST(ModuleScenario, FaultSweepOverARepeatRunOnALayer) {
  SweepRun(RectanglePathDocument(LayerKind::EditableTransparency), true);
}

#else

TEST(ModuleScenario, NeedsTheModule) { GTEST_SKIP() << "this build has no filter module"; }

#endif
