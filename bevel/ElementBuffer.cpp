#include "bevel/ElementBuffer.h"

#include <cstring>

#include "core/WorkMemory.h"

NodePool gMainSpanPool = {sizeof(Span), SpanRecordsPerBlock, nullptr, nullptr};
NodePool gInnerSpanPool = {sizeof(Span), SpanRecordsPerBlock, nullptr, nullptr};
NodePool gOuterSpanPool = {sizeof(Span), SpanRecordsPerBlock, nullptr, nullptr};

namespace {
constexpr uint32_t PixelCellBytes = sizeof(RenderedPixel) + sizeof(PixelMaterial);  // 12

// The first column at or after `column` whose count is not 0, or `width`.
int32_t NextCovered(const uint8_t* counts, int32_t column, int32_t width) {
  // Most of a row is empty: skip it eight columns at a time.
  while (column + 8 <= width) {
    uint64_t word;
    std::memcpy(&word, counts + column, sizeof word);
    if (word != 0) break;
    column += 8;
  }
  while (column < width && counts[column] == 0) ++column;
  return column;
}
}  // namespace

void FreeElementBuffer(ElementBuffer* buffer) {
  if (buffer == nullptr) return;
  if (BufferAttachment* attachment = buffer->attachment) {
    buffer->attachment = nullptr;
    attachment->release(attachment);
  }
  if (buffer->rows != nullptr) {
    for (uint32_t row = 0; row < buffer->height; ++row) FreeSpanBlocks(buffer->rows[row]);
    FreeBlockOf(buffer->rows);
  }
}

void FreeSpanBlocks(Span* head) {
  for (Span* span = head; span != nullptr; span = span->next) {
    if ((span->flags & SpanOwnsBlock) != 0) FreeBlockOf(span->block);
    span->block = nullptr;
    span->material = nullptr;
    span->flags = 0;
  }
}

void DisposeElementBuffer(ElementBuffer** buffer) {
  if (*buffer == nullptr) return;
  FreeElementBuffer(*buffer);
  FreeBlockOf(*buffer);
}

void BoundsToRectangle(const ElementBuffer* buffer, PixelRect* rect) {
  rect->top = buffer->y0;
  rect->left = buffer->x0;
  rect->bottom = buffer->y0 + buffer->height;
  rect->right = buffer->x0 + buffer->width;
}

void EffectRectangle(const ElementBuffer* outer, const ElementBuffer* inner, const ElementBuffer* main,
                     PixelRect* rect) {
  const ElementBuffer* first = outer != nullptr ? outer : inner != nullptr ? inner : main;
  if (first == nullptr) {
    *rect = PixelRect{0, 0, 0, 0};
    return;
  }
  BoundsToRectangle(first, rect);
}

void MoveElementOrigin(ElementBuffer* buffer, int32_t dx, int32_t dy) {
  if (buffer == nullptr) return;
  buffer->x0 = static_cast<int16_t>(buffer->x0 + dx);
  buffer->y0 = static_cast<int16_t>(buffer->y0 + dy);
}

int EmitCoverageRow(uint8_t* counts, int32_t width, Span** rowHead, NodePool* pool, int32_t* lowestColumn,
                    int32_t* highestEnd) {
  Span** tail = rowHead;
  while (*tail != nullptr) tail = &(*tail)->next;
  // One block for the row: a row of text crosses many short spans, and a
  // block each would make allocation the larger part of building them.
  uint32_t covered = 0;
  for (int32_t column = NextCovered(counts, 0, width); column < width;) {
    int32_t end = column + 1;
    while (end < width && counts[end] != 0) ++end;
    covered += static_cast<uint32_t>(end - column);
    column = NextCovered(counts, end, width);
  }
  if (covered == 0) return 1;
  auto* cells = static_cast<uint8_t*>(NewClearedBlock(covered * PixelCellBytes));
  if (cells == nullptr) return 0;
  uint32_t owner = SpanOwnsBlock;  // the first span takes the block
  int32_t column = NextCovered(counts, 0, width);
  while (column < width) {
    int32_t end = column + 1;
    while (end < width && counts[end] != 0) ++end;
    uint32_t pixels = static_cast<uint32_t>(end - column);
    Span* span = TakeRecordOf<Span>(pool);
    if (span == nullptr) {
      if (owner != 0) FreeBlockOf(cells);
      return 0;
    }
    span->xStart = static_cast<uint16_t>(column);
    span->xEnd = static_cast<uint16_t>(end);
    span->flags = owner;
    owner = 0;
    span->block = reinterpret_cast<RenderedPixel*>(cells);
    span->material = reinterpret_cast<PixelMaterial*>(cells + pixels * sizeof(RenderedPixel));
    cells += pixels * PixelCellBytes;
    span->next = nullptr;
    for (uint32_t i = 0; i < pixels; ++i) {
      span->material[i].coverage = counts[column + i];
      counts[column + i] = 0;
    }
    *tail = span;
    tail = &span->next;
    if (column < *lowestColumn) *lowestColumn = column;
    if (end > *highestEnd) *highestEnd = end;
    column = NextCovered(counts, end, width);
  }
  return 1;
}
