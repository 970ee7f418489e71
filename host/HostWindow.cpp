// The hidden owner window that a Windows host gives its modules; elsewhere
// there is no window and the record carries 0.
#include "host/HostState.h"

#if defined(_WIN32)
#include <windows.h>

namespace {
constexpr const char* OwnerClassName = "BevelForgeHostOwner";
}

intptr_t CreateOwnerWindow() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.lpszClassName = OwnerClassName;
  RegisterClassA(&wc);  // fails harmlessly when already registered
  HWND window = CreateWindowExA(0, OwnerClassName, "Bevel Forge host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  return reinterpret_cast<intptr_t>(window);
}

void DestroyOwnerWindow(intptr_t window) { DestroyWindow(reinterpret_cast<HWND>(window)); }

#else

intptr_t CreateOwnerWindow() { return 0; }
void DestroyOwnerWindow(intptr_t) {}

#endif
