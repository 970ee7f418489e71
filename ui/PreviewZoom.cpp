#include "ui/PreviewZoom.h"

#include <cstdio>
#include <cstring>

namespace {
// Single-precision factors; the thirds and twelfths are kept to four decimals
// so that the labels read 8.33 %, 16.67 % and 33.33 %.
constexpr float ZoomFactors[ZoomStepCount] = {0.0625f, 0.0833f, 0.125f, 0.1667f, 0.25f, 0.3333f,
                                              0.5f,    1.0f,    2.0f,   3.0f,    4.0f,  5.0f,
                                              6.0f,    7.0f,    8.0f,   12.0f,   16.0f};
}  // namespace

int32_t ClampZoomStep(int32_t step) {
  return step < FirstZoomStep ? FirstZoomStep : step > LastZoomStep ? LastZoomStep : step;
}

float ZoomFactor(int32_t step) { return ZoomFactors[ClampZoomStep(step)]; }

void FormatZoomLabel(int32_t step, char* text, size_t size) {
  if (text == nullptr || size == 0) return;
  char digits[32];
  std::snprintf(digits, sizeof digits, "%3.2f", double(ZoomFactor(step) * 100.0f));
  size_t length = std::strlen(digits);
  while (length > 0 && digits[length - 1] == '0') --length;
  if (length > 0 && (digits[length - 1] == '.' || digits[length - 1] == ',')) --length;
  digits[length] = '\0';
  std::snprintf(text, size, "%s%%", digits);
}
