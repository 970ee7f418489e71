#include "platform/MessageBox.h"

#include "interface/HostHooks.h"
#include "platform/HostHookLookup.h"

namespace {
constexpr uint32_t MessageOkButton = 0x00;  // MB_OK

// Hands the message to the host's hook; 0 when the host has none.
int32_t SentToHost(const char* text, const char* caption, MessageBoxIcon icon) {
  const auto hook = reinterpret_cast<HostMessageHook>(FindHostHook(HostMessageHookName));
  if (hook == nullptr) return 0;
  hook(text, caption, MessageOkButton | uint32_t(icon));
  return 1;
}
}  // namespace

#if defined(_WIN32)
#include <windows.h>

void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon, intptr_t owner) {
  if (text == nullptr) text = "";
  if (SentToHost(text, caption, icon)) return;
  MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, MessageOkButton | UINT(icon));
}

intptr_t ActiveWindow() { return reinterpret_cast<intptr_t>(GetActiveWindow()); }

#else
#include <cstdio>

namespace {
const char* IconName(MessageBoxIcon icon) {
  switch (icon) {
    case MessageIconStop: return "stop";
    case MessageIconExclamation: return "exclamation";
    case MessageIconInformation: return "information";
  }
  return "none";
}
}  // namespace

void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon, intptr_t) {
  if (text == nullptr) text = "";
  if (SentToHost(text, caption, icon)) return;
  std::fprintf(stderr, "[%s] %s: %s\n", IconName(icon), caption != nullptr ? caption : "Error", text);
}

intptr_t ActiveWindow() { return 0; }
#endif
