// What the style dialog's standard controls show: the element controls, the
// material controls, the map list and the layer controls, each filled from the
// portable rules (ui/StyleEdits.h, ui/MapLayerEdits.h).
#include <windows.h>

#include "frame/RunGlobals.h"
#include "maps/MapLayer.h"
#include "resources/MainDialogIds.h"
#include "style/StyleRecord.h"
#include "ui/MapLayerEdits.h"
#include "ui/StyleEdits.h"
#include "ui/win32/DialogWindows.h"
#include "ui/win32/MainDialogState.h"

MainDialogState gMainDialog;

namespace {
HWND Item(int32_t id) { return GetDlgItem(gMainDialog.dialog, id); }

void ShowRange(int32_t first, int32_t last, bool shown) {
  for (int32_t id = first; id <= last; ++id)
    if (HWND item = Item(id)) ShowWindow(item, shown ? SW_SHOW : SW_HIDE);
}

void SetSlider(int32_t id, int32_t value) {
  if (HWND slider = Item(id)) SendMessageA(slider, SliderSetValueMessage, 0, value);
}

void Check(int32_t id, bool on) { CheckDlgButton(gMainDialog.dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
void Enable(int32_t id, bool on) {
  if (HWND item = Item(id)) EnableWindow(item, on ? TRUE : FALSE);
}

void AddComboItem(HWND combo, const char* text, LPARAM data) {
  const LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (index >= 0) SendMessageA(combo, CB_SETITEMDATA, WPARAM(index), data);
}

const char* const RenderModeNames[] = {"Normal",        "Color",          "Reflection",       "Opacity",
                                       "Shininess",     "Shin. Strength", "Reflectivity",     "Reflection+Color",
                                       "Outer Distance", "Inner Distance"};
}  // namespace

void ShowMaterialControls(StyleRecord* style) {
  const ElementControls c = ElementControlsOf(style, SelectedElement(style));
  // The run globals name what the dialog edits, for whoever reads them.
  gRunGlobals->currentMaterial = EditedMaterial(style);
  for (int i = 0; i < 3; ++i) gRunGlobals->dialogFlags[i] = c.swatch[i];
  SetSlider(BF_IDC_OPACITY, c.opacity);
  SetSlider(BF_IDC_SHININESS, c.shininess);
  SetSlider(BF_IDC_SHIN_STRENGTH, c.shinStrength);
  SetSlider(BF_IDC_REFLECTIVITY, c.reflectivity);
  InvalidateRect(Item(BF_IDC_MATERIAL_SWATCH), nullptr, FALSE);
}

void ShowElementControls(StyleRecord* style, bool forced) {
  const ElementControls c = ElementControlsOf(style, SelectedElement(style));
  if (forced || c.bevelControls != gMainDialog.bevelControlsShown) {
    ShowRange(BF_IDC_BEVEL_FIRST, BF_IDC_BEVEL_LAST, c.bevelControls);
    // "Smooth Path" has no function and stays hidden.
    gMainDialog.bevelControlsShown = c.bevelControls;
  }
  HWND links = Item(BF_IDC_MATERIAL_LINK);
  SendMessageA(links, CB_RESETCONTENT, 0, 0);
  for (int32_t i = 0; i < c.linkCount; ++i) AddComboItem(links, c.links[i].text, c.links[i].link);
  SendMessageA(links, CB_SETCURSEL, WPARAM(c.linkSelected), 0);
  if (c.bevelControls) {
    CheckRadioButton(gMainDialog.dialog, BF_IDC_JOIN_ROUND, BF_IDC_JOIN_MITER, BF_IDC_JOIN_ROUND + c.join);
    SetDlgItemInt(gMainDialog.dialog, BF_IDC_MITER_LIMIT, UINT(c.miterLimit), FALSE);
    Enable(BF_IDC_MITER_LIMIT, c.miterEnabled);
    Check(BF_IDC_FLIP_H, c.flipHorizontal);
    Check(BF_IDC_FLIP_V, c.flipVertical);
    SetSlider(BF_IDC_SIZE, c.size);
    SetSlider(BF_IDC_DEPTH, c.depth);
    InvalidateRect(Item(BF_IDC_CONTOUR), nullptr, FALSE);
  }
  ShowMaterialControls(style);
}

void ShowLayerControls(StyleRecord* style, MapLayer* layer) {
  const LayerControls c = LayerControlsOf(style->mapLayers, layer);
  gMainDialog.selectedLayer = layer;
  gRunGlobals->dialogPointer = layer;
  if (!c.visible) {
    ShowRange(BF_IDC_LAYER_FIRST, BF_IDC_LAYER_LAST, false);
    gMainDialog.layerControlsShown = false;
    return;
  }
  if (!gMainDialog.layerControlsShown) ShowRange(BF_IDC_LAYER_FIRST, BF_IDC_LAYER_LAST, true);
  gMainDialog.layerControlsShown = true;
  for (int32_t e = 0; e < ElementCount; ++e) Check(BF_IDC_APPLY_MAIN + e, c.applyTo[e]);
  Check(BF_IDC_INVERT_MAP, c.invert);
  Check(BF_IDC_ALPHA_AS_RGB, c.alphaAsRgb);
  CheckRadioButton(gMainDialog.dialog, BF_IDC_ALPHA_IMAGE, BF_IDC_ALPHA_IMAGE + 2, BF_IDC_ALPHA_IMAGE + c.alphaOutput);
  SetSlider(BF_IDC_AMOUNT, c.amount);

  HWND placement = Item(BF_IDC_PLACEMENT);
  SendMessageA(placement, CB_RESETCONTENT, 0, 0);
  for (int32_t item = 0; item < PlacementModeCount(*layer); ++item) AddComboItem(placement, PlacementModeName(item), 0);
  char line[MapLineCapacity];
  for (MapLayer* t = NextPlacementTarget(style->mapLayers, layer, nullptr); t != nullptr;
       t = NextPlacementTarget(style->mapLayers, layer, t)) {
    MapLayerLine(*t, line, sizeof line);
    AddComboItem(placement, line, reinterpret_cast<LPARAM>(t));
  }
  SendMessageA(placement, CB_SETCURSEL, WPARAM(c.placementItem), 0);
  Enable(BF_IDC_PLACEMENT, c.placementEnabled);
  Enable(BF_IDC_LAYER_IMAGE, c.imageButtonEnabled);
  Enable(BF_IDC_ALPHA_IMAGE, c.imageAlphaEnabled);
  Enable(BF_IDC_ALPHA_IMAGE + 1, c.otherOutputsEnabled);
  Enable(BF_IDC_ALPHA_IMAGE + 2, c.otherOutputsEnabled);
  Enable(BF_IDC_ALPHA_AS_RGB, c.alphaAsRgbEnabled);
  SetDlgItemTextA(gMainDialog.dialog, BF_IDC_LAYER_IMAGE, c.imageText);
}

void FillMapList(StyleRecord* style, MapLayer* layer) {
  HWND list = Item(BF_IDC_MAP_LIST);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  char line[MapLineCapacity];
  int32_t selected = -1, index = 0;
  for (MapLayer* l = style->mapLayers; l != nullptr; l = l->next, ++index) {
    MapLayerLine(*l, line, sizeof line);
    const LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    if (at >= 0) SendMessageA(list, LB_SETITEMDATA, WPARAM(at), reinterpret_cast<LPARAM>(l));
    if (l == layer) selected = index;
  }
  SendMessageA(list, LB_SETCURSEL, WPARAM(selected), 0);
  Enable(BF_IDC_REMOVE_LAYER, style->mapLayers != nullptr);
}

void FillRenderModes(const StyleRecord* style) {
  HWND combo = Item(BF_IDC_RENDER_MODE);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const char* name : RenderModeNames) AddComboItem(combo, name, 0);
  const int32_t mode = style->renderMode <= RenderInnerDistance ? style->renderMode : 0;
  SendMessageA(combo, CB_SETCURSEL, WPARAM(mode), 0);
}

HMENU BuildMapKindMenu() {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  const struct {
    uint32_t kind;
    const char* text;
  } kinds[] = {{BackgroundLayer | ColorMapLayer, "Background"}, {ColorMapLayer, "Color Map"},
               {OpacityMapLayer, "Opacity Map"},                {ShininessMapLayer, "Shininess Map"},
               {ShinStrengthMapLayer, "Shin. Strength Map"},    {ReflectivityMapLayer, "Reflectivity Map"},
               {BumpMapLayer, "Bump Map"}};
  for (const auto& k : kinds) AppendMenuA(menu, MF_STRING, k.kind, k.text);
  return menu;
}
