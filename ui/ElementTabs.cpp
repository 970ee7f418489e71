#include "ui/ElementTabs.h"

void LayOutTabs(TabLayout* layout, const int32_t textWidths[TabCount]) {
  int32_t x = FirstTabX;
  for (int32_t i = 0; i < TabCount; ++i) {
    layout->left[i] = x;
    x += textWidths[i] + TabPadding;
    layout->right[i] = x;
  }
}

int32_t TabAt(const TabLayout& layout, int32_t x, int32_t y) {
  if (y >= TabStripHeight || y < 0 || x < FirstTabX) return -1;
  for (int32_t i = 0; i < TabCount; ++i) {
    if (x < layout.right[i]) return i;
  }
  return -1;
}
