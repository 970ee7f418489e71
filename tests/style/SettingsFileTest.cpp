// Settings files: random styles written and read back, checked against a
// field-by-field encoding of the format; the reader's edge cases (clamps,
// files cut short, too many layers, long names, Maps-folder names, missing
// images, unsafe material links) and every allocation failing in turn.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "core/WorkMemory.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "style/NameOnlyImages.h"
#include "style/SettingsFile.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/StyleSupport.h"

namespace {
namespace fs = std::filesystem;

// A Maps folder with two images and a third image elsewhere.
struct ImageFolders {
  fs::path root, maps, other;
  ImageFolders() {
    root = fs::path(testing::TempDir()) / "settings-file-test";
    maps = root / "Maps";
    other = root / "elsewhere";
    fs::create_directories(maps);
    fs::create_directories(other);
    for (const fs::path& p : {maps / "stone.tif", maps / "sky.tif", other / "outside.tif"}) std::ofstream(p) << "x";
  }
  std::string MapsFolder() const { return maps.string() + "/"; }
  std::vector<std::string> Images() const {
    return {(maps / "stone.tif").string(), (maps / "sky.tif").string(), (other / "outside.tif").string()};
  }
};

std::vector<uint8_t> Encode(const StyleRecord& style, const StyleIo& io) {
  uint32_t size = 0;
  uint8_t* bytes = EncodeSettings(style, io, &size);
  EXPECT_NE(bytes, nullptr);
  std::vector<uint8_t> out(bytes, bytes + size);
  FreeBlockOf(bytes);
  return out;
}

int32_t Read(const std::vector<uint8_t>& bytes, StyleRecord* style, const StyleIo& io) {
  return ReadSettingsBytes(bytes.data(), uint32_t(bytes.size()), style, io);
}

// The style `style` becomes when read from a file written by the project:
// names of Maps-folder images are base name + ".tif", found again in the Maps folder.
TEST(SettingsFile, RandomStylesRoundTripAndMatchTheFormatTable) {
  ScopedCountingMemory memory;
  ImageFolders folders;
  TestStyleIo io;
  io.mapsFolder = folders.MapsFolder();
  std::mt19937 rng(8);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    StyleRecord style = RandomStyle(rng);
    AddRandomLayers(&style, rng, trial % 7, folders.Images(), &io.cache);
    if (trial % 3 == 0) style.reflectionImage = io.cache;
    const std::vector<uint8_t> bytes = Encode(style, io.Io());
    // Byte for byte the table's encoding (with no Maps folder every name is a full path).
    StyleIo noMaps = io.Io();
    noMaps.mapsFolder = "";
    EXPECT_EQ(Encode(style, noMaps), HandEncodedSettings(style));

    StyleRecord read = RandomStyle(rng);
    const std::string dialog = DialogFields(read);
    ASSERT_EQ(Read(bytes, &read, io.Io()), 1);
    EXPECT_EQ(StoredFields(read), StoredFields(style));
    EXPECT_EQ(DialogFields(read), dialog);  // the dialog state stays
    EXPECT_TRUE(io.messages.empty());
    // The short names are what the file holds; the full path only for the image elsewhere.
    for (const MapLayer* layer = style.mapLayers; layer != nullptr; layer = layer->next) {
      if (layer->image == nullptr || (layer->layerFlags & BackgroundLayer)) continue;
      const std::string name = layer->image->name, base = fs::path(name).filename().string();
      const bool inMaps = fs::path(name).parent_path() == folders.maps;
      const std::string stored = inMaps ? base : name;
      EXPECT_NE(std::search(bytes.begin(), bytes.end(), stored.begin(), stored.end()), bytes.end()) << stored;
    }
    FreeMapLayers(read.mapLayers);
    FreeMapLayers(style.mapLayers);
  }
  EXPECT_EQ(memory.memory.liveBlocks, 6);  // the three cached images: record and plane
}

TEST(SettingsFile, ClampsSizesDepthsAndMiterLimitsAndTakesFlagsAsStored) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  StyleRecord style{};
  SetDefaultStyle(&style);
  style.bevels[0] = BevelSetting{400, 2000, 0xFFFF, 9999};
  style.bevels[1] = BevelSetting{250, 1000, 0x0E31, 2500};
  StyleRecord read{};
  SetDefaultStyle(&read);
  ASSERT_EQ(Read(HandEncodedSettings(style), &read, io.Io()), 1);
  EXPECT_EQ(read.bevels[0].size, 250);
  EXPECT_EQ(read.bevels[0].depth, 1000);
  EXPECT_EQ(read.bevels[0].miterLimit, 2500);
  EXPECT_EQ(read.bevels[0].bevelFlags, 0xFFFF);
  EXPECT_EQ(read.bevels[1].size, 250);
  EXPECT_EQ(read.bevels[1].bevelFlags, 0x0E31);
}

TEST(SettingsFile, UnsafeMaterialLinksBecomeOwnMaterials) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  const int32_t cases[][3] = {{7, 0, -5}, {1, 0, 1}, {2, 0, 1}, {0, 1, 2}, {-1, 2, 1}};
  const int32_t safe[][3] = {{-1, 0, -1}, {-1, 0, 1}, {-1, 0, 1}, {-1, -1, -1}, {-1, -1, 1}};
  for (size_t c = 0; c < std::size(cases); ++c) {
    StyleRecord style{};
    SetDefaultStyle(&style);
    std::memcpy(style.materialLinks, cases[c], sizeof style.materialLinks);
    StyleRecord read = style;
    ASSERT_EQ(Read(HandEncodedSettings(style), &read, io.Io()), 1);
    for (int e = 0; e < ElementCount; ++e) EXPECT_EQ(read.materialLinks[e], safe[c][e]) << c << " " << e;
  }
}

// Every prefix of a file: before the layer count it fails and changes
// nothing; inside the list it keeps the whole records read.
TEST(SettingsFile, FilesCutShortKeepWholeLayersOnly) {
  ScopedCountingMemory memory;
  ImageFolders folders;
  TestStyleIo io;
  io.mapsFolder = folders.MapsFolder();
  std::mt19937 rng(5);
  StyleRecord style = RandomStyle(rng);
  AddRandomLayers(&style, rng, 4, folders.Images(), &io.cache);
  const std::vector<uint8_t> bytes = Encode(style, io.Io());
  std::vector<size_t> layerEnds;  // file size after each whole layer
  {
    size_t at = SettingsHeaderSize + 2 + 4;
    for (const MapLayer* l = style.mapLayers; l != nullptr; l = l->next) {
      const uint16_t n = uint16_t(bytes[at + 32] | (bytes[at + 33] << 8));
      at += 34 + n;
      layerEnds.push_back(at);
    }
    ASSERT_EQ(at, bytes.size());
  }
  for (size_t length = 0; length <= bytes.size(); ++length) {
    StyleRecord read = RandomStyle(rng);
    const std::string before = StoredFields(read) + DialogFields(read);
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + ptrdiff_t(length));
    const int32_t ok = Read(prefix, &read, io.Io());
    if (length < SettingsHeaderSize + 2 + 4) {
      EXPECT_EQ(ok, 0) << length;
      EXPECT_EQ(StoredFields(read) + DialogFields(read), before) << length;
      continue;
    }
    ASSERT_EQ(ok, 1) << length;
    size_t whole = 0;
    while (whole < layerEnds.size() && layerEnds[whole] <= length) ++whole;
    size_t count = 0;
    for (const MapLayer* l = read.mapLayers; l != nullptr; l = l->next) ++count;
    EXPECT_EQ(count, whole) << length;
    FreeMapLayers(read.mapLayers);
  }
  FreeMapLayers(style.mapLayers);
}

TEST(SettingsFile, MoreThan1024LayersGiveNone) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  StyleRecord style{};
  SetDefaultStyle(&style);
  std::vector<uint8_t> bytes = HandEncodedSettings(style);
  for (uint32_t count : {1024u, 1025u}) {
    std::vector<uint8_t> file = bytes;
    file.resize(file.size() - 4);
    for (int i = 0; i < 4; ++i) file.push_back(uint8_t(count >> (8 * i)));
    for (uint32_t k = 0; k < 1024; ++k) file.insert(file.end(), 34, 0);
    StyleRecord read = style;
    ASSERT_EQ(Read(file, &read, io.Io()), 1);
    size_t layers = 0;
    for (const MapLayer* l = read.mapLayers; l != nullptr; l = l->next) ++layers;
    EXPECT_EQ(layers, count <= 1024 ? 1024u : 0u);
    FreeMapLayers(read.mapLayers);
  }
}

// A name the reader could not skip is never written: it is stored empty and
// the rest of the file reads as written.
TEST(SettingsFile, NamesOver255BytesAreStoredEmpty) {
  ScopedCountingMemory memory;
  ImageFolders folders;
  TestStyleIo io;
  io.mapsFolder = folders.MapsFolder();
  const fs::path deep = folders.root / std::string(120, 'd') / std::string(120, 'e');
  fs::create_directories(deep);
  const std::string longName = (deep / "long-name-image.tif").string();
  std::ofstream(longName) << "x";
  ASSERT_GT(longName.size(), 255u);
  StyleRecord style{};
  SetDefaultStyle(&style);
  std::mt19937 rng(3);
  AddRandomLayers(&style, rng, 3, {longName}, &io.cache);
  for (MapLayer* l = style.mapLayers; l != nullptr; l = l->next) l->layerFlags &= ~BackgroundLayer;
  style.mapLayers->image = LoadNameOnlyImage(&io.cache, longName.c_str(), 0);
  style.reflectionImage = style.mapLayers->image;
  const std::vector<uint8_t> bytes = Encode(style, io.Io());
  StyleRecord read = style;
  read.mapLayers = nullptr;
  ASSERT_EQ(Read(bytes, &read, io.Io()), 1);
  EXPECT_EQ(read.reflectionImage, style.reflectionImage);  // kept: the file names none
  int count = 0;
  for (const MapLayer* l = read.mapLayers; l != nullptr; l = l->next, ++count) EXPECT_EQ(l->image, nullptr);
  EXPECT_EQ(count, 3);
  FreeMapLayers(read.mapLayers);
  FreeMapLayers(style.mapLayers);
}

TEST(SettingsFile, StoredPathsFallBackToTheMapsFolderAndMissingImagesAreReported) {
  ScopedCountingMemory memory;
  ImageFolders folders;
  TestStyleIo io;
  io.mapsFolder = folders.MapsFolder();
  StyleRecord style{};
  SetDefaultStyle(&style);
  MapImage* gone = LoadNameOnlyImage(&io.cache, "/no/such/folder/stone.tif", 0);
  MapImage* missing = LoadNameOnlyImage(&io.cache, "/no/such/folder/missing.tif", 0);
  style.reflectionImage = missing;
  MapLayer* a = AppendMapLayer(&style.mapLayers);
  a->layerFlags = OpacityMapLayer | ApplyToMain;
  a->image = gone;
  MapLayer* b = AppendMapLayer(&style.mapLayers);
  b->layerFlags = ColorMapLayer | ApplyToMain;
  b->image = missing;
  StyleRecord read = style;
  read.mapLayers = nullptr;
  read.reflectionImage = gone;
  ASSERT_EQ(Read(Encode(style, io.Io()), &read, io.Io()), 1);
  ASSERT_NE(read.mapLayers, nullptr);
  ASSERT_NE(read.mapLayers->image, nullptr);
  EXPECT_EQ(std::string(read.mapLayers->image->name), (folders.maps / "stone.tif").string());
  EXPECT_EQ(read.mapLayers->next->image, nullptr);
  EXPECT_EQ(read.reflectionImage, gone);  // a missing reflection keeps the one shown
  EXPECT_EQ(io.messages, (std::vector<std::string>{"Couldn't find reflection image file /no/such/folder/missing.tif",
                                                   "Couldn't find image file /no/such/folder/missing.tif"}));
  FreeMapLayers(read.mapLayers);
  FreeMapLayers(style.mapLayers);
}

TEST(SettingsFile, CentresAreStoredInDocumentPixels) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  io.effectLeft = 30;
  io.effectTop = -7;
  StyleRecord style{};
  SetDefaultStyle(&style);
  MapLayer* layer = AppendMapLayer(&style.mapLayers);
  layer->centerX = 5;
  layer->centerY = 9;
  StyleRecord read = style;
  read.mapLayers = nullptr;
  ASSERT_EQ(Read(Encode(style, io.Io()), &read, io.Io()), 1);
  EXPECT_EQ(read.mapLayers->centerX, 35.0f);
  EXPECT_EQ(read.mapLayers->centerY, 2.0f);
  FreeMapLayers(read.mapLayers);
  FreeMapLayers(style.mapLayers);
}

TEST(SettingsFile, WrongMagicAndUnwritableFilesFailWithoutTrace) {
  ScopedCountingMemory memory;
  TestStyleIo io;
  StyleRecord style{};
  SetDefaultStyle(&style);
  std::vector<uint8_t> bytes = HandEncodedSettings(style);
  bytes[0] = 'X';
  StyleRecord read = style;
  read.bevels[0].size = 77;
  EXPECT_EQ(Read(bytes, &read, io.Io()), 0);
  EXPECT_EQ(read.bevels[0].size, 77);
  const fs::path nowhere = fs::path(testing::TempDir()) / "no-such-folder" / "x.bfs";
  EXPECT_EQ(WriteSettingsFile(nowhere.string().c_str(), style, io.Io()), 0);
  EXPECT_FALSE(fs::exists(nowhere));
  const fs::path file = fs::path(testing::TempDir()) / "written.bfs";
  ASSERT_EQ(WriteSettingsFile(file.string().c_str(), style, io.Io()), 1);
  EXPECT_EQ(ReadSettingsFile(file.string().c_str(), &read, io.Io()), 1);
  EXPECT_EQ(StoredFields(read), StoredFields(style));
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

// Every allocation of a read and of a write fails in turn: MemFullErr, the
// style untouched, nothing left allocated.
TEST(SettingsFileFaults, EveryAllocationFailure) {
  ScopedCountingMemory memory;
  ImageFolders folders;
  std::mt19937 rng(11);
  for (int phase = 0; phase < 2; ++phase) {
    for (long failAt = 1;; ++failAt) {
      TestStyleIo io;
      io.mapsFolder = folders.MapsFolder();
      memory.memory.Reset();
      StyleRecord style = RandomStyle(rng);
      AddRandomLayers(&style, rng, 5, folders.Images(), &io.cache);
      std::vector<uint8_t> bytes = Encode(style, io.Io());
      StyleRecord target = RandomStyle(rng);
      const std::string before = StoredFields(target);
      const long base = memory.memory.allocations;
      memory.memory.failAt = base + failAt;
      int32_t ok;
      if (phase == 0) {
        ok = Read(bytes, &target, io.Io());
        if (ok) FreeMapLayers(target.mapLayers);
      } else {
        uint32_t size = 0;
        uint8_t* written = EncodeSettings(style, io.Io(), &size);
        ok = written != nullptr;
        FreeBlockOf(written);
      }
      const bool failed = memory.memory.allocations >= memory.memory.failAt;
      FreeMapLayers(style.mapLayers);
      if (!failed) {
        EXPECT_EQ(ok, 1);
        break;
      }
      EXPECT_EQ(memory.memory.result, MemFullErr) << phase << " " << failAt;
      if (phase == 0 && ok == 0) EXPECT_EQ(StoredFields(target), before);
      memory.memory.result = 0;
    }
  }
}
}  // namespace
