// In-memory documents and raw path records.
#include <bit>
#include <cmath>
#include <cstring>

#include "host/FilterHost.h"

namespace {

constexpr uint64_t FnvOffset = 1469598103934665603ull;
constexpr uint64_t FnvPrime = 1099511628211ull;
constexpr double PathUnitScale = 16777216.0;  // 8.24: one document extent in path units

uint64_t FnvBytes(uint64_t hash, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    hash ^= bytes[i];
    hash *= FnvPrime;
  }
  return hash;
}

uint64_t FnvInt(uint64_t hash, int32_t value) {
  const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  return FnvBytes(hash, bytes, 4);
}

uint64_t LittleEndianWord(const uint8_t* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// FNV-1a over little-endian 64-bit words in four interleaved lanes (word k
// goes to lane k mod 4), the tail byte by byte: every report sums the whole
// document, and a byte-serial hash of a 4000 x 2000 RGB layer took longer
// than the filter run it reports on.
uint64_t FnvWords(uint64_t hash, const uint8_t* bytes, size_t count) {
  uint64_t lanes[4] = {hash, hash ^ 1, hash ^ 2, hash ^ 3};
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    for (int k = 0; k < 4; ++k) {
      lanes[k] = (lanes[k] ^ LittleEndianWord(bytes + i + 8 * size_t(k))) * FnvPrime;
    }
  }
  for (int k = 0; k < 4; ++k) hash = FnvInt(FnvInt(hash, int32_t(lanes[k])), int32_t(lanes[k] >> 32));
  return FnvBytes(hash, bytes + i, count - i);
}

uint64_t HashChannel(uint64_t hash, const HostChannel& channel) {
  hash = FnvInt(hash, channel.bounds.top);
  hash = FnvInt(hash, channel.bounds.left);
  hash = FnvInt(hash, channel.bounds.bottom);
  hash = FnvInt(hash, channel.bounds.right);
  return FnvWords(hash, channel.pixels.data(), channel.pixels.size());
}

void AppendBig16(std::vector<uint8_t>& out, int16_t value) {
  out.push_back(uint8_t(uint16_t(value) >> 8));
  out.push_back(uint8_t(value));
}

void AppendBig32(std::vector<uint8_t>& out, int32_t value) {
  const uint32_t bits = uint32_t(value);
  out.push_back(uint8_t(bits >> 24));
  out.push_back(uint8_t(bits >> 16));
  out.push_back(uint8_t(bits >> 8));
  out.push_back(uint8_t(bits));
}

}  // namespace

HostChannel MakeChannel(const HostDocument& document, const char* name, uint8_t fill) {
  HostChannel channel;
  channel.name = name;
  channel.bounds = VRect{0, 0, document.height, document.width};
  channel.pixels.assign(size_t(document.width) * size_t(document.height), fill);
  return channel;
}

HostDocument MakeDocument(int32_t width, int32_t height, int16_t imageMode, LayerKind layer, uint8_t fill) {
  HostDocument document;
  document.width = width;
  document.height = height;
  document.imageMode = imageMode;
  document.layer = layer;
  if (imageMode == ModeRGBColor) {
    document.colorChannels.push_back(MakeChannel(document, "Red", fill));
    document.colorChannels.push_back(MakeChannel(document, "Green", fill));
    document.colorChannels.push_back(MakeChannel(document, "Blue", fill));
  } else if (imageMode == ModeDuotone) {
    document.colorChannels.push_back(MakeChannel(document, "Black", fill));
  } else {
    document.colorChannels.push_back(MakeChannel(document, "Gray", fill));
  }
  if (layer != LayerKind::Flat) {
    document.hasTransparency = true;
    document.transparency = MakeChannel(document, "Transparency", 255);
    // A locked transparency is there to be read (blending) but not written.
    document.transparency.targeted = layer != LayerKind::LockedTransparency;
  }
  document.selection = MakeChannel(document, "Selection", 255);
  return document;
}

int16_t DocumentFilterCase(const HostDocument& document) {
  if (document.filterCaseOverride != 0) return document.filterCaseOverride;
  const bool selected = document.hasSelection;
  switch (document.layer) {
    case LayerKind::Flat:
      return selected ? FilterCaseFlatImageWithSelection : FilterCaseFlatImageNoSelection;
    case LayerKind::Floating:
      return FilterCaseFloatingSelection;
    case LayerKind::EditableTransparency:
      return selected ? FilterCaseEditableTransparencyWithSelection : FilterCaseEditableTransparencyNoSelection;
    case LayerKind::LockedTransparency:
      return selected ? FilterCaseProtectedTransparencyWithSelection : FilterCaseProtectedTransparencyNoSelection;
  }
  return FilterCaseUnsupported;
}

uint64_t BytesChecksum(const std::vector<uint8_t>& bytes) { return FnvBytes(FnvOffset, bytes.data(), bytes.size()); }

uint64_t ChannelChecksum(const HostChannel& channel) { return HashChannel(FnvOffset, channel); }

uint64_t DocumentChecksum(const HostDocument& document) {
  uint64_t hash = FnvOffset;
  for (const HostChannel& channel : document.colorChannels) hash = HashChannel(hash, channel);
  if (document.hasTransparency) hash = HashChannel(hash, document.transparency);
  if (document.hasLayerMask) hash = HashChannel(hash, document.layerMask);
  for (const HostChannel& channel : document.alphaChannels) hash = HashChannel(hash, channel);
  if (document.hasSelection) hash = HashChannel(hash, document.selection);
  return hash;
}

uint8_t ChannelPixel(const HostChannel& channel, int32_t x, int32_t y) {
  const VRect& b = channel.bounds;
  if (x < b.left || x >= b.right || y < b.top || y >= b.bottom) return 0;
  const size_t index = size_t(y - b.top) * size_t(b.right - b.left) + size_t(x - b.left);
  return index < channel.pixels.size() ? channel.pixels[index] : 0;
}

// ---- Path records ----------------------------------------------------------------------------

int32_t PathUnits(double pixels, int32_t extentPixels) {
  if (extentPixels <= 0) return 0;
  return int32_t(std::llround(pixels * PathUnitScale / double(extentPixels)));
}

PathPoint PathPointFromPixels(double x, double y, int32_t width, int32_t height) {
  return PathPoint{PathUnits(y, height), PathUnits(x, width)};
}

void AppendPathLengthRecord(std::vector<uint8_t>& path, int16_t selector, int16_t knotCount) {
  const size_t start = path.size();
  AppendBig16(path, selector);
  AppendBig16(path, knotCount);
  path.resize(start + PathRecordSize, 0);
}

void AppendPathKnot(std::vector<uint8_t>& path, int16_t selector, PathPoint preceding, PathPoint anchor,
                    PathPoint leaving) {
  AppendBig16(path, selector);
  for (const PathPoint& p : {preceding, anchor, leaving}) {
    AppendBig32(path, p.v);
    AppendBig32(path, p.h);
  }
}

void AppendPathRecord(std::vector<uint8_t>& path, int16_t selector) {
  const size_t start = path.size();
  AppendBig16(path, selector);
  path.resize(start + PathRecordSize, 0);
}

void AppendPolygonSubpath(std::vector<uint8_t>& path, const std::vector<std::pair<double, double>>& pointsXY,
                          int32_t width, int32_t height, bool closed) {
  AppendPathLengthRecord(path, closed ? PathClosedLength : PathOpenLength, int16_t(pointsXY.size()));
  const int16_t knot = closed ? PathClosedKnotLinked : PathOpenKnotLinked;
  for (const auto& [x, y] : pointsXY) {
    const PathPoint p = PathPointFromPixels(x, y, width, height);
    AppendPathKnot(path, knot, p, p, p);
  }
}
