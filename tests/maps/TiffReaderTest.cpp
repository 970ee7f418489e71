// TIFF loading through libtiff and the image cache: every layout against the
// picture it was written from, broken and oversized files, allocation failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "maps/TiffMemory.h"
#include "maps/TiffReader.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/TiffFiles.h"

using namespace tiff_test;

namespace {
Picture RandomPicture(std::mt19937& rng, Layout layout) {
  Picture p;
  p.width = 1 + rng() % 37;
  p.height = 1 + rng() % 29;
  const bool gray = layout == Layout::Gray8 || layout == Layout::Gray16 || layout == Layout::GrayAlpha8;
  const bool alpha = layout == Layout::Rgba8 || layout == Layout::GrayAlpha8;
  const uint32_t colors = layout == Layout::Palette8 ? 1 + rng() % 256 : 0;
  std::vector<uint32_t> palette;
  for (uint32_t i = 0; i < colors; ++i) palette.push_back(rng() & 0xFFFFFF);
  for (uint32_t i = 0; i < p.width * p.height; ++i) {
    uint32_t v = colors ? palette[rng() % colors] : rng() & 0xFFFFFF;
    if (gray) v = (v & 0xFF) * 0x010101u;
    v |= alpha ? (rng() & 0xFF000000u) : 0xFF000000u;
    p.rgba.push_back(v);
  }
  return p;
}

uint32_t PixelOf(const MapImage& image, uint32_t x, uint32_t y) {
  const uint32_t size = ImagePlaneSize(image), at = y * image.width + x;
  const bool rgb = image.flags & ImageRgb;
  const uint32_t r = image.data[at], g = rgb ? image.data[size + at] : r, b = rgb ? image.data[2 * size + at] : r;
  const uint8_t* alpha = ImageAlphaPlane(image);
  return r | g << 8 | b << 16 | (alpha ? uint32_t(alpha[at]) : 255u) << 24;
}

struct Case {
  Layout layout;
  const char* name;
};
constexpr Case Layouts[] = {{Layout::Rgb8, "rgb8"},         {Layout::Rgba8, "rgba8"},     {Layout::Gray8, "gray8"},
                            {Layout::Gray16, "gray16"},     {Layout::Palette8, "palette"}, {Layout::Rgb8Tiled, "tiled"},
                            {Layout::Rgb16, "rgb16"},       {Layout::Cmyk8, "cmyk"},      {Layout::GrayAlpha8, "grayalpha"}};
}  // namespace

// Every layout, random pictures: the planes hold the picture top row first,
// gray pictures (also RGB ones whose pixels are all gray) keep one plane that
// is its own maximum, extra samples become alpha, and the maximum plane of a
// color image is the per-pixel maximum.
TEST(TiffReader, EveryLayoutReadsBackThePictureItWasWrittenFrom) {
  ScopedCountingMemory memory;
  std::mt19937 rng(9);
  for (const Case& c : Layouts) {
    for (int round = 0; round < 6; ++round) {
      Picture picture = RandomPicture(rng, c.layout);
      if (round == 0 && c.layout == Layout::Rgb8)
        for (uint32_t& p : picture.rgba) p = (p & 0xFF) * 0x010101u | 0xFF000000u;
      const std::string path = TempPath(std::string(c.name) + ".tif");
      ASSERT_TRUE(WriteTiff(path, picture, c.layout)) << c.name;
      MapImage* cache = nullptr;
      MapImage* image = LoadImage(&cache, path.c_str(), 1);
      ASSERT_NE(image, nullptr) << c.name;
      ASSERT_EQ(image->width, picture.width);
      ASSERT_EQ(image->height, picture.height);
      bool gray = true, sawBad = false;
      for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x) {
          const uint32_t want = Expected(picture, c.layout, x, y);
          gray = gray && (want & 0xFF) == ((want >> 8) & 0xFF) && (want & 0xFF) == ((want >> 16) & 0xFF);
          if (!sawBad && PixelOf(*image, x, y) != want) {
            sawBad = true;
            ADD_FAILURE() << c.name << " pixel " << x << "," << y << std::hex << " got " << PixelOf(*image, x, y)
                          << " want " << want;
          }
          const uint32_t at = y * image->width + x;
          const uint32_t max = std::max({want & 0xFF, (want >> 8) & 0xFF, (want >> 16) & 0xFF});
          if (!sawBad && image->maxPlane[at] != max) sawBad = true, ADD_FAILURE() << c.name << " max plane";
        }
      EXPECT_EQ((image->flags & ImageGray) != 0, gray) << c.name;
      EXPECT_EQ((image->flags & ImageRgb) != 0, !gray) << c.name;
      if (gray) EXPECT_EQ(image->maxPlane, image->data);
      const bool alpha = c.layout == Layout::Rgba8 || c.layout == Layout::GrayAlpha8;
      EXPECT_EQ((image->flags & ImageAlpha) != 0, alpha) << c.name;
      EXPECT_STREQ(image->name, path.c_str());
      FreeImages(cache);
      std::remove(path.c_str());
    }
  }
  EXPECT_EQ(memory.memory.liveBlocks, 0);
  EXPECT_EQ(memory.memory.result, 0);
}

TEST(ImageCache, SharesOneImagePerFileWhateverTheLetterCaseAndMakesTheMaximumOnce) {
  ScopedCountingMemory memory;
  std::mt19937 rng(3);
  const std::string path = TempPath("Shared.tif");
  ASSERT_TRUE(WriteTiff(path, RandomPicture(rng, Layout::Rgb8), Layout::Rgb8));
  MapImage* cache = nullptr;
  MapImage* first = LoadImage(&cache, path.c_str(), 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->maxPlane, nullptr);
  std::remove(path.c_str());  // a second read of the file would fail
  std::string upper = path;
  for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
  EXPECT_EQ(LoadImage(&cache, upper.c_str(), 1), first);
  const uint8_t* max = first->maxPlane;
  ASSERT_NE(max, nullptr);
  EXPECT_EQ(LoadImage(&cache, path.c_str(), 1), first);
  EXPECT_EQ(first->maxPlane, max);
  EXPECT_EQ(cache, first);
  EXPECT_EQ(first->next, nullptr);
  // Pruning keeps what the reflection uses and drops the rest.
  PruneImageCache(&cache, nullptr, first);
  EXPECT_EQ(cache, first);
  PruneImageCache(&cache, nullptr, nullptr);
  EXPECT_EQ(cache, nullptr);
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

// Files that are not pictures the loader can keep: refused with the message
// (result cell untouched), nothing leaked; a prefix of a good file either
// reads the whole picture or is refused.
TEST(TiffReader, RefusesBrokenAndOversizedFiles) {
  ScopedCountingMemory memory;
  MapImage* cache = nullptr;
  EXPECT_EQ(LoadImage(&cache, TempPath("missing.tif").c_str(), 1), nullptr);
  Picture wide;
  wide.width = 70000;
  wide.height = 1;
  wide.rgba.assign(wide.width, 0xFF808080u);
  const std::string widePath = TempPath("wide.tif");
  ASSERT_TRUE(WriteTiff(widePath, wide, Layout::Gray8));
  EXPECT_EQ(LoadImage(&cache, widePath.c_str(), 1), nullptr);
  std::remove(widePath.c_str());
  std::string longPath(400, 'a');
  EXPECT_EQ(LoadImage(&cache, longPath.c_str(), 1), nullptr);

  std::mt19937 rng(5);
  // A zero width or height in the directory (tags 256 and 257, little-endian
  // SHORT or LONG values as libtiff writes them).
  for (uint16_t tag : {uint16_t(256), uint16_t(257)}) {
    const std::string zeroPath = TempPath("zero.tif");
    ASSERT_TRUE(WriteTiff(zeroPath, RandomPicture(rng, Layout::Gray8), Layout::Gray8));
    std::vector<uint8_t> bytes = ReadBytes(zeroPath);
    std::remove(zeroPath.c_str());
    ASSERT_EQ(bytes[0], 'I');
    uint32_t ifd;
    std::memcpy(&ifd, &bytes[4], 4);
    uint16_t entries;
    std::memcpy(&entries, &bytes[ifd], 2);
    for (uint32_t e = 0; e < entries; ++e) {
      uint8_t* entry = &bytes[ifd + 2 + 12 * e];
      if (entry[0] == (tag & 0xFF) && entry[1] == tag >> 8) std::memset(entry + 8, 0, 4);
    }
    MapImage* image = nullptr;
    EXPECT_EQ(ReadTiffMapImageBytes(bytes.data(), uint32_t(bytes.size()), 1, &image), TiffUnreadable) << tag;
    EXPECT_EQ(image, nullptr);
  }
  const Picture picture = RandomPicture(rng, Layout::Rgb8Tiled);
  const std::string path = TempPath("cut.tif");
  ASSERT_TRUE(WriteTiff(path, picture, Layout::Rgb8Tiled));
  const std::vector<uint8_t> bytes = ReadBytes(path);
  std::remove(path.c_str());
  for (size_t n = 0; n < bytes.size(); n += 1 + n / 7) {
    MapImage* image = nullptr;
    const TiffReadStatus status = ReadTiffMapImageBytes(bytes.data(), uint32_t(n), 1, &image);
    if (status == TiffReadOk) {
      for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x)
          ASSERT_EQ(PixelOf(*image, x, y), Expected(picture, Layout::Rgb8Tiled, x, y)) << "prefix " << n;
      FreeImages(image);
    } else {
      EXPECT_EQ(status, TiffUnreadable) << "prefix " << n;
      EXPECT_EQ(image, nullptr);
    }
  }
  EXPECT_EQ(cache, nullptr);
  EXPECT_EQ(memory.memory.result, 0);
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

// Every allocation of a load, in turn, fails: the load returns null with
// -108, keeps the cache as it was and leaks nothing.
TEST(TiffReader, SurvivesEveryAllocationFailure) {
  ScopedCountingMemory memory;
  std::mt19937 rng(11);
  const std::string path = TempPath("faults.tif");
  ASSERT_TRUE(WriteTiff(path, RandomPicture(rng, Layout::Rgba8), Layout::Rgba8));
  for (long n = 1;; ++n) {
    memory.memory.Reset();
    memory.memory.failAt = n;
    MapImage* cache = nullptr;
    MapImage* image = LoadImage(&cache, path.c_str(), 1);
    if (image != nullptr) {
      EXPECT_GT(n, 3);  // raster, record, planes and the maximum plane each failed once
      FreeImages(cache);
      break;
    }
    EXPECT_EQ(memory.memory.result, MemFullErr) << "allocation " << n;
    EXPECT_EQ(cache, nullptr);
    EXPECT_EQ(memory.memory.liveBlocks, 0) << "allocation " << n;
  }
  std::remove(path.c_str());
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}

// libtiff's allocation functions as the Windows modules bind them.
TEST(TiffMemory, BlocksKeepTheirContentsWhenResizedAndFailCleanly) {
  ScopedCountingMemory memory;
  uint8_t* block = static_cast<uint8_t*>(__wrap__TIFFcalloc(10, 3));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(block[i], 0);
  for (int i = 0; i < 30; ++i) block[i] = uint8_t(i);
  block = static_cast<uint8_t*>(__wrap__TIFFrealloc(block, 100));
  for (int i = 0; i < 30; ++i) EXPECT_EQ(block[i], i);
  block = static_cast<uint8_t*>(__wrap__TIFFrealloc(block, 5));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(block[i], i);
  memory.memory.failAt = memory.memory.allocations + 1;
  EXPECT_EQ(__wrap__TIFFrealloc(block, 64), nullptr);
  EXPECT_EQ(block[4], 4);  // the old block is still the caller's
  EXPECT_EQ(memory.memory.result, MemFullErr);
  __wrap__TIFFfree(block);
  __wrap__TIFFfree(nullptr);
  EXPECT_EQ(__wrap__TIFFmalloc(-1), nullptr);
  EXPECT_EQ(__wrap__TIFFcalloc(tmsize_t(1) << 20, tmsize_t(1) << 20), nullptr);
  EXPECT_EQ(memory.memory.liveBlocks, 0);
}
