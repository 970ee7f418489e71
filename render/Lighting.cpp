#include "render/Lighting.h"

#include "style/StyleRecord.h"

void SetUpLighting(const StyleRecord& style, LightingSetup* setup) {
  for (int c = 0; c < 3; ++c) setup->ambient[c] = float(style.ambientColor[c]) * OneOver65025;
  setup->lightCount = 0;
  for (int32_t i = 0; i < MaxLights; ++i) {
    const LightSetting& source = style.lights[i];
    // A black light with a non-zero top byte counts as active; it adds zeros.
    if (source.color == 0) continue;
    ActiveLight& light = setup->lights[setup->lightCount++];
    for (int c = 0; c < 3; ++c) {
      light.direction[c] = source.direction[c];
      light.halfVector[c] = source.halfVector[c];
    }
    light.color[0] = float((source.color >> 16) & 0xFF) * OneOver255;
    light.color[1] = float((source.color >> 8) & 0xFF) * OneOver255;
    light.color[2] = float(source.color & 0xFF) * OneOver255;
  }
}
