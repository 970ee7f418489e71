// The element stage the render benches share: the outline rings as the
// geometry stage hands them over, turned into the three placed element
// buffers with the style's bevel settings and materials.
#pragma once
#include "bevel/CornerClassification.h"
#include "bevel/ElementBuilders.h"
#include "bevel/NodeNumbering.h"
#include "bevel/OffsetOutlines.h"
#include "bevel/OffsetUndo.h"
#include "bevel/PixelConversion.h"
#include "maps/ElementMaterials.h"
#include "style/StyleRecord.h"

// Classifies the corners of the rings that are there (null = none), scales
// them to pixels of a width x height document, builds and places the
// elements and fills their materials. `effect` receives the effect
// rectangle; the caller frees the buffers in `fields`.
inline void BuildBenchElements(OffsetRingList* outer, OffsetRingList* inner, uint16_t width, uint16_t height,
                               const StyleRecord& style, ElementBuffer* buffers[ElementCount], PixelRect* effect) {
  for (OffsetRingList* list : {outer, inner}) {
    if (list == nullptr) continue;
    ClassifyCorners(list);
    ToPixels(list, width, height);
  }
  for (int e = 0; e < ElementCount; ++e) buffers[e] = nullptr;
  const BevelSetting& o = style.bevels[OuterBevelSetting];
  const BevelSetting& n = style.bevels[InnerBevelSetting];
  BuildOuterBevel(outer, BandSettings{o.size, o.bevelFlags, o.miterLimit}, &buffers[OuterBevelElement]);
  BuildInnerBevel(inner, BandSettings{n.size, n.bevelFlags, n.miterLimit}, &buffers[InnerBevelElement],
                  &buffers[MainElement]);
  EffectRectangle(buffers[OuterBevelElement], buffers[InnerBevelElement], buffers[MainElement], effect);
  PlaceElements(buffers[OuterBevelElement], buffers[InnerBevelElement], buffers[MainElement], *effect);
  FillElementMaterials(&style, buffers, 0xF001F);
}
