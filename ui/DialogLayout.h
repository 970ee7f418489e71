// The style dialog's geometry: where its window opens, the smallest size it
// takes, and where the controls that follow the window's size go. Pixel
// coordinates of the dialog's client area (screen pixels for the window).
#pragma once
#include <cstdint>

// The smallest client size, and the smallest size the user can drag to.
constexpr int32_t MinDialogWidth = 680;
constexpr int32_t MinDialogHeight = 506;

// A remembered size brought up to the smallest.
void ClampDialogSize(int32_t* width, int32_t* height);

struct ScreenRect {
  int32_t left, top, right, bottom;
};

// Where the dialog window (outer size width × height) opens: centred over
// the host window's client area (`host`, screen pixels), shifted left by the
// caption buttons' width (two thirds of it without a sizing border), a third
// of the free height down; then moved left and up so that it ends within the
// screen (screenWidth × screenHeight), never beyond 0.
void PlaceDialog(const ScreenRect& host, int32_t width, int32_t height, int32_t captionButtonWidth,
                 bool sizingBorder, int32_t screenWidth, int32_t screenHeight, int32_t* x, int32_t* y);

// A control moved (and, with width > 0, sized) by the layout.
struct ControlPlace {
  int32_t id;
  int32_t x, y;           // x < 0: the control keeps its position
  int32_t width, height;  // width <= 0: the control keeps its size
};
constexpr int32_t LayoutControlCount = 13;
// The controls' places for the client size width × height.
void DialogLayout(int32_t width, int32_t height, ControlPlace places[LayoutControlCount]);
