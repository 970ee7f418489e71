// The reflection control: the reflection image as the renderer mirrors it on
// a sphere, so the user sees what a surface of every tilt reflects.
#pragma once
#include <cstdint>

#include "maps/MapImage.h"
#include "ui/SphereTables.h"

// A SphereDiameter² picture of 0x00RRGGBB words, top-down: each sphere pixel
// takes the renderer's reflection lookup at its normal; without an image the
// sphere is black. The rim is edged into `face`.
void DrawReflectionSphere(uint32_t* pixels, const SphereTables& tables, const MapImage* image, uint32_t face);
