// Loading a filter module and finding its entry point: dlopen/dlsym natively,
// LoadLibraryA/GetProcAddress on Windows.
#pragma once
#include <string>

#include "interface/PluginInterface.h"

struct LoadedModule {
  void* library = nullptr;            // dlopen handle or HMODULE
  PluginMainProc entry = nullptr;     // "PluginMain"
  std::string path;
};

// Loads the module at `path`; on failure returns 0 and describes why in `error`.
bool LoadFilterModule(const char* path, LoadedModule* module, std::string* error);
// Unloads a loaded module and clears the record; nothing happens for an empty one.
void UnloadFilterModule(LoadedModule* module);
