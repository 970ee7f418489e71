#include <cstdio>
#include <cstring>

#include "maps/MapImage.h"
#include "platform/FileExists.h"
#include "platform/ModuleInstance.h"
#include "style/StyleIo.h"
#include "maps/ImageCache.h"

namespace {
const char* AfterLastSeparator(const char* path) {
  const char* separator = std::strrchr(path, PathSeparator);
  return separator != nullptr ? separator + 1 : path;
}

}  // namespace

int32_t MapsFolderPath(const StyleIo& io, const char* path, char* out, uint32_t capacity) {
  if (capacity == 0) return 0;
  out[0] = 0;
  if (path[0] == 0) return 1;
  const char* folder = io.mapsFolder != nullptr ? io.mapsFolder : "";
  const int written = std::snprintf(out, capacity, "%s%s", folder, AfterLastSeparator(path));
  if (written < 0 || uint32_t(written) >= capacity) {
    out[0] = 0;
    return 0;
  }
  return 1;
}

void BaseName(const char* path, char* out, uint32_t capacity) {
  if (capacity == 0) return;
  const char* start = AfterLastSeparator(path);
  const char* dot = std::strchr(start, '.');
  size_t length = dot != nullptr ? size_t(dot - start) : std::strlen(start);
  if (length >= capacity) length = capacity - 1;
  std::memcpy(out, start, length);
  out[length] = 0;
}

uint32_t StoredImageName(const StyleIo& io, const char* path, char* out, uint32_t capacity, uint32_t limit) {
  out[0] = 0;
  char moved[2 * MapImageNameCapacity];
  int written = -1;
  if (io.mapsFolder != nullptr && io.mapsFolder[0] != 0 && MapsFolderPath(io, path, moved, sizeof moved) &&
      SameNameIgnoringCase(moved, path)) {
    char base[MapImageNameCapacity];
    BaseName(path, base, sizeof base);
    written = std::snprintf(out, capacity, "%s.tif", base);
  } else {
    written = std::snprintf(out, capacity, "%s", path);
  }
  if (written < 0 || uint32_t(written) >= capacity || uint32_t(written) > limit) {
    out[0] = 0;
    return 0;
  }
  return uint32_t(written);
}

MapImage* LoadNamedImage(const StyleIo& io, const char* name, int32_t wantMax, int32_t* missing) {
  *missing = 0;
  if (name[0] == 0) return nullptr;
  char path[MapImageNameCapacity];
  if (FileExists(name)) {
    std::snprintf(path, sizeof path, "%s", name);
  } else if (!MapsFolderPath(io, name, path, sizeof path) || !FileExists(path)) {
    *missing = 1;
    return nullptr;
  }
  return io.loadImage != nullptr ? io.loadImage(io.context, path, wantMax) : nullptr;
}
