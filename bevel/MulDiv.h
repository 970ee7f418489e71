// Exact multiply-divide: number * numerator / denominator with a 64-bit
// product and the quotient rounded to the nearest integer, halves away from
// zero. Like the Windows function of the same name it returns -1 when the
// denominator is 0 or the result does not fit 32 bits. Portable, so the band
// sweep needs no platform layer.
#pragma once
#include <cstdint>

inline int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator) {
  if (denominator == 0) return -1;
  int64_t product = int64_t(number) * numerator;
  int64_t divisor = denominator;
  if (divisor < 0) {
    divisor = -divisor;
    product = -product;
  }
  int64_t half = divisor / 2;
  int64_t quotient = product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int32_t>(quotient);
}
