// Functions that a host of ours exports from its executable, so that a module
// running inside it can hand over what would otherwise need a person at the
// screen: message boxes and modal dialogs. A module finds them by name in the
// host executable (Windows: GetProcAddress(GetModuleHandleA(NULL), name);
// elsewhere: dlsym(RTLD_DEFAULT, name)) and falls back to its normal behaviour
// when they are absent, as in every real host.
//
// Native executables that link bf_host export these symbols through the
// link option that bf_host carries (an export list, see CMakeLists.txt).
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"

#define HostMessageHookName "BevelForgeHostMessage"
#define HostDialogHookName "BevelForgeHostDialog"
#define HostDialogShownHookName "BevelForgeHostDialogShown"
#define HostFileDialogHookName "BevelForgeHostFileDialog"
#define HostPopupMenuHookName "BevelForgeHostPopupMenu"

// A message box the module would show: text, caption (null = the system's
// default caption) and the MB_* style flags (icon and buttons). Returns the
// button pressed (IDOK = 1).
typedef int32_t(PI_CALL* HostMessageHook)(const char* text, const char* caption, uint32_t style);

// A modal dialog (by resource id) the module is about to show. Returns the id
// of the button that ends it without showing it (1 = OK, 2 = Cancel), or 0 to
// show it for real.
typedef int32_t(PI_CALL* HostDialogHook)(int32_t dialogId);

// A dialog the module shows for real has just been created (its window handle,
// an HWND on Windows, and its resource id). A host that drives dialogs takes
// the window here and plays its interactions from within the module's modal
// loop (a timer on the window); it returns without blocking.
typedef void(PI_CALL* HostDialogShownHook)(void* window, int32_t dialogId);

// A file open (save = 0) or save (save = 1) dialog the module is about to
// show, with `path` (capacity bytes, zero-terminated) holding the starting
// file or folder. Returns 1 with the chosen path written into `path`, 2 when
// the user cancels, or 0 to show the dialog for real.
typedef int32_t(PI_CALL* HostFileDialogHook)(int32_t save, char* path, int32_t capacity);

// A popup menu (by resource id, or the id the dialog gives its built menu)
// the module is about to show. Returns the command id chosen, -1 when the
// menu is dismissed, or 0 to show it for real.
typedef int32_t(PI_CALL* HostPopupMenuHook)(int32_t menuId);

PI_EXPORT int32_t PI_CALL BevelForgeHostMessage(const char* text, const char* caption, uint32_t style);
PI_EXPORT int32_t PI_CALL BevelForgeHostDialog(int32_t dialogId);
PI_EXPORT void PI_CALL BevelForgeHostDialogShown(void* window, int32_t dialogId);
PI_EXPORT int32_t PI_CALL BevelForgeHostFileDialog(int32_t save, char* path, int32_t capacity);
PI_EXPORT int32_t PI_CALL BevelForgeHostPopupMenu(int32_t menuId);
