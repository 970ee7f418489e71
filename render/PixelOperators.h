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

// A color channel of a layer whose transparency t is targeted: composites the
// two and unpremultiplies by the new coverage. Where the render pixel is clear
// the document keeps its value: the truncating divisions would otherwise
// darken untouched layer pixels by a level on every run.
inline uint8_t OverTransparent(uint32_t d, uint32_t a, uint32_t s, uint32_t t) {
  const uint32_t combined = a + DivideBy255(t * (255 - a));
  if (a == 0 || combined == 0) return uint8_t(d);
  const uint32_t v = (s + DivideBy255(DivideBy255(d * t) * (255 - a))) * 255 / combined;
  return uint8_t(v > 255 ? 255 : v);
}

// Transparency, alpha channels and the layer mask: they take the render alpha only.
inline uint8_t OverAlpha(uint32_t d, uint32_t a) { return uint8_t(a + DivideBy255(d * (255 - a))); }
