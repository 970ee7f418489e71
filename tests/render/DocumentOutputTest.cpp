// Writing the render buffer into a small document through a ChannelPorts
// suite double, reading the selection, and compositing the preview.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "bevel/ElementBuffer.h"
#include "platform/WorkerThreads.h"
#include "render/DocumentOutput.h"
#include "render/PixelOperators.h"
#include "tests/support/ChannelPortsDouble.h"
#include "tests/support/CountingMemory.h"

namespace {

std::vector<std::pair<int32_t, int32_t>> gProgress;
void PI_CALL RecordProgress(int32_t done, int32_t total) { gProgress.emplace_back(done, total); }

DocumentAccess AccessOf(FakeDocument& doc, const TaskRunner* tasks = nullptr) {
  return DocumentAccess{&doc.ports, &doc.desc, RecordProgress, tasks};
}

// A render buffer for an effect at (top, left) of width x height with `colors` planes.
struct FakeRender {
  std::vector<uint8_t> planes;
  RenderedEffect effect{};
  FakeRender(int32_t top, int32_t left, int32_t width, int32_t height, int32_t colors) {
    planes.assign(size_t(width) * height * (colors + 1), 0);
    effect = RenderedEffect{planes.data(), colors, top, left, width, height};
  }
  void Set(int x, int y, uint8_t alpha, std::vector<uint8_t> color) {
    const size_t planeSize = size_t(effect.width) * effect.height, at = size_t(y) * effect.width + x;
    planes[at] = alpha;
    for (size_t c = 0; c < color.size(); ++c) planes[(c + 1) * planeSize + at] = color[c];
  }
};

}  // namespace

TEST(PixelOperators, EdgeValues) {
  for (uint32_t d : {0u, 77u, 255u}) {
    EXPECT_EQ(OverOpaque(d, 0, 0), d);
    EXPECT_EQ(OverAlpha(d, 0), d);
    EXPECT_EQ(OverTransparent(d, 0, 0, 0), d);  // nothing over nothing keeps the document value
    EXPECT_EQ(OverOpaque(d, 255, 123), 123);
    EXPECT_EQ(OverAlpha(d, 255), 255);
    EXPECT_EQ(OverTransparent(d, 255, 123, 200), 123);
  }
  // A clear render pixel leaves a partly covered layer pixel exactly as it was
  // (the plain formula would give 89 here).
  EXPECT_EQ(OverTransparent(90, 0, 0, 200), 90);
  // Over a clear layer pixel the color is unpremultiplied: s x 255 / a.
  EXPECT_EQ(OverTransparent(90, 100, 50, 0), 50 * 255 / 100);
  EXPECT_EQ(OverOpaque(200, 128, 60), 200 * 127 / 255 + 60);
  EXPECT_EQ(OverAlpha(100, 128), 128 + 100 * 127 / 255);
  const uint32_t combined = 128 + 200 * 127 / 255;
  EXPECT_EQ(OverTransparent(100, 128, 60, 200), (60 + (100 * 200 / 255) * 127 / 255) * 255 / combined);
  // Exhaustively: premultiplied input never leaves the byte range.
  for (uint32_t a = 0; a < 256; a += 3)
    for (uint32_t s = 0; s <= a; s += 5)
      for (uint32_t d = 0; d < 256; d += 17)
        for (uint32_t t = 0; t < 256; t += 51) {
          const uint32_t combinedAlpha = a + t * (255 - a) / 255;
          if (combinedAlpha != 0) {
            const uint32_t v = (s + (d * t / 255) * (255 - a) / 255) * 255 / combinedAlpha;
            ASSERT_LE(v, 255u) << a << " " << s << " " << d << " " << t;
          }
          ASSERT_LE(d * (255 - a) / 255 + s, 255u);
        }
}

TEST(WriteResult, FlatImageGetsOverOpaqueInsideTheEffectOnly) {
  ScopedCountingMemory memory;
  FakeDocument doc(8, 6, 3, 100);
  FakeRender render(2, 3, 4, 3, 3);
  render.Set(0, 0, 255, {10, 20, 30});
  render.Set(1, 0, 128, {60, 0, 128});
  gProgress.clear();
  ASSERT_EQ(WriteResult(AccessOf(doc), render.effect), 1);
  EXPECT_EQ(memory.memory.result, 0);
  EXPECT_EQ(doc.colors[0]->At(3, 2), 10);
  EXPECT_EQ(doc.colors[1]->At(3, 2), 20);
  EXPECT_EQ(doc.colors[2]->At(3, 2), 30);
  EXPECT_EQ(doc.colors[0]->At(4, 2), OverOpaque(100, 128, 60));
  EXPECT_EQ(doc.colors[2]->At(4, 2), OverOpaque(102, 128, 128));
  EXPECT_EQ(doc.colors[0]->At(5, 3), 100);  // alpha 0 inside the effect
  EXPECT_EQ(doc.colors[0]->At(0, 0), 100);  // outside
  EXPECT_EQ(doc.colors[1]->At(7, 5), 101);
  EXPECT_EQ(gProgress, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

TEST(WriteResult, LayerTransparencyAlphaChannelsAndMask) {
  ScopedCountingMemory memory;
  FakeDocument doc(4, 1, 3, 90);
  doc.transparency = std::make_unique<FakeChannel>(VRect{0, 0, 1, 4}, 0, true);
  doc.transparency->At(1, 0) = 200;
  doc.transparency->At(2, 0) = 200;
  doc.alphas.push_back(std::make_unique<FakeChannel>(VRect{0, 0, 1, 4}, 40, true));
  doc.alphas.push_back(std::make_unique<FakeChannel>(VRect{0, 0, 1, 4}, 40, false));
  doc.layerMask = std::make_unique<FakeChannel>(VRect{0, 0, 1, 4}, 250, true);
  doc.Link();
  FakeRender render(0, 0, 4, 1, 3);
  render.Set(0, 0, 100, {50, 50, 50});  // over a clear layer pixel
  render.Set(1, 0, 128, {60, 60, 60});  // over a partly covered one
  render.Set(2, 0, 0, {0, 0, 0});       // nothing
  render.Set(3, 0, 255, {7, 8, 9});     // opaque
  gProgress.clear();
  ASSERT_EQ(WriteResult(AccessOf(doc), render.effect), 1);
  EXPECT_EQ(doc.colors[0]->At(0, 0), 50 * 255 / 100);
  EXPECT_EQ(doc.colors[0]->At(1, 0), OverTransparent(90, 128, 60, 200));
  EXPECT_EQ(doc.colors[1]->At(1, 0), OverTransparent(91, 128, 60, 200));
  EXPECT_EQ(doc.colors[0]->At(2, 0), 90);
  EXPECT_EQ(doc.colors[2]->At(3, 0), 9);
  EXPECT_EQ(doc.transparency->At(0, 0), 100);
  EXPECT_EQ(doc.transparency->At(1, 0), OverAlpha(200, 128));
  EXPECT_EQ(doc.transparency->At(2, 0), 200);
  EXPECT_EQ(doc.transparency->At(3, 0), 255);
  EXPECT_EQ(doc.alphas[0]->At(0, 0), OverAlpha(40, 100));
  EXPECT_EQ(doc.alphas[0]->At(2, 0), 40);
  EXPECT_EQ(doc.alphas[0]->At(3, 0), 255);
  EXPECT_EQ(doc.alphas[1]->At(3, 0), 40);  // untargeted: untouched
  EXPECT_EQ(doc.alphas[1]->reads + doc.alphas[1]->writes, 0);
  EXPECT_EQ(doc.layerMask->At(1, 0), OverAlpha(250, 128));
  EXPECT_EQ(doc.layerMask->At(2, 0), 250);
  // Transparency is read once, written after the color channels.
  EXPECT_EQ(doc.transparency->reads, 1);
  EXPECT_EQ(doc.transparency->writes, 1);
  EXPECT_EQ(gProgress.front(), (std::pair<int32_t, int32_t>{0, 6}));
  EXPECT_EQ(gProgress.back(), (std::pair<int32_t, int32_t>{6, 6}));
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

// Over a layer, rows of every width (runs of clear, covering and partly
// covering render pixels, as a bevel's edges give them) against the
// per-pixel operator; tiles large enough to be composited in two parts on
// two threads too.
TEST(WriteResult, LayerPixelsFollowTheOperatorInEveryRun) {
  ScopedCountingMemory memory;
  std::mt19937 rng(61);
  for (const auto& [width, height, tasks] : {std::tuple<int32_t, int32_t, const TaskRunner*>{1, 3, nullptr},
                                             {15, 3, nullptr}, {16, 3, nullptr}, {17, 3, nullptr},
                                             {40, 3, nullptr}, {77, 3, nullptr}, {77, 3, WorkerThreads()},
                                             {333, 201, WorkerThreads()}, {256, 256, WorkerThreads()}}) {
    FakeDocument doc(width, height, 3, 0);
    doc.transparency = std::make_unique<FakeChannel>(VRect{0, 0, height, width}, 0, true);
    doc.Link();
    FakeRender render(0, 0, width, height, 3);
    std::vector<uint8_t> document[3], under(size_t(width) * height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        // Runs of one kind, with a partly covered pixel now and then.
        const uint32_t kind = (uint32_t(x) / 9 + uint32_t(y)) % 3 == 0 && rng() % 4 != 0 ? 3 : (uint32_t(x) / 9 + uint32_t(y)) % 2;
        const uint8_t alpha = kind == 0 ? 0 : kind == 1 ? 255 : uint8_t(1 + rng() % 254);
        render.Set(x, y, alpha, {uint8_t(rng() % (alpha + 1u)), uint8_t(rng() % (alpha + 1u)), uint8_t(rng() % (alpha + 1u))});
        under[size_t(y) * width + x] = doc.transparency->At(x, y) = uint8_t(rng());
        for (int c = 0; c < 3; ++c) doc.colors[c]->At(x, y) = uint8_t(rng());
      }
    for (int c = 0; c < 3; ++c)
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) document[c].push_back(doc.colors[c]->At(x, y));
    ASSERT_EQ(WriteResult(AccessOf(doc, tasks), render.effect), 1);
    const size_t planeSize = size_t(width) * height;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const size_t at = size_t(y) * width + x;
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(doc.colors[c]->At(x, y), OverTransparent(document[c][at], render.planes[at],
                                                             render.planes[(c + 1) * planeSize + at], under[at]))
              << width << " " << x << " " << y;
        ASSERT_EQ(doc.transparency->At(x, y), OverAlpha(under[at], render.planes[at])) << width << " " << x << " " << y;
      }
  }
}

TEST(WriteResult, UntargetedChannelsConsumeTheirPlane) {
  ScopedCountingMemory memory;
  FakeDocument doc(2, 1, 3, 0);
  doc.colors[0]->desc.target = 0;
  FakeRender render(0, 0, 2, 1, 2);  // two targeted channels: planes 1 and 2
  render.Set(0, 0, 255, {11, 22});
  ASSERT_EQ(WriteResult(AccessOf(doc), render.effect), 1);
  EXPECT_EQ(doc.colors[0]->At(0, 0), 0);
  EXPECT_EQ(doc.colors[1]->At(0, 0), 22);  // the second channel takes plane 2
  EXPECT_EQ(doc.colors[2]->At(0, 0), 2);   // no plane 3 in the buffer: left alone
  EXPECT_EQ(doc.colors[2]->writes, 0);
}

TEST(WriteResult, EffectOutsideTheDocumentWritesNothing) {
  ScopedCountingMemory memory;
  FakeDocument doc(4, 4, 1, 5);
  FakeRender render(10, 10, 3, 3, 1);
  render.Set(0, 0, 255, {255});
  ASSERT_EQ(WriteResult(AccessOf(doc), render.effect), 1);
  EXPECT_EQ(memory.memory.result, 0);
  EXPECT_EQ(doc.colors[0]->reads + doc.colors[0]->writes, 0);
  // Partly outside: clipped to the channel bounds.
  FakeRender partly(-1, 2, 3, 3, 1);
  partly.Set(0, 1, 255, {200});
  partly.Set(2, 2, 255, {201});
  ASSERT_EQ(WriteResult(AccessOf(doc), partly.effect), 1);
  EXPECT_EQ(doc.colors[0]->At(2, 0), 200);
  EXPECT_EQ(doc.colors[0]->At(3, 1), 5);  // column 5 of the effect lies outside
}

TEST(WriteResult, PortFailuresAndRefusals) {
  ScopedCountingMemory memory;
  FakeDocument doc(2, 1, 3, 0);
  doc.colors[0]->canWrite = false;  // skipped silently
  doc.colors[1]->readFails = true;  // -30900, the loop stops
  FakeRender render(0, 0, 2, 1, 3);
  render.Set(0, 0, 255, {1, 2, 3});
  gProgress.clear();
  EXPECT_EQ(WriteResult(AccessOf(doc), render.effect), 0);
  EXPECT_EQ(memory.memory.result, ErrPlugInHostInsufficient);
  EXPECT_EQ(doc.colors[0]->At(0, 0), 0);
  EXPECT_EQ(doc.colors[1]->writes, 0);
  EXPECT_EQ(doc.colors[2]->reads, 0);
  EXPECT_EQ(gProgress.back().second, 3);  // the last progress report is still made
  EXPECT_EQ(memory.memory.liveBlocks, 0);
  // A port that cannot read is not an error; the tile is composited over zeros.
  memory.memory.result = 0;
  FakeDocument unreadable(1, 1, 1, 77);
  unreadable.colors[0]->canRead = false;
  FakeRender half(0, 0, 1, 1, 1);
  half.Set(0, 0, 128, {64});
  EXPECT_EQ(WriteResult(AccessOf(unreadable), half.effect), 1);
  EXPECT_EQ(unreadable.colors[0]->At(0, 0), 64);
  // Channels of another depth are neither read nor written.
  FakeDocument deep(1, 1, 1, 77);
  deep.colors[0]->desc.depth = 16;
  EXPECT_EQ(WriteResult(AccessOf(deep), half.effect), 1);
  EXPECT_EQ(deep.colors[0]->reads + deep.colors[0]->writes, 0);
}

TEST(WriteResult, OutOfMemory) {
  ScopedCountingMemory memory;
  FakeDocument doc(3, 2, 3, 50);
  doc.transparency = std::make_unique<FakeChannel>(VRect{0, 0, 2, 3}, 10, true);
  doc.Link();
  FakeRender render(0, 0, 3, 2, 3);
  render.Set(1, 1, 255, {1, 2, 3});
  for (long n = 1; n <= 2; ++n) {
    memory.memory.result = 0;
    memory.memory.failAt = memory.memory.allocations + n;
    EXPECT_EQ(WriteResult(AccessOf(doc), render.effect), 0);
    EXPECT_EQ(memory.memory.result, MemFullErr);
    EXPECT_EQ(memory.memory.liveBlocks, 0);
    EXPECT_EQ(doc.colors[0]->At(1, 1), 50);
    EXPECT_EQ(doc.transparency->writes, 0);
  }
}

TEST(CopySelection, CopiesTheOverlapAtItsOffset) {
  ScopedCountingMemory memory;
  FakeDocument doc(10, 10, 1, 0);
  doc.selection = std::make_unique<FakeChannel>(VRect{3, 4, 6, 9}, 0, false);
  for (int y = 3; y < 6; ++y)
    for (int x = 4; x < 9; ++x) doc.selection->At(x, y) = uint8_t(10 * y + x);
  doc.Link();
  std::vector<uint8_t> mask(4 * 4, 0);
  // Effect (2, 2) .. (6, 6): overlap rows 3..5, columns 4..5.
  ASSERT_EQ(CopySelection(AccessOf(doc), mask.data(), 2, 2, 4, 4), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const int docX = x + 2, docY = y + 2;
      const bool inside = docY >= 3 && docY < 6 && docX >= 4;
      EXPECT_EQ(mask[size_t(y) * 4 + x], inside ? 10 * docY + docX : 0) << x << "," << y;
    }
  EXPECT_EQ(CopySelection(AccessOf(doc), mask.data(), 7, 0, 2, 2), 0);  // misses the selection
  memory.memory.failAt = memory.memory.allocations + 1;
  EXPECT_EQ(CopySelection(AccessOf(doc), mask.data(), 2, 2, 4, 4), 0);  // quiet failure
  EXPECT_EQ(memory.memory.result, 0);
  EXPECT_EQ(memory.memory.liveBlocks, 0);
  SelectionSource source{AccessOf(doc), 2, 2};
  memory.memory.failAt = 0;
  EXPECT_EQ(CopySelectionForRender(&source, mask.data(), 4, 4, PixelRect{0, 0, 4, 4}), 1);
  // Limited to an area (rows 1..2, columns 2..3 of the effect): the rest stays.
  std::vector<uint8_t> part(4 * 4, 7);
  EXPECT_EQ(CopySelectionForRender(&source, part.data(), 4, 4, PixelRect{1, 2, 3, 4}), 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(part[size_t(i)], i / 4 >= 1 && i / 4 < 3 && i % 4 >= 2 ? mask[size_t(i)] : 7) << i;
}

TEST(CompositePreview, OneToOneAndZoomed) {
  FakeDocument doc(8, 8, 1, 0);
  doc.transparency = std::make_unique<FakeChannel>(VRect{0, 0, 8, 8}, 0, true);
  doc.Link();
  FakeRender render(2, 2, 4, 4, 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) render.Set(x, y, 255, {uint8_t(10 * y + x)});
  // The preview shows document rectangle (1, 1) .. (5, 5) at 1:1: a 4 x 4 preview.
  std::vector<uint8_t> plane(16, 99), transparency(16, 0);
  PreviewSurface preview{plane.data(), 1, transparency.data(), 4, 4, VRect{1, 1, 5, 5}, 1.0f};
  CompositePreview(&doc.desc, render.effect, preview);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool covered = x >= 1 && y >= 1;
      EXPECT_EQ(plane[size_t(y) * 4 + x], covered ? 10 * (y - 1) + (x - 1) : 99) << x << "," << y;
      EXPECT_EQ(transparency[size_t(y) * 4 + x], covered ? 255 : 0);
    }
  // Zoom 2: the 4 x 4 effect covers 8 x 8 preview pixels, each render pixel twice.
  std::vector<uint8_t> big(100, 0);
  PreviewSurface zoomed{big.data(), 1, nullptr, 10, 10, VRect{2, 2, 7, 7}, 2.0f};
  CompositePreview(&doc.desc, render.effect, zoomed);
  const uint32_t step = uint32_t(float(0xFFF6) / 2.0f);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint32_t sx = (uint32_t(x) * step) >> 16, sy = (uint32_t(y) * step) >> 16;
      EXPECT_EQ(big[size_t(y) * 10 + x], 10 * sy + sx) << x << "," << y;
    }
  EXPECT_EQ(big[8], 0);
  // Zoom one half: every other render pixel, over-opaque without a preview transparency.
  std::vector<uint8_t> small(4, 5);
  PreviewSurface half{small.data(), 1, nullptr, 2, 2, VRect{2, 2, 6, 6}, 0.5f};
  CompositePreview(&doc.desc, render.effect, half);
  const uint32_t halfStep = uint32_t(float(0xFFF6) / 0.5f);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(small[3], 10 * ((halfStep) >> 16) + (halfStep >> 16));
  // A preview far from the effect is untouched.
  std::vector<uint8_t> away(4, 5);
  PreviewSurface elsewhere{away.data(), 1, nullptr, 2, 2, VRect{20, 20, 22, 22}, 1.0f};
  CompositePreview(&doc.desc, render.effect, elsewhere);
  EXPECT_EQ(away, std::vector<uint8_t>(4, 5));
}

TEST(ReadChannelScaled, FillsThePreviewSizedDestination) {
  FakeDocument doc(8, 4, 1, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) doc.colors[0]->At(x, y) = uint8_t(10 * y + x);
  std::vector<uint8_t> preview(4 * 2, 0xEE);
  EXPECT_EQ(ReadChannelScaled(&doc.ports, &doc.colors[0]->desc, preview.data(), VRect{0, 0, 4, 8}, 4, 2), 1);
  EXPECT_EQ(preview, (std::vector<uint8_t>{0, 2, 4, 6, 20, 22, 24, 26}));
  doc.colors[0]->canRead = false;
  EXPECT_EQ(ReadChannelScaled(&doc.ports, &doc.colors[0]->desc, preview.data(), VRect{0, 0, 4, 8}, 4, 2), 0);
  EXPECT_EQ(preview, std::vector<uint8_t>(8, 0));
}

// The shift form of the division by 255 the operators use, over every product of two bytes and beyond.
TEST(PixelOperators, DivideBy255IsTheTruncatingQuotient) {
  for (uint32_t x = 0; x <= 65534; ++x) ASSERT_EQ(DivideBy255(x), x / 255) << x;
}

TEST(PixelOperators, DivideByCoverageIsTheTruncatingQuotient) {
  for (uint32_t c = 1; c < 256; ++c)
    for (uint32_t n = 0; n < (1u << 17); ++n) ASSERT_EQ(DivideByCoverage(n, c), n / c) << n << " / " << c;
}
