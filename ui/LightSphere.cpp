#include "ui/LightSphere.h"

#include <cmath>

namespace {

// Intensity above which the highlight is added, and its span up to 255.
constexpr int32_t HighlightStart = 200;
constexpr float HighlightSpan = 55.0f;
constexpr float HighlightStrength = 190.0f;

}  // namespace

void BuildLightColourTable(LightColourTable* table, const LightSetting& light) {
  const float components[3] = {light.colorRed, light.colorGreen, light.colorBlue};
  for (int32_t i = 0; i < 256; ++i) {
    const float f = float(i) / 255.0f;
    const float b = f * f;
    const int32_t highlight =
        i > HighlightStart ? int32_t(std::pow(float(i - HighlightStart) / HighlightSpan, 20.0f) * HighlightStrength) : 0;
    for (int k = 0; k < 3; ++k) {
      const int32_t v = int32_t(b * components[k] * 255.0f) + highlight;
      table->rgb[i][k] = uint8_t(v > 255 ? 255 : v);
    }
  }
}

void DrawLightSphere(uint32_t* pixels, const SphereTables& tables, const LightSetting& light,
                     const LightColourTable& table, uint32_t face) {
  for (int32_t py = 0; py < LightSphereSize; ++py) {
    uint32_t* row = pixels + py * LightSphereSize;
    for (int32_t px = 0; px < LightSphereSize; ++px) {
      if (px >= SphereDiameter || py >= SphereDiameter) {
        row[px] = face;
        continue;
      }
      float n[3];
      int32_t coverage;
      uint32_t colour = 0;
      if (SphereNormalAt(tables, px, py, n, &coverage)) {
        const float intensity = n[0] * light.direction[0] + n[1] * light.direction[1] + n[2] * light.direction[2];
        if (intensity > 0.0f) {
          const int32_t index = int32_t(intensity * 255.0f);
          const uint8_t* c = table.rgb[index > 255 ? 255 : index];
          colour = (uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2];
        }
      }
      row[px] = BlendSphereEdge(colour, face, coverage);
    }
  }
}

int32_t InLightSwatch(int32_t x, int32_t y) {
  return x >= LightSwatchOrigin && y >= LightSwatchOrigin && x < LightSphereSize && y < LightSphereSize;
}

int32_t GrabsLight(int32_t x, int32_t y) {
  const int32_t dx = x - LightGripCentre, dy = y - LightGripCentre;
  return dx * dx + dy * dy <= LightGripRadius * LightGripRadius;
}

int32_t PlaceLight(LightSetting* light, int32_t x, int32_t y) {
  float a = float(x - LightGripCentre) / float(LightGripRadius);
  float b = float(y - LightGripCentre) / float(LightGripRadius);
  const float g = std::sqrt(a * a + b * b);
  if (g > 2.0f) return 0;
  if (g <= 1.0f) {
    SetLightDirection(light, a, b, std::sqrt(std::fmax(0.0f, 1.0f - g * g)));
    return 1;
  }
  // Beyond the rim the point is mirrored into the circle, onto the back.
  const float scale = (2.0f - g) / g;
  a *= scale;
  b *= scale;
  SetLightDirection(light, a, b, -std::sqrt(std::fmax(0.0f, 1.0f - a * a - b * b)));
  return 1;
}
