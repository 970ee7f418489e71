// Map images: the 8-bit pictures that map layers and the reflection read,
// loaded from TIFF files or taken from the document ("Background"), and the
// run's image cache that shares one loaded image between every user.
//
// The cache owns its images; map layers and the style's reflection image hold
// plain pointers into it. All image memory comes from the work memory
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

// The image cache of the current run: RunGlobals::imageCache heads it.
//
// LoadImage: the cached image named `path` (letter case ignored), else the
// TIFF file read into a new image appended to the cache. With `wantMax` the
// image has its maximum plane. Returns null when the file cannot be read (the
// "Could not read %s!" message has been shown; the result cell is not
// touched, so a missing image never fails the run) or memory runs out
// (MemFullErr in the result cell, no message). With the result cell already
// set it does nothing and returns null.
MapImage* LoadImage(MapImage** cache, const char* path, int32_t wantMax);
// Makes `image`'s maximum plane when it has none: 1, or 0 when out of memory.
int32_t MakeMaxPlane(MapImage* image);
// Frees `image` and every image chained after it, with their planes.
void FreeImages(MapImage* image);
// The cached image named `name` (letter case ignored), or null.
MapImage* FindCachedImage(MapImage* cache, const char* name);
// Unlinks and frees every cached image that no layer of `layers` and not
// `reflection` refers to.
struct MapLayer;
void PruneImageCache(MapImage** cache, const MapLayer* layers, const MapImage* reflection);

// Why a TIFF could not become an image.
enum TiffReadStatus : int32_t {
  TiffReadOk = 0,        // the image was read
  TiffUnreadable = 1,    // not a TIFF libtiff can decode, damaged, or a size outside 1..65535
  TiffOutOfMemory = 2    // an allocation failed (MemFullErr is in the result cell)
};
// Reads the first picture of a TIFF file, or of `size` bytes in memory, into
// a new image record (not in any cache; named `path`, unnamed from memory);
// *image is null unless the status is TiffReadOk. Any error libtiff
// reports while opening or decoding makes the file unreadable: a picture with
// damaged strips is refused rather than shown half-empty. Both readers show
// nothing; the caller owns the image (FreeImages).
TiffReadStatus ReadTiffMapImage(const char* path, int32_t wantMax, MapImage** image);
TiffReadStatus ReadTiffMapImageBytes(const uint8_t* bytes, uint32_t size, int32_t wantMax, MapImage** image);
