// The window classes of the style dialog and the calls by which the dialog
// (MainDialog.cpp) creates and drives them. Each control keeps a small object
// that the dialog allocates from work memory and hands over as the creation
// parameter; the window owns it from then on and frees it when it is
// destroyed. Creation returns the window, or null when the object or the
// window could not be had (the caller then sets MemFullErr and ends the
// dialog with code 2).
#pragma once
#include <windows.h>

#include <cstdint>

#include "style/StyleRecord.h"
#include "ui/SliderMaps.h"

// Class names, as the dialog's children are registered.
#define SliderClassName "SliderWnd"
#define LightClassName "LightWnd"
#define ReflectionClassName "RefWnd"
#define TabClassName "TabWnd"
#define PreviewClassName "ViewClass"
#define ContourClassName "ContourClass"

// Messages between the dialog and its controls.
constexpr UINT SliderGetValueMessage = WM_USER;      // a slider returns its value
constexpr UINT SliderSetValueMessage = WM_USER + 5;  // lParam: the new value; no notification
constexpr UINT ContourChosenMessage = WM_USER + 1;   // wParam: contour index, or -1 for none
// Sent by the preview to the dialog: the dialog answers (DWLP_MSGRESULT) the
// MapLayer* selected in its map list, or 0. The preview's map edit tool drags
// the placement of this layer (or of the layer it shares it with); when a
// drag ends the preview makes that placement Custom, selects "Custom" in the
// placement list (305) when it is the selected layer's own, places the layers
// that share it, refreshes their materials and renders. A dialog that does
// not answer leaves nothing to edit. (WM_APP: the WM_USER range of a dialog
// holds DM_GETDEFID, DM_SETDEFID and DM_REPOSITION.)
constexpr UINT PreviewSelectedLayerMessage = WM_APP + 1;
// Sent to the dialog by a light or the reflection control after it changed the
// style by itself (a light placed or recoloured, the reflection removed):
// wParam holds the element selector bits to render again; the dialog renders
// them, rebuilds the preview image and repaints the preview.
constexpr UINT ControlRenderMessage = WM_USER + 2;
constexpr WORD SliderTracking = 5;                   // WM_HSCROLL low word while the thumb moves
constexpr WORD SliderChangeEnded = 8;                // WM_HSCROLL low word at the end of a change

// Registers the four control classes and the contour picker's class (once
// per dialog opening; registering again is harmless) and computes the sphere
// tables. Returns 1, or 0 when a class could not be registered.
int32_t RegisterControlClasses(HINSTANCE instance);

// A slider at (x, y) of the dialog's client area with its number field; its
// height is 16 and its width trackWidth + 41.
HWND CreateSlider(HWND dialog, int32_t id, int32_t x, int32_t y, int32_t trackWidth, SliderKind kind, bool visible);

// A light sphere (69 × 69) bound to one light of the style record.
HWND CreateLightSphere(HWND dialog, int32_t id, int32_t x, int32_t y, LightSetting* light);
// Binds the sphere to another light (after a preset was loaded) and redraws it.
void BindLightSphere(HWND sphere, LightSetting* light);

// The reflection sphere (69 × 69) showing `image` (null: a black sphere).
HWND CreateReflectionSphere(HWND dialog, int32_t id, int32_t x, int32_t y, const MapImage* image);
void BindReflectionSphere(HWND sphere, const MapImage* image);

// The element tabs (258 × 258 at (2, 2)) with `element` (0..2) selected.
// Choosing a tab sends WM_COMMAND with id (the tab window's id + tab index).
HWND CreateElementTabs(HWND dialog, int32_t id, int32_t element);

// System colours changed: the controls that cache colours rebuild them.
void RefreshControlColours(HWND dialog);

// The contour picker below `button` (the dialog's owner-drawn button 213);
// the choice reaches `dialog` as ContourChosenMessage.
void OpenContourPicker(HWND dialog, HWND button);
// Draws the contour button for the bevel's contour index and flip flags.
void DrawContourButton(const DRAWITEMSTRUCT* item, uint16_t bevelFlags);
// The 49 contour bitmaps are loaded while the dialog is open.
int32_t LoadContourBitmaps(HINSTANCE instance);
void FreeContourBitmaps();

// The preview window (id 30) at (264, 106). Zoom, scrolling, painting and
// the map edit and hand tools live in it; the dialog tells it what changed.
int32_t RegisterPreviewClass(HINSTANCE instance);
HWND CreatePreviewWindow(HWND dialog, int32_t id);
// Sets the zoom step (0..16), enables the dialog's zoom buttons (401, 402)
// and writes its zoom label (403).
void SetPreviewZoom(HWND dialog, HWND view, int32_t step);
// Repaints the view: after a render request (which rebuilt the preview
// image, frame/DialogRun.h) or when only the overlays changed (Show Path,
// Show Mapping, another map layer).
void RedrawPreview(HWND view);
// The preview tool: 5 map edit, 6 hand.
void SetPreviewTool(HWND view, int32_t tool);

// The About box, owned by `owner` (may be null).
void ShowAboutBox(HWND owner);

// The main dialog owned by `owner`: 1 when it ended with OK, else 0 (the run
// is then cancelled, or failed with the code already in the result cell).
int32_t RunMainDialog(HWND owner);
