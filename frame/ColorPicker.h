// The host's colour picker (the filter record's colour services), for the
// dialog's colour swatches and light colours.
#pragma once
#include <cstdint>

// Lets the user choose a colour starting from rgb (red, green, blue bytes).
// Returns 1 with the choice written into rgb, or 0 when the user cancelled or
// the host has no picker (rgb unchanged; nothing goes into the result cell).
int32_t PickHostColor(uint8_t rgb[3]);
