// The document's paths as the host reports them through its property
// procedures (signature '8BIM').
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"

// Number of paths of the document ('nupa'). Returns the host's error code;
// *count is set only on success.
OSErr QueryPathCount(int32_t* count);

// Index of the target path ('tgpa'); negative means none. Returns the host's
// error code; *index is set only on success.
OSErr QueryTargetPathIndex(int32_t* index);

// Turns raw path data (big-endian 26-byte records, `size` bytes) into the
// caller's structures; returns null when nothing usable was built.
typedef void* (*PathDataReader)(const uint8_t* data, uint32_t size, void* context);

// Fetches the contents of path `index` ('path') and hands its bytes to
// `read` while the host's handle is locked. The handle is always unlocked
// (when it was locked) and disposed of. A host error goes into the result
// cell; when nothing was built and the result cell is still 0, it becomes
// PathInvalidCode. Does nothing and returns null when the result cell is
// already non-zero.
void* ReadHostPath(int32_t index, PathDataReader read, void* context);
