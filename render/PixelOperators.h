// The three ways a premultiplied render pixel (alpha a, color s) goes over a
// document byte d. Every division by 255 truncates; every result is a byte.
// For render pixels (s <= a) no result exceeds 255; the clamps only keep a
// malformed buffer from wrapping around.
#pragma once
#include <cstdint>

// x / 255 truncated, for 0 <= x <= 65534 (every product of two bytes): the
// same quotient with shifts and adds only, which the compiler can vectorise.
inline uint32_t DivideBy255(uint32_t x) { return (x + 1 + (x >> 8)) >> 8; }

// A color channel of a layer without targeted transparency (or a flat image).
inline uint8_t OverOpaque(uint32_t d, uint32_t a, uint32_t s) {
  const uint32_t v = DivideBy255(d * (255 - a)) + s;
  return uint8_t(v > 255 ? 255 : v);
}

// n / c truncated for 1 <= c <= 255 and n < 2^17 (every numerator of the
// unpremultiplying below), by a multiplication: with m = ceil(2^25 / c) the
// product n * m / 2^25 lies within n * c / 2^25 < 1 / c of n / c above it,
// which never reaches the next integer. A per-pixel division is the slowest
// step of compositing over a layer.
struct CoverageReciprocals {
  uint32_t m[256];
  constexpr CoverageReciprocals() : m{} {
    for (uint32_t c = 1; c < 256; ++c) m[c] = uint32_t(((uint64_t(1) << 25) + c - 1) / c);
  }
};
inline constexpr CoverageReciprocals kCoverageReciprocals{};
inline uint32_t DivideByCoverage(uint32_t n, uint32_t c) {
  return uint32_t((uint64_t(n) * kCoverageReciprocals.m[c]) >> 25);
}

// A color channel of a layer whose transparency t is targeted: composites the
// two and unpremultiplies by the new coverage. Where the render pixel is clear
// the document keeps its value: the truncating divisions would otherwise
// darken untouched layer pixels by a level on every run.
inline uint8_t OverTransparent(uint32_t d, uint32_t a, uint32_t s, uint32_t t) {
  const uint32_t combined = a + DivideBy255(t * (255 - a));
  if (a == 0 || combined == 0) return uint8_t(d);
  const uint32_t v = DivideByCoverage((s + DivideBy255(DivideBy255(d * t) * (255 - a))) * 255, combined);
  return uint8_t(v > 255 ? 255 : v);
}

// Transparency, alpha channels and the layer mask: they take the render alpha only.
inline uint8_t OverAlpha(uint32_t d, uint32_t a) { return uint8_t(a + DivideBy255(d * (255 - a))); }
