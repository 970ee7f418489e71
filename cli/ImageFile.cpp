#include "cli/ImageFile.h"

#include <png.h>
#include <tiffio.h>

#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Largest sample buffer an image may need; keeps broken headers from
// asking for absurd amounts of memory.
constexpr uint64_t MaxImageBytes = uint64_t{1} << 30;
constexpr size_t PngSignatureBytes = 8;
constexpr size_t ErrorTextSize = 256;

bool ShapeAllowed(uint64_t width, uint64_t height, uint64_t bytesPerPixel) {
  return width >= 1 && height >= 1 && width <= static_cast<uint64_t>(MaxImageSide) &&
         height <= static_cast<uint64_t>(MaxImageSide) && width * height * bytesPerPixel <= MaxImageBytes;
}

std::string ShapeMessage(uint64_t width, uint64_t height) {
  return "the image size " + std::to_string(width) + " x " + std::to_string(height) +
         " is not supported (sides 1 to " + std::to_string(MaxImageSide) + " pixels, at most " +
         std::to_string(MaxImageBytes >> 20) + " MB of samples)";
}

// ---- PNG -------------------------------------------------------------------
// libpng reports errors by longjmp. The functions that call into it keep no
// objects with destructors in their own frames and reach everything else
// through a job record, so leaving them by longjmp skips no clean-up.

struct PngErrorText {
  char text[ErrorTextSize];
};

[[noreturn]] void PngError(png_structp png, png_const_charp message) {
  auto* errorText = static_cast<PngErrorText*>(png_get_error_ptr(png));
  std::snprintf(errorText->text, sizeof errorText->text, "%s", message);
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

struct PngReadJob {
  FILE* file;
  RasterImage* image;
  PngErrorText error;
  bool shapeRejected;
  png_uint_32 width, height;
};

bool RunPngRead(PngReadJob* job) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job->error, PngError, PngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, job->file);
  png_set_sig_bytes(png, PngSignatureBytes);
  png_set_user_limits(png, MaxImageSide, MaxImageSide);
  png_read_info(png, info);
  png_set_expand(png);  // palette -> RGB, gray below 8 bits -> 8, transparency chunk -> alpha
  if (png_get_bit_depth(png, info) == 16) png_set_scale_16(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  const int channels = png_get_channels(png, info);
  job->width = width;
  job->height = height;
  if (!ShapeAllowed(width, height, static_cast<uint64_t>(channels)) || channels < 1 || channels > 4 ||
      png_get_bit_depth(png, info) != 8) {
    job->shapeRejected = true;
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  RasterImage& image = *job->image;
  image.width = static_cast<int32_t>(width);
  image.height = static_cast<int32_t>(height);
  image.colorChannels = channels <= 2 ? 1 : 3;
  image.hasAlpha = channels == 2 || channels == 4;
  image.samples.assign(image.RowBytes() * height, 0);
  // Every pass of an interlaced image refines the rows already read.
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y)
      png_read_row(png, image.samples.data() + image.RowBytes() * y, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// What a PNG write takes: the picture's shape and a source of its
// interleaved rows (row(context, y) is valid until the next call).
struct PngWriteJob {
  FILE* file;
  int32_t width, height, colorChannels;
  bool hasAlpha;
  const uint8_t* (*row)(void* context, int32_t y);
  void* rowContext;
  int32_t compression;  // zlib level, 0..9
  PngErrorText error;
};

bool RunPngWrite(PngWriteJob* job) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job->error, PngError, PngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, job->file);
  const int colorType = job->colorChannels == 1 ? (job->hasAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                                                : (job->hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(job->width), static_cast<png_uint_32>(job->height), 8, colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Fast levels use one filter for every row: trying all five per row (the
  // library's default) costs more than the compression it buys there. The
  // smaller-file levels let the library choose per row.
  png_set_compression_level(png, job->compression);
  if (job->compression <= FastPngCompressionLimit) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_write_info(png, info);
  for (int32_t y = 0; y < job->height; ++y) png_write_row(png, job->row(job->rowContext, y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// ---- TIFF ------------------------------------------------------------------

struct TiffMessages {
  std::string errors;
};

int CollectTiffError(TIFF*, void* userData, const char* module, const char* format, va_list arguments) {
  auto* messages = static_cast<TiffMessages*>(userData);
  char text[ErrorTextSize];
  std::vsnprintf(text, sizeof text, format, arguments);
  if (messages->errors.empty()) messages->errors = text;  // the first error is the cause
  (void)module;
  return 1;  // handled: the library's process-wide handlers stay quiet
}

int IgnoreTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

uint8_t Unpremultiply(uint32_t value, uint32_t alpha) {
  if (alpha == 0) return 0;
  const uint32_t straight = (value * 255 + alpha / 2) / alpha;
  return static_cast<uint8_t>(straight > 255 ? 255 : straight);
}

bool HasMagic(const unsigned char* head, size_t got, const char* magic, size_t length) {
  return got >= length && std::memcmp(head, magic, length) == 0;
}

// The kind of an open file by its first bytes.
ImageFileKind KindOfHead(FILE* file) {
  unsigned char head[PngSignatureBytes] = {};
  const size_t got = std::fread(head, 1, sizeof head, file);
  if (got == sizeof head && png_sig_cmp(head, 0, sizeof head) == 0) return ImageFileKind::Png;
  if (HasMagic(head, got, "II*\0", 4) || HasMagic(head, got, "MM\0*", 4) || HasMagic(head, got, "II+\0", 4) ||
      HasMagic(head, got, "MM\0+", 4))
    return ImageFileKind::Tiff;
  return ImageFileKind::Other;
}

}  // namespace

bool MakeImage(int32_t width, int32_t height, int32_t colorChannels, bool hasAlpha, uint8_t fill,
               RasterImage& image) {
  if ((colorChannels != 1 && colorChannels != 3) || width < 1 || height < 1 ||
      !ShapeAllowed(static_cast<uint64_t>(width), static_cast<uint64_t>(height),
                    static_cast<uint64_t>(colorChannels + (hasAlpha ? 1 : 0))))
    return false;
  image.width = width;
  image.height = height;
  image.colorChannels = colorChannels;
  image.hasAlpha = hasAlpha;
  image.samples.assign(image.RowBytes() * static_cast<size_t>(height), fill);
  return true;
}

std::vector<uint8_t> ExtractPlane(const RasterImage& image, int32_t channel) {
  std::vector<uint8_t> plane(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
  const size_t step = static_cast<size_t>(image.SamplesPerPixel());
  for (size_t i = 0; i < plane.size(); ++i) plane[i] = image.samples[i * step + static_cast<size_t>(channel)];
  return plane;
}

void StorePlane(RasterImage& image, int32_t channel, const uint8_t* plane) {
  const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  const size_t step = static_cast<size_t>(image.SamplesPerPixel());
  for (size_t i = 0; i < count; ++i) image.samples[i * step + static_cast<size_t>(channel)] = plane[i];
}

bool ReadPngFile(const std::string& fileName, RasterImage& image, std::string& error) {
  image = RasterImage();
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) {
    error = fileName + ": cannot open the file (" + std::strerror(errno) + ")";
    return false;
  }
  unsigned char signature[PngSignatureBytes];
  const size_t got = std::fread(signature, 1, sizeof signature, file);
  if (got != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
    std::fclose(file);
    error = fileName + ": not a PNG file";
    return false;
  }
  PngReadJob job{};
  job.file = file;
  job.image = &image;
  const bool ok = RunPngRead(&job);
  std::fclose(file);
  if (!ok) {
    if (job.shapeRejected) error = fileName + ": " + ShapeMessage(job.width, job.height);
    else if (job.error.text[0] != 0) error = fileName + ": broken PNG file: " + job.error.text;
    else error = fileName + ": out of memory reading the PNG file";
    image = RasterImage();
    return false;
  }
  return true;
}

bool ReadTiffFile(const std::string& fileName, RasterImage& image, std::string& error) {
  image = RasterImage();
  TiffMessages messages;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) {
    error = fileName + ": out of memory";
    return false;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(options, CollectTiffError, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreTiffWarning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(MaxImageBytes));
  TIFF* tiff = TIFFOpenExt(fileName.c_str(), "r", options);
  TIFFOpenOptionsFree(options);
  auto failure = [&](const std::string& what) {
    error = fileName + ": " + what + (messages.errors.empty() ? std::string() : " (" + messages.errors + ")");
    image = RasterImage();
    return false;
  };
  if (tiff == nullptr) return failure("cannot open as a TIFF file");
  uint32_t width = 0, height = 0;
  uint16_t samplesPerPixel = 1, extraCount = 0, photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t* extraTypes = nullptr;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  // The RGBA interface unpacks four bytes per pixel.
  if (!ShapeAllowed(width, height, 4)) {
    TIFFClose(tiff);
    return failure(ShapeMessage(width, height));
  }
  bool hasAlpha = false;
  for (uint16_t i = 0; i < extraCount && extraTypes != nullptr; ++i)
    hasAlpha = hasAlpha || extraTypes[i] == EXTRASAMPLE_ASSOCALPHA || extraTypes[i] == EXTRASAMPLE_UNASSALPHA;
  const bool gray = (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
                    samplesPerPixel - extraCount == 1;
  std::vector<uint32_t> raster(static_cast<size_t>(width) * height);
  // Read everything the library can, then report the first error if any.
  const int read = TIFFReadRGBAImageOriented(tiff, width, height, raster.data(), ORIENTATION_TOPLEFT, 0);
  TIFFClose(tiff);
  if (read == 0) return failure("cannot read the TIFF image");
  image.width = static_cast<int32_t>(width);
  image.height = static_cast<int32_t>(height);
  image.colorChannels = gray ? 1 : 3;
  image.hasAlpha = hasAlpha;
  image.samples.resize(image.RowBytes() * height);
  uint8_t* out = image.samples.data();
  // The raster holds premultiplied R, G, B, A from the low byte up.
  for (const uint32_t pixel : raster) {
    const uint32_t alpha = hasAlpha ? TIFFGetA(pixel) : 255;
    const uint32_t colors[3] = {TIFFGetR(pixel), TIFFGetG(pixel), TIFFGetB(pixel)};
    for (int32_t c = 0; c < image.colorChannels; ++c)
      *out++ = hasAlpha ? Unpremultiply(colors[c], alpha) : static_cast<uint8_t>(colors[c]);
    if (hasAlpha) *out++ = static_cast<uint8_t>(alpha);
  }
  return true;
}

bool ReadImageFile(const std::string& fileName, RasterImage& image, std::string& error) {
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) {
    error = fileName + ": cannot open the file (" + std::strerror(errno) + ")";
    return false;
  }
  const ImageFileKind kind = KindOfHead(file);
  std::fclose(file);
  if (kind == ImageFileKind::Png) return ReadPngFile(fileName, image, error);
  if (kind == ImageFileKind::Tiff) return ReadTiffFile(fileName, image, error);
  error = fileName + ": not a PNG or TIFF file";
  return false;
}

ImageFileKind ImageFileKindOf(const std::string& fileName) {
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) return ImageFileKind::Other;
  const ImageFileKind kind = KindOfHead(file);
  std::fclose(file);
  return kind;
}

bool WriteTiffFile(const std::string& fileName, const RasterImage& image, std::string& error) {
  TIFF* tif = TIFFOpen(fileName.c_str(), "w");
  if (tif == nullptr) {
    error = fileName + ": cannot create the file";
    return false;
  }
  const uint16_t samples = uint16_t(image.SamplesPerPixel());
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, image.colorChannels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  if (image.hasAlpha) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  bool ok = true;
  std::vector<uint8_t> row(image.RowBytes());
  for (int32_t y = 0; y < image.height && ok; ++y) {
    std::memcpy(row.data(), image.Pixel(0, y), row.size());
    ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
  }
  TIFFClose(tif);
  if (!ok) {
    std::remove(fileName.c_str());
    error = fileName + ": cannot write the file";
  }
  return ok;
}

namespace {
// Opens, writes and closes; a failed write removes the partial file.
bool WritePng(const std::string& fileName, PngWriteJob* job, std::string& error, int32_t compression) {
  FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) {
    error = fileName + ": cannot create the file (" + std::strerror(errno) + ")";
    return false;
  }
  job->file = file;
  job->compression = compression < 0 ? 0 : (compression > MaxPngCompression ? MaxPngCompression : compression);
  bool ok = RunPngWrite(job);
  const bool closed = std::fclose(file) == 0;
  if (!ok || !closed) {
    error = fileName + ": cannot write the PNG file" +
            (job->error.text[0] != 0 ? std::string(": ") + job->error.text : std::string());
    std::remove(fileName.c_str());
    return false;
  }
  return true;
}

const uint8_t* ImageRow(void* context, int32_t y) { return static_cast<const RasterImage*>(context)->Pixel(0, y); }

struct PlaneRows {
  const uint8_t* const* planes;
  int32_t count;  // planes per pixel
  int32_t width;
  std::vector<uint8_t> row;
};

template <int32_t Count>
void Interleave(const uint8_t* const* planes, size_t start, int32_t width, uint8_t* out) {
  const uint8_t* source[Count];
  for (int32_t c = 0; c < Count; ++c) source[c] = planes[c] + start;
  for (int32_t x = 0; x < width; ++x)
    for (int32_t c = 0; c < Count; ++c) out[size_t(x) * Count + size_t(c)] = source[c][x];
}

const uint8_t* InterleavedRow(void* context, int32_t y) {
  auto* p = static_cast<PlaneRows*>(context);
  const size_t start = size_t(y) * size_t(p->width);
  switch (p->count) {
    case 1: Interleave<1>(p->planes, start, p->width, p->row.data()); break;
    case 2: Interleave<2>(p->planes, start, p->width, p->row.data()); break;
    case 3: Interleave<3>(p->planes, start, p->width, p->row.data()); break;
    default: Interleave<4>(p->planes, start, p->width, p->row.data()); break;
  }
  return p->row.data();
}
}  // namespace

bool WritePngFile(const std::string& fileName, const RasterImage& image, std::string& error, int32_t compression) {
  if ((image.colorChannels != 1 && image.colorChannels != 3) || image.width < 1 || image.height < 1 ||
      image.samples.size() != image.RowBytes() * static_cast<size_t>(image.height)) {
    error = fileName + ": nothing to write (the image is empty or inconsistent)";
    return false;
  }
  PngWriteJob job{};
  job.width = image.width;
  job.height = image.height;
  job.colorChannels = image.colorChannels;
  job.hasAlpha = image.hasAlpha;
  job.row = ImageRow;
  job.rowContext = const_cast<RasterImage*>(&image);
  return WritePng(fileName, &job, error, compression);
}

bool WritePngPlanes(const std::string& fileName, int32_t width, int32_t height, int32_t colorChannels, bool hasAlpha,
                    const uint8_t* const planes[], std::string& error, int32_t compression) {
  const int32_t count = colorChannels + (hasAlpha ? 1 : 0);
  bool present = true;
  for (int32_t c = 0; c < count; ++c) present = present && planes[c] != nullptr;
  if ((colorChannels != 1 && colorChannels != 3) || width < 1 || height < 1 || width > MaxImageSide ||
      height > MaxImageSide || !present) {
    error = fileName + ": nothing to write (the image is empty or inconsistent)";
    return false;
  }
  PlaneRows rows{planes, count, width, std::vector<uint8_t>(size_t(width) * size_t(count))};
  PngWriteJob job{};
  job.width = width;
  job.height = height;
  job.colorChannels = colorChannels;
  job.hasAlpha = hasAlpha;
  job.row = InterleavedRow;
  job.rowContext = &rows;
  return WritePng(fileName, &job, error, compression);
}
