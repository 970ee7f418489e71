// Exact 128-bit helpers for the crossing arithmetic, portable to 32-bit
// targets that have no native 128-bit integer type.
#pragma once
#include <cstdint>

struct Unsigned128 {
  uint64_t hi, lo;
};

// The full product a * b.
Unsigned128 Multiply64(uint64_t a, uint64_t b);

// -1, 0 or 1 as a is less than, equal to or greater than b.
int Compare128(Unsigned128 a, Unsigned128 b);

// Compares the fractions p/q and r/u exactly; q and u must be positive.
// Returns -1, 0 or 1 as p/q is less than, equal to or greater than r/u.
int CompareFractions(int64_t p, int64_t q, int64_t r, int64_t u);

// delta * n / d rounded to the nearest integer, halves away from zero, for
// 0 <= n <= d and 0 < d < 2^63. The result's magnitude is at most |delta|.
int64_t ScaleRounded(int64_t delta, int64_t n, int64_t d);
