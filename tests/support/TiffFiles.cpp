#include "tests/support/TiffFiles.h"

#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <map>

namespace tiff_test {
namespace {
uint8_t R(uint32_t p) { return uint8_t(p); }
uint8_t G(uint32_t p) { return uint8_t(p >> 8); }
uint8_t B(uint32_t p) { return uint8_t(p >> 16); }
uint8_t A(uint32_t p) { return uint8_t(p >> 24); }

uint16_t Samples(Layout layout) {
  switch (layout) {
    case Layout::Gray8: case Layout::Gray16: case Layout::Palette8: return 1;
    case Layout::GrayAlpha8: return 2;
    case Layout::Rgba8: case Layout::Cmyk8: return 4;
    default: return 3;
  }
}
uint16_t Bits(Layout layout) { return layout == Layout::Gray16 || layout == Layout::Rgb16 ? 16 : 8; }
}  // namespace

bool WriteTiff(const std::string& path, const Picture& picture, Layout layout) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return false;
  const uint16_t samples = Samples(layout), bits = Bits(layout);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, picture.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, picture.height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  std::map<uint32_t, uint16_t> palette;
  switch (layout) {
    case Layout::Gray8: case Layout::Gray16: case Layout::GrayAlpha8:
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
      break;
    case Layout::Palette8: {
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
      std::vector<uint16_t> r(256, 0), g(256, 0), b(256, 0);
      for (uint32_t p : picture.rgba) {
        const uint32_t rgb = p & 0xFFFFFF;
        if (palette.count(rgb) || palette.size() == 256) continue;
        const uint16_t index = uint16_t(palette.size());
        palette[rgb] = index;
        r[index] = uint16_t(R(p) * 257);
        g[index] = uint16_t(G(p) * 257);
        b[index] = uint16_t(B(p) * 257);
      }
      TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
      break;
    }
    case Layout::Cmyk8:
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
      TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
      break;
    default:
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  }
  if (layout == Layout::Rgba8 || layout == Layout::GrayAlpha8) {
    uint16_t extra = EXTRASAMPLE_ASSOCALPHA;  // passed through as stored
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  const uint32_t pixelBytes = samples * bits / 8;
  auto pixelBytesOf = [&](uint32_t p, uint8_t* out) {
    uint8_t v[4] = {R(p), G(p), B(p), A(p)};
    if (layout == Layout::Cmyk8) {
      v[0] = uint8_t(255 - R(p)), v[1] = uint8_t(255 - G(p)), v[2] = uint8_t(255 - B(p)), v[3] = 0;
    } else if (layout == Layout::GrayAlpha8) {
      v[1] = A(p);
    } else if (layout == Layout::Palette8) {
      v[0] = uint8_t(palette[p & 0xFFFFFF]);
    }
    for (uint16_t s = 0; s < samples; ++s) {
      if (bits == 16) {
        const uint16_t wide = uint16_t(v[s] * 257);
        std::memcpy(out + 2 * s, &wide, 2);
      } else {
        out[s] = v[s];
      }
    }
  };
  bool ok = true;
  if (layout == Layout::Rgb8Tiled) {
    const uint32_t tile = 16;
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, tile);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, tile);
    std::vector<uint8_t> buffer(size_t(tile) * tile * pixelBytes);
    for (uint32_t ty = 0; ty < picture.height && ok; ty += tile)
      for (uint32_t tx = 0; tx < picture.width && ok; tx += tile) {
        std::fill(buffer.begin(), buffer.end(), 0);
        for (uint32_t y = 0; y < tile; ++y)
          for (uint32_t x = 0; x < tile; ++x)
            if (tx + x < picture.width && ty + y < picture.height)
              pixelBytesOf(picture.At(tx + x, ty + y), &buffer[(size_t(y) * tile + x) * pixelBytes]);
        ok = TIFFWriteTile(tif, buffer.data(), tx, ty, 0, 0) >= 0;
      }
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3u);
    std::vector<uint8_t> row(size_t(picture.width) * pixelBytes);
    for (uint32_t y = 0; y < picture.height && ok; ++y) {
      for (uint32_t x = 0; x < picture.width; ++x) pixelBytesOf(picture.At(x, y), &row[size_t(x) * pixelBytes]);
      ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
    }
  }
  TIFFClose(tif);
  return ok;
}

uint32_t Expected(const Picture& picture, Layout layout, uint32_t x, uint32_t y) {
  const uint32_t p = picture.At(x, y);
  switch (layout) {
    case Layout::Gray8: case Layout::Gray16: return R(p) * 0x010101u | 0xFF000000u;
    case Layout::GrayAlpha8: return R(p) * 0x010101u | (uint32_t(A(p)) << 24);
    case Layout::Rgba8: return p;
    default: return (p & 0xFFFFFF) | 0xFF000000u;
  }
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
  }
  return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/bf-" + std::to_string(getpid()) + "-" + name;
}

}  // namespace tiff_test
