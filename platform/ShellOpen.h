// Opening a document or web address with the user's default application.
#pragma once
#include <cstdint>

// Windows: the shell's "open" verb, shown normally. Elsewhere nothing is
// launched: the request is written to stderr and remembered (LastShellOpen).
// Returns 1 when the request was handed on, 0 when the shell refused it.
int32_t ShellOpen(const char* target);

// The target of the latest ShellOpen ("" before the first); for hosts and
// tests on platforms where nothing is launched.
const char* LastShellOpen();
