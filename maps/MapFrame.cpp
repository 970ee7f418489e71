#include "maps/MapFrame.h"
#include "maps/MapLayer.h"

namespace {
MapFrame gMapFrame{};
}  // namespace

void BindMapFrame(const MapFrame& frame) { gMapFrame = frame; }
const MapFrame& CurrentMapFrame() { return gMapFrame; }
