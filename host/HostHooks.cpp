// The hooks a module finds in the host executable: message boxes and modal
// dialogs are recorded in the active session instead of being shown; dialogs
// shown for real, their file dialogs and popup menus are handed to the dialog
// script being played (DialogPlayer.h).
#include "interface/HostHooks.h"

#include <cstdio>

#include "host/DialogPlayer.h"
#include "host/HostState.h"

// Defined here, beside the exported hooks, so that every executable using the
// host's procedures links this file and with it the hooks the module looks for.
FilterHost* gActiveHost = nullptr;

namespace {

constexpr uint32_t MessageIconMask = 0xF0;  // MB_ICON* bits of a message box style
constexpr int32_t ButtonOk = 1;             // IDOK

MessageIcon IconOf(uint32_t style) {
  switch (style & MessageIconMask) {
    case 0x10: return MessageIcon::Stop;
    case 0x20: return MessageIcon::Question;
    case 0x30: return MessageIcon::Exclamation;
    case 0x40: return MessageIcon::Information;
    default: return MessageIcon::None;
  }
}

}  // namespace

PI_EXPORT int32_t PI_CALL BevelForgeHostMessage(const char* text, const char* caption, uint32_t style) {
  FilterHost* host = gActiveHost;
  if (!host) {
    // A message outside any call of ours: nobody records it, so say it.
    std::fprintf(stderr, "message: %s\n", text ? text : "");
    return ButtonOk;
  }
  MessageRecord message;
  message.text = text ? text : "";
  message.hasCaption = caption != nullptr;
  message.caption = caption ? caption : "";
  message.style = style;
  message.icon = IconOf(style);
  message.selector = host->currentSelector;
  host->report.messages.push_back(message);
  return ButtonOk;
}

PI_EXPORT int32_t PI_CALL BevelForgeHostDialog(int32_t dialogId) {
  FilterHost* host = gActiveHost;
  if (!host) return 0;
  ++host->report.dialogRequests;
  host->report.allocationsAtDialog = host->report.countedAllocations;
  return host->options.dialogAnswer;
}

PI_EXPORT void PI_CALL BevelForgeHostDialogShown(void* window, int32_t dialogId) {
  PlayOnShownDialog(window, dialogId);
}

PI_EXPORT int32_t PI_CALL BevelForgeHostFileDialog(int32_t save, char* path, int32_t capacity) {
  return AnswerFileDialog(save, path, capacity);
}

PI_EXPORT int32_t PI_CALL BevelForgeHostPopupMenu(int32_t menuId) { return AnswerPopupMenu(menuId); }
