#include "ui/PreviewTools.h"

#include "resources/ResourceIds.h"
#include "ui/PlacementFrame.h"

int32_t ActivePreviewTool(int32_t chosenTool, bool spaceHeld) { return spaceHeld ? HandTool : chosenTool; }

int32_t PreviewCursor(int32_t activeTool, bool canEdit, uint32_t hitCode) {
  if (activeTool == HandTool) return BF_CURSOR_HAND;
  if (activeTool != MapEditTool || !canEdit) return 0;
  if (hitCode & HitEdgeBits) return BF_CURSOR_RESIZE;
  return hitCode == HitInside ? BF_CURSOR_MOVE : BF_CURSOR_ROTATE;
}
