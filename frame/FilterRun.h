// The start selector: the whole filter in one call.
#pragma once

// Checks the document, reads and traces the target path, builds and renders
// the elements, shows the dialog when the style asks for it, writes the result
// and saves the style. All outcome goes to the result cell; whatever the run
// built is released on the way out as far as the run's state requires (after
// success the render buffers, map layers and image cache stay for the finish
// selector).
void RunFilter();

struct DirectionTable;
// The unit vectors of the band direction angles; made once per run before the
// first offset, read by the renderer.
extern DirectionTable gDirectionTable;
