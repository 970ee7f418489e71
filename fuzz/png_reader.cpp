// libFuzzer target: the tool's image reader (PNG, and TIFF by its first
// bytes) on arbitrary file contents, then the outline tracer on what it read,
// as --path-from-alpha and --path-from-mask would.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "cli/ImageFile.h"
#include "cli/PictureTrace.h"
#include "fuzz/support/FuzzMemory.h"

namespace {
constexpr int64_t MaxTracedPixels = 256 * 256;  // keeps each run short
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reader takes a file name: hand it the bytes through an in-memory file.
  const int fd = memfd_create("png_reader", 0);
  if (fd < 0) return 0;
  if (size == 0 || write(fd, data, size) == static_cast<ssize_t>(size)) {
    RasterImage image;
    std::string error;
    if (ReadImageFile("/proc/self/fd/" + std::to_string(fd), image, error) &&
        int64_t(image.width) * image.height <= MaxTracedPixels) {
      CountingMemory& memory = FuzzMemory();
      const long baseline = memory.liveBlocks;
      memory.result = 0;
      const std::vector<uint8_t> plane = ExtractPlane(image, image.SamplesPerPixel() - 1);
      PathModel path;
      TracePlane(plane.data(), image.width, image.height, 128, TraceSettings(), path, nullptr, error);
      CheckNoLeak(baseline, "png_reader");
    }
  }
  close(fd);
  return 0;
}
