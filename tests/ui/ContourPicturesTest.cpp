#include "ui/ContourPictures.h"

#include <gtest/gtest.h>

#include "bevel/ContourProfiles.h"
#include "ui/ContourPicker.h"

namespace {

// Ink rows of each column, counted from the bottom (pictures are ink below a curve).
void ColumnHeights(const ContourPicture& picture, int32_t heights[ContourPictureSize]) {
  for (int32_t x = 0; x < ContourPictureSize; ++x) {
    heights[x] = 0;
    for (int32_t y = 0; y < ContourPictureSize; ++y) heights[x] += ContourInk(picture, x, y);
  }
}

}  // namespace

// Every picture is a curve with ink below it that climbs where its profile's
// normals tilt upwards across the band and drops where they tilt downwards:
// between two column centres whose steps all lean one way, the column heights
// may not move the other way.
TEST(ContourPictures, FollowTheProfileOfTheSameIndex) {
  for (int32_t index = 0; index < ContourProfileCount; ++index) {
    SCOPED_TRACE(index);
    ContourPicture picture;
    DrawContourPicture(&picture, uint16_t(index));
    ContourTable table;
    FacetKeyTable keys;
    BuildContour(table, keys, uint16_t(index), ContourPictureDepth, 1);
    int32_t heights[ContourPictureSize];
    ColumnHeights(picture, heights);
    for (int32_t x = 0; x < ContourPictureSize; ++x) {
      for (int32_t y = 0; y < ContourPictureSize; ++y) {
        ASSERT_EQ(ContourInk(picture, x, y), y >= ContourPictureSize - heights[x]) << "not one curve at column " << x;
      }
    }
    for (int32_t x = 0; x + 1 < ContourPictureSize; ++x) {
      bool rises = true, falls = true;
      for (int32_t step = x * 8 + 4; step < x * 8 + 12; ++step) {
        rises = rises && table.entry[step].radial > 0.0f;
        falls = falls && table.entry[step].radial < 0.0f;
      }
      if (rises) {
        EXPECT_GE(heights[x + 1], heights[x]) << "column " << x;
      }
      if (falls) {
        EXPECT_LE(heights[x + 1], heights[x]) << "column " << x;
      }
    }
  }
}

// The pictures drawn from the flipped profiles are the unflipped pictures
// turned by FlipContourPicture, up to rounding at one pixel per column: the
// picker and the contour button show what the renderer will do.
TEST(ContourPictures, FlippedPicturesShowTheFlippedProfiles) {
  for (int32_t index = 0; index < ContourProfileCount; ++index) {
    ContourPicture plain;
    DrawContourPicture(&plain, uint16_t(index));
    for (uint16_t flips : {FlipHorizontalFlag, FlipVerticalFlag, uint16_t(FlipHorizontalFlag | FlipVerticalFlag)}) {
      SCOPED_TRACE(testing::Message() << "contour " << index << " flips " << flips);
      ContourPicture rendered, turned;
      DrawContourPicture(&rendered, uint16_t(index | flips));
      FlipContourPicture(plain, flips, &turned);
      for (int32_t x = 0; x < ContourPictureSize; ++x) {
        int32_t differing = 0;
        for (int32_t y = 0; y < ContourPictureSize; ++y) differing += ContourInk(rendered, x, y) != ContourInk(turned, x, y);
        EXPECT_LE(differing, 1) << "column " << x;
      }
    }
  }
}

// Every client point of the picker lies in the frame of the contour it reports
// (or on no contour in the last row and column), and each contour is reported
// for its whole cell inside the frames.
TEST(ContourPicker, PointsFindTheCellTheyLieIn) {
  int32_t hits[ContourProfileCount] = {};
  for (int32_t y = -2; y < ContourPickerClient + 2; ++y) {
    for (int32_t x = -2; x < ContourPickerClient + 2; ++x) {
      const int32_t index = ContourAt(x, y);
      if (index < 0) {
        EXPECT_TRUE(x < 0 || y < 0 || x >= ContourPickerClient - 1 || y >= ContourPickerClient - 1) << x << "," << y;
        continue;
      }
      ASSERT_LT(index, ContourProfileCount);
      const ContourCell cell = ContourCellOf(index);
      EXPECT_TRUE(x >= cell.left && x < cell.right && y >= cell.top && y < cell.bottom) << x << "," << y;
      EXPECT_EQ(cell.pictureX + ContourPictureSize + 1, cell.right);
      ++hits[index];
    }
  }
  for (int32_t count : hits) EXPECT_EQ(count, ContourCellPitch * ContourCellPitch);
}
