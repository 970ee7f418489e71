// The host's colour picker (the filter record's Color Services), as the
// dialog's colour swatches use it.
#pragma once
#include <cstdint>

// Lets the user choose a colour starting from rgb (red, green, blue). Returns
// 1 with the choice in rgb; 0 when the user cancelled or the host has no
// picker (rgb unchanged).
int32_t PickHostColor(uint8_t rgb[3]);
