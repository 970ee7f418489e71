// The module's one exported function. Hosts find it by name; tests that link
// the frame directly call it as a host would.
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"

// Runs one selector of the filter protocol. `record` is the host's
// FilterRecord (an AboutRecord for selector 0), `data` the module's data slot
// that the host keeps between calls, `result` the host's result cell: 0, a
// host error code, or one of the message codes 2..5 that the module has
// already shown.
PI_EXPORT void PI_CALL PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result);
