#include "ui/SphereTables.h"

#include <cmath>

namespace {

// Coverage contributed by a cell corner at squared distance d from the centre.
int32_t CornerCoverage(int32_t d) {
  if (d <= SphereRimRadius * SphereRimRadius) return 255;
  const int32_t outside = int32_t((std::sqrt(double(d)) - SphereRimRadius) * 255.0);
  return outside > 254 ? 0 : 255 - outside;
}

// Quadrant cell of a picture coordinate and the sign of the normal component.
int32_t QuadrantCell(int32_t p, float* sign) {
  if (p >= SphereCentre) {
    *sign = 1.0f;
    return p - SphereCentre;
  }
  *sign = -1.0f;
  return SphereCentre - 1 - p;
}

}  // namespace

void BuildSphereTables(SphereTables* tables) {
  for (int32_t i = 0; i < SphereQuadrant; ++i) {
    tables->x[i] = (float(i) + 0.5f) / float(SphereQuadrant);
    tables->y[i] = tables->x[i];
  }
  for (int32_t r = 0; r < SphereQuadrant; ++r) {
    for (int32_t c = 0; c < SphereQuadrant; ++c) {
      const float s = tables->x[c] * tables->x[c] + tables->y[r] * tables->y[r];
      tables->z[r][c] = s > 1.0f ? -1.0f : std::sqrt(1.0f - s);
      const int32_t sum = CornerCoverage(c * c + r * r) + CornerCoverage((c + 1) * (c + 1) + r * r) +
                          CornerCoverage(c * c + (r + 1) * (r + 1)) +
                          CornerCoverage((c + 1) * (c + 1) + (r + 1) * (r + 1));
      tables->coverage[r][c] = uint8_t(sum / 4);
    }
  }
}

int32_t SphereNormalAt(const SphereTables& tables, int32_t px, int32_t py, float normal[3], int32_t* coverage) {
  float sx, sy;
  const int32_t c = QuadrantCell(px, &sx);
  const int32_t r = QuadrantCell(py, &sy);
  *coverage = tables.coverage[r][c];
  normal[0] = sx * tables.x[c];
  normal[1] = sy * tables.y[r];
  normal[2] = tables.z[r][c];
  return tables.z[r][c] >= 0.0f;
}

uint32_t BlendSphereEdge(uint32_t colour, uint32_t face, int32_t coverage) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t a = (colour >> shift) & 0xFF, b = (face >> shift) & 0xFF;
    const uint32_t v = (a * uint32_t(coverage + 1)) / 256 + (b * uint32_t(256 - coverage)) / 256;
    out |= v << shift;
  }
  return out;
}
