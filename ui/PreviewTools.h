// The preview's tools and the cursor each shows.
#pragma once
#include <cstdint>

// The dialog's tool buttons carry these ids.
constexpr int32_t MapEditTool = 5;  // drags the selected map layer's placement frame
constexpr int32_t HandTool = 6;     // scrolls the preview

// The tool in effect: the hand while the space bar is held, else the chosen one.
int32_t ActivePreviewTool(int32_t chosenTool, bool spaceHeld);

// The cursor resource for the tool in effect (resources/ResourceIds.h), or 0
// for the system arrow: the hand for the hand tool; for the map edit tool the
// cursor of the hit code (a handle resizes, inside moves, outside rotates)
// when the layer can be edited, else the arrow.
int32_t PreviewCursor(int32_t activeTool, bool canEdit, uint32_t hitCode);
