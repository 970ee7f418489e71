// Message boxes with one OK button, owned by a window of the host.
//
// When the host program exports the message hook of interface/HostHooks.h
// ("BevelForgeHostMessage": text, caption or null for the default caption,
// MB_* style flags), every message box goes to it instead, synchronously,
// during the module call that shows it; this is how a host of ours observes
// them without a person at the screen. Without the hook: Windows shows a real
// message box, other platforms write the message to stderr.
#pragma once
#include <cstdint>

// The three icons, with the values of the Win32 MB_ICON* flags they stand for.
enum MessageBoxIcon : uint32_t {
  MessageIconStop = 0x10,         // MB_ICONHAND: errors
  MessageIconExclamation = 0x30,  // MB_ICONEXCLAMATION: warnings the user can act on
  MessageIconInformation = 0x40   // MB_ICONASTERISK: plain information
};

// Shows `text` modally and returns when the user has dismissed it. `caption`
// null means the system's default caption. `owner` is a window handle as an
// integer (0 = none).
void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon, intptr_t owner);

// The window that currently has the user's attention (the owner of message
// boxes that are not tied to a particular window); 0 when there is none.
intptr_t ActiveWindow();
