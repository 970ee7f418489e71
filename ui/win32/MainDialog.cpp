// The style dialog (resource 107): opening, layout, and the commands of its
// controls. What a control changes comes from the portable rules
// (ui/StyleEdits.h, ui/MapLayerEdits.h); the run carries out what they ask
// (frame/DialogRun.h); the custom windows come from DialogWindows.h.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/WorkMemory.h"
#include "frame/DialogRun.h"
#include "frame/HostColorPicker.h"
#include "frame/RunGlobals.h"
#include "frame/RunStyleIo.h"
#include "frame/StyleHandle.h"
#include "interface/HostHooks.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "platform/FileDialogs.h"
#include "platform/HostHookLookup.h"
#include "platform/MessageBox.h"
#include "platform/ModuleInstance.h"
#include "platform/ShellOpen.h"
#include "resources/MainDialogIds.h"
#include "ui/DialogLayout.h"
#include "ui/MapLayerEdits.h"
#include "ui/PreviewZoom.h"
#include "ui/StyleEdits.h"
#include "ui/win32/DialogWindows.h"
#include "ui/win32/MainDialogState.h"

namespace {
constexpr int32_t DialogOk = IDOK, DialogFailed = IDCANCEL;
#define HelpFileName "BevelForge-Help.htm"
#define PresetsFolderName "Presets"

// The preset path of Load and Save: empty at the start of every run, so
// the file dialogs remember the last preset within a run.
char gPresetPath[FileDialogPathCapacity];

HINSTANCE Instance() { return static_cast<HINSTANCE>(ModuleInstance()); }
HWND Item(int32_t id) { return GetDlgItem(gMainDialog.dialog, id); }
bool Checked(int32_t id) { return IsDlgButtonChecked(gMainDialog.dialog, id) == BST_CHECKED; }

// Ends the dialog as failed when the run has failed (out of memory while
// rendering for it); 1 while it may go on.
int32_t StillRunning() {
  if (!RunFailed()) return 1;
  EndDialog(gMainDialog.dialog, DialogFailed);
  return 0;
}

// Carries out a handler's request: rebuild, refresh, render and show, or
// only redraw the preview's overlays.
void Perform(const DialogAction& action) {
  if (action.rebuild == BevelRebuild::None && action.materialFlags == 0 && action.renderMask == 0) {
    if (action.redrawPreview) RedrawPreview(gMainDialog.preview);
    return;
  }
  const HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const int32_t done = RunDialogRequest(action);
  SetCursor(previous);
  if (!done && !StillRunning()) return;
  RedrawPreview(gMainDialog.preview);
}

void FolderWith(const char* name, char* out, uint32_t capacity) {
  char folder[ModulePathCapacity];
  if (!ModuleFolder(folder, sizeof folder)) folder[0] = 0;
  std::snprintf(out, capacity, "%s%s", folder, name);
}

void ShowError(const char* text) {
  ShowMessageBox(text, "Error", MessageIconStop, reinterpret_cast<intptr_t>(GetActiveWindow()));
}

// ---- Opening ---------------------------------------------------------------------------------

// A control object could not be had: the run fails with -108 and the
// dialog ends with 2.
BOOL FailOpening() {
  if (!RunFailed()) SetResult(MemFullErr);
  EndDialog(gMainDialog.dialog, DialogFailed);
  return TRUE;
}

void SetButtonIcon(int32_t id, int32_t icon) {
  HANDLE image = LoadImageA(Instance(), MAKEINTRESOURCEA(icon), IMAGE_ICON, 16, 16, LR_SHARED);
  if (image != nullptr) SendMessageA(Item(id), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(image));
}

int CALLBACK FontExists(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, WPARAM(font), FALSE);
  return TRUE;
}

// The group boxes paint their frame and title only; some systems leave their
// inside unpainted, so they fill it with the dialog's face themselves. They
// clip the controls above them, which are all their siblings.
WNDPROC gGroupBoxProc;
LRESULT CALLBACK FilledGroupBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT client;
    GetClientRect(box, &client);
    FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  return CallWindowProcA(gGroupBoxProc, box, message, wParam, lParam);
}
void FillGroupBoxes() {
  for (int32_t id = BF_IDC_GROUP_FIRST; id <= BF_IDC_GROUP_LAST; ++id) {
    HWND box = Item(id);
    if (box == nullptr) continue;
    SetWindowLongPtrA(box, GWL_STYLE, GetWindowLongPtrA(box, GWL_STYLE) | WS_CLIPSIBLINGS);
    gGroupBoxProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FilledGroupBoxProc)));
  }
}

// "ADMUI3Sm" where it is installed, with the dialog font's metrics, for every
// child; a bold copy for the group boxes.
void SetUpFonts(HWND dialog) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  LOGFONTA metrics{};
  if (font == nullptr || GetObjectA(font, sizeof metrics, &metrics) == 0) return;
  bool installed = false;
  LOGFONTA wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  std::snprintf(wanted.lfFaceName, sizeof wanted.lfFaceName, "ADMUI3Sm");
  HDC dc = GetDC(dialog);
  EnumFontFamiliesExA(dc, &wanted, FontExists, reinterpret_cast<LPARAM>(&installed), 0);
  ReleaseDC(dialog, dc);
  if (installed) {
    std::snprintf(metrics.lfFaceName, sizeof metrics.lfFaceName, "ADMUI3Sm");
    gMainDialog.customFont = CreateFontIndirectA(&metrics);
    if (gMainDialog.customFont != nullptr) {
      font = gMainDialog.customFont;
      EnumChildWindows(dialog, SetChildFont, reinterpret_cast<LPARAM>(font));
    }
  }
  metrics.lfWeight = FW_BOLD;
  gMainDialog.boldFont = CreateFontIndirectA(&metrics);
  if (gMainDialog.boldFont != nullptr)
    for (int32_t id = BF_IDC_GROUP_FIRST; id <= BF_IDC_GROUP_LAST; ++id)
      SendMessageA(Item(id), WM_SETFONT, WPARAM(gMainDialog.boldFont), FALSE);
}

// The window size whose client area is width × height.
SIZE OuterSize(HWND dialog, int32_t width, int32_t height) {
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                     DWORD(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void PlaceWindow(HWND dialog, HWND owner) {
  RunGlobals* globals = gRunGlobals;
  int32_t width = globals->dialogWidth, height = globals->dialogHeight;
  ClampDialogSize(&width, &height);
  const SIZE outer = OuterSize(dialog, width, height);
  RECT host{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner != nullptr && GetClientRect(owner, &host)) MapWindowPoints(owner, nullptr, reinterpret_cast<POINT*>(&host), 2);
  const bool sizing = (GetWindowLongPtrA(dialog, GWL_STYLE) & WS_THICKFRAME) != 0;
  int32_t x, y;
  PlaceDialog(ScreenRect{host.left, host.top, host.right, host.bottom}, outer.cx, outer.cy,
              GetSystemMetrics(SM_CXSIZE), sizing, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &x, &y);
  SetWindowPos(dialog, nullptr, x, y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Layout(int32_t width, int32_t height) {
  ControlPlace places[LayoutControlCount];
  DialogLayout(width, height, places);
  HDWP moves = BeginDeferWindowPos(LayoutControlCount);
  for (const ControlPlace& p : places) {
    HWND item = Item(p.id);
    if (item == nullptr || moves == nullptr) continue;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (p.x < 0) flags |= SWP_NOMOVE;
    if (p.width <= 0) flags |= SWP_NOSIZE;
    moves = DeferWindowPos(moves, item, nullptr, p.x, p.y, p.width, p.height, flags);
  }
  if (moves != nullptr) EndDeferWindowPos(moves);
  // The rows that moved leave their old places behind.
  InvalidateRect(gMainDialog.dialog, nullptr, TRUE);
}

// The custom windows' places are pixels of the dialog font's usual metrics
// (6 × 13 pixels per 4 × 8 dialog units); a system that measures the font
// otherwise moves them with the template's controls.
POINT DialogPixels(HWND dialog, int32_t x, int32_t y) {
  RECT units{0, 0, 4, 8};
  if (!MapDialogRect(dialog, &units) || units.right <= 0 || units.bottom <= 0) return POINT{x, y};
  return POINT{MulDiv(x, units.right, 6), MulDiv(y, units.bottom, 13)};
}

BOOL OpenDialog(HWND dialog) {
  gMainDialog = MainDialogState{};
  gMainDialog.dialog = dialog;
  gMainDialog.zoomStep = DefaultZoomStep;
  StyleRecord* style = CurrentStyle();
  HINSTANCE instance = Instance();
  if (style == nullptr || !RegisterControlClasses(instance)) return FailOpening();
  for (int32_t i = 0; i < 3; ++i) {
    const POINT at = DialogPixels(dialog, 268 + 74 * i, 26);
    gMainDialog.lights[i] = CreateLightSphere(dialog, BF_IDC_LIGHT1 + i, at.x, at.y, &style->lights[i]);
    if (gMainDialog.lights[i] == nullptr) return FailOpening();
  }
  const POINT reflectionAt = DialogPixels(dialog, 500, 26);
  gMainDialog.reflection =
      CreateReflectionSphere(dialog, BF_IDC_REFLECTION, reflectionAt.x, reflectionAt.y, style->reflectionImage);
  if (gMainDialog.reflection == nullptr) return FailOpening();
  const struct {
    int32_t id, x, y, track;
    SliderKind kind;
    bool visible;
  } sliders[] = {{BF_IDC_OPACITY, 90, 175, 100, SliderKind::Linear, true},
                 {BF_IDC_SHININESS, 90, 193, 100, SliderKind::Linear, true},
                 {BF_IDC_SHIN_STRENGTH, 90, 211, 100, SliderKind::Linear, true},
                 {BF_IDC_REFLECTIVITY, 90, 229, 100, SliderKind::Linear, true},
                 {BF_IDC_AMOUNT, 54, 371, 100, SliderKind::Linear, false},
                 {BF_IDC_DEPTH, 50, 94, 140, SliderKind::Depth, false},
                 {BF_IDC_SIZE, 50, 112, 140, SliderKind::Size, false}};
  for (const auto& s : sliders) {
    const POINT at = DialogPixels(dialog, s.x, s.y);
    if (CreateSlider(dialog, s.id, at.x, at.y, s.track, s.kind, s.visible) == nullptr) return FailOpening();
  }

  const int32_t icons[][2] = {{BF_IDC_TOOL_EDIT, BF_ICON_TOOL_EDIT},     {BF_IDC_TOOL_HAND, BF_ICON_TOOL_HAND},
                              {BF_IDC_ADD_LAYER, BF_ICON_ADD_LAYER},     {BF_IDC_REMOVE_LAYER, BF_ICON_REMOVE_LAYER},
                              {BF_IDC_JOIN_ROUND, BF_ICON_JOIN_ROUND},   {BF_IDC_JOIN_BEVEL, BF_ICON_JOIN_BEVEL},
                              {BF_IDC_JOIN_MITER, BF_ICON_JOIN_MITER},   {BF_IDC_HELP, BF_ICON_HELP}};
  for (const auto& icon : icons) SetButtonIcon(icon[0], icon[1]);
  CheckRadioButton(dialog, BF_IDC_TOOL_EDIT, BF_IDC_TOOL_HAND, BF_IDC_TOOL_EDIT);
  CheckDlgButton(dialog, BF_IDC_SHOW_PATH, (style->viewFlags & ShowPathFlag) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, BF_IDC_SHOW_MAPPING, (style->viewFlags & ShowMappingFlag) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, BF_IDC_ANTI_ALIASING, (style->viewFlags & AntiAliasingFlag) ? BST_CHECKED : BST_UNCHECKED);

  if (!LoadContourBitmaps(instance)) return FailOpening();
  FillRenderModes(style);
  gMainDialog.kindMenu = BuildMapKindMenu();
  if (gMainDialog.kindMenu == nullptr) return FailOpening();
  FillMapList(style, style->mapLayers);
  ShowLayerControls(style, style->mapLayers);

  ShowElementControls(style, true);
  if (CreateElementTabs(dialog, BF_IDC_TABS, SelectedElement(style)) == nullptr) return FailOpening();
  if (!RegisterPreviewClass(instance)) return FailOpening();
  gMainDialog.preview = CreatePreviewWindow(dialog, BF_IDC_PREVIEW);
  if (gMainDialog.preview == nullptr) return FailOpening();
  SetPreviewZoom(dialog, gMainDialog.preview, gMainDialog.zoomStep);
  CreateWindowExA(0, "SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN, 0, 0,
                  16, 16, dialog, reinterpret_cast<HMENU>(INT_PTR(BF_IDC_SIZE_GRIP)), instance, nullptr);
  SetUpFonts(dialog);
  FillGroupBoxes();
  PlaceWindow(dialog, GetParent(dialog));
  RECT client;
  GetClientRect(dialog, &client);
  Layout(client.right, client.bottom);
  if (const auto shown = reinterpret_cast<HostDialogShownHook>(FindHostHook(HostDialogShownHookName)))
    shown(dialog, BF_DLG_MAIN);
  return TRUE;
}

// ---- Commands --------------------------------------------------------------------------------

int32_t ContourFlags(const StyleRecord* style) {
  const int32_t element = SelectedElement(style);
  return element == MainElement ? 0 : style->bevels[element - 1].bevelFlags;
}

void PickMaterialColor(StyleRecord* style) {
  uint8_t rgb[3];
  const ElementControls controls = ElementControlsOf(style, SelectedElement(style));
  for (int c = 0; c < 3; ++c) rgb[c] = controls.swatch[c];
  if (!PickHostColor(rgb)) return;
  InvalidateRect(Item(BF_IDC_MATERIAL_SWATCH), nullptr, FALSE);
  Perform(SetMaterialColor(style, rgb));
}

void PickAmbientColor(StyleRecord* style) {
  uint8_t rgb[3] = {style->ambientColor[0], style->ambientColor[1], style->ambientColor[2]};
  if (!PickHostColor(rgb)) return;
  const DialogAction action = SetAmbientColor(style, rgb);
  InvalidateRect(Item(BF_IDC_AMBIENT_SWATCH), nullptr, FALSE);
  Perform(action);
}

// An image the user picks, starting from `current` (a path, or empty for the
// Maps folder); null when cancelled or not loaded.
MapImage* PickImage(const char* current, int32_t wantMax) {
  char path[FileDialogPathCapacity];
  std::snprintf(path, sizeof path, "%s", current != nullptr ? current : "");
  char maps[MapsFolderCapacity];
  RunStyleIo(maps);
  if (!RunFileDialog(gMainDialog.dialog, FileDialogKind::OpenImage, path, sizeof path, maps)) return nullptr;
  return LoadRunImage(path, wantMax);
}

void ChooseReflectionImage(StyleRecord* style) {
  MapImage* image = PickImage(style->reflectionImage != nullptr ? style->reflectionImage->name : "", 0);
  if (!StillRunning() || image == nullptr) return;
  Perform(ChooseReflection(style, image));
  BindReflectionSphere(gMainDialog.reflection, style->reflectionImage);
  PurgeRunImages();
}

void SelectLayer(StyleRecord* style, MapLayer* layer) {
  FillMapList(style, layer);
  ShowLayerControls(style, layer);
}

void AddLayer(StyleRecord* style) {
  RECT button;
  GetWindowRect(Item(BF_IDC_ADD_LAYER), &button);
  const int32_t kind = RunPopupMenu(gMainDialog.dialog, gMainDialog.kindMenu, BF_MENU_MAP_KINDS, button.right, button.top);
  if (kind <= 0) return;
  MapImage* image = (kind & BackgroundLayer) ? RunBackgroundImage() : PickImage("", uint32_t(kind) != ColorMapLayer);
  if (!StillRunning()) return;
  DialogAction action;
  MapLayer* layer = AddMapLayer(style, uint32_t(kind), image, &action);
  if (!StillRunning() || layer == nullptr) return;
  SelectLayer(style, layer);
  Perform(action);
}

void RemoveLayer(StyleRecord* style) {
  if (gMainDialog.selectedLayer == nullptr) return;
  DialogAction action;
  MapLayer* next = RemoveMapLayer(style, gMainDialog.selectedLayer, &action);
  gMainDialog.selectedLayer = nullptr;
  Perform(action);
  SelectLayer(style, next);
  PurgeRunImages();
}

void ChangeLayerImage(StyleRecord* style) {
  MapLayer* layer = gMainDialog.selectedLayer;
  if (layer == nullptr) return;
  char current[MapImageNameCapacity] = "";
  if (layer->image != nullptr) std::snprintf(current, sizeof current, "%s", layer->image->name);
  char path[FileDialogPathCapacity];
  std::snprintf(path, sizeof path, "%s", current);
  char maps[MapsFolderCapacity];
  RunStyleIo(maps);
  if (!RunFileDialog(gMainDialog.dialog, FileDialogKind::OpenImage, path, sizeof path, maps)) return;
  MapImage* image = LoadRunImage(path, LayerWantsMaxPlane(*layer));
  if (!StillRunning() || (image != nullptr && image == layer->image)) return;
  Perform(ReplaceLayerImage(style, layer, image));
  SelectLayer(style, layer);
  PurgeRunImages();
}

void ChoosePlacementItem(StyleRecord* style) {
  MapLayer* layer = gMainDialog.selectedLayer;
  if (layer == nullptr) return;
  HWND combo = Item(BF_IDC_PLACEMENT);
  const int32_t item = int32_t(SendMessageA(combo, CB_GETCURSEL, 0, 0));
  if (item < 0) return;
  MapLayer* target =
      item >= PlacementModeCount(*layer) ? reinterpret_cast<MapLayer*>(SendMessageA(combo, CB_GETITEMDATA, WPARAM(item), 0)) : nullptr;
  Perform(ChoosePlacement(style, layer, item, target));
  RedrawPreview(gMainDialog.preview);
}

void LoadPreset(StyleRecord* style) {
  char presets[ModulePathCapacity + sizeof PresetsFolderName + 1];
  FolderWith(PresetsFolderName, presets, sizeof presets);
  std::snprintf(presets + std::strlen(presets), sizeof presets - std::strlen(presets), "%c", PathSeparator);
  if (!RunFileDialog(gMainDialog.dialog, FileDialogKind::LoadPreset, gPresetPath, sizeof gPresetPath, presets)) return;
  // Reading the preset replaces the map layers: the selection goes first
  // (a file that cannot be read leaves the layers, and it comes back).
  MapLayer* selected = gMainDialog.selectedLayer;
  if (selected != nullptr) ShowLayerControls(style, nullptr);
  const HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const int32_t loaded = LoadRunPreset(gPresetPath);
  SetCursor(previous);
  if (!StillRunning()) return;
  if (!loaded) {
    if (selected != nullptr) ShowLayerControls(style, selected);
    ShowError("Could not open Preset file!");
    return;
  }
  ShowElementControls(style, true);
  for (int32_t i = 0; i < 3; ++i) BindLightSphere(gMainDialog.lights[i], &style->lights[i]);
  InvalidateRect(Item(BF_IDC_AMBIENT_SWATCH), nullptr, FALSE);
  BindReflectionSphere(gMainDialog.reflection, style->reflectionImage);
  PurgeRunImages();
  SelectLayer(style, style->mapLayers);
  RedrawPreview(gMainDialog.preview);
}

void SavePreset() {
  char presets[ModulePathCapacity + sizeof PresetsFolderName + 1];
  FolderWith(PresetsFolderName, presets, sizeof presets);
  std::snprintf(presets + std::strlen(presets), sizeof presets - std::strlen(presets), "%c", PathSeparator);
  if (!RunFileDialog(gMainDialog.dialog, FileDialogKind::SavePreset, gPresetPath, sizeof gPresetPath, presets)) return;
  if (SaveRunPreset(gPresetPath)) return;
  char text[FileDialogPathCapacity + 32];
  std::snprintf(text, sizeof text, "Could not save %s!", gPresetPath);
  ShowError(text);
}

void OpenHelp() {
  char path[ModulePathCapacity + sizeof HelpFileName];
  FolderWith(HelpFileName, path, sizeof path);
  ShellOpen(path);
}

void Zoom(int32_t change) {
  const int32_t step = ClampZoomStep(gMainDialog.zoomStep + change);
  if (step == gMainDialog.zoomStep) return;
  gMainDialog.zoomStep = step;
  SetPreviewZoom(gMainDialog.dialog, gMainDialog.preview, step);
}

void Command(StyleRecord* style, int32_t id, int32_t code, HWND control) {
  switch (id) {
    case IDOK:
    case IDCANCEL: EndDialog(gMainDialog.dialog, id); return;
    case BF_IDC_LOAD: LoadPreset(style); return;
    case BF_IDC_SAVE: SavePreset(); return;
    case BF_IDC_HELP: OpenHelp(); return;
    case BF_IDC_TOOL_EDIT:
    case BF_IDC_TOOL_HAND: SetPreviewTool(gMainDialog.preview, id); return;
    case BF_IDC_ZOOM_IN: Zoom(1); return;
    case BF_IDC_ZOOM_OUT: Zoom(-1); return;
    case BF_IDC_ADD_LAYER: AddLayer(style); return;
    case BF_IDC_REMOVE_LAYER: RemoveLayer(style); return;
    case BF_IDC_LAYER_IMAGE: ChangeLayerImage(style); return;
    case BF_IDC_REFLECTION: ChooseReflectionImage(style); return;
    case BF_IDC_MATERIAL_SWATCH: PickMaterialColor(style); return;
    case BF_IDC_AMBIENT_SWATCH: PickAmbientColor(style); return;
    case BF_IDC_CONTOUR: OpenContourPicker(gMainDialog.dialog, control); return;
    case BF_IDC_SHOW_PATH: Perform(SetViewFlag(style, ShowPathFlag, Checked(id))); return;
    case BF_IDC_SHOW_MAPPING: Perform(SetViewFlag(style, ShowMappingFlag, Checked(id))); return;
    case BF_IDC_ANTI_ALIASING: Perform(SetViewFlag(style, AntiAliasingFlag, Checked(id))); return;
    case BF_IDC_JOIN_ROUND:
    case BF_IDC_JOIN_BEVEL:
    case BF_IDC_JOIN_MITER:
      CheckRadioButton(gMainDialog.dialog, BF_IDC_JOIN_ROUND, BF_IDC_JOIN_MITER, id);
      EnableWindow(Item(BF_IDC_MITER_LIMIT), id == BF_IDC_JOIN_MITER);
      Perform(ChooseJoin(style, id - BF_IDC_JOIN_ROUND));
      return;
    case BF_IDC_FLIP_H:
    case BF_IDC_FLIP_V: {
      const DialogAction action = SetBevelFlips(style, Checked(BF_IDC_FLIP_H), Checked(BF_IDC_FLIP_V));
      InvalidateRect(Item(BF_IDC_CONTOUR), nullptr, FALSE);
      Perform(action);
      return;
    }
    case BF_IDC_MITER_LIMIT:
      if (code == EN_KILLFOCUS) {
        char text[32], shown[32];
        GetDlgItemTextA(gMainDialog.dialog, id, text, sizeof text);
        const DialogAction action = EnterMiterLimit(style, text, shown, sizeof shown);
        SetDlgItemTextA(gMainDialog.dialog, id, shown);
        Perform(action);
      }
      return;
    case BF_IDC_MATERIAL_LINK:
      if (code == CBN_SELCHANGE) {
        const LRESULT item = SendMessageA(control, CB_GETCURSEL, 0, 0);
        if (item < 0) return;
        const DialogAction action = ChooseMaterialLink(style, int32_t(SendMessageA(control, CB_GETITEMDATA, WPARAM(item), 0)));
        ShowMaterialControls(style);
        Perform(action);
      }
      return;
    case BF_IDC_RENDER_MODE:
      if (code == CBN_SELCHANGE) Perform(ChooseRenderMode(style, int32_t(SendMessageA(control, CB_GETCURSEL, 0, 0))));
      return;
    case BF_IDC_MAP_LIST:
      if (code == LBN_SELCHANGE) {
        const LRESULT item = SendMessageA(control, LB_GETCURSEL, 0, 0);
        if (item < 0) return;
        ShowLayerControls(style, reinterpret_cast<MapLayer*>(SendMessageA(control, LB_GETITEMDATA, WPARAM(item), 0)));
        RedrawPreview(gMainDialog.preview);
      }
      return;
    case BF_IDC_PLACEMENT:
      if (code == CBN_SELCHANGE) ChoosePlacementItem(style);
      return;
    default: break;
  }
  if (id >= BF_IDC_TABS && id < BF_IDC_TABS + ElementCount) {
    if (SelectElement(style, id - BF_IDC_TABS)) ShowElementControls(style, false);
    return;
  }
  MapLayer* layer = gMainDialog.selectedLayer;
  if (layer == nullptr) return;
  if (id >= BF_IDC_APPLY_MAIN && id < BF_IDC_APPLY_MAIN + ElementCount) {
    Perform(SetLayerApplyTo(style, layer, id - BF_IDC_APPLY_MAIN, Checked(id)));
  } else if (id == BF_IDC_INVERT_MAP || id == BF_IDC_ALPHA_AS_RGB) {
    Perform(SetLayerFlag(layer, id == BF_IDC_INVERT_MAP ? InvertMap : ImageAlphaAsRgb, Checked(id)));
  } else if (id >= BF_IDC_ALPHA_IMAGE && id <= BF_IDC_ALPHA_IMAGE + 2) {
    const DialogAction action = ChooseAlphaOutput(layer, id - BF_IDC_ALPHA_IMAGE);
    if (!StillRunning()) return;
    // Shows the output the layer has, also when the choice was refused.
    CheckRadioButton(gMainDialog.dialog, BF_IDC_ALPHA_IMAGE, BF_IDC_ALPHA_IMAGE + 2,
                     BF_IDC_ALPHA_IMAGE + int32_t(LayerAlphaOutput(*layer)));
    Perform(action);
  }
}

void SliderChanged(StyleRecord* style, HWND slider) {
  const int32_t id = GetDlgCtrlID(slider);
  const int32_t value = int32_t(SendMessageA(slider, SliderGetValueMessage, 0, 0));
  switch (id) {
    case BF_IDC_OPACITY: Perform(SetMaterialPercent(style, ChannelOpacity, value)); break;
    case BF_IDC_SHININESS: Perform(SetMaterialPercent(style, ChannelShininess, value)); break;
    case BF_IDC_SHIN_STRENGTH: Perform(SetMaterialPercent(style, ChannelShinStrength, value)); break;
    case BF_IDC_REFLECTIVITY: Perform(SetMaterialPercent(style, ChannelReflectivity, value)); break;
    case BF_IDC_SIZE: Perform(SetBevelSize(style, value)); break;
    case BF_IDC_DEPTH: Perform(SetBevelDepth(style, value)); break;
    case BF_IDC_AMOUNT:
      if (gMainDialog.selectedLayer != nullptr) Perform(SetLayerAmount(gMainDialog.selectedLayer, value));
      break;
    default: break;
  }
}

void FillSwatch(const DRAWITEMSTRUCT* item, const uint8_t rgb[3]) {
  HBRUSH brush = CreateSolidBrush(RGB(rgb[0], rgb[1], rgb[2]));
  if (brush == nullptr) return;
  FillRect(item->hDC, &item->rcItem, brush);
  DeleteObject(brush);
  FrameRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (item->itemState & ODS_FOCUS) {
    RECT inner = item->rcItem;
    InflateRect(&inner, -2, -2);
    DrawFocusRect(item->hDC, &inner);
  }
}

BOOL DrawItem(StyleRecord* style, const DRAWITEMSTRUCT* item) {
  switch (item->CtlID) {
    case BF_IDC_MATERIAL_SWATCH: {
      const ElementControls controls = ElementControlsOf(style, SelectedElement(style));
      FillSwatch(item, controls.swatch);
      return TRUE;
    }
    case BF_IDC_AMBIENT_SWATCH: FillSwatch(item, style->ambientColor); return TRUE;
    case BF_IDC_CONTOUR: DrawContourButton(item, uint16_t(ContourFlags(style))); return TRUE;
    default: return FALSE;
  }
}

void CloseDialog() {
  if (gMainDialog.boldFont != nullptr) DeleteObject(gMainDialog.boldFont);
  if (gMainDialog.customFont != nullptr) DeleteObject(gMainDialog.customFont);
  FreeContourBitmaps();
  if (gMainDialog.kindMenu != nullptr) DestroyMenu(gMainDialog.kindMenu);
  gMainDialog = MainDialogState{};
  gRunGlobals->dialogPointer = nullptr;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  StyleRecord* style = CurrentStyle();
  switch (message) {
    case WM_INITDIALOG: return OpenDialog(dialog);
    case WM_COMMAND:
      if (style != nullptr) Command(style, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_HSCROLL:
      if (style != nullptr && LOWORD(wParam) == SliderChangeEnded && lParam != 0)
        SliderChanged(style, reinterpret_cast<HWND>(lParam));
      return TRUE;
    case ContourChosenMessage:
      if (style != nullptr && int32_t(wParam) >= 0) {
        const DialogAction action = ChooseContour(style, int32_t(wParam));
        InvalidateRect(Item(BF_IDC_CONTOUR), nullptr, FALSE);
        Perform(action);
      }
      return TRUE;
    case ControlRenderMessage:
      Perform(DialogAction{BevelRebuild::None, 0, uint32_t(wParam), false});
      return TRUE;
    case PreviewSelectedLayerMessage:
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(gMainDialog.selectedLayer));
      return TRUE;
    case WM_DRAWITEM: return style != nullptr && DrawItem(style, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_SIZE:
      if (gMainDialog.preview != nullptr && wParam != SIZE_MINIMIZED) {
        gRunGlobals->dialogWidth = int16_t(LOWORD(lParam));
        gRunGlobals->dialogHeight = int16_t(HIWORD(lParam));
        Layout(LOWORD(lParam), HIWORD(lParam));
      }
      return TRUE;
    case WM_GETMINMAXINFO: {
      const SIZE smallest = OuterSize(dialog, MinDialogWidth, MinDialogHeight);
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{smallest.cx, smallest.cy};
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
      // Texts, check boxes and group boxes on the dialog's face.
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNTEXT));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_PRINTCLIENT: {
      // Themed controls draw the dialog's face behind them through this.
      RECT client;
      GetClientRect(dialog, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    case WM_ERASEBKGND: {
      // The preview paints all of its area itself: leaving it out of the
      // erase keeps it from flickering while the dialog is resized.
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT client, view;
      GetClientRect(dialog, &client);
      const int saved = SaveDC(dc);
      if (gMainDialog.preview != nullptr && GetWindowRect(gMainDialog.preview, &view)) {
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&view), 2);
        ExcludeClipRect(dc, view.left, view.top, view.right, view.bottom);
      }
      FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
      RestoreDC(dc, saved);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
      return TRUE;
    }
    case WM_SYSCOLORCHANGE: RefreshControlColours(dialog); return TRUE;
    case WM_DESTROY: CloseDialog(); return TRUE;
    default: return FALSE;
  }
}
}  // namespace

int32_t RunMainDialog(HWND owner) {
  gPresetPath[0] = 0;
  const INT_PTR ended =
      DialogBoxParamA(Instance(), MAKEINTRESOURCEA(BF_DLG_MAIN), owner, MainDialogProc, 0);
  // A dialog the system could not make is a dialog without memory.
  if (ended == -1 && !RunFailed()) SetResult(MemFullErr);
  return ended == DialogOk && !RunFailed() ? 1 : 0;
}
