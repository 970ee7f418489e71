// Image sampling while an element is shaded: the reflection image, looked up
// with the surface normal, and bump maps, whose gradient tilts the normal.
//
// The records are built per render call by the caller (the reflection sampler
// from the style's reflection image, the bump samplers from the Bump Map
// layers that apply to the element); the shading routines only read and step
// them. Everything here runs per pixel: integer stepping in 16.16, one float
// renormalisation.
#pragma once
#include <bit>
#include <cmath>
#include <cstdint>

#include "style/ScaleFactors.h"

// Image positions are 16.16 fixed point.
constexpr int32_t MapFractionBits = 16;
constexpr uint32_t MapFractionMask = 0xFFFF;
// Interpolation weights are 16-bit and add up to this value, not to 1 << 16.
constexpr uint32_t WeightSum = 0xFFFF;

struct ReflectionSampler {
  float xScale;       // image width x 32768: maps normal x in -1..1 to 16.16 columns 0..width
  float yScale;       // image height x 32768
  int32_t maxX;       // width - 1
  int32_t maxY;       // height - 1
  int32_t rowStride;  // width
  const uint8_t* redPlane;
  const uint8_t* greenPlane;  // the red plane again for a gray image
  const uint8_t* bluePlane;
};

// Fills a sampler for an image of planar bytes: `rgb` 1 means three color
// planes of width x height bytes each, 0 one gray plane used for all three.
void MakeReflectionSampler(ReflectionSampler* sampler, const uint8_t* planes, int32_t width, int32_t height, int rgb);

// One Bump Map layer as an element samples it. Positions are image rows and
// columns in 16.16; the image tiles the plane in both directions.
struct BumpSampler {
  int32_t invert;  // non-zero: every tilt changes sign
  float cosAngle;  // rotation of the layer
  float sinAngle;
  int32_t rowStepX;   // image row step per pixel column
  int32_t colStepX;   // image column step per pixel column
  int32_t rowStepY;   // image row step per pixel row
  int32_t colStepY;   // image column step per pixel row
  int32_t rowOrigin;  // image row at column 0 of the current pixel row
  int32_t colOrigin;  // image column at column 0 of the current pixel row
  int32_t row;        // image row at the current pixel
  int32_t col;        // image column at the current pixel
  float amount;       // layer amount (0..255) x 1/65025
  int32_t width;      // image size in pixels, both at least 1
  int32_t height;
  const uint8_t* valuePlane;    // heights
  const uint8_t* opacityPlane;  // scales the tilt; null = opaque
};

// Reflection color at normal (x, y), x and y in -1..1: the image column
// (x + 1)/2 of the width blended with the next column, the row (y + 1)/2 of
// the height, both clamped to the image. Writes red, green, blue 0..255.
inline void LookUpReflection(const ReflectionSampler& s, float x, float y, uint32_t rgb[3]);

// Puts every sampler on column `column` of the current pixel row.
inline void StartBumpSpan(BumpSampler* samplers, int32_t count, int32_t column) {
  for (int32_t i = 0; i < count; ++i) {
    BumpSampler& b = samplers[i];
    b.row = int32_t(uint32_t(b.rowOrigin) + uint32_t(column) * uint32_t(b.rowStepX));
    b.col = int32_t(uint32_t(b.colOrigin) + uint32_t(column) * uint32_t(b.colStepX));
  }
}
// Moves every sampler one pixel column right.
inline void NextBumpColumn(BumpSampler* samplers, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    BumpSampler& b = samplers[i];
    b.row = int32_t(uint32_t(b.row) + uint32_t(b.rowStepX));
    b.col = int32_t(uint32_t(b.col) + uint32_t(b.colStepX));
  }
}
// Moves every sampler's row origin one pixel row down; called after every
// row of the element buffer, also rows without spans.
inline void NextBumpRow(BumpSampler* samplers, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    BumpSampler& b = samplers[i];
    b.rowOrigin = int32_t(uint32_t(b.rowOrigin) + uint32_t(b.rowStepY));
    b.colOrigin = int32_t(uint32_t(b.colOrigin) + uint32_t(b.colStepY));
  }
}

// Tilts the normal whose x and y are in n[0], n[1] by every sampler at its
// current position and writes the unit normal to n[0..2]. Start from (0, 0)
// for a flat face. A tilt beyond length 1 leaves a normal in the image plane.
inline void PerturbNormal(const BumpSampler* samplers, int32_t count, float n[3]);

// The non-negative remainder of v modulo n (n >= 1): the image row or column
// of a position on a map that tiles the plane.
inline int32_t WrapIndex(int32_t v, int32_t n) {
  const int32_t r = v % n;
  return r < 0 ? r + n : r;
}

// ---- inline definitions ----------------------------------------------------

namespace sampling_detail {
// Truncates toward zero, saturating instead of overflowing (NaN gives 0), so
// that a normal slightly out of range cannot make the conversion undefined.
inline int32_t TruncSaturated(float v) {
  if (!(v > -2147483520.0f)) return v < 0.0f ? INT32_MIN : 0;
  if (v >= 2147483520.0f) return INT32_MAX;
  return int32_t(v);
}
inline int32_t ClampIndex(int32_t v, int32_t max) { return v < 0 ? 0 : (v > max ? max : v); }
}  // namespace sampling_detail

inline void LookUpReflection(const ReflectionSampler& s, float x, float y, uint32_t rgb[3]) {
  using namespace sampling_detail;
  const int32_t fx = TruncSaturated((x + 1.0f) * s.xScale);
  const int32_t fy = TruncSaturated((y + 1.0f) * s.yScale);
  const int32_t px = fx >> MapFractionBits;  // floor, also for negative positions
  const int32_t py = fy >> MapFractionBits;
  const uint32_t w1 = uint32_t(fx) & MapFractionMask;
  const uint32_t w0 = WeightSum - w1;
  const int32_t a = ClampIndex(px, s.maxX);
  const int32_t b = ClampIndex(px == INT32_MAX ? px : px + 1, s.maxX);
  const int32_t rowStart = ClampIndex(py, s.maxY) * s.rowStride;
  rgb[0] = (s.redPlane[rowStart + a] * w0 + s.redPlane[rowStart + b] * w1) >> MapFractionBits;
  rgb[1] = (s.greenPlane[rowStart + a] * w0 + s.greenPlane[rowStart + b] * w1) >> MapFractionBits;
  rgb[2] = (s.bluePlane[rowStart + a] * w0 + s.bluePlane[rowStart + b] * w1) >> MapFractionBits;
}

inline void PerturbNormal(const BumpSampler* samplers, int32_t count, float n[3]) {
  using namespace sampling_detail;
  float x = n[0], y = n[1], z = n[2];
  for (int32_t i = 0; i < count; ++i) {
    const BumpSampler& b = samplers[i];
    const uint32_t fx = uint32_t(b.col) & MapFractionMask, fy = uint32_t(b.row) & MapFractionMask;
    const uint32_t gx0 = WeightSum - fx, gy0 = WeightSum - fy;
    // The wrapped column and row once; their neighbours wrap by one step.
    const int32_t cx = WrapIndex(b.col >> MapFractionBits, b.width), cy = WrapIndex(b.row >> MapFractionBits, b.height);
    const int32_t left = cx == 0 ? b.width - 1 : cx - 1, right = cx + 1 == b.width ? 0 : cx + 1;
    const int32_t row = cy * b.width, up = (cy == 0 ? b.height - 1 : cy - 1) * b.width;
    const int32_t down = (cy + 1 == b.height ? 0 : cy + 1) * b.width;
    float a = b.amount;
    if (b.opacityPlane != nullptr) {
      const uint8_t* o = b.opacityPlane;
      const uint32_t top = (o[row + cx] * gx0 + o[row + right] * fx) >> MapFractionBits;
      const uint32_t bottom = (o[down + cx] * gx0 + o[down + right] * fx) >> MapFractionBits;
      const uint32_t opacity = (top * gy0 + bottom * fy) >> MapFractionBits;
      a = a * float(opacity) * OneOver255;
    }
    const uint8_t* v = b.valuePlane;
    int32_t gx = int32_t(v[row + left]) - int32_t(v[row + right]);
    int32_t gy = int32_t(v[up + cx]) - int32_t(v[down + cx]);
    if (b.invert != 0) {
      gx = -gx;
      gy = -gy;
    }
    const float fgx = float(gx), fgy = float(gy);
    x += a * (fgx * b.cosAngle - fgy * b.sinAngle);
    y += a * (fgy * b.cosAngle + fgx * b.sinAngle);
    const float s = x * x + y * y;
    if (s > 1.0f) {
      // One Newton step of the reciprocal square root from the bit-level estimate.
      const float r0 = std::bit_cast<float>(uint32_t(0x5F3759DF) - (std::bit_cast<uint32_t>(s) >> 1));
      const float r = r0 * (1.5f - 0.5f * s * r0 * r0);
      x *= r;
      y *= r;
      z = 0.0f;
    } else {
      z = std::sqrt(1.0f - s);
    }
  }
  n[0] = x;
  n[1] = y;
  n[2] = z;
}
