// The About box (dialog 101): the picture, the version and a button to the
// maker's web site, on white. Enter, Escape or a click anywhere closes it.
#include <windows.h>

#include "interface/HostHooks.h"
#include "platform/HostHookLookup.h"
#include "platform/ModuleInstance.h"
#include "platform/ShellOpen.h"
#include "resources/ResourceIds.h"
#include "ui/win32/DialogWindows.h"

namespace {

constexpr const char* MakerWebSite = "https://www.glintmark.com/";

INT_PTR CALLBACK AboutProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      // Focus on the box itself, so that Enter closes it rather than pressing the web site button.
      SetFocus(box);
      const auto shown = reinterpret_cast<HostDialogShownHook>(FindHostHook(HostDialogShownHookName));
      if (shown != nullptr) shown(box, BF_DLG_ABOUT);
      return FALSE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(box, LOWORD(wParam));
          return TRUE;
        case BF_ABOUT_WEBSITE:
          ShellOpen(MakerWebSite);
          return TRUE;
      }
      return FALSE;
    case WM_LBUTTONDOWN:
      EndDialog(box, IDOK);
      return TRUE;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
  }
  return FALSE;
}

}  // namespace

void ShowAboutBox(HWND owner) {
  // Our own host may settle the box unseen, as it does every dialog.
  const auto settle = reinterpret_cast<HostDialogHook>(FindHostHook(HostDialogHookName));
  if (settle != nullptr && settle(BF_DLG_ABOUT) != 0) return;
  DialogBoxParamA(static_cast<HINSTANCE>(ModuleInstance()), MAKEINTRESOURCEA(BF_DLG_ABOUT), owner, AboutProc, 0);
}
