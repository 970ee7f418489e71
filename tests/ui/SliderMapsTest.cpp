#include "ui/SliderMaps.h"

#include <gtest/gtest.h>

// Every position of each track maps to a value whose position is that
// position again, the full track gives the slider's range, and the maps never
// go backwards: a thumb dragged right never lowers the value.
TEST(SliderMaps, PositionsRoundTripAndCoverTheRange) {
  struct Track {
    SliderKind kind;
    int32_t width, maximum;
  };
  for (const Track& track : {Track{SliderKind::Linear, 100, 100}, Track{SliderKind::Depth, 140, 1000},
                             Track{SliderKind::Size, 140, 250}}) {
    EXPECT_EQ(SliderMaximum(track.kind, track.width), track.maximum);
    int32_t previous = -1;
    for (int32_t position = 0; position <= track.width; ++position) {
      const int32_t value = SliderValueOfPosition(track.kind, track.width, position);
      EXPECT_GT(value, previous);
      EXPECT_EQ(SliderPositionOfValue(track.kind, track.width, value), position);
      previous = value;
    }
    EXPECT_EQ(ClampSliderValue(track.kind, track.width, -5), 0);
    EXPECT_EQ(ClampSliderValue(track.kind, track.width, track.maximum + 500), track.maximum);
  }
}

// A byte shown as percent and stored back is the byte again wherever the
// percent scale can tell bytes apart, and every percent survives the trip.
TEST(SliderMaps, PercentAndByteAgree) {
  for (int32_t percent = 0; percent <= 100; ++percent) EXPECT_EQ(PercentOfByte(ByteOfPercent(percent)), percent);
  EXPECT_EQ(ByteOfPercent(100), 255);
  EXPECT_EQ(PercentOfByte(255), 100);
}
