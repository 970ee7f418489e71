#include "frame/AboutSelector.h"

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
  // Natively there is no window system to show the box in.
  (void)about;
#endif
}
