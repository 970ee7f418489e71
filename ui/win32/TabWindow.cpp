// TabWnd: the three element tabs over the page that holds the element's
// controls. It lies below every other control of the dialog (and clips them
// out of its painting), so it paints the page's face without covering them.
#include <windows.h>
#include <windowsx.h>

#include <cstring>

#include "resources/ResourceIds.h"
#include "ui/ElementTabs.h"
#include "ui/win32/ControlSupport.h"
#include "ui/win32/ControlWindows.h"
#include "ui/win32/DialogWindows.h"

namespace {

constexpr int32_t TabWindowSize = 258;
constexpr int32_t TabWindowOrigin = 2;

// Pieces of bitmap 200: source x and width; inactive tabs are 14 high, the
// selected one 16.
constexpr int32_t InactiveHeight = 14, SelectedHeight = 16;
constexpr int32_t InactiveLeftX = 24, InactiveLeftWidth = 8;
constexpr int32_t InactiveMiddleX = 25;
constexpr int32_t InactiveRightX = 26, InactiveRightWidth = 20;
constexpr int32_t SelectedLeftX = 0, SelectedLeftWidth = 2;
constexpr int32_t SelectedMiddleX = 2;
constexpr int32_t SelectedRightX = 2, SelectedRightMaskX = 46, SelectedRightWidth = 22;
constexpr int32_t MiddleExtra = 10;  // the middle piece spans the text width and this much
constexpr int32_t TextInset = 13;    // text starts this far right of the tab's left end
constexpr int32_t TextTop = 2;

struct TabControl {
  HWND window;  // set once the window is fully created; the window owns the object from then on
  int32_t selected;
  HBITMAP pieces;  // bitmap 200, 3D colours mapped; null leaves the tabs undrawn
  TabLayout layout;
  int32_t textWidths[TabCount];
};

void LoadPieces(TabControl* tabs) {
  if (tabs->pieces) DeleteObject(tabs->pieces);
  tabs->pieces = static_cast<HBITMAP>(
      LoadImageA(ControlInstance(), MAKEINTRESOURCEA(BF_BMP_TABS), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

HFONT DialogFont(HWND window) {
  return reinterpret_cast<HFONT>(SendMessageA(GetParent(window), WM_GETFONT, 0, 0));
}

// Text widths in the dialog font; the tabs' positions follow from them.
void Measure(TabControl* tabs, HDC dc) {
  HGDIOBJ previous = SelectObject(dc, DialogFont(tabs->window));
  for (int32_t i = 0; i < TabCount; ++i) {
    SIZE extent = {};
    GetTextExtentPoint32A(dc, TabCaptions[i], int(std::strlen(TabCaptions[i])), &extent);
    tabs->textWidths[i] = extent.cx;
  }
  SelectObject(dc, previous);
  LayOutTabs(&tabs->layout, tabs->textWidths);
}

void DrawTab(TabControl* tabs, HDC dc, HDC pieces, int32_t i, HFONT font) {
  const int32_t x = tabs->layout.left[i], w = tabs->textWidths[i];
  if (i == tabs->selected) {
    BitBlt(dc, x, 0, SelectedLeftWidth, SelectedHeight, pieces, SelectedLeftX, 0, SRCCOPY);
    StretchBlt(dc, x + SelectedLeftWidth, 0, w + MiddleExtra + InactiveLeftWidth - SelectedLeftWidth, SelectedHeight,
               pieces, SelectedMiddleX, 0, 1, SelectedHeight, SRCCOPY);
    const int32_t right = x + InactiveLeftWidth + w + MiddleExtra;
    BitBlt(dc, right, 0, SelectedRightWidth, SelectedHeight, pieces, SelectedRightMaskX, 0, SRCAND);
    BitBlt(dc, right, 0, SelectedRightWidth, SelectedHeight, pieces, SelectedRightX, 0, SRCPAINT);
  } else {
    BitBlt(dc, x, 0, InactiveLeftWidth, InactiveHeight, pieces, InactiveLeftX, 0, SRCCOPY);
    StretchBlt(dc, x + InactiveLeftWidth, 0, w + MiddleExtra, InactiveHeight, pieces, InactiveMiddleX, 0, 1,
               InactiveHeight, SRCCOPY);
    BitBlt(dc, x + InactiveLeftWidth + w + MiddleExtra, 0, InactiveRightWidth, InactiveHeight, pieces, InactiveRightX,
           0, SRCCOPY);
  }
  HGDIOBJ previous = SelectObject(dc, font);
  TextOutA(dc, x + TextInset, TextTop, TabCaptions[i], int(std::strlen(TabCaptions[i])));
  SelectObject(dc, previous);
}

void PaintTabs(TabControl* tabs, HDC dc, const RECT& client) {
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  RECT page = client;
  page.top = TabPageTop;
  DrawEdge(dc, &page, EDGE_RAISED, BF_RECT | BF_SOFT);
  if (tabs->pieces == nullptr) return;
  HDC pieces = CreateCompatibleDC(dc);
  if (pieces == nullptr) return;
  HGDIOBJ previousBitmap = SelectObject(pieces, tabs->pieces);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  HFONT font = DialogFont(tabs->window);
  LOGFONTA bold = {};
  GetObjectA(font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT), sizeof bold, &bold);
  bold.lfWeight = FW_BOLD;
  HFONT boldFont = CreateFontIndirectA(&bold);
  // The selected tab overlaps its neighbours, so it is drawn last.
  for (int32_t i = 0; i < TabCount; ++i) {
    if (i != tabs->selected) DrawTab(tabs, dc, pieces, i, font);
  }
  DrawTab(tabs, dc, pieces, tabs->selected, boldFont ? boldFont : font);
  if (boldFont) DeleteObject(boldFont);
  SelectObject(pieces, previousBitmap);
  DeleteDC(pieces);
}

void Paint(TabControl* tabs) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(tabs->window, &paint);
  RECT client;
  GetClientRect(tabs->window, &client);
  PaintBuffered(dc, client.right, client.bottom, [&](HDC target) { PaintTabs(tabs, target, client); });
  EndPaint(tabs->window, &paint);
}

void Press(TabControl* tabs, int32_t x, int32_t y) {
  const int32_t tab = TabAt(tabs->layout, x, y);
  if (tab < 0 || tab == tabs->selected) return;
  tabs->selected = tab;
  InvalidateRect(tabs->window, nullptr, FALSE);
  const int id = GetDlgCtrlID(tabs->window) + tab;
  SendMessageA(GetParent(tabs->window), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(tabs->window));
}

// Measures the tab texts with the window's own device context.
void MeasureOnScreen(TabControl* tabs) {
  HDC dc = GetDC(tabs->window);
  if (dc == nullptr) return;
  Measure(tabs, dc);
  ReleaseDC(tabs->window, dc);
}

}  // namespace

LRESULT CALLBACK TabWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) AdoptControlObject(window, lParam);
  TabControl* tabs = ControlObjectOf<TabControl>(window);
  if (tabs == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      tabs->window = window;
      LoadPieces(tabs);
      MeasureOnScreen(tabs);
      return 0;
    case WM_SETFONT:
    case WM_SYSCOLORCHANGE:
      if (message == WM_SYSCOLORCHANGE) LoadPieces(tabs);
      MeasureOnScreen(tabs);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
      Press(tabs, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(tabs);
      return 0;
    case WM_NCDESTROY:
      return ReleaseControl(window, wParam, lParam, tabs->window != nullptr, tabs, tabs->pieces);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateElementTabs(HWND dialog, int32_t id, int32_t element) {
  auto* tabs = static_cast<TabControl*>(NewControlObject(sizeof(TabControl)));
  if (tabs == nullptr) return nullptr;
  tabs->selected = element >= 0 && element < TabCount ? element : 0;
  HWND window = CreateControlWindow(TabClassName, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, TabWindowOrigin,
                                    TabWindowOrigin, TabWindowSize, TabWindowSize, dialog, id, tabs);
  if (window == nullptr) return nullptr;
  // Below every other control: they lie on its page.
  SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return window;
}
