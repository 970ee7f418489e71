// RefWnd: the reflection image on a sphere. A click asks the dialog for
// another image (WM_COMMAND with the control's id); the right-click menu
// (menu 3001) offers that too and removing the reflection.
#include <windows.h>

#include "style/StyleRecord.h"
#include "interface/HostHooks.h"
#include "platform/HostHookLookup.h"
#include "resources/ResourceIds.h"
#include "ui/LightSphere.h"
#include "ui/ReflectionSphere.h"
#include "ui/win32/ControlSupport.h"
#include "ui/win32/ControlWindows.h"
#include "ui/win32/DialogWindows.h"

namespace {

struct ReflectionControl {
  HWND window;  // set once the window is fully created; the window owns the object from then on
  const MapImage* image;
  HBITMAP bitmap;  // SphereDiameter² picture; null when it could not be made
  uint32_t* bits;
};

void DrawSphere(ReflectionControl* control) {
  if (control->bits == nullptr) return;
  DrawReflectionSphere(control->bits, ControlSphereTables(), control->image, FacePictureColour());
  GdiFlush();
  InvalidateRect(control->window, nullptr, FALSE);
}

void Paint(ReflectionControl* control) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control->window, &paint);
  RECT client;
  GetClientRect(control->window, &client);
  if (control->bitmap != nullptr) {
    HPALETTE halftone = CreateHalftonePalette(dc);
    HPALETTE previous = halftone ? SelectPalette(dc, halftone, FALSE) : nullptr;
    if (halftone) RealizePalette(dc);
    DrawPictureBitmap(dc, control->bitmap, 0, 0, SphereDiameter, SphereDiameter);
    if (halftone) {
      SelectPalette(dc, previous, FALSE);
      DeleteObject(halftone);
    }
  }
  // The margin right of and below the sphere.
  RECT right = {SphereDiameter, 0, client.right, client.bottom};
  RECT below = {0, SphereDiameter, SphereDiameter, client.bottom};
  FillRect(dc, &right, GetSysColorBrush(COLOR_BTNFACE));
  FillRect(dc, &below, GetSysColorBrush(COLOR_BTNFACE));
  EndPaint(control->window, &paint);
}

void AskForImage(HWND window) {
  const int id = GetDlgCtrlID(window);
  SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(window));
}

// The menu's choice: from our host's hook when it answers, else from the real menu.
int32_t ChooseFromMenu(HWND window, bool canRemove) {
  const auto hook = reinterpret_cast<HostPopupMenuHook>(FindHostHook(HostPopupMenuHookName));
  const int32_t settled = hook != nullptr ? hook(BF_MENU_REFLECTION) : 0;
  if (settled != 0) {
    // A greyed item cannot be chosen.
    return settled == BF_CMD_REMOVE_REFLECTION && !canRemove ? -1 : settled;
  }
  HMENU menu = LoadMenuA(ControlInstance(), MAKEINTRESOURCEA(BF_MENU_REFLECTION));
  if (menu == nullptr) return -1;
  HMENU popup = GetSubMenu(menu, 0);
  EnableMenuItem(popup, BF_CMD_REMOVE_REFLECTION, MF_BYCOMMAND | (canRemove ? MF_ENABLED : MF_GRAYED));
  POINT at;
  GetCursorPos(&at);
  const int32_t chosen =
      TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, at.x, at.y, 0, window, nullptr);
  DestroyMenu(menu);
  return chosen;
}

void OfferMenu(ReflectionControl* control) {
  StyleRecord* style = ControlStyle();
  const bool canRemove = style != nullptr && style->reflectionImage != nullptr;
  const int32_t chosen = ChooseFromMenu(control->window, canRemove);
  if (chosen == BF_CMD_OPEN_REFLECTION) {
    AskForImage(control->window);
  } else if (chosen == BF_CMD_REMOVE_REFLECTION && canRemove) {
    style->reflectionImage = nullptr;
    control->image = nullptr;
    DrawSphere(control);
    RequestFullRender(control->window);
  }
}

}  // namespace

LRESULT CALLBACK ReflectionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) AdoptControlObject(window, lParam);
  ReflectionControl* control = ControlObjectOf<ReflectionControl>(window);
  if (control == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      control->window = window;
      control->bitmap = CreatePictureBitmap(SphereDiameter, SphereDiameter, &control->bits);
      DrawSphere(control);
      return 0;
    case WM_RBUTTONDOWN:
      OfferMenu(control);
      return 0;
    case WM_LBUTTONDOWN:
      AskForImage(window);
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

HWND CreateReflectionSphere(HWND dialog, int32_t id, int32_t x, int32_t y, const MapImage* image) {
  auto* control = static_cast<ReflectionControl*>(NewControlObject(sizeof(ReflectionControl)));
  if (control == nullptr) return nullptr;
  control->image = image;
  HWND window = CreateWindowExA(0, ReflectionClassName, "", WS_CHILD | WS_VISIBLE, x, y, LightSphereSize,
                                LightSphereSize, dialog, reinterpret_cast<HMENU>(INT_PTR(id)), ControlInstance(),
                                control);
  if (window == nullptr) FreeControlObject(control);
  return window;
}

void BindReflectionSphere(HWND sphere, const MapImage* image) {
  ReflectionControl* control = ControlObjectOf<ReflectionControl>(sphere);
  if (control == nullptr) return;
  control->image = image;
  DrawSphere(control);
}
