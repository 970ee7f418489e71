#include "frame/HostColorPicker.h"

#include "frame/RunGlobals.h"

int32_t PickHostColor(uint8_t rgb[3]) {
  const FilterRecord* record = gRunGlobals != nullptr ? gRunGlobals->filterRecord : nullptr;
  if (record == nullptr || record->colorServices == nullptr) return 0;
  ColorServicesInfo info{};
  info.infoSize = int32_t(sizeof info);
  info.selector = ColorServicesChooseColor;
  info.sourceSpace = ColorSpaceRGB;
  info.resultSpace = ColorSpaceRGB;
  for (int c = 0; c < 3; ++c) info.colorComponents[c] = rgb[c];
  if (record->colorServices(&info) != 0) return 0;
  // RGB components come back as 0..255; anything else is brought into range.
  for (int c = 0; c < 3; ++c) {
    const int16_t v = info.colorComponents[c];
    rgb[c] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  return 1;
}
