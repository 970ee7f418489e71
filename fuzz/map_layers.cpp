// The map layer block of a settings file from arbitrary bytes (the layer
// count and the records after a valid style), then everything a run does
// with the layers: the post-load fix-up, placement, the material fill and
// bump gathering over real element buffers. Hostile sizes, angles, centres,
// links and flag bits must neither crash, loop nor leak.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bevel/ElementBuffer.h"
#include "core/WorkMemory.h"
#include "fuzz/support/FuzzMemory.h"
#include "maps/BumpGathering.h"
#include "maps/ImageCache.h"
#include "maps/MapFrame.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "maps/MapPlacement.h"
#include "render/Sampling.h"
#include "style/SettingsFile.h"
#include "tests/support/StyleSupport.h"

namespace {
// Every name loads: an RGB image with alpha whose size follows the name's length.
MapImage* LoadPattern(void* context, const char* path, int32_t wantMax) {
  MapImage** cache = static_cast<MapImage**>(context);
  if (MapImage* cached = FindCachedImage(*cache, path)) return cached;
  MapImage* image = static_cast<MapImage*>(NewClearedBlock(sizeof(MapImage)));
  if (image == nullptr) return nullptr;
  const size_t length = std::strlen(path);
  image->width = uint16_t(1 + length % 7);
  image->height = uint16_t(1 + length % 5);
  image->flags = ImageRgb | ImageAlpha;
  const uint32_t bytes = ImagePlaneSize(*image) * ImagePlaneCount(*image);
  image->data = static_cast<uint8_t*>(NewBlock(bytes));
  if (image->data == nullptr) {
    FreeImages(image);
    return nullptr;
  }
  for (uint32_t i = 0; i < bytes; ++i) image->data[i] = uint8_t(i * 37 + length);
  std::strncpy(image->name, path, MapImageNameCapacity - 1);
  if (wantMax && !MakeMaxPlane(image)) {
    FreeImages(image);
    return nullptr;
  }
  image->next = *cache;
  *cache = image;
  return image;
}

// A width x height element buffer at (x0, y0) covered everywhere, from `pool`.
ElementBuffer* FullBuffer(int16_t x0, int16_t y0, int32_t width, int32_t height, NodePool* pool) {
  ElementBuffer* buffer = static_cast<ElementBuffer*>(NewClearedBlock(sizeof(ElementBuffer)));
  if (buffer == nullptr) return nullptr;
  buffer->x0 = x0, buffer->y0 = y0, buffer->width = uint16_t(width), buffer->height = uint16_t(height);
  buffer->rows = static_cast<Span**>(NewClearedBlock(uint32_t(height) * sizeof(Span*)));
  std::vector<uint8_t> counts(size_t(width), 0);
  int32_t low = width, high = 0;
  for (int32_t row = 0; buffer->rows != nullptr && row < height; ++row) {
    std::fill(counts.begin(), counts.end(), uint8_t(PixelSamples));
    if (!EmitCoverageRow(counts.data(), width, &buffer->rows[row], pool, &low, &high)) break;
  }
  return buffer;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountingMemory& memory = FuzzMemory();
  const long baseline = memory.liveBlocks;
  MapImage* cache = nullptr;
  {
    StyleRecord style{};
    SetDefaultStyle(&style);
    const StyleIo io{LoadPattern, nullptr, &cache, "/nonexistent-bevelforge-maps/", 0, 0};
    // A default style's file without its layer count, then the fuzzed block.
    uint32_t headerSize = 0;
    uint8_t* header = EncodeSettings(style, io, &headerSize);
    if (header == nullptr) std::abort();
    std::vector<uint8_t> file(header, header + headerSize - 4);
    FreeBlockOf(header);
    file.insert(file.end(), data, data + size);

    ElementBuffer* buffers[3] = {FullBuffer(9, 7, 12, 6, &gMainSpanPool), FullBuffer(5, 3, 20, 14, &gInnerSpanPool),
                                FullBuffer(0, 0, 30, 20, &gOuterSpanPool)};
    if (ReadSettingsBytes(file.data(), uint32_t(file.size()), &style, io) && !RunFailed()) {
      MapFrame frame{};
      std::memcpy(frame.buffers, buffers, sizeof buffers);
      frame.effectLeft = -3, frame.effectTop = 4, frame.effectWidth = 30, frame.effectHeight = 20;
      frame.cache = &cache;
      BindMapFrame(frame);
      ResolveLayersAfterLoad(&style);
      for (int32_t e = 0; e < ElementCount; ++e) {
        BumpSampler* samplers = nullptr;
        const int32_t count = GatherBumpSamplers(style.mapLayers, ElementSelectorBit(e), buffers[e], &samplers);
        const ElementBuffer* b = buffers[e];
        for (int32_t row = 0; samplers != nullptr && row < b->height; ++row) {
          for (const Span* s = b->rows[row]; s != nullptr; s = s->next) {
            StartBumpSpan(samplers, count, s->xStart);
            for (int32_t x = s->xStart; x < s->xEnd; ++x) {
              float n[3] = {0, 0, 1};
              PerturbNormal(samplers, count, n);
              NextBumpColumn(samplers, count);
            }
          }
          NextBumpRow(samplers, count);
        }
        FreeBlockOf(samplers);
      }
      BindMapFrame(MapFrame{});
    }
    FreeMapLayers(style.mapLayers);
    for (ElementBuffer*& buffer : buffers) DisposeElementBuffer(&buffer);
    for (NodePool* pool : {&gMainSpanPool, &gInnerSpanPool, &gOuterSpanPool}) EmptyPool(pool);
    FreeImages(cache);
  }
  memory.result = 0;
  CheckNoLeak(baseline, "map_layers");
  return 0;
}
