#include "frame/StyleDialog.h"

#include "interface/HostHooks.h"
#include "platform/HostHookLookup.h"

namespace {
constexpr int32_t DialogOk = 1;      // IDOK
constexpr int32_t DialogCancel = 2;  // IDCANCEL
}  // namespace

int32_t ShowStyleDialog() {
  const auto hook = reinterpret_cast<HostDialogHook>(FindHostHook(HostDialogHookName));
  const int32_t settled = hook != nullptr ? hook(MainDialogId) : 0;
  if (settled == DialogCancel) return 0;
  if (settled == DialogOk) return 1;
  // The dialog layer shows the real dialog here; until it does, the run goes
  // on as if the user had pressed OK at once.
  return 1;
}
