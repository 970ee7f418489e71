#include "maps/MapLayer.h"

// Placement arrives with the map layer renderer; until then loaded layers
// keep their stored values and blend into nothing.
void ResolveLayersAfterLoad(StyleRecord* style) {}
