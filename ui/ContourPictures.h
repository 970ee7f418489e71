// The contour pictures: a 32 x 32 monochrome thumbnail of each contour
// profile, drawn from the profile itself, and the flips applied to a picture
// so that it shows the contour as the bevel will render it.
//
// A picture plots the profile's height across the band: distance 0 (the
// offset edge) at the left, the outline at the right, height upwards, ink
// below the curve. Heights are the running sum of the profile's slopes at
// depth 100 %, spread over the picture's rows between a base of two ink rows
// and two paper rows at the top.
#pragma once
#include <cstdint>

constexpr int32_t ContourPictureSize = 32;       // pixels per side
constexpr int32_t ContourPictureRowBytes = 4;    // one bit per pixel, leftmost pixel in the top bit
constexpr int32_t ContourPictureDepth = 100;     // percent: the depth the pictures are drawn at

// Rows top first; a set bit is ink. This is the row layout of a 1-bit DIB.
struct ContourPicture {
  uint8_t bits[ContourPictureSize][ContourPictureRowBytes];
};

inline int32_t ContourInk(const ContourPicture& picture, int32_t x, int32_t y) {
  return (picture.bits[y][x >> 3] >> (7 - (x & 7))) & 1;
}

// The picture of the profile that `bevelFlags` selects (contour index and
// flips), as the renderer builds it.
void DrawContourPicture(ContourPicture* picture, uint16_t bevelFlags);

// The unflipped picture of a contour turned the way the flips of `bevelFlags`
// turn the profile: Flip Horizontal mirrors it left to right, Flip Vertical
// turns it upside down and exchanges ink and paper.
void FlipContourPicture(const ContourPicture& picture, uint16_t bevelFlags, ContourPicture* flipped);
