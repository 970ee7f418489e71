// Single-precision scale factors of the shading arithmetic, fixed by bit
// pattern so that every build (native, i686 with SSE math, x86_64) uses the
// same value and rounds alike.
#pragma once
#include <bit>
#include <cstdint>

// The float nearest to 1/255 (0.003921569): a byte -> 0..1.
inline constexpr float OneOver255 = std::bit_cast<float>(uint32_t(0x3B808081));
// The float nearest to 1/65025 = 1/255^2 (1.5378700e-05): a product of two bytes -> 0..1.
inline constexpr float OneOver65025 = std::bit_cast<float>(uint32_t(0x37810182));
