#include "render/DocumentOutput.h"

#include <cstring>

#include "bevel/ElementBuffer.h"
#include "core/WorkMemory.h"
#include "render/PixelOperators.h"

namespace {
constexpr int32_t ByteDepth = 8;  // the only channel depth read and written

bool IsEmpty(const VRect& r) { return r.bottom <= r.top || r.right <= r.left; }

VRect Intersect(const VRect& a, const VRect& b) {
  VRect r;
  r.top = a.top > b.top ? a.top : b.top;
  r.left = a.left > b.left ? a.left : b.left;
  r.bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
  r.right = a.right < b.right ? a.right : b.right;
  return r;
}

VRect EffectRect(const RenderedEffect& effect) {
  return VRect{effect.top, effect.left, effect.top + effect.height, effect.left + effect.width};
}

uint32_t RectArea(const VRect& r) { return uint32_t(r.right - r.left) * uint32_t(r.bottom - r.top); }

PixelMemoryDesc ByteMemory(void* data, int32_t width) {
  return PixelMemoryDesc{data, width * ByteDepth, ByteDepth, 0, ByteDepth};
}

bool Usable(const PSChannelPortsSuite1* ports, const ReadChannelDesc* channel) {
  return ports != nullptr && channel != nullptr && channel->depth == ByteDepth;
}

// Asks whether the port can read; 1 yes, 0 no (or an error, then -30900 is set).
int PortCanRead(const PSChannelPortsSuite1* ports, PIChannelPort port) {
  if (port == nullptr || ports->CanRead == nullptr) return 0;
  Boolean canRead = 0;
  if (ports->CanRead(port, &canRead) != 0) {
    SetResult(ErrPlugInHostInsufficient);
    return 0;
  }
  return canRead ? 1 : 0;
}

void Progress(const DocumentAccess& access, int32_t done, int32_t total) {
  if (access.progress != nullptr) access.progress(done, total);
}

// One tile of a channel: the document rectangle and where it lies in the render buffer.
struct Tile {
  VRect rect;
  uint8_t* pixels;
  int32_t width, height;
  uint32_t renderStart;  // buffer index of the tile's top-left pixel
  int32_t renderStride;  // effect width
};

// Which operator a tile or preview plane is composited with.
enum class Over : int32_t {
  Opaque,       // color channel, no targeted transparency
  Transparent,  // color channel over the layer's transparency
  Alpha         // transparency, alpha channels, layer mask
};

// One pixel: d the document value, a the render alpha, s the render color,
// t the transparency under it (each read only by the operators that use it).
template <Over Kind>
inline uint8_t Composite(const uint8_t* d, const uint8_t* a, const uint8_t* s, const uint8_t* t, uint32_t di,
                         uint32_t ri) {
  if constexpr (Kind == Over::Opaque) return OverOpaque(d[di], a[ri], s[ri]);
  if constexpr (Kind == Over::Transparent) return OverTransparent(d[di], a[ri], s[ri], t[di]);
  return OverAlpha(d[di], a[ri]);
}

// Row by row through local pointers: a byte store could otherwise change the
// tile's fields, and the compiler would reread them for every pixel instead
// of vectorising the row.
template <Over Kind>
void CompositeTile(const Tile& tile, const uint8_t* alpha, const uint8_t* color, const uint8_t* under) {
  const uint32_t width = uint32_t(tile.width), stride = uint32_t(tile.renderStride);
  for (uint32_t y = 0; y < uint32_t(tile.height); ++y) {
    const uint32_t render = tile.renderStart + y * stride;
    uint8_t* row = tile.pixels + y * width;
    const uint8_t* a = alpha + render;
    const uint8_t* s = color != nullptr ? color + render : nullptr;
    const uint8_t* t = under != nullptr ? under + y * width : nullptr;
    for (uint32_t x = 0; x < width; ++x) row[x] = Composite<Kind>(row, a, s, t, x, x);
  }
}

// Over a layer's transparency most render pixels are either clear (the
// document keeps its byte) or fully covering (the byte becomes the render
// color: with a = 255 the new coverage is 255 and the color s x 255 / 255);
// sixteen such pixels are composited at once, and only groups with a partly
// covering pixel take the per-pixel operator.
typedef uint8_t Bytes16 __attribute__((vector_size(16)));

template <>
void CompositeTile<Over::Transparent>(const Tile& tile, const uint8_t* alpha, const uint8_t* color,
                                      const uint8_t* under) {
  const uint32_t width = uint32_t(tile.width), stride = uint32_t(tile.renderStride);
  for (uint32_t y = 0; y < uint32_t(tile.height); ++y) {
    const uint32_t render = tile.renderStart + y * stride;
    uint8_t* row = tile.pixels + y * width;
    const uint8_t* a = alpha + render;
    const uint8_t* s = color + render;
    const uint8_t* t = under + y * width;
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
      Bytes16 av, sv, dv;
      std::memcpy(&av, a + x, sizeof av);
      std::memcpy(&sv, s + x, sizeof sv);
      std::memcpy(&dv, row + x, sizeof dv);
      const Bytes16 clear = (Bytes16)(av == 0), full = (Bytes16)(av == 255);
      uint64_t settled[2];
      const Bytes16 either = clear | full;
      std::memcpy(settled, &either, sizeof settled);
      if ((settled[0] & settled[1]) == ~uint64_t(0)) {
        const Bytes16 result = (dv & clear) | (sv & full);
        std::memcpy(row + x, &result, sizeof result);
        continue;
      }
      for (uint32_t k = x; k < x + 16; ++k) row[k] = OverTransparent(row[k], a[k], s[k], t[k]);
    }
    for (; x < width; ++x) row[x] = OverTransparent(row[x], a[x], s[x], t[x]);
  }
}

// Some rows of a tile to composite, as a task.
template <Over Kind>
struct TilePart {
  Tile tile;
  const uint8_t* alpha;
  const uint8_t* color;
  const uint8_t* under;
  static void Run(void* part) {
    const TilePart* p = static_cast<const TilePart*>(part);
    CompositeTile<Kind>(p->tile, p->alpha, p->color, p->under);
  }
};

// Below this many pixels a second thread costs more than it saves.
constexpr uint32_t SplitTilePixels = 65536;

// Rows are composited independently: with a task runner the lower half of
// the tile's rows is composited beside the upper half.
template <Over Kind>
void CompositeTileInParts(const TaskRunner* tasks, const Tile& tile, const uint8_t* alpha, const uint8_t* color,
                          const uint8_t* under) {
  TilePart<Kind> upper{tile, alpha, color, under};
  if (tasks == nullptr || tile.height < 2 || RectArea(tile.rect) < SplitTilePixels) {
    TilePart<Kind>::Run(&upper);
    return;
  }
  TilePart<Kind> lower = upper;
  const uint32_t half = uint32_t(tile.height / 2);
  upper.tile.height = int32_t(half);
  lower.tile.height = tile.height - int32_t(half);
  lower.tile.pixels += half * uint32_t(tile.width);
  lower.tile.renderStart += half * uint32_t(tile.renderStride);
  if (under != nullptr) lower.under = under + half * uint32_t(tile.width);
  RunBeside(tasks, TilePart<Kind>::Run, &lower, TilePart<Kind>::Run, &upper);
}

// Reads, composites and writes one channel over the tile. `under` is the
// transparency tile for over-transparent.
template <Over Kind>
void ProcessChannel(const DocumentAccess& access, const ReadChannelDesc* channel, const Tile& tile,
                    const uint8_t* alpha, const uint8_t* color, const uint8_t* under) {
  ReadChannel(access.ports, channel, tile.pixels, tile.rect);
  if (RunFailed()) return;
  CompositeTileInParts<Kind>(access.tasks, tile, alpha, color, under);
  WriteChannel(access.ports, channel, tile.pixels, tile.rect);
}
}  // namespace

int ReadChannel(const PSChannelPortsSuite1* ports, const ReadChannelDesc* channel, uint8_t* destination,
                const VRect& rect) {
  const int32_t width = rect.right - rect.left;
  if (!Usable(ports, channel) || !PortCanRead(ports, channel->port) || ports->ReadPixelsFromLevel == nullptr) {
    std::memset(destination, 0, RectArea(rect));
    return 0;
  }
  VRect bounds = rect;
  const PixelMemoryDesc memory = ByteMemory(destination, width);
  if (ports->ReadPixelsFromLevel(channel->port, 0, &bounds, &memory) != 0) {
    SetResult(ErrPlugInHostInsufficient);
    return 0;
  }
  return 1;
}

int ReadChannelScaled(const PSChannelPortsSuite1* ports, const ReadChannelDesc* channel, uint8_t* destination,
                      const VRect& source, int32_t width, int32_t height) {
  if (!Usable(ports, channel) || !PortCanRead(ports, channel->port) || ports->ReadScaledPixels == nullptr) {
    std::memset(destination, 0, uint32_t(width) * uint32_t(height));
    return 0;
  }
  VRect readRect{0, 0, height, width};
  const PSScaling scaling{source, readRect};
  const PixelMemoryDesc memory = ByteMemory(destination, width);
  if (ports->ReadScaledPixels(channel->port, &readRect, &scaling, &memory) != 0) {
    SetResult(ErrPlugInHostInsufficient);
    return 0;
  }
  return 1;
}

int WriteChannel(const PSChannelPortsSuite1* ports, const ReadChannelDesc* channel, const uint8_t* source,
                 const VRect& rect) {
  if (!Usable(ports, channel) || channel->writePort == nullptr || ports->CanWrite == nullptr) return 0;
  Boolean canWrite = 0;
  if (ports->CanWrite(channel->writePort, &canWrite) != 0) {
    SetResult(ErrPlugInHostInsufficient);
    return 0;
  }
  if (!canWrite || ports->WritePixelsToBaseLevel == nullptr) return 0;
  VRect bounds = rect;
  const PixelMemoryDesc memory = ByteMemory(const_cast<uint8_t*>(source), rect.right - rect.left);
  if (ports->WritePixelsToBaseLevel(channel->writePort, &bounds, &memory) != 0) {
    SetResult(ErrPlugInHostInsufficient);
    return 0;
  }
  return 1;
}

int32_t CountTargetChannels(const ReadImageDocumentDesc* document, int all) {
  if (document == nullptr) return 0;
  int32_t count = 0;
  for (const ReadChannelDesc* c = document->targetCompositeChannels; c != nullptr; c = c->next)
    count += c->target ? 1 : 0;
  if (!all) return count;
  for (const ReadChannelDesc* c = document->alphaChannels; c != nullptr; c = c->next) count += c->target ? 1 : 0;
  if (document->targetTransparency != nullptr && document->targetTransparency->target) ++count;
  if (document->targetLayerMask != nullptr && document->targetLayerMask->target) ++count;
  return count;
}

int WriteResult(const DocumentAccess& access, const RenderedEffect& effect) {
  const ReadImageDocumentDesc* document = access.document;
  if (document == nullptr || document->targetCompositeChannels == nullptr) return 1;
  if (effect.renderBuffer == nullptr || effect.width <= 0 || effect.height <= 0) return 1;
  if (access.ports == nullptr) {
    SetResult(ErrPlugInHostInsufficient);
    return 0;
  }
  const VRect rect = Intersect(EffectRect(effect), document->targetCompositeChannels->bounds);
  if (IsEmpty(rect)) return 1;

  Tile tile;
  tile.rect = rect;
  tile.width = rect.right - rect.left;
  tile.height = rect.bottom - rect.top;
  tile.renderStride = effect.width;
  tile.renderStart = uint32_t(rect.top - effect.top) * uint32_t(effect.width) + uint32_t(rect.left - effect.left);
  tile.pixels = static_cast<uint8_t*>(NewBlock(RectArea(rect)));
  if (tile.pixels == nullptr) return 0;

  const uint32_t planeSize = uint32_t(effect.width) * uint32_t(effect.height);
  const uint8_t* alpha = effect.renderBuffer;
  const int32_t total = CountTargetChannels(document, 1);
  int32_t written = 0;

  const ReadChannelDesc* transparency = document->targetTransparency;
  if (!RunFailed() && transparency != nullptr && transparency->target) {
    uint8_t* under = static_cast<uint8_t*>(NewBlock(RectArea(rect)));
    if (under == nullptr) {
      FreeBlockOf(tile.pixels);
      return 0;
    }
    Progress(access, 0, total);
    ReadChannel(access.ports, transparency, under, rect);
    int32_t plane = 0;
    for (const ReadChannelDesc* c = document->targetCompositeChannels; c != nullptr && !RunFailed(); c = c->next) {
      ++plane;
      if (!c->target || plane > effect.channelCount) continue;
      Progress(access, written, total);
      ProcessChannel<Over::Transparent>(access, c, tile, alpha, alpha + plane * planeSize, under);
      ++written;
    }
    // The transparency changes last: the color channels needed its old values.
    // After a failure it is not written, so that a half-done run cannot leave
    // a coverage that the color channels do not match.
    if (!RunFailed()) {
      Tile coverage = tile;
      coverage.pixels = under;
      CompositeTileInParts<Over::Alpha>(access.tasks, coverage, alpha, nullptr, nullptr);
      WriteChannel(access.ports, transparency, under, rect);
      ++written;
    }
    FreeBlockOf(under);
  } else {
    int32_t plane = 0;
    for (const ReadChannelDesc* c = document->targetCompositeChannels; c != nullptr && !RunFailed(); c = c->next) {
      ++plane;
      if (!c->target || plane > effect.channelCount) continue;
      Progress(access, written, total);
      ProcessChannel<Over::Opaque>(access, c, tile, alpha, alpha + plane * planeSize, nullptr);
      ++written;
    }
  }

  for (const ReadChannelDesc* c = document->alphaChannels; c != nullptr && !RunFailed(); c = c->next) {
    if (!c->target) continue;
    Progress(access, written, total);
    ProcessChannel<Over::Alpha>(access, c, tile, alpha, nullptr, nullptr);
    ++written;
  }
  const ReadChannelDesc* layerMask = document->targetLayerMask;
  if (!RunFailed() && layerMask != nullptr && layerMask->target) {
    Progress(access, written, total);
    ProcessChannel<Over::Alpha>(access, layerMask, tile, alpha, nullptr, nullptr);
    ++written;
  }
  Progress(access, written, total);
  FreeBlockOf(tile.pixels);
  return RunFailed() ? 0 : 1;
}

namespace {
// CopySelection over `wanted` (document pixels, inside the mask's rectangle).
int CopySelectionWithin(const DocumentAccess& access, uint8_t* mask, int32_t top, int32_t left, int32_t width,
                        const VRect& wanted) {
  const ReadChannelDesc* selection = access.document != nullptr ? access.document->selection : nullptr;
  if (selection == nullptr || mask == nullptr) return 0;
  const VRect rect = Intersect(wanted, selection->bounds);
  if (IsEmpty(rect)) return 0;
  // A missing buffer only means an unmasked-to-clear result; it is not an error of the run.
  const int16_t before = CurrentResult();
  uint8_t* buffer = static_cast<uint8_t*>(NewBlock(RectArea(rect)));
  if (buffer == nullptr) {
    SetResult(before);
    return 0;
  }
  ReadChannel(access.ports, selection, buffer, rect);
  const int32_t rowBytes = rect.right - rect.left;
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    std::memcpy(mask + uint32_t(y - top) * uint32_t(width) + uint32_t(rect.left - left),
                buffer + uint32_t(y - rect.top) * uint32_t(rowBytes), uint32_t(rowBytes));
  }
  FreeBlockOf(buffer);
  return 1;
}
}  // namespace

int CopySelection(const DocumentAccess& access, uint8_t* mask, int32_t top, int32_t left, int32_t width,
                  int32_t height) {
  return CopySelectionWithin(access, mask, top, left, width, VRect{top, left, top + height, left + width});
}

int CopySelectionForRender(void* source, uint8_t* mask, int32_t width, int32_t, const PixelRect& area) {
  const SelectionSource* selection = static_cast<const SelectionSource*>(source);
  const int32_t top = selection->top, left = selection->left;
  return CopySelectionWithin(selection->access, mask, top, left, width,
                             VRect{top + area.top, left + area.left, top + area.bottom, left + area.right});
}

namespace {
// 16.16 render step per preview pixel: just under one pixel divided by the zoom.
constexpr float ZoomStepNumerator = float(0xFFF6);
constexpr uint32_t UnitStep = 1u << 16;

// Where the overlap lands in the preview and where it is read from the render buffer.
struct PreviewPlacement {
  int32_t previewX, previewY;  // first preview pixel
  int32_t columns, rows;       // preview pixels composited
  int32_t renderX, renderY;    // render pixel under the first preview pixel
  uint32_t step;               // 16.16 render step per preview pixel
};

inline int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }

int32_t ClampedTrunc(float v, int32_t limit) {
  if (!(v > 0.0f)) return 0;
  if (v >= float(limit)) return limit;
  return int32_t(v);
}

template <Over Kind>
void CompositePreviewPlane(const PreviewPlacement& p, const RenderedEffect& effect, const PreviewSurface& preview,
                           uint8_t* plane, const uint8_t* color) {
  uint64_t rowPosition = 0;
  for (int32_t j = 0; j < p.rows; ++j, rowPosition += p.step) {
    const int32_t y = Min(p.renderY + int32_t(rowPosition >> 16), effect.height - 1);
    const uint32_t renderRow = uint32_t(y) * uint32_t(effect.width);
    const uint32_t previewRow = uint32_t(p.previewY + j) * uint32_t(preview.width) + uint32_t(p.previewX);
    uint64_t columnPosition = 0;
    for (int32_t i = 0; i < p.columns; ++i, columnPosition += p.step) {
      const uint32_t r = renderRow + uint32_t(Min(p.renderX + int32_t(columnPosition >> 16), effect.width - 1));
      plane[previewRow + i] =
          Composite<Kind>(plane, effect.renderBuffer, color, preview.transparency, previewRow + i, r);
    }
  }
}
}  // namespace

void CompositePreview(const ReadImageDocumentDesc* document, const RenderedEffect& effect,
                      const PreviewSurface& preview) {
  if (document == nullptr || effect.renderBuffer == nullptr || preview.planes == nullptr) return;
  const VRect overlap = Intersect(EffectRect(effect), preview.source);
  if (IsEmpty(overlap) || preview.width <= 0 || preview.height <= 0) return;

  PreviewPlacement p;
  p.renderX = overlap.left - effect.left;
  p.renderY = overlap.top - effect.top;
  const int32_t overlapWidth = overlap.right - overlap.left, overlapHeight = overlap.bottom - overlap.top;
  if (preview.zoom == 1.0f) {
    p.previewX = overlap.left - preview.source.left;
    p.previewY = overlap.top - preview.source.top;
    p.columns = overlapWidth;
    p.rows = overlapHeight;
    p.step = UnitStep;
  } else {
    if (!(preview.zoom > 0.0f)) return;
    p.previewX = ClampedTrunc(float(overlap.left - preview.source.left) * preview.zoom, preview.width);
    p.previewY = ClampedTrunc(float(overlap.top - preview.source.top) * preview.zoom, preview.height);
    p.columns = ClampedTrunc(float(overlapWidth) * preview.zoom, preview.width);
    p.rows = ClampedTrunc(float(overlapHeight) * preview.zoom, preview.height);
    const float step = ZoomStepNumerator / preview.zoom;
    p.step = step >= 2147483648.0f ? 0x80000000u : uint32_t(step);
  }
  // The overlap may reach past the preview's own edge; only its pixels are touched.
  if (p.previewX >= preview.width || p.previewY >= preview.height) return;
  if (p.columns > preview.width - p.previewX) p.columns = preview.width - p.previewX;
  if (p.rows > preview.height - p.previewY) p.rows = preview.height - p.previewY;
  if (p.columns <= 0 || p.rows <= 0) return;

  const ReadChannelDesc* transparency = document->targetTransparency;
  const bool overTransparency = preview.transparency != nullptr && transparency != nullptr && transparency->target;
  const uint32_t planeSize = uint32_t(effect.width) * uint32_t(effect.height);
  const uint32_t previewPlaneSize = uint32_t(preview.width) * uint32_t(preview.height);
  int32_t plane = 0;
  for (const ReadChannelDesc* c = document->targetCompositeChannels; c != nullptr; c = c->next) {
    ++plane;
    if (plane > preview.planeCount || plane > effect.channelCount) break;
    if (!c->target) continue;
    uint8_t* previewPlane = preview.planes + uint32_t(plane - 1) * previewPlaneSize;
    const uint8_t* color = effect.renderBuffer + uint32_t(plane) * planeSize;
    if (overTransparency)
      CompositePreviewPlane<Over::Transparent>(p, effect, preview, previewPlane, color);
    else
      CompositePreviewPlane<Over::Opaque>(p, effect, preview, previewPlane, color);
  }
  if (overTransparency) CompositePreviewPlane<Over::Alpha>(p, effect, preview, preview.transparency, nullptr);
}
