#include "platform/FileDialogs.h"

#include <cstdio>
#include <cstring>

#include "interface/HostHooks.h"
#include "platform/HostHookLookup.h"

#if defined(_WIN32)
#include <windows.h>
#include <commdlg.h>
#endif

namespace {
// What a host of ours answers: 1 chosen, 0 cancelled, -1 show the dialog.
int32_t HostAnswer(FileDialogKind kind, char* path, uint32_t capacity, const char* emptyFolder) {
  const auto hook = reinterpret_cast<HostFileDialogHook>(FindHostHook(HostFileDialogHookName));
  if (hook == nullptr) return -1;
  char offered[FileDialogPathCapacity];
  std::snprintf(offered, sizeof offered, "%s", path[0] != 0 ? path : (emptyFolder != nullptr ? emptyFolder : ""));
  const int32_t answer = hook(kind == FileDialogKind::SavePreset ? 1 : 0, offered, int32_t(sizeof offered));
  if (answer == 0) return -1;
  if (answer != 1) return 0;
  offered[sizeof offered - 1] = 0;
  if (offered[0] == 0 || std::strlen(offered) >= capacity) return 0;
  std::memcpy(path, offered, std::strlen(offered) + 1);
  return 1;
}
}  // namespace

#if defined(_WIN32)
namespace {
struct DialogText {
  const char* title;
  const char* filter;  // description and pattern, each ended by a zero, the list by another
  const char* extension;
};
const DialogText Texts[] = {
    {"Load Bevel Forge Settings", "(*.BFS)\0*.bfs\0", "bfs"},
    {"Save Bevel Forge Settings", " (*.BFS)\0*.bfs\0", "bfs"},
    {"Open TIFF File", "TIFF (*.TIF)\0*.tif\0", "tif"},
};
}  // namespace

int32_t RunFileDialog(void* owner, FileDialogKind kind, char* path, uint32_t capacity, const char* emptyFolder) {
  if (capacity == 0) return 0;
  const int32_t answer = HostAnswer(kind, path, capacity, emptyFolder);
  if (answer >= 0) return answer;
  // The name field starts with the last choice's base name, the dialog in its folder.
  char folder[FileDialogPathCapacity] = "", name[FileDialogPathCapacity] = "";
  if (path[0] != 0) {
    std::snprintf(folder, sizeof folder, "%s", path);
    char* separator = std::strrchr(folder, '\\');
    const char* base = separator != nullptr ? separator + 1 : folder;
    std::snprintf(name, sizeof name, "%s", base);
    if (char* dot = std::strchr(name, '.')) *dot = 0;
    if (separator != nullptr) *separator = 0; else folder[0] = 0;
  } else if (emptyFolder != nullptr) {
    std::snprintf(folder, sizeof folder, "%s", emptyFolder);
  }
  const DialogText& text = Texts[int(kind)];
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = static_cast<HWND>(owner);
  dialog.lpstrFilter = text.filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name;
  dialog.nMaxFile = capacity < sizeof name ? capacity : sizeof name;
  dialog.lpstrInitialDir = folder[0] != 0 ? folder : nullptr;
  dialog.lpstrTitle = text.title;
  dialog.lpstrDefExt = text.extension;
  BOOL chosen;
  if (kind == FileDialogKind::SavePreset) {
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
    chosen = GetSaveFileNameA(&dialog);
  } else {
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    chosen = GetOpenFileNameA(&dialog);
  }
  if (!chosen || std::strlen(name) >= capacity) return 0;
  std::memcpy(path, name, std::strlen(name) + 1);
  return 1;
}

int32_t RunPopupMenu(void* owner, void* menu, int32_t menuId, int32_t x, int32_t y) {
  if (const auto hook = reinterpret_cast<HostPopupMenuHook>(FindHostHook(HostPopupMenuHookName))) {
    const int32_t answer = hook(menuId);
    if (answer != 0) return answer > 0 ? answer : 0;
  }
  return TrackPopupMenu(static_cast<HMENU>(menu), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0,
                        static_cast<HWND>(owner), nullptr);
}

#else

int32_t RunFileDialog(void*, FileDialogKind kind, char* path, uint32_t capacity, const char* emptyFolder) {
  if (capacity == 0) return 0;
  return HostAnswer(kind, path, capacity, emptyFolder) == 1 ? 1 : 0;
}

int32_t RunPopupMenu(void*, void*, int32_t menuId, int32_t, int32_t) {
  const auto hook = reinterpret_cast<HostPopupMenuHook>(FindHostHook(HostPopupMenuHookName));
  const int32_t answer = hook != nullptr ? hook(menuId) : 0;
  return answer > 0 ? answer : 0;
}
#endif
