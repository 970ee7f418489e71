#include "ui/SliderMaps.h"

namespace {

// Values the spread part of a Depth or Size track covers beyond the linear 100.
int32_t SpreadRange(SliderKind kind) { return kind == SliderKind::Depth ? 900 : 150; }

}  // namespace

int32_t SliderPositionOfValue(SliderKind kind, int32_t trackWidth, int32_t value) {
  if (kind == SliderKind::Linear || value <= SliderLinearPixels) return value;
  // Single precision, as the stored positions were always computed.
  const float step = float(trackWidth - SliderLinearPixels) * (1.0f / float(SpreadRange(kind)));
  return int32_t(step * float(value - SliderLinearPixels) + 100.5f);
}

int32_t SliderValueOfPosition(SliderKind kind, int32_t trackWidth, int32_t position) {
  if (kind == SliderKind::Linear || position <= SliderLinearPixels) return position;
  const float step = float(SpreadRange(kind)) / float(trackWidth - SliderLinearPixels);
  return int32_t(step * float(position - SliderLinearPixels) + 100.5f);
}

int32_t SliderMaximum(SliderKind kind, int32_t trackWidth) { return SliderValueOfPosition(kind, trackWidth, trackWidth); }

int32_t ClampSliderValue(SliderKind kind, int32_t trackWidth, int32_t value) {
  const int32_t maximum = SliderMaximum(kind, trackWidth);
  return value < 0 ? 0 : value > maximum ? maximum : value;
}

int32_t PercentOfByte(int32_t byte) { return (byte * 100 + 128) / 255; }

int32_t ByteOfPercent(int32_t percent) { return (percent * 51 + 10) / 20; }
