#include "bevel/DirectionTable.h"

namespace {
constexpr int32_t QuarterTurn = DirectionSteps / 4;  // 256 steps
constexpr int32_t EighthTurn = DirectionSteps / 8;   // 128 steps
constexpr double Step = 0.006135923151542565;        // 2 pi / 1024

// sin and cos on [0, pi/4] by their Taylor series, in plain double
// arithmetic: the runtimes' own sin and cos differ in the last bit between
// platforms, which would make the Windows builds shade differently.
double SinSeries(double x) {
  double x2 = x * x;
  double sum = 0;
  for (int n = 17; n >= 3; n -= 2) sum = (sum + 1.0) * -x2 / double(n * (n - 1));
  return x * (1.0 + sum);
}
double CosSeries(double x) {
  double x2 = x * x;
  double sum = 0;
  for (int n = 18; n >= 2; n -= 2) sum = (sum + 1.0) * -x2 / double(n * (n - 1));
  return 1.0 + sum;
}
}  // namespace

void MakeDirectionTable(DirectionTable* table) {
  // The first eighth turn from the series, the rest by the exact symmetries
  // of the quarter and eighth turns.
  double sines[EighthTurn + 1], cosines[EighthTurn + 1];
  for (int32_t k = 0; k <= EighthTurn; ++k) {
    sines[k] = SinSeries(k * Step);
    cosines[k] = CosSeries(k * Step);
  }
  for (int32_t i = 0; i < DirectionSteps; ++i) {
    int32_t quarter = i / QuarterTurn, rest = i % QuarterTurn;
    double c = rest <= EighthTurn ? cosines[rest] : sines[QuarterTurn - rest];
    double s = rest <= EighthTurn ? sines[rest] : cosines[QuarterTurn - rest];
    // 0.0 - v, not -v: a zero stays +0.
    double cosine = quarter == 0 ? c : quarter == 1 ? 0.0 - s : quarter == 2 ? 0.0 - c : s;
    double sine = quarter == 0 ? s : quarter == 1 ? c : quarter == 2 ? 0.0 - s : 0.0 - c;
    table->pairs[i].cos = static_cast<float>(cosine);
    table->pairs[i].sin = static_cast<float>(sine);
  }
}
