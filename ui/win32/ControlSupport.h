// What the dialog's control windows share: the module instance their classes
// and resources belong to, the sphere tables, 32-bit pictures, their small
// objects in work memory and the requests they send the dialog.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/SphereTables.h"

// The instance given to RegisterControlClasses.
HINSTANCE ControlInstance();
// Computed when the classes are registered.
const SphereTables& ControlSphereTables();

// The button face colour as a 0x00RRGGBB picture word.
uint32_t FacePictureColour();

// A top-down 32-bit DIB section; *bits receives its pixels. Null when it
// cannot be made (the control then paints nothing).
HBITMAP CreatePictureBitmap(int32_t width, int32_t height, uint32_t** bits);
// Draws a picture bitmap at (x, y) of `dc`.
void DrawPictureBitmap(HDC dc, HBITMAP bitmap, int32_t x, int32_t y, int32_t width, int32_t height);

// A control's object: zero-filled work memory, owned by the window once it is
// created (see DialogWindows.h); null when out of memory.
void* NewControlObject(uint32_t size);
void FreeControlObject(void* object);

// The object a window keeps in its user data.
template <class T> inline T* ControlObjectOf(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}
// WM_NCCREATE: keeps the creation parameter as the window's object.
void AdoptControlObject(HWND window, LPARAM createStruct);

// The style record of the run, or null outside a run.
struct StyleRecord;
StyleRecord* ControlStyle();

// Asks the dialog to render every element again (ControlRenderMessage).
void RequestFullRender(HWND control);
