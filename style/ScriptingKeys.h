// The keys under which a style travels in a scripting descriptor, in the
// order they are written, and what each holds.
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"

namespace ScriptKey {
constexpr DescriptorKeyID InnerSize = FourCharCode("ieSZ");      // Inner Bevel size, pinned 0..250
constexpr DescriptorKeyID InnerDepth = FourCharCode("ieDP");     // depth, pinned 0..1000
constexpr DescriptorKeyID InnerMiter = FourCharCode("ieML");     // miter limit, pinned 0..2500
constexpr DescriptorKeyID InnerFlags = FourCharCode("ieFL");     // bevelFlags, 16 bits
constexpr DescriptorKeyID OuterSize = FourCharCode("oeSZ");
constexpr DescriptorKeyID OuterDepth = FourCharCode("oeDP");
constexpr DescriptorKeyID OuterMiter = FourCharCode("oeML");
constexpr DescriptorKeyID OuterFlags = FourCharCode("oeFL");
constexpr DescriptorKeyID Ambient = FourCharCode("amCL");        // red << 16 | green << 8 | blue
constexpr DescriptorKeyID ViewFlags = FourCharCode("flgS");      // low byte
constexpr DescriptorKeyID RenderMode = FourCharCode("rndR");     // low byte; read when present, never expected
constexpr DescriptorKeyID Reflection = FourCharCode("rfMP");     // reflection image name (string)
constexpr DescriptorKeyID MapLayers = FourCharCode("maPS");      // map layer block (text)
}  // namespace ScriptKey

// Light i (0..2): colour (integer) and direction x, y, z (floats): 'l1CL', 'l1PX', ...
constexpr DescriptorKeyID LightKey(int32_t light, char c2, char c3) {
  return (DescriptorKeyID('l') << 24) | (DescriptorKeyID('1' + light) << 16) | (DescriptorKeyID(uint8_t(c2)) << 8) |
         DescriptorKeyID(uint8_t(c3));
}
// Material of element e (0..2): word 'CL', data 'Dt' (shininess | strength << 8 |
// reflectivity << 16), link 'LK' (pinned -1..2): 'm1CL', ...
constexpr DescriptorKeyID MaterialKey(int32_t element, char c2, char c3) {
  return (DescriptorKeyID('m') << 24) | (DescriptorKeyID('1' + element) << 16) | (DescriptorKeyID(uint8_t(c2)) << 8) |
         DescriptorKeyID(uint8_t(c3));
}

// Keys a read asks the host for (rndR is not among them).
constexpr uint32_t ExpectedKeyCount = 33;
