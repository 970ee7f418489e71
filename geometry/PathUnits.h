// Path units: the coordinates of the host's path records and of contours and
// outline nodes before conversion to pixels. A coordinate is an 8.24
// fixed-point fraction of the document's width (x) or height (y), y down:
// 1 << 24 is the whole width or height.
#pragma once
#include <cstdint>

constexpr int32_t PathFractionBits = 24;
// One path unit as a fraction of the document's width or height (2^-24).
constexpr double PathUnitScale = 1.0 / double(int64_t(1) << PathFractionBits);
