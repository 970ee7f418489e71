// The pixels a module hands to the display procedure, painted into the
// device context it names (Windows), as a real host shows a preview. The map
// has been checked by the caller (HostServices.cpp); transparent pixels are
// shown over a grey checkerboard. Elsewhere there is nothing to paint into.
#include "host/HostState.h"

#if defined(_WIN32)
#include <windows.h>

#include "host/TopDownBitmap.h"

#include <vector>

namespace {
constexpr int32_t CheckerSize = 8;  // pixels per checkerboard square
constexpr uint8_t CheckerLight = 255, CheckerDark = 204;
}  // namespace

void PaintPixelMap(const PSPixelMap* map, const VRect& area, int32_t dstRow, int32_t dstCol, void* context) {
  HDC dc = static_cast<HDC>(context);
  const int32_t width = area.right - area.left, height = area.bottom - area.top;
  if (dc == nullptr || width <= 0 || height <= 0) return;
  const uint8_t* base = static_cast<const uint8_t*>(map->baseAddr);
  const bool rgb = map->imageMode == ModeRGBColor;
  const PSPixelMask* mask = map->version >= 1 ? map->masks : nullptr;
  std::vector<uint8_t> bgrx(size_t(width) * size_t(height) * 4);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int64_t at = int64_t(y + area.top - map->bounds.top) * map->rowBytes +
                         int64_t(x + area.left - map->bounds.left) * map->colBytes;
      uint8_t colour[3];
      for (int32_t c = 0; c < 3; ++c) colour[c] = base[at + (rgb ? int64_t(c) * map->planeBytes : 0)];
      uint32_t alpha = 255;
      if (mask != nullptr) {
        alpha = static_cast<const uint8_t*>(mask->maskData)[int64_t(y + area.top - map->bounds.top) * mask->rowBytes +
                                                            int64_t(x + area.left - map->bounds.left) * mask->colBytes];
      }
      const uint8_t back = (((x + dstCol) / CheckerSize + (y + dstRow) / CheckerSize) % 2) ? CheckerDark : CheckerLight;
      uint8_t* out = &bgrx[(size_t(y) * size_t(width) + size_t(x)) * 4];
      for (int32_t c = 0; c < 3; ++c) out[2 - c] = uint8_t((colour[c] * alpha + back * (255 - alpha) + 127) / 255);
    }
  }
  BITMAPINFO info = TopDownBitmapInfo(width, height);
  SetDIBitsToDevice(dc, dstCol, dstRow, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), bgrx.data(), &info,
                    DIB_RGB_COLORS);
}

#else

void PaintPixelMap(const PSPixelMap*, const VRect&, int32_t, int32_t, void*) {}

#endif
