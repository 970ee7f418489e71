#include "ScriptedHost.h"

namespace {
ModuleBody gBody;

void PI_CALL ScriptedEntry(int16_t selector, void* record, intptr_t* data, int16_t* result) {
  if (gBody) gBody(selector, record, data, result);
}
}  // namespace

ScriptedHost::ScriptedHost(ModuleBody body) {
  gBody = std::move(body);
  host = OpenFilterHostWithEntry(ScriptedEntry, "scripted");
}

ScriptedHost::~ScriptedHost() {
  CloseFilterHost(host);
  gBody = nullptr;
}

uint8_t PatternValue(int32_t channel, int32_t x, int32_t y) { return uint8_t(channel * 64 + y * 16 + x); }

HostDocument PatternDocument(int32_t width, int32_t height, LayerKind layer) {
  HostDocument d = MakeDocument(width, height, ModeRGBColor, layer, 0);
  for (int32_t c = 0; c < 3; ++c)
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) d.colorChannels[size_t(c)].pixels[size_t(y * width + x)] = PatternValue(c, x, y);
  return d;
}
