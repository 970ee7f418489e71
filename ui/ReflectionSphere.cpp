#include "ui/ReflectionSphere.h"

#include "render/Sampling.h"

void DrawReflectionSphere(uint32_t* pixels, const SphereTables& tables, const MapImage* image, uint32_t face) {
  ReflectionSampler sampler;
  if (image != nullptr) MakeReflectionSampler(&sampler, image->data, image->width, image->height, image->flags & ImageRgb);
  for (int32_t py = 0; py < SphereDiameter; ++py) {
    for (int32_t px = 0; px < SphereDiameter; ++px) {
      float n[3];
      int32_t coverage;
      uint32_t colour = 0;
      if (SphereNormalAt(tables, px, py, n, &coverage) && image != nullptr) {
        uint32_t rgb[3];
        LookUpReflection(sampler, n[0], n[1], rgb);
        colour = (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];
      }
      pixels[py * SphereDiameter + px] = BlendSphereEdge(colour, face, coverage);
    }
  }
}
