// One band sweep done as two at once: the upper part sweeps from row 0 to a
// split row, the lower part from the split row on, each over its own copy of
// the bands (the sweep changes them in place). The lower part starts with
// its edges stepped into place; where the upper part arrives at the split
// row in another state (an outline counter other than 0 between rows, or
// edges tied in place and slope ordered otherwise) the parts disagree and
// the caller sweeps the original bands again in one part.
#pragma once
#include <cstdint>

#include "bevel/BandEdgeCopy.h"
#include "bevel/BandSweep.h"

struct SweepSplit {
  BandEdgeCopy upper, lower;
  SweepRowState upperState;  // where the upper part arrived at the split row
  SweepRowState lowerState;  // where the lower part began
};

// Copies the bands for both parts and makes room for their states. Returns 1,
// or 0 with MemFullErr set (ReleaseSweepSplit frees what was made).
int PrepareSweepSplit(const BandEdge* edges, SweepSplit* split);

// The rows of each part for a split at sample row `row`, with their states recorded.
SweepRange UpperSweepRange(SweepSplit* split, int32_t row);
SweepRange LowerSweepRange(SweepSplit* split, int32_t row);

// After both parts: whether the lower part began in the state the upper part reached.
bool SweepSplitAgrees(const SweepSplit& split);

void ReleaseSweepSplit(SweepSplit* split);
