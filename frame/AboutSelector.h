// The About selector: the only call that needs no usable filter record.
#pragma once

#include "interface/PluginInterface.h"

// Shows the About box modally, owned by the window in the record's platform
// data (when the record and its platform data are present). Touches no run
// globals, suites or result code.
void RunAboutSelector(const AboutRecord* about);
