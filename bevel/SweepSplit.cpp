#include "bevel/SweepSplit.h"

#include "core/WorkMemory.h"

int PrepareSweepSplit(const BandEdge* edges, int32_t row, SweepSplit* split) {
  *split = SweepSplit{};
  split->upperStop.row = -1;
  if (!CopyBandEdges(edges, &split->lower, row)) return 0;
  // The lower part's opening edges are copies: at most all of them.
  split->lowerState.capacity = split->lower.edgeCount;
  const uint32_t bytes = split->lower.edgeCount * uint32_t(sizeof(const BandEdge*)) + 1;
  split->lowerState.order = static_cast<const BandEdge**>(NewBlock(bytes));
  return split->lowerState.order != nullptr ? 1 : 0;
}

SweepRange UpperSweepRange(SweepSplit* split, int32_t row) {
  SweepRange range;
  range.stopRow = row;
  range.stopCursor = &split->upperStop;
  return range;
}

SweepRange LowerSweepRange(SweepSplit* split, int32_t row) {
  SweepRange range;
  range.firstRow = row;
  range.firstState = &split->lowerState;
  return range;
}

bool SweepSplitAgrees(const SweepSplit& split) {
  // The upper part's opening edges wait at the split row, in its list, as the part stopped.
  const SweepCursor& a = split.upperStop;
  const SweepRowState& b = split.lowerState;
  if (a.row < 0 || a.counter != b.counter || b.count > b.capacity) return false;
  uint32_t i = 0;
  for (const BandEdge* edge = a.opening; edge != nullptr; edge = edge->nextOpening, ++i)
    if (i == b.count || edge != split.lower.originals[b.order[i] - split.lower.edges]) return false;
  return i == b.count;
}

SweepRange ResumedSweepRange(const SweepSplit& split) {
  SweepRange range;
  range.resume = &split.upperStop;
  return range;
}

void ReleaseSweepSplit(SweepSplit* split) {
  FreeBlockOf(split->lowerState.order);
  FreeBandEdgeCopy(&split->lower);
}
