// The contour picker's grid: seven rows of seven framed pictures, contour i
// in column i mod 7 and row i div 7, and the contour under a mouse point.
#pragma once
#include <cstdint>

constexpr int32_t ContourGridColumns = 7;
constexpr int32_t ContourCellPitch = 33;   // pixels from one cell to the next; frames overlap by one
constexpr int32_t ContourCellExtent = 34;  // a cell's frame, from its left (top) edge to one past its right (bottom)
// Client width and height of the picker window.
constexpr int32_t ContourPickerClient = ContourGridColumns * ContourCellPitch + 1;

struct ContourCell {
  int32_t left, top, right, bottom;  // the frame; right and bottom exclusive
  int32_t pictureX, pictureY;        // where the 32 x 32 picture goes inside it
};

// The cell of contour `index` (0..48).
ContourCell ContourCellOf(int32_t index);

// The contour under client point (x, y), or -1 outside the grid (the client
// area less its last row and column).
int32_t ContourAt(int32_t x, int32_t y);
