#include "style/StyleRecord.h"

#include <cmath>

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
  light->colorRed = float((light->color >> 16) & 0xFF) / 255.0f;
  light->colorGreen = float((light->color >> 8) & 0xFF) / 255.0f;
  light->colorBlue = float(light->color & 0xFF) / 255.0f;
}
}  // namespace

void DeriveHalfVector(LightSetting* light) {
  const float x = light->direction[0], y = light->direction[1], z = light->direction[2] + 1.0f;
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length > 0.0f) {
    light->halfVector[0] = x / length;
    light->halfVector[1] = y / length;
    light->halfVector[2] = z / length;
  } else {
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
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    LightSetting* light = &style->lights[i];
    SetLightDirection(light, d.x / length, d.y / length, d.z / length);
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
