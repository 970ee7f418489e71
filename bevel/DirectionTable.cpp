#include "bevel/DirectionTable.h"

#include <cmath>
#include <numbers>

void MakeDirectionTable(DirectionTable* table) {
  const double step = 2.0 * std::numbers::pi / DirectionSteps;  // 0.006135923151542565
  for (int32_t i = 0; i < DirectionSteps; ++i) {
    double angle = i * step;
    table->pairs[i].cos = static_cast<float>(std::cos(angle));
    table->pairs[i].sin = static_cast<float>(std::sin(angle));
  }
}
