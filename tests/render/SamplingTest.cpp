// Reflection look-up and bump-map normal perturbation, and their use by the
// Main routines.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/MainShading.h"
#include "render/Sampling.h"
#include "tests/render/RenderTestSupport.h"

using namespace render_test;

namespace {
// A gray image whose column c holds value(c, r).
std::vector<uint8_t> GrayImage(int width, int height, uint8_t (*value)(int, int)) {
  std::vector<uint8_t> image(size_t(width) * height);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c) image[size_t(r) * width + c] = value(c, r);
  return image;
}

BumpSampler FlatSampler(const std::vector<uint8_t>& image, int width, int height, float amount) {
  BumpSampler b{};
  b.cosAngle = 1.0f;
  b.sinAngle = 0.0f;
  b.amount = amount * OneOver65025;
  b.width = width;
  b.height = height;
  b.valuePlane = image.data();
  b.colStepX = 1 << 16;  // one image column per pixel column
  b.rowStepY = 1 << 16;  // one image row per pixel row
  return b;
}
}  // namespace

TEST(ReflectionLookUp, CentreOfAnEvenAndAnOddImage) {
  // Column c has value 10 c, row r adds 1 r.
  auto value = [](int c, int r) { return uint8_t(10 * c + r); };
  std::vector<uint8_t> even = GrayImage(8, 6, value), odd = GrayImage(7, 5, value);
  ReflectionSampler s;
  uint32_t rgb[3];
  MakeReflectionSampler(&s, even.data(), 8, 6, 0);
  LookUpReflection(s, 0.0f, 0.0f, rgb);
  // Column 4 weighted 0xFFFF, row 3: (43 x 0xFFFF) >> 16 = 42.
  EXPECT_EQ(rgb[0], (43u * 0xFFFF) >> 16);
  EXPECT_EQ(rgb[1], rgb[0]);
  EXPECT_EQ(rgb[2], rgb[0]);
  MakeReflectionSampler(&s, odd.data(), 7, 5, 0);
  LookUpReflection(s, 0.0f, 0.0f, rgb);
  // 3.5 columns: columns 3 and 4 blended half and half, row 2.
  EXPECT_EQ(rgb[0], (32u * (0xFFFF - 0x8000) + 42u * 0x8000) >> 16);
}

TEST(ReflectionLookUp, EdgesClampAndWhiteGives254) {
  std::vector<uint8_t> white(4 * 4, 255);
  ReflectionSampler s;
  uint32_t rgb[3];
  MakeReflectionSampler(&s, white.data(), 4, 4, 0);
  LookUpReflection(s, 0.3f, -0.2f, rgb);
  EXPECT_EQ(rgb[0], 254u);
  auto value = [](int c, int) { return uint8_t(c * 50); };
  std::vector<uint8_t> ramp = GrayImage(4, 4, value);
  MakeReflectionSampler(&s, ramp.data(), 4, 4, 0);
  LookUpReflection(s, 1.0f, 1.0f, rgb);  // column 4: both neighbours clamp to column 3
  EXPECT_EQ(rgb[0], (150u * 0xFFFF) >> 16);
  LookUpReflection(s, -1.0f, -1.0f, rgb);
  EXPECT_EQ(rgb[0], 0u);
  LookUpReflection(s, -5.0f, 7.0f, rgb);  // far outside: clamped, no out-of-range read
  EXPECT_EQ(rgb[0], 0u);
}

TEST(ReflectionLookUp, ThreePlanesGiveRedGreenBlue) {
  std::vector<uint8_t> planes(3 * 2 * 2);
  for (int i = 0; i < 4; ++i) {
    planes[i] = 200;
    planes[4 + i] = 100;
    planes[8 + i] = 50;
  }
  ReflectionSampler s;
  MakeReflectionSampler(&s, planes.data(), 2, 2, 1);
  uint32_t rgb[3];
  LookUpReflection(s, 0.0f, 0.0f, rgb);
  EXPECT_EQ(rgb[0], (200u * 0xFFFF) >> 16);
  EXPECT_EQ(rgb[1], (100u * 0xFFFF) >> 16);
  EXPECT_EQ(rgb[2], (50u * 0xFFFF) >> 16);
}

TEST(BumpPerturbation, ConstantImageOrZeroAmountLeavesTheNormal) {
  std::vector<uint8_t> flat(16, 90);
  BumpSampler b = FlatSampler(flat, 4, 4, 255);
  float n[3] = {0.0f, 0.0f, 1.0f};
  PerturbNormal(&b, 1, n);
  EXPECT_EQ(n[0], 0.0f);
  EXPECT_EQ(n[1], 0.0f);
  EXPECT_EQ(n[2], 1.0f);
  std::vector<uint8_t> ramp = GrayImage(4, 4, [](int c, int) { return uint8_t(c * 60); });
  BumpSampler zero = FlatSampler(ramp, 4, 4, 0);
  PerturbNormal(&zero, 1, n);
  EXPECT_EQ(n[0], 0.0f);
  // An opacity plane of 0 cancels the amount as well.
  std::vector<uint8_t> clear(16, 0);
  BumpSampler masked = FlatSampler(ramp, 4, 4, 255);
  masked.opacityPlane = clear.data();
  masked.col = 1 << 16;
  PerturbNormal(&masked, 1, n);
  EXPECT_EQ(n[0], 0.0f);
  EXPECT_EQ(n[2], 1.0f);
}

TEST(BumpPerturbation, GradientTiltsAndInvertFlips) {
  std::vector<uint8_t> ramp = GrayImage(4, 4, [](int c, int) { return uint8_t(c * 60); });
  BumpSampler b = FlatSampler(ramp, 4, 4, 255);
  b.col = 1 << 16;  // column 1: gradient V[0] - V[2] = -120
  float n[3] = {0.0f, 0.0f, 1.0f};
  PerturbNormal(&b, 1, n);
  const float expected = (255.0f * OneOver65025) * (-120.0f * 1.0f - 0.0f * 0.0f);
  EXPECT_FLOAT_EQ(n[0], expected);
  EXPECT_EQ(n[1], 0.0f);
  EXPECT_FLOAT_EQ(n[2], std::sqrt(1.0f - expected * expected));
  b.invert = 1;
  float m[3] = {0.0f, 0.0f, 1.0f};
  PerturbNormal(&b, 1, m);
  EXPECT_FLOAT_EQ(m[0], -expected);
}

TEST(BumpPerturbation, NegativeCoordinatesWrapToTheLastColumn) {
  // Column 0 sees columns -1 (= 3) and 1.
  std::vector<uint8_t> image = GrayImage(4, 1, [](int c, int) { return uint8_t(c == 3 ? 200 : (c == 1 ? 50 : 0)); });
  BumpSampler b = FlatSampler(image, 4, 1, 255);
  b.col = 0;
  float n[3] = {0, 0, 1};
  PerturbNormal(&b, 1, n);
  EXPECT_FLOAT_EQ(n[0], (255.0f * OneOver65025) * 150.0f);
  b.col = -4 << 16;  // -n addresses column 0 again
  float m[3] = {0, 0, 1};
  PerturbNormal(&b, 1, m);
  EXPECT_EQ(m[0], n[0]);
}

TEST(BumpPerturbation, TiltsBeyondLengthOneLieInTheImagePlane) {
  std::vector<uint8_t> ramp = GrayImage(4, 4, [](int c, int r) { return uint8_t(c * 80 + r * 2); });
  BumpSampler pair[2] = {FlatSampler(ramp, 4, 4, 255), FlatSampler(ramp, 4, 4, 255)};
  pair[0].col = pair[1].col = 1 << 16;
  pair[0].row = pair[1].row = 1 << 16;
  float n[3] = {0, 0, 1};
  PerturbNormal(pair, 2, n);
  EXPECT_EQ(n[2], 0.0f);
  EXPECT_NEAR(std::hypot(n[0], n[1]), 1.0, 2e-3);
}

TEST(BumpStepping, SpansAndRowsMoveThePosition) {
  std::vector<uint8_t> image(16, 0);
  BumpSampler b = FlatSampler(image, 4, 4, 1);
  b.rowStepX = 3;
  b.colStepX = 5;
  b.rowStepY = 7;
  b.colStepY = 11;
  b.rowOrigin = 100;
  b.colOrigin = 200;
  StartBumpSpan(&b, 1, 4);
  EXPECT_EQ(b.row, 112);
  EXPECT_EQ(b.col, 220);
  NextBumpColumn(&b, 1);
  EXPECT_EQ(b.row, 115);
  EXPECT_EQ(b.col, 225);
  NextBumpRow(&b, 1);
  StartBumpSpan(&b, 1, 0);
  EXPECT_EQ(b.row, 107);
  EXPECT_EQ(b.col, 211);
}

TEST(MainWithSamplers, FlatFaceReadsTheReflectionCentre) {
  std::vector<uint8_t> image(2 * 2, 0);
  image[0] = image[1] = 0;
  image[2] = image[3] = 200;  // row 1 (the centre row of a 2-row image)
  ReflectionSampler s;
  MakeReflectionSampler(&s, image.data(), 2, 2, 0);
  StyleRecord style{};
  SetDefaultStyle(&style);
  for (LightSetting& light : style.lights) SetLightColor(&light, 0);
  LightingSetup lighting;
  SetUpLighting(style, &lighting);
  SyntheticBuffer buffer(
      0, 0, 1, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(0, 0, 0, 255, 0, 0, 255));
  ShadeMainFull(lighting, &buffer.buffer, &s);
  const uint32_t centre = (200u * 0xFFFF) >> 16;
  const uint32_t red = uint32_t(ClampUnit(0.0f + float(centre) * (255.0f * OneOver65025)) * 255.0f);
  EXPECT_EQ(buffer.Pixel(0, 0), 0xFF000000u | red << 16 | red << 8 | red);
  // The bumped path with a flat bump image agrees with the flat path.
  std::vector<uint8_t> flat(4, 7);
  BumpSampler b = FlatSampler(flat, 2, 2, 255);
  SyntheticBuffer bumped(
      0, 0, 1, 1, [](int, int) { return uint8_t(32); }, MakeMaterial(0, 0, 0, 255, 0, 0, 255));
  ShadeMainFullBumped(lighting, &bumped.buffer, &s, &b, 1);
  EXPECT_EQ(bumped.Pixel(0, 0), buffer.Pixel(0, 0));
  // Color display with reflection on and color off shows the same reflection.
  ShadeMainColorDisplay(&bumped.buffer, &b, 1, &s, 0, 0);
  EXPECT_EQ(bumped.Pixel(0, 0), buffer.Pixel(0, 0));
}
