#include "bevel/PixelConversion.h"

#include <cmath>

#include "geometry/PathUnits.h"

void ToPixels(OffsetRingList* list, uint16_t width, uint16_t height) {
  const double xScale = double(width) * PathUnitScale;
  const double yScale = double(height) * PathUnitScale;
  for (OffsetRingList* ring = list; ring != nullptr; ring = ring->next) {
    OffsetNode* first = ring->first;
    if (first == nullptr) continue;
    OffsetNode* node = first;
    do {
      node->x = double(node->fx) * xScale;
      node->y = double(node->fy) * yScale;
      node = node->next;
    } while (node != first);
    do {
      const double dx = node->next->x - node->x;
      const double dy = node->next->y - node->y;
      const double length = std::sqrt(dx * dx + dy * dy);
      if (length > 0.0) {
        node->nx = dy / length;
        node->ny = -dx / length;
      } else {
        node->nx = 0.0;
        node->ny = 0.0;
      }
      node = node->next;
    } while (node != first);
  }
}
