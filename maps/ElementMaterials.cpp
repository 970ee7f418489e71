#include "maps/ElementMaterials.h"

#include <cstring>

#include "bevel/ElementBuffer.h"

namespace {
int32_t ResolveIndex(const StyleRecord* style, int32_t element) {
  for (int32_t step = 0; step < ElementCount; ++step) {
    const int32_t link = style->materialLinks[element];
    if (link < 0 || link >= ElementCount || link == element) break;
    element = link;
  }
  return element;
}

// Index of `material` among the style's three, or -1.
int32_t MaterialIndex(const StyleRecord* style, const MaterialSetting* material) {
  for (int32_t e = 0; e < ElementCount; ++e)
    if (material == &style->materials[e]) return e;
  return -1;
}

uint32_t CopyToLinked(StyleRecord* style, const MaterialSetting* material, int32_t depth) {
  uint32_t flags = 0;
  int32_t own = -1;
  for (int32_t e = 0; e < ElementCount; ++e) {
    if (material == &style->materials[e]) {
      own = e;
    } else if (ResolveMaterial(style, e) == material && depth < ElementCount) {
      style->materials[e] = *material;
      flags |= CopyToLinked(style, &style->materials[e], depth + 1);
    }
  }
  if (own >= 0) flags |= ElementSelectorBit(own);
  return flags;
}
}  // namespace

MaterialSetting* ResolveMaterial(StyleRecord* style, int32_t element) {
  return &style->materials[ResolveIndex(style, element)];
}

const MaterialSetting* ResolveMaterial(const StyleRecord* style, int32_t element) {
  return &style->materials[ResolveIndex(style, element)];
}

int LinkAllowed(const StyleRecord* style, int32_t element, int32_t target) {
  int32_t e = target;
  for (int32_t step = 0; step <= ElementCount; ++step) {
    if (e == element) return 0;
    const int32_t link = style->materialLinks[e];
    if (link < 0 || link >= ElementCount) return 1;
    e = link;
  }
  return 0;  // the chain already loops: no further link is safe
}

uint32_t MaterialChanged(StyleRecord* style, const MaterialSetting* material) {
  if (MaterialIndex(style, material) < 0) return 0;
  return CopyToLinked(style, material, 0);
}

void FillMaterial(ElementBuffer* buffer, const MaterialSetting& material, uint32_t channels, const PixelRect& clip) {
  if (buffer == nullptr || buffer->rows == nullptr) return;
  // Byte values and a mask of the bytes to write, so the pixel loop has no branches.
  uint8_t value[8] = {material.color[2],  material.color[1],     material.color[0],     material.opacity,
                      material.shininess, material.shinStrength, material.reflectivity, 0};
  uint8_t keep[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  if (channels & ChannelColor) keep[0] = keep[1] = keep[2] = 0;
  if (channels & ChannelOpacity) keep[3] = 0;
  if (channels & ChannelShininess) keep[4] = 0;
  if (channels & ChannelShinStrength) keep[5] = 0;
  if (channels & ChannelReflectivity) keep[6] = 0;
  for (int b = 0; b < 8; ++b) value[b] &= uint8_t(~keep[b]);
  // A pixel material is one 8-byte word: the same bytes, one masked word each.
  uint64_t valueWord, keepWord;
  std::memcpy(&valueWord, value, sizeof valueWord);
  std::memcpy(&keepWord, keep, sizeof keepWord);
  const ElementWindow window = WindowOf(buffer, clip);
  for (int32_t row = window.firstRow; row < window.endRow; ++row) {
    for (Span* span = buffer->rows[row]; span != nullptr; span = span->next) {
      int32_t begin, end;
      if (!ClipSpan(*span, window, &begin, &end)) continue;
      uint8_t* bytes = reinterpret_cast<uint8_t*>(span->material + (begin - span->xStart));
      for (int32_t x = begin; x < end; ++x, bytes += sizeof(PixelMaterial)) {
        uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        word = (word & keepWord) | valueWord;
        std::memcpy(bytes, &word, sizeof word);
      }
    }
  }
}

void FillElementMaterials(const StyleRecord* style, ElementBuffer* const buffers[ElementCount], uint32_t flags,
                          const PixelRect& clip) {
  for (int32_t e = 0; e < ElementCount; ++e) {
    if ((flags & ElementSelectorBit(e)) == 0 || buffers[e] == nullptr) continue;
    FillMaterial(buffers[e], *ResolveMaterial(style, e), flags, clip);
  }
}
