#include "bevel/SweepSplit.h"

#include "core/WorkMemory.h"

int PrepareSweepSplit(const BandEdge* edges, int32_t row, SweepSplit* split) {
  *split = SweepSplit{};
  split->upperStop.row = -1;
  uint32_t count = 0;
  for (const BandEdge* edge = edges; edge != nullptr; edge = edge->next) ++count;
  if (!CopyBandEdges(edges, &split->lower, row)) return 0;
  split->upperState.capacity = split->lowerState.capacity = count;
  const uint32_t bytes = count * uint32_t(sizeof(const BandEdge*)) + 1;
  split->upperState.order = static_cast<const BandEdge**>(NewBlock(bytes));
  if (split->upperState.order != nullptr) split->lowerState.order = static_cast<const BandEdge**>(NewBlock(bytes));
  return split->lowerState.order != nullptr ? 1 : 0;
}

SweepRange UpperSweepRange(SweepSplit* split, int32_t row) {
  SweepRange range;
  range.stopRow = row;
  range.stopState = &split->upperState;
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
  const SweepRowState& a = split.upperState;
  const SweepRowState& b = split.lowerState;
  if (split.upperStop.row < 0) return false;
  if (a.counter != b.counter || a.count != b.count || a.count > a.capacity || b.count > b.capacity) return false;
  for (uint32_t i = 0; i < a.count; ++i)
    if (a.order[i] != split.lower.originals[b.order[i] - split.lower.edges]) return false;
  return true;
}

SweepRange ResumedSweepRange(const SweepSplit& split) {
  SweepRange range;
  range.resume = &split.upperStop;
  return range;
}

void ReleaseSweepSplit(SweepSplit* split) {
  FreeBlockOf(split->lowerState.order);
  FreeBlockOf(split->upperState.order);
  FreeBandEdgeCopy(&split->lower);
}
