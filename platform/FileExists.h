// Existence test for files the module looks for by name (images, settings).
#pragma once
#include <cstdint>

// 1 when `path` names an existing regular file, 0 otherwise (missing, a
// folder, unreadable attributes, null or empty path).
int32_t FileExists(const char* path);
