// Writing the render buffer into a small document through a ChannelPorts
// suite double, reading the selection, and compositing the preview.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "render/DocumentOutput.h"
#include "render/PixelOperators.h"
#include "tests/support/CountingMemory.h"

namespace {

// One 8-bit channel of the document double: pixels over `bounds`.
struct FakeChannel {
  ReadChannelDesc desc{};
  VRect bounds{};
  std::vector<uint8_t> pixels;
  bool canRead = true, canWrite = true;
  bool readFails = false, writeFails = false;
  int reads = 0, writes = 0;

  FakeChannel(VRect b, uint8_t fill, bool targeted) : bounds(b) {
    pixels.assign(size_t(b.right - b.left) * (b.bottom - b.top), fill);
    desc.bounds = b;
    desc.depth = 8;
    desc.target = targeted ? 1 : 0;
    desc.maxVersion = 1;
    desc.port = reinterpret_cast<PIChannelPort>(this);
    desc.writePort = reinterpret_cast<PIChannelPort>(this);
  }
  uint8_t& At(int x, int y) {
    return pixels[size_t(y - bounds.top) * (bounds.right - bounds.left) + (x - bounds.left)];
  }
};

FakeChannel* ChannelOf(PIChannelPort port) { return reinterpret_cast<FakeChannel*>(port); }

SPErr CanRead(PIChannelPort port, Boolean* answer) {
  *answer = ChannelOf(port)->canRead;
  return 0;
}
SPErr CanWrite(PIChannelPort port, Boolean* answer) {
  *answer = ChannelOf(port)->canWrite;
  return 0;
}
// Copies between the channel and a memory description, one byte per pixel.
bool Transfer(FakeChannel* c, const VRect& rect, const PixelMemoryDesc* memory, bool read) {
  if (memory->depth != 8 || memory->colBits != 8 || memory->rowBits % 8 != 0) return false;
  if (rect.top < c->bounds.top || rect.left < c->bounds.left || rect.bottom > c->bounds.bottom ||
      rect.right > c->bounds.right)
    return false;
  auto* data = static_cast<uint8_t*>(memory->data);
  const int32_t stride = memory->rowBits / 8;
  for (int32_t y = rect.top; y < rect.bottom; ++y)
    for (int32_t x = rect.left; x < rect.right; ++x) {
      uint8_t& m = data[size_t(y - rect.top) * stride + (x - rect.left)];
      if (read)
        m = c->At(x, y);
      else
        c->At(x, y) = m;
    }
  return true;
}
SPErr ReadPixels(PIChannelPort port, int32_t level, VRect* bounds, const PixelMemoryDesc* destination) {
  FakeChannel* c = ChannelOf(port);
  ++c->reads;
  if (c->readFails || level != 0 || !Transfer(c, *bounds, destination, true)) return -1;
  return 0;
}
SPErr WritePixels(PIChannelPort port, VRect* bounds, const PixelMemoryDesc* source) {
  FakeChannel* c = ChannelOf(port);
  ++c->writes;
  if (c->writeFails || !Transfer(c, *bounds, source, false)) return -1;
  return 0;
}

// Nearest-pixel scaling of the source rectangle onto the destination.
SPErr ReadScaled(PIChannelPort port, VRect* readRect, const PSScaling* scaling, const PixelMemoryDesc* destination) {
  FakeChannel* c = ChannelOf(port);
  ++c->reads;
  if (c->readFails || destination->depth != 8) return -1;
  const VRect& src = scaling->sourceRect;
  const VRect& dst = scaling->destinationRect;
  auto* data = static_cast<uint8_t*>(destination->data);
  for (int32_t y = readRect->top; y < readRect->bottom; ++y)
    for (int32_t x = readRect->left; x < readRect->right; ++x) {
      const int32_t sx = src.left + (x - dst.left) * (src.right - src.left) / (dst.right - dst.left);
      const int32_t sy = src.top + (y - dst.top) * (src.bottom - src.top) / (dst.bottom - dst.top);
      data[size_t(y) * (destination->rowBits / 8) + x] = c->At(sx, sy);
    }
  return 0;
}

PSChannelPortsSuite1 MakePorts() {
  PSChannelPortsSuite1 ports{};
  ports.CanRead = CanRead;
  ports.CanWrite = CanWrite;
  ports.ReadPixelsFromLevel = ReadPixels;
  ports.WritePixelsToBaseLevel = WritePixels;
  ports.ReadScaledPixels = ReadScaled;
  return ports;
}

std::vector<std::pair<int32_t, int32_t>> gProgress;
void PI_CALL RecordProgress(int32_t done, int32_t total) { gProgress.emplace_back(done, total); }

// A document of width x height with `colors` target color channels.
struct FakeDocument {
  std::vector<std::unique_ptr<FakeChannel>> colors, alphas;
  std::unique_ptr<FakeChannel> transparency, layerMask, selection;
  ReadImageDocumentDesc desc{};
  PSChannelPortsSuite1 ports = MakePorts();

  FakeDocument(int32_t width, int32_t height, int colorCount, uint8_t fill) {
    for (int i = 0; i < colorCount; ++i)
      colors.push_back(std::make_unique<FakeChannel>(VRect{0, 0, height, width}, uint8_t(fill + i), true));
    Link();
  }
  void Link() {
    desc.targetCompositeChannels = Chain(colors);
    desc.alphaChannels = Chain(alphas);
    desc.targetTransparency = transparency ? &transparency->desc : nullptr;
    desc.targetLayerMask = layerMask ? &layerMask->desc : nullptr;
    desc.selection = selection ? &selection->desc : nullptr;
  }
  static ReadChannelDesc* Chain(std::vector<std::unique_ptr<FakeChannel>>& list) {
    for (size_t i = 0; i < list.size(); ++i) list[i]->desc.next = i + 1 < list.size() ? &list[i + 1]->desc : nullptr;
    return list.empty() ? nullptr : &list[0]->desc;
  }
  DocumentAccess Access() { return DocumentAccess{&ports, &desc, RecordProgress}; }
};

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
  ASSERT_EQ(WriteResult(doc.Access(), render.effect), 1);
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
  ASSERT_EQ(WriteResult(doc.Access(), render.effect), 1);
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

TEST(WriteResult, UntargetedChannelsConsumeTheirPlane) {
  ScopedCountingMemory memory;
  FakeDocument doc(2, 1, 3, 0);
  doc.colors[0]->desc.target = 0;
  FakeRender render(0, 0, 2, 1, 2);  // two targeted channels: planes 1 and 2
  render.Set(0, 0, 255, {11, 22});
  ASSERT_EQ(WriteResult(doc.Access(), render.effect), 1);
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
  ASSERT_EQ(WriteResult(doc.Access(), render.effect), 1);
  EXPECT_EQ(memory.memory.result, 0);
  EXPECT_EQ(doc.colors[0]->reads + doc.colors[0]->writes, 0);
  // Partly outside: clipped to the channel bounds.
  FakeRender partly(-1, 2, 3, 3, 1);
  partly.Set(0, 1, 255, {200});
  partly.Set(2, 2, 255, {201});
  ASSERT_EQ(WriteResult(doc.Access(), partly.effect), 1);
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
  EXPECT_EQ(WriteResult(doc.Access(), render.effect), 0);
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
  EXPECT_EQ(WriteResult(unreadable.Access(), half.effect), 1);
  EXPECT_EQ(unreadable.colors[0]->At(0, 0), 64);
  // Channels of another depth are neither read nor written.
  FakeDocument deep(1, 1, 1, 77);
  deep.colors[0]->desc.depth = 16;
  EXPECT_EQ(WriteResult(deep.Access(), half.effect), 1);
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
    EXPECT_EQ(WriteResult(doc.Access(), render.effect), 0);
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
  ASSERT_EQ(CopySelection(doc.Access(), mask.data(), 2, 2, 4, 4), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const int docX = x + 2, docY = y + 2;
      const bool inside = docY >= 3 && docY < 6 && docX >= 4;
      EXPECT_EQ(mask[size_t(y) * 4 + x], inside ? 10 * docY + docX : 0) << x << "," << y;
    }
  EXPECT_EQ(CopySelection(doc.Access(), mask.data(), 7, 0, 2, 2), 0);  // misses the selection
  memory.memory.failAt = memory.memory.allocations + 1;
  EXPECT_EQ(CopySelection(doc.Access(), mask.data(), 2, 2, 4, 4), 0);  // quiet failure
  EXPECT_EQ(memory.memory.result, 0);
  EXPECT_EQ(memory.memory.liveBlocks, 0);
  SelectionSource source{doc.Access(), 2, 2};
  memory.memory.failAt = 0;
  EXPECT_EQ(CopySelectionForRender(&source, mask.data(), 4, 4), 1);
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
