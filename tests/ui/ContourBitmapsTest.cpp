#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bevel/ContourProfiles.h"
#include "resources/ResourceIds.h"
#include "ui/ContourPictures.h"

namespace {

uint32_t Read32(const std::vector<uint8_t>& file, size_t at) {
  return file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) | (uint32_t(file[at + 3]) << 24);
}

// The colour (0x00RRGGBB) of pixel (x, y), y from the top, of a 1-bit BMP as
// the format defines it: rows bottom first (top first when the height is
// negative), padded to four bytes, leftmost pixel in the top bit, a palette
// after the info header.
uint32_t BmpPixel(const std::vector<uint8_t>& file, int32_t x, int32_t y) {
  const uint32_t pixels = Read32(file, 10), infoSize = Read32(file, 14);
  const int32_t width = int32_t(Read32(file, 18)), height = int32_t(Read32(file, 22));
  const uint32_t rowBytes = ((uint32_t(width) + 31) / 32) * 4;
  const int32_t row = height > 0 ? height - 1 - y : y;
  const int32_t index = (file[pixels + row * rowBytes + x / 8] >> (7 - x % 8)) & 1;
  return Read32(file, 14 + infoSize + 4 * index) & 0xFFFFFF;
}

}  // namespace

// The bitmaps the module's resources are made of, read back by the format's
// rules: each shows exactly the picture of its contour, black ink on white,
// and the resource script names every one under its id.
TEST(ContourBitmaps, WrittenFilesShowThePictures) {
  const std::string folder = testing::TempDir() + "contour-bitmaps";
  ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
  ASSERT_EQ(std::system(("'" BF_CONTOUR_BITMAPS "' '" + folder + "'").c_str()), 0);
  std::ifstream scriptFile(folder + "/ContourBitmaps.rc");
  const std::string script((std::istreambuf_iterator<char>(scriptFile)), std::istreambuf_iterator<char>());
  for (int32_t index = 0; index < ContourProfileCount; ++index) {
    SCOPED_TRACE(index);
    const int32_t id = BF_BMP_CONTOUR_FIRST + index;
    const std::string path = folder + "/Contour" + std::to_string(id) + ".bmp";
    EXPECT_NE(script.find(std::to_string(id) + " BITMAP \"" + path + "\""), std::string::npos);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(file.size(), 62u);
    ASSERT_EQ(file[0], 'B');
    ASSERT_EQ(Read32(file, 2), file.size());
    ASSERT_EQ(Read32(file, 18), uint32_t(ContourPictureSize));
    ASSERT_EQ(file[28], 1) << "bits per pixel";
    ContourPicture picture;
    DrawContourPicture(&picture, uint16_t(index));
    for (int32_t y = 0; y < ContourPictureSize; ++y) {
      for (int32_t x = 0; x < ContourPictureSize; ++x) {
        ASSERT_EQ(BmpPixel(file, x, y), ContourInk(picture, x, y) ? 0x000000u : 0xFFFFFFu) << x << "," << y;
      }
    }
  }
}
