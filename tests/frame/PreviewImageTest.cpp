// The preview image built from the run globals over a ChannelPorts double:
// document pixels of the source rectangle with the render buffer over them,
// blocks kept while their size fits, and every failure leaving no block.
#include <gtest/gtest.h>

#include <vector>

#include "frame/PreviewImage.h"
#include "frame/RunGlobals.h"
#include "frame/SuiteAcquisition.h"
#include "tests/support/ChannelPortsDouble.h"
#include "tests/support/CountingMemory.h"
#include "ui/PreviewZoom.h"

namespace {
constexpr int32_t DocWidth = 40, DocHeight = 30, Colors = 3;
constexpr int16_t EffectTop = 5, EffectLeft = 8, EffectWidth = 20, EffectHeight = 10;
constexpr int32_t OpaqueColumns = 10;  // the render is opaque in its left half, clear in the rest

uint8_t DocumentValue(int32_t c, int32_t x, int32_t y) { return uint8_t(x + 3 * y + 50 * c); }

struct PreviewRun {
  ScopedCountingMemory memory;
  FakeDocument doc{DocWidth, DocHeight, Colors, 0};
  FilterRecord record{};
  RunGlobals globals{};
  std::vector<uint8_t> render;

  explicit PreviewRun(bool transparent) : render(size_t(EffectWidth) * EffectHeight * (Colors + 1), 0) {
    if (transparent) doc.transparency = std::make_unique<FakeChannel>(VRect{0, 0, DocHeight, DocWidth}, 0, true);
    doc.Link();
    for (int32_t c = 0; c < Colors; ++c)
      for (int32_t y = 0; y < DocHeight; ++y)
        for (int32_t x = 0; x < DocWidth; ++x) doc.colors[size_t(c)]->At(x, y) = DocumentValue(c, x, y);
    const size_t planeSize = size_t(EffectWidth) * EffectHeight;
    for (int32_t y = 0; y < EffectHeight; ++y)
      for (int32_t x = 0; x < OpaqueColumns; ++x)
        for (int32_t plane = 0; plane <= Colors; ++plane)
          render[size_t(plane) * planeSize + size_t(y) * EffectWidth + x] = uint8_t(plane == 0 ? 255 : 200 + plane);
    record.documentInfo = &doc.desc;
    globals.filterRecord = &record;
    globals.resultCell = &memory.memory.result;
    globals.renderBuffer = render.data();
    globals.channelCount = Colors;
    globals.effectTop = EffectTop;
    globals.effectLeft = EffectLeft;
    globals.effectWidth = EffectWidth;
    globals.effectHeight = EffectHeight;
    globals.previewZoom = DefaultZoomStep;
    gRunGlobals = &globals;
    gChannelPortsSuite = &doc.ports;
  }
  void Show(int32_t left, int32_t top, int32_t width, int32_t height) {
    globals.previewWidth = int16_t(width);
    globals.previewHeight = int16_t(height);
    globals.previewSrcLeft = int16_t(left);
    globals.previewSrcTop = int16_t(top);
    globals.previewSrcRight = int16_t(left + width);
    globals.previewSrcBottom = int16_t(top + height);
  }
  ~PreviewRun() {
    FreeBlockOf(globals.previewPixels);
    FreeBlockOf(globals.previewTransparency);
    EXPECT_EQ(memory.memory.liveBlocks, 0);
    gRunGlobals = nullptr;
    gChannelPortsSuite = nullptr;
  }
};

bool InEffect(int32_t x, int32_t y) {
  return x >= EffectLeft && x < EffectLeft + EffectWidth && y >= EffectTop && y < EffectTop + EffectHeight;
}
bool Opaque(int32_t x, int32_t y) { return InEffect(x, y) && x < EffectLeft + OpaqueColumns; }
}  // namespace

// At 100 % every preview pixel is its document pixel, or the render's colour
// where the render is opaque; the transparency plane becomes opaque there.
TEST(PreviewImage, ShowsTheSourceWithTheRenderOver) {
  for (const bool transparent : {false, true}) {
    PreviewRun run(transparent);
    for (const auto& [left, top] : {std::pair{0, 0}, std::pair{12, 9}}) {
      run.Show(left, top, 25, 18);
      ASSERT_EQ(RebuildPreviewImage(), 1);
      ASSERT_NE(run.globals.previewPixels, nullptr);
      EXPECT_EQ(run.globals.previewTransparency != nullptr, transparent);
      for (int32_t c = 0; c < Colors; ++c)
        for (int32_t j = 0; j < 18; ++j)
          for (int32_t i = 0; i < 25; ++i) {
            const int32_t x = left + i, y = top + j;
            const uint8_t shown = run.globals.previewPixels[size_t(c) * 25 * 18 + size_t(j) * 25 + i];
            ASSERT_EQ(shown, Opaque(x, y) ? 201 + c : DocumentValue(c, x, y)) << c << " " << x << "," << y;
            if (transparent && c == 0) {
              ASSERT_EQ(run.globals.previewTransparency[size_t(j) * 25 + i], Opaque(x, y) ? 255 : 0);
            }
          }
    }
  }
}

// A rebuild of the same size keeps the blocks; another size replaces them;
// an empty preview area frees them.
TEST(PreviewImage, KeepsBlocksWhileTheirSizeFits) {
  PreviewRun run(true);
  run.Show(0, 0, 16, 12);
  ASSERT_EQ(RebuildPreviewImage(), 1);
  const long allocations = run.memory.memory.allocations;
  EXPECT_EQ(allocations, 2);
  ASSERT_EQ(RebuildPreviewImage(), 1);
  EXPECT_EQ(run.memory.memory.allocations, allocations);
  run.Show(2, 2, 20, 12);
  ASSERT_EQ(RebuildPreviewImage(), 1);
  EXPECT_EQ(run.memory.memory.allocations, allocations + 2);
  EXPECT_EQ(run.memory.memory.liveBlocks, 2);
  run.Show(0, 0, 0, 12);
  ASSERT_EQ(RebuildPreviewImage(), 1);
  EXPECT_EQ(run.globals.previewPixels, nullptr);
  EXPECT_EQ(run.memory.memory.liveBlocks, 0);
}

// Each allocation failing in turn gives -108 and no blocks; a failing port
// read gives -30900.
TEST(PreviewImage, FailuresLeaveNoBlocks) {
  for (long failAt = 1; failAt <= 2; ++failAt) {
    PreviewRun run(true);
    run.Show(0, 0, 16, 12);
    run.memory.memory.failAt = failAt;
    EXPECT_EQ(RebuildPreviewImage(), 0);
    EXPECT_EQ(run.memory.memory.result, MemFullErr);
    EXPECT_EQ(run.globals.previewPixels, nullptr);
    EXPECT_EQ(run.globals.previewTransparency, nullptr);
    EXPECT_EQ(run.memory.memory.liveBlocks, 0);
  }
  PreviewRun run(false);
  run.Show(0, 0, 16, 12);
  run.doc.colors[1]->readFails = true;
  EXPECT_EQ(RebuildPreviewImage(), 0);
  EXPECT_EQ(run.memory.memory.result, ErrPlugInHostInsufficient);
}
