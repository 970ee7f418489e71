// A stand-in image loader for readers that need the names a style refers to
// but not the pictures (the command-line tool, tests, fuzz targets): every
// image is an empty 1 x 1 gray record carrying its path.
#pragma once
#include <cstdint>

struct MapImage;

// StyleIo::loadImage over a cache whose head is `*static_cast<MapImage**>(cache)`:
// the cached record of that name, else a new one appended. Null when out of
// memory (MemFullErr). FreeImages releases the cache.
MapImage* LoadNameOnlyImage(void* cache, const char* path, int32_t wantMax);
