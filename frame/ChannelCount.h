// Counting the document channels the filter writes.
#pragma once
#include <cstdint>

#include "frame/PluginInterface.h"

// The channels of the target composite list whose `target` flag is set. With
// `allChannels`, the targeted channels of the alpha channel list, the target
// transparency and the target layer mask are added.
int32_t CountTargetChannels(const ReadImageDocumentDesc* document, int32_t allChannels);
