// The band rasterisers: coverage of the Inner Bevel (with Main) and of the
// Outer Bevel from their band edges, through the band sweep. With a task
// runner the sweep may run in two parts at once (the same spans).
#pragma once

#include "bevel/ElementBuffer.h"
#include "core/TaskRunner.h"
#include "geometry/BandEdge.h"

// Sweeps the Inner bands (edges sorted, in the buffer's frame) into `inner`,
// whose frame and row array are set, and builds the Main buffer from the
// samples inside the inner outlines that no band covers: *mainField gets a
// new buffer around the Main coverage, in the same frame as `inner` (an empty
// buffer, width and height 0, when nothing is left for Main). Spans come from
// gInnerSpanPool and gMainSpanPool. Returns 1, or 0 with MemFullErr set: the
// Inner rows made so far stay in `inner`, the Main rows are freed.
int RasteriseInnerBands(BandEdge* edges, ElementBuffer* inner, ElementBuffer** mainField,
                        const TaskRunner* tasks = nullptr);

// Sweeps the Outer bands into `outer` (frame and row array set), spans from
// gOuterSpanPool. Returns 1, or 0 with MemFullErr set.
int RasteriseOuterBands(BandEdge* edges, ElementBuffer* outer, const TaskRunner* tasks = nullptr);
