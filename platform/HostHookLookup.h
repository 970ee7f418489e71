// Finds a function that the host program exports for its modules (see
// interface/HostHooks.h: a host of ours settles message boxes and modal dialogs
// without a person at the screen). Real hosts export none of them.
#pragma once

// The address of the host executable's exported function `name`, or null.
// Windows: GetProcAddress on the process's main module; elsewhere
// dlsym(RTLD_DEFAULT), which searches the executable's dynamic symbols.
void* FindHostHook(const char* name);
