// Whole runs of the real module with map layers and a reflection image read
// from its last-used settings file: the style with every kind of layer under
// allocation failures, and a constant color map against the same color as a
// material.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/WorkMemory.h"
#include "host/FilterHost.h"
#include "host/MapFixtures.h"
#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "style/NameOnlyImages.h"
#include "style/ScriptingKeys.h"
#include "style/SettingsFile.h"
#include "tests/support/CountingMemory.h"

#if defined(BF_MODULE_PATH)

namespace {
constexpr int32_t DocW = 96, DocH = 72;

std::string Folder(const char* name) {
  const std::string folder = (std::filesystem::path(testing::TempDir()) / "bf-map-runs" / name).string();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

HostDocument TriangleDocument() {
  HostDocument d = MakeDocument(DocW, DocH, ModeRGBColor, LayerKind::EditableTransparency, 90);
  std::vector<uint8_t> path;
  AppendPathRecord(path, PathFillRule);
  AppendPolygonSubpath(path, {{20, 10}, {80, 20}, {40, 62}}, DocW, DocH);
  d.paths.push_back(path);
  d.targetPath = 0;
  return d;
}

// Runs the module staged in `folder` once from the menu; the document it leaves.
HostDocument RunFromMenu(const std::string& module, RunReport* report) {
  std::string error;
  FilterHost* host = OpenFilterHost(module.c_str(), &error);
  EXPECT_NE(host, nullptr) << error;
  SetHostDocument(host, TriangleDocument());
  *report = RunMenu(host);
  HostDocument result = HostDocumentOf(host);
  CloseFilterHost(host);
  return result;
}

// The settings file of a style whose Main material is `mainColor`, with an
// optional Opaque Color Map over Main at full amount.
void WriteStyle(const std::string& folder, uint32_t mainColor, const char* colorMap) {
  ScopedCountingMemory memory;
  MapImage* names = nullptr;
  const StyleIo io{LoadNameOnlyImage, nullptr, &names, "", 0, 0};
  StyleRecord style{};
  SetDefaultStyle(&style);
  // The bevels keep their own material, so only Main differs between the styles.
  for (int32_t& link : style.materialLinks) link = -1;
  SetMaterialColorWord(&style.materials[MainElement], mainColor);
  if (colorMap != nullptr) {
    MapLayer* layer = AppendMapLayer(&style.mapLayers);
    layer->layerFlags = ColorMapLayer | ApplyToMain | (AlphaOutputOpaque << AlphaOutputShift);
    layer->amount = 255;
    layer->mappingLink = MappingTile;
    layer->image = LoadNameOnlyImage(&names, colorMap, 0);
  }
  ASSERT_EQ(WriteSettingsFile((std::filesystem::path(folder) / "default.dfs").string().c_str(), style, io), 1);
  FreeMapLayers(style.mapLayers);
  FreeImages(names);
}

void WriteUniformTiff(const std::string& path, const uint8_t rgb[3]) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 3u);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2u);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  const uint8_t row[9] = {rgb[0], rgb[1], rgb[2], rgb[0], rgb[1], rgb[2], rgb[0], rgb[1], rgb[2]};
  for (uint32_t y = 0; y < 2; ++y) TIFFWriteScanline(tif, const_cast<uint8_t*>(row), y, 0);
  TIFFClose(tif);
}

uint32_t UniformSample(uint32_t v) { return (((v * 0xFFFF) >> 16) * 0xFFFF) >> 16; }
}  // namespace

// A Color Map of one color over Main renders exactly as that color (as
// bilinear sampling delivers it) given as Main's material.
TEST(MapRuns, ConstantColorMapEqualsTheColorAsMaterial) {
  const uint8_t rgb[3] = {200, 90, 30};
  const std::string mapped = Folder("mapped"), plain = Folder("plain");
  std::string error;
  const std::string mappedModule = StageModuleCopy(BF_MODULE_PATH, mapped.c_str(), &error);
  const std::string plainModule = StageModuleCopy(BF_MODULE_PATH, plain.c_str(), &error);
  const std::string tiff = (std::filesystem::path(mapped) / "orange.tif").string();
  WriteUniformTiff(tiff, rgb);
  WriteStyle(mapped, 0xFF102030u, tiff.c_str());
  WriteStyle(plain, 0xFF000000u | UniformSample(rgb[0]) << 16 | UniformSample(rgb[1]) << 8 | UniformSample(rgb[2]),
             nullptr);
  RunReport mappedReport, plainReport;
  const HostDocument a = RunFromMenu(mappedModule, &mappedReport), b = RunFromMenu(plainModule, &plainReport);
  EXPECT_EQ(mappedReport.finalResult, 0);
  EXPECT_TRUE(mappedReport.messages.empty());
  for (size_t c = 0; c < 3; ++c) EXPECT_EQ(a.colorChannels[c].pixels, b.colorChannels[c].pixels) << "channel " << c;
  EXPECT_EQ(a.transparency.pixels, b.transparency.pixels);
  // And the map changed something: without it the face is the other color.
  WriteStyle(mapped, 0xFF102030u, nullptr);
  RunReport unmappedReport;
  EXPECT_NE(RunFromMenu(mappedModule, &unmappedReport).colorChannels[0].pixels, a.colorChannels[0].pixels);
}

// The style with a reflection image and layers of every kind: every host
// allocation of the run may fail in turn (image loads included) and the run
// ends with -108 or succeeds, leaving nothing behind; a success has recorded
// the whole style, map layers included.
TEST(MapRuns, EveryAllocationOfAMappedRunMayFail) {
  const std::string folder = Folder("sweep");
  std::string error;
  const std::string module = StageModuleCopy(BF_MODULE_PATH, folder.c_str(), &error);
  ASSERT_FALSE(module.empty()) << error;
  std::vector<FaultSweepStep> steps;
  HostOptions options;
  ASSERT_TRUE(RunFaultSweep(module.c_str(), TriangleDocument(), options, false, &steps, &error, [&] {
    std::string problem;
    ASSERT_TRUE(WriteMapScenarioFiles(folder, &problem)) << problem;
  })) << error;
  ASSERT_GT(steps.size(), 20u);
  for (const FaultSweepStep& step : steps) {
    SCOPED_TRACE("allocation " + std::to_string(step.failAt));
    EXPECT_TRUE(step.report.finalResult == 0 || step.report.finalResult == -108) << step.report.finalResult;
    EXPECT_EQ(step.report.strayHandles, 0);
    EXPECT_EQ(step.report.liveBuffers, 0);
    EXPECT_EQ(step.report.livePorts, 0);
    EXPECT_TRUE(step.report.suitesBalanced);
    EXPECT_EQ(step.report.misuse, 0);
    if (step.report.finalResult == 0) {
      EXPECT_TRUE(step.report.descriptorWritten);
      EXPECT_NE(FindDescriptorItem(step.report.descriptor, ScriptKey::MapLayers), nullptr);
    }
  }
}

#endif
