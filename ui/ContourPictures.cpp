#include "ui/ContourPictures.h"

#include <cstring>

#include "bevel/ContourProfiles.h"

namespace {

// Distance steps per picture column; each column samples the height at its centre.
constexpr int32_t StepsPerColumn = ContourTableSize / ContourPictureSize;
// A vertical wall (vertical component 0) would have an endless slope; per
// step it rises at most this many heights, about what the wall's step adds.
constexpr float SteepestSlope = 16.0f;
// Rows of ink below the lowest point and of paper above the highest.
constexpr float BaseRows = 2.0f;
constexpr float DrawnRows = float(ContourPictureSize) - 2.0f * BaseRows;
// Profiles whose heights span less than this are drawn level, half way up.
constexpr float FlatSpan = 1e-3f;

void SetInk(ContourPicture* picture, int32_t x, int32_t y) {
  picture->bits[y][x >> 3] |= uint8_t(0x80 >> (x & 7));
}

}  // namespace

void DrawContourPicture(ContourPicture* picture, uint16_t bevelFlags) {
  ContourTable table;
  FacetKeyTable keys;
  BuildContour(table, keys, bevelFlags, ContourPictureDepth, 1);

  // Height at the centre of each column: the slopes summed over the steps before it.
  float heights[ContourPictureSize];
  float height = 0.0f;
  for (int32_t step = 0; step < ContourTableSize; ++step) {
    if (step % StepsPerColumn == StepsPerColumn / 2) heights[step / StepsPerColumn] = height;
    const ContourNormal& n = table.entry[step];
    const float vertical = n.vertical > 1.0f / SteepestSlope ? n.vertical : 1.0f / SteepestSlope;
    height += n.radial / vertical;
  }
  float lowest = heights[0], highest = heights[0];
  for (float h : heights) {
    lowest = h < lowest ? h : lowest;
    highest = h > highest ? h : highest;
  }
  const float span = highest - lowest;

  std::memset(picture, 0, sizeof *picture);
  for (int32_t x = 0; x < ContourPictureSize; ++x) {
    const float share = span < FlatSpan ? 0.5f : (heights[x] - lowest) / span;
    const float top = BaseRows + share * DrawnRows;  // ink rows counted from the bottom
    for (int32_t row = 0; row < ContourPictureSize; ++row) {
      if (float(row) + 0.5f < top) SetInk(picture, x, ContourPictureSize - 1 - row);
    }
  }
}

void FlipContourPicture(const ContourPicture& picture, uint16_t bevelFlags, ContourPicture* flipped) {
  const int32_t mirror = (bevelFlags & FlipHorizontalFlag) != 0;
  const int32_t upsideDown = (bevelFlags & FlipVerticalFlag) != 0;
  std::memset(flipped, 0, sizeof *flipped);
  for (int32_t y = 0; y < ContourPictureSize; ++y) {
    for (int32_t x = 0; x < ContourPictureSize; ++x) {
      const int32_t sx = mirror ? ContourPictureSize - 1 - x : x;
      const int32_t sy = upsideDown ? ContourPictureSize - 1 - y : y;
      if (ContourInk(picture, sx, sy) != upsideDown) SetInk(flipped, x, y);
    }
  }
}
