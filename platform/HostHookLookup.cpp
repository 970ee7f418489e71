#include "platform/HostHookLookup.h"

#if defined(_WIN32)
#include <windows.h>

void* FindHostHook(const char* name) {
  HMODULE program = GetModuleHandleA(nullptr);
  if (program == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(program, name));
}

#else
#include <dlfcn.h>

void* FindHostHook(const char* name) { return dlsym(RTLD_DEFAULT, name); }
#endif
