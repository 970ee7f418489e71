// The part of an element buffer that lies inside a rectangle of its frame:
// what a preview request limits its per-pixel loops to. Loops clip their
// bounds to the window once per row or span, never per pixel.
#pragma once
#include <cstdint>

#include "bevel/ElementBuffer.h"

// A rectangle that holds every buffer of any frame: no clipping at all.
constexpr PixelRect WholeFrame{-0x40000000, -0x40000000, 0x40000000, 0x40000000};

// Buffer rows [firstRow, endRow) (clamped to the buffer's rows) and buffer
// columns [firstColumn, endColumn) (not clamped: spans carry their own
// columns) inside the clip rectangle.
struct ElementWindow {
  int32_t firstRow, endRow;
  int32_t firstColumn, endColumn;
};

inline ElementWindow WindowOf(const ElementBuffer* buffer, const PixelRect& clip) {
  const int32_t height = int32_t(buffer->height);
  auto clampRow = [height](int32_t row) { return row < 0 ? 0 : (row > height ? height : row); };
  return ElementWindow{clampRow(clip.top - buffer->y0), clampRow(clip.bottom - buffer->y0), clip.left - buffer->x0,
                       clip.right - buffer->x0};
}

// The columns of `span` inside the window, [*begin, *end); 0 when none.
inline bool ClipSpan(const Span& span, const ElementWindow& window, int32_t* begin, int32_t* end) {
  *begin = span.xStart > window.firstColumn ? int32_t(span.xStart) : window.firstColumn;
  *end = span.xEnd < window.endColumn ? int32_t(span.xEnd) : window.endColumn;
  return *begin < *end;
}

// The pixels of buffer row `row` inside the window.
inline uint32_t PixelsInRow(const ElementBuffer* buffer, const ElementWindow& window, int32_t row) {
  uint32_t count = 0;
  for (const Span* span = buffer->rows[row]; span != nullptr; span = span->next) {
    int32_t begin, end;
    if (ClipSpan(*span, window, &begin, &end)) count += uint32_t(end - begin);
  }
  return count;
}
