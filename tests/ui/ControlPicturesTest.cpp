#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "maps/MapImage.h"
#include "ui/ElementTabs.h"
#include "ui/LightSphere.h"
#include "ui/ReflectionSphere.h"
#include "ui/SphereTables.h"

namespace {

constexpr uint32_t Face = 0x00C0C0C0;

SphereTables Tables() {
  SphereTables tables;
  BuildSphereTables(&tables);
  return tables;
}

uint32_t Red(uint32_t pixel) { return (pixel >> 16) & 0xFF; }

}  // namespace

// Each picture pixel's normal points from the sphere's centre (between
// pixels 30 and 31) through the pixel's centre on a sphere of 32 pixels'
// radius, and the coverage is full where the pixel lies within the rim and
// empty where it lies wholly beyond radius 32.
TEST(SphereTables, NormalsAndCoverageMatchTheGeometry) {
  const SphereTables tables = Tables();
  for (int32_t py = 0; py < SphereDiameter; ++py) {
    for (int32_t px = 0; px < SphereDiameter; ++px) {
      const double cx = px + 0.5 - SphereCentre, cy = py + 0.5 - SphereCentre;
      float n[3];
      int32_t coverage;
      const int32_t on = SphereNormalAt(tables, px, py, n, &coverage);
      const double r2 = (cx * cx + cy * cy) / (32.0 * 32.0);
      ASSERT_EQ(on, r2 <= 1.0) << px << "," << py;
      if (on) {
        EXPECT_NEAR(n[0], cx / 32.0, 1e-6);
        EXPECT_NEAR(n[1], cy / 32.0, 1e-6);
        EXPECT_NEAR(n[2], std::sqrt(1.0 - r2), 1e-5);
      }
      const double nearX = std::fmax(0.0, std::fabs(cx) - 0.5), nearY = std::fmax(0.0, std::fabs(cy) - 0.5);
      const double farX = std::fabs(cx) + 0.5, farY = std::fabs(cy) + 0.5;
      if (farX * farX + farY * farY <= 31.0 * 31.0) {
        EXPECT_EQ(coverage, 255);
      }
      if (nearX * nearX + nearY * nearY >= 32.0 * 32.0) {
        EXPECT_EQ(coverage, 0);
      }
    }
  }
  EXPECT_EQ(BlendSphereEdge(0x123456, Face, 255), 0x123456u);
  EXPECT_EQ(BlendSphereEdge(0x123456, Face, 0), Face);
}

// A light placed at any point of its control is a unit direction, on the
// front inside the circle and on the back in the ring beyond it, with the half
// vector of (x, y, z + 1); and the sphere drawn for it is brightest where the
// mouse put it (within the pixel of difference between the mouse origin and
// the picture's centre), dark at the front when the light is behind.
TEST(LightSphere, PlacedLightLightsThePointUnderTheMouse) {
  const SphereTables tables = Tables();
  LightSetting light{};
  SetLightColor(&light, 0x00FF8000);
  LightColourTable table;
  BuildLightColourTable(&table, light);
  for (int32_t i = 1; i < 256; ++i) EXPECT_GE(table.rgb[i][0], table.rgb[i - 1][0]);
  EXPECT_EQ(table.rgb[0][0] | table.rgb[0][1] | table.rgb[0][2], 0);
  EXPECT_EQ(table.rgb[255][0], 255);
  // A dim light keeps the peak below saturation, so it has one brightest pixel.
  SetLightColor(&light, 0x00404040);
  BuildLightColourTable(&table, light);

  std::vector<uint32_t> pixels(LightSphereSize * LightSphereSize);
  for (int32_t y = -40; y < 110; y += 7) {
    for (int32_t x = -40; x < 110; x += 7) {
      const LightSetting before = light;
      const float g = std::hypot(x - 32.0f, y - 32.0f) / 32.0f;
      if (!PlaceLight(&light, x, y)) {
        EXPECT_GT(g, 2.0f);
        EXPECT_EQ(std::memcmp(&before, &light, sizeof light), 0);
        continue;
      }
      const float* d = light.direction;
      EXPECT_NEAR(d[0] * d[0] + d[1] * d[1] + d[2] * d[2], 1.0f, 1e-5f);
      if (g < 1.0f) {
        EXPECT_GE(d[2], 0.0f);
      }
      if (g > 1.0f) {
        EXPECT_LE(d[2], 0.0f);
      }
      const float h = std::sqrt(d[0] * d[0] + d[1] * d[1] + (d[2] + 1) * (d[2] + 1));
      if (h > 1e-3f) {
        EXPECT_NEAR(light.halfVector[2], (d[2] + 1) / h, 1e-5f);
      }

      DrawLightSphere(pixels.data(), tables, light, table, Face);
      EXPECT_EQ(pixels[68 * LightSphereSize + 68], Face);
      if (g < 0.8f) {
        // The centre of the brightest pixels (the table has plateaus).
        uint32_t peak = 0;
        for (uint32_t pixel : pixels) peak = std::max(peak, Red(pixel));
        double sumX = 0, sumY = 0, count = 0;
        for (int32_t i = 0; i < LightSphereSize * LightSphereSize; ++i) {
          if (Red(pixels[i]) != peak) continue;
          sumX += i % LightSphereSize + 0.5;
          sumY += i / LightSphereSize + 0.5;
          ++count;
        }
        EXPECT_NEAR(sumX / count, x, 2.0) << x << "," << y;
        EXPECT_NEAR(sumY / count, y, 2.0) << x << "," << y;
      } else if (g > 1.2f) {
        EXPECT_EQ(pixels[SphereCentre * LightSphereSize + SphereCentre], 0u) << "lit from behind";
      }
    }
  }
}

// The reflection sphere shows a left-to-right ramp image the way the renderer
// looks it up: along the middle row the value follows the normal's x.
TEST(ReflectionSphere, ShowsTheImageAtEachNormal) {
  const SphereTables tables = Tables();
  std::vector<uint32_t> pixels(SphereDiameter * SphereDiameter);
  DrawReflectionSphere(pixels.data(), tables, nullptr, Face);
  EXPECT_EQ(pixels[SphereCentre * SphereDiameter + SphereCentre], 0u);
  EXPECT_EQ(pixels[0], Face);

  std::vector<uint8_t> plane(64 * 4);
  for (int32_t i = 0; i < 64 * 4; ++i) plane[i] = uint8_t((i % 64) * 4);
  MapImage image{};
  image.data = plane.data();
  image.width = 64;
  image.height = 4;
  DrawReflectionSphere(pixels.data(), tables, &image, Face);
  for (int32_t px = 2; px < SphereDiameter - 2; ++px) {
    const uint32_t pixel = pixels[SphereCentre * SphereDiameter + px];
    const double nx = (px + 0.5 - SphereCentre) / 32.0;
    EXPECT_NEAR(double(Red(pixel)), (nx + 1) / 2 * 64 * 4, 4.0) << px;
    EXPECT_EQ(Red(pixel), pixel & 0xFF) << "grey image gives grey";
  }
}

// A press above the page chooses the tab whose span holds it; below the tab
// row or left of the first tab it chooses none.
TEST(ElementTabs, PressesChooseTheTabUnderThem) {
  const int32_t widths[TabCount] = {25, 55, 60};
  TabLayout layout;
  LayOutTabs(&layout, widths);
  EXPECT_EQ(layout.left[0], FirstTabX);
  for (int32_t i = 0; i < TabCount; ++i) EXPECT_EQ(layout.right[i] - layout.left[i], widths[i] + TabPadding);
  for (int32_t x = 0; x < 300; ++x) {
    const int32_t tab = TabAt(layout, x, 5);
    if (tab < 0) {
      EXPECT_TRUE(x < FirstTabX || x >= layout.right[TabCount - 1]) << x;
    } else {
      EXPECT_TRUE(x >= layout.left[tab] && x < layout.right[tab]) << x;
    }
    EXPECT_EQ(TabAt(layout, x, TabStripHeight), -1);
  }
}
