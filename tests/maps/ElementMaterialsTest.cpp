// Element material links and the constant material fill.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bevel/ElementBuffer.h"
#include "maps/ElementMaterials.h"

namespace {
StyleRecord Unlinked() {
  StyleRecord style{};
  SetDefaultStyle(&style);
  for (int e = 0; e < ElementCount; ++e) {
    style.materialLinks[e] = -1;
    SetMaterialColorWord(&style.materials[e], 0x10203040u * uint32_t(e + 1));
    style.materials[e].shininess = uint8_t(10 + e);
  }
  return style;
}

bool SameMaterial(const MaterialSetting& a, const MaterialSetting& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// One row of `width` pixels in one span, memory owned by the test.
struct OneRow {
  std::vector<uint32_t> storage;
  Span span{};
  Span* row = &span;
  ElementBuffer buffer{};
  explicit OneRow(int width) : storage(size_t(width) * 3, 0) {
    span.xStart = 0;
    span.xEnd = uint16_t(width);
    span.block = storage.data();
    span.material = reinterpret_cast<PixelMaterial*>(storage.data() + width);
    for (int i = 0; i < width; ++i) span.material[i] = PixelMaterial{1, 2, 3, 4, 5, 6, 7, uint8_t(20 + i)};
    buffer.width = uint16_t(width);
    buffer.height = 1;
    buffer.rows = &row;
  }
};
}  // namespace

TEST(MaterialLinks, ChainsResolveToTheirEnd) {
  StyleRecord style = Unlinked();
  style.materialLinks[OuterBevelElement] = InnerBevelElement;
  style.materialLinks[InnerBevelElement] = MainElement;
  EXPECT_EQ(ResolveMaterial(&style, OuterBevelElement), &style.materials[MainElement]);
  EXPECT_EQ(ResolveMaterial(&style, InnerBevelElement), &style.materials[MainElement]);
  EXPECT_EQ(ResolveMaterial(&style, MainElement), &style.materials[MainElement]);
  // Linking Main to the Outer Bevel would close the cycle; the others are fine.
  EXPECT_EQ(LinkAllowed(&style, MainElement, OuterBevelElement), 0);
  EXPECT_EQ(LinkAllowed(&style, MainElement, InnerBevelElement), 0);
  EXPECT_EQ(LinkAllowed(&style, MainElement, MainElement), 0);
  EXPECT_EQ(LinkAllowed(&style, OuterBevelElement, MainElement), 1);
  EXPECT_EQ(LinkAllowed(&style, InnerBevelElement, MainElement), 1);
  StyleRecord free = Unlinked();
  EXPECT_EQ(LinkAllowed(&free, MainElement, OuterBevelElement), 1);
}

TEST(MaterialLinks, MalformedLinksNeitherLoopNorLeaveTheTable) {
  StyleRecord style = Unlinked();
  style.materialLinks[MainElement] = InnerBevelElement;  // a cycle, as a corrupt file could hold
  style.materialLinks[InnerBevelElement] = MainElement;
  style.materialLinks[OuterBevelElement] = 7;  // names no element
  const MaterialSetting* m = ResolveMaterial(&style, MainElement);
  EXPECT_TRUE(m == &style.materials[MainElement] || m == &style.materials[InnerBevelElement]);
  EXPECT_EQ(ResolveMaterial(&style, OuterBevelElement), &style.materials[OuterBevelElement]);
  EXPECT_EQ(LinkAllowed(&style, OuterBevelElement, MainElement), 0);
  (void)MaterialChanged(&style, &style.materials[MainElement]);
}

TEST(MaterialChanged, CopiesIntoLinkedElementsAndNamesThem) {
  StyleRecord style = Unlinked();
  style.materialLinks[OuterBevelElement] = InnerBevelElement;
  style.materialLinks[InnerBevelElement] = MainElement;
  SetMaterialColorWord(&style.materials[MainElement], 0xAABBCCDD);
  style.materials[MainElement].reflectivity = 99;
  EXPECT_EQ(MaterialChanged(&style, &style.materials[MainElement]), SelectMain | SelectInnerBevel | SelectOuterBevel);
  EXPECT_TRUE(SameMaterial(style.materials[InnerBevelElement], style.materials[MainElement]));
  EXPECT_TRUE(SameMaterial(style.materials[OuterBevelElement], style.materials[MainElement]));

  StyleRecord partial = Unlinked();
  partial.materialLinks[OuterBevelElement] = InnerBevelElement;
  const MaterialSetting before = partial.materials[MainElement];
  EXPECT_EQ(MaterialChanged(&partial, &partial.materials[InnerBevelElement]), SelectInnerBevel | SelectOuterBevel);
  EXPECT_TRUE(SameMaterial(partial.materials[MainElement], before));
  EXPECT_EQ(MaterialChanged(&partial, &partial.materials[MainElement]), SelectMain);
  MaterialSetting stranger{};
  EXPECT_EQ(MaterialChanged(&partial, &stranger), 0u);
}

TEST(MaterialFill, WritesOnlyTheSelectedChannelsAndNeverCoverage) {
  MaterialSetting m{};
  SetMaterialColorWord(&m, 0x80112233);  // opacity 0x80, red 0x11, green 0x22, blue 0x33
  m.shininess = 44;
  m.shinStrength = 55;
  m.reflectivity = 66;
  OneRow row(3);
  FillMaterial(&row.buffer, m, ChannelColor);
  for (int i = 0; i < 3; ++i) {
    const PixelMaterial& p = row.span.material[i];
    EXPECT_EQ(p.red, 0x11);
    EXPECT_EQ(p.green, 0x22);
    EXPECT_EQ(p.blue, 0x33);
    EXPECT_EQ(p.opacity, 4);
    EXPECT_EQ(p.reflectivity, 7);
    EXPECT_EQ(p.coverage, 20 + i);
  }
  FillMaterial(&row.buffer, m, ChannelOpacity | ChannelShinStrength | ChannelBump);
  EXPECT_EQ(row.span.material[0].opacity, 0x80);
  EXPECT_EQ(row.span.material[0].shininess, 5);
  EXPECT_EQ(row.span.material[0].shinStrength, 55);
  FillMaterial(&row.buffer, m, 0x1F);
  const PixelMaterial expected{0x11, 0x22, 0x33, 0x80, 44, 55, 66, 21};
  EXPECT_EQ(std::memcmp(&row.span.material[1], &expected, sizeof expected), 0);
}

TEST(MaterialFill, ElementsUseTheirResolvedMaterial) {
  StyleRecord style = Unlinked();
  style.materialLinks[OuterBevelElement] = MainElement;
  OneRow main(2), outer(2), inner(2);
  ElementBuffer* buffers[ElementCount] = {&main.buffer, &inner.buffer, &outer.buffer};
  FillElementMaterials(&style, buffers, SelectMain | SelectOuterBevel | ChannelColor | ChannelShininess);
  const MaterialSetting& source = style.materials[MainElement];
  EXPECT_EQ(outer.span.material[0].red, source.color[2]);
  EXPECT_EQ(outer.span.material[1].shininess, source.shininess);
  EXPECT_EQ(main.span.material[0].shininess, source.shininess);
  EXPECT_EQ(inner.span.material[0].shininess, 5);  // not selected
  ElementBuffer* absent[ElementCount] = {nullptr, nullptr, nullptr};
  FillElementMaterials(&style, absent, 0xF001F);
}
