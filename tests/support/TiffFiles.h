// TIFF files for tests, written with libtiff: any layout the loader must
// read, from a picture given as 8-bit RGBA pixels (top row first).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tiff_test {

struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> rgba;  // per pixel red | green << 8 | blue << 16 | alpha << 24
  uint32_t At(uint32_t x, uint32_t y) const { return rgba[size_t(y) * width + x]; }
};

enum class Layout {
  Rgb8,        // 3 samples, 8 bits, strips of a few rows
  Rgba8,       // 4 samples with an associated-alpha extra sample
  Gray8,       // 1 sample (red is written)
  Gray16,      // 1 sample of 16 bits (red * 257)
  Palette8,    // color map of the distinct colors (at most 256)
  Rgb8Tiled,   // 16 x 16 tiles
  Rgb16,       // 3 samples of 16 bits
  Cmyk8,       // separated, inks from the colors (K = 0)
  GrayAlpha8   // gray and an extra sample
};

// Writes `picture` in `layout` to `path`; false when libtiff refused.
bool WriteTiff(const std::string& path, const Picture& picture, Layout layout);
// What the loader must deliver for a pixel of `picture` written in `layout`.
uint32_t Expected(const Picture& picture, Layout layout, uint32_t x, uint32_t y);
// The bytes of a file.
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// A fresh path in the test's temporary folder.
std::string TempPath(const std::string& name);

}  // namespace tiff_test
