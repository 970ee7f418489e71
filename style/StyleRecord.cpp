#include "style/StyleRecord.h"

#include <cmath>

#include "style/ScaleFactors.h"

namespace {
struct DefaultLight {
  float x, y, z;   // direction before normalising
  uint32_t color;  // 0xXXRRGGBB
};
constexpr DefaultLight DefaultLights[3] = {
    {1.0f, 1.0f, 1.0f, 0xFFFF0000u},   // red
    {-1.0f, 1.0f, 1.0f, 0xFF0000FFu},  // blue
    {0.0f, 2.0f, 1.0f, 0xFF00FF00u},   // green
};

void DeriveColorComponents(LightSetting* light) {
  light->colorRed = float((light->color >> 16) & 0xFF) * OneOver255;
  light->colorGreen = float((light->color >> 8) & 0xFF) * OneOver255;
  light->colorBlue = float(light->color & 0xFF) * OneOver255;
}

// Scales (x, y, z) to unit length; the reciprocal length is taken in double
// precision so every build rounds alike. Returns 0 for the zero vector.
int NormaliseInto(double x, double y, double z, float out[3]) {
  const double squared = x * x + y * y + z * z;
  if (!(squared > 0.0)) return 0;
  const double scale = 1.0 / std::sqrt(squared);
  out[0] = float(x * scale);
  out[1] = float(y * scale);
  out[2] = float(z * scale);
  return 1;
}
}  // namespace

void DeriveHalfVector(LightSetting* light) {
  if (!NormaliseInto(light->direction[0], light->direction[1], double(light->direction[2]) + 1.0,
                     light->halfVector)) {
    // A light straight behind the surface has no half-way vector; face the viewer.
    light->halfVector[0] = 0.0f;
    light->halfVector[1] = 0.0f;
    light->halfVector[2] = 1.0f;
  }
}

void SetLightDirection(LightSetting* light, float x, float y, float z) {
  light->direction[0] = x;
  light->direction[1] = y;
  light->direction[2] = z;
  DeriveHalfVector(light);
}

void SetLightColor(LightSetting* light, uint32_t color) {
  if (light->color == color) return;
  light->color = color;
  DeriveColorComponents(light);
}

void SetDefaultStyle(StyleRecord* style) {
  style->viewFlags = DefaultViewFlags;
  style->renderMode = RenderNormal;
  style->ambientColor[0] = style->ambientColor[1] = style->ambientColor[2] = 0;
  style->ambientReserved = 0;
  for (int i = 0; i < 3; ++i) {
    const DefaultLight& d = DefaultLights[i];
    LightSetting* light = &style->lights[i];
    float unit[3] = {0.0f, 0.0f, 1.0f};
    NormaliseInto(d.x, d.y, d.z, unit);
    SetLightDirection(light, unit[0], unit[1], unit[2]);
    light->color = d.color;
    DeriveColorComponents(light);
  }
  for (int e = 0; e < ElementCount; ++e) {
    MaterialSetting* m = &style->materials[e];
    SetMaterialColorWord(m, 0xFFFFFFFFu);
    m->shininess = 36;
    m->shinStrength = 100;
    m->reflectivity = 0;
  }
  style->materialLinks[MainElement] = -1;
  style->materialLinks[InnerBevelElement] = 0;
  style->materialLinks[OuterBevelElement] = 1;
  style->bevels[InnerBevelSetting] = BevelSetting{10, 100, 0, 100};
  style->bevels[OuterBevelSetting] = BevelSetting{20, 100, 0, 100};
}

void SanitiseMaterialLinks(int32_t links[ElementCount]) {
  for (int32_t e = 0; e < ElementCount; ++e)
    if (links[e] < -1 || links[e] >= ElementCount) links[e] = -1;
  for (int32_t e = 0; e < ElementCount; ++e) {
    int32_t j = links[e];
    for (int32_t step = 0; step < ElementCount && j >= 0; ++step) {
      if (j == e) {
        links[e] = -1;
        break;
      }
      j = links[j];
    }
  }
}
