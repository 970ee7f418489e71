// A stand-in filter module for checking our host's dialog player under wine
// (scripts/dialog-scenarios): at the About selector it shows a small dialog of
// standard controls, hands it to the host's dialog-shown hook and, when the
// dialog ends, reports what the controls hold through the host's message hook,
// so that the steps played show in the host's report.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "interface/HostHooks.h"

namespace {

constexpr int32_t ProbeDialogId = 101;
constexpr WORD EditId = 212, CheckId = 55, ListId = 150, ComboId = 52, AskId = 7;
constexpr WORD ButtonClass = 0x0080, EditClass = 0x0081, ListBoxClass = 0x0083, ComboBoxClass = 0x0085;

int32_t gMenuAnswer = 0;  // what the hooks answered to the Ask button
char gFileAnswer[MAX_PATH] = "";

template <typename Hook>
Hook Find(const char* name) {
  return reinterpret_cast<Hook>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), name)));
}

// An in-memory dialog template: DLGTEMPLATE, then DLGITEMTEMPLATEs on DWORD boundaries.
struct Template {
  std::vector<WORD> words;
  void Align() {
    if (words.size() % 2) words.push_back(0);
  }
  void Text(const char* text) {
    for (; *text; ++text) words.push_back(WORD(uint8_t(*text)));
    words.push_back(0);
  }
  void Dword(DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
  }
  void Item(WORD cls, WORD id, DWORD style, short x, short y, short w, short h, const char* text) {
    Align();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    for (short v : {x, y, w, h}) words.push_back(WORD(v));
    words.push_back(id);
    words.push_back(0xFFFF);
    words.push_back(cls);
    Text(text);
    words.push_back(0);  // no creation data
    ++words[4];          // cdit of the header
  }
};

std::vector<WORD> ProbeTemplate() {
  Template t;
  t.Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER);
  t.Dword(0);
  t.words.push_back(0);  // cdit, counted by Item
  for (short v : {0, 0, 200, 120}) t.words.push_back(WORD(v));
  t.words.push_back(0);  // no menu
  t.words.push_back(0);  // standard class
  t.Text("Dialog probe");
  t.words.push_back(8);
  t.Text("MS Sans Serif");
  t.Item(EditClass, EditId, ES_NUMBER | WS_BORDER | WS_TABSTOP, 10, 10, 60, 12, "0");
  t.Item(ButtonClass, CheckId, BS_AUTOCHECKBOX | WS_TABSTOP, 80, 10, 80, 10, "Show Mapping");
  t.Item(ListBoxClass, ListId, LBS_NOTIFY | WS_BORDER | WS_VSCROLL, 10, 30, 80, 40, "");
  t.Item(ComboBoxClass, ComboId, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 100, 30, 80, 60, "");
  t.Item(ButtonClass, AskId, BS_PUSHBUTTON | WS_TABSTOP, 100, 50, 80, 14, "Ask");
  t.Item(ButtonClass, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 100, 50, 14, "OK");
  t.Item(ButtonClass, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 145, 100, 50, 14, "Cancel");
  return t.words;
}

void Report(HWND dialog, int32_t ending) {
  char edit[32] = "";
  GetDlgItemTextA(dialog, EditId, edit, sizeof edit);
  char text[512];
  std::snprintf(text, sizeof text, "end=%d edit=%s check=%d list=%d combo=%d menu=%d file=%s", int(ending), edit,
                int(IsDlgButtonChecked(dialog, CheckId)), int(SendDlgItemMessageA(dialog, ListId, LB_GETCURSEL, 0, 0)),
                int(SendDlgItemMessageA(dialog, ComboId, CB_GETCURSEL, 0, 0)), int(gMenuAnswer), gFileAnswer);
  if (auto message = Find<HostMessageHook>(HostMessageHookName)) message(text, "probe", 0);
}

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      for (const char* item : {"Color Map - a", "Bump Map - b", "Background"})
        SendDlgItemMessageA(dialog, ListId, LB_ADDSTRING, 0, LPARAM(item));
      for (const char* item : {"Normal", "Color", "Reflection"})
        SendDlgItemMessageA(dialog, ComboId, CB_ADDSTRING, 0, LPARAM(item));
      if (auto shown = Find<HostDialogShownHook>(HostDialogShownHookName)) shown(dialog, ProbeDialogId);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == AskId) {
        if (auto menu = Find<HostPopupMenuHook>(HostPopupMenuHookName)) gMenuAnswer = menu(3000);
        if (auto file = Find<HostFileDialogHook>(HostFileDialogHookName)) file(0, gFileAnswer, sizeof gFileAnswer);
      } else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        Report(dialog, LOWORD(wParam));
        EndDialog(dialog, LOWORD(wParam));
      }
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

extern "C" __declspec(dllexport) void PI_CALL PluginMain(int16_t selector, void* record, intptr_t*, int16_t* result) {
  *result = 0;
  if (selector != 0) return;
  const PlatformData* platform = static_cast<const PlatformData*>(static_cast<AboutRecord*>(record)->platformData);
  const std::vector<WORD> words = ProbeTemplate();
  DialogBoxIndirectParamA(GetModuleHandleA("DialogProbe.8bf"), reinterpret_cast<LPCDLGTEMPLATEA>(words.data()),
                          platform != nullptr ? reinterpret_cast<HWND>(platform->hwnd) : nullptr, ProbeProc, 0);
}
