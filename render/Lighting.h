// The lighting model: an ambient term, a diffuse and a specular term per
// active light, and a reflection term, applied to a unit surface normal and a
// pixel's material.
//
// All per-pixel arithmetic is single precision except pow (double); the
// scale factors are those of ScaleFactors.h. Results are clamped at 1 and truncated when packed
// into bytes. Frame: x right, y down, z towards the viewer.
#pragma once
#include <cmath>
#include <cstdint>

#include "bevel/ElementBuffer.h"
#include "render/Sampling.h"
#include "render/HighlightPower.h"
#include "style/ScaleFactors.h"

struct StyleRecord;

// Lights that take part in shading: those whose 32-bit color word is not 0.
constexpr int32_t MaxLights = 3;

struct ActiveLight {
  float direction[3];   // L, unit vector towards the light
  float halfVector[3];  // H, unit vector of L + (0, 0, 1)
  float color[3];       // red, green, blue byte x OneOver255
};

// Everything the shading routines need from the style, set up once per call.
struct LightingSetup {
  float ambient[3];  // ambient color bytes x OneOver65025; times a material byte gives 0..1
  int32_t lightCount;
  ActiveLight lights[MaxLights];  // lights 1, 2, 3 in order, inactive ones left out
};

// Fills `setup` from the style's ambient color and lights. The light color
// factors are derived here from each light's color word, so they do not
// depend on how the style record cached them.
void SetUpLighting(const StyleRecord& style, LightingSetup* setup);

// A pixel's material as the lighting model reads it (from the PixelMaterial bytes).
struct ShadingMaterial {
  float color[3];       // red, green, blue as 0..255
  double exponent;      // shininess byte + 1 (1..256)
  float strength;       // shin. strength byte x OneOver255
  float reflectFactor;  // reflectivity byte x OneOver65025; 0 = no reflection
  uint8_t reflectivity;
};

// PixelMaterial byte indexes of the channel displays (the render modes 3..6).
constexpr int32_t MaterialOpacityByte = 3;
constexpr int32_t MaterialShininessByte = 4;
constexpr int32_t MaterialShinStrengthByte = 5;
constexpr int32_t MaterialReflectivityByte = 6;

// Byte `index` (0..7) of a pixel material, in the order of its fields.
inline uint8_t MaterialByte(const PixelMaterial& m, int32_t index) {
  return reinterpret_cast<const uint8_t*>(&m)[index];
}

inline ShadingMaterial DecodeMaterial(const PixelMaterial& p) {
  ShadingMaterial m;
  m.color[0] = float(p.red);
  m.color[1] = float(p.green);
  m.color[2] = float(p.blue);
  m.exponent = double(int32_t(p.shininess) + 1);
  m.strength = float(p.shinStrength) * OneOver255;
  m.reflectivity = p.reflectivity;
  m.reflectFactor = float(p.reflectivity) * OneOver65025;
  return m;
}

// A product with a coverage (0..PixelSamples) shifted right by this is scaled back to one pixel.
constexpr int32_t CoverageShift = SampleColumnShift + SampleRowShift;
static_assert((1 << CoverageShift) == PixelSamples, "coverage is a power of two");

// Clamps an accumulator at 1; a value not comparable with 1 becomes 1 too.
inline float ClampUnit(float v) { return v <= 1.0f ? v : 1.0f; }

// Adds one light's contribution for the dot products d = N.L and h = N.H,
// with `power` = h^exponent where h > 0. A term that does not apply is a
// zero, which leaves every sum bit-exact as if it were skipped:
// (0 x M + t) x c == t x c and acc + 0 == acc.
inline void AddLight(float acc[3], const ActiveLight& light, float d, float h, float power, const ShadingMaterial& m) {
  const float q = d > 0.0f ? d * OneOver255 : 0.0f;
  const float t = h > 0.0f ? power * m.strength : 0.0f;
  acc[0] += (q * m.color[0] + t) * light.color[0];
  acc[1] += (q * m.color[1] + t) * light.color[1];
  acc[2] += (q * m.color[2] + t) * light.color[2];
}

// Adds the reflection image's color at normal (x, y), weighted by the reflectivity.
inline void AddReflection(float acc[3], const ReflectionSampler& sampler, float x, float y, float reflectFactor) {
  uint32_t rgb[3];
  LookUpReflection(sampler, x, y, rgb);
  acc[0] += float(rgb[0]) * reflectFactor;
  acc[1] += float(rgb[1]) * reflectFactor;
  acc[2] += float(rgb[2]) * reflectFactor;
}

// Shades unit normal `n` with material `m`: ambient, every active light,
// then the reflection when a sampler is given (null = none) and the
// reflectivity is not 0. `out` is clamped at 1; no term is negative.
inline void ShadeNormal(const float n[3], const ShadingMaterial& m, const LightingSetup& setup,
                        const ReflectionSampler* reflection, float out[3]) {
  out[0] = m.color[0] * setup.ambient[0];
  out[1] = m.color[1] * setup.ambient[1];
  out[2] = m.color[2] * setup.ambient[2];
  // Every light's dot products first, so that their powers are taken side by side.
  float d[MaxLights], h[MaxLights], power[MaxLights];
  for (int32_t i = 0; i < MaxLights; ++i) {
    d[i] = h[i] = 0.0f;
    if (i >= setup.lightCount) continue;
    const ActiveLight& light = setup.lights[i];
    d[i] = n[0] * light.direction[0] + n[1] * light.direction[1] + n[2] * light.direction[2];
    h[i] = n[0] * light.halfVector[0] + n[1] * light.halfVector[1] + n[2] * light.halfVector[2];
  }
  HighlightPowers<MaxLights>(h, m.exponent, power);
  for (int32_t i = 0; i < setup.lightCount; ++i) AddLight(out, setup.lights[i], d[i], h[i], power[i], m);
  if (reflection != nullptr && m.reflectivity != 0) AddReflection(out, *reflection, n[0], n[1], m.reflectFactor);
  out[0] = ClampUnit(out[0]);
  out[1] = ClampUnit(out[1]);
  out[2] = ClampUnit(out[2]);
}

// A RenderedPixel from its four bytes (colors already premultiplied).
inline RenderedPixel PackPixel(uint32_t alpha, uint32_t red, uint32_t green, uint32_t blue) {
  return (alpha << RenderedAlphaShift) | (red << RenderedRedShift) | (green << RenderedGreenShift) |
         (blue << RenderedBlueShift);
}

// Packs shaded colors (each 0..1) under alpha 0..255, truncating toward zero.
inline RenderedPixel PackShaded(uint32_t alpha, const float color[3]) {
  const float a = float(alpha);
  return PackPixel(alpha, uint32_t(color[0] * a), uint32_t(color[1] * a), uint32_t(color[2] * a));
}
