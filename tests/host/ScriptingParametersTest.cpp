// The style through our host's descriptor procedures: random styles recorded
// and played back, the keys and types the host sees, pinning and decoding of
// single values, incomplete and wrongly typed descriptors, recordings of
// earlier builds, and every allocation failing in turn.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "maps/MapImage.h"
#include "style/NameOnlyImages.h"
#include "style/ScriptingKeys.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/DescriptorSupport.h"
#include "tests/support/StyleSupport.h"

namespace {
namespace fs = std::filesystem;

std::vector<std::string> ImageFiles(const std::string& mapsFolder) {
  fs::create_directories(mapsFolder);
  std::vector<std::string> names;
  for (const char* name : {"granite.tif", "clouds.tif"}) {
    names.push_back(mapsFolder + name);
    std::ofstream(names.back()) << "x";
  }
  return names;
}

std::string KeyText(DescriptorKeyID key) {
  return {char(key >> 24), char(key >> 16), char(key >> 8), char(key)};
}

TEST(ScriptingParameters, RandomStylesRecordAndPlayBack) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  io.mapsFolder = (fs::path(testing::TempDir()) / "script-maps").string() + "/";
  const std::vector<std::string> images = ImageFiles(io.mapsFolder);
  DescriptorBench bench;
  std::mt19937 rng(53);
  for (int trial = 0; trial < 100; ++trial) {
    SCOPED_TRACE(trial);
    StyleRecord style = RandomStyle(rng);
    AddRandomLayers(&style, rng, trial % 5, images, &io.cache);
    if (trial % 2) style.reflectionImage = LoadNameOnlyImage(&io.cache, images[0].c_str(), 0);
    int32_t ok = 0;
    const DescriptorStore store = bench.Write(style, io.Io(), &ok);
    ASSERT_EQ(ok, 1);
    // The host sees every key with its type, in table order; the name only with a reflection.
    std::string keys;
    for (const DescriptorItem& item : store.items) keys += KeyText(item.key) + ":" + KeyText(item.type) + " ";
    EXPECT_EQ(keys,
              "ieSZ:long ieDP:long ieML:long ieFL:long oeSZ:long oeDP:long oeML:long oeFL:long "
              "l1CL:long l1PX:doub l1PY:doub l1PZ:doub l2CL:long l2PX:doub l2PY:doub l2PZ:doub "
              "l3CL:long l3PX:doub l3PY:doub l3PZ:doub amCL:long m1CL:long m1Dt:long m1LK:long "
              "m2CL:long m2Dt:long m2LK:long m3CL:long m3Dt:long m3LK:long flgS:long rndR:long " +
                  std::string(style.reflectionImage ? "rfMP:str  " : "") + "maPS:TEXT ");
    for (int16_t play : {PlayDisplay, PlayDontDisplay}) {
      StyleRecord read = RandomStyle(rng);
      RunReport report;
      EXPECT_EQ(bench.Read(&store, play, &read, io.Io(), &report), 1);  // complete, reflection or not
      EXPECT_EQ(report.descriptorKeysAsked.size(), ExpectedKeyCount);
      EXPECT_EQ(report.strayHandles, 0);
      read.ambientReserved = style.ambientReserved;  // no key carries it
      EXPECT_EQ(StoredFields(read), StoredFields(style));
      EXPECT_EQ(read.viewFlags, style.viewFlags);
      EXPECT_EQ(read.renderMode, style.renderMode);
      EXPECT_EQ(read.showDialog, play == PlayDisplay ? 1 : 0);
      ReleaseLayers(&read);
    }
    ReleaseLayers(&style);
  }
}

DescriptorItem Integer(const char (&key)[5], int32_t value) {
  DescriptorItem item;
  item.key = FourCharCode(key);
  item.type = TypeInteger;
  item.integer = value;
  return item;
}

// A complete recording of the default style, to edit.
DescriptorStore DefaultRecording(DescriptorBench* bench, const StyleIo& io) {
  StyleRecord style{};
  SetDefaultStyle(&style);
  return bench->Write(style, io);
}

void Replace(DescriptorStore* store, const DescriptorItem& item) {
  for (DescriptorItem& existing : store->items)
    if (existing.key == item.key) existing = item;
}

TEST(ScriptingParameters, ValuesArePinnedAndDecoded) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  DescriptorBench bench;
  DescriptorStore store = DefaultRecording(&bench, io.Io());
  Replace(&store, Integer("oeSZ", 400));
  Replace(&store, Integer("ieDP", -3));
  Replace(&store, Integer("oeML", 1 << 30));
  Replace(&store, Integer("amCL", 0x12FF8000));
  Replace(&store, Integer("m1LK", 9));
  Replace(&store, Integer("m2LK", -9));
  Replace(&store, Integer("m3Dt", 0x7F030201));
  Replace(&store, Integer("ieFL", 0x12345));
  Replace(&store, Integer("l2CL", 0x00FF8000));
  StyleRecord read{};
  SetDefaultStyle(&read);
  ASSERT_EQ(bench.Read(&store, PlayDontDisplay, &read, io.Io()), 1);
  EXPECT_EQ(read.bevels[OuterBevelSetting].size, 250);
  EXPECT_EQ(read.bevels[InnerBevelSetting].depth, 0);
  EXPECT_EQ(read.bevels[OuterBevelSetting].miterLimit, 2500);
  EXPECT_EQ(read.bevels[InnerBevelSetting].bevelFlags, 0x2345);
  EXPECT_EQ(read.ambientColor[0], 255);
  EXPECT_EQ(read.ambientColor[1], 128);
  EXPECT_EQ(read.ambientColor[2], 0);
  EXPECT_EQ(read.materialLinks[MainElement], 2);  // pinned to 2, then the cycle 0 -> 2 -> 1 -> 0 is broken
  EXPECT_EQ(read.materialLinks[InnerBevelElement], -1);
  EXPECT_EQ(read.materials[OuterBevelElement].shininess, 1);
  EXPECT_EQ(read.materials[OuterBevelElement].shinStrength, 2);
  EXPECT_EQ(read.materials[OuterBevelElement].reflectivity, 3);
  EXPECT_FLOAT_EQ(read.lights[1].colorGreen, 128.0f / 255.0f);
}

TEST(ScriptingParameters, IncompleteOrWronglyTypedDescriptors) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  DescriptorBench bench;
  const DescriptorStore full = DefaultRecording(&bench, io.Io());
  StyleRecord before{};
  SetDefaultStyle(&before);
  before.bevels[0].size = 33;

  // No descriptor at all: nothing read, the dialog is shown.
  StyleRecord read = before;
  read.showDialog = 0;
  EXPECT_EQ(bench.Read(nullptr, PlayDontDisplay, &read, io.Io()), 0);
  EXPECT_EQ(read.showDialog, 0);  // the play information decides
  EXPECT_EQ(read.bevels[0].size, 33);

  // A key left out: incomplete (the run then reads the last-used file), values read kept.
  DescriptorStore partial = full;
  partial.items.erase(partial.items.begin() + 4);  // oeSZ
  read = before;
  EXPECT_EQ(bench.Read(&partial, PlayDisplay, &read, io.Io()), 0);
  EXPECT_EQ(read.bevels[0].size, 10);
  EXPECT_EQ(read.showDialog, 1);

  // Every value of another type: all keys present, none taken.
  DescriptorStore wrong = full;
  for (DescriptorItem& item : wrong.items) {
    item.type = item.type == TypeInteger ? TypeFloat : TypeInteger;
    item.number = 1e9;
    item.integer = 77;
  }
  read = before;
  RunReport report;
  EXPECT_EQ(bench.Read(&wrong, PlayDontDisplay, &read, io.Io(), &report), 1);
  EXPECT_EQ(StoredFields(read), StoredFields(before));
  EXPECT_EQ(report.strayHandles, 0);
  EXPECT_EQ(report.misuse, 0);
}

// Recordings made before names were length-prefixed hold the plain bytes.
TEST(ScriptingParameters, ReflectionNamesInBothStringForms) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  io.mapsFolder = (fs::path(testing::TempDir()) / "script-maps-names").string() + "/";
  const std::vector<std::string> images = ImageFiles(io.mapsFolder);
  DescriptorBench bench;
  const DescriptorStore full = DefaultRecording(&bench, io.Io());
  for (const std::string& bytes : {std::string("\x0Bgranite.tif", 12), std::string("granite.tif\0", 12),
                                   images[1] + std::string(1, '\0')}) {
    DescriptorStore store = full;
    DescriptorItem name;
    name.key = FourCharCode("rfMP");
    name.type = TypeString;
    name.bytes.assign(bytes.begin(), bytes.end());
    store.items.push_back(name);
    StyleRecord read{};
    SetDefaultStyle(&read);
    ASSERT_EQ(bench.Read(&store, PlayDontDisplay, &read, io.Io()), 1);
    ASSERT_NE(read.reflectionImage, nullptr) << bytes;
    EXPECT_EQ(std::string(read.reflectionImage->name), bytes[0] == '/' ? images[1] : images[0]);
  }
}

TEST(ScriptingParametersFaults, EveryAllocationFailure) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  io.mapsFolder = (fs::path(testing::TempDir()) / "script-maps-faults").string() + "/";
  const std::vector<std::string> images = ImageFiles(io.mapsFolder);
  DescriptorBench bench;
  std::mt19937 rng(2);
  StyleRecord style = RandomStyle(rng);
  AddRandomLayers(&style, rng, 6, images, &io.cache);
  const DescriptorStore store = bench.Write(style, io.Io());
  int failures = 0;
  for (int phase = 0; phase < 2; ++phase) {
    for (long failAt = 1;; ++failAt, ++failures) {
      memory.memory.result = 0;
      const long base = memory.memory.allocations, live = memory.memory.liveBlocks;
      memory.memory.failAt = base + failAt;
      StyleRecord read = RandomStyle(rng);
      const std::string before = StoredFields(read);
      int32_t ok = 0;
      if (phase == 0) {
        ok = bench.Read(&store, PlayDontDisplay, &read, io.Io());
        if (ok) ReleaseLayers(&read);
      } else {
        bench.Write(style, io.Io(), &ok);
      }
      memory.memory.failAt = 0;
      if (memory.memory.allocations < base + failAt) break;  // nothing failed: all paths covered
      EXPECT_EQ(memory.memory.result, MemFullErr) << phase << " " << failAt;
      if (phase == 0) {
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(StoredFields(read), before);
      }
      EXPECT_EQ(memory.memory.liveBlocks, live);
    }
  }
  EXPECT_EQ(failures, 6);  // six layers read; writing takes its memory from the host
  // Without a handle for the map layer block nothing incomplete is recorded
  // and the failure is reported.
  HostOptions& options = HostOptionsOf(bench.host);
  options.failKinds = AllocHandle;
  options.failAllocationAt = 1;
  memory.memory.result = 0;
  int32_t ok = 1;
  bench.Write(style, io.Io(), &ok);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(memory.memory.result, MemFullErr);
  ReleaseLayers(&style);
}
}  // namespace

#if defined(BF_MODULE_PATH)
namespace {
constexpr int32_t PlayW = 96, PlayH = 72;  // pixels

HostDocument PlaybackDocument() {
  HostDocument d = MakeDocument(PlayW, PlayH, ModeRGBColor, LayerKind::EditableTransparency, 90);
  std::vector<uint8_t> path;
  AppendPathRecord(path, PathFillRule);
  AppendPolygonSubpath(path, {{20, 14}, {76, 20}, {60, 58}, {28, 50}}, PlayW, PlayH);
  d.paths.push_back(path);
  d.targetPath = 0;
  return d;
}

// A staged module session; `fresh` removes the staged last-used file first.
FilterHost* StagedSession(const std::string& folder, bool fresh) {
  if (fresh) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  std::string error;
  const std::string module = StageModuleCopy(BF_MODULE_PATH, folder.c_str(), &error);
  FilterHost* host = module.empty() ? nullptr : OpenFilterHost(module.c_str(), &error);
  EXPECT_NE(host, nullptr) << error;
  if (host) SetHostDocument(host, PlaybackDocument());
  return host;
}

uint64_t PlayedChecksum(FilterHost* host, const DescriptorStore* store, int16_t playInfo, int32_t expectDialogs) {
  SetHostDocument(host, PlaybackDocument());
  HostOptions& o = HostOptionsOf(host);
  o.hasPlayback = store != nullptr;
  o.playback = store ? *store : DescriptorStore{};
  o.playInfo = playInfo;
  const RunReport r = RunMenu(host);
  EXPECT_EQ(r.finalResult, 0);
  EXPECT_EQ(r.dialogRequests, expectDialogs);
  EXPECT_EQ(r.strayHandles, 0);
  EXPECT_EQ(r.misuse, 0);
  return r.documentChecksum;
}

// A style recorded by a run plays back to the same pixels with the dialog,
// without it, and as a repeated filter; a descriptor missing a key falls back
// to the last-used file, which holds the recorded style.
TEST(StylePlayback, RecordedRunsPlayBackToTheSamePixels) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  std::mt19937 rng(17);
  StyleRecord style = RandomStyle(rng);
  style.viewFlags = DefaultViewFlags;
  style.renderMode = RenderNormal;
  style.bevels[0] = BevelSetting{6, 180, uint16_t(JoinMiter << JoinTypeShift | 5), 30};
  style.bevels[1] = BevelSetting{9, 60, uint16_t(JoinBevel << JoinTypeShift | 12), 100};
  DescriptorStore delivered;
  {
    DescriptorBench bench;
    delivered = bench.Write(style, io.Io());
  }
  const std::string folder = (fs::path(testing::TempDir()) / "style-playback").string();
  FilterHost* host = StagedSession(folder, true);
  ASSERT_NE(host, nullptr);
  const uint64_t original = PlayedChecksum(host, &delivered, PlayDontDisplay, 0);
  const DescriptorStore recorded = LastRecordedDescriptor(host);
  ASSERT_EQ(recorded.items.size(), delivered.items.size());
  CloseFilterHost(host);

  host = StagedSession(folder, false);
  EXPECT_EQ(PlayedChecksum(host, &recorded, PlayDisplay, 1), original);
  EXPECT_EQ(PlayedChecksum(host, &recorded, PlayDontDisplay, 0), original);
  SetHostDocument(host, PlaybackDocument());
  EXPECT_EQ(RunRepeat(host).documentChecksum, original);
  ForgetParameters(host);
  DescriptorStore partial = recorded;
  partial.items.erase(partial.items.begin() + 1);
  EXPECT_EQ(PlayedChecksum(host, &partial, PlayDontDisplay, 0), original);
  ForgetParameters(host);
  EXPECT_EQ(PlayedChecksum(host, nullptr, PlayDisplay, 1), original);  // the last-used file holds it
  CloseFilterHost(host);
  FilterHost* fresh = StagedSession(folder + "-fresh", true);
  EXPECT_NE(PlayedChecksum(fresh, nullptr, PlayDisplay, 1), original);
  CloseFilterHost(fresh);
}
}  // namespace
#endif
