#include "host/ModuleLoader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

bool LoadFilterModule(const char* path, LoadedModule* module, std::string* error) {
  *module = LoadedModule{};
#if defined(_WIN32)
  HMODULE library = LoadLibraryA(path);
  if (!library) {
    if (error) *error = "cannot load " + std::string(path) + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  FARPROC entry = GetProcAddress(library, PluginEntryName);
  if (!entry) {
    if (error) *error = std::string(path) + " has no entry point " PluginEntryName;
    FreeLibrary(library);
    return false;
  }
  module->library = reinterpret_cast<void*>(library);
  module->entry = reinterpret_cast<PluginMainProc>(reinterpret_cast<void*>(entry));
#else
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    if (error) *error = "cannot load " + std::string(path) + ": " + (why ? why : "unknown reason");
    return false;
  }
  void* entry = dlsym(library, PluginEntryName);
  if (!entry) {
    if (error) *error = std::string(path) + " has no entry point " PluginEntryName;
    dlclose(library);
    return false;
  }
  module->library = library;
  module->entry = reinterpret_cast<PluginMainProc>(entry);
#endif
  module->path = path;
  return true;
}

void UnloadFilterModule(LoadedModule* module) {
  if (!module->library) return;
#if defined(_WIN32)
  FreeLibrary(reinterpret_cast<HMODULE>(module->library));
#else
  dlclose(module->library);
#endif
  *module = LoadedModule{};
}
