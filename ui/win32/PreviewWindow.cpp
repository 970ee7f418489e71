// The preview window (ViewClass): paints the preview image through the host's
// display procedure, draws the path and placement frame overlays with an
// inverting pen, and runs the map edit and hand tools. The rules (geometry,
// scrolling, hit codes, drag math, cursors) live in ui/; this file only
// moves messages to them and pixels to the screen.
//
// One dialog is open at a time (it is modal), so the view's state is one
// module-wide record; the mouse state outlives the window as the tools expect.
#include <windows.h>
#include <windowsx.h>

#include "core/WorkMemory.h"
#include "frame/PreviewImage.h"
#include "frame/RunGlobals.h"
#include "frame/RunRender.h"
#include "frame/StyleHandle.h"
#include "geometry/OffsetNode.h"
#include "maps/MapPlacement.h"
#include "resources/ResourceIds.h"
#include "ui/PlacementDrag.h"
#include "ui/PlacementFrame.h"
#include "ui/PreviewGeometry.h"
#include "ui/PreviewTools.h"
#include "ui/PreviewZoom.h"
#include "ui/win32/DialogWindows.h"

namespace {
constexpr COLORREF PreviewGrey = RGB(0xC0, 0xC0, 0xC0);
constexpr int32_t PlacementListId = 305;  // the dialog's placement combo box; item 0 is "Custom"
constexpr int32_t ZoomInId = 401, ZoomOutId = 402, ZoomLabelId = 403;
constexpr int32_t HandleBoxHalf = 3;  // the squares drawn around the handles are 6 x 6

struct ViewState {
  HINSTANCE instance;
  int32_t tool = MapEditTool;  // chosen with the dialog's tool buttons
  int32_t dragTool = 0;        // the tool of the drag in progress; 0 = no drag
  uint32_t hitCode = HitOutside;
  POINT last{};                // the mouse at the last hover or drag step, client pixels
  RotationDrag rotation{};
  int32_t offsetX = 0, offsetY = 0;  // the preview area's top-left corner in the client area
};
ViewState gView;

RunGlobals* Globals() { return gRunGlobals; }

MapLayer* SelectedMapLayer(HWND dialog) {
  return reinterpret_cast<MapLayer*>(SendMessageA(dialog, PreviewSelectedLayerMessage, 0, 0));
}
float Zoom() { return ZoomFactor(Globals()->previewZoom); }

VRect SourceOf(const RunGlobals* g) {
  return VRect{g->previewSrcTop, g->previewSrcLeft, g->previewSrcBottom, g->previewSrcRight};
}

// The preview area centred in the client area wherever it is the smaller.
void CentrePreviewArea(HWND view) {
  RECT client;
  GetClientRect(view, &client);
  gView.offsetX = (client.right - Globals()->previewWidth) / 2;
  gView.offsetY = (client.bottom - Globals()->previewHeight) / 2;
  if (gView.offsetX < 0) gView.offsetX = 0;
  if (gView.offsetY < 0) gView.offsetY = 0;
}

// The preview area and source rectangle for the view's client size. Before
// the first fit the source is centred on the effect, where the relief is.
void FitToView(HWND view) {
  RunGlobals* g = Globals();
  RECT client;
  GetClientRect(view, &client);
  VRect previous = SourceOf(g);
  if (previous.right <= previous.left || previous.bottom <= previous.top) {
    const int32_t x = g->effectLeft + int32_t(uint16_t(g->effectWidth)) / 2;
    const int32_t y = g->effectTop + int32_t(uint16_t(g->effectHeight)) / 2;
    previous = VRect{y, x, y, x};
  }
  const PreviewGeometry fit =
      FitPreview(Zoom(), client.right, client.bottom, g->documentWidth, g->documentHeight, previous);
  g->previewWidth = int16_t(fit.width);
  g->previewHeight = int16_t(fit.height);
  g->previewSrcTop = int16_t(fit.source.top);
  g->previewSrcLeft = int16_t(fit.source.left);
  g->previewSrcBottom = int16_t(fit.source.bottom);
  g->previewSrcRight = int16_t(fit.source.right);
  CentrePreviewArea(view);
}

// A failed rebuild (out of memory) ends the dialog with the code kept in the result cell.
void Rebuild(HWND view) {
  if (!RebuildPreviewImage() && CurrentResult() != NoErr) PostMessage(GetParent(view), WM_COMMAND, IDCANCEL, 0);
  InvalidateRect(view, nullptr, FALSE);
}

PreviewMapping Mapping() {
  const RunGlobals* g = Globals();
  return MakePreviewMapping(Zoom(), g->previewSrcLeft, g->previewSrcTop, gView.offsetX, gView.offsetY, g->effectLeft,
                            g->effectTop);
}

// The layer whose placement the map edit tool changes, or null when none can be edited.
MapLayer* EditableLayer(HWND view) {
  const StyleRecord* style = CurrentStyle();
  MapLayer* selected = SelectedMapLayer(GetParent(view));
  if (style == nullptr || !CanEditPlacement(selected, style->viewFlags)) return nullptr;
  return EditedLayer(selected);
}

// The overlays are drawn in zoomed document pixels: the window origin is the
// zoomed document pixel at the client's (0, 0).
void UseDocumentOrigin(HDC dc, const PreviewMapping& mapping) { SetWindowOrgEx(dc, mapping.originX, mapping.originY, nullptr); }

void DrawPath(HDC dc, float zoom) {
  for (const OffsetRingList* ring = Globals()->outerOutlines; ring != nullptr; ring = ring->next) {
    const OffsetNode* first = ring->first;
    if (first == nullptr) continue;
    MoveToEx(dc, int32_t(first->x * zoom), int32_t(first->y * zoom), nullptr);
    const OffsetNode* node = first;
    do {
      node = node->next;
      LineTo(dc, int32_t(node->x * zoom), int32_t(node->y * zoom));
    } while (node != first);
  }
}

void DrawFrame(HDC dc, const MapLayer& layer, const PreviewMapping& mapping) {
  const PlacementFrame frame = MakePlacementFrame(layer, mapping);
  MoveToEx(dc, frame.handles[CornerCount - 1].x, frame.handles[CornerCount - 1].y, nullptr);
  for (int32_t i = 0; i < CornerCount; ++i) LineTo(dc, frame.handles[i].x, frame.handles[i].y);
  for (const FramePoint& h : frame.handles)
    Rectangle(dc, h.x - HandleBoxHalf, h.y - HandleBoxHalf, h.x + HandleBoxHalf, h.y + HandleBoxHalf);
}

// Draws (or, drawn a second time, erases) the overlays that are switched on.
void DrawOverlays(HWND view, HDC dc, bool path, bool frame) {
  const StyleRecord* style = CurrentStyle();
  if (style == nullptr) return;
  const PreviewMapping mapping = Mapping();
  const int savedState = SaveDC(dc);
  SetROP2(dc, R2_NOT);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  UseDocumentOrigin(dc, mapping);
  if (path && (style->viewFlags & ShowPathFlag)) DrawPath(dc, mapping.zoom);
  if (frame)
    if (const MapLayer* layer = EditableLayer(view)) DrawFrame(dc, *layer, mapping);
  RestoreDC(dc, savedState);
}

void DrawOverlaysNow(HWND view, bool path, bool frame) {
  HDC dc = GetDC(view);
  DrawOverlays(view, dc, path, frame);
  ReleaseDC(view, dc);
}

void FillGrey(HDC dc, const RECT& area) {
  SetBkColor(dc, PreviewGrey);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
}

// Grey around the preview area (and over it with `areaToo`).
void FillOutsideArea(HWND view, HDC dc, bool areaToo) {
  RECT client;
  GetClientRect(view, &client);
  const RunGlobals* g = Globals();
  const RECT area{gView.offsetX, gView.offsetY, gView.offsetX + g->previewWidth, gView.offsetY + g->previewHeight};
  if (areaToo) {
    FillGrey(dc, client);
    return;
  }
  FillGrey(dc, RECT{0, 0, client.right, area.top});
  FillGrey(dc, RECT{0, area.bottom, client.right, client.bottom});
  FillGrey(dc, RECT{0, area.top, area.left, area.bottom});
  FillGrey(dc, RECT{area.right, area.top, client.right, area.bottom});
}

// The preview pixels through the host's display procedure; 0 when there are none to show.
int32_t DisplayPreview(HDC dc) {
  const RunGlobals* g = Globals();
  const FilterRecord* record = g->filterRecord;
  if (g->previewPixels == nullptr || record == nullptr || record->displayPixels == nullptr) return 0;
  PSPixelMask mask{nullptr, g->previewTransparency, g->previewWidth, 1, 0};
  PSPixelMap map{};
  map.version = 1;
  map.bounds = VRect{0, 0, g->previewHeight, g->previewWidth};
  map.imageMode = record->imageMode;
  // The preview planes hold one byte per pixel whatever the document's depth
  // (only 8-bit channels are read): a wider row would send the host past their end.
  map.rowBytes = g->previewWidth;
  map.colBytes = 1;
  map.planeBytes = int32_t(g->previewWidth) * g->previewHeight;
  map.baseAddr = g->previewPixels;
  map.masks = g->previewTransparency != nullptr ? &mask : nullptr;
  const VRect bounds = map.bounds;
  record->displayPixels(&map, &bounds, gView.offsetY, gView.offsetX, dc);
  return 1;
}

void Paint(HWND view) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(view, &paint);
  if (DisplayPreview(dc)) {
    FillOutsideArea(view, dc, false);
  } else {
    FillOutsideArea(view, dc, true);
    SetBkMode(dc, TRANSPARENT);
    static const char NoPreview[] = "Unable to create proxy view!";
    TextOutA(dc, 0, 0, NoPreview, int(sizeof NoPreview - 1));
  }
  DrawOverlays(view, dc, true, gView.dragTool != HandTool);
  EndPaint(view, &paint);
}

void SetToolCursor(HWND view) {
  const bool space = (GetKeyState(VK_SPACE) & 0x8000) != 0;
  const int32_t tool = gView.dragTool != 0 ? gView.dragTool : ActivePreviewTool(gView.tool, space);
  const int32_t cursor = PreviewCursor(tool, EditableLayer(view) != nullptr, gView.hitCode);
  SetCursor(cursor != 0 ? LoadCursorA(gView.instance, MAKEINTRESOURCEA(cursor)) : LoadCursorA(nullptr, IDC_ARROW));
}

uint32_t HitCodeAt(HWND view, POINT p) {
  const MapLayer* layer = EditableLayer(view);
  if (layer == nullptr) return HitOutside;
  const PreviewMapping mapping = Mapping();
  return HitTestFrame(MakePlacementFrame(*layer, mapping), FramePoint{p.x + mapping.originX, p.y + mapping.originY});
}

// One step of a map edit drag to `p` with the given modifiers.
void EditStep(HWND view, POINT p, bool shift, bool control) {
  MapLayer* layer = EditableLayer(view);
  if (layer == nullptr) return;
  DrawOverlaysNow(view, false, true);
  const PreviewMapping mapping = Mapping();
  double x, y;
  ViewToEffect(mapping, p.x, p.y, &x, &y);
  if (gView.hitCode == HitInside) {
    MoveLayer(layer, p.x - gView.last.x, p.y - gView.last.y, mapping.zoom);
  } else if (gView.hitCode & HitEdgeBits) {
    ResizeLayer(layer, gView.hitCode, x, y, shift, control);
  } else {
    double fromX, fromY;
    ViewToEffect(mapping, gView.last.x, gView.last.y, &fromX, &fromY);
    RotateLayer(layer, &gView.rotation, fromX, fromY, x, y, shift);
  }
  DrawOverlaysNow(view, false, true);
  gView.last = p;
}

// The end of a map edit drag: the placement becomes Custom, the layers that
// share it follow, and the run renders what their materials touch where the
// preview shows it.
void EndEdit(HWND view) {
  HWND dialog = GetParent(view);
  MapLayer* selected = SelectedMapLayer(dialog);
  MapLayer* layer = EditableLayer(view);
  StyleRecord* style = CurrentStyle();
  if (layer == nullptr || style == nullptr) return;
  if (layer->mappingLink != MappingCustom) {
    layer->mappingLink = MappingCustom;
    if (layer == selected) SendDlgItemMessageA(dialog, PlacementListId, CB_SETCURSEL, 0, 0);
  }
  const uint32_t flags = PropagatePlacement(style->mapLayers, layer);
  RefreshPreviewMaterials(flags);
  if (RunFailed() || !RenderPreviewElements(flags & SelectAllElements)) {
    PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  Rebuild(view);
}

void HandStep(HWND view, POINT p) {
  RunGlobals* g = Globals();
  const float zoom = Zoom();
  const int32_t dx = p.x - gView.last.x, dy = p.y - gView.last.y;
  if (int32_t(double(dx) / zoom) == 0 && int32_t(double(dy) / zoom) == 0) return;
  PreviewGeometry geometry{g->previewWidth, g->previewHeight, SourceOf(g)};
  DrawOverlaysNow(view, true, false);
  if (ScrollPreview(&geometry, zoom, dx, dy, g->documentWidth, g->documentHeight)) {
    g->previewSrcTop = int16_t(geometry.source.top);
    g->previewSrcLeft = int16_t(geometry.source.left);
    g->previewSrcBottom = int16_t(geometry.source.bottom);
    g->previewSrcRight = int16_t(geometry.source.right);
  }
  DrawOverlaysNow(view, true, false);
  gView.last = p;
}

void ButtonDown(HWND view, POINT p) {
  SetFocus(view);
  const bool space = (GetKeyState(VK_SPACE) & 0x8000) != 0;
  const int32_t tool = ActivePreviewTool(gView.tool, space);
  gView.last = p;
  if (tool == HandTool) {
    SetCapture(view);
    gView.dragTool = HandTool;
    HDC dc = GetDC(view);
    FillOutsideArea(view, dc, true);
    DrawOverlays(view, dc, true, false);
    ReleaseDC(view, dc);
    return;
  }
  MapLayer* layer = EditableLayer(view);
  if (layer == nullptr) return;
  SetCapture(view);
  gView.dragTool = MapEditTool;
  gView.hitCode = HitCodeAt(view, p);
  gView.rotation = BeginRotation(*layer);
}

void ButtonUp(HWND view, POINT p) {
  const int32_t tool = gView.dragTool;
  gView.dragTool = 0;
  if (GetCapture() == view) ReleaseCapture();
  if (tool == HandTool) Rebuild(view);
  if (tool == MapEditTool) EndEdit(view);
  gView.hitCode = HitCodeAt(view, p);
  SetToolCursor(view);
}

POINT MousePoint(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

LRESULT CALLBACK PreviewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Globals() == nullptr) return DefWindowProcA(view, message, wParam, lParam);
  switch (message) {
    case WM_SIZE:
      if (LOWORD(lParam) != 0 && HIWORD(lParam) != 0) {
        FitToView(view);
        Rebuild(view);
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painting covers the whole client area
    case WM_PAINT:
      Paint(view);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) != HTCLIENT) break;
      SetToolCursor(view);
      return TRUE;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS;  // the space bar reaches the view; Tab, Enter and Escape stay the dialog's
    case WM_KEYDOWN:
    case WM_KEYUP:
      // Shift pressed or released during a drag repeats the last step with the new state.
      if (wParam == VK_SHIFT && gView.dragTool == MapEditTool)
        EditStep(view, gView.last, message == WM_KEYDOWN, (GetKeyState(VK_CONTROL) & 0x8000) != 0);
      SetToolCursor(view);
      return 0;
    case WM_MOUSEMOVE: {
      const POINT p = MousePoint(lParam);
      if (gView.dragTool == HandTool) {
        HandStep(view, p);
      } else if (gView.dragTool == MapEditTool) {
        EditStep(view, p, (wParam & MK_SHIFT) != 0, (wParam & MK_CONTROL) != 0);
      } else {
        gView.last = p;
        gView.hitCode = HitCodeAt(view, p);
        SetToolCursor(view);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
      ButtonDown(view, MousePoint(lParam));
      return 0;
    case WM_LBUTTONUP:
      ButtonUp(view, MousePoint(lParam));
      return 0;
    case WM_CAPTURECHANGED:
      // Capture taken away mid-drag (another window, Alt+Tab): end the drag where it is.
      if (gView.dragTool != 0 && reinterpret_cast<HWND>(lParam) != view) ButtonUp(view, gView.last);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(view, message, wParam, lParam);
}
}  // namespace

int32_t RegisterPreviewClass(HINSTANCE instance) {
  gView.instance = instance;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = PreviewProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_CROSS);
  windowClass.lpszClassName = PreviewClassName;
  if (RegisterClassA(&windowClass) != 0) return 1;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? 1 : 0;
}

HWND CreatePreviewWindow(HWND dialog, int32_t id) {
  gView.dragTool = 0;
  gView.hitCode = HitOutside;
  // Every opening starts at 100 % over the middle of the effect (FitToView).
  if (RunGlobals* g = Globals()) {
    g->previewZoom = DefaultZoomStep;
    g->previewSrcTop = g->previewSrcLeft = g->previewSrcBottom = g->previewSrcRight = 0;
  }
  RECT client;
  GetClientRect(dialog, &client);
  const int32_t width = client.right - 268 > 0 ? client.right - 268 : 1;
  const int32_t height = client.bottom - 142 > 0 ? client.bottom - 142 : 1;
  return CreateWindowExA(0, PreviewClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 264, 106, width, height,
                         dialog, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), gView.instance, nullptr);
}

void SetPreviewZoom(HWND dialog, HWND view, int32_t step) {
  RunGlobals* g = Globals();
  if (g == nullptr) return;
  step = ClampZoomStep(step);
  g->previewZoom = int16_t(step);
  FitToView(view);
  Rebuild(view);
  EnableWindow(GetDlgItem(dialog, ZoomOutId), step != FirstZoomStep);
  EnableWindow(GetDlgItem(dialog, ZoomInId), step != LastZoomStep);
  char label[16];
  FormatZoomLabel(step, label, sizeof label);
  SetDlgItemTextA(dialog, ZoomLabelId, label);
}

void RedrawPreview(HWND view) { InvalidateRect(view, nullptr, FALSE); }

void SetPreviewTool(HWND view, int32_t tool) {
  gView.tool = tool == HandTool ? HandTool : MapEditTool;
  POINT p;
  GetCursorPos(&p);
  if (WindowFromPoint(p) == view) SetToolCursor(view);
}
