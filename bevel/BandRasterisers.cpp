#include "bevel/BandRasterisers.h"

#include <cstring>

#include "bevel/BandSweep.h"
#include "bevel/SweepSplit.h"
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

// The lower part of a coverage sweep in two parts: counts every pixel row
// into a row of its own in `band` (and `gaps`), which the caller turns into
// spans afterwards; it allocates nothing.
template <bool CountGaps>
struct CountingUser {
  static constexpr bool WantsWinner = false;
  static constexpr bool WantsGaps = CountGaps;

  uint8_t* bandCounts;  // the current pixel row's counts
  uint8_t* gapCounts;
  int32_t width;
  uint32_t stride;  // bytes from one pixel row's counts to the next

  void StoreRun(int32_t, int32_t begin, int32_t end) { AddSampleRun(bandCounts, width, begin, end); }
  void Gap(int32_t, int32_t begin, int32_t end) { AddSampleRun(gapCounts, width, begin, end); }
  int RowEnd(int32_t row) {
    if (EndsPixelRow(row)) {
      bandCounts += stride;
      if constexpr (CountGaps) gapCounts += stride;
    }
    return 1;
  }
};

template <class User>
struct CoveragePart {
  BandEdge* edges;
  int32_t width, height;
  SweepVariant variant;
  SweepRange range;
  User* user;
  int swept;
  static void Run(void* part) {
    CoveragePart* p = static_cast<CoveragePart*>(part);
    p->swept = SweepBands(p->edges, p->width, p->height, p->variant, nullptr, *p->user, p->range);
  }
};

// Count rows of the lower part above this many bytes are not worth their memory.
constexpr uint64_t MaxSplitCountBytes = 32u << 20;
// Below this many pixels a second thread costs more than it saves.
constexpr uint64_t MinSplitPixels = 65536;
// Making the spans stays on the caller's thread; only the walk over the
// edges is shared. It is worth sharing where many edges cross each row (a
// line of text), not over large areas of few edges, where making the spans
// is the larger part and the counts of the lower part only cost memory.
constexpr int64_t MinSplitEdgesPerRow = 4;

bool WorthSplitting(const BandEdge* edges, int32_t width, int32_t height) {
  if (height < 2 || uint64_t(width) * uint64_t(height) < MinSplitPixels) return false;
  int64_t count = 0;
  for (const BandEdge* edge = edges; edge != nullptr && count < MinSplitEdgesPerRow * height; edge = edge->next)
    ++count;
  return count >= MinSplitEdgesPerRow * height;
}

// Sweeps `edges` into the user's rows: with a task runner in two parts (the
// rows from `split` on counted beside and turned into spans afterwards;
// where the parts disagree those rows are swept again, going on from where
// the upper part stopped), else, or when memory for them is short, in one.
// Returns the sweep's result (0 when a span row could not be made).
template <bool CountGaps>
int SweepCoverage(BandEdge* edges, int32_t width, int32_t height, SweepVariant variant, CoverageUser<CountGaps>* user,
                  const TaskRunner* tasks) {
  const int32_t split = height / 2;
  const uint32_t stride = uint32_t(width) + 1;
  const uint64_t countBytes = uint64_t(height - split) * stride * (CountGaps ? 2 : 1);
  if (tasks == nullptr || countBytes > MaxSplitCountBytes || !WorthSplitting(edges, width, height))
    return SweepBands(edges, width, height, variant, nullptr, *user);
  const int16_t before = CurrentResult();
  SweepSplit parts;
  uint8_t* counts = nullptr;
  if (PrepareSweepSplit(edges, split * SampleRows, &parts)) counts = static_cast<uint8_t*>(NewClearedBlock(uint32_t(countBytes)));
  if (counts == nullptr) {
    ReleaseSweepSplit(&parts);
    SetResult(before);
    return SweepBands(edges, width, height, variant, nullptr, *user);
  }
  const uint32_t bandBytes = uint32_t(height - split) * stride;
  CountingUser<CountGaps> lowerUser{counts, CountGaps ? counts + bandBytes : nullptr, width, stride};
  CoveragePart<CoverageUser<CountGaps>> upper{edges, width, height, variant,
                                              UpperSweepRange(&parts, split * SampleRows), user, 0};
  CoveragePart<CountingUser<CountGaps>> lower{parts.lower.head, width, height, variant,
                                              LowerSweepRange(&parts, split * SampleRows), &lowerUser, 0};
  RunBeside(tasks, CoveragePart<CountingUser<CountGaps>>::Run, &lower, CoveragePart<CoverageUser<CountGaps>>::Run,
            &upper);
  int ok = upper.swept;
  if (ok && SweepSplitAgrees(parts)) {
    for (int32_t row = split; row < height && ok; ++row) {
      uint8_t* band = counts + uint32_t(row - split) * stride;
      ok = EmitCoverageRow(band, width, &user->band->rows[row], user->bandPool, &user->bandLowest, &user->bandHighest);
      if constexpr (CountGaps)
        if (ok) ok = EmitCoverageRow(band + bandBytes, width, &user->gapRows[row], &gMainSpanPool, &user->gapLowest,
                                     &user->gapHighest);
    }
  } else if (ok) {
    ok = SweepBands(edges, width, height, variant, nullptr, *user, ResumedSweepRange(parts));
  }
  FreeBlockOf(counts);
  ReleaseSweepSplit(&parts);
  return ok;
}

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

int RasteriseInnerBands(BandEdge* edges, ElementBuffer* inner, ElementBuffer** mainField, const TaskRunner* tasks) {
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
  int ok = SweepCoverage(edges, width, height, SweepVariant::Inner, &user, tasks);
  FreeBlockOf(counts);
  if (ok) ok = MakeMainBuffer(mainRows, user.gapLowest, user.gapHighest, inner, mainField);
  if (!ok) {
    FreeSpanRows(mainRows, height);
    FreeBlockOf(mainRows);
  }
  return ok;
}

int RasteriseOuterBands(BandEdge* edges, ElementBuffer* outer, const TaskRunner* tasks) {
  const int32_t width = outer->width;
  auto* counts = static_cast<uint8_t*>(NewClearedBlock(static_cast<uint32_t>(width) + 1));
  if (counts == nullptr) return 0;
  CoverageUser<false> user = {counts, nullptr, width, outer, &gOuterSpanPool, nullptr, width, 0, width, 0};
  int ok = SweepCoverage(edges, width, outer->height, SweepVariant::Outer, &user, tasks);
  FreeBlockOf(counts);
  return ok;
}
