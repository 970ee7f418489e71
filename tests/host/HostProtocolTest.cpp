// The host's side of the protocol: selector sequences of the run operations,
// the record's contents, the suite broker, properties, display and colour.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ScriptedHost.h"

namespace {

std::vector<int16_t> Selectors(const RunReport& r) {
  std::vector<int16_t> out;
  for (const SelectorCall& c : r.calls) out.push_back(c.selector);
  return out;
}

const char* const kModuleSuites[][2] = {
    {"ADM Basic Suite", "4"},        {"ADM Dialog Suite", "4"},   {"ADM Item Suite", "4"},
    {"ADM Icon Suite", "1"},         {"ADM Notifier Suite", "1"}, {"ADM Drawer Suite", "3"},
    {"ADM Tracker Suite", "1"},      {"ADM Entry Suite", "2"},    {"ADM List Suite", "1"},
    {"SP Blocks Suite", "2"},        {"Photoshop GetPath Suite for Plug-ins", "1"},
    {kPSBufferSuite, "1"},           {kPSChannelPortsSuite, "2"}};

}  // namespace

TEST(HostProtocol, MenuRunCallsOneToFiveAndContinuesWhileAsked) {
  int continues = 0;
  ScriptedHost s([&](int16_t selector, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    if (selector == FilterSelectorStart) r->inRect = Rect{0, 0, 1, 1};
    if (selector == FilterSelectorContinue && ++continues == 2) r->inRect = Rect{0, 0, 0, 0};
  });
  RunReport r = RunMenu(s.host);
  EXPECT_EQ(Selectors(r), (std::vector<int16_t>{1, 2, 3, 4, 4, 5}));
  EXPECT_EQ(r.finalResult, 0);
}

TEST(HostProtocol, RunStopsAtTheFirstErrorWithoutFinish) {
  ScriptedHost s([&](int16_t selector, void*, intptr_t*, int16_t* result) {
    if (selector == FilterSelectorStart) *result = 3;
  });
  RunReport r = RunMenu(s.host);
  EXPECT_EQ(Selectors(r), (std::vector<int16_t>{1, 2, 3}));
  EXPECT_EQ(r.finalResult, 3);
  RunReport repeat = RunRepeat(s.host);
  EXPECT_EQ(Selectors(repeat), (std::vector<int16_t>{2, 3}));
}

TEST(HostProtocol, AboutGetsAnAboutRecordWithTheBroker) {
  ScriptedHost s([&](int16_t selector, void* record, intptr_t*, int16_t* result) {
    ASSERT_EQ(selector, FilterSelectorAbout);
    AboutRecord* about = static_cast<AboutRecord*>(record);
    EXPECT_NE(about->platformData, nullptr);
    EXPECT_NE(about->sSPBasic, nullptr);
    *result = 0;
  });
  EXPECT_EQ(RunAbout(s.host).finalResult, 0);
}

TEST(HostProtocol, RecordDescribesTheDocument) {
  struct Case {
    LayerKind layer;
    bool selection;
    int16_t filterCase;
  };
  const Case cases[] = {{LayerKind::Flat, false, 1},
                        {LayerKind::Flat, true, 2},
                        {LayerKind::Floating, false, 3},
                        {LayerKind::EditableTransparency, false, 4},
                        {LayerKind::EditableTransparency, true, 5},
                        {LayerKind::LockedTransparency, false, 6},
                        {LayerKind::LockedTransparency, true, 7}};
  for (const Case& c : cases) {
    HostDocument d = MakeDocument(20, 10, ModeRGBColor, c.layer, 7);
    d.hasSelection = c.selection;
    int16_t seenCase = 0;
    bool transparencyTargeted = false, hasTransparency = false;
    int targets = 0, merged = 0;
    ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
      FilterRecord* r = AsFilter(record);
      seenCase = r->filterCase;
      EXPECT_EQ(r->imageMode, ModeRGBColor);
      EXPECT_EQ(r->imageSize.h, 20);
      EXPECT_EQ(r->imageSize.v, 10);
      EXPECT_EQ(r->depth, 8);
      const ReadImageDocumentDesc* info = r->documentInfo;
      ASSERT_NE(info, nullptr);
      EXPECT_EQ(info->bounds.right, 20);
      for (const ReadChannelDesc* ch = info->targetCompositeChannels; ch; ch = ch->next) {
        targets += ch->target;
        EXPECT_NE(ch->writePort, nullptr);
        EXPECT_EQ(ch->bounds.bottom, 10);
        EXPECT_EQ(ch->depth, 8);
      }
      for (const ReadChannelDesc* ch = info->mergedCompositeChannels; ch; ch = ch->next) {
        ++merged;
        EXPECT_EQ(ch->writePort, nullptr);
      }
      hasTransparency = info->targetTransparency != nullptr;
      if (hasTransparency) transparencyTargeted = info->targetTransparency->target;
      EXPECT_EQ(info->selection != nullptr, c.selection);
    });
    SetHostDocument(s.host, d);
    CallSelector(s.host, FilterSelectorStart);
    EXPECT_EQ(seenCase, c.filterCase);
    EXPECT_EQ(targets, 3);
    EXPECT_EQ(merged, 3);
    EXPECT_EQ(hasTransparency, c.layer != LayerKind::Flat);
    EXPECT_EQ(transparencyTargeted, c.layer == LayerKind::EditableTransparency || c.layer == LayerKind::Floating);
  }
}

TEST(HostProtocol, OmissionsLeaveNullFieldsAndShortRecordsEndAtDepth) {
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    EXPECT_EQ(r->displayPixels, nullptr);
    EXPECT_EQ(r->documentInfo, nullptr);
    EXPECT_EQ(r->handleProcs->numHandleProcs, 5);
    EXPECT_EQ(r->depth, 8);  // the last field a short record has
  });
  HostOptions& o = HostOptionsOf(s.host);
  o.omitDisplayPixels = o.omitDocumentInfo = true;
  o.handleProcsCount = 5;
  o.shortRecord = true;
  CallSelector(s.host, FilterSelectorStart);
}

TEST(HostProtocol, BrokerOffersEveryModuleSuiteAndTracksBalance) {
  bool releaseAll = true;
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    for (const auto& suite : kModuleSuites) {
      const void* table = nullptr;
      EXPECT_EQ(r->sSPBasic->AcquireSuite(suite[0], std::stoi(suite[1]), &table), 0) << suite[0];
      EXPECT_NE(table, nullptr);
    }
    const void* missing = reinterpret_cast<const void*>(1);
    EXPECT_EQ(r->sSPBasic->AcquireSuite("No Such Suite", 1, &missing), kSPSuiteNotFoundError);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(r->sSPBasic->AcquireSuite(kPSBufferSuite, 9, &missing), kSPSuiteNotFoundError);
    for (const auto& suite : kModuleSuites) {
      if (releaseAll || std::string(suite[0]) != kPSBufferSuite) {
        EXPECT_EQ(r->sSPBasic->ReleaseSuite(suite[0], std::stoi(suite[1])), 0);
      }
    }
  });
  RunReport balanced = CallSelector(s.host, FilterSelectorStart);
  EXPECT_TRUE(balanced.suitesBalanced);
  EXPECT_EQ(balanced.misuse, 0);
  releaseAll = false;
  RunReport unbalanced = CallSelector(s.host, FilterSelectorStart);
  EXPECT_FALSE(unbalanced.suitesBalanced);
}

TEST(HostProtocol, RefusedSuiteAndAdmAlert) {
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    const ADMBasicSuite4* adm = Acquire<ADMBasicSuite4>(r, kADMBasicSuite, 4);
    ASSERT_NE(adm, nullptr);
    const void* table = nullptr;
    EXPECT_EQ(r->sSPBasic->AcquireSuite(kPSChannelPortsSuite, 2, &table), kSPSuiteNotFoundError);
    adm->ErrorAlert("suite missing");
    r->sSPBasic->ReleaseSuite(kADMBasicSuite, 4);
  });
  HostOptionsOf(s.host).refusedSuites.push_back(kPSChannelPortsSuite);
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_TRUE(r.messages[0].fromAlertSuite);
  EXPECT_EQ(r.messages[0].text, "suite missing");
  EXPECT_TRUE(r.suitesBalanced);
  bool found = false;
  for (const SuiteBalance& b : r.suites)
    if (b.name == kPSChannelPortsSuite) found = b.refused == 1 && b.acquired == 0;
  EXPECT_TRUE(found);
}

TEST(HostProtocol, PropertiesAnswerPathsAndHandOverCopies) {
  HostDocument d = MakeDocument(8, 8, ModeGrayScale, LayerKind::Flat, 0);
  std::vector<uint8_t> path;
  AppendPolygonSubpath(path, {{1, 1}, {6, 1}, {6, 6}}, 8, 8);
  d.paths = {path, std::vector<uint8_t>(5, 0xEE)};
  d.targetPath = 1;
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    GetPropertyProc get = r->propertyProcs->getPropertyProc;
    intptr_t simple = -5;
    EXPECT_EQ(get(PropertySignature, PropNumberOfPaths, 0, &simple, nullptr), 0);
    EXPECT_EQ(simple, 2);
    EXPECT_EQ(get(PropertySignature, PropTargetPathIndex, 0, &simple, nullptr), 0);
    EXPECT_EQ(simple, 1);
    Handle h = nullptr;
    EXPECT_EQ(get(PropertySignature, PropPathContents, 0, nullptr, &h), 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(r->handleProcs->getSizeProc(h), int32_t(path.size()));
    EXPECT_EQ(std::memcmp(*h, path.data(), path.size()), 0);
    r->handleProcs->disposeProc(h);
    EXPECT_EQ(get(PropertySignature, PropPathContents, 7, nullptr, &h), HostErrPlugInPropertyUndefined);
    EXPECT_EQ(get(PropertySignature, FourCharCode("what"), 0, &simple, nullptr), HostErrPlugInPropertyUndefined);
  });
  SetHostDocument(s.host, d);
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(r.pathReads, 2);
  EXPECT_EQ(r.strayHandles, 0);
}

TEST(HostProtocol, PropertyFaultsAndPathHandleAllocationFailure) {
  HostDocument d = MakeDocument(8, 8, ModeGrayScale, LayerKind::Flat, 0);
  d.paths = {std::vector<uint8_t>(26, 0)};
  d.targetPath = 0;
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    GetPropertyProc get = r->propertyProcs->getPropertyProc;
    intptr_t simple = 0;
    EXPECT_EQ(get(PropertySignature, PropNumberOfPaths, 0, &simple, nullptr), -30901);
    Handle h = reinterpret_cast<Handle>(1);
    EXPECT_EQ(get(PropertySignature, PropPathContents, 0, nullptr, &h), HostMemFullErr);
    EXPECT_EQ(h, nullptr);
  });
  SetHostDocument(s.host, d);
  HostOptionsOf(s.host).failedProperties.push_back({PropNumberOfPaths, -30901});
  HostOptionsOf(s.host).failAllocationAt = 1;
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(r.failedAllocations, 1);
  EXPECT_EQ(r.propertyQueries.size(), 2u);
}

TEST(HostProtocol, DisplayPixelsChecksAndReadsTheMap) {
  const int32_t w = 5, h = 4;
  std::vector<uint8_t> planes(size_t(w * h * 3), 9);
  std::vector<uint8_t> mask(size_t(w * h), 200);
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    PSPixelMask m{nullptr, mask.data(), w, 1, 0};
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, h, w};
    map.imageMode = ModeRGBColor;
    map.rowBytes = w;
    map.colBytes = 1;
    map.planeBytes = w * h;
    map.baseAddr = planes.data();
    map.masks = &m;
    EXPECT_EQ(r->displayPixels(&map, &map.bounds, 3, 4, nullptr), 0);
    map.rowBytes = w - 1;
    EXPECT_NE(r->displayPixels(&map, &map.bounds, 0, 0, nullptr), 0);
    map.rowBytes = w;
    map.imageMode = ModeGrayScale;
    EXPECT_NE(r->displayPixels(&map, &map.bounds, 0, 0, nullptr), 0);
    EXPECT_NE(r->displayPixels(nullptr, nullptr, 0, 0, nullptr), 0);
  });
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  ASSERT_EQ(r.displayCalls.size(), 4u);
  EXPECT_TRUE(r.displayCalls[0].valid);
  EXPECT_EQ(r.displayCalls[0].dstRow, 3);
  EXPECT_FALSE(r.displayCalls[1].valid);
  EXPECT_FALSE(r.displayCalls[2].valid);
  EXPECT_FALSE(r.displayCalls[3].valid);
}

TEST(HostProtocol, ColourPickerAnswersOrCancels) {
  OSErr answers[2] = {0, 0};
  int16_t red = 0;
  int call = 0;
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    ColorServicesInfo info{};
    info.infoSize = sizeof info;
    info.selector = ColorServicesChooseColor;
    answers[call] = AsFilter(record)->colorServices(&info);
    if (call == 0) red = info.colorComponents[0];
    ++call;
  });
  HostOptionsOf(s.host).pickedColor[0] = 77;
  CallSelector(s.host, FilterSelectorStart);
  HostOptionsOf(s.host).colorPickerCancels = true;
  CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(answers[0], 0);
  EXPECT_EQ(red, 77);
  EXPECT_EQ(answers[1], HostUserCanceledErr);
}

TEST(HostProtocol, AbortAndProgressAreCounted) {
  std::vector<Boolean> aborts;
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    for (int i = 0; i < 3; ++i) aborts.push_back(r->abortProc());
    r->progressProc(1, 2);
    r->progressProc(3, 2);  // out of range
  });
  HostOptionsOf(s.host).abortAfterQueries = 2;
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(aborts, (std::vector<Boolean>{0, 0, 1}));
  EXPECT_EQ(r.progressCalls, 2);
  EXPECT_EQ(r.misuse, 1);
}

TEST(HostProtocol, PathRecordsAreBigEndian) {
  std::vector<uint8_t> path;
  AppendPathLengthRecord(path, PathClosedLength, 0x0102);
  AppendPathKnot(path, PathClosedKnotLinked, PathPoint{0x01020304, -1}, PathPoint{0, 0x00800000},
                 PathPoint{0x7FFFFFFF, 0});
  ASSERT_EQ(path.size(), 52u);
  EXPECT_EQ(path[0], 0);
  EXPECT_EQ(path[1], 0);
  EXPECT_EQ(path[2], 1);
  EXPECT_EQ(path[3], 2);
  EXPECT_EQ(path[27], 1);  // knot selector
  EXPECT_EQ(path[28], 1);
  EXPECT_EQ(path[31], 4);
  EXPECT_EQ(path[32], 0xFF);  // -1 horizontal
  EXPECT_EQ(path[41], 0x80);  // 0x00800000 anchor horizontal, second byte
  EXPECT_EQ(PathUnits(32, 64), 0x00800000);
  EXPECT_EQ(PathUnits(64, 64), 0x01000000);
}
