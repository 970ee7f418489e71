// Lighting model and Main-face routines against an independent double
// precision evaluation of the lighting formula.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "render/Lighting.h"
#include "render/MainShading.h"
#include "tests/render/RenderTestSupport.h"

using namespace render_test;

namespace {

// The lighting formula for a unit normal n, evaluated in double precision
// from the style's light vectors: the value a channel should have before
// clamping, per color component.
void OracleShade(const StyleRecord& style, const double n[3], const PixelMaterial& m, const double reflection[3],
                 double out[3]) {
  const double color[3] = {double(m.red), double(m.green), double(m.blue)};
  for (int c = 0; c < 3; ++c) out[c] = color[c] * style.ambientColor[c] / 65025.0;
  for (const LightSetting& light : style.lights) {
    if (light.color == 0) continue;
    const double lightColor[3] = {double((light.color >> 16) & 0xFF) / 255.0, double((light.color >> 8) & 0xFF) / 255.0,
                                  double(light.color & 0xFF) / 255.0};
    double d = 0, h = 0;
    for (int i = 0; i < 3; ++i) {
      d += n[i] * light.direction[i];
      h += n[i] * light.halfVector[i];
    }
    const double q = d > 0 ? d / 255.0 : 0.0;
    const double t = h > 0 ? std::pow(h, m.shininess + 1.0) * m.shinStrength / 255.0 : 0.0;
    for (int c = 0; c < 3; ++c) out[c] += (q * color[c] + t) * lightColor[c];
  }
  for (int c = 0; c < 3; ++c) out[c] += reflection[c] * m.reflectivity / 65025.0;
}

// Expected packed channel values for alpha `alpha`.
void OracleChannels(const double shade[3], uint32_t alpha, double out[3]) {
  for (int c = 0; c < 3; ++c) out[c] = std::floor(std::fmin(shade[c], 1.0) * alpha);
}

void ExpectWithinOneLevel(RenderedPixel p, uint32_t alpha, const double expected[3]) {
  EXPECT_EQ(AlphaOf(p), alpha);
  EXPECT_NEAR(double(RedOf(p)), expected[0], 1.0);
  EXPECT_NEAR(double(GreenOf(p)), expected[1], 1.0);
  EXPECT_NEAR(double(BlueOf(p)), expected[2], 1.0);
}

void SetLight(StyleRecord* style, int i, double x, double y, double z, uint32_t color) {
  const double length = std::sqrt(x * x + y * y + z * z);
  SetLightDirection(&style->lights[i], float(x / length), float(y / length), float(z / length));
  style->lights[i].color = color ^ 1;  // force the color components to be derived
  SetLightColor(&style->lights[i], color);
}

StyleRecord DarkStyle() {
  StyleRecord style{};
  SetDefaultStyle(&style);
  for (int i = 0; i < 3; ++i) SetLight(&style, i, 0, 0, 1, 0);
  style.ambientColor[0] = style.ambientColor[1] = style.ambientColor[2] = 0;
  return style;
}

}  // namespace

TEST(ShadingConstants, AreTheFloatsNearestToTheReciprocals) {
  EXPECT_EQ(std::bit_cast<uint32_t>(OneOver255), 0x3B808081u);
  EXPECT_EQ(std::bit_cast<uint32_t>(OneOver65025), 0x37810182u);
  EXPECT_EQ(OneOver255, float(1.0 / 255.0));
  EXPECT_EQ(OneOver65025, float(1.0 / 65025.0));
}

TEST(MainFullShading, FlatFaceMatchesTheLightingFormulaWithinOneLevel) {
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
  for (int trial = 0; trial < 300; ++trial) {
    StyleRecord style = DarkStyle();
    for (int c = 0; c < 3; ++c) style.ambientColor[c] = uint8_t(byte(random));
    for (int i = 0; i < 3; ++i) {
      const uint32_t color =
          trial % 7 == i ? 0 : (uint32_t(byte(random)) << 16 | uint32_t(byte(random)) << 8 | byte(random));
      SetLight(&style, i, coordinate(random), coordinate(random), coordinate(random) + 0.3, color);
    }
    LightingSetup lighting;
    SetUpLighting(style, &lighting);
    const PixelMaterial material =
        MakeMaterial(uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)),
                     uint8_t(byte(random) % 64), uint8_t(byte(random)));
    const uint8_t coverage = uint8_t(1 + trial % 32);
    SyntheticBuffer buffer(
        0, 0, 3, 1, [&](int, int) { return coverage; }, material);
    ASSERT_EQ(ShadeMainFull(lighting, &buffer.buffer, nullptr), 1);

    const double normal[3] = {0, 0, 1}, noReflection[3] = {0, 0, 0};
    double shade[3], expected[3];
    OracleShade(style, normal, material, noReflection, shade);
    const uint32_t alpha = (uint32_t(coverage) * material.opacity) >> 5;
    OracleChannels(shade, alpha, expected);
    for (int x = 0; x < 3; ++x) ExpectWithinOneLevel(buffer.Pixel(x, 0), alpha, expected);
  }
}

TEST(MainFullShading, AgreesWithShadeNormalForTheViewerNormal) {
  // The hoisted flat-face path must give exactly what the general per-normal
  // shading gives for (0, 0, 1).
  std::mt19937 random(99);
  std::uniform_int_distribution<int> byte(0, 255);
  StyleRecord style{};
  SetDefaultStyle(&style);
  style.ambientColor[0] = 40;
  style.ambientColor[1] = 90;
  style.ambientColor[2] = 200;
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  for (int trial = 0; trial < 500; ++trial) {
    const PixelMaterial material = MakeMaterial(uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)),
                                                uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)));
    SyntheticBuffer buffer(
        0, 0, 1, 1, [](int, int) { return uint8_t(32); }, material);
    ShadeMainFull(lighting, &buffer.buffer, nullptr);
    const float n[3] = {0, 0, 1};
    float color[3];
    PixelMaterial full = material;
    full.coverage = 32;
    ShadeNormal(n, DecodeMaterial(full), lighting, nullptr, color);
    EXPECT_EQ(buffer.Pixel(0, 0), PackShaded(material.opacity, color));
  }
}

TEST(MainFullShading, AmbientAloneReachesFullWhite) {
  StyleRecord style = DarkStyle();
  style.ambientColor[0] = style.ambientColor[1] = style.ambientColor[2] = 255;
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  EXPECT_EQ(lighting.lightCount, 0);
  SyntheticBuffer buffer(
      0, 0, 1, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(255, 255, 255, 255));
  ShadeMainFull(lighting, &buffer.buffer, nullptr);
  const RenderedPixel p = buffer.Pixel(0, 0);
  EXPECT_EQ(AlphaOf(p), 255u);
  EXPECT_EQ(RedOf(p), GreenOf(p));
  EXPECT_EQ(GreenOf(p), BlueOf(p));
  EXPECT_GE(RedOf(p), 254u);
}

TEST(MainFullShading, RedMaterialUnderAWhiteFrontLight) {
  StyleRecord style = DarkStyle();
  SetLight(&style, 0, 0, 0, 1, 0x00FFFFFF);
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  EXPECT_EQ(lighting.lightCount, 1);
  SyntheticBuffer buffer(
      0, 0, 1, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(255, 0, 0, 255, 0, 0));
  ShadeMainFull(lighting, &buffer.buffer, nullptr);
  const RenderedPixel p = buffer.Pixel(0, 0);
  // The diffuse term 1 x (1/255) x 255 x (255 x 1/255), in float, packed by truncation.
  const float red = ClampUnit((1.0f * OneOver255 * 255.0f + 0.0f) * (255.0f * OneOver255));
  EXPECT_EQ(p, (255u << 24) | (uint32_t(red * 255.0f) << 16));
  EXPECT_GE(RedOf(p), 254u);
}

TEST(MainFullShading, BlackLightWithTopByteIsActiveAndAddsNothing) {
  StyleRecord style = DarkStyle();
  SetLight(&style, 1, 0, 0, 1, 0xFF000000);
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  EXPECT_EQ(lighting.lightCount, 1);
  SyntheticBuffer buffer(
      0, 0, 1, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(255, 255, 255, 255, 0, 255));
  ShadeMainFull(lighting, &buffer.buffer, nullptr);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFF000000u);
}

TEST(ShadeNormal, LightBehindTheSurfaceStillGivesAHighlight) {
  StyleRecord style = DarkStyle();
  // Light grazing from behind (d < 0) whose half vector still faces the normal.
  SetLight(&style, 0, 1, 0, -0.2, 0x00FF8000);
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  const float n[3] = {0.0f, 0.0f, 1.0f};
  ASSERT_LT(lighting.lights[0].direction[2], 0.0f);
  ASSERT_GT(lighting.lights[0].halfVector[2], 0.0f);
  PixelMaterial m = MakeMaterial(0, 0, 0, 255, 0, 255);
  float color[3];
  ShadeNormal(n, DecodeMaterial(m), lighting, nullptr, color);
  EXPECT_GT(color[0], 0.0f);
  EXPECT_GT(color[1], 0.0f);
  EXPECT_FLOAT_EQ(color[1] / color[0], 128.0f / 255.0f);
  EXPECT_EQ(color[2], 0.0f);
}

TEST(ShadeNormal, HighestShininessKeepsOnlyNearPerfectHighlights) {
  StyleRecord style = DarkStyle();
  SetLight(&style, 0, 0, 0, 1, 0x00FFFFFF);
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  PixelMaterial m = MakeMaterial(0, 0, 0, 255, 255, 255);
  float color[3];
  const float straight[3] = {0, 0, 1};
  ShadeNormal(straight, DecodeMaterial(m), lighting, nullptr, color);
  EXPECT_EQ(color[0], 1.0f);
  const float tilted[3] = {0.2f, 0.0f, std::sqrt(1.0f - 0.04f)};  // N.H = 0.98: 0.98^256 < 0.6%
  ShadeNormal(tilted, DecodeMaterial(m), lighting, nullptr, color);
  EXPECT_LT(color[0], 0.006f);
}

TEST(ShadeNormal, MatchesTheFormulaForTiltedNormals) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> byte(0, 255);
  StyleRecord style{};
  SetDefaultStyle(&style);
  style.ambientColor[0] = 30;
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  for (int trial = 0; trial < 2000; ++trial) {
    double n[3] = {unit(random), unit(random), std::fabs(unit(random)) + 0.05};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double& v : n) v /= length;
    const float nf[3] = {float(n[0]), float(n[1]), float(n[2])};
    const PixelMaterial m = MakeMaterial(uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)), 255,
                                         uint8_t(byte(random)), uint8_t(byte(random)));
    float color[3];
    ShadeNormal(nf, DecodeMaterial(m), lighting, nullptr, color);
    const double noReflection[3] = {0, 0, 0};
    double shade[3];
    OracleShade(style, n, m, noReflection, shade);
    for (int c = 0; c < 3; ++c) {
      EXPECT_LE(color[c], 1.0f);
      EXPECT_NEAR(double(color[c]), std::fmin(shade[c], 1.0), 2e-3) << "trial " << trial;
    }
  }
}

TEST(Packing, ClampsAtOneAndTruncates) {
  // Colors above 1 (several bright lights) clamp; packing truncates toward zero.
  StyleRecord style = DarkStyle();
  for (int i = 0; i < 3; ++i) SetLight(&style, i, 0, 0, 1, 0x00FFFFFF);
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  SyntheticBuffer buffer(
      0, 0, 3, 1, [](int x, int) { return uint8_t(x == 0 ? 32 : (x == 1 ? 16 : 1)); },
      MakeMaterial(255, 255, 255, 255, 10, 255));
  ShadeMainFull(lighting, &buffer.buffer, nullptr);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(buffer.Pixel(1, 0), 0x7F7F7F7Fu);  // coverage 16: alpha 127, colors at most 127
  EXPECT_EQ(buffer.Pixel(2, 0), 0x07070707u);  // coverage 1: (255 x 1) >> 5 = 7
  float half[3] = {0.99999f, 0.5f, 0.0f};
  EXPECT_EQ(PackShaded(255, half), 0xFFFE7F00u);
}

TEST(MainChannelDisplay, GrayOfOneMaterialByte) {
  SyntheticBuffer buffer(
      0, 0, 3, 1, [](int x, int) { return uint8_t(x == 0 ? 32 : (x == 1 ? 16 : 0)); },
      MakeMaterial(1, 2, 3, 200, 100, 50, 255));
  ShadeMainChannelDisplay(&buffer.buffer, MaterialReflectivityByte);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(buffer.Pixel(1, 0), 0x7F7F7F7Fu);
  ShadeMainChannelDisplay(&buffer.buffer, MaterialOpacityByte);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFFC8C8C8u);
  EXPECT_EQ(buffer.Pixel(1, 0), 0x7F646464u);
  ShadeMainChannelDisplay(&buffer.buffer, MaterialShininessByte);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFF646464u);
  ShadeMainChannelDisplay(&buffer.buffer, MaterialShinStrengthByte);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFF323232u);
  // A span column outside the element (coverage 0) is clear.
  SyntheticBuffer empty(
      0, 0, 1, 1, [](int, int) { return uint8_t(1); }, MakeMaterial(0, 0, 0, 0, 0, 0, 255));
  empty.Material(0, 0)->coverage = 0;
  ShadeMainChannelDisplay(&empty.buffer, MaterialReflectivityByte);
  EXPECT_EQ(empty.Pixel(0, 0), 0u);
}

TEST(MainColorDisplay, FlagsChooseColorAndOpacity) {
  SyntheticBuffer buffer(
      0, 0, 2, 1, [](int x, int) { return uint8_t(x == 0 ? 32 : 8); }, MakeMaterial(255, 128, 0, 100));
  ShadeMainColorDisplay(&buffer.buffer, nullptr, 0, nullptr, 0, 0);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFF000000u);
  EXPECT_EQ(buffer.Pixel(1, 0), uint32_t((255 * 8) >> 5) << 24);
  ShadeMainColorDisplay(&buffer.buffer, nullptr, 0, nullptr, 1, 0);
  const uint32_t green = uint32_t(128.0f * OneOver255 * 255.0f);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFF000000u | 0xFF0000u | (green << 8));
  ShadeMainColorDisplay(&buffer.buffer, nullptr, 0, nullptr, 1, 1);
  EXPECT_EQ(AlphaOf(buffer.Pixel(0, 0)), 100u);
  EXPECT_EQ(AlphaOf(buffer.Pixel(1, 0)), (100u * 8) >> 5);
  EXPECT_EQ(RedOf(buffer.Pixel(0, 0)), 100u);
}

TEST(ConstantFill, ScalesEachByteByCoverage) {
  SyntheticBuffer buffer(
      0, 0, 3, 1, [](int x, int) { return uint8_t(x == 0 ? 32 : (x == 1 ? 16 : 3)); }, MakeMaterial(9, 9, 9, 9));
  ConstantFill(&buffer.buffer, 0xFFFFFFFF);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(buffer.Pixel(1, 0), 0x7F7F7F7Fu);
  EXPECT_EQ(buffer.Pixel(2, 0), 0x17171717u);
  ConstantFill(&buffer.buffer, 0x80402010);
  EXPECT_EQ(buffer.Pixel(0, 0), 0x80402010u);
  EXPECT_EQ(buffer.Pixel(1, 0), 0x40201008u);
  ConstantFill(&buffer.buffer, 0);
  EXPECT_EQ(buffer.Pixel(0, 0), 0u);
}
