#include "render/Sampling.h"

// Normal x in -1..1 maps to 16.16 image columns 0..width: (x + 1) x width x 32768.
constexpr float HalfFixedOne = 32768.0f;

void MakeReflectionSampler(ReflectionSampler* sampler, const uint8_t* planes, int32_t width, int32_t height, int rgb) {
  sampler->xScale = float(width) * HalfFixedOne;
  sampler->yScale = float(height) * HalfFixedOne;
  sampler->maxX = width - 1;
  sampler->maxY = height - 1;
  sampler->rowStride = width;
  const uint32_t planeSize = uint32_t(width) * uint32_t(height);
  sampler->redPlane = planes;
  sampler->greenPlane = rgb ? planes + planeSize : planes;
  sampler->bluePlane = rgb ? planes + 2 * planeSize : planes;
}
