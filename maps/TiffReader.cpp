// TIFF files into map images through libtiff: libtiff decodes any layout it
// knows (strips or tiles, palette, gray, 16-bit, CMYK, ...) into 8-bit RGBA
// words; this file turns those words into the image's planes.
#include <tiffio.h>

#include <cstring>

#include "core/WorkMemory.h"
#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "maps/TiffReader.h"

namespace {
// The largest single block libtiff may ask for while decoding (a strip or a
// tile and its decoder state); a file that claims more is refused instead of
// letting a few header bytes reserve gigabytes.
constexpr tmsize_t TiffMaxSingleAlloc = tmsize_t(256) << 20;

// Per-open state that libtiff's handlers report into.
struct TiffSession {
  int32_t errors;  // errors libtiff reported; any makes the file unreadable
};

int CountError(TIFF*, void* user, const char*, const char*, va_list) {
  static_cast<TiffSession*>(user)->errors++;
  return 1;  // handled: nothing reaches the process-wide handlers
}
// Warnings (unknown tags, odd but readable values) do not stop a file.
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// A byte range read as a file.
struct MemoryFile {
  const uint8_t* bytes;
  uint64_t size;
  uint64_t position;
};

tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t count) {
  MemoryFile* file = static_cast<MemoryFile*>(handle);
  if (count <= 0 || file->position >= file->size) return 0;
  uint64_t n = uint64_t(count);
  if (n > file->size - file->position) n = file->size - file->position;
  std::memcpy(buffer, file->bytes + file->position, size_t(n));
  file->position += n;
  return tmsize_t(n);
}
tmsize_t MemoryWrite(thandle_t, void*, tmsize_t) { return 0; }
toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
  MemoryFile* file = static_cast<MemoryFile*>(handle);
  uint64_t base = whence == SEEK_CUR ? file->position : (whence == SEEK_END ? file->size : 0);
  const uint64_t target = base + offset;
  if (target < base) return toff_t(-1);  // wrapped
  file->position = target;
  return target;
}
int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->size; }
int MemoryMap(thandle_t, void**, toff_t*) { return 0; }
void MemoryUnmap(thandle_t, void*, toff_t) {}

TIFFOpenOptions* SessionOptions(TiffSession* session) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return nullptr;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, TiffMaxSingleAlloc);
  TIFFOpenOptionsSetErrorHandlerExtR(options, CountError, session);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, session);
  return options;
}

// 1 when every pixel has red = green = blue.
bool AllGray(const uint32_t* raster, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t p = raster[i];
    if (TIFFGetR(p) != TIFFGetG(p) || TIFFGetR(p) != TIFFGetB(p)) return false;
  }
  return true;
}

// The raster holds rows bottom-up; the planes run top-down.
void CopyPlanes(const uint32_t* raster, MapImage* image) {
  const uint32_t width = image->width, height = image->height, planeSize = width * height;
  const bool rgb = (image->flags & ImageRgb) != 0;
  uint8_t* alpha = (image->flags & ImageAlpha) ? image->data + planeSize * (rgb ? 3u : 1u) : nullptr;
  for (uint32_t row = 0; row < height; ++row) {
    const uint32_t* source = raster + (height - 1 - row) * width;
    const uint32_t at = row * width;
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = source[x];
      image->data[at + x] = uint8_t(TIFFGetR(p));
      if (rgb) {
        image->data[planeSize + at + x] = uint8_t(TIFFGetG(p));
        image->data[2 * planeSize + at + x] = uint8_t(TIFFGetB(p));
      }
      if (alpha != nullptr) alpha[at + x] = uint8_t(TIFFGetA(p));
    }
  }
}

// Reads the open file's first picture. The raster comes from the work memory
// like the planes, so the host's Buffer suite carries the whole image.
TiffReadStatus ReadOpenTiff(TIFF* tif, const TiffSession& session, int32_t wantMax, const char* name,
                            MapImage** result) {
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
    return TiffUnreadable;
  // The record keeps 16-bit sizes, and the raster of 32-bit words must fit one block.
  if (width == 0 || height == 0 || width > UINT16_MAX || height > UINT16_MAX) return TiffUnreadable;
  const uint64_t pixels = uint64_t(width) * height;
  if (pixels * sizeof(uint32_t) > UINT32_MAX) return TiffUnreadable;
  if (session.errors != 0) return TiffUnreadable;

  uint32_t* raster = static_cast<uint32_t*>(NewClearedBlock(uint32_t(pixels * sizeof(uint32_t))));
  if (raster == nullptr) return TiffOutOfMemory;
  MapImage* image = static_cast<MapImage*>(NewClearedBlock(sizeof(MapImage)));
  if (image == nullptr) {
    FreeBlockOf(raster);
    return TiffOutOfMemory;
  }
  const int read = TIFFReadRGBAImage(tif, width, height, raster, 0);
  // An allocation of libtiff's that failed in the work memory shows as a read error.
  if (RunFailed()) {
    FreeBlockOf(raster);
    FreeBlockOf(image);
    return TiffOutOfMemory;
  }
  if (!read || session.errors != 0) {
    FreeBlockOf(raster);
    FreeBlockOf(image);
    return TiffUnreadable;
  }
  image->width = uint16_t(width);
  image->height = uint16_t(height);
  const bool gray = AllGray(raster, uint32_t(pixels));
  image->flags = gray ? (ImageHasMax | ImageGray) : ImageRgb;
  if (extraCount != 0) image->flags |= ImageAlpha;
  image->data = static_cast<uint8_t*>(NewBlock(uint32_t(pixels) * ImagePlaneCount(*image)));
  if (image->data == nullptr) {
    FreeBlockOf(raster);
    FreeBlockOf(image);
    return TiffOutOfMemory;
  }
  if (gray) image->maxPlane = image->data;
  CopyPlanes(raster, image);
  FreeBlockOf(raster);
  if (!gray && wantMax && !MakeMaxPlane(image)) {
    FreeImages(image);
    return TiffOutOfMemory;
  }
  if (name != nullptr) {
    std::strncpy(image->name, name, MapImageNameCapacity - 1);
    image->name[MapImageNameCapacity - 1] = 0;
  }
  *result = image;
  return TiffReadOk;
}

// Opens through `open`, reads, closes. A failed open is a memory failure when
// the result cell says so, else an unreadable file.
template <class Open>
TiffReadStatus ReadWith(Open open, int32_t wantMax, const char* name, MapImage** image) {
  *image = nullptr;
  if (RunFailed()) return TiffOutOfMemory;
  TiffSession session{0};
  TIFFOpenOptions* options = SessionOptions(&session);
  if (options == nullptr) return RunFailed() ? TiffOutOfMemory : TiffUnreadable;
  TIFF* tif = open(options);
  TIFFOpenOptionsFree(options);
  if (tif == nullptr) return RunFailed() ? TiffOutOfMemory : TiffUnreadable;
  const TiffReadStatus status = ReadOpenTiff(tif, session, wantMax, name, image);
  TIFFClose(tif);
  return status;
}
}  // namespace

TiffReadStatus ReadTiffMapImage(const char* path, int32_t wantMax, MapImage** image) {
  // A path that does not fit the record's name could not be found again in the cache.
  if (std::strlen(path) >= MapImageNameCapacity) {
    *image = nullptr;
    return TiffUnreadable;
  }
  return ReadWith([&](TIFFOpenOptions* options) { return TIFFOpenExt(path, "r", options); }, wantMax, path, image);
}

TiffReadStatus ReadTiffMapImageBytes(const uint8_t* bytes, uint32_t size, int32_t wantMax, MapImage** image) {
  MemoryFile file{bytes, size, 0};
  return ReadWith(
      [&](TIFFOpenOptions* options) {
        return TIFFClientOpenExt("memory", "rm", &file, MemoryRead, MemoryWrite, MemorySeek, MemoryClose, MemorySize,
                                 MemoryMap, MemoryUnmap, options);
      },
      wantMax, nullptr, image);
}
