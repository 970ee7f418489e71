// The preview's zoom steps: a step index chooses how many preview pixels show
// one document pixel, and the label the dialog shows for it.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t ZoomStepCount = 17;
constexpr int32_t FirstZoomStep = 0;     // 6.25 %: the "-" button is disabled here
constexpr int32_t LastZoomStep = 16;     // 1600 %: the "+" button is disabled here
constexpr int32_t DefaultZoomStep = 7;   // 100 %: the dialog opens at 1:1

// Preview pixels per document pixel at `step`, brought into 0..16 first.
float ZoomFactor(int32_t step);
// `step` brought into FirstZoomStep..LastZoomStep.
int32_t ClampZoomStep(int32_t step);

// The zoom label: the factor in percent with two decimals, trailing zeros and
// a trailing decimal separator removed, then "%" ("8.33%", "100%", "1200%").
// Writes at most `size` bytes including the terminating zero.
void FormatZoomLabel(int32_t step, char* text, size_t size);
