// The light control: a sphere lit by one light of the style in that light's
// colour, the colour swatch in its corner, and where a mouse point puts the light.
//
// Pixels are 0x00RRGGBB words of a top-down 32-bit picture, LightSphereSize
// pixels square; the sphere fills its top-left SphereDiameter square.
#pragma once
#include <cstdint>

#include "style/StyleRecord.h"
#include "ui/SphereTables.h"

constexpr int32_t LightSphereSize = 69;    // pixels per side of the control and its picture
constexpr int32_t LightSwatchOrigin = 54;  // the swatch covers (54, 54) to the bottom-right corner
constexpr int32_t LightGripCentre = 32;    // mouse coordinates are taken from (32, 32)
constexpr int32_t LightGripRadius = 32;    // a press farther from the centre is ignored

// Shades of the light's colour by intensity 0..255 (red, green, blue): a
// squared ramp with a white highlight added above 200.
struct LightColourTable {
  uint8_t rgb[256][3];
};

void BuildLightColourTable(LightColourTable* table, const LightSetting& light);

// The whole picture: the sphere lit from `light`'s direction, edged into
// `face`, and face colour around it. `pixels` holds LightSphereSize² words.
void DrawLightSphere(uint32_t* pixels, const SphereTables& tables, const LightSetting& light,
                     const LightColourTable& table, uint32_t face);

// 1 when (x, y) lies in the colour swatch.
int32_t InLightSwatch(int32_t x, int32_t y);
// 1 when a press at (x, y) grabs the light (within LightGripRadius of the centre).
int32_t GrabsLight(int32_t x, int32_t y);

// Puts the light where the mouse at (x, y) shows it: inside the unit circle on
// the front of the sphere, in the ring out to twice the radius mirrored onto
// the back. Returns 1 when the direction (and its half vector) changed, 0 for
// a point beyond the ring, which leaves the light as it was.
int32_t PlaceLight(LightSetting* light, int32_t x, int32_t y);
