// Reading PNG and TIFF images and writing PNG images, 8 bits per sample.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// An 8-bit image, samples interleaved per pixel: the colour samples (gray,
// or red, green, blue), then alpha when present. Alpha is straight (not
// premultiplied).
struct RasterImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t colorChannels = 0;  // 1 gray, 3 RGB
  bool hasAlpha = false;
  std::vector<uint8_t> samples;  // height rows of width * SamplesPerPixel() bytes, top row first

  int32_t SamplesPerPixel() const { return colorChannels + (hasAlpha ? 1 : 0); }
  size_t RowBytes() const { return static_cast<size_t>(width) * static_cast<size_t>(SamplesPerPixel()); }
  uint8_t* Pixel(int32_t x, int32_t y) {
    return samples.data() + static_cast<size_t>(y) * RowBytes() + static_cast<size_t>(x) * SamplesPerPixel();
  }
  const uint8_t* Pixel(int32_t x, int32_t y) const {
    return samples.data() + static_cast<size_t>(y) * RowBytes() + static_cast<size_t>(x) * SamplesPerPixel();
  }
};

// Largest width or height read or written, in pixels.
constexpr int32_t MaxImageSide = 30000;

// Makes an image of the given shape with every sample set to `fill`.
// Returns 0 when the shape is out of range (sides 1..MaxImageSide, colour
// channels 1 or 3).
bool MakeImage(int32_t width, int32_t height, int32_t colorChannels, bool hasAlpha, uint8_t fill,
               RasterImage& image);

// Copies one channel (0-based, alpha being the last) into a plane of
// width * height bytes.
std::vector<uint8_t> ExtractPlane(const RasterImage& image, int32_t channel);
// Copies a plane of width * height bytes into one channel.
void StorePlane(RasterImage& image, int32_t channel, const uint8_t* plane);

// Reads a PNG file of any colour type and depth: palettes and low bit depths
// are expanded, 16-bit samples scaled to 8 bits, a transparency chunk
// becomes alpha. Gray stays gray. Returns 0 with a message for files that
// cannot be opened, are not PNG, are broken or too large.
bool ReadPngFile(const std::string& fileName, RasterImage& image, std::string& error);

// Reads the first image of a TIFF file through libtiff's RGBA interface.
// Gray images (one colour sample) stay gray; extra alpha samples become
// straight alpha.
bool ReadTiffFile(const std::string& fileName, RasterImage& image, std::string& error);

// Reads a PNG or TIFF file, chosen by its first bytes.
bool ReadImageFile(const std::string& fileName, RasterImage& image, std::string& error);

enum class ImageFileKind {
  Png,   // starts with the PNG signature
  Tiff,  // starts with a classic or big TIFF header
  Other  // anything else, or a file that cannot be opened
};
ImageFileKind ImageFileKindOf(const std::string& fileName);

// Writes `image` as a deflate-compressed 8-bit TIFF (gray or RGB, alpha as an
// unassociated extra sample). A failed write removes the partial file.
bool WriteTiffFile(const std::string& fileName, const RasterImage& image, std::string& error);

// PNG compression levels (zlib's): 0 stores, 9 makes the smallest files.
// Levels up to FastPngCompressionLimit filter every row the same way, for
// speed; higher ones let the library pick a filter per row.
constexpr int32_t MaxPngCompression = 9;
constexpr int32_t FastPngCompressionLimit = 3;
constexpr int32_t DefaultPngCompression = 1;

// Writes `image` as an 8-bit PNG (gray, gray + alpha, RGB or RGBA) at
// `compression` (clamped to 0..MaxPngCompression). A failed write removes
// the partial file.
bool WritePngFile(const std::string& fileName, const RasterImage& image, std::string& error,
                  int32_t compression = DefaultPngCompression);

// The same from planes of width x height bytes: the colour planes (gray, or
// red, green, blue), then alpha when `hasAlpha`; interleaved row by row as
// they are written, so no second copy of the picture is made.
bool WritePngPlanes(const std::string& fileName, int32_t width, int32_t height, int32_t colorChannels, bool hasAlpha,
                    const uint8_t* const planes[], std::string& error, int32_t compression = DefaultPngCompression);
