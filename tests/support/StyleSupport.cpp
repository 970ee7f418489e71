#include "tests/support/StyleSupport.h"

#include <cstdio>
#include <cstring>

#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "style/NameOnlyImages.h"

namespace {
template <class T>
T Uniform(std::mt19937& rng, T low, T high) {
  return T(std::uniform_int_distribution<int64_t>(int64_t(low), int64_t(high))(rng));
}

float WholeFloat(std::mt19937& rng, int low, int high) { return float(Uniform<int>(rng, low, high)); }

bool HasCycle(const int32_t links[ElementCount]) {
  for (int32_t e = 0; e < ElementCount; ++e) {
    int32_t j = links[e];
    for (int32_t step = 0; step < ElementCount && j >= 0; ++step) {
      if (j == e) return true;
      j = links[j];
    }
  }
  return false;
}

struct Appender {
  std::string text;
  void operator()(const char* label, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, " %s=%.9g", label, value);
    text += buffer;
  }
};
}  // namespace

StyleRecord RandomStyle(std::mt19937& rng) {
  StyleRecord style{};
  SetDefaultStyle(&style);
  style.showDialog = Uniform<uint8_t>(rng, 0, 1);
  style.viewFlags = Uniform<uint8_t>(rng, 0, 255);
  style.renderMode = Uniform<uint8_t>(rng, 0, 255);
  for (uint8_t& c : style.ambientColor) c = Uniform<uint8_t>(rng, 0, 255);
  style.ambientReserved = Uniform<uint8_t>(rng, 0, 255);
  std::normal_distribution<float> normal(0.0f, 2.0f);
  for (LightSetting& light : style.lights) {
    SetLightColor(&light, Uniform<uint32_t>(rng, 0, UINT32_MAX));
    SetLightDirection(&light, normal(rng), normal(rng), normal(rng));
  }
  for (MaterialSetting& m : style.materials) {
    SetMaterialColorWord(&m, Uniform<uint32_t>(rng, 0, UINT32_MAX));
    m.shininess = Uniform<uint8_t>(rng, 0, 255);
    m.shinStrength = Uniform<uint8_t>(rng, 0, 255);
    m.reflectivity = Uniform<uint8_t>(rng, 0, 255);
  }
  do {
    for (int32_t& link : style.materialLinks) link = Uniform<int32_t>(rng, -1, 2);
  } while (HasCycle(style.materialLinks));
  for (BevelSetting& bevel : style.bevels) {
    bevel.size = Uniform<uint16_t>(rng, 0, MaxBevelSize);
    bevel.depth = Uniform<uint16_t>(rng, 0, MaxBevelDepth);
    bevel.miterLimit = Uniform<uint16_t>(rng, 0, MaxMiterLimit);
    bevel.bevelFlags = Uniform<uint16_t>(rng, 0, 0xFFFF);
  }
  style.mapLayers = nullptr;
  style.reflectionImage = nullptr;
  return style;
}

void AddRandomLayers(StyleRecord* style, std::mt19937& rng, int count, const std::vector<std::string>& images,
                     MapImage** cache) {
  for (int i = 0; i < count; ++i) {
    MapLayer* layer = AppendMapLayer(&style->mapLayers);
    if (layer == nullptr) return;
    const uint32_t kinds[6] = {ColorMapLayer, OpacityMapLayer, ShininessMapLayer, ShinStrengthMapLayer,
                               ReflectivityMapLayer, BumpMapLayer};
    layer->layerFlags = kinds[Uniform<int>(rng, 0, 5)] | (Uniform<uint32_t>(rng, 1, 7) << 16) |
                        (Uniform<uint32_t>(rng, 0, 3) << 20) | (Uniform<uint32_t>(rng, 0, 2) << AlphaOutputShift);
    if (Uniform<int>(rng, 0, 5) == 0) layer->layerFlags |= BackgroundLayer;
    layer->amount = Uniform<uint32_t>(rng, 0, 255);
    layer->centerX = WholeFloat(rng, -500, 500);
    layer->centerY = WholeFloat(rng, -500, 500);
    layer->placedWidth = WholeFloat(rng, 0, 900);
    layer->placedHeight = WholeFloat(rng, 0, 900);
    layer->angle = std::uniform_real_distribution<float>(-3.2f, 3.2f)(rng);
    // A mode, or a link to an earlier layer (pointers: as the dialog leaves them).
    const int mode = Uniform<int>(rng, 0, i == 0 ? 2 : 3);
    if (mode == 3) {
      MapLayer* target = style->mapLayers;
      for (int k = Uniform<int>(rng, 0, i - 1); k > 0; --k) target = target->next;
      layer->mappingLink = reinterpret_cast<uintptr_t>(target);
    } else {
      layer->mappingLink = uintptr_t(mode);
    }
    if (!(layer->layerFlags & BackgroundLayer) && !images.empty() && Uniform<int>(rng, 0, 4) != 0)
      layer->image = LoadNameOnlyImage(cache, images[size_t(Uniform<int>(rng, 0, int(images.size()) - 1))].c_str(), 0);
  }
}

StyleIo TestStyleIo::Io() {
  StyleIo io{};
  io.loadImage = [](void* context, const char* path, int32_t wantMax) {
    return LoadNameOnlyImage(&static_cast<TestStyleIo*>(context)->cache, path, wantMax);
  };
  io.report = [](void* context, const char* text) { static_cast<TestStyleIo*>(context)->messages.push_back(text); };
  io.context = this;
  io.mapsFolder = mapsFolder.c_str();
  io.effectLeft = effectLeft;
  io.effectTop = effectTop;
  return io;
}

TestStyleIo::~TestStyleIo() { FreeImages(cache); }

std::string StoredFields(const StyleRecord& s) {
  Appender a;
  for (const BevelSetting& b : s.bevels) {
    a("size", b.size);
    a("depth", b.depth);
    a("miter", b.miterLimit);
    a("flags", b.bevelFlags);
  }
  for (int e = 0; e < ElementCount; ++e) {
    a("word", MaterialColorWord(s.materials[e]));
    a("shin", s.materials[e].shininess);
    a("strength", s.materials[e].shinStrength);
    a("refl", s.materials[e].reflectivity);
    a("link", s.materialLinks[e]);
  }
  for (uint8_t c : s.ambientColor) a("ambient", c);
  a("reserved", s.ambientReserved);
  for (const LightSetting& l : s.lights) {
    a("color", l.color);
    for (float v : l.direction) a("dir", v);
    for (float v : l.halfVector) a("half", v);
    a("r", l.colorRed);
    a("g", l.colorGreen);
    a("b", l.colorBlue);
  }
  a.text += std::string(" reflection=") + (s.reflectionImage ? s.reflectionImage->name : "-");
  for (const MapLayer* layer = s.mapLayers; layer != nullptr; layer = layer->next) {
    a.text += "\n layer";
    a("flags", layer->layerFlags);
    a("amount", layer->amount);
    const int32_t position = MapLayerPosition(s.mapLayers, LinkedLayer(*layer));
    a("link", position >= 0 ? double(MappingLinkStored + uint32_t(position)) : double(layer->mappingLink));
    a("cx", layer->centerX);
    a("cy", layer->centerY);
    a("w", layer->placedWidth);
    a("h", layer->placedHeight);
    a("angle", layer->angle);
    a.text += std::string(" image=") + (layer->image ? layer->image->name : "-");
  }
  return a.text;
}

std::string DialogFields(const StyleRecord& s) {
  Appender a;
  a("show", s.showDialog);
  a("view", s.viewFlags);
  a("mode", s.renderMode);
  return a.text;
}

std::vector<uint8_t> HandEncodedSettings(const StyleRecord& s) {
  std::vector<uint8_t> out = {'B', 'F', 'F', s.viewFlags};
  auto u8 = [&](uint32_t v) { out.push_back(uint8_t(v)); };
  auto u16 = [&](uint32_t v) { u8(v), u8(v >> 8); };
  auto u32 = [&](uint32_t v) { u16(v), u16(v >> 16); };
  auto f32 = [&](float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  };
  auto name = [&](const MapImage* image) {
    const std::string text = image ? image->name : "";
    u16(uint32_t(text.size()));
    out.insert(out.end(), text.begin(), text.end());
  };
  for (const BevelSetting& b : s.bevels) u16(b.size), u16(b.depth), u16(b.miterLimit), u16(b.bevelFlags);
  for (int e = 0; e < ElementCount; ++e) {
    const MaterialSetting& m = s.materials[e];
    u8(m.color[0]), u8(m.color[1]), u8(m.color[2]), u8(m.opacity);
    u8(m.shininess), u8(m.shinStrength), u8(m.reflectivity);
    u32(uint32_t(s.materialLinks[e]));
  }
  for (uint8_t c : s.ambientColor) u8(c);
  u8(s.ambientReserved);
  for (const LightSetting& l : s.lights) {
    u32(l.color);
    for (float v : l.direction) f32(v);
  }
  name(s.reflectionImage);
  uint32_t count = 0;
  for (const MapLayer* layer = s.mapLayers; layer != nullptr; layer = layer->next) ++count;
  u32(count);
  for (const MapLayer* layer = s.mapLayers; layer != nullptr; layer = layer->next) {
    u32(layer->layerFlags);
    u32(layer->amount);
    const int32_t position = MapLayerPosition(s.mapLayers, LinkedLayer(*layer));
    u32(position >= 0 ? uint32_t(MappingLinkStored) + uint32_t(position) : uint32_t(layer->mappingLink));
    f32(layer->centerX), f32(layer->centerY), f32(layer->placedWidth), f32(layer->placedHeight), f32(layer->angle);
    name(layer->layerFlags & BackgroundLayer ? nullptr : layer->image);
  }
  return out;
}

void ReleaseLayers(StyleRecord* style) {
  FreeMapLayers(style->mapLayers);
  style->mapLayers = nullptr;
}
