#include "maps/BumpGathering.h"

#include <cmath>

#include "bevel/ElementBuffer.h"
#include "core/WorkMemory.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "render/Sampling.h"

namespace {
constexpr float AmountScale = 1.0f / 65025.0f;  // amount 0..255 times gradients of up to 255

bool Gathers(const MapLayer& layer, uint32_t elementBit) {
  return LayerKind(layer) == BumpMapLayer && (layer.layerFlags & elementBit) != 0 && layer.image != nullptr &&
         layer.image->data != nullptr && layer.image->maxPlane != nullptr && layer.image->width != 0 &&
         layer.image->height != 0;
}

void FillSampler(const MapLayer& layer, const ElementBuffer& buffer, BumpSampler* b) {
  const MapImage& image = *layer.image;
  b->invert = (layer.layerFlags & InvertMap) != 0;
  b->cosAngle = std::cos(layer.angle);
  b->sinAngle = std::sin(layer.angle);
  b->rowStepX = layer.rowDx;
  b->colStepX = layer.colDx;
  b->rowStepY = layer.rowDy;
  b->colStepY = layer.colDy;
  b->amount = float(layer.amount > 255 ? 255 : layer.amount) * AmountScale;
  b->width = image.width;
  b->height = image.height;
  const uint8_t* alpha = ImageAlphaPlane(image);
  b->valuePlane = (layer.layerFlags & ImageAlphaAsRgb) && alpha != nullptr ? alpha : image.maxPlane;
  switch (LayerAlphaOutput(layer)) {
    case AlphaOutputImageAlpha: b->opacityPlane = alpha != nullptr ? alpha : b->valuePlane; break;
    case AlphaOutputRgbIntensity: b->opacityPlane = b->valuePlane; break;
    default: b->opacityPlane = nullptr; break;
  }
  // 32-bit wrapping arithmetic, as the stepping that follows.
  const uint32_t x0 = uint32_t(int32_t(buffer.x0)), y0 = uint32_t(int32_t(buffer.y0));
  b->colOrigin = int32_t(uint32_t(layer.col0) + x0 * uint32_t(layer.colDx) + y0 * uint32_t(layer.colDy));
  b->rowOrigin = int32_t(uint32_t(layer.row0) + x0 * uint32_t(layer.rowDx) + y0 * uint32_t(layer.rowDy));
  b->row = b->rowOrigin;
  b->col = b->colOrigin;
}
}  // namespace

int32_t GatherBumpSamplers(const MapLayer* layers, uint32_t elementBit, const ElementBuffer* buffer,
                           BumpSampler** samplers) {
  *samplers = nullptr;
  if (buffer == nullptr) return 0;
  int32_t count = 0;
  for (const MapLayer* layer = layers; layer != nullptr; layer = layer->next)
    if (Gathers(*layer, elementBit)) ++count;
  if (count == 0) return 0;
  const int16_t before = CurrentResult();
  BumpSampler* array = static_cast<BumpSampler*>(NewBlock(uint32_t(count) * sizeof(BumpSampler)));
  if (array == nullptr) {
    SetResult(before);
    return 0;
  }
  BumpSampler* b = array;
  for (const MapLayer* layer = layers; layer != nullptr; layer = layer->next)
    if (Gathers(*layer, elementBit)) FillSampler(*layer, *buffer, b++);
  *samplers = array;
  return count;
}
