#include "platform/ModuleInstance.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>

namespace {
HINSTANCE gModuleInstance = nullptr;
}

// Records the module's handle before any host call can reach the module.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gModuleInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

void* ModuleInstance() { return gModuleInstance != nullptr ? gModuleInstance : GetModuleHandleA(nullptr); }

namespace {
uint32_t ModuleFileName(char* buffer, uint32_t capacity) {
  const DWORD length = GetModuleFileNameA(static_cast<HINSTANCE>(ModuleInstance()), buffer, capacity);
  // A full buffer means the name was cut (older systems do not even terminate it).
  if (length == 0 || length >= capacity) return 0;
  return length;
}
}  // namespace

#else
#include <dlfcn.h>

namespace {
// Any address inside this shared object identifies it to dladdr.
int gModuleAnchor = 0;

uint32_t ModuleFileName(char* buffer, uint32_t capacity) {
  Dl_info info;
  if (dladdr(&gModuleAnchor, &info) == 0 || info.dli_fname == nullptr) return 0;
  const size_t length = std::strlen(info.dli_fname);
  if (length == 0 || length >= capacity) return 0;
  std::memcpy(buffer, info.dli_fname, length + 1);
  return uint32_t(length);
}
}  // namespace

void* ModuleInstance() {
  Dl_info info;
  if (dladdr(&gModuleAnchor, &info) == 0) return nullptr;
  return info.dli_fbase;
}
#endif

int32_t ModuleFolder(char* buffer, uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  buffer[0] = 0;
  char path[ModulePathCapacity];
  const uint32_t length = ModuleFileName(path, ModulePathCapacity);
  if (length == 0) return 0;
  const char* separator = std::strrchr(path, PathSeparator);
  // A bare file name: the module lies in the current folder.
  const uint32_t folderLength = separator != nullptr ? uint32_t(separator - path) + 1 : 0;
  if (folderLength >= capacity) return 0;
  std::memcpy(buffer, path, folderLength);
  buffer[folderLength] = 0;
  return 1;
}
