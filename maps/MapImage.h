// Map images: the 8-bit pictures that map layers and the reflection read,
// loaded from TIFF files or taken from the document ("Background"), and the
// run's image cache that shares one loaded image between every user.
//
// The cache owns its images; map layers and the style's reflection image hold
// plain pointers into it (maps/ImageCache.h); TIFF files are read by
// maps/TiffReader.h. All image memory comes from the work memory
// (NewBlock), so the host's Buffer suite accounts for it.
#pragma once
#include <cstdint>

// MapImage flags.
constexpr uint8_t ImageRgb = 0x01;     // three color planes (else one gray plane)
constexpr uint8_t ImageAlpha = 0x02;   // an alpha plane follows the color planes
constexpr uint8_t ImageHasMax = 0x04;  // maxPlane is valid
constexpr uint8_t ImageGray = 0x08;    // every pixel of the file had red = green = blue

// Capacity of a MapImage name, terminator included: paths up to 266 bytes.
constexpr uint32_t MapImageNameCapacity = 267;
// The name of the image built from the document's own pixels.
#define BackgroundImageName "Background"

struct MapImage {
  uint8_t* data;      // width × height × plane count bytes: planes top row first, colors then alpha
  uint8_t* maxPlane;  // per pixel max(red, green, blue); for a gray image the gray plane itself; null until made
  MapImage* next;     // next image of the cache
  uint16_t width, height;
  uint8_t flags;                      // Image* bits above
  char name[MapImageNameCapacity];   // the path it was loaded from, or "Background"
};

// 1, 2, 3 or 4 planes.
inline uint32_t ImagePlaneCount(const MapImage& image) {
  return 1u + ((image.flags & ImageRgb) ? 2u : 0u) + ((image.flags & ImageAlpha) ? 1u : 0u);
}
inline uint32_t ImagePlaneSize(const MapImage& image) { return uint32_t(image.width) * image.height; }
// The alpha plane, or null without one.
inline const uint8_t* ImageAlphaPlane(const MapImage& image) {
  if (!(image.flags & ImageAlpha)) return nullptr;
  return image.data + ImagePlaneSize(image) * ((image.flags & ImageRgb) ? 3u : 1u);
}
