// The style: every setting that describes how the elements look. It lives in
// the host's parameter block, so it holds plain values only; the two pointer
// fields are valid during one run and are cleared at the start of every run.
#pragma once
#include <cstdint>

struct MapLayer;  // map layer list node, owned by the run
struct MapImage;  // cached image, owned by the run's image cache

// Element index, the same everywhere.
enum ElementIndex : int32_t {
  MainElement = 0,        // the flat face inside the outline
  InnerBevelElement = 1,  // the band inside the outline
  OuterBevelElement = 2,  // the band outside the outline
  ElementCount = 3
};

// Element selector bits (bit 16 + element index); also mark a map layer's elements.
constexpr uint32_t SelectMain = 0x10000;
constexpr uint32_t SelectInnerBevel = 0x20000;
constexpr uint32_t SelectOuterBevel = 0x40000;
constexpr uint32_t SelectAllElements = 0xF0000;
constexpr uint32_t ElementSelectorBit(int32_t element) { return 0x10000u << element; }

// Material channel bits.
constexpr uint32_t ChannelColor = 0x01;
constexpr uint32_t ChannelOpacity = 0x02;
constexpr uint32_t ChannelShininess = 0x04;
constexpr uint32_t ChannelShinStrength = 0x08;
constexpr uint32_t ChannelReflectivity = 0x10;
constexpr uint32_t ChannelBump = 0x20;
// The five channels a material refresh writes (every channel but Bump).
constexpr uint32_t AllMaterialChannels =
    ChannelColor | ChannelOpacity | ChannelShininess | ChannelShinStrength | ChannelReflectivity;

// viewFlags bits.
constexpr uint8_t SelectedElementMask = 0x03;  // element the dialog shows (0..2)
constexpr uint8_t ShowPathFlag = 0x10;         // preview draws the document path
constexpr uint8_t ShowMappingFlag = 0x20;      // preview draws the selected map layer's frame
constexpr uint8_t AntiAliasingFlag = 0x80;     // element edges are anti-aliased
constexpr uint8_t DefaultViewFlags = ShowMappingFlag | AntiAliasingFlag;

// bevelFlags bits.
constexpr uint16_t ContourIndexMask = 0x00FF;  // contour profile 0..48
constexpr uint16_t JoinTypeMask = 0x0300;      // 0 Round, 1 Bevel, 2 Miter
constexpr int JoinTypeShift = 8;
constexpr uint16_t FlipHorizontalFlag = 0x0400;
constexpr uint16_t FlipVerticalFlag = 0x0800;

enum JoinType : uint16_t {
  JoinRound = 0,  // circular arc around the corner
  JoinBevel = 1,  // straight cut between the two offset edges
  JoinMiter = 2   // pointed corner, clipped at the miter limit
};

// Largest values users of the record may rely on (readers clamp to them).
constexpr uint16_t MaxBevelSize = 250;     // pixels
constexpr uint16_t MaxBevelDepth = 1000;   // percent
constexpr uint16_t MaxMiterLimit = 2500;   // pixels
constexpr uint8_t LastRenderMode = 12;     // higher values draw as 0

enum RenderMode : uint8_t {
  RenderNormal = 0,
  RenderColor = 1,
  RenderReflection = 2,
  RenderOpacity = 3,
  RenderShininess = 4,
  RenderShinStrength = 5,
  RenderReflectivity = 6,
  RenderReflectionColor = 7,
  RenderOuterDistance = 8,
  RenderInnerDistance = 9,
  // Only a script delivers these three.
  RenderColorReflectionOpacity = 10,  // material color, reflection, alpha from the opacity
  RenderReflectionOpacity = 11,       // reflection, alpha from the opacity
  RenderColorOpacity = 12             // material color, alpha from the opacity
};

struct LightSetting {
  float direction[3];   // towards the light: x right, y down, z towards the viewer
  float halfVector[3];  // unit vector of (x, y, z + 1); always derived from direction
  uint32_t color;       // 0xXXRRGGBB; the top byte is carried along without meaning
  float colorRed, colorGreen, colorBlue;  // color's components / 255; derived
};

struct MaterialSetting {
  uint8_t color[3];  // blue, green, red: the low bytes of a little-endian 0xXXRRGGBB
  uint8_t opacity;   // 0..255; with color, the top byte of one u32
  uint8_t shininess;
  uint8_t shinStrength;
  uint8_t reflectivity;
};

struct BevelSetting {
  uint16_t size;        // band width in pixels, 0..250; 0 = no band
  uint16_t depth;       // relief depth in percent, 0..1000
  uint16_t bevelFlags;  // contour index, join type, flips (bits above)
  uint16_t miterLimit;  // pixels, 0..2500; Miter join only
};

enum BevelIndex : int32_t {
  InnerBevelSetting = 0,
  OuterBevelSetting = 1
};

struct StyleRecord {
  uint8_t showDialog;  // 1 = the next start shows the dialog
  uint8_t viewFlags;
  uint8_t renderMode;
  uint8_t ambientColor[3];  // red, green, blue
  uint8_t ambientReserved;  // carried through settings files, no meaning
  LightSetting lights[3];
  MaterialSetting materials[ElementCount];
  int32_t materialLinks[ElementCount];  // -1 = own material, else the element it uses
  BevelSetting bevels[2];               // Inner Bevel, then Outer Bevel
  MapLayer* mapLayers;                  // valid during one run only
  MapImage* reflectionImage;            // valid during one run only
};

// Fills every field from viewFlags to bevels with the default style.
// showDialog and the two run pointers are left to the caller.
void SetDefaultStyle(StyleRecord* style);

// Sets a light's colour; the float components are recomputed only when the
// 32-bit value (top byte included) differs from the stored one.
void SetLightColor(LightSetting* light, uint32_t color);
// Sets a light's direction as given and derives halfVector from it.
void SetLightDirection(LightSetting* light, float x, float y, float z);
// Derives halfVector from the stored direction (after reading files and scripts).
void DeriveHalfVector(LightSetting* light);

// Makes material links from files and scripts safe to follow: a link outside
// -1..2 becomes -1 (own material), and an element whose chain leads back to
// itself is given its own material, which breaks every cycle.
void SanitiseMaterialLinks(int32_t links[ElementCount]);

inline uint32_t MaterialColorWord(const MaterialSetting& m) {
  return uint32_t(m.color[0]) | (uint32_t(m.color[1]) << 8) | (uint32_t(m.color[2]) << 16) |
         (uint32_t(m.opacity) << 24);
}
inline void SetMaterialColorWord(MaterialSetting* m, uint32_t word) {
  m->color[0] = uint8_t(word);
  m->color[1] = uint8_t(word >> 8);
  m->color[2] = uint8_t(word >> 16);
  m->opacity = uint8_t(word >> 24);
}

// Percent as the user sees it <-> the stored byte, in integer arithmetic.
inline int32_t PercentToByte(int32_t percent) { return (percent * 51 + 10) / 20; }
inline int32_t ByteToPercent(int32_t value) { return (value * 100 + 128) / 255; }

inline uint16_t JoinTypeOf(uint16_t bevelFlags) { return uint16_t((bevelFlags & JoinTypeMask) >> JoinTypeShift); }
inline uint16_t ContourIndexOf(uint16_t bevelFlags) { return uint16_t(bevelFlags & ContourIndexMask); }
