// The system's file open and save dialogs for presets and images. A host of
// ours may answer them instead (interface/HostHooks.h); natively, without such
// a host, every dialog counts as cancelled.
#pragma once
#include <cstdint>

enum class FileDialogKind : uint8_t {
  LoadPreset,  // "Load Bevel Forge Settings": an existing .bfs file
  SavePreset,  // "Save Bevel Forge Settings": asks before replacing a file
  OpenImage    // "Open TIFF File": an existing .tif file
};

// Room of the path buffers the dialogs fill, terminator included.
constexpr uint32_t FileDialogPathCapacity = 256;

// Shows the dialog owned by `owner` (an HWND on Windows). `path` (capacity
// bytes) holds the last choice or is empty: the dialog then starts in
// `emptyFolder` with an empty name, else in the folder of `path` with its
// base name. Returns 1 with the chosen path in `path`, 0 when cancelled
// (`path` unchanged).
int32_t RunFileDialog(void* owner, FileDialogKind kind, char* path, uint32_t capacity, const char* emptyFolder);

// A popup menu shown at (x, y) in screen pixels, owned by `owner`. `menuId`
// names it to a host of ours, which may choose instead. Returns the chosen
// command id, or 0 when the menu was dismissed. Natively, without such a
// host, it is dismissed.
int32_t RunPopupMenu(void* owner, void* menu, int32_t menuId, int32_t x, int32_t y);
