// Corner classification on the exact path coordinates, once per run.
#include "bevel/CornerClassification.h"

#include "geometry/WideArithmetic.h"

namespace {

int SignOf(int64_t value) { return value > 0 ? 1 : (value < 0 ? -1 : 0); }
uint64_t MagnitudeOf(int64_t value) { return value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value); }

// Sign of a*b - c*d, exact for any operands whose products exceed 64 bits
// (differences of 32-bit path coordinates take up to 33 bits).
int SignOfProductDifference(int64_t a, int64_t b, int64_t c, int64_t d) {
  constexpr int64_t SafeMagnitude = int64_t(1) << 31;  // products stay below 2^62
  if (a > -SafeMagnitude && a < SafeMagnitude && b > -SafeMagnitude && b < SafeMagnitude &&
      c > -SafeMagnitude && c < SafeMagnitude && d > -SafeMagnitude && d < SafeMagnitude)
    return SignOf(a * b - c * d);
  const int first = SignOf(a) * SignOf(b);
  const int second = SignOf(c) * SignOf(d);
  if (first != second) return first != 0 ? first : -second;
  if (first == 0) return 0;
  return first * Compare128(Multiply64(MagnitudeOf(a), MagnitudeOf(b)), Multiply64(MagnitudeOf(c), MagnitudeOf(d)));
}

constexpr uint32_t CornerBits = OuterCorner | OuterCornerAhead | StraightPoint | StraightAhead;

void ClassifyRing(OffsetNode* first) {
  OffsetNode* node = first;
  do {
    node->flags &= ~CornerBits;
    node = node->next;
  } while (node != first);

  OffsetNode* p0 = first;
  do {
    OffsetNode* p1 = p0->next;
    const OffsetNode* p2 = p1->next;
    if (p2->fx == p0->fx && p2->fy == p0->fy) {
      p0->flags |= OuterCornerAhead;
      p1->flags = (p1->flags & ~SmoothPoint) | OuterCorner;
    } else {
      const int64_t ax = int64_t(p2->fx) - p0->fx, ay = int64_t(p2->fy) - p0->fy;
      const int64_t bx = int64_t(p1->fx) - p0->fx, by = int64_t(p1->fy) - p0->fy;
      const int turn = SignOfProductDifference(ax, by, ay, bx);
      if (turn == 0) {
        p0->flags |= StraightAhead | OuterCornerAhead;
        p1->flags |= StraightPoint | OuterCorner;
      } else if (turn < 0) {
        p0->flags |= OuterCornerAhead;
        p1->flags |= OuterCorner;
      }
    }
    p0 = p0->next;
  } while (p0 != first);
}

}  // namespace

void ClassifyCorners(OffsetRingList* list) {
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next)
    if (ring->first != nullptr) ClassifyRing(ring->first);
}
