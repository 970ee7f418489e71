// Scripting parameters: the style written into the host's action system when
// a run finishes, and read back when the host replays the action.
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"
#include "style/StyleIo.h"
#include "style/StyleRecord.h"

// Whether the host's descriptor block can be used: version 0 and every read
// and write procedure present.
int32_t DescriptorProcsUsable(const PIDescriptorParameters* block);

// Reads the style from the block's descriptor into *style (images through io)
// and sets style->showDialog from the play information (1 when the block is
// unusable). Returns 1 when the descriptor held the whole style; 0 when there
// was none or it was incomplete (the caller then reads the last-used file).
// The descriptor handle is disposed of. A host error on closing other than a
// missing parameter, or running out of memory, goes to the result cell; the
// style then stays as it was.
int32_t ReadScriptingParameters(PIDescriptorParameters* block, const HandleProcs* handles, StyleRecord* style,
                                const StyleIo& io);

// Writes `style` as the block's new descriptor (record information 0). Returns
// 1 when the host accepted it; 0 when it did not, or with MemFullErr in the
// result cell when the map layer block could not be had (the block's
// descriptor is then left as it was).
int32_t WriteScriptingParameters(PIDescriptorParameters* block, const HandleProcs* handles, const StyleRecord& style,
                                 const StyleIo& io);

// Every value of `style` in the order the writer puts them, for writers of
// descriptors other than the host's (the command-line tool). The map layer
// block is written into room the sink gives (beginBlock: `size` bytes, or
// null to leave the block out), then handed over by endBlock.
struct StyleValueSink {
  void* context;
  void (*integer)(void* context, DescriptorKeyID key, int32_t value);
  void (*real)(void* context, DescriptorKeyID key, double value);
  void (*name)(void* context, DescriptorKeyID key, const char* text, uint32_t length);
  uint8_t* (*beginBlock)(void* context, uint32_t size);
  void (*endBlock)(void* context, DescriptorKeyID key, uint32_t size);
};
void EmitStyleValues(const StyleRecord& style, const StyleIo& io, const StyleValueSink& sink);

// The name a get-string answer holds: the suite's length-prefixed form, or
// the plain zero-terminated bytes that earlier recordings hold. Into out
// (at least 256 bytes).
void DecodeDescriptorName(const uint8_t answer[256], char* out);
