// The style record's defaults, percent conversions and derived light fields.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "style/StyleRecord.h"

namespace {
constexpr float Tolerance = 1e-6f;

float Length(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// The unit vector of (x, y, z + 1) in double precision.
void ExpectHalfVectorOf(const LightSetting& light) {
  const double x = light.direction[0], y = light.direction[1], z = light.direction[2] + 1.0;
  const double length = std::sqrt(x * x + y * y + z * z);
  EXPECT_NEAR(light.halfVector[0], x / length, Tolerance);
  EXPECT_NEAR(light.halfVector[1], y / length, Tolerance);
  EXPECT_NEAR(light.halfVector[2], z / length, Tolerance);
  EXPECT_NEAR(Length(light.halfVector), 1.0f, Tolerance);
}

StyleRecord DefaultStyle() {
  StyleRecord style;
  std::memset(&style, 0xCD, sizeof style);
  SetDefaultStyle(&style);
  return style;
}

TEST(StyleDefaults, FirstRunStyle) {
  const StyleRecord style = DefaultStyle();
  EXPECT_EQ(style.viewFlags, 0xA0);
  EXPECT_EQ(style.viewFlags & SelectedElementMask, MainElement);
  EXPECT_EQ(style.renderMode, RenderNormal);
  EXPECT_EQ(style.ambientColor[0], 0);
  EXPECT_EQ(style.ambientColor[1], 0);
  EXPECT_EQ(style.ambientColor[2], 0);
  EXPECT_EQ(style.ambientReserved, 0);

  // 10-pixel inner and 20-pixel outer bevel at 100 % depth, round joins, contour 0.
  const BevelSetting& inner = style.bevels[InnerBevelSetting];
  const BevelSetting& outer = style.bevels[OuterBevelSetting];
  EXPECT_EQ(inner.size, 10);
  EXPECT_EQ(outer.size, 20);
  for (const BevelSetting& bevel : style.bevels) {
    EXPECT_EQ(bevel.depth, 100);
    EXPECT_EQ(JoinTypeOf(bevel.bevelFlags), JoinRound);
    EXPECT_EQ(ContourIndexOf(bevel.bevelFlags), 0);
    EXPECT_EQ(bevel.bevelFlags & (FlipHorizontalFlag | FlipVerticalFlag), 0);
    EXPECT_EQ(bevel.miterLimit, 100);
  }

  // White opaque material, shared along the chain Outer -> Inner -> Main.
  for (const MaterialSetting& material : style.materials) {
    EXPECT_EQ(MaterialColorWord(material), 0xFFFFFFFFu);
    EXPECT_EQ(material.shininess, 36);
    EXPECT_EQ(material.shinStrength, 100);
    EXPECT_EQ(material.reflectivity, 0);
  }
  EXPECT_EQ(style.materialLinks[MainElement], -1);
  EXPECT_EQ(style.materialLinks[InnerBevelElement], MainElement);
  EXPECT_EQ(style.materialLinks[OuterBevelElement], InnerBevelElement);
}

TEST(StyleDefaults, RedBlueAndGreenLights) {
  const StyleRecord style = DefaultStyle();
  const float unnormalised[3][3] = {{1, 1, 1}, {-1, 1, 1}, {0, 2, 1}};
  const uint32_t colors[3] = {0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const LightSetting& light = style.lights[i];
    EXPECT_EQ(light.color, colors[i]);
    EXPECT_FLOAT_EQ(light.colorRed, float((colors[i] >> 16) & 0xFF) / 255.0f);
    EXPECT_FLOAT_EQ(light.colorGreen, float((colors[i] >> 8) & 0xFF) / 255.0f);
    EXPECT_FLOAT_EQ(light.colorBlue, float(colors[i] & 0xFF) / 255.0f);
    EXPECT_NEAR(Length(light.direction), 1.0f, Tolerance);
    const float scale = Length(unnormalised[i]);
    for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(light.direction[axis], unnormalised[i][axis] / scale, Tolerance);
    ExpectHalfVectorOf(light);
  }
}

TEST(PercentConversion, EveryPercentRoundTrips) {
  for (int32_t percent = 0; percent <= 100; ++percent) {
    const int32_t byte = PercentToByte(percent);
    ASSERT_GE(byte, 0);
    ASSERT_LE(byte, 255);
    // The nearest byte to 2.55 × percent, halves upwards: |20 byte - 51 percent| <= 10.
    const int32_t twentieths = 20 * byte - 51 * percent;
    EXPECT_LE(std::abs(twentieths), 10) << percent;
    if (std::abs(twentieths) == 10) {
      EXPECT_GT(twentieths, 0) << "halves round up at " << percent;
    }
    EXPECT_EQ(ByteToPercent(byte), percent);
  }
  EXPECT_EQ(PercentToByte(0), 0);
  EXPECT_EQ(PercentToByte(100), 255);
  EXPECT_EQ(PercentToByte(10), 26);  // 25.5 rounds up
  EXPECT_EQ(PercentToByte(50), 128);  // 127.5 rounds up
}

TEST(PercentConversion, EveryByteMapsToTheNearestPercent) {
  int32_t previous = 0;
  for (int32_t byte = 0; byte <= 255; ++byte) {
    const int32_t percent = ByteToPercent(byte);
    // 100 byte / 255 never falls on a half, so the nearest percent is unique.
    EXPECT_LT(std::abs(255 * percent - 100 * byte) * 2, 255) << byte;
    EXPECT_GE(percent, previous);
    previous = percent;
    // Showing a byte and taking the shown percent back is stable after one step.
    EXPECT_EQ(ByteToPercent(PercentToByte(percent)), percent);
    EXPECT_LE(std::abs(PercentToByte(percent) - byte), 1) << byte;
  }
  EXPECT_EQ(ByteToPercent(0), 0);
  EXPECT_EQ(ByteToPercent(255), 100);
  EXPECT_EQ(ByteToPercent(36), 14);
}

TEST(LightColor, EqualValueLeavesTheComponentsUntouched) {
  StyleRecord style = DefaultStyle();
  LightSetting& light = style.lights[0];
  light.colorRed = light.colorGreen = light.colorBlue = -1.0f;  // marks
  SetLightColor(&light, 0xFFFF0000u);
  EXPECT_EQ(light.colorRed, -1.0f);
  EXPECT_EQ(light.colorGreen, -1.0f);
  EXPECT_EQ(light.colorBlue, -1.0f);

  // Only the top byte differs: the value differs, the components are derived again.
  SetLightColor(&light, 0x00FF0000u);
  EXPECT_EQ(light.color, 0x00FF0000u);
  EXPECT_FLOAT_EQ(light.colorRed, 1.0f);
  EXPECT_FLOAT_EQ(light.colorGreen, 0.0f);
  EXPECT_FLOAT_EQ(light.colorBlue, 0.0f);

  SetLightColor(&light, 0x00336699u);
  EXPECT_FLOAT_EQ(light.colorRed, float(0x33) / 255.0f);
  EXPECT_FLOAT_EQ(light.colorGreen, float(0x66) / 255.0f);
  EXPECT_FLOAT_EQ(light.colorBlue, float(0x99) / 255.0f);
}

TEST(LightDirection, HalfVectorIsTheUnitVectorTowardsLightPlusViewer) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> component(-3.0f, 3.0f);
  LightSetting light{};
  for (int i = 0; i < 1000; ++i) {
    const float x = component(random), y = component(random), z = component(random);
    if (std::fabs(z + 1.0f) < 1e-3f && std::fabs(x) < 1e-3f && std::fabs(y) < 1e-3f) continue;
    SetLightDirection(&light, x, y, z);
    EXPECT_EQ(light.direction[0], x);
    EXPECT_EQ(light.direction[1], y);
    EXPECT_EQ(light.direction[2], z);
    ExpectHalfVectorOf(light);
  }
  // Straight towards the viewer: the half-way vector is the view direction.
  SetLightDirection(&light, 0.0f, 0.0f, 1.0f);
  EXPECT_FLOAT_EQ(light.halfVector[2], 1.0f);
}

TEST(LightDirection, DeriveHalfVectorFollowsAStoredDirection) {
  LightSetting light{};
  light.direction[0] = 0.6f;
  light.direction[1] = 0.0f;
  light.direction[2] = 0.8f;
  DeriveHalfVector(&light);
  ExpectHalfVectorOf(light);
}
}  // namespace
