#include "cli/ImageFile.h"

#include <gtest/gtest.h>

#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <random>

namespace {

// A temporary file name, removed when the holder goes.
struct TempFile {
  std::string path;
  explicit TempFile(const char* suffix) {
    char name[] = "/tmp/bf_cli_imageXXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    close(fd);
    unlink(name);
    path = std::string(name) + suffix;
  }
  ~TempFile() { unlink(path.c_str()); }
};

RasterImage RandomImage(int32_t width, int32_t height, int32_t colorChannels, bool hasAlpha, uint32_t seed) {
  RasterImage image;
  EXPECT_TRUE(MakeImage(width, height, colorChannels, hasAlpha, 0, image));
  std::mt19937 random(seed);
  for (uint8_t& sample : image.samples) sample = static_cast<uint8_t>(random());
  return image;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  }
  std::fclose(file);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(file);
  return bytes;
}

// Writes a PNG with libpng directly, in a form our writer never produces.
void WriteRawPng(const std::string& path, int width, int height, int colorType, int bitDepth,
                 const std::vector<std::vector<uint8_t>>& rows, const std::vector<png_color>& palette = {},
                 const std::vector<uint8_t>& transparency = {}, bool interlaced = false) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  ASSERT_EQ(setjmp(png_jmpbuf(png)), 0);
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, bitDepth, colorType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!transparency.empty())
    png_set_tRNS(png, info, transparency.data(), static_cast<int>(transparency.size()), nullptr);
  png_write_info(png, info);
  std::vector<png_bytep> pointers;
  for (const auto& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

}  // namespace

TEST(PngFile, WrittenImagesReadBackUnchanged) {
  struct Shape {
    int32_t channels;
    bool alpha;
  } shapes[] = {{1, false}, {1, true}, {3, false}, {3, true}};
  uint32_t seed = 1;
  for (const Shape& shape : shapes) {
    for (const auto& size : {std::pair<int32_t, int32_t>{1, 1}, {37, 5}, {64, 64}}) {
      const RasterImage original = RandomImage(size.first, size.second, shape.channels, shape.alpha, seed++);
      TempFile file(".png");
      std::string error;
      ASSERT_TRUE(WritePngFile(file.path, original, error)) << error;
      RasterImage back;
      ASSERT_TRUE(ReadPngFile(file.path, back, error)) << error;
      EXPECT_EQ(back.width, original.width);
      EXPECT_EQ(back.height, original.height);
      EXPECT_EQ(back.colorChannels, original.colorChannels);
      EXPECT_EQ(back.hasAlpha, original.hasAlpha);
      EXPECT_EQ(back.samples, original.samples);
      RasterImage viaDispatch;
      ASSERT_TRUE(ReadImageFile(file.path, viaDispatch, error)) << error;
      EXPECT_EQ(viaDispatch.samples, original.samples);
    }
  }
}

TEST(PngFile, PalettesLowDepthsSixteenBitsAndTransparencyExpand) {
  TempFile file(".png");
  std::string error;
  RasterImage image;

  // Palette with a transparency chunk: RGB plus alpha.
  WriteRawPng(file.path, 3, 1, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1, 2}}, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {0, 128});
  ASSERT_TRUE(ReadPngFile(file.path, image, error)) << error;
  EXPECT_EQ(image.colorChannels, 3);
  ASSERT_TRUE(image.hasAlpha);
  EXPECT_EQ(image.samples, (std::vector<uint8_t>{255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}));

  // 1-bit gray: 0 and 1 become 0 and 255.
  WriteRawPng(file.path, 8, 1, PNG_COLOR_TYPE_GRAY, 1, {{0xA5}});
  ASSERT_TRUE(ReadPngFile(file.path, image, error)) << error;
  EXPECT_EQ(image.colorChannels, 1);
  EXPECT_FALSE(image.hasAlpha);
  EXPECT_EQ(image.samples, (std::vector<uint8_t>{255, 0, 255, 0, 0, 255, 0, 255}));

  // 16-bit RGBA is scaled to 8 bits with rounding: v16 * 255 / 65535.
  WriteRawPng(file.path, 1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {{0xFF, 0xFF, 0x80, 0x80, 0x00, 0x80, 0x12, 0x34}});
  ASSERT_TRUE(ReadPngFile(file.path, image, error)) << error;
  ASSERT_EQ(image.samples.size(), 4u);
  EXPECT_EQ(image.samples[0], 255);
  EXPECT_EQ(image.samples[1], 128);  // 0x8080 = 32896 -> 128.0
  EXPECT_EQ(image.samples[2], 0);    // 0x0080 = 128 -> 0.5 rounds down to 0 or up to 1
  EXPECT_NEAR(image.samples[3], 0x1234 * 255.0 / 65535, 0.5 + 1e-9);

  // Interlaced images are assembled from all passes.
  std::vector<std::vector<uint8_t>> rows(9, std::vector<uint8_t>(9));
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) rows[y][x] = static_cast<uint8_t>(y * 9 + x);
  WriteRawPng(file.path, 9, 9, PNG_COLOR_TYPE_GRAY, 8, rows, {}, {}, true);
  ASSERT_TRUE(ReadPngFile(file.path, image, error)) << error;
  for (int i = 0; i < 81; ++i) EXPECT_EQ(image.samples[i], i);
}

TEST(PngFile, BrokenFilesGiveMessagesAndNoImage) {
  const RasterImage original = RandomImage(40, 30, 3, true, 99);
  TempFile good(".png");
  std::string error;
  ASSERT_TRUE(WritePngFile(good.path, original, error));
  const std::vector<uint8_t> bytes = ReadBytes(good.path);
  TempFile bad(".png");
  RasterImage image;

  for (const size_t length : {size_t{0}, size_t{4}, size_t{8}, size_t{20}, size_t{40}, bytes.size() / 2, bytes.size() - 13}) {
    WriteBytes(bad.path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(length)));
    EXPECT_FALSE(ReadPngFile(bad.path, image, error)) << length;
    EXPECT_NE(error.find(bad.path), std::string::npos) << error;
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.samples.empty());
  }
  // Damaged bytes anywhere (checksums catch most; none may crash).
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> damaged = bytes;
    for (int k = 0; k < 3; ++k) damaged[8 + random() % (damaged.size() - 8)] = static_cast<uint8_t>(random());
    WriteBytes(bad.path, damaged);
    if (!ReadPngFile(bad.path, image, error)) {
      EXPECT_FALSE(error.empty());
    }
  }
  WriteBytes(bad.path, {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0});
  EXPECT_FALSE(ReadPngFile(bad.path, image, error));
  EXPECT_NE(error.find("not a PNG"), std::string::npos);
  EXPECT_FALSE(ReadImageFile(bad.path, image, error));
  EXPECT_NE(error.find("not a PNG or TIFF"), std::string::npos);
  EXPECT_FALSE(ReadPngFile("/nonexistent/a.png", image, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);

  // Oversized headers are refused before any large allocation.
  WriteRawPng(bad.path, MaxImageSide + 1, 1, PNG_COLOR_TYPE_GRAY, 8, {std::vector<uint8_t>(MaxImageSide + 1)});
  EXPECT_FALSE(ReadPngFile(bad.path, image, error));
}

TEST(PngFile, WriteFailuresAreReported) {
  RasterImage empty;
  std::string error;
  EXPECT_FALSE(WritePngFile("/tmp/bf_cli_never.png", empty, error));
  EXPECT_NE(access("/tmp/bf_cli_never.png", F_OK), 0);
  const RasterImage image = RandomImage(4, 4, 1, false, 3);
  EXPECT_FALSE(WritePngFile("/nonexistent/dir/out.png", image, error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
  if (access("/dev/full", W_OK) == 0) {
    const RasterImage big = RandomImage(512, 512, 3, false, 4);  // incompressible: must reach the disk
    EXPECT_FALSE(WritePngFile("/dev/full", big, error));
  }
}

TEST(PlaneAccess, ExtractAndStoreAreInverse) {
  RasterImage image = RandomImage(7, 3, 3, true, 8);
  const RasterImage original = image;
  for (int32_t channel = 0; channel < 4; ++channel) {
    const std::vector<uint8_t> plane = ExtractPlane(image, channel);
    ASSERT_EQ(plane.size(), 21u);
    EXPECT_EQ(plane[8], image.Pixel(1, 1)[channel]);
    std::vector<uint8_t> inverted(plane);
    for (uint8_t& v : inverted) v = static_cast<uint8_t>(255 - v);
    StorePlane(image, channel, inverted.data());
    EXPECT_EQ(image.Pixel(6, 2)[channel], 255 - original.Pixel(6, 2)[channel]);
  }
  RasterImage refused;
  EXPECT_FALSE(MakeImage(0, 5, 1, false, 0, refused));
  EXPECT_FALSE(MakeImage(5, 5, 2, false, 0, refused));
  EXPECT_FALSE(MakeImage(MaxImageSide + 1, 1, 1, false, 0, refused));
}

namespace {

// Writes a TIFF with libtiff: `samples` interleaved, 8 bits, in strips of `rowsPerStrip`.
void WriteTiff(const std::string& path, int width, int height, int samplesPerPixel, uint16_t photometric,
               uint16_t extraType, const std::vector<uint8_t>& samples, int rowsPerStrip) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samplesPerPixel);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  if (extraType != 0) {
    const uint16_t types[1] = {extraType};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, types);
  }
  const size_t rowBytes = static_cast<size_t>(width) * samplesPerPixel;
  for (int y = 0; y < height; ++y)
    ASSERT_EQ(TIFFWriteScanline(tiff, const_cast<uint8_t*>(&samples[rowBytes * y]), y, 0), 1);
  TIFFClose(tiff);
}

}  // namespace

TEST(TiffFile, ReadsRgbGrayAndAlphaInTopDownOrder) {
  TempFile file(".tif");
  std::string error;
  RasterImage image;

  const RasterImage rgb = RandomImage(13, 9, 3, false, 21);
  WriteTiff(file.path, 13, 9, 3, PHOTOMETRIC_RGB, 0, rgb.samples, 4);
  ASSERT_TRUE(ReadTiffFile(file.path, image, error)) << error;
  EXPECT_EQ(image.colorChannels, 3);
  EXPECT_FALSE(image.hasAlpha);
  EXPECT_EQ(image.samples, rgb.samples);
  ASSERT_TRUE(ReadImageFile(file.path, image, error)) << error;
  EXPECT_EQ(image.samples, rgb.samples);

  const RasterImage gray = RandomImage(10, 7, 1, false, 22);
  WriteTiff(file.path, 10, 7, 1, PHOTOMETRIC_MINISBLACK, 0, gray.samples, 3);
  ASSERT_TRUE(ReadTiffFile(file.path, image, error)) << error;
  EXPECT_EQ(image.colorChannels, 1);
  EXPECT_EQ(image.samples, gray.samples);

  // White-is-zero gray is inverted into ordinary gray.
  WriteTiff(file.path, 10, 7, 1, PHOTOMETRIC_MINISWHITE, 0, gray.samples, 7);
  ASSERT_TRUE(ReadTiffFile(file.path, image, error)) << error;
  for (size_t i = 0; i < gray.samples.size(); ++i) EXPECT_EQ(image.samples[i], 255 - gray.samples[i]);

  // Straight alpha comes back straight; colour under low alpha loses
  // precision through the library's premultiplied raster.
  RasterImage rgba = RandomImage(16, 16, 3, true, 23);
  WriteTiff(file.path, 16, 16, 4, PHOTOMETRIC_RGB, EXTRASAMPLE_UNASSALPHA, rgba.samples, 16);
  ASSERT_TRUE(ReadTiffFile(file.path, image, error)) << error;
  ASSERT_TRUE(image.hasAlpha);
  ASSERT_EQ(image.samples.size(), rgba.samples.size());
  for (size_t i = 0; i < rgba.samples.size(); i += 4) {
    const int alpha = rgba.samples[i + 3];
    EXPECT_EQ(image.samples[i + 3], alpha);
    if (alpha == 0) continue;
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(image.samples[i + c], rgba.samples[i + c], 255.0 / alpha + 0.5) << "alpha " << alpha;
  }

  // Gray with alpha.
  const RasterImage grayAlpha = RandomImage(5, 5, 1, true, 24);
  WriteTiff(file.path, 5, 5, 2, PHOTOMETRIC_MINISBLACK, EXTRASAMPLE_ASSOCALPHA, grayAlpha.samples, 5);
  ASSERT_TRUE(ReadTiffFile(file.path, image, error)) << error;
  EXPECT_EQ(image.colorChannels, 1);
  EXPECT_TRUE(image.hasAlpha);
}

TEST(TiffFile, BrokenFilesGiveMessages) {
  TempFile file(".tif");
  std::string error;
  RasterImage image;
  const RasterImage rgb = RandomImage(32, 32, 3, false, 31);
  WriteTiff(file.path, 32, 32, 3, PHOTOMETRIC_RGB, 0, rgb.samples, 8);
  const std::vector<uint8_t> bytes = ReadBytes(file.path);

  TempFile bad(".tif");
  WriteBytes(bad.path, {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F});  // first directory far beyond the end
  EXPECT_FALSE(ReadTiffFile(bad.path, image, error));
  EXPECT_NE(error.find(bad.path), std::string::npos);
  EXPECT_TRUE(image.samples.empty());
  EXPECT_FALSE(ReadTiffFile("/nonexistent/a.tif", image, error));

  std::mt19937 random(6);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<uint8_t> damaged = bytes;
    if (trial % 3 == 0) damaged.resize(8 + random() % (damaged.size() - 8));
    else
      for (int k = 0; k < 4; ++k) damaged[4 + random() % (damaged.size() - 4)] = static_cast<uint8_t>(random());
    WriteBytes(bad.path, damaged);
    if (!ReadTiffFile(bad.path, image, error)) {
      EXPECT_FALSE(error.empty());
    }
  }
}

// Every compression level writes the same pixels; higher levels never give a
// larger file on compressible content, and level 0 stores.
TEST(PngFile, EveryCompressionLevelKeepsThePixels) {
  RasterImage smooth;
  ASSERT_TRUE(MakeImage(96, 40, 3, true, 0, smooth));
  for (int32_t y = 0; y < smooth.height; ++y)
    for (int32_t x = 0; x < smooth.width; ++x)
      for (int32_t c = 0; c < 4; ++c) smooth.Pixel(x, y)[c] = static_cast<uint8_t>(x * (c + 1) + y * 3 + (x * y) % 7);
  const RasterImage noisy = RandomImage(33, 17, 1, true, 99);
  for (const RasterImage* original : {const_cast<const RasterImage*>(&smooth), &noisy}) {
    size_t previous = SIZE_MAX;
    for (int32_t level = 0; level <= MaxPngCompression; ++level) {
      TempFile file(".png");
      std::string error;
      ASSERT_TRUE(WritePngFile(file.path, *original, error, level)) << error;
      RasterImage back;
      ASSERT_TRUE(ReadPngFile(file.path, back, error)) << error;
      EXPECT_EQ(back.samples, original->samples) << "level " << level;
      const std::vector<uint8_t> bytes = ReadBytes(file.path);
      const size_t size = bytes.size();
      // Written from planes, the file is the same byte for byte.
      std::vector<std::vector<uint8_t>> planes;
      const uint8_t* pointers[4] = {};
      for (int32_t c = 0; c < original->SamplesPerPixel(); ++c) planes.push_back(ExtractPlane(*original, c));
      for (size_t c = 0; c < planes.size(); ++c) pointers[c] = planes[c].data();
      TempFile fromPlanes(".png");
      ASSERT_TRUE(WritePngPlanes(fromPlanes.path, original->width, original->height, original->colorChannels,
                                 original->hasAlpha, pointers, error, level))
          << error;
      EXPECT_EQ(ReadBytes(fromPlanes.path), bytes);
      if (level == 0) {
        EXPECT_GT(size, original->samples.size());
      }
      if (original == &smooth && (level == 1 || level == MaxPngCompression)) {
        EXPECT_LE(size, previous) << "level " << level;
        previous = size;
      }
    }
  }
}
