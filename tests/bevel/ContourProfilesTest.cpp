#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "bevel/ContourProfiles.h"

namespace {

constexpr int16_t TestKey = 77;

struct Contour {
  ContourTable table;
  FacetKeyTable keys;
};

Contour Build(int profile, uint16_t depth, uint16_t flips = 0) {
  Contour contour;
  BuildContour(contour.table, contour.keys, uint16_t(profile | flips), depth, TestKey);
  return contour;
}

bool SameEntry(const ContourNormal& a, const ContourNormal& b) {
  return a.radial == b.radial && a.vertical == b.vertical;
}

constexpr uint16_t SampleDepths[] = {0, 1, 7, 50, 100, 333, 1000};

TEST(ContourProfiles, EveryEntryIsAnUpwardUnitNormal) {
  for (int profile = 0; profile < ContourProfileCount; ++profile)
    for (uint16_t depth : SampleDepths)
      for (uint16_t flips : {uint16_t(0), FlipHorizontalFlag, FlipVerticalFlag, uint16_t(0x0C00)}) {
        const Contour c = Build(profile, depth, flips);
        for (int i = 0; i < ContourTableSize; ++i) {
          const ContourNormal& e = c.table.entry[i];
          ASSERT_TRUE(std::isfinite(e.radial) && std::isfinite(e.vertical)) << profile << " " << i;
          ASSERT_GE(e.vertical, 0.0f) << profile << " depth " << depth << " entry " << i;
          ASSERT_NEAR(double(e.radial) * e.radial + double(e.vertical) * e.vertical, 1.0, 1e-6)
              << profile << " depth " << depth << " entry " << i;
          ASSERT_TRUE(c.keys.key[i] == 0 || c.keys.key[i] == TestKey);
        }
      }
}

TEST(ContourProfiles, DepthZeroIsFlatEverywhere) {
  for (int profile = 0; profile < ContourProfileCount; ++profile) {
    const Contour c = Build(profile, 0);
    for (int i = 0; i < ContourTableSize; ++i) {
      ASSERT_EQ(c.table.entry[i].radial, 0.0f) << profile << " " << i;
      ASSERT_EQ(c.table.entry[i].vertical, 1.0f) << profile << " " << i;
    }
  }
}

TEST(ContourProfiles, ProfileZeroIsAConstantSlopeOfDepthPercent) {
  const float half = float(std::sqrt(0.5));
  const Contour c = Build(0, 100);
  for (int i = 0; i < ContourTableSize; ++i) {
    EXPECT_NEAR(c.table.entry[i].radial, half, 1e-7);
    EXPECT_NEAR(c.table.entry[i].vertical, half, 1e-7);
    EXPECT_NEAR(std::atan2(c.table.entry[i].radial, c.table.entry[i].vertical), std::numbers::pi / 4, 1e-6);
    EXPECT_EQ(c.keys.key[i], 0);
  }
  // The tilt grows with the depth: the slope rise/run is depth/100.
  for (uint16_t depth : {uint16_t(1), uint16_t(40), uint16_t(250), uint16_t(1000)}) {
    const Contour d = Build(0, depth);
    for (int i = 0; i < ContourTableSize; ++i) {
      ASSERT_GT(d.table.entry[i].radial, 0.0f);
      ASSERT_NEAR(d.table.entry[i].radial / d.table.entry[i].vertical, depth / 100.0, 1e-5 * depth);
    }
  }
}

TEST(ContourProfiles, EitherFlipOfProfileZeroTiltsTheOtherWay) {
  const float half = float(std::sqrt(0.5));
  for (uint16_t flip : {FlipHorizontalFlag, FlipVerticalFlag}) {
    const Contour c = Build(0, 100, flip);
    for (int i = 0; i < ContourTableSize; ++i) {
      EXPECT_NEAR(c.table.entry[i].radial, -half, 1e-7);
      EXPECT_NEAR(c.table.entry[i].vertical, half, 1e-7);
    }
  }
  const Contour both = Build(0, 100, FlipHorizontalFlag | FlipVerticalFlag);
  for (int i = 0; i < ContourTableSize; ++i) EXPECT_NEAR(both.table.entry[i].radial, half, 1e-7);
}

TEST(ContourProfiles, FlipsMirrorAndInvertEveryProfile) {
  for (int profile = 0; profile < ContourProfileCount; ++profile) {
    const Contour plain = Build(profile, 180);
    const Contour h = Build(profile, 180, FlipHorizontalFlag);
    const Contour v = Build(profile, 180, FlipVerticalFlag);
    const Contour hv = Build(profile, 180, FlipHorizontalFlag | FlipVerticalFlag);
    for (int i = 0; i < ContourTableSize; ++i) {
      const ContourNormal& mirrored = plain.table.entry[ContourTableSize - 1 - i];
      ASSERT_EQ(h.table.entry[i].radial, -mirrored.radial) << profile << " " << i;
      ASSERT_EQ(h.table.entry[i].vertical, mirrored.vertical);
      ASSERT_EQ(h.keys.key[i], plain.keys.key[ContourTableSize - 1 - i]);
      ASSERT_EQ(v.table.entry[i].radial, -plain.table.entry[i].radial);
      ASSERT_EQ(v.table.entry[i].vertical, plain.table.entry[i].vertical);
      ASSERT_EQ(v.keys.key[i], plain.keys.key[i]);
      ASSERT_EQ(hv.table.entry[i].radial, mirrored.radial);
      ASSERT_EQ(hv.table.entry[i].vertical, mirrored.vertical);
    }
  }
}

// Quarter ellipse from a vertical wall (e = 1) to flat, as a reference.
ContourNormal FallEntry(int step, int count, double s) {
  const double e = 1.0 - double(step) / count;
  const double x = e * s, y = std::sqrt(1.0 - e * e);
  const double length = std::sqrt(x * x + y * y);
  if (length == 0.0) return ContourNormal{0.0f, 1.0f};
  return ContourNormal{float(x / length), float(y / length)};
}

TEST(ContourProfiles, FallRunsFromAWallToFlat) {
  const Contour c = Build(1, 100);
  EXPECT_EQ(c.table.entry[0].radial, 1.0f);
  EXPECT_EQ(c.table.entry[0].vertical, 0.0f);
  for (int i = 0; i < ContourTableSize; ++i) {
    const ContourNormal expected = FallEntry(i, 256, 1.0);
    ASSERT_NEAR(c.table.entry[i].radial, expected.radial, 2e-6) << i;
    ASSERT_NEAR(c.table.entry[i].vertical, expected.vertical, 2e-6) << i;
    if (i > 0) {
      ASSERT_LT(c.table.entry[i].radial, c.table.entry[i - 1].radial);
    }
  }
  EXPECT_LT(c.table.entry[255].radial, 0.01f);
}

TEST(ContourProfiles, ProfileSevenIsListedUpsideDown) {
  // Its listed steps: a fall over 64..127, mirrored into 0..63, the half
  // repeated over 128..255. Built without Flip Vertical it comes out inverted.
  const double h = 250 * 0.01;
  ContourNormal listed[ContourTableSize];
  for (int i = 64; i < 128; ++i) listed[i] = FallEntry(i - 64, 64, h);
  for (int j = 0; j < 64; ++j) listed[j] = ContourNormal{-listed[127 - j].radial, listed[127 - j].vertical};
  for (int i = 0; i < 128; ++i) listed[128 + i] = listed[i];

  const Contour plain = Build(7, 250);
  const Contour flipped = Build(7, 250, FlipVerticalFlag);
  for (int i = 0; i < ContourTableSize; ++i) {
    ASSERT_NEAR(flipped.table.entry[i].radial, listed[i].radial, 2e-6) << i;
    ASSERT_NEAR(flipped.table.entry[i].vertical, listed[i].vertical, 2e-6) << i;
    ASSERT_EQ(plain.table.entry[i].radial, -flipped.table.entry[i].radial) << i;
    const bool keyed = i < 64 || i >= 192;
    ASSERT_EQ(plain.keys.key[i], keyed ? TestKey : 0) << i;
  }
}

TEST(ContourProfiles, ProfileFortySixRepeatsItsFirstQuarter) {
  const Contour c = Build(46, 300);
  for (int quarter = 1; quarter < 4; ++quarter)
    for (int i = 0; i < 64; ++i) ASSERT_TRUE(SameEntry(c.table.entry[quarter * 64 + i], c.table.entry[i]));
  for (int i = 0; i < ContourTableSize; ++i) {
    const bool keyed = (i >= 64 && i < 128) || i >= 192;
    EXPECT_EQ(c.keys.key[i], keyed ? TestKey : 0) << i;
  }
}

TEST(ContourProfiles, UnknownIndexBuildsProfileZero) {
  const Contour reference = Build(0, 420, FlipHorizontalFlag);
  for (int index : {49, 100, 255}) {
    const Contour c = Build(index, 420, FlipHorizontalFlag);
    for (int i = 0; i < ContourTableSize; ++i) {
      ASSERT_TRUE(SameEntry(c.table.entry[i], reference.table.entry[i])) << index;
      ASSERT_EQ(c.keys.key[i], reference.keys.key[i]);
    }
  }
}

TEST(ContourProfiles, RidgeProfilesFallBackAfterTheirKey) {
  // Profile 2: rises over the first half, falls over the second, and the
  // second facet carries the element key.
  const Contour c = Build(2, 100);
  for (int i = 0; i < 128; ++i) {
    ASSERT_GT(c.table.entry[i].radial, 0.0f);
    ASSERT_EQ(c.keys.key[i], 0);
  }
  for (int i = 128; i < 256; ++i) {
    ASSERT_EQ(c.table.entry[i].radial, -c.table.entry[0].radial);
    ASSERT_EQ(c.keys.key[i], TestKey);
  }
  // Profiles 43 and 44 start their falling slope at entry 31.
  for (int profile : {43, 44}) {
    const Contour r = Build(profile, 100);
    EXPECT_GT(r.table.entry[30].radial, 0.0f);
    EXPECT_LT(r.table.entry[31].radial, 0.0f);
    EXPECT_EQ(r.keys.key[30], 0);
    EXPECT_EQ(r.keys.key[31], TestKey);
    EXPECT_EQ(r.keys.key[63], TestKey);
    EXPECT_EQ(r.keys.key[64], 0);
  }
}

TEST(ContourProfiles, SteepFinalQuarterUsesAThirtyThirdOfTheDepth) {
  const Contour c = Build(47, 100);
  // Entries 192..255 are a fall with s = depth / 33, mirrored.
  for (int i = 192; i < 256; ++i) {
    const ContourNormal fall = FallEntry(255 - i, 64, 100 * 0.030303031);
    ASSERT_NEAR(c.table.entry[i].radial, -fall.radial, 2e-6) << i;
    ASSERT_NEAR(c.table.entry[i].vertical, fall.vertical, 2e-6) << i;
  }
  // The same step with depth / 100 (profile 16) is flatter.
  const Contour shallow = Build(16, 100);
  EXPECT_GT(std::fabs(c.table.entry[230].radial), std::fabs(shallow.table.entry[230].radial));
}

TEST(ContourProfiles, OverwritingSlopesReplaceTheFall) {
  const Contour c = Build(23, 100);  // fall, then a half-rise slope from 75 on
  const float slope = c.table.entry[75].radial;
  for (int i = 75; i < 256; ++i) ASSERT_EQ(c.table.entry[i].radial, slope);
  EXPECT_NEAR(slope, 127.5 / std::sqrt(127.5 * 127.5 * 2), 1e-6);
  EXPECT_EQ(c.table.entry[0].radial, 1.0f);
}

}  // namespace
