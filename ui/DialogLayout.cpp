#include "ui/DialogLayout.h"

#include "resources/MainDialogIds.h"

namespace {
// The preview's corner, and what the left column and the rows below it keep.
constexpr int32_t PreviewLeft = 264, PreviewTop = 106;
constexpr int32_t PreviewMarginX = 268, PreviewMarginY = 142;
constexpr int32_t ButtonRowFromBottom = 30, ZoomRowFromBottom = 26, GripSize = 16;
constexpr int32_t DialogIdOk = 1, DialogIdCancel = 2;
}  // namespace

void ClampDialogSize(int32_t* width, int32_t* height) {
  if (*width < MinDialogWidth) *width = MinDialogWidth;
  if (*height < MinDialogHeight) *height = MinDialogHeight;
}

void PlaceDialog(const ScreenRect& host, int32_t width, int32_t height, int32_t captionButtonWidth,
                 bool sizingBorder, int32_t screenWidth, int32_t screenHeight, int32_t* x, int32_t* y) {
  const int32_t shift = sizingBorder ? captionButtonWidth : captionButtonWidth * 2 / 3;
  int32_t left = host.left + (host.right - host.left - width) / 2 - shift;
  int32_t top = host.top + (host.bottom - host.top - height) / 3;
  if (left + width > screenWidth) left = screenWidth - width;
  if (top + height > screenHeight) top = screenHeight - height;
  // A window wider than the screen keeps its caption and left edge reachable.
  *x = left < 0 ? 0 : left;
  *y = top < 0 ? 0 : top;
}

void DialogLayout(int32_t width, int32_t height, ControlPlace places[LayoutControlCount]) {
  const int32_t buttons = height - ButtonRowFromBottom, zoom = height - ZoomRowFromBottom;
  const ControlPlace layout[LayoutControlCount] = {
      {BF_IDC_PREVIEW, PreviewLeft, PreviewTop, width - PreviewMarginX, height - PreviewMarginY},
      {BF_IDC_LOAD, 448, buttons, 0, 0},
      {BF_IDC_SAVE, 499, buttons, 0, 0},
      {DialogIdOk, 552, buttons, 0, 0},
      {DialogIdCancel, 604, buttons, 0, 0},
      {BF_IDC_TOOL_EDIT, 264, buttons, 0, 0},
      {BF_IDC_TOOL_HAND, 288, buttons, 0, 0},
      {BF_IDC_HELP, 422, buttons, 0, 0},
      {BF_IDC_ZOOM_OUT, 316, zoom, 0, 0},
      {BF_IDC_ZOOM_LABEL, 336, zoom, 0, 0},
      {BF_IDC_ZOOM_IN, 376, zoom, 0, 0},
      {BF_IDC_CONTOUR, -1, -1, 50, 36},
      {BF_IDC_SIZE_GRIP, width - GripSize, height - GripSize, 0, 0},
  };
  for (int32_t i = 0; i < LayoutControlCount; ++i) places[i] = layout[i];
}
