// Dialog scripts: the interactions our host plays on a dialog the module shows
// for real (one step per line), so that the dialog can be driven and captured
// without a person at the screen. The reader is portable; the player that
// sends the steps to the windows is Windows-only (DialogPlayer.cpp).
//
// Format: one step per line, words separated by spaces or tabs; empty lines
// and lines whose first word begins with '#' are skipped. Numbers are decimal
// (a menu command may also be 0x hexadecimal). TEXT, PATH and the rest of a
// `type`, `file` or `menu` line run to the end of the line.
//
//   click ID             press a button (or check box) of the dialog
//   tab N                click the element tab N (0 Main, 1 Inner Bevel, 2 Outer Bevel)
//   slider ID VALUE      drag the slider's thumb until the slider holds VALUE
//   type ID TEXT         set the text of an edit (a slider's own number field for a
//                        slider id), then move the focus away from it
//   select ID INDEX      choose item INDEX of a list or drop-down list
//   light N X Y          drag on light sphere N (1..3) to the point X, Y of the sphere
//   point ID X Y         click at X, Y in a control (a light's colour swatch)
//   contour N            open the contour picker, move to cell N (0..48), release
//   contour-open N       the same without releasing: the picker stays open
//   release              release the button over the open contour picker
//   color R G B          the colour the host's colour picker answers from now on
//   color-cancel         the colour picker is cancelled from now on
//   menu COMMAND         the answer for the next popup menu (a command id, or none)
//   file PATH            the answer for the next file open or save dialog
//   file-cancel          the next file dialog is cancelled
//   zoom-in, zoom-out    the preview's zoom buttons
//   scroll DX DY         drag the preview by DX, DY pixels with the hand tool
//   shot NAME            capture the dialog (and any popup over it) as NAME.bmp
//   ok, cancel           end the dialog as Enter or Escape would
//   wait MS              let the dialog run MS milliseconds before the next step
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class DialogStepKind : uint8_t {
  Click,        // a = control id
  Tab,          // a = tab index
  Slider,       // a = control id, b = value
  Type,         // a = control id, text
  Select,       // a = control id, b = item index
  Light,        // a = light 1..3, b, c = point in the sphere window
  Point,        // a = control id, b, c = point in the control
  Contour,      // a = contour index
  ContourOpen,  // a = contour index; the picker stays open
  Release,      // the open contour picker's button up
  Color,        // a, b, c = red, green, blue
  ColorCancel,  // the colour picker cancels
  Menu,         // a = command id, or -1 for a dismissed menu
  File,         // text = the chosen path
  FileCancel,   // the file dialog is cancelled
  ZoomIn,       // the "+" button
  ZoomOut,      // the "-" button
  Scroll,       // a, b = mouse movement in pixels
  Shot,         // text = picture name
  Ok,           // end with IDOK
  Cancel,       // end with IDCANCEL
  Wait          // a = milliseconds
};

struct DialogStep {
  DialogStepKind kind = DialogStepKind::Ok;
  int32_t a = 0, b = 0, c = 0;
  std::string text;
  int32_t line = 0;  // 1-based line of the script, for reports
};

struct DialogScript {
  std::vector<DialogStep> steps;
};

// Longest line and most steps a script may have; longer scripts are refused.
constexpr size_t DialogScriptMaxLine = 4096;   // bytes
constexpr size_t DialogScriptMaxSteps = 4096;
constexpr int32_t DialogScriptMaxWait = 60000;  // milliseconds

// Reads a script from `size` bytes (no terminator needed). Returns true with
// the steps in `script`, or false with `error` naming the line and the
// problem; `script` is then left empty.
bool ParseDialogScript(const char* text, size_t size, DialogScript* script, std::string* error);

// Reads and parses the script file at `path`. Returns false with `error`
// saying why (the file cannot be read, or the line and the problem).
bool ReadDialogScriptFile(const std::string& path, DialogScript* script, std::string* error);

// The step as one script line (without line end); reading it back gives the
// same step.
std::string FormatDialogStep(const DialogStep& step);
