// The dialog's sliders: how a value maps to a thumb position on the track and
// back. Positions are pixels from the track's left end (0..track width); values
// are the slider's own unit (percent, pixels).
#pragma once
#include <cstdint>

// How a slider spreads its values over its track.
enum class SliderKind : uint8_t {
  Linear,  // one value per pixel: material sliders and the map amount (track 100: 0..100 %)
  Depth,   // 0..100 on the first 100 pixels, 100..1000 on the rest (track 140: 0..1000 %)
  Size,    // 0..100 on the first 100 pixels, 100..250 on the rest (track 140: 0..250 px)
};

// Pixels of a track that carry one value each before a Depth or Size slider
// spreads the rest of its range.
constexpr int32_t SliderLinearPixels = 100;

// The slider window: its width beyond the track, and the column of the thumb
// the mouse holds (a press at track position p + SliderThumbGrip holds p).
constexpr int32_t SliderWindowExtra = 41;
constexpr int32_t SliderThumbGrip = 4;

int32_t SliderPositionOfValue(SliderKind kind, int32_t trackWidth, int32_t value);
int32_t SliderValueOfPosition(SliderKind kind, int32_t trackWidth, int32_t position);

// The value at the full track: the largest value the slider takes.
int32_t SliderMaximum(SliderKind kind, int32_t trackWidth);

// A value brought into 0..SliderMaximum.
int32_t ClampSliderValue(SliderKind kind, int32_t trackWidth, int32_t value);

// Percent shown by a slider for a material byte 0..255, rounded:
// (byte × 100 + 128) / 255.
int32_t PercentOfByte(int32_t byte);

// The material byte stored for a slider's percent 0..100: (percent × 51 + 10) / 20.
int32_t ByteOfPercent(int32_t percent);
