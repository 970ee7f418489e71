// Texts of the module's string table (resources/ResourceIds.h names the ids).
#pragma once
#include <cstdint>

// Copies string `id` into buffer (capacity bytes, terminator included; longer
// texts are cut). Returns the number of bytes copied without the terminator,
// or 0 with an empty buffer when the table has no such string.
int32_t LoadModuleString(uint32_t id, char* buffer, int32_t capacity);
