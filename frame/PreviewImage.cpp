#include "frame/PreviewImage.h"

#include "frame/RunGlobals.h"

int32_t RebuildPreviewImage() { return gRunGlobals != nullptr ? 1 : 0; }
