#include "geometry/WideArithmetic.h"

namespace {
constexpr uint64_t Low32 = 0xFFFFFFFFu;

uint64_t Magnitude(int64_t v) { return v < 0 ? 0 - uint64_t(v) : uint64_t(v); }

// Quotient and remainder of n / d for a 128-bit n whose quotient fits in 64
// bits (n.hi < d) and 0 < d < 2^63.
void Divide128(Unsigned128 n, uint64_t d, uint64_t* quotient, uint64_t* remainder) {
  uint64_t rem = n.hi;
  uint64_t q = 0;
  for (int bit = 63; bit >= 0; --bit) {
    rem = (rem << 1) | ((n.lo >> bit) & 1u);
    q <<= 1;
    if (rem >= d) {
      rem -= d;
      q |= 1u;
    }
  }
  *quotient = q;
  *remainder = rem;
}
}  // namespace

Unsigned128 Multiply64(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & Low32, a1 = a >> 32;
  const uint64_t b0 = b & Low32, b1 = b >> 32;
  const uint64_t p00 = a0 * b0;
  const uint64_t p01 = a0 * b1;
  const uint64_t p10 = a1 * b0;
  const uint64_t p11 = a1 * b1;
  const uint64_t middle = (p00 >> 32) + (p01 & Low32) + (p10 & Low32);
  Unsigned128 r;
  r.lo = (middle << 32) | (p00 & Low32);
  r.hi = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
  return r;
}

int Compare128(Unsigned128 a, Unsigned128 b) {
  if (a.hi != b.hi) return a.hi < b.hi ? -1 : 1;
  if (a.lo != b.lo) return a.lo < b.lo ? -1 : 1;
  return 0;
}

int CompareFractions(int64_t p, int64_t q, int64_t r, int64_t u) {
  const int signP = p < 0 ? -1 : (p > 0 ? 1 : 0);
  const int signR = r < 0 ? -1 : (r > 0 ? 1 : 0);
  if (signP != signR) return signP < signR ? -1 : 1;
  if (signP == 0) return 0;
  if (q == u) return p < r ? -1 : (p > r ? 1 : 0);
  const int magnitudeOrder = Compare128(Multiply64(Magnitude(p), uint64_t(u)), Multiply64(Magnitude(r), uint64_t(q)));
  return signP > 0 ? magnitudeOrder : -magnitudeOrder;
}

int64_t ScaleRounded(int64_t delta, int64_t n, int64_t d) {
  uint64_t quotient = 0;
  uint64_t remainder = 0;
  Divide128(Multiply64(Magnitude(delta), uint64_t(n)), uint64_t(d), &quotient, &remainder);
  if (remainder >= uint64_t(d) - remainder) ++quotient;
  return delta < 0 ? -int64_t(quotient) : int64_t(quotient);
}
