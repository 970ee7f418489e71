// The per-pixel material fill: map layers blended into the elements'
// PixelMaterials. Every map tiles the plane; sampling is bilinear with 16-bit
// weights, blending uses 8-bit shifts, and nothing allocates.
#include "bevel/ElementBuffer.h"
#include "maps/ElementMaterials.h"
#include "maps/MapFill.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "render/Sampling.h"

namespace {
constexpr uint32_t MaxAmount = 255;

// The planes and constants of one layer's blend, chosen once per layer.
struct LayerBlend {
  const uint8_t* planes[3];  // color: red, green, blue; scalar: planes[0] is the value
  const uint8_t* mask;       // null for Opaque output
  int32_t width, height;
  uint32_t invertXor;        // 0xFF with Invert Map: 255 - v == v ^ 0xFF for bytes
  uint32_t amount;           // 0..255
  int32_t byteIndex;         // the PixelMaterial byte of a scalar map
};

// One image position: the four neighbour offsets and the two weights.
struct Neighbours {
  uint32_t at00, at01, at10, at11;
  uint32_t fr, fc;
};

inline Neighbours NeighboursOf(int32_t row, int32_t col, int32_t width, int32_t height) {
  const int32_t r = row >> MapFractionBits, c = col >> MapFractionBits;  // floor, also below zero
  const uint32_t r0 = uint32_t(WrapIndex(r, height)) * uint32_t(width), r1 = uint32_t(WrapIndex(r + 1, height)) * uint32_t(width);
  const uint32_t c0 = uint32_t(WrapIndex(c, width)), c1 = uint32_t(WrapIndex(c + 1, width));
  return Neighbours{r0 + c0, r0 + c1, r1 + c0, r1 + c1, uint32_t(row) & MapFractionMask, uint32_t(col) & MapFractionMask};
}

// Weights add up to 0xFFFF, so a plane of 255 samples as 253.
inline uint32_t Bilinear(const uint8_t* plane, const Neighbours& n) {
  const uint32_t top = (plane[n.at00] * (WeightSum - n.fc) + plane[n.at01] * n.fc) >> MapFractionBits;
  const uint32_t bottom = (plane[n.at10] * (WeightSum - n.fc) + plane[n.at11] * n.fc) >> MapFractionBits;
  return (top * (WeightSum - n.fr) + bottom * n.fr) >> MapFractionBits;
}

inline uint8_t BlendMasked(uint32_t p, uint32_t v, uint32_t strength) {
  return uint8_t((((257 - strength) * p) >> 8) + ((strength * v) >> 8));
}
inline uint8_t BlendOpaque(uint32_t p, uint32_t v, uint32_t amount) {
  return uint8_t((((256 - amount) * p) >> 8) + (((amount + 1) * v) >> 8));
}

template <bool Color, bool Masked>
void BlendRows(const LayerBlend& blend, const MapLayer& layer, ElementBuffer* buffer, const ElementWindow& window) {
  for (int32_t row = window.firstRow; row < window.endRow; ++row) {
    const uint32_t y = uint32_t(int32_t(buffer->y0) + row);
    for (Span* span = buffer->rows[row]; span != nullptr; span = span->next) {
      int32_t begin, end;
      if (!ClipSpan(*span, window, &begin, &end)) continue;
      const uint32_t x = uint32_t(int32_t(buffer->x0) + begin);
      // 32-bit wrapping steps, as the renderer's bump samplers step.
      uint32_t r = uint32_t(layer.row0) + uint32_t(layer.rowDx) * x + uint32_t(layer.rowDy) * y;
      uint32_t c = uint32_t(layer.col0) + uint32_t(layer.colDx) * x + uint32_t(layer.colDy) * y;
      PixelMaterial* pixel = span->material + (begin - span->xStart);
      for (int32_t i = begin; i < end; ++i, ++pixel) {
        const Neighbours n = NeighboursOf(int32_t(r), int32_t(c), blend.width, blend.height);
        r += uint32_t(layer.rowDx);
        c += uint32_t(layer.colDx);
        uint8_t* bytes = reinterpret_cast<uint8_t*>(pixel);
        uint32_t strength = 0;
        if constexpr (Masked) strength = ((blend.amount + 1) * Bilinear(blend.mask, n)) >> 8;
        if constexpr (Color) {
          for (int k = 0; k < 3; ++k) {
            const uint32_t v = Bilinear(blend.planes[k], n) ^ blend.invertXor;
            bytes[k] = Masked ? BlendMasked(bytes[k], v, strength) : BlendOpaque(bytes[k], v, blend.amount);
          }
        } else {
          const uint32_t v = Bilinear(blend.planes[0], n) ^ blend.invertXor;
          uint8_t& p = bytes[blend.byteIndex];
          p = Masked ? BlendMasked(p, v, strength) : BlendOpaque(p, v, blend.amount);
        }
      }
    }
  }
}

// The PixelMaterial byte a scalar kind writes, or -1 for the color and bump kinds.
int32_t ScalarByte(uint32_t kind) {
  switch (kind) {
    case OpacityMapLayer: return 3;
    case ShininessMapLayer: return 4;
    case ShinStrengthMapLayer: return 5;
    case ReflectivityMapLayer: return 6;
    default: return -1;
  }
}

// Chooses the planes; 0 when the layer has nothing to blend.
int SetUpBlend(const MapLayer& layer, LayerBlend* blend) {
  const MapImage* image = layer.image;
  const uint32_t kind = LayerKind(layer);
  if (image == nullptr || image->data == nullptr || image->width == 0 || image->height == 0) return 0;
  if (kind != ColorMapLayer && ScalarByte(kind) < 0) return 0;
  const uint32_t planeSize = ImagePlaneSize(*image);
  const uint8_t* alpha = ImageAlphaPlane(*image);
  const bool alphaAsRgb = (layer.layerFlags & ImageAlphaAsRgb) != 0 && alpha != nullptr;
  if (kind == ColorMapLayer) {
    const bool rgb = (image->flags & ImageRgb) != 0;
    blend->planes[0] = alphaAsRgb ? alpha : image->data;
    blend->planes[1] = alphaAsRgb ? alpha : (rgb ? image->data + planeSize : image->data);
    blend->planes[2] = alphaAsRgb ? alpha : (rgb ? image->data + 2 * planeSize : image->data);
  } else {
    blend->planes[0] = alphaAsRgb ? alpha : image->maxPlane;
    blend->planes[1] = blend->planes[2] = blend->planes[0];
    if (blend->planes[0] == nullptr) return 0;
  }
  const uint32_t output = LayerAlphaOutput(layer);
  if (output == AlphaOutputOpaque || output > AlphaOutputOpaque) {
    blend->mask = nullptr;
  } else {
    blend->mask = output == AlphaOutputImageAlpha && alpha != nullptr ? alpha : image->maxPlane;
    if (blend->mask == nullptr) return 0;
  }
  blend->width = image->width;
  blend->height = image->height;
  blend->invertXor = (layer.layerFlags & InvertMap) ? 0xFF : 0;
  blend->amount = layer.amount > MaxAmount ? MaxAmount : layer.amount;
  blend->byteIndex = ScalarByte(kind);
  return 1;
}
}  // namespace

void BlendLayer(const MapLayer& layer, ElementBuffer* buffer, const PixelRect& clip) {
  if (buffer == nullptr || buffer->rows == nullptr) return;
  LayerBlend blend{};
  if (!SetUpBlend(layer, &blend)) return;
  const ElementWindow window = WindowOf(buffer, clip);
  const bool color = LayerKind(layer) == ColorMapLayer;
  if (color && blend.mask != nullptr)
    BlendRows<true, true>(blend, layer, buffer, window);
  else if (color)
    BlendRows<true, false>(blend, layer, buffer, window);
  else if (blend.mask != nullptr)
    BlendRows<false, true>(blend, layer, buffer, window);
  else
    BlendRows<false, false>(blend, layer, buffer, window);
}

void RefreshMaterials(const StyleRecord* style, ElementBuffer* const buffers[3], uint32_t flags,
                      const PixelRect& clip) {
  FillElementMaterials(style, buffers, flags, clip);
  for (int32_t e = 0; e < ElementCount; ++e) {
    if ((flags & ElementSelectorBit(e)) == 0 || buffers[e] == nullptr) continue;
    for (const MapLayer* layer = style->mapLayers; layer != nullptr; layer = layer->next) {
      const uint32_t kind = LayerKind(*layer);
      if ((layer->layerFlags & ElementSelectorBit(e)) == 0 || (kind & flags) == 0 || kind == BumpMapLayer) continue;
      BlendLayer(*layer, buffers[e], clip);
    }
  }
}

void ApplyLayer(const MapLayer& layer, ElementBuffer* const buffers[3]) {
  for (int32_t e = 0; e < ElementCount; ++e)
    if ((layer.layerFlags & ElementSelectorBit(e)) != 0 && buffers[e] != nullptr) BlendLayer(layer, buffers[e]);
}
