// Shading of the Main element, the flat face of the relief: its normal points
// at the viewer unless bump maps tilt it. Every routine walks the element
// buffer's spans and writes one RenderedPixel per covered column; they
// allocate nothing and return 1. Each writes only the pixels inside `clip`
// (effect frame; WholeFrame for the whole element).
//
// A pixel with coverage k (of PixelSamples) and opacity o gets alpha
// (k x o) >> 5 and its shaded colors (0..1) times that alpha, truncated.
#pragma once
#include <cstdint>

#include "bevel/ElementBuffer.h"
#include "bevel/ElementWindow.h"
#include "render/Lighting.h"
#include "render/Sampling.h"

// Full shading of the flat face: the per-light dot products, the specular
// powers and the reflection color (at the image centre) are set up once per
// call. `reflection` null = none.
int ShadeMainFull(const LightingSetup& lighting, ElementBuffer* buffer, const ReflectionSampler* reflection,
                  const PixelRect& clip = WholeFrame);

// Full shading with the normal of every pixel tilted by the bump samplers
// (count >= 1; they are stepped along the buffer's rows and spans).
int ShadeMainFullBumped(const LightingSetup& lighting, ElementBuffer* buffer, const ReflectionSampler* reflection,
                        BumpSampler* samplers, int32_t count, const PixelRect& clip = WholeFrame);

// Color display: the material color when `showColor` is set (else black),
// plus the reflection at the (bump-tilted) normal when a sampler is given,
// under alpha from the opacity when `useOpacity` is set (else full).
int ShadeMainColorDisplay(ElementBuffer* buffer, BumpSampler* samplers, int32_t count,
                          const ReflectionSampler* reflection, int showColor, int useOpacity,
                          const PixelRect& clip = WholeFrame);

// A gray image of one material byte (MaterialOpacity .. MaterialReflectivity)
// premultiplied by the coverage, alpha from the coverage alone.
int ShadeMainChannelDisplay(ElementBuffer* buffer, int32_t byteIndex, const PixelRect& clip = WholeFrame);

// Every covered pixel gets, per byte b of `packed` (alpha, red, green, blue),
// (k x b) >> 5: white premultiplied by coverage for 0xFFFFFFFF, clear for 0.
int ConstantFill(ElementBuffer* buffer, uint32_t packed, const PixelRect& clip = WholeFrame);
