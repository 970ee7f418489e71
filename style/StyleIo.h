// What the style readers and writers need from the run around them: where
// images come from, where the Maps folder is, how to tell the user, and where
// the effect frame lies in the document. The frame fills it for a run; tests,
// the fuzz targets and the command-line tool fill it with their own stand-ins.
#pragma once
#include <cstdint>

struct MapImage;

struct StyleIo {
  // Loads the image at `path` into the run's image cache (with its maximum
  // plane when `wantMax`); null when it cannot be read (the loader has said
  // why). The cache owns the image.
  MapImage* (*loadImage)(void* context, const char* path, int32_t wantMax);
  // Shows a user-facing message ("Couldn't find image file ..."); may be null.
  void (*report)(void* context, const char* text);
  void* context;
  // The Maps folder with its trailing separator; "" when the module folder is unknown.
  const char* mapsFolder;
  // Document position of the effect frame's top-left pixel: map layer centres
  // are kept in the effect frame and stored in document pixels.
  int32_t effectLeft, effectTop;
};

// Longest image name a settings file stores (a longer one is stored empty).
constexpr uint32_t MaxStoredNameLength = 255;
// Longest image name kept when read from a scripting descriptor.
constexpr uint32_t MaxKeptNameLength = 266;

// The Maps folder + the part of `path` after its last separator (the whole
// path when it has none; an empty path stays empty), into out (capacity bytes).
// Returns 0 when it does not fit (out is then empty).
int32_t MapsFolderPath(const StyleIo& io, const char* path, char* out, uint32_t capacity);
// The part of `path` after its last separator, up to its first dot, into out.
void BaseName(const char* path, char* out, uint32_t capacity);
// The name stored for an image loaded from `path`: its base name + ".tif" when
// it lies in the Maps folder (letter case ignored), else the path itself.
// Returns the stored length, or 0 when the name would be longer than `limit`
// (the caller then stores no name rather than one a reader cannot skip).
uint32_t StoredImageName(const StyleIo& io, const char* path, char* out, uint32_t capacity, uint32_t limit);
// Finds the image a stored `name` means (as given, else in the Maps folder)
// and loads it. Returns the image, or null: *missing is set when no file
// exists under either name (the caller decides whether to say so).
MapImage* LoadNamedImage(const StyleIo& io, const char* name, int32_t wantMax, int32_t* missing);
