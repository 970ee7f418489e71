// One band sweep done as two at once: the upper part sweeps the original
// bands from row 0 to a split row and stops there, the lower part sweeps a
// copy of the bands that reach the split row (the sweep changes bands in
// place) from the split row on, its edges stepped into place. Where the
// upper part arrives at the split row in another state (an outline counter
// other than 0 between rows, or edges tied in place and slope ordered
// otherwise) the parts disagree, and the caller goes on with the original
// bands from where the upper part stopped (ResumedSweepRange) over the lower
// part's rows again: the same sub-samples as one sweep, in every case.
#pragma once
#include <cstdint>

#include "bevel/BandEdgeCopy.h"
#include "bevel/BandSweep.h"

struct SweepSplit {
  BandEdgeCopy lower;        // the lower part's bands
  SweepCursor upperStop;     // where the upper part stopped, on the original bands: its state there
  SweepRowState lowerState;  // the state the lower part began with
};

// Copies the bands the lower part of a split at sample row `row` needs, and
// makes room for its state. Returns 1, or 0 with MemFullErr set
// (ReleaseSweepSplit frees what was made).
int PrepareSweepSplit(const BandEdge* edges, int32_t row, SweepSplit* split);

// The rows of each part for a split at sample row `row`, with their states
// kept: the upper part sweeps the original bands, the lower part `split->lower`.
SweepRange UpperSweepRange(SweepSplit* split, int32_t row);
SweepRange LowerSweepRange(SweepSplit* split, int32_t row);

// After both parts: whether the lower part began in the state the upper part reached.
bool SweepSplitAgrees(const SweepSplit& split);

// The original bands' sweep from the split row on, where the upper part stopped.
SweepRange ResumedSweepRange(const SweepSplit& split);

void ReleaseSweepSplit(SweepSplit* split);
