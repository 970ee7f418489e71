#include "host/MapFixtures.h"

#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

namespace {
// Samples per pixel: 1 gray, 2 gray + alpha, 3 RGB, 4 RGBA; 8 bits each.
bool WritePicture(const std::string& path, uint32_t width, uint32_t height, uint16_t samples,
                  const std::function<uint8_t(uint32_t x, uint32_t y, uint16_t sample)>& value) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return false;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4u);
  if (samples == 2 || samples == 4) {
    const uint16_t extra = EXTRASAMPLE_ASSOCALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  std::vector<uint8_t> row(size_t(width) * samples);
  bool ok = true;
  for (uint32_t y = 0; y < height && ok; ++y) {
    for (uint32_t x = 0; x < width; ++x)
      for (uint16_t s = 0; s < samples; ++s) row[size_t(x) * samples + s] = value(x, y, s);
    ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
  }
  TIFFClose(tif);
  return ok;
}

// Little-endian fields of the settings file.
struct Bytes {
  std::vector<uint8_t> data;
  void U8(uint32_t v) { data.push_back(uint8_t(v)); }
  void U16(uint32_t v) { U8(v), U8(v >> 8); }
  void U32(uint32_t v) { U16(v), U16(v >> 16); }
  void F32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    U32(bits);
  }
  void Name(const char* name) {
    U16(uint32_t(std::strlen(name)));
    data.insert(data.end(), name, name + std::strlen(name));
  }
};

struct Layer {
  uint32_t flags, amount, link;
  float centerX, centerY, width, height, angle;
  const char* name;
};

// Layer flags: kinds, Background, elements, invert, alpha as RGB, alpha output.
constexpr uint32_t Color = 0x01, Opacity = 0x02, Shininess = 0x04, Strength = 0x08, Reflectivity = 0x10,
                   Bump = 0x20, Background = 0x1000, Main = 0x10000, Inner = 0x20000, Outer = 0x40000,
                   Invert = 0x100000, Intensity = 1u << 24, Opaque = 2u << 24;
}  // namespace

bool WriteMapScenarioFiles(const std::string& moduleFolder, std::string* error) {
  const std::filesystem::path maps = std::filesystem::path(moduleFolder) / "Maps";
  std::error_code code;
  std::filesystem::create_directories(maps, code);
  auto at = [&](const char* name) { return (maps / name).string(); };
  const bool pictures =
      WritePicture(at("sky.tif"), 32, 24, 3,
                   [](uint32_t x, uint32_t y, uint16_t s) { return uint8_t(s == 0 ? x * 8 : s == 1 ? y * 10 : 200 - x * 3); }) &&
      WritePicture(at("tiles.tif"), 7, 5, 4,
                   [](uint32_t x, uint32_t y, uint16_t s) { return uint8_t(s == 3 ? 60 + 30 * ((x + y) % 7) : (x * 37 + y * 53 + s * 71) % 256); }) &&
      WritePicture(at("ramp.tif"), 6, 6, 1, [](uint32_t x, uint32_t y, uint16_t) { return uint8_t(x * 40 + y * 5); }) &&
      WritePicture(at("stripes.tif"), 9, 4, 2,
                   [](uint32_t x, uint32_t y, uint16_t s) { return uint8_t(s == 0 ? (x % 3) * 120 : 255 - y * 50); }) &&
      WritePicture(at("dimples.tif"), 16, 16, 1, [](uint32_t x, uint32_t y, uint16_t) {
        const double dx = double(x) - 7.5, dy = double(y) - 7.5;
        return uint8_t(255 - std::lround(200 * std::fmax(0.0, 1 - (dx * dx + dy * dy) / 40)));
      });
  if (!pictures) {
    *error = "cannot write the map scenario's pictures in " + maps.string();
    return false;
  }
  Bytes b;
  b.data = {'B', 'F', 'F'};
  b.U8(0x80);                                      // view flags: anti-aliasing
  b.U16(6), b.U16(100), b.U16(0), b.U16(0);        // Inner Bevel: size, depth, miter limit, flags
  b.U16(8), b.U16(150), b.U16(0), b.U16(0x0101);   // Outer Bevel
  const uint32_t colors[3] = {0xFFA08070, 0xFF7090B0, 0xFFC0C0C0};
  for (uint32_t color : colors) b.U32(color), b.U8(140), b.U8(160), b.U8(90), b.U32(0xFFFFFFFF);
  b.U8(40), b.U8(40), b.U8(48), b.U8(0);           // ambient
  const float lights[3][3] = {{-0.5f, -0.6f, 0.62f}, {0.7f, 0.1f, 0.7f}, {0, 0, 1}};
  const uint32_t lightColors[3] = {0xFFFFFF, 0x506080, 0};
  for (int i = 0; i < 3; ++i) b.U32(lightColors[i]), b.F32(lights[i][0]), b.F32(lights[i][1]), b.F32(lights[i][2]);
  b.Name("sky.tif");
  const Layer layers[] = {
      {Color | Main, 230, 2, 0, 0, 0, 0, 0, "tiles.tif"},                            // Tile, image alpha masks
      {Opacity | Inner | Intensity, 180, 1, 0, 0, 0, 0, 0, "ramp.tif"},              // Fit over the Inner Bevel
      {Shininess | Main | Inner | Outer | Opaque, 255, 0, 70, 55, 30, 20, 0.5f, "stripes.tif"},  // Custom, turned
      {Strength | Main | Outer | Invert | Opaque, 200, 3 + 2, 0, 0, 0, 0, 0, "ramp.tif"},        // follows layer 2
      {Reflectivity | Inner | Outer | Invert, 255, 2, 0, 0, 0, 0, 0, "stripes.tif"},  // Tile, inverted
      {Bump | Main | Inner | Outer, 220, 2, 0, 0, 0, 0, 0, "dimples.tif"},         // Tile
      {Background | Color | Outer | Opaque, 128, 0, 0, 0, 0, 0, 0, ""},             // the document itself
  };
  b.U32(uint32_t(sizeof layers / sizeof layers[0]));
  for (const Layer& l : layers) {
    b.U32(l.flags), b.U32(l.amount), b.U32(l.link);
    b.F32(l.centerX), b.F32(l.centerY), b.F32(l.width), b.F32(l.height), b.F32(l.angle);
    b.Name(l.name);
  }
  const std::string settings = (std::filesystem::path(moduleFolder) / "default.dfs").string();
  FILE* f = std::fopen(settings.c_str(), "wb");
  if (f == nullptr || std::fwrite(b.data.data(), 1, b.data.size(), f) != b.data.size()) {
    if (f != nullptr) std::fclose(f);
    *error = "cannot write " + settings;
    return false;
  }
  std::fclose(f);
  return true;
}
