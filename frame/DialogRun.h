// The run side of the style dialog: what a control's request
// (ui/DialogAction.h) does to the run's elements, materials, render buffer and
// preview image, and the dialog's file work (presets, images) inside the run.
// Every call returns 1, or 0 with the code in the result cell.
#pragma once
#include <cstdint>

#include "ui/DialogAction.h"

struct MapImage;

// Rebuilds the bevel the action names (the map layers placed on the rebuilt
// elements follow them), refreshes the materials, renders the elements of
// the mask together with any whose materials the rebuild refreshed, and
// rebuilds the preview image. An action that renders nothing does nothing.
// Materials and rendering are preview requests (frame/RunRender.h): done
// where the preview shows, completed before the result is written.
int32_t RunDialogRequest(const DialogAction& action);

// Rebuilds one bevel as the dialog does after a size, join or miter change
// and returns in *renderMask the elements to shade again (the bevel's own,
// Main with the Inner Bevel, and those of map layers that moved with it).
int32_t RebuildRunBevel(BevelRebuild bevel, uint32_t* renderMask);

// Reads the preset at `path` into the style and brings the run up to it:
// both bevels rebuilt, the map layers resolved and placed, everything
// rendered and the preview rebuilt. Returns 0 with the result cell still 0
// when the file cannot be read (the style is unchanged).
int32_t LoadRunPreset(const char* path);
// Writes the style as a preset: 0 when the file cannot be written.
int32_t SaveRunPreset(const char* path);

// An image of the run's image cache for a map layer or the reflection; null
// when it cannot be read (said already) or memory runs out (MemFullErr).
MapImage* LoadRunImage(const char* path, int32_t wantMax);
// The document's own image for a Background layer, or null.
MapImage* RunBackgroundImage();
// Frees the cached images that no map layer and not the reflection uses.
void PurgeRunImages();
