#include "frame/ColorPicker.h"

#include <cstring>

#include "frame/RunGlobals.h"

int32_t PickHostColor(uint8_t rgb[3]) {
  if (gRunGlobals == nullptr || gRunGlobals->filterRecord == nullptr) return 0;
  const ColorServicesProc picker = gRunGlobals->filterRecord->colorServices;
  if (picker == nullptr) return 0;
  ColorServicesInfo info;
  std::memset(&info, 0, sizeof info);
  info.infoSize = int32_t(sizeof info);
  info.selector = ColorServicesChooseColor;
  info.sourceSpace = ColorSpaceRGB;
  info.resultSpace = ColorSpaceRGB;
  for (int i = 0; i < 3; ++i) info.colorComponents[i] = rgb[i];
  if (picker(&info) != 0) return 0;
  for (int i = 0; i < 3; ++i) {
    const int16_t c = info.colorComponents[i];
    rgb[i] = uint8_t(c < 0 ? 0 : c > 255 ? 255 : c);
  }
  return 1;
}
