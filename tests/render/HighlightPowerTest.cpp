// The specular power against the library's pow, bit for bit, over every
// exponent the lighting model uses and bases from every scale, including
// those whose powers fall exactly between two floats.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "render/HighlightPower.h"

namespace {

std::vector<float> Bases() {
  std::vector<float> bases;
  std::mt19937 random(20261209);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f), log2Scale(-150.0f, 0.0f), nearOne(0.0f, 0.01f);
  for (int i = 0; i < 1500; ++i) {
    bases.push_back(unit(random));
    bases.push_back(std::exp2(log2Scale(random)));
    bases.push_back(1.0f - nearOne(random));
  }
  // Powers of these land on or next to a point halfway between two floats.
  for (int k = 1; k <= 24; ++k) {
    bases.push_back(1.0f - std::ldexp(1.0f, -k));
    bases.push_back(1.0f + std::ldexp(1.0f, -k));
    bases.push_back(std::ldexp(1.0f, -k) * 3.0f);
  }
  bases.push_back(std::nextafter(0.0f, 1.0f));
  bases.push_back(1.0f);
  bases.push_back(1.25f);
  bases.push_back(std::nextafter(1.25f, 2.0f));
  return bases;
}

TEST(HighlightPower, EqualsFloatOfLibraryPowForEveryExponent) {
  const std::vector<float> bases = Bases();
  int64_t mismatches = 0;
  for (int32_t e = 1; e <= MaxSquaringExponent + 2; ++e) {
    for (const float h : bases) {
      const float expected = float(std::pow(double(h), double(e)));
      const float got = HighlightPower(double(h), double(e));
      if (std::bit_cast<uint32_t>(expected) != std::bit_cast<uint32_t>(got) && ++mismatches <= 5)
        ADD_FAILURE() << "h = " << std::hexfloat << h << ", e = " << std::dec << e << ": " << got << " instead of "
                      << expected;
    }
  }
  EXPECT_EQ(mismatches, 0);
  // Exponents that are not whole go to the library.
  EXPECT_EQ(HighlightPower(0.5, 2.5), float(std::pow(0.5, 2.5)));
}

// Three lights' powers at once are each light's power alone, whatever mix
// of bases (not above 0, squaring range, beyond it) the three have.
TEST(HighlightPower, SideBySideEqualsOneAtATime) {
  std::vector<float> bases = Bases();
  bases.insert(bases.end(), {0.0f, -0.5f, 1.5f, std::nanf("")});
  std::mt19937 random(20261209);
  std::uniform_int_distribution<size_t> pick(0, bases.size() - 1);
  int64_t mismatches = 0;
  for (const double e : {1.0, 2.0, 17.0, 128.0, 256.0, 257.0, 2.5}) {
    for (int i = 0; i < 3000; ++i) {
      const float h[3] = {bases[pick(random)], bases[pick(random)], bases[pick(random)]};
      float got[3];
      HighlightPowers<3>(h, e, got);
      for (int k = 0; k < 3; ++k) {
        const float expected = h[k] > 0.0f ? HighlightPower(double(h[k]), e) : 0.0f;
        if (std::bit_cast<uint32_t>(expected) != std::bit_cast<uint32_t>(got[k]) && ++mismatches <= 5)
          ADD_FAILURE() << "h = " << std::hexfloat << h[k] << ", e = " << e << ": " << got[k];
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
