#include "frame/StyleDialog.h"

#include "interface/HostHooks.h"
#include "platform/HostHookLookup.h"

#if defined(_WIN32)
#include "frame/RunGlobals.h"
#include "ui/win32/DialogWindows.h"
#endif

namespace {
constexpr int32_t DialogOk = 1;      // IDOK
constexpr int32_t DialogCancel = 2;  // IDCANCEL
}  // namespace

int32_t ShowStyleDialog() {
  const auto hook = reinterpret_cast<HostDialogHook>(FindHostHook(HostDialogHookName));
  const int32_t settled = hook != nullptr ? hook(MainDialogId) : 0;
  if (settled == DialogCancel) return 0;
  if (settled == DialogOk) return 1;
#if defined(_WIN32)
  const FilterRecord* record = gRunGlobals->filterRecord;
  const PlatformData* platform = record != nullptr ? static_cast<const PlatformData*>(record->platformData) : nullptr;
  return RunMainDialog(platform != nullptr ? reinterpret_cast<HWND>(platform->hwnd) : nullptr);
#else
  // Elsewhere there is no dialog to show: the run goes on as if the user had
  // pressed OK at once.
  return 1;
#endif
}
