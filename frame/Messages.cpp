#include "frame/Messages.h"

#include "core/WorkMemory.h"
#include "platform/MessageBox.h"
#include "platform/ModuleStrings.h"
#include "resources/ResourceIds.h"

namespace {
constexpr int32_t MessageTextCapacity = 256;  // bytes, terminator included

struct ResultMessage {
  int16_t code;
  uint32_t stringId;
  MessageBoxIcon icon;
};

constexpr ResultMessage ResultMessages[] = {
    {PathInvalidCode, BF_STR_INVALID_PATH, MessageIconStop},
    {NoPathsCode, BF_STR_NO_PATHS, MessageIconExclamation},
    {NoTargetPathCode, BF_STR_NO_TARGET_PATH, MessageIconExclamation},
    {LockedTransparencyCode, BF_STR_LOCKED_TRANSPARENCY, MessageIconStop},
};
}  // namespace

void ShowResultMessage(int16_t code) {
  for (const ResultMessage& message : ResultMessages) {
    if (message.code != code) continue;
    char text[MessageTextCapacity];
    LoadModuleString(message.stringId, text, MessageTextCapacity);
    ShowMessageBox(text, nullptr, message.icon, ActiveWindow());
    return;
  }
}
