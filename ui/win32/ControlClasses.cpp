// Registration of the control classes and what they share.
#include <windows.h>

#include "core/WorkMemory.h"
#include "frame/RunGlobals.h"
#include "frame/StyleHandle.h"
#include "style/StyleRecord.h"
#include "ui/win32/ControlSupport.h"
#include "ui/win32/ControlWindows.h"
#include "ui/win32/DialogWindows.h"

namespace {

HINSTANCE gInstance = nullptr;
SphereTables gSphereTables;

int32_t RegisterClassOf(const char* name, WNDPROC procedure, UINT style) {
  WNDCLASSA windowClass = {};
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = gInstance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.lpszClassName = name;
  if (RegisterClassA(&windowClass)) return 1;
  // Registered at an earlier opening of the dialog.
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HINSTANCE ControlInstance() { return gInstance; }
const SphereTables& ControlSphereTables() { return gSphereTables; }

int32_t RegisterControlClasses(HINSTANCE instance) {
  gInstance = instance;
  BuildSphereTables(&gSphereTables);
  return RegisterClassOf(SliderClassName, SliderWindowProc, CS_PARENTDC) &&
         RegisterClassOf(LightClassName, LightWindowProc, CS_PARENTDC) &&
         RegisterClassOf(ReflectionClassName, ReflectionWindowProc, CS_PARENTDC) &&
         RegisterClassOf(TabClassName, TabWindowProc, CS_PARENTDC) &&
         RegisterClassOf(ContourClassName, ContourPickerProc, CS_SAVEBITS);
}

void RefreshControlColours(HWND dialog) {
  // Every child that caches colours rebuilds them on this message; the others ignore it.
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
  }
}

uint32_t FacePictureColour() {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  return (uint32_t(GetRValue(face)) << 16) | (uint32_t(GetGValue(face)) << 8) | GetBValue(face);
}

HBITMAP CreatePictureBitmap(int32_t width, int32_t height, uint32_t** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  *bits = bitmap != nullptr ? static_cast<uint32_t*>(pixels) : nullptr;
  return bitmap;
}

void DrawPictureBitmap(HDC dc, HBITMAP bitmap, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (bitmap == nullptr) return;
  HDC source = CreateCompatibleDC(dc);
  if (source == nullptr) return;
  HGDIOBJ previous = SelectObject(source, bitmap);
  BitBlt(dc, x, y, width, height, source, 0, 0, SRCCOPY);
  SelectObject(source, previous);
  DeleteDC(source);
}

void* NewControlObject(uint32_t size) { return NewClearedBlock(size); }

void FreeControlObject(void* object) { FreeBlock(&object); }

void AdoptControlObject(HWND window, LPARAM createStruct) {
  const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(createStruct);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}

void RequestFullRender(HWND control) {
  SendMessageA(GetParent(control), ControlRenderMessage, SelectAllElements, 0);
}

StyleRecord* ControlStyle() {
  if (gRunGlobals == nullptr || gRunGlobals->filterRecord == nullptr) return nullptr;
  return CurrentStyle();
}
