// The run's image cache: one loaded image shared by every map layer and the
// reflection that name the same file.
#pragma once
#include <cstdint>

#include "maps/MapImage.h"

struct MapLayer;

// The image cache of the current run: RunGlobals::imageCache heads it.
//
// 1 when two image names (paths) are equal without regard to the letter case
// of A-Z, as the file systems images come from compare them.
int32_t SameNameIgnoringCase(const char* a, const char* b);

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
void PruneImageCache(MapImage** cache, const MapLayer* layers, const MapImage* reflection);
