// SliderWnd: a track with a thumb and a number field. The value is the
// slider's own unit; dragging reports every step (SliderTracking) and the end
// of a change (SliderChangeEnded) to the dialog as WM_HSCROLL.
#include <windows.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>

#include "resources/ResourceIds.h"
#include "ui/win32/ControlSupport.h"
#include "ui/win32/ControlWindows.h"
#include "ui/win32/DialogWindows.h"

namespace {

constexpr int32_t SliderHeight = 16;
constexpr int32_t EditWidth = 30;          // the number field at the right end
constexpr int32_t TrackMargin = 32;        // the track area ends this far from the right
constexpr int32_t ThumbSize = 9;           // thumb bitmaps are 9 x 9
constexpr int32_t ThumbTop = 6;
constexpr int32_t GrooveTop = 5;
constexpr int32_t GrooveBottomMargin = 4;  // the groove ends this far above the bottom
constexpr int EditId = 1;

// Only one slider is operated at a time, so they share these flags.
constexpr uint32_t WritingText = 0x1;  // the slider is writing its edit's text
constexpr uint32_t ValueChanged = 0x4; // changed since the last end-of-change notice
uint32_t gSliderFlags = 0;

// Thumb bitmaps and the groove frame brush, shared by every slider; made for
// the first slider and released with the last.
HBITMAP gThumbMask = nullptr;
HBITMAP gThumbColours = nullptr;
HBRUSH gFrameBrush = nullptr;
int32_t gLiveSliders = 0;

struct SliderControl {
  HWND window;  // set once the window is fully created; the window owns the object from then on
  HWND edit;
  int32_t thumb;  // thumb position, pixels from the track's left end
  int32_t value;
  int32_t trackWidth;
  SliderKind kind;
};

void ReleaseSliderResources() {
  if (gThumbMask) DeleteObject(gThumbMask);
  if (gThumbColours) DeleteObject(gThumbColours);
  if (gFrameBrush) DeleteObject(gFrameBrush);
  gThumbMask = gThumbColours = nullptr;
  gFrameBrush = nullptr;
}

void LoadSliderResources() {
  ReleaseSliderResources();
  HINSTANCE instance = ControlInstance();
  gThumbMask = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(BF_BMP_THUMB_MASK), IMAGE_BITMAP, 0, 0, 0));
  gThumbColours = static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(BF_BMP_THUMB), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
  gFrameBrush = CreateSolidBrush(GetSysColor(COLOR_3DDKSHADOW));
}

void WriteEdit(SliderControl* slider) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", int(slider->value));
  gSliderFlags |= WritingText;
  SetWindowTextA(slider->edit, text);
  gSliderFlags &= ~WritingText;
}

void InvalidateTrack(SliderControl* slider) {
  RECT track;
  GetClientRect(slider->window, &track);
  track.right -= EditWidth;
  InvalidateRect(slider->window, &track, FALSE);
}

// Stores a new value; `fromEdit` when the user typed it (the edit keeps the
// text as typed until it loses focus).
void SetSliderValue(SliderControl* slider, int32_t value, bool fromEdit) {
  value = ClampSliderValue(slider->kind, slider->trackWidth, value);
  if (value == slider->value) return;
  slider->value = value;
  slider->thumb = SliderPositionOfValue(slider->kind, slider->trackWidth, value);
  gSliderFlags |= ValueChanged;
  InvalidateTrack(slider);
  if (!fromEdit) WriteEdit(slider);
}

void Notify(SliderControl* slider, WORD code) {
  SendMessageA(GetParent(slider->window), WM_HSCROLL, MAKEWPARAM(code, WORD(slider->value)),
               reinterpret_cast<LPARAM>(slider->window));
}

void EndChange(SliderControl* slider) {
  if (!(gSliderFlags & ValueChanged)) return;
  gSliderFlags &= ~ValueChanged;
  Notify(slider, SliderChangeEnded);
}

void DragTo(SliderControl* slider, int32_t x) {
  if (GetCapture() != slider->window) {
    SetCapture(slider->window);
    SetFocus(slider->edit);
    gSliderFlags = 0;
  }
  int32_t position = x - SliderThumbGrip;
  position = position < 0 ? 0 : position > slider->trackWidth ? slider->trackWidth : position;
  SetSliderValue(slider, SliderValueOfPosition(slider->kind, slider->trackWidth, position), false);
  Notify(slider, SliderTracking);
  SendMessageA(slider->edit, EM_SETSEL, 0, -1);
}

void DrawThumb(HDC dc, int32_t x) {
  if (gThumbMask == nullptr || gThumbColours == nullptr) return;
  HDC source = CreateCompatibleDC(dc);
  if (source == nullptr) return;
  HGDIOBJ previous = SelectObject(source, gThumbMask);
  BitBlt(dc, x, ThumbTop, ThumbSize, ThumbSize, source, 0, 0, SRCAND);
  SelectObject(source, gThumbColours);
  BitBlt(dc, x, ThumbTop, ThumbSize, ThumbSize, source, 0, 0, SRCPAINT);
  SelectObject(source, previous);
  DeleteDC(source);
}

void PaintTrack(SliderControl* slider, HDC dc, const RECT& area) {
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  RECT groove = {0, GrooveTop, area.right, area.bottom - GrooveBottomMargin};
  // Sunken: shadow on the top and left, highlight on the bottom and right.
  HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW));
  HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DHILIGHT));
  HGDIOBJ previous = SelectObject(dc, shadow);
  MoveToEx(dc, groove.left, groove.bottom - 1, nullptr);
  LineTo(dc, groove.left, groove.top);
  LineTo(dc, groove.right - 1, groove.top);
  SelectObject(dc, light);
  LineTo(dc, groove.right - 1, groove.bottom - 1);
  LineTo(dc, groove.left, groove.bottom - 1);
  SelectObject(dc, previous);
  DeleteObject(shadow);
  DeleteObject(light);
  RECT inside = {groove.left + 1, groove.top + 1, groove.right - 1, groove.bottom - 1};
  if (gFrameBrush) FrameRect(dc, &inside, gFrameBrush);
  InflateRect(&inside, -1, -1);
  FillRect(dc, &inside, GetSysColorBrush(COLOR_BTNFACE));
  DrawThumb(dc, slider->thumb);
}

void Paint(SliderControl* slider) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(slider->window, &paint);
  RECT area;
  GetClientRect(slider->window, &area);
  area.right -= TrackMargin;
  PaintBuffered(dc, area.right, area.bottom, [&](HDC target) { PaintTrack(slider, target, area); });
  // The strip between the track area and the number field.
  RECT gap = {area.right, 0, area.right + TrackMargin - EditWidth, area.bottom};
  FillRect(dc, &gap, GetSysColorBrush(COLOR_BTNFACE));
  EndPaint(slider->window, &paint);
}

int32_t Create(HWND window, SliderControl* slider) {
  RECT client;
  GetClientRect(window, &client);
  slider->edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "0", WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_AUTOHSCROLL,
                                 client.right - EditWidth, 0, EditWidth, SliderHeight, window,
                                 reinterpret_cast<HMENU>(INT_PTR(EditId)), ControlInstance(), nullptr);
  if (slider->edit == nullptr) return 0;
  SendMessageA(slider->edit, WM_SETFONT, SendMessageA(GetParent(window), WM_GETFONT, 0, 0), 0);
  if (gLiveSliders++ == 0) LoadSliderResources();
  slider->window = window;
  WriteEdit(slider);
  return 1;
}

void EditNotice(SliderControl* slider, WORD code) {
  if (code == EN_CHANGE) {
    if (gSliderFlags & WritingText) return;
    char text[16];
    GetWindowTextA(slider->edit, text, sizeof text);
    char* end = nullptr;
    const long typed = std::strtol(text, &end, 10);
    if (end != text) SetSliderValue(slider, typed > 100000 ? 100000 : int32_t(typed), true);
  } else if (code == EN_KILLFOCUS) {
    if (!(gSliderFlags & ValueChanged)) return;
    gSliderFlags &= ~ValueChanged;
    WriteEdit(slider);
    Notify(slider, SliderChangeEnded);
  }
}

}  // namespace

LRESULT CALLBACK SliderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) AdoptControlObject(window, lParam);
  SliderControl* slider = ControlObjectOf<SliderControl>(window);
  if (slider == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      return Create(window, slider) ? 0 : -1;
    case SliderGetValueMessage:
      return slider->value;
    case SliderSetValueMessage:
      SetSliderValue(slider, int32_t(lParam), false);
      gSliderFlags &= ~ValueChanged;
      return 0;
    case WM_LBUTTONDOWN:
      DragTo(slider, GET_X_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == window) DragTo(slider, GET_X_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == window) {
        ReleaseCapture();
        EndChange(slider);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == EditId) EditNotice(slider, HIWORD(wParam));
      return 0;
    case WM_ENABLE:
      EnableWindow(slider->edit, BOOL(wParam));
      return 0;
    case WM_SYSCOLORCHANGE:
      if (gLiveSliders > 0) LoadSliderResources();
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(slider);
      return 0;
    case WM_NCDESTROY:
      if (slider->window != nullptr && --gLiveSliders == 0) ReleaseSliderResources();
      return ReleaseControl(window, wParam, lParam, slider->window != nullptr, slider, nullptr);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateSlider(HWND dialog, int32_t id, int32_t x, int32_t y, int32_t trackWidth, SliderKind kind, bool visible) {
  auto* slider = static_cast<SliderControl*>(NewControlObject(sizeof(SliderControl)));
  if (slider == nullptr) return nullptr;
  slider->trackWidth = trackWidth;
  slider->kind = kind;
  return CreateControlWindow(SliderClassName, WS_CHILD | (visible ? WS_VISIBLE : 0), x, y, trackWidth + SliderWindowExtra,
                             SliderHeight, dialog, id, slider);
}
