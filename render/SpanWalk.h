// Walking an element buffer's pixels span by span, row by row, with hooks
// at the start of every span and the end of every row (samplers step there).
#pragma once
#include <cstdint>

#include "bevel/ElementBuffer.h"
#include "bevel/ElementWindow.h"

// pixel(const PixelMaterial&, RenderedPixel&) for every column of every span
// inside `clip` (effect frame, WholeFrame for all); spanStart(int32_t column)
// before the first column walked of a span; rowEnd() after every row from the
// buffer's top down to the clip's last row, rows without spans and rows
// above the clip included (samplers step over them).
template <class Pixel, class SpanStart, class RowEnd>
inline void WalkSpans(ElementBuffer* buffer, const PixelRect& clip, Pixel pixel, SpanStart spanStart, RowEnd rowEnd) {
  if (buffer == nullptr || buffer->rows == nullptr) return;
  const ElementWindow window = WindowOf(buffer, clip);
  for (int32_t row = 0; row < window.firstRow; ++row) rowEnd();
  for (int32_t row = window.firstRow; row < window.endRow; ++row) {
    for (Span* span = buffer->rows[row]; span != nullptr; span = span->next) {
      int32_t begin, end;
      if (!ClipSpan(*span, window, &begin, &end)) continue;
      spanStart(begin);
      const PixelMaterial* material = span->material + (begin - span->xStart);
      RenderedPixel* out = span->block + (begin - span->xStart);
      const uint32_t count = uint32_t(end - begin);
      for (uint32_t i = 0; i < count; ++i) pixel(material[i], out[i]);
    }
    rowEnd();
  }
}

template <class Pixel>
inline void WalkPixels(ElementBuffer* buffer, const PixelRect& clip, Pixel pixel) {
  WalkSpans(
      buffer, clip, pixel, [](int32_t) {}, [] {});
}
