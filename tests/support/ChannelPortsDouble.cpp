#include "tests/support/ChannelPortsDouble.h"

namespace {
FakeChannel* ChannelOf(PIChannelPort port) { return reinterpret_cast<FakeChannel*>(port); }

SPErr CanRead(PIChannelPort port, Boolean* answer) {
  *answer = ChannelOf(port)->canRead;
  return 0;
}
SPErr CanWrite(PIChannelPort port, Boolean* answer) {
  *answer = ChannelOf(port)->canWrite;
  return 0;
}
// Copies between the channel and a memory description, one byte per pixel.
bool Transfer(FakeChannel* c, const VRect& rect, const PixelMemoryDesc* memory, bool read) {
  if (memory->depth != 8 || memory->colBits != 8 || memory->rowBits % 8 != 0) return false;
  if (rect.top < c->bounds.top || rect.left < c->bounds.left || rect.bottom > c->bounds.bottom ||
      rect.right > c->bounds.right)
    return false;
  auto* data = static_cast<uint8_t*>(memory->data);
  const int32_t stride = memory->rowBits / 8;
  for (int32_t y = rect.top; y < rect.bottom; ++y)
    for (int32_t x = rect.left; x < rect.right; ++x) {
      uint8_t& m = data[size_t(y - rect.top) * stride + (x - rect.left)];
      if (read)
        m = c->At(x, y);
      else
        c->At(x, y) = m;
    }
  return true;
}
SPErr ReadPixels(PIChannelPort port, int32_t level, VRect* bounds, const PixelMemoryDesc* destination) {
  FakeChannel* c = ChannelOf(port);
  ++c->reads;
  if (c->readFails || level != 0 || !Transfer(c, *bounds, destination, true)) return -1;
  return 0;
}
SPErr WritePixels(PIChannelPort port, VRect* bounds, const PixelMemoryDesc* source) {
  FakeChannel* c = ChannelOf(port);
  ++c->writes;
  if (c->writeFails || !Transfer(c, *bounds, source, false)) return -1;
  return 0;
}

// Nearest-pixel scaling of the source rectangle onto the destination.
SPErr ReadScaled(PIChannelPort port, VRect* readRect, const PSScaling* scaling, const PixelMemoryDesc* destination) {
  FakeChannel* c = ChannelOf(port);
  ++c->reads;
  if (c->readFails || destination->depth != 8) return -1;
  const VRect& src = scaling->sourceRect;
  const VRect& dst = scaling->destinationRect;
  auto* data = static_cast<uint8_t*>(destination->data);
  for (int32_t y = readRect->top; y < readRect->bottom; ++y)
    for (int32_t x = readRect->left; x < readRect->right; ++x) {
      const int32_t sx = src.left + (x - dst.left) * (src.right - src.left) / (dst.right - dst.left);
      const int32_t sy = src.top + (y - dst.top) * (src.bottom - src.top) / (dst.bottom - dst.top);
      data[size_t(y) * (destination->rowBits / 8) + x] = c->At(sx, sy);
    }
  return 0;
}

}  // namespace

PSChannelPortsSuite1 MakePorts() {
  PSChannelPortsSuite1 ports{};
  ports.CanRead = CanRead;
  ports.CanWrite = CanWrite;
  ports.ReadPixelsFromLevel = ReadPixels;
  ports.WritePixelsToBaseLevel = WritePixels;
  ports.ReadScaledPixels = ReadScaled;
  return ports;
}

