#include "style/SettingsFile.h"

#include <cstdio>
#include <cstring>

#include "core/WorkMemory.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "style/MapLayerRecords.h"

namespace {
#define MissingReflectionMessage "Couldn't find reflection image file "
constexpr uint32_t MagicSize = 3;

uint16_t AtMost(uint16_t value, uint16_t limit) { return value > limit ? limit : value; }

// Everything up to and including the lights into *style; 0 on a short read.
int32_t ReadFixedPart(ByteReader* in, StyleRecord* style) {
  in->U8();  // view flags: the dialog's, not the style's
  for (BevelSetting& bevel : style->bevels) {
    bevel.size = AtMost(in->U16(), MaxBevelSize);
    bevel.depth = AtMost(in->U16(), MaxBevelDepth);
    bevel.miterLimit = AtMost(in->U16(), MaxMiterLimit);
    bevel.bevelFlags = in->U16();
  }
  for (int32_t e = 0; e < ElementCount; ++e) {
    MaterialSetting& m = style->materials[e];
    SetMaterialColorWord(&m, in->U32());
    m.shininess = in->U8();
    m.shinStrength = in->U8();
    m.reflectivity = in->U8();
    style->materialLinks[e] = int32_t(in->U32());
  }
  for (uint8_t& c : style->ambientColor) c = in->U8();
  style->ambientReserved = in->U8();
  for (LightSetting& light : style->lights) {
    SetLightColor(&light, in->U32());
    const float x = in->F32(), y = in->F32(), z = in->F32();
    SetLightDirection(&light, x, y, z);
  }
  return in->ok;
}

void ReadReflection(ByteReader* in, StyleRecord* style, const StyleIo& io) {
  char name[MaxStoredNameLength + 1] = {0};
  const uint16_t length = in->U16();
  if (length < 1 || length > MaxStoredNameLength || !in->Read(name, length)) return;
  int32_t missing = 0;
  MapImage* image = LoadNamedImage(io, name, 0, &missing);
  if (image != nullptr) style->reflectionImage = image;
  if (missing && io.report != nullptr) {
    char text[sizeof MissingReflectionMessage + MaxStoredNameLength];
    std::snprintf(text, sizeof text, "%s%s", MissingReflectionMessage, name);
    io.report(io.context, text);
  }
}

int32_t ReadSettings(ByteReader* in, StyleRecord* style, const StyleIo& io) {
  char magic[MagicSize];
  if (!in->Read(magic, MagicSize) || std::memcmp(magic, SettingsMagicText, MagicSize) != 0) return 0;
  StyleRecord working = *style;
  if (!ReadFixedPart(in, &working)) return 0;
  ReadReflection(in, &working, io);
  const uint32_t count = in->U32();
  if (!in->ok) return 0;
  MapLayer* layers = nullptr;
  if (count <= MaxMapLayers) {
    for (uint32_t i = 0; i < count; ++i) {
      if (ReadMapLayerRecord(in, SettingsFileNames, &layers, io, 1)) continue;
      if (in->ok) {  // out of memory
        FreeMapLayers(layers);
        return 0;
      }
      break;  // the file ends inside the list: keep the whole records read so far
    }
  }
  SanitiseMaterialLinks(working.materialLinks);
  FreeMapLayers(style->mapLayers);
  *style = working;
  style->mapLayers = layers;
  return 1;
}

uint32_t ReflectionName(const StyleRecord& style, const StyleIo& io, char* out, uint32_t capacity) {
  out[0] = 0;
  if (style.reflectionImage == nullptr) return 0;
  return StoredImageName(io, style.reflectionImage->name, out, capacity, MaxStoredNameLength);
}

uint64_t SettingsSize(const StyleRecord& style, const StyleIo& io) {
  char reflection[MapImageNameCapacity];
  uint64_t total = SettingsHeaderSize + 2 + ReflectionName(style, io, reflection, sizeof reflection) + 4;
  for (const MapLayer* layer = style.mapLayers; layer != nullptr; layer = layer->next)
    total += MapLayerRecordSize(*layer, io, MaxStoredNameLength);
  return total;
}

// The whole file, field by field, into `out` (memory or file; no allocation).
void WriteSettings(ByteWriter* out, const StyleRecord& style, const StyleIo& io) {
  out->Write(SettingsMagicText, MagicSize);
  out->U8(style.viewFlags);
  for (const BevelSetting& bevel : style.bevels) {
    out->U16(bevel.size);
    out->U16(bevel.depth);
    out->U16(bevel.miterLimit);
    out->U16(bevel.bevelFlags);
  }
  for (int32_t e = 0; e < ElementCount; ++e) {
    const MaterialSetting& m = style.materials[e];
    out->U32(MaterialColorWord(m));
    out->U8(m.shininess);
    out->U8(m.shinStrength);
    out->U8(m.reflectivity);
    out->U32(uint32_t(style.materialLinks[e]));
  }
  for (uint8_t c : style.ambientColor) out->U8(c);
  out->U8(style.ambientReserved);
  for (const LightSetting& light : style.lights) {
    out->U32(light.color);
    for (float component : light.direction) out->F32(component);
  }
  char reflection[MapImageNameCapacity];
  const uint32_t reflectionLength = ReflectionName(style, io, reflection, sizeof reflection);
  out->U16(uint16_t(reflectionLength));
  out->Write(reflection, reflectionLength);
  uint32_t count = 0;
  for (const MapLayer* layer = style.mapLayers; layer != nullptr; layer = layer->next) ++count;
  out->U32(count);
  for (const MapLayer* layer = style.mapLayers; layer != nullptr; layer = layer->next)
    WriteMapLayerRecord(out, style.mapLayers, *layer, io, MaxStoredNameLength);
}
}  // namespace

int32_t ReadSettingsBytes(const uint8_t* bytes, uint32_t size, StyleRecord* style, const StyleIo& io) {
  ByteReader in;
  in.bytes = bytes;
  in.size = size;
  return ReadSettings(&in, style, io);
}

int32_t ReadSettingsFile(const char* path, StyleRecord* style, const StyleIo& io) {
  if (path == nullptr || path[0] == 0) return 0;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return 0;
  ByteReader in;
  in.file = file;
  const int32_t read = ReadSettings(&in, style, io);
  std::fclose(file);
  return read;
}

uint8_t* EncodeSettings(const StyleRecord& style, const StyleIo& io, uint32_t* size) {
  const uint64_t total = SettingsSize(style, io);
  if (total > UINT32_MAX) {
    SetResult(MemFullErr);
    return nullptr;
  }
  uint8_t* bytes = static_cast<uint8_t*>(NewBlock(uint32_t(total)));
  if (bytes == nullptr) return nullptr;
  ByteWriter out;
  out.bytes = bytes;
  out.capacity = uint32_t(total);
  WriteSettings(&out, style, io);
  *size = out.at;
  return bytes;
}

int32_t WriteSettingsFile(const char* path, const StyleRecord& style, const StyleIo& io) {
  if (path == nullptr || path[0] == 0) return 0;
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return 0;
  ByteWriter out;
  out.file = file;
  WriteSettings(&out, style, io);
  const int32_t written = (std::fclose(file) == 0) && out.ok;
  if (!written) std::remove(path);
  return written;
}
