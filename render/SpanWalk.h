// Walking an element buffer's pixels span by span, row by row, with hooks
// at the start of every span and the end of every row (samplers step there).
#pragma once
#include <cstdint>

#include "bevel/ElementBuffer.h"

// pixel(const PixelMaterial&, RenderedPixel&) for every column of every span;
// spanStart(const Span&) before a span's first column; rowEnd() after every
// row, rows without spans included.
template <class Pixel, class SpanStart, class RowEnd>
inline void WalkSpans(ElementBuffer* buffer, Pixel pixel, SpanStart spanStart, RowEnd rowEnd) {
  if (buffer == nullptr || buffer->rows == nullptr) return;
  for (uint32_t row = 0; row < buffer->height; ++row) {
    for (Span* span = buffer->rows[row]; span != nullptr; span = span->next) {
      spanStart(*span);
      const PixelMaterial* material = span->material;
      RenderedPixel* out = span->block;
      const uint32_t count = span->xEnd > span->xStart ? uint32_t(span->xEnd - span->xStart) : 0;
      for (uint32_t i = 0; i < count; ++i) pixel(material[i], out[i]);
    }
    rowEnd();
  }
}

template <class Pixel>
inline void WalkPixels(ElementBuffer* buffer, Pixel pixel) {
  WalkSpans(
      buffer, pixel, [](const Span&) {}, [] {});
}
