// The highlight power h^e of the lighting model's specular term, in single
// precision for its whole exponents (e = shininess + 1, 1..256), equal bit for bit to
// float(std::pow(double(h), e)) but without the library call on almost every
// input.
//
// Why it is exact: h^e by repeated squaring takes at most 16 double
// multiplications, so its relative error is below (e - 1) x 2^-53 < 2^-45,
// and a correctly working pow is within 2^-52 of the true value. Both
// therefore round to the same float unless the true value lies within
// 2^-44 (relative) of a point halfway between two floats; near such a point
// the library's own pow decides.
#pragma once
#include <bit>
#include <cmath>
#include <cstdint>

// Largest exponent the squaring path takes; larger ones go to std::pow.
constexpr int32_t MaxSquaringExponent = 256;

namespace highlight_detail {
// Whether h^exponent takes the squaring path: a whole exponent 1..256 and 0 < h <= 1.25 (a dot
// product of unit vectors), where h^256 stays a finite float.
inline bool SquaringExponent(double exponent) {
  const int32_t e = int32_t(exponent);
  return double(e) == exponent && e >= 1 && e <= MaxSquaringExponent;
}
inline bool SquaringBase(double h) { return h > 0.0 && h <= 1.25; }

// The float of `result`, h^e by repeated squaring, or the library's where
// the squaring's error could round it otherwise.
inline float FinishPower(double result, double h, double exponent) {
  // A result below 2^-160 means a true value below half the smallest float
  // (rounded to 0): either the error bound holds, or a step left the normal
  // double range, and every step's true value, being at least h^e for h <= 1,
  // was then below 2^-1000 too.
  constexpr double Tiny = 0x1p-160;
  constexpr double Tolerance = 0x1p-44;  // relative; above both errors
  if (result < Tiny) return 0.0f;
  // result <= 1.25^256 < 2^128: f is finite and not negative, so its neighbours are a bit pattern away.
  const float f = float(result);
  const uint32_t bits = std::bit_cast<uint32_t>(f);
  const double here = double(f);
  const double above = double(std::bit_cast<float>(bits + 1));
  const double below = bits == 0 ? 0.0 : double(std::bit_cast<float>(bits - 1));
  const double midAbove = (here + above) * 0.5, midBelow = (here + below) * 0.5;  // exact in double
  const double window = result * Tolerance;
  if (std::fabs(result - midAbove) <= window || std::fabs(result - midBelow) <= window)
    return float(std::pow(h, exponent));
  return f;
}
}  // namespace highlight_detail

// h^e as float; `exponent` holds e as a double.
inline float HighlightPower(double h, double exponent) {
  using namespace highlight_detail;
  if (!SquaringExponent(exponent) || !SquaringBase(h)) return float(std::pow(h, exponent));
  double result = 1.0, base = h;
  for (int32_t rest = int32_t(exponent);; rest >>= 1) {
    if ((rest & 1) != 0) result *= base;
    if (rest <= 1) break;
    base *= base;
  }
  return FinishPower(result, h, exponent);
}

// HighlightPower(h[k], exponent) for the Count bases of one normal's lights
// (bases not above 0 give 0): the squaring steps of all bases run side by
// side, each as HighlightPower runs them, so that their latencies overlap.
template <int Count>
inline void HighlightPowers(const float h[Count], double exponent, float out[Count]) {
  using namespace highlight_detail;
  if (!SquaringExponent(exponent)) {
    for (int k = 0; k < Count; ++k) out[k] = h[k] > 0.0f ? float(std::pow(double(h[k]), exponent)) : 0.0f;
    return;
  }
  double result[Count], base[Count];
  for (int k = 0; k < Count; ++k) {
    result[k] = 1.0;
    base[k] = SquaringBase(double(h[k])) ? double(h[k]) : 1.0;
  }
  for (int32_t rest = int32_t(exponent);; rest >>= 1) {
    if ((rest & 1) != 0)
      for (int k = 0; k < Count; ++k) result[k] *= base[k];
    if (rest <= 1) break;
    for (int k = 0; k < Count; ++k) base[k] *= base[k];
  }
  for (int k = 0; k < Count; ++k) {
    const double hk = double(h[k]);
    out[k] = !(hk > 0.0)           ? 0.0f
             : SquaringBase(hk) ? FinishPower(result[k], hk, exponent)
                                : float(std::pow(hk, exponent));
  }
}
