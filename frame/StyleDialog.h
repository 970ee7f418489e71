// The modal style dialog of the start selector.
#pragma once
#include <cstdint>

// Dialog resource of the main dialog.
constexpr int32_t MainDialogId = 107;

// Shows the main dialog over the host's window and returns 1 when it ended
// with OK, 0 when it was cancelled (the caller turns that into
// UserCanceledErr). A host of ours that exports the dialog hook
// (interface/HostHooks.h) settles the dialog without showing it.
int32_t ShowStyleDialog();
