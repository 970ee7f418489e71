// The module's own instance: the handle its resources are loaded through and
// the folder its companion files lie in ("Presets", "Maps", the last-used
// settings file, the help file).
#pragma once
#include <cstdint>

// Longest module path kept, terminator included; longer paths are refused.
constexpr uint32_t ModulePathCapacity = 266;

#if defined(_WIN32)
constexpr char PathSeparator = '\\';
#else
constexpr char PathSeparator = '/';
#endif

// Windows: the HINSTANCE recorded when the module was attached to the process
// (the executable's when the code is linked into a program). Elsewhere: the
// load address of the shared object that holds this code.
void* ModuleInstance();

// Writes the folder of the module's file, ending with PathSeparator, into
// buffer (capacity bytes, terminator included). Returns 1, or 0 with an empty
// buffer when the module's path is unknown or does not fit.
int32_t ModuleFolder(char* buffer, uint32_t capacity);
