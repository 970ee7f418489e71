// The sphere that the light and reflection controls draw: one quadrant of
// surface normals and edge coverage, mirrored into a 63 x 63 picture.
//
// Picture columns 0..30 lie left of the centre line and 31..62 right of it
// (rows likewise, y downwards): pixel 31 + c and pixel 30 - c use quadrant
// column c with the sign of x flipped for the left half.
#pragma once
#include <cstdint>

constexpr int32_t SphereQuadrant = 32;    // cells per side of the quadrant
constexpr int32_t SphereDiameter = 63;    // picture pixels per side
constexpr int32_t SphereCentre = 31;      // first pixel right of (below) the centre line
constexpr int32_t SphereRimRadius = 31;   // corners within this distance are fully covered

struct SphereTables {
  // Normal of cell (row, column): x = (column + 0.5) / 32, y = (row + 0.5) / 32,
  // z = sqrt(1 - x² - y²), or -1 when the cell centre lies outside the sphere.
  float x[SphereQuadrant];
  float y[SphereQuadrant];
  float z[SphereQuadrant][SphereQuadrant];
  // Share of the cell inside the rim, 0..255: the mean of its four corners.
  uint8_t coverage[SphereQuadrant][SphereQuadrant];
};

void BuildSphereTables(SphereTables* tables);

// The unit normal at picture pixel (px, py), 0..62 each, x right, y down, z
// towards the viewer, and the pixel's edge coverage 0..255. Returns 1 when the
// pixel centre lies on the sphere, 0 when outside (normal then undefined).
int32_t SphereNormalAt(const SphereTables& tables, int32_t px, int32_t py, float normal[3], int32_t* coverage);

// A face-coloured pixel where the sphere's edge covers `coverage` of it
// (0..255); colours are 0x00RRGGBB words, as in a 32-bit DIB.
uint32_t BlendSphereEdge(uint32_t colour, uint32_t face, int32_t coverage);
