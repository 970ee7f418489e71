#include "bevel/BandRasterisers.h"

#include <cstring>

#include "bevel/BandSweep.h"
#include "core/WorkMemory.h"

namespace {
bool EndsPixelRow(int32_t row) { return (row & (SampleRows - 1)) == SampleRows - 1; }

// Counts the band's sub-samples per pixel column and emits a span row every
// four sample rows; the inner form also counts the gaps for Main.
template <bool CountGaps>
struct CoverageUser {
  static constexpr bool WantsWinner = false;
  static constexpr bool WantsGaps = CountGaps;

  uint8_t* bandCounts;
  uint8_t* gapCounts;
  int32_t width;
  ElementBuffer* band;
  NodePool* bandPool;
  Span** gapRows;  // CountGaps: one span list per pixel row of `band`
  int32_t gapLowest, gapHighest;
  int32_t bandLowest, bandHighest;

  void StoreRun(int32_t, int32_t begin, int32_t end) { AddSampleRun(bandCounts, width, begin, end); }
  void Gap(int32_t, int32_t begin, int32_t end) { AddSampleRun(gapCounts, width, begin, end); }
  int RowEnd(int32_t row) {
    if (!EndsPixelRow(row)) return 1;
    int32_t pixelRow = row >> SampleRowShift;
    if (!EmitCoverageRow(bandCounts, width, &band->rows[pixelRow], bandPool, &bandLowest, &bandHighest)) return 0;
    if constexpr (CountGaps) {
      if (!EmitCoverageRow(gapCounts, width, &gapRows[pixelRow], &gMainSpanPool, &gapLowest, &gapHighest))
        return 0;
    }
    return 1;
  }
};

void FreeSpanRows(Span** rows, int32_t count) {
  for (int32_t row = 0; row < count; ++row) FreeSpanBlocks(rows[row]);
}

// Makes the Main buffer around the rows the gaps produced, in the frame of
// `inner`. Takes over `rows` (inner->height heads) on success.
int MakeMainBuffer(Span** rows, int32_t lowest, int32_t highest, const ElementBuffer* inner,
                   ElementBuffer** mainField) {
  auto* main = static_cast<ElementBuffer*>(NewClearedBlock(sizeof(ElementBuffer)));
  if (main == nullptr) return 0;
  *mainField = main;
  int32_t first = 0;
  int32_t last = int32_t(inner->height) - 1;
  while (first <= last && rows[first] == nullptr) ++first;
  while (last >= first && rows[last] == nullptr) --last;
  main->x0 = inner->x0;
  main->y0 = inner->y0;
  if (first > last) {
    FreeBlockOf(rows);
    return 1;
  }
  int32_t height = last - first + 1;
  std::memmove(rows, rows + first, sizeof(Span*) * static_cast<uint32_t>(height));
  for (int32_t row = 0; row < height; ++row)
    for (Span* span = rows[row]; span != nullptr; span = span->next) {
      span->xStart = static_cast<uint16_t>(span->xStart - lowest);
      span->xEnd = static_cast<uint16_t>(span->xEnd - lowest);
    }
  main->x0 = static_cast<int16_t>(inner->x0 + lowest);
  main->y0 = static_cast<int16_t>(inner->y0 + first);
  main->width = static_cast<uint16_t>(highest - lowest);
  main->height = static_cast<uint16_t>(height);
  main->rows = rows;
  return 1;
}
}  // namespace

int RasteriseInnerBands(BandEdge* edges, ElementBuffer* inner, ElementBuffer** mainField) {
  const int32_t width = inner->width;
  const int32_t height = inner->height;
  auto* counts = static_cast<uint8_t*>(NewClearedBlock(2 * static_cast<uint32_t>(width) + 2));
  if (counts == nullptr) return 0;
  auto* mainRows = static_cast<Span**>(NewClearedBlock(sizeof(Span*) * (static_cast<uint32_t>(height) + 1)));
  if (mainRows == nullptr) {
    FreeBlockOf(counts);
    return 0;
  }
  CoverageUser<true> user = {counts, counts + width + 1, width, inner, &gInnerSpanPool, mainRows,
                             width, 0, width, 0};
  int ok = SweepBands(edges, width, height, SweepVariant::Inner, nullptr, user);
  FreeBlockOf(counts);
  if (ok) ok = MakeMainBuffer(mainRows, user.gapLowest, user.gapHighest, inner, mainField);
  if (!ok) {
    FreeSpanRows(mainRows, height);
    FreeBlockOf(mainRows);
  }
  return ok;
}

int RasteriseOuterBands(BandEdge* edges, ElementBuffer* outer) {
  const int32_t width = outer->width;
  auto* counts = static_cast<uint8_t*>(NewClearedBlock(static_cast<uint32_t>(width) + 1));
  if (counts == nullptr) return 0;
  CoverageUser<false> user = {counts, nullptr, width, outer, &gOuterSpanPool, nullptr, width, 0, width, 0};
  int ok = SweepBands(edges, width, outer->height, SweepVariant::Outer, nullptr, user);
  FreeBlockOf(counts);
  return ok;
}
