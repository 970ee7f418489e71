// Reading TIFF files into map images through libtiff.
#pragma once
#include <cstdint>

#include "maps/MapImage.h"

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
