// The map layer side of the style dialog: the lines of the map list, the
// placement list, what the layer controls show for the selected layer, and
// what each of them changes. Handlers write into the layer (or the style's
// list) and return what the run must do (ui/DialogAction.h). Placement that
// depends on the elements reads the bound map frame (maps/MapFrame.h).
#pragma once
#include <cstdint>

#include "maps/MapLayer.h"
#include "style/StyleRecord.h"
#include "ui/DialogAction.h"

// Room for a list line: the longest kind name, " - " and an image base name.
constexpr uint32_t MapLineCapacity = 300;

// The kind's name ("Color Map" .. "Bump Map"; kind 0 "Background").
const char* MapKindName(uint32_t kind);
// The layer's line in the map list (and in the placement list): "Background"
// for a Background layer, else the kind's name, " - " and the image's base
// name; the kind's name alone while the layer has no image.
void MapLayerLine(const MapLayer& layer, char* out, uint32_t capacity);

// The placement list of `layer`: items 0..2 are "Custom", "Fit" and "Tile"
// (a Background layer has "Custom" only); after them the layers `layer` may
// share its placement with: not itself, not a Background layer, with an
// image, and not following `layer`'s placement themselves.
int32_t PlacementModeCount(const MapLayer& layer);
const char* PlacementModeName(int32_t item);
// The next layer offered after `after` (null: the first), or null.
MapLayer* NextPlacementTarget(MapLayer* list, const MapLayer* layer, const MapLayer* after);
// The item that shows the layer's placement now.
int32_t PlacementItemOf(MapLayer* list, const MapLayer& layer);

// What the layer controls show for `layer` (null: they are hidden).
struct LayerControls {
  bool visible;
  bool applyTo[ElementCount];  // 300..302
  bool invert, alphaAsRgb;     // 303, 316
  int32_t alphaOutput;         // AlphaOutput: the checked one of 313..315
  int32_t amount;              // percent
  bool imageButtonEnabled;     // 304
  bool placementEnabled;       // 305
  bool imageAlphaEnabled;      // 313
  bool otherOutputsEnabled;    // 314, 315
  bool alphaAsRgbEnabled;      // 316
  int32_t placementItem;
  char imageText[MapLineCapacity];  // 304's text: the image's base name or "Invalid Image"
};
LayerControls LayerControlsOf(MapLayer* list, const MapLayer* layer);

// Layer handlers; `layer` is the selected layer of style->mapLayers.
DialogAction SetLayerApplyTo(StyleRecord* style, MapLayer* layer, int32_t element, bool on);
// InvertMap or ImageAlphaAsRgb.
DialogAction SetLayerFlag(MapLayer* layer, uint32_t flag, bool on);
DialogAction SetLayerAmount(MapLayer* layer, int32_t percent);
// RGB Intensity makes the image's maximum plane; without memory the layer
// keeps its output and MemFullErr is in the result cell.
DialogAction ChooseAlphaOutput(MapLayer* layer, int32_t output);
// Placement item 0..2 (Custom, Fit, Tile) or, with a `target` layer, the
// placement shared with it.
DialogAction ChoosePlacement(StyleRecord* style, MapLayer* layer, int32_t item, MapLayer* target);
// The user picked another image for the layer: `image` as loaded, or null
// when it could not be loaded (the layer then loses its image).
DialogAction ReplaceLayerImage(StyleRecord* style, MapLayer* layer, MapImage* image);

// A new layer of `kind` (a map kind, or BackgroundLayer | ColorMapLayer)
// over all three elements with `image`, placed at its own size in the
// middle of the image, appended to the list. Null without an image (nothing
// is made) or without memory (MemFullErr). *action: what shows it.
MapLayer* AddMapLayer(StyleRecord* style, uint32_t kind, MapImage* image, DialogAction* action);
// Unlinks and frees `layer`; the layers that shared its placement keep
// where they are (the first placed by hand, the others sharing the first).
// Returns the layer to select next: the one before it, else the new first.
MapLayer* RemoveMapLayer(StyleRecord* style, MapLayer* layer, DialogAction* action);
