#include "frame/ChannelCount.h"

namespace {
int32_t CountTargeted(const ReadChannelDesc* channel) {
  int32_t count = 0;
  for (; channel != nullptr; channel = channel->next)
    if (channel->target) ++count;
  return count;
}
}  // namespace

int32_t CountTargetChannels(const ReadImageDocumentDesc* document, int32_t allChannels) {
  int32_t count = CountTargeted(document->targetCompositeChannels);
  if (allChannels) {
    count += CountTargeted(document->alphaChannels);
    count += CountTargeted(document->targetTransparency);
    count += CountTargeted(document->targetLayerMask);
  }
  return count;
}
