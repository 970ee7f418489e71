// What the open style dialog keeps besides the style record, and the calls by
// which its files (MainDialog.cpp: opening, commands; DialogControls.cpp: what
// the controls show) share it. There is one style dialog at a time.
#pragma once
#include <windows.h>

#include <cstdint>

struct MapLayer;
struct StyleRecord;

struct MainDialogState {
  HWND dialog;
  HWND preview;
  HWND reflection;
  HWND lights[3];
  MapLayer* selectedLayer;  // the map list's selection, or null
  HMENU kindMenu;           // the map kinds popup of button 7
  HFONT customFont;         // "ADMUI3Sm" when installed, else null
  HFONT boldFont;           // the group boxes' font
  int32_t zoomStep;
  bool bevelControlsShown;
  bool layerControlsShown;
};
extern MainDialogState gMainDialog;

// The element controls for the selected element; `forced` shows or hides the
// bevel controls even when the element did not change kind.
void ShowElementControls(StyleRecord* style, bool forced);
// Only the material controls (sliders and swatch) of the selected element.
void ShowMaterialControls(StyleRecord* style);
// The layer controls for `layer` (null: hidden); remembers it as selected.
void ShowLayerControls(StyleRecord* style, MapLayer* layer);
// Refills the map list and selects `layer`'s line (none when null).
void FillMapList(StyleRecord* style, MapLayer* layer);
// Fills the render mode list and selects the style's mode.
void FillRenderModes(const StyleRecord* style);
// The map kind popup (its command ids are the new layer's kind flags).
HMENU BuildMapKindMenu();
