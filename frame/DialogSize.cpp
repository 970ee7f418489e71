#include "frame/DialogSize.h"

#include <cstdint>

#include "frame/RunGlobals.h"
#include "platform/Registry.h"

namespace {
void ReadSizeValue(const char* name, int16_t* size) {
  uint32_t value = 0;
  if (ReadRegistryNumber(DialogSizeKey, name, &value) && value <= uint32_t(INT16_MAX)) *size = int16_t(value);
}

// Sizes are stored as the DWORD of the signed 16-bit value.
uint32_t StoredSize(int16_t size) { return uint32_t(int32_t(size)); }
}  // namespace

void ReadDialogSize() {
  ReadSizeValue(DialogWidthValue, &gRunGlobals->dialogWidth);
  ReadSizeValue(DialogHeightValue, &gRunGlobals->dialogHeight);
}

void WriteDialogSize() {
  WriteRegistryNumber(DialogSizeKey, DialogWidthValue, StoredSize(gRunGlobals->dialogWidth));
  WriteRegistryNumber(DialogSizeKey, DialogHeightValue, StoredSize(gRunGlobals->dialogHeight));
}
