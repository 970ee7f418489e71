// Element materials: which material each element uses (an element may use
// another element's material through its link), how an edit of one material
// reaches the elements linked to it, and the constant fill that writes a
// material into every pixel of an element before the map layers blend into it.
#pragma once
#include <cstdint>

#include "bevel/ElementWindow.h"
#include "style/StyleRecord.h"

// The material at the end of `element`'s link chain. A link that names no
// element (outside 0..2) ends the chain there, and a chain is never followed
// for more steps than there are elements, so malformed links read from a
// file cannot loop or index out of range.
MaterialSetting* ResolveMaterial(StyleRecord* style, int32_t element);
const MaterialSetting* ResolveMaterial(const StyleRecord* style, int32_t element);

// 1 when `element` may be linked to use `target`'s material, 0 when that
// would close a cycle: `target`'s chain already leads back to `element`
// (this includes target == element).
int LinkAllowed(const StyleRecord* style, int32_t element, int32_t target);

// After `material` (one of the style's three) was edited: copies it into
// every element whose chain ends at it and returns the element selector bits
// (0x10000 << element) of the edited element and of every element that
// received the copy. A pointer that is not one of the three returns 0.
uint32_t MaterialChanged(StyleRecord* style, const MaterialSetting* material);

// Writes the channels selected by `channels` (ChannelColor .. ChannelReflectivity)
// of `material` into every pixel of `buffer` inside `clip` (its frame);
// coverage is never touched.
void FillMaterial(ElementBuffer* buffer, const MaterialSetting& material, uint32_t channels,
                  const PixelRect& clip = WholeFrame);

// The constant fill of a material refresh: for Main, Inner Bevel and Outer
// Bevel in this order, when the element's selector bit is in `flags` and its
// buffer exists (buffers[element] not null), writes the channels of `flags`
// (bits 0x01..0x10) from the element's resolved material, inside `clip`.
void FillElementMaterials(const StyleRecord* style, ElementBuffer* const buffers[ElementCount], uint32_t flags,
                          const PixelRect& clip = WholeFrame);
