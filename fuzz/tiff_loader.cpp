// Map images from arbitrary TIFF bytes: whatever libtiff makes of them, the
// loader either refuses them or delivers an image whose planes, flags, sizes
// and maximum plane agree; it never leaks.
#include <algorithm>
#include <cstdlib>

#include "core/WorkMemory.h"
#include "fuzz/support/FuzzMemory.h"
#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "maps/TiffReader.h"

namespace {
// The host this target stands for refuses single blocks above 256 MiB: a
// few header bytes may announce a picture of gigabytes, which must end as
// out of memory, not exhaust the fuzzer's.
constexpr uint32_t LargestBlock = 256u << 20;
WorkMemory gCounting;

void* CappedNew(void* context, uint32_t size) {
  return size > LargestBlock ? nullptr : gCounting.newBlock(context, size);
}

void Check(const MapImage& image) {
  if (image.width == 0 || image.height == 0 || image.data == nullptr || image.next != nullptr) std::abort();
  const uint32_t size = ImagePlaneSize(image);
  const bool rgb = (image.flags & ImageRgb) != 0, gray = (image.flags & ImageGray) != 0;
  if (rgb == gray || !(image.flags & ImageHasMax) || image.maxPlane == nullptr) std::abort();
  if (gray && image.maxPlane != image.data) std::abort();
  for (uint32_t i = 0; i < size; ++i) {
    const uint8_t r = image.data[i], g = rgb ? image.data[size + i] : r, b = rgb ? image.data[2 * size + i] : r;
    if (image.maxPlane[i] != std::max({r, g, b})) std::abort();
  }
  // Every byte of every plane is readable (ASan checks the reads).
  volatile uint32_t sum = 0;
  for (uint32_t i = 0; i < size * ImagePlaneCount(image); ++i) sum = sum + image.data[i];
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountingMemory& memory = FuzzMemory();
  const long baseline = memory.liveBlocks;
  if (size > UINT32_MAX) return 0;
  gCounting = CurrentWorkMemory();
  WorkMemory capped = gCounting;
  capped.newBlock = CappedNew;
  BindWorkMemory(capped);
  MapImage* image = nullptr;
  const TiffReadStatus status = ReadTiffMapImageBytes(data, uint32_t(size), 1, &image);
  if (status == TiffReadOk) {
    if (image == nullptr) std::abort();
    Check(*image);
    FreeImages(image);
  } else if (image != nullptr) {
    std::abort();
  }
  BindWorkMemory(gCounting);
  memory.result = 0;
  CheckNoLeak(baseline, "tiff_loader");
  return 0;
}
