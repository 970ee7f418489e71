#include "bevel/SweepSplit.h"

#include "core/WorkMemory.h"

int PrepareSweepSplit(const BandEdge* edges, SweepSplit* split) {
  *split = SweepSplit{};
  if (!CopyBandEdges(edges, &split->upper) || !CopyBandEdges(edges, &split->lower)) return 0;
  const uint32_t capacity = split->upper.edgeCount;
  split->upperState.capacity = split->lowerState.capacity = capacity;
  const uint32_t bytes = capacity * uint32_t(sizeof(const BandEdge*)) + 1;
  split->upperState.order = static_cast<const BandEdge**>(NewBlock(bytes));
  if (split->upperState.order != nullptr) split->lowerState.order = static_cast<const BandEdge**>(NewBlock(bytes));
  return split->lowerState.order != nullptr ? 1 : 0;
}

SweepRange UpperSweepRange(SweepSplit* split, int32_t row) {
  SweepRange range;
  range.stopRow = row;
  range.stopState = &split->upperState;
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
  if (a.counter != b.counter || a.count != b.count || a.count > a.capacity || b.count > b.capacity) return false;
  for (uint32_t i = 0; i < a.count; ++i)
    if (a.order[i] - split.upper.edges != b.order[i] - split.lower.edges) return false;
  return true;
}

void ReleaseSweepSplit(SweepSplit* split) {
  FreeBlockOf(split->lowerState.order);
  FreeBlockOf(split->upperState.order);
  FreeBandEdgeCopy(&split->lower);
  FreeBandEdgeCopy(&split->upper);
}
