// Writes the contour picker's 49 bitmaps and the resource script that lists
// them, at build time, from the contour profiles themselves, so that a
// picture cannot disagree with the profile of its index.
//
// Usage: contour-bitmaps OUTDIR. Writes OUTDIR/Contour<id>.bmp (1-bit, black
// ink on white, 32 x 32) for ids 500..548 and OUTDIR/ContourBitmaps.rc, which
// names each file by its absolute path. Exit status 0 on success, 1 when a
// file cannot be written.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "bevel/ContourProfiles.h"
#include "resources/ResourceIds.h"
#include "ui/ContourPictures.h"

namespace {

void Put16(uint8_t* at, uint32_t v) {
  at[0] = uint8_t(v);
  at[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* at, uint32_t v) {
  Put16(at, v);
  Put16(at + 2, v >> 16);
}

// A 1-bit BMP: file header, info header, two palette entries (index 0 black
// ink, 1 white paper), rows bottom first.
constexpr uint32_t HeaderBytes = 14 + 40 + 8;
constexpr uint32_t PixelBytes = ContourPictureSize * ContourPictureRowBytes;

int32_t WriteBitmap(const char* path, const ContourPicture& picture) {
  uint8_t file[HeaderBytes + PixelBytes] = {};
  file[0] = 'B';
  file[1] = 'M';
  Put32(file + 2, sizeof file);
  Put32(file + 10, HeaderBytes);
  Put32(file + 14, 40);
  Put32(file + 18, ContourPictureSize);
  Put32(file + 22, ContourPictureSize);
  Put16(file + 26, 1);
  Put16(file + 28, 1);
  Put32(file + 34, PixelBytes);
  Put32(file + 46, 2);
  Put32(file + 54, 0x000000);
  Put32(file + 58, 0xFFFFFF);
  for (int32_t y = 0; y < ContourPictureSize; ++y) {
    uint8_t* row = file + HeaderBytes + (ContourPictureSize - 1 - y) * ContourPictureRowBytes;
    for (int32_t i = 0; i < ContourPictureRowBytes; ++i) row[i] = uint8_t(~picture.bits[y][i]);
  }
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 0;
  const bool written = std::fwrite(file, sizeof file, 1, out) == 1;
  return (std::fclose(out) == 0 && written) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: contour-bitmaps OUTDIR\n");
    return 1;
  }
  char path[4096];
  std::snprintf(path, sizeof path, "%s/ContourBitmaps.rc", argv[1]);
  FILE* script = std::fopen(path, "w");
  if (script == nullptr) {
    std::fprintf(stderr, "contour-bitmaps: cannot write %s\n", path);
    return 1;
  }
  std::fprintf(script, "// Written by contour-bitmaps from the contour profiles; do not edit.\n");
  for (int32_t index = 0; index < ContourProfileCount; ++index) {
    ContourPicture picture;
    DrawContourPicture(&picture, uint16_t(index));
    const int32_t id = BF_BMP_CONTOUR_FIRST + index;
    std::snprintf(path, sizeof path, "%s/Contour%d.bmp", argv[1], int(id));
    if (!WriteBitmap(path, picture)) {
      std::fprintf(stderr, "contour-bitmaps: cannot write %s\n", path);
      std::fclose(script);
      return 1;
    }
    std::fprintf(script, "%d BITMAP \"%s\"\n", int(id), path);
  }
  return std::fclose(script) == 0 ? 0 : 1;
}
