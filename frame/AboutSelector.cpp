#include "frame/AboutSelector.h"

#include "interface/HostHooks.h"
#include "platform/HostHookLookup.h"
#include "resources/ResourceIds.h"

#if defined(_WIN32)
#include "ui/win32/DialogWindows.h"
#endif

void RunAboutSelector(const AboutRecord* about) {
#if defined(_WIN32)
  HWND owner = nullptr;
  if (about != nullptr && about->platformData != nullptr) {
    owner = reinterpret_cast<HWND>(static_cast<const PlatformData*>(about->platformData)->hwnd);
  }
  ShowAboutBox(owner);
#else
  // Natively there is no window system to show the box in. A host of ours is
  // still asked to settle it, as ShowAboutBox asks on Windows, so that both
  // builds make the same requests of it.
  (void)about;
  const auto settle = reinterpret_cast<HostDialogHook>(FindHostHook(HostDialogHookName));
  if (settle != nullptr) settle(BF_DLG_ABOUT);
#endif
}
