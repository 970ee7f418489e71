#include "ui/ContourPicker.h"

#include "bevel/ContourProfiles.h"

ContourCell ContourCellOf(int32_t index) {
  ContourCell cell;
  cell.left = (index % ContourGridColumns) * ContourCellPitch;
  cell.top = (index / ContourGridColumns) * ContourCellPitch;
  cell.right = cell.left + ContourCellExtent;
  cell.bottom = cell.top + ContourCellExtent;
  cell.pictureX = cell.left + 1;
  cell.pictureY = cell.top + 1;
  return cell;
}

int32_t ContourAt(int32_t x, int32_t y) {
  const int32_t limit = ContourPickerClient - 1;
  if (x < 0 || y < 0 || x >= limit || y >= limit) return -1;
  const int32_t index = (y / ContourCellPitch) * ContourGridColumns + x / ContourCellPitch;
  return index < ContourProfileCount ? index : -1;
}
