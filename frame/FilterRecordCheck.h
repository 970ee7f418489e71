// Whether the host's filter record offers everything the module calls.
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"

// 1 when the record has usable handle procedures (version 1 or later, at
// least six of them, new/dispose/get size/set size/lock/unlock present),
// property procedures with get-property, the suite broker (with its
// acquire and release entries), document
// information with a merged composite channel list and the display
// procedure; 0 otherwise (also for a null record).
int32_t FilterRecordUsable(const FilterRecord* record);
