// Settings files: presets (".bfs", chosen by the user) and the last-used
// style ("default.dfs" next to the module) share one little-endian format:
//
//   "BFF", view flags (ignored when read), Inner then Outer Bevel (size,
//   depth, miter limit, flags: u16 each), per element the material word u32,
//   shininess, shin. strength, reflectivity (u8) and link (i32), ambient
//   red, green, blue, reserved (u8), per light colour u32 and direction x, y,
//   z (f32), the reflection image name (u16 length + bytes), the map layer
//   count (u32) and the map layer records.
//
// Readers replace the style in one step after everything has been read; the
// dialog state (showDialog, view flags, render mode) stays as it is.
#pragma once
#include <cstdint>

#include "style/StyleIo.h"
#include "style/StyleRecord.h"

// Bytes before the reflection image name.
constexpr uint32_t SettingsHeaderSize = 105;
#define SettingsMagicText "BFF"

// Reads a settings file into *style. Returns 1 on success. Returns 0 with the
// style unchanged when the file cannot be opened, has another magic or ends
// before the map layer count, or when memory runs out (MemFullErr). Images it
// names are loaded through io (a missing one is reported and left out).
int32_t ReadSettingsFile(const char* path, StyleRecord* style, const StyleIo& io);
// The same over bytes in memory.
int32_t ReadSettingsBytes(const uint8_t* bytes, uint32_t size, StyleRecord* style, const StyleIo& io);

// The file's bytes for `style`: a block from the work memory that the caller
// frees (FreeBlock), its size in *size. Null with MemFullErr when out of memory.
uint8_t* EncodeSettings(const StyleRecord& style, const StyleIo& io, uint32_t* size);
// Writes `style` to `path`, replacing the file; needs no memory. Returns 0
// when the file cannot be created or written (a partial file is removed).
int32_t WriteSettingsFile(const char* path, const StyleRecord& style, const StyleIo& io);
