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

// Creates a control window with `object` as its creation parameter; when the
// window cannot be made the object is freed here and null returned.
HWND CreateControlWindow(const char* className, DWORD style, int32_t x, int32_t y, int32_t width, int32_t height,
                         HWND parent, int32_t id, void* object);
// WM_NCDESTROY of a control: forgets the object and, when the window had
// adopted it (`adopted`, the object's window field, is set once WM_CREATE
// succeeded), deletes `resource` (may be null) and frees the object.
LRESULT ReleaseControl(HWND window, WPARAM wParam, LPARAM lParam, bool adopted, void* object, HGDIOBJ resource);

// Paints through an off-screen bitmap of width x height and copies it in one
// piece, so that nothing flickers; paints directly when no bitmap can be had.
template <class Painter> void PaintBuffered(HDC dc, int32_t width, int32_t height, Painter&& paint) {
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP buffer = memory ? CreateCompatibleBitmap(dc, width, height) : nullptr;
  if (buffer != nullptr) {
    HGDIOBJ previous = SelectObject(memory, buffer);
    paint(memory);
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(buffer);
  } else {
    paint(dc);
  }
  if (memory) DeleteDC(memory);
}

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
