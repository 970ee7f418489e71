// The contour pictures while the dialog is open, the contour button's
// drawing, and ContourClass: the popup grid from which a contour is picked.
// The popup captures the mouse; releasing the button (or Enter) posts the
// hovered contour to the dialog as ContourChosenMessage.
#include <windows.h>
#include <windowsx.h>

#include <cstring>

#include "bevel/ContourProfiles.h"
#include "style/StyleRecord.h"
#include "resources/ResourceIds.h"
#include "ui/ContourPicker.h"
#include "ui/ContourPictures.h"
#include "ui/win32/ControlSupport.h"
#include "ui/win32/ControlWindows.h"
#include "ui/win32/DialogWindows.h"

namespace {

constexpr COLORREF Ink = RGB(0, 0, 0);
constexpr COLORREF Paper = RGB(255, 255, 255);
constexpr COLORREF IdleInk = RGB(0x80, 0x80, 0x80);  // contours not under the mouse
constexpr int32_t ArrowLeft = 32, ArrowRight = 46;    // the drop-down arrow on the button

// Read from bitmaps 500..548 while the dialog is open.
ContourPicture gPictures[ContourProfileCount];
bool gPicturesLoaded = false;
// The contour under the mouse, kept between openings of the picker.
int32_t gHovered = -1;
bool gClosing = false;

// Reads a monochrome bitmap into a picture; ink is the darker of its two colours.
int32_t ReadPicture(HDC dc, HBITMAP bitmap, ContourPicture* picture) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = ContourPictureSize;
  info.header.biHeight = -ContourPictureSize;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = BI_RGB;
  if (GetDIBits(dc, bitmap, 0, ContourPictureSize, picture->bits, reinterpret_cast<BITMAPINFO*>(&info),
                DIB_RGB_COLORS) != ContourPictureSize) {
    return 0;
  }
  const int brightness0 = info.colours[0].rgbRed + info.colours[0].rgbGreen + info.colours[0].rgbBlue;
  const int brightness1 = info.colours[1].rgbRed + info.colours[1].rgbGreen + info.colours[1].rgbBlue;
  if (brightness0 < brightness1) {
    // Index 0 is the ink: our pictures mark ink with a set bit.
    for (auto& row : picture->bits) {
      for (uint8_t& byte : row) byte = uint8_t(~byte);
    }
  }
  return 1;
}

// A picture at (x, y): set bits in `ink`, the rest in `paper`.
void DrawPicture(HDC dc, int32_t x, int32_t y, const ContourPicture& picture, COLORREF ink, COLORREF paper) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = ContourPictureSize;
  info.header.biHeight = -ContourPictureSize;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = BI_RGB;
  info.colours[0] = RGBQUAD{GetBValue(paper), GetGValue(paper), GetRValue(paper), 0};
  info.colours[1] = RGBQUAD{GetBValue(ink), GetGValue(ink), GetRValue(ink), 0};
  SetDIBitsToDevice(dc, x, y, ContourPictureSize, ContourPictureSize, 0, 0, 0, ContourPictureSize, picture.bits,
                    reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
}

int32_t PictureIndex(uint16_t bevelFlags) {
  const int32_t index = ContourIndexOf(bevelFlags);
  return index < ContourProfileCount ? index : 0;
}

// The bevel the dialog shows, or null with Main selected.
const BevelSetting* SelectedBevel() {
  const StyleRecord* style = ControlStyle();
  if (style == nullptr) return nullptr;
  const int32_t element = style->viewFlags & SelectedElementMask;
  if (element == InnerBevelElement) return &style->bevels[InnerBevelSetting];
  if (element == OuterBevelElement) return &style->bevels[OuterBevelSetting];
  return nullptr;
}

void PaintGrid(HDC dc) {
  RECT client = {0, 0, ContourPickerClient, ContourPickerClient};
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const BevelSetting* bevel = SelectedBevel();
  if (bevel == nullptr || !gPicturesLoaded) return;
  HBRUSH frame = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  for (int32_t i = 0; i < ContourProfileCount; ++i) {
    const ContourCell cell = ContourCellOf(i);
    RECT box = {cell.left, cell.top, cell.right, cell.bottom};
    FrameRect(dc, &box, frame);
    ContourPicture shown;
    FlipContourPicture(gPictures[i], bevel->bevelFlags, &shown);
    DrawPicture(dc, cell.pictureX, cell.pictureY, shown, i == gHovered ? Ink : IdleInk, Paper);
  }
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP buffer = memory ? CreateCompatibleBitmap(dc, ContourPickerClient, ContourPickerClient) : nullptr;
  if (buffer != nullptr) {
    HGDIOBJ previous = SelectObject(memory, buffer);
    PaintGrid(memory);
    BitBlt(dc, 0, 0, ContourPickerClient, ContourPickerClient, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(buffer);
  } else {
    PaintGrid(dc);
  }
  if (memory) DeleteDC(memory);
  EndPaint(window, &paint);
}

HWND DialogOf(HWND window) { return reinterpret_cast<HWND>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

// Closes the popup once; with `report` the hovered contour goes to the dialog.
void Close(HWND window, bool report) {
  if (gClosing) return;
  gClosing = true;
  HWND dialog = DialogOf(window);
  if (GetCapture() == window) ReleaseCapture();
  DestroyWindow(window);
  if (dialog != nullptr && IsWindow(dialog)) {
    if (report) PostMessageA(dialog, ContourChosenMessage, WPARAM(gHovered), 0);
    SetActiveWindow(dialog);
  }
  gClosing = false;
}

void Hover(HWND window, int32_t x, int32_t y) {
  const int32_t index = ContourAt(x, y);
  if (index == gHovered) return;
  gHovered = index;
  InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

LRESULT CALLBACK ContourPickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      AdoptControlObject(window, lParam);
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_CREATE:
      SetCapture(window);
      return 0;
    case WM_MOUSEMOVE:
      Hover(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONDOWN: {
      RECT client;
      GetClientRect(window, &client);
      const POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (!PtInRect(&client, at)) Close(window, false);
      return 0;
    }
    case WM_LBUTTONUP:
      Close(window, true);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) Close(window, true);
      if (wParam == VK_ESCAPE) Close(window, false);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) Close(window, false);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void OpenContourPicker(HWND dialog, HWND button) {
  RECT place;
  GetWindowRect(button, &place);
  const DWORD style = WS_POPUP | WS_VISIBLE | WS_DLGFRAME;
  RECT frame = {0, 0, ContourPickerClient, ContourPickerClient};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  CreateWindowExA(0, ContourClassName, "", style, place.left, place.bottom, frame.right - frame.left,
                  frame.bottom - frame.top, nullptr, nullptr, ControlInstance(), dialog);
}

void DrawContourButton(const DRAWITEMSTRUCT* item, uint16_t bevelFlags) {
  const RECT& area = item->rcItem;
  FillRect(item->hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
  if (gPicturesLoaded) {
    ContourPicture shown;
    FlipContourPicture(gPictures[PictureIndex(bevelFlags)], bevelFlags, &shown);
    DrawPicture(item->hDC, area.left, area.top, shown, Ink, Paper);
  }
  RECT arrow = {area.left + ArrowLeft, area.top, area.left + ArrowRight, area.top + ContourPictureSize};
  DrawFrameControl(item->hDC, &arrow, DFC_SCROLL, DFCS_SCROLLDOWN | ((item->itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
}

int32_t LoadContourBitmaps(HINSTANCE instance) {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return 0;
  int32_t loaded = 1;
  for (int32_t i = 0; i < ContourProfileCount && loaded; ++i) {
    HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(BF_BMP_CONTOUR_FIRST + i));
    loaded = bitmap != nullptr && ReadPicture(screen, bitmap, &gPictures[i]);
    if (bitmap) DeleteObject(bitmap);
  }
  ReleaseDC(nullptr, screen);
  gPicturesLoaded = loaded != 0;
  return loaded;
}

void FreeContourBitmaps() {
  gPicturesLoaded = false;
  std::memset(gPictures, 0, sizeof gPictures);
}
