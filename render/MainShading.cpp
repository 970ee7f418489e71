#include "render/MainShading.h"

#include <cmath>
#include <cstring>

#include "render/SpanWalk.h"

namespace {
// Highest shininess byte + 1: the specular exponents run 1..SpecularExponents.
constexpr int32_t SpecularExponents = 256;

static_assert(sizeof(PixelMaterial) == sizeof(uint64_t), "a material compares as one word");

inline uint32_t CoverageAlpha(uint32_t coverage, uint32_t opacity) { return (coverage * opacity) >> CoverageShift; }

// The flat face's lighting, hoisted out of the pixel loop. For normal
// (0, 0, 1) every light's d = L.z and h = H.z are constants; a term that does
// not apply is stored as zero, which adds nothing (see AddLight).
struct FlatLight {
  float diffuse;                   // d x 1/255 when d > 0, else 0
  float power[SpecularExponents];  // float(pow(h, e)) for e = 1..256 when h > 0, else 0
  float color[3];
};

struct FlatLighting {
  int32_t count;
  FlatLight lights[MaxLights];
  float reflection[3];  // reflection color at the image centre, 0 without a sampler
};

void SetUpFlatLighting(const LightingSetup& lighting, const ReflectionSampler* reflection, FlatLighting* flat) {
  flat->count = lighting.lightCount;
  for (int32_t i = 0; i < lighting.lightCount; ++i) {
    const ActiveLight& source = lighting.lights[i];
    FlatLight& light = flat->lights[i];
    const float d = source.direction[2];
    const float h = source.halfVector[2];
    light.diffuse = d > 0.0f ? d * OneOver255 : 0.0f;
    for (int32_t e = 0; e < SpecularExponents; ++e)
      light.power[e] = h > 0.0f ? float(std::pow(double(h), double(e + 1))) : 0.0f;
    for (int c = 0; c < 3; ++c) light.color[c] = source.color[c];
  }
  flat->reflection[0] = flat->reflection[1] = flat->reflection[2] = 0.0f;
  if (reflection != nullptr) {
    uint32_t rgb[3];
    LookUpReflection(*reflection, 0.0f, 0.0f, rgb);
    for (int c = 0; c < 3; ++c) flat->reflection[c] = float(rgb[c]);
  }
}

inline RenderedPixel ShadeFlatPixel(const LightingSetup& lighting, const FlatLighting& flat, const PixelMaterial& p) {
  const float m[3] = {float(p.red), float(p.green), float(p.blue)};
  const float strength = float(p.shinStrength) * OneOver255;
  float acc[3] = {m[0] * lighting.ambient[0], m[1] * lighting.ambient[1], m[2] * lighting.ambient[2]};
  for (int32_t i = 0; i < flat.count; ++i) {
    const FlatLight& light = flat.lights[i];
    const float t = light.power[p.shininess] * strength;
    acc[0] += (light.diffuse * m[0] + t) * light.color[0];
    acc[1] += (light.diffuse * m[1] + t) * light.color[1];
    acc[2] += (light.diffuse * m[2] + t) * light.color[2];
  }
  // Zero without a sampler or without reflectivity: then it adds nothing.
  const float reflect = float(p.reflectivity) * OneOver65025;
  acc[0] = ClampUnit(acc[0] + flat.reflection[0] * reflect);
  acc[1] = ClampUnit(acc[1] + flat.reflection[1] * reflect);
  acc[2] = ClampUnit(acc[2] + flat.reflection[2] * reflect);
  return PackShaded(CoverageAlpha(p.coverage, p.opacity), acc);
}
}  // namespace

int ShadeMainFull(const LightingSetup& lighting, ElementBuffer* buffer, const ReflectionSampler* reflection,
                  const PixelRect& clip) {
  FlatLighting flat;
  SetUpFlatLighting(lighting, reflection, &flat);
  // On the flat face a pixel depends on its material bytes alone; runs of
  // equal materials (the constant fill) reuse the previous result exactly.
  uint64_t lastMaterial = 0;
  RenderedPixel lastPixel = 0;
  bool haveLast = false;
  WalkPixels(buffer, clip, [&](const PixelMaterial& p, RenderedPixel& out) {
    uint64_t bytes;
    std::memcpy(&bytes, &p, sizeof bytes);
    if (!haveLast || bytes != lastMaterial) {
      lastPixel = ShadeFlatPixel(lighting, flat, p);
      lastMaterial = bytes;
      haveLast = true;
    }
    out = lastPixel;
  });
  return 1;
}

int ShadeMainFullBumped(const LightingSetup& lighting, ElementBuffer* buffer, const ReflectionSampler* reflection,
                        BumpSampler* samplers, int32_t count, const PixelRect& clip) {
  WalkSpans(
      buffer, clip,
      [&](const PixelMaterial& p, RenderedPixel& out) {
        float n[3] = {0.0f, 0.0f, 1.0f};
        PerturbNormal(samplers, count, n);
        float color[3];
        ShadeNormal(n, DecodeMaterial(p), lighting, reflection, color);
        out = PackShaded(CoverageAlpha(p.coverage, p.opacity), color);
        NextBumpColumn(samplers, count);
      },
      [&](int32_t column) { StartBumpSpan(samplers, count, column); }, [&] { NextBumpRow(samplers, count); });
  return 1;
}

namespace {
// The color display for one choice of flags; `Reflect` means a sampler is given.
template <bool ShowColor, bool Reflect, bool UseOpacity>
void ColorDisplay(ElementBuffer* buffer, BumpSampler* samplers, int32_t count, const ReflectionSampler* reflection,
                  const PixelRect& clip) {
  WalkSpans(
      buffer, clip,
      [&](const PixelMaterial& p, RenderedPixel& out) {
        float color[3] = {0.0f, 0.0f, 0.0f};
        if constexpr (ShowColor) {
          color[0] = float(p.red) * OneOver255;
          color[1] = float(p.green) * OneOver255;
          color[2] = float(p.blue) * OneOver255;
        }
        if constexpr (Reflect) {
          if (p.reflectivity != 0) {
            float n[3] = {0.0f, 0.0f, 1.0f};
            if (count > 0) PerturbNormal(samplers, count, n);
            AddReflection(color, *reflection, n[0], n[1], float(p.reflectivity) * OneOver65025);
          }
          NextBumpColumn(samplers, count);
        }
        for (int c = 0; c < 3; ++c) color[c] = ClampUnit(color[c]);
        out = PackShaded(CoverageAlpha(p.coverage, UseOpacity ? p.opacity : 255), color);
      },
      [&](int32_t column) {
        if constexpr (Reflect) StartBumpSpan(samplers, count, column);
      },
      [&] {
        if constexpr (Reflect) NextBumpRow(samplers, count);
      });
}

template <bool ShowColor, bool Reflect>
void ColorDisplayOpacity(ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                         const ReflectionSampler* reflection, int useOpacity, const PixelRect& clip) {
  if (useOpacity)
    ColorDisplay<ShowColor, Reflect, true>(buffer, samplers, count, reflection, clip);
  else
    ColorDisplay<ShowColor, Reflect, false>(buffer, samplers, count, reflection, clip);
}

template <bool ShowColor>
void ColorDisplayReflect(ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                         const ReflectionSampler* reflection, int useOpacity, const PixelRect& clip) {
  if (reflection != nullptr)
    ColorDisplayOpacity<ShowColor, true>(buffer, samplers, count, reflection, useOpacity, clip);
  else
    ColorDisplayOpacity<ShowColor, false>(buffer, samplers, count, reflection, useOpacity, clip);
}
}  // namespace

int ShadeMainColorDisplay(ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                          const ReflectionSampler* reflection, int showColor, int useOpacity,
                          const PixelRect& clip) {
  if (samplers == nullptr) count = 0;
  if (showColor)
    ColorDisplayReflect<true>(buffer, samplers, count, reflection, useOpacity, clip);
  else
    ColorDisplayReflect<false>(buffer, samplers, count, reflection, useOpacity, clip);
  return 1;
}

int ShadeMainChannelDisplay(ElementBuffer* buffer, int32_t byteIndex, const PixelRect& clip) {
  if (byteIndex < 0 || byteIndex >= int32_t(sizeof(PixelMaterial))) byteIndex = MaterialOpacityByte;
  WalkPixels(buffer, clip, [&](const PixelMaterial& p, RenderedPixel& out) {
    const uint32_t v = (uint32_t(MaterialByte(p, byteIndex)) * p.coverage) >> CoverageShift;
    out = PackPixel(CoverageAlpha(p.coverage, 255), v, v, v);
  });
  return 1;
}

int ConstantFill(ElementBuffer* buffer, uint32_t packed, const PixelRect& clip) {
  const uint32_t a = (packed >> RenderedAlphaShift) & 0xFF, r = (packed >> RenderedRedShift) & 0xFF;
  const uint32_t g = (packed >> RenderedGreenShift) & 0xFF, b = (packed >> RenderedBlueShift) & 0xFF;
  WalkPixels(buffer, clip, [&](const PixelMaterial& p, RenderedPixel& out) {
    const uint32_t k = p.coverage;
    out = PackPixel((k * a) >> CoverageShift, (k * r) >> CoverageShift, (k * g) >> CoverageShift,
                    (k * b) >> CoverageShift);
  });
  return 1;
}
