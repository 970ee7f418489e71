// The Windows side of the dialog player: the steps of the script sent as a
// person's mouse and keyboard would send them, one per timer tick inside the
// module's modal loop, and the dialog captured into BMP pictures.
#include "host/DialogPlayer.h"

#if defined(_WIN32)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "host/TopDownBitmap.h"
#include "resources/MainDialogIds.h"
#include "ui/ContourPicker.h"
#include "ui/ElementTabs.h"
#include "ui/SliderMaps.h"

namespace {

constexpr UINT_PTR StepTimerId = 0xBF51;
constexpr UINT StepInterval = 40;  // ms between steps: time for posted messages and repaints

// Where the steps press, besides what the dialog's ids and layout rules give.
constexpr int32_t SphereCentre = 32;  // a light sphere takes mouse positions from (32, 32)
constexpr int32_t TabClickY = 8;      // inside the tab strip
constexpr int32_t SliderClickY = 8;   // on a slider's thumb
constexpr int32_t SliderEditId = 1;   // a slider's own number field
constexpr const char* ContourPickerClass = "ContourClass";

HWND gDialog = nullptr;         // the dialog the steps go to
POINT gPickerPoint = {0, 0};    // where the open contour picker was last hovered

LPARAM At(int32_t x, int32_t y) { return MAKELPARAM(WORD(int16_t(x)), WORD(int16_t(y))); }

bool HasClass(HWND window, const char* name) {
  char buffer[64] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return lstrcmpiA(buffer, name) == 0;
}

HWND Control(const DialogStep& step, int32_t id) {
  HWND control = GetDlgItem(gDialog, id);
  if (control == nullptr) NoteDialogProblem(&step, "the dialog has no control " + std::to_string(id));
  return control;
}

void Press(HWND window, int32_t x, int32_t y) {
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
}
void Move(HWND window, int32_t x, int32_t y) { SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, At(x, y)); }
void Release(HWND window, int32_t x, int32_t y) { SendMessageA(window, WM_LBUTTONUP, 0, At(x, y)); }

void ClickAt(HWND window, int32_t x, int32_t y) {
  Press(window, x, y);
  Release(window, x, y);
}

// A button is pressed the way the button itself handles a click (a check
// box toggles); any other control gets a click at its centre.
void ClickControl(HWND control) {
  if (HasClass(control, "Button")) {
    SendMessageA(control, BM_CLICK, 0, 0);
    return;
  }
  RECT r;
  GetClientRect(control, &r);
  ClickAt(control, r.right / 2, r.bottom / 2);
}

// Drags the thumb to the position whose value is nearest `value`: the value
// grows with the position, so the position is found by bisection, asking the
// slider for its value at every step of the drag.
void DragSlider(const DialogStep& step, HWND slider, int32_t value) {
  RECT r;
  GetClientRect(slider, &r);
  const int32_t track = r.right - SliderWindowExtra;
  int32_t low = 0, high = track;
  Press(slider, SliderThumbGrip, SliderClickY);
  auto probe = [slider](int32_t position) {
    Move(slider, position + SliderThumbGrip, SliderClickY);
    return int32_t(SendMessageA(slider, WM_USER, 0, 0));
  };
  while (low < high) {
    const int32_t middle = (low + high) / 2;
    if (probe(middle) < value) low = middle + 1;
    else high = middle;
  }
  int32_t best = low;
  if (low > 0 && value - probe(low - 1) < probe(low) - value) best = low - 1;
  const int32_t reached = probe(best);
  Release(slider, best + SliderThumbGrip, SliderClickY);
  if (reached != value)
    NoteDialogProblem(&step, "slider holds " + std::to_string(reached) + ", the nearest to " + std::to_string(value));
}

void TypeText(const DialogStep& step, HWND control) {
  HWND edit = HasClass(control, "Edit") ? control : GetDlgItem(control, SliderEditId);
  if (edit == nullptr) {
    NoteDialogProblem(&step, "control " + std::to_string(step.a) + " has no edit field");
    return;
  }
  SetFocus(edit);
  SetWindowTextA(edit, step.text.c_str());
  // Focus moves on as a Tab key would take it, so that the edit sees it go.
  HWND next = GetNextDlgTabItem(gDialog, edit, FALSE);
  SetFocus(next != nullptr && next != edit ? next : nullptr);
}

void SelectItem(const DialogStep& step, HWND control) {
  const bool combo = HasClass(control, "ComboBox");
  if (!combo && !HasClass(control, "ListBox")) {
    NoteDialogProblem(&step, "control " + std::to_string(step.a) + " is no list");
    return;
  }
  const LRESULT chosen = SendMessageA(control, combo ? CB_SETCURSEL : LB_SETCURSEL, WPARAM(step.b), 0);
  if (chosen == (combo ? CB_ERR : LB_ERR)) {
    NoteDialogProblem(&step, "list " + std::to_string(step.a) + " has no item " + std::to_string(step.b));
    return;
  }
  SendMessageA(gDialog, WM_COMMAND, MAKEWPARAM(step.a, combo ? CBN_SELCHANGE : LBN_SELCHANGE), LPARAM(control));
}

// The tab is clicked at the middle of its text, laid out as the tab window
// lays it out in the dialog's font.
void ClickTab(const DialogStep& step) {
  HWND tabs = Control(step, BF_IDC_TABS);
  if (tabs == nullptr) return;
  HDC dc = GetDC(tabs);
  HGDIOBJ old = SelectObject(dc, HFONT(SendMessageA(gDialog, WM_GETFONT, 0, 0)));
  int32_t x = FirstTabX, middle = 0;
  for (int32_t i = 0; i <= step.a; ++i) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, TabCaptions[i], lstrlenA(TabCaptions[i]), &size);
    middle = x + (size.cx + TabPadding) / 2;
    x += size.cx + TabPadding;
  }
  SelectObject(dc, old);
  ReleaseDC(tabs, dc);
  ClickAt(tabs, middle, TabClickY);
}

HWND FindPicker() {
  HWND picker = FindWindowA(ContourPickerClass, nullptr);
  return picker != nullptr && IsWindowVisible(picker) ? picker : nullptr;
}

void PickContour(const DialogStep& step, bool release) {
  HWND button = Control(step, BF_IDC_CONTOUR);
  if (button == nullptr) return;
  SendMessageA(button, BM_CLICK, 0, 0);
  HWND picker = FindPicker();
  if (picker == nullptr) {
    NoteDialogProblem(&step, "the contour picker did not open");
    return;
  }
  gPickerPoint.x = (step.a % ContourGridColumns) * ContourCellPitch + ContourCellPitch / 2;
  gPickerPoint.y = (step.a / ContourGridColumns) * ContourCellPitch + ContourCellPitch / 2;
  SendMessageA(picker, WM_MOUSEMOVE, 0, At(gPickerPoint.x, gPickerPoint.y));
  if (release) Release(picker, gPickerPoint.x, gPickerPoint.y);
}

// Drags over the preview with the hand tool, then gives back the tool that was chosen.
void ScrollPreview(const DialogStep& step) {
  HWND view = Control(step, BF_IDC_PREVIEW);
  HWND hand = Control(step, BF_IDC_TOOL_HAND);
  if (view == nullptr || hand == nullptr) return;
  const bool wasMapTool = IsDlgButtonChecked(gDialog, BF_IDC_TOOL_HAND) != BST_CHECKED;
  SendMessageA(hand, BM_CLICK, 0, 0);
  RECT r;
  GetClientRect(view, &r);
  const int32_t x = r.right / 2, y = r.bottom / 2;
  constexpr int32_t Moves = 4;
  Press(view, x, y);
  for (int32_t i = 1; i <= Moves; ++i) Move(view, x + step.a * i / Moves, y + step.b * i / Moves);
  Release(view, x + step.a, y + step.b);
  if (wasMapTool) {
    if (HWND mapTool = GetDlgItem(gDialog, BF_IDC_TOOL_EDIT)) SendMessageA(mapTool, BM_CLICK, 0, 0);
  }
}

// ---- Pictures ---------------------------------------------------------------------

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// A 24-bit bottom-up BMP from 32-bit top-down BGRX rows.
bool WriteBmp(const std::string& file, int32_t width, int32_t height, const uint8_t* pixels) {
  const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * uint32_t(height);
  std::vector<uint8_t> out;
  out.reserve(54 + imageBytes);
  out.push_back('B');
  out.push_back('M');
  PutLe(out, 54 + imageBytes, 4);
  PutLe(out, 0, 4);
  PutLe(out, 54, 4);
  PutLe(out, 40, 4);
  PutLe(out, uint32_t(width), 4);
  PutLe(out, uint32_t(height), 4);
  PutLe(out, 1, 2);
  PutLe(out, 24, 2);
  PutLe(out, 0, 4);
  PutLe(out, imageBytes, 4);
  PutLe(out, 2835, 4);  // 72 dpi
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  for (int32_t y = height - 1; y >= 0; --y) {
    const uint8_t* row = pixels + size_t(y) * size_t(width) * 4;
    for (int32_t x = 0; x < width; ++x) out.insert(out.end(), row + 4 * x, row + 4 * x + 3);
    out.resize(out.size() + (rowBytes - uint32_t(width) * 3), 0);
  }
  FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && written;
}

struct Popups {
  std::vector<HWND> windows;
};

// Visible popups of this thread over the dialog (the contour picker).
BOOL CALLBACK CollectPopup(HWND window, LPARAM data) {
  if (window != gDialog && IsWindowVisible(window) && (GetWindowLongA(window, GWL_STYLE) & WS_POPUP) != 0)
    reinterpret_cast<Popups*>(data)->windows.push_back(window);
  return TRUE;
}

// The dialog with its children, and the popups over it, as they are on the
// screen: each window's own pixels copied from its window DC after it has
// painted, the popups over the dialog.
void Shot(const DialogStep& step) {
  DialogPlayerState* player = gDialogPlayer;
  Popups popups;
  EnumThreadWindows(GetCurrentThreadId(), CollectPopup, LPARAM(&popups));
  std::vector<HWND> windows{gDialog};
  windows.insert(windows.end(), popups.windows.begin(), popups.windows.end());
  RECT all;
  GetWindowRect(gDialog, &all);
  for (HWND w : windows) {
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r;
    GetWindowRect(w, &r);
    UnionRect(&all, &all, &r);
  }
  const int32_t width = all.right - all.left, height = all.bottom - all.top;
  if (width <= 0 || height <= 0) {
    NoteDialogProblem(&step, "the dialog has no size");
    return;
  }
  BITMAPINFO info = TopDownBitmapInfo(width, height);
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory == nullptr || bitmap == nullptr) {
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    NoteDialogProblem(&step, "no memory for the picture");
    return;
  }
  std::memset(bits, 0xFF, size_t(width) * size_t(height) * 4);
  HGDIOBJ old = SelectObject(memory, bitmap);
  for (HWND w : windows) {
    RECT r;
    GetWindowRect(w, &r);
    HDC source = GetWindowDC(w);
    BitBlt(memory, r.left - all.left, r.top - all.top, r.right - r.left, r.bottom - r.top, source, 0, 0, SRCCOPY);
    ReleaseDC(w, source);
  }
  GdiFlush();
  const std::string file = (player->shotFolder.empty() ? std::string(".") : player->shotFolder) + "/" + step.text + ".bmp";
  if (WriteBmp(file, width, height, static_cast<const uint8_t*>(bits))) player->playback.shots.push_back(file);
  else NoteDialogProblem(&step, "cannot write " + file);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

// ---- Playing ------------------------------------------------------------------------

void NoteClientSize() {
  RECT r;
  if (gDialog != nullptr && gDialogPlayer != nullptr && GetClientRect(gDialog, &r)) {
    gDialogPlayer->playback.clientWidth = r.right;
    gDialogPlayer->playback.clientHeight = r.bottom;
  }
}

void EndDialogAs(int32_t id) {
  NoteClientSize();
  PostMessageA(gDialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(gDialog, id)));
}

// Plays one step. Returns the milliseconds until the next one, or -1 when the
// step ends the dialog.
int32_t PlayStep(const DialogStep& step) {
  if (ApplyAnswerStep(step)) return StepInterval;
  HWND control = nullptr;
  switch (step.kind) {
    case DialogStepKind::Click:
      if ((control = Control(step, step.a))) ClickControl(control);
      break;
    case DialogStepKind::Tab: ClickTab(step); break;
    case DialogStepKind::Slider:
      if ((control = Control(step, step.a))) DragSlider(step, control, step.b);
      break;
    case DialogStepKind::Type:
      if ((control = Control(step, step.a))) TypeText(step, control);
      break;
    case DialogStepKind::Select:
      if ((control = Control(step, step.a))) SelectItem(step, control);
      break;
    case DialogStepKind::Light:
      if ((control = Control(step, BF_IDC_LIGHT1 + step.a - 1))) {
        Press(control, SphereCentre, SphereCentre);
        Move(control, step.b, step.c);
        Release(control, step.b, step.c);
      }
      break;
    case DialogStepKind::Point:
      if ((control = Control(step, step.a))) ClickAt(control, step.b, step.c);
      break;
    case DialogStepKind::Contour: PickContour(step, true); break;
    case DialogStepKind::ContourOpen: PickContour(step, false); break;
    case DialogStepKind::Release:
      if (HWND picker = FindPicker()) Release(picker, gPickerPoint.x, gPickerPoint.y);
      else NoteDialogProblem(&step, "no contour picker is open");
      break;
    case DialogStepKind::ZoomIn:
      if ((control = Control(step, BF_IDC_ZOOM_IN))) ClickControl(control);
      break;
    case DialogStepKind::ZoomOut:
      if ((control = Control(step, BF_IDC_ZOOM_OUT))) ClickControl(control);
      break;
    case DialogStepKind::Scroll: ScrollPreview(step); break;
    case DialogStepKind::Shot: Shot(step); break;
    case DialogStepKind::Ok: EndDialogAs(IDOK); return -1;
    case DialogStepKind::Cancel: EndDialogAs(IDCANCEL); return -1;
    case DialogStepKind::Wait: return step.a;
    default: break;
  }
  return StepInterval;
}

void CALLBACK PlayNextStep(HWND window, UINT, UINT_PTR id, DWORD) {
  KillTimer(window, id);
  DialogPlayerState* player = gDialogPlayer;
  if (player == nullptr || window != gDialog) return;
  NoteClientSize();
  if (player->next >= player->script.steps.size()) {
    // Nobody is at the screen: a dialog the script leaves open would wait for ever.
    NoteDialogProblem(nullptr, "the script ended with the dialog open; cancelled");
    EndDialogAs(IDCANCEL);
    return;
  }
  const DialogStep& step = player->script.steps[player->next++];
  ++player->playback.stepsPlayed;
  const int32_t delay = PlayStep(step);
  if (delay >= 0 && IsWindow(window)) SetTimer(window, StepTimerId, UINT(delay > 0 ? delay : 1), PlayNextStep);
}

}  // namespace

void PlayOnShownDialog(void* window, int32_t dialogId) {
  DialogPlayerState* player = gDialogPlayer;
  HWND dialog = static_cast<HWND>(window);
  if (player == nullptr) {
    // A dialog shown without a script: nobody would ever close it.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return;
  }
  player->playback.dialogsShown.push_back(dialogId);
  gDialog = dialog;
  SetTimer(dialog, StepTimerId, StepInterval, PlayNextStep);
}

#endif
