// LightWnd: a sphere lit by one light of the style. Dragging on the sphere
// places the light (on the back beyond the rim); the swatch in the corner
// picks its colour with the host's picker. The dialog renders when the drag
// ends or the colour changed.
#include <windows.h>
#include <windowsx.h>

#include "frame/HostColorPicker.h"
#include "platform/WaitCursor.h"
#include "ui/LightSphere.h"
#include "ui/win32/ControlSupport.h"
#include "ui/win32/ControlWindows.h"
#include "ui/win32/DialogWindows.h"

namespace {

struct LightControl {
  HWND window;  // set once the window is fully created; the window owns the object from then on
  LightSetting* light;
  HBITMAP bitmap;  // LightSphereSize² picture; null when it could not be made
  uint32_t* bits;
  LightColourTable table;
};

void DrawSphere(LightControl* control) {
  if (control->bits == nullptr) return;
  DrawLightSphere(control->bits, ControlSphereTables(), *control->light, control->table, FacePictureColour());
  GdiFlush();
  InvalidateRect(control->window, nullptr, FALSE);
}

void Recolour(LightControl* control) {
  BuildLightColourTable(&control->table, *control->light);
  DrawSphere(control);
}

void Paint(LightControl* control) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control->window, &paint);
  if (control->bitmap != nullptr) {
    DrawPictureBitmap(dc, control->bitmap, 0, 0, LightSphereSize, LightSphereSize);
    RECT swatch = {LightSwatchOrigin, LightSwatchOrigin, LightSphereSize, LightSphereSize};
    DrawEdge(dc, &swatch, EDGE_SUNKEN, BF_RECT | BF_SOFT | BF_ADJUST);
    const uint32_t colour = control->light->color;
    HBRUSH brush = CreateSolidBrush(RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF));
    if (brush != nullptr) {
      FillRect(dc, &swatch, brush);
      DeleteObject(brush);
    }
  }
  EndPaint(control->window, &paint);
}

void PickColour(LightControl* control) {
  const uint32_t old = control->light->color;
  uint8_t rgb[3] = {uint8_t(old >> 16), uint8_t(old >> 8), uint8_t(old)};
  if (!PickHostColor(rgb)) return;
  const uint32_t chosen = (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2];
  if (chosen == (old & 0x00FFFFFF)) return;
  SetLightColor(control->light, chosen);
  Recolour(control);
  RequestFullRender(control->window);
}

}  // namespace

LRESULT CALLBACK LightWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) AdoptControlObject(window, lParam);
  LightControl* control = ControlObjectOf<LightControl>(window);
  if (control == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      control->window = window;
      control->bitmap = CreatePictureBitmap(LightSphereSize, LightSphereSize, &control->bits);
      Recolour(control);
      return 0;
    case WM_LBUTTONDOWN: {
      const int32_t x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
      if (InLightSwatch(x, y)) {
        PickColour(control);
      } else if (GrabsLight(x, y)) {
        SetCapture(window);
        if (PlaceLight(control->light, x, y)) DrawSphere(control);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (GetCapture() == window && PlaceLight(control->light, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) {
        DrawSphere(control);
        UpdateWindow(window);
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == window) {
        ReleaseCapture();
        ShowWaitCursor();
        RequestFullRender(window);
      }
      return 0;
    case WM_SYSCOLORCHANGE:
      DrawSphere(control);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(control);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      if (control->window != nullptr) {
        if (control->bitmap) DeleteObject(control->bitmap);
        FreeControlObject(control);
      }
      return DefWindowProcA(window, message, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateLightSphere(HWND dialog, int32_t id, int32_t x, int32_t y, LightSetting* light) {
  auto* control = static_cast<LightControl*>(NewControlObject(sizeof(LightControl)));
  if (control == nullptr) return nullptr;
  control->light = light;
  HWND window = CreateWindowExA(0, LightClassName, "", WS_CHILD | WS_VISIBLE, x, y, LightSphereSize, LightSphereSize,
                                dialog, reinterpret_cast<HMENU>(INT_PTR(id)), ControlInstance(), control);
  if (window == nullptr) FreeControlObject(control);
  return window;
}

void BindLightSphere(HWND sphere, LightSetting* light) {
  LightControl* control = ControlObjectOf<LightControl>(sphere);
  if (control == nullptr) return;
  control->light = light;
  Recolour(control);
}
