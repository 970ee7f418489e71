#include "ui/DialogLayout.h"

#include <gtest/gtest.h>

#include "resources/MainDialogIds.h"

// The preview fills what the left column and the rows below leave, and the
// bottom row and the grip follow the bottom-right corner at every size.
TEST(DialogLayout, PreviewAndBottomRowFollowTheSize) {
  for (int32_t w : {680, 900, 1600}) {
    for (int32_t h : {506, 700, 1200}) {
      ControlPlace places[LayoutControlCount];
      DialogLayout(w, h, places);
      for (const ControlPlace& p : places) {
        if (p.id == BF_IDC_PREVIEW) {
          EXPECT_EQ(p.x + p.width, w - 4);
          EXPECT_EQ(p.y + p.height, h - 36);
        }
        if (p.id == 1 || p.id == BF_IDC_LOAD) EXPECT_EQ(p.y, h - 30);
        if (p.id == BF_IDC_SIZE_GRIP) EXPECT_EQ(p.x + 16, w);
      }
    }
  }
  int32_t w = 400, h = 900;
  ClampDialogSize(&w, &h);
  EXPECT_EQ(w, MinDialogWidth);
  EXPECT_EQ(h, 900);
}

// Centred over the host's client area less the caption buttons, a third of
// the free height down, and pushed back onto the screen but never past 0.
TEST(DialogLayout, PlacementCentresAndStaysOnTheScreen) {
  int32_t x, y;
  PlaceDialog(ScreenRect{100, 50, 1100, 950}, 700, 600, 30, true, 1920, 1080, &x, &y);
  EXPECT_EQ(x, 100 + 150 - 30);
  EXPECT_EQ(y, 50 + 100);
  PlaceDialog(ScreenRect{100, 50, 1100, 950}, 700, 600, 30, false, 1920, 1080, &x, &y);
  EXPECT_EQ(x, 100 + 150 - 20);
  PlaceDialog(ScreenRect{1500, 800, 2500, 1700}, 700, 600, 30, true, 1920, 1080, &x, &y);
  EXPECT_EQ(x, 1920 - 700);
  EXPECT_EQ(y, 1080 - 600);
  PlaceDialog(ScreenRect{0, 0, 800, 600}, 900, 700, 30, true, 800, 600, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}
