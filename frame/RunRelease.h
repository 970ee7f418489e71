// The three release routines of a run. Everything a run builds hangs from the
// run globals (and the style record's two run pointers); these routines are
// the only places that let go of it.
#pragma once

// Clears the run's pointers to objects of an earlier run without freeing
// anything: outlines, preview buffers, element rasters, image cache, dialog
// pointer, and the style record's map layers and reflection image. Points
// currentMaterial at the style's first material. Needs the style record.
void PerRunReset();

// Frees what only the building of the elements and the dialog need: both
// outline sets with their node pools, the three element rasters with their
// span pools, and the preview buffers. The render and mask buffers survive.
void PostDialogRelease();

// Frees everything of the run: the post-dialog release, then the style's map
// layers (its reflection image pointer is cleared; the image belongs to the
// cache), the image cache, the render buffer and the mask buffer. Safe to run
// more than once.
void RunCleanup();
