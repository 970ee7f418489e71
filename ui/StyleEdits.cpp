#include "ui/StyleEdits.h"

#include <cstdio>

#include "maps/ElementMaterials.h"
#include "ui/SliderMaps.h"

namespace {
constexpr DialogAction NoAction{BevelRebuild::None, 0, 0, false};
constexpr DialogAction RenderAll{BevelRebuild::None, 0, SelectAllElements, false};

const char* const LinkTexts[ElementCount] = {"Linked to Main", "Linked to Inner Bevel", "Linked to Outer Bevel"};

// The selected element's bevel, or null while Main is selected.
BevelSetting* SelectedBevel(StyleRecord* style) {
  const int32_t element = SelectedElement(style);
  return element == MainElement ? nullptr : &style->bevels[element - 1];
}

// A size, join or miter change: the band is rebuilt; the Inner Bevel's
// rebuild reshapes Main too.
DialogAction RebuildSelected(const StyleRecord* style) {
  return SelectedElement(style) == InnerBevelElement
             ? DialogAction{BevelRebuild::Inner, 0, SelectMain | SelectInnerBevel, false}
             : DialogAction{BevelRebuild::Outer, 0, SelectOuterBevel, false};
}
DialogAction ShadeSelected(const StyleRecord* style) {
  return DialogAction{BevelRebuild::None, 0, ElementSelectorBit(SelectedElement(style)), false};
}

// After the edited material changed in `channels`: the copies along the
// links, and the elements whose material it is refreshed and rendered.
DialogAction MaterialEdited(StyleRecord* style, uint32_t channels) {
  return RefreshAndRender(MaterialChanged(style, EditedMaterial(style)) | channels);
}

bool SameMaterial(const MaterialSetting& a, const MaterialSetting& b) {
  return MaterialColorWord(a) == MaterialColorWord(b) && a.shininess == b.shininess &&
         a.shinStrength == b.shinStrength && a.reflectivity == b.reflectivity;
}
}  // namespace

int32_t MaterialLinkItems(const StyleRecord* style, int32_t element, MaterialLinkItem items[ElementCount],
                          int32_t* selected) {
  int32_t count = 0;
  *selected = 0;
  items[count++] = MaterialLinkItem{"Custom", -1};
  for (int32_t other = 0; other < ElementCount; ++other) {
    if (other == element || !LinkAllowed(style, element, other)) continue;
    if (style->materialLinks[element] == other) *selected = count;
    items[count++] = MaterialLinkItem{LinkTexts[other], other};
  }
  return count;
}

int32_t SelectedElement(const StyleRecord* style) {
  const int32_t element = style->viewFlags & SelectedElementMask;
  return element < ElementCount ? element : MainElement;
}

int32_t SelectElement(StyleRecord* style, int32_t element) {
  if (element < 0 || element >= ElementCount) return 0;
  const int32_t previous = SelectedElement(style);
  style->viewFlags = uint8_t((style->viewFlags & ~SelectedElementMask) | element);
  return previous != element;
}

MaterialSetting* EditedMaterial(StyleRecord* style) { return ResolveMaterial(style, SelectedElement(style)); }

ElementControls ElementControlsOf(const StyleRecord* style, int32_t element) {
  ElementControls controls{};
  controls.bevelControls = element != MainElement;
  if (controls.bevelControls) {
    const BevelSetting& bevel = style->bevels[element - 1];
    controls.join = JoinTypeOf(bevel.bevelFlags);
    controls.miterEnabled = controls.join == JoinMiter;
    controls.miterLimit = bevel.miterLimit;
    controls.contour = ContourIndexOf(bevel.bevelFlags);
    controls.bevelFlags = bevel.bevelFlags;
    controls.flipHorizontal = (bevel.bevelFlags & FlipHorizontalFlag) != 0;
    controls.flipVertical = (bevel.bevelFlags & FlipVerticalFlag) != 0;
    controls.size = bevel.size;
    controls.depth = bevel.depth;
  }
  controls.linkCount = MaterialLinkItems(style, element, controls.links, &controls.linkSelected);
  const MaterialSetting& material = *ResolveMaterial(style, element);
  controls.opacity = PercentOfByte(material.opacity);
  controls.shininess = PercentOfByte(material.shininess);
  controls.shinStrength = PercentOfByte(material.shinStrength);
  controls.reflectivity = PercentOfByte(material.reflectivity);
  controls.swatch[0] = material.color[2];
  controls.swatch[1] = material.color[1];
  controls.swatch[2] = material.color[0];
  return controls;
}

DialogAction ChooseJoin(StyleRecord* style, int32_t join) {
  BevelSetting* bevel = SelectedBevel(style);
  if (bevel == nullptr || join < JoinRound || join > JoinMiter || JoinTypeOf(bevel->bevelFlags) == join)
    return NoAction;
  bevel->bevelFlags = uint16_t((bevel->bevelFlags & ~JoinTypeMask) | (join << JoinTypeShift));
  return RebuildSelected(style);
}

DialogAction EnterMiterLimit(StyleRecord* style, const char* text, char* shown, uint32_t capacity) {
  BevelSetting* bevel = SelectedBevel(style);
  if (bevel == nullptr) {
    if (capacity > 0) shown[0] = 0;
    return NoAction;
  }
  // Digits only, surrounding blanks allowed; a run of digits too long to
  // hold is still a number, and clamps.
  const char* p = text;
  while (*p == ' ') ++p;
  uint32_t value = 0;
  bool digits = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    digits = true;
    if (value <= MaxMiterLimit) value = value * 10 + uint32_t(*p - '0');
  }
  while (*p == ' ') ++p;
  DialogAction action = NoAction;
  if (digits && *p == 0) {
    if (value > MaxMiterLimit) value = MaxMiterLimit;
    if (value != bevel->miterLimit) {
      bevel->miterLimit = uint16_t(value);
      action = RebuildSelected(style);
    }
  }
  std::snprintf(shown, capacity, "%u", unsigned(bevel->miterLimit));
  return action;
}

DialogAction SetBevelSize(StyleRecord* style, int32_t size) {
  BevelSetting* bevel = SelectedBevel(style);
  if (bevel == nullptr || size < 0 || size > MaxBevelSize || size == bevel->size) return NoAction;
  bevel->size = uint16_t(size);
  return RebuildSelected(style);
}

DialogAction SetBevelDepth(StyleRecord* style, int32_t depth) {
  BevelSetting* bevel = SelectedBevel(style);
  if (bevel == nullptr || depth < 0 || depth > MaxBevelDepth || depth == bevel->depth) return NoAction;
  bevel->depth = uint16_t(depth);
  return ShadeSelected(style);
}

DialogAction ChooseContour(StyleRecord* style, int32_t contour) {
  BevelSetting* bevel = SelectedBevel(style);
  if (bevel == nullptr || contour < 0 || contour > int32_t(ContourIndexMask) || contour == ContourIndexOf(bevel->bevelFlags))
    return NoAction;
  bevel->bevelFlags = uint16_t((bevel->bevelFlags & ~ContourIndexMask) | contour);
  return ShadeSelected(style);
}

DialogAction SetBevelFlips(StyleRecord* style, bool horizontal, bool vertical) {
  BevelSetting* bevel = SelectedBevel(style);
  if (bevel == nullptr) return NoAction;
  const uint16_t flags = uint16_t((bevel->bevelFlags & ~(FlipHorizontalFlag | FlipVerticalFlag)) |
                                  (horizontal ? FlipHorizontalFlag : 0) | (vertical ? FlipVerticalFlag : 0));
  if (flags == bevel->bevelFlags) return NoAction;
  bevel->bevelFlags = flags;
  return ShadeSelected(style);
}

DialogAction ChooseMaterialLink(StyleRecord* style, int32_t link) {
  const int32_t element = SelectedElement(style);
  if (link != -1 && (link < 0 || link >= ElementCount || link == element || !LinkAllowed(style, element, link)))
    return NoAction;
  if (style->materialLinks[element] == link) return NoAction;
  MaterialSetting before[ElementCount];
  for (int32_t e = 0; e < ElementCount; ++e) before[e] = *ResolveMaterial(style, e);
  style->materialLinks[element] = link;
  // A linked element keeps a copy of what it shows, so that choosing
  // "Custom" later starts from the same material; the copy travels on to
  // the elements linked to this one.
  if (link != -1) {
    style->materials[element] = *ResolveMaterial(style, element);
    MaterialChanged(style, ResolveMaterial(style, element));
  }
  uint32_t changed = 0;
  for (int32_t e = 0; e < ElementCount; ++e)
    if (!SameMaterial(before[e], *ResolveMaterial(style, e))) changed |= ElementSelectorBit(e);
  return changed != 0 ? RefreshAndRender(changed | AllMaterialChannels) : NoAction;
}

DialogAction SetMaterialPercent(StyleRecord* style, uint32_t channel, int32_t percent) {
  if (percent < 0 || percent > 100) return NoAction;
  MaterialSetting* material = EditedMaterial(style);
  uint8_t* field = channel == ChannelOpacity        ? &material->opacity
                   : channel == ChannelShininess    ? &material->shininess
                   : channel == ChannelShinStrength ? &material->shinStrength
                   : channel == ChannelReflectivity ? &material->reflectivity
                                                    : nullptr;
  const uint8_t value = uint8_t(ByteOfPercent(percent));
  if (field == nullptr || *field == value) return NoAction;
  *field = value;
  return MaterialEdited(style, channel);
}

DialogAction SetMaterialColor(StyleRecord* style, const uint8_t rgb[3]) {
  MaterialSetting* material = EditedMaterial(style);
  if (material->color[2] == rgb[0] && material->color[1] == rgb[1] && material->color[0] == rgb[2]) return NoAction;
  material->color[2] = rgb[0];
  material->color[1] = rgb[1];
  material->color[0] = rgb[2];
  return MaterialEdited(style, ChannelColor);
}

DialogAction SetAmbientColor(StyleRecord* style, const uint8_t rgb[3]) {
  if (style->ambientColor[0] == rgb[0] && style->ambientColor[1] == rgb[1] && style->ambientColor[2] == rgb[2])
    return NoAction;
  for (int i = 0; i < 3; ++i) style->ambientColor[i] = rgb[i];
  return RenderAll;
}

DialogAction ChooseRenderMode(StyleRecord* style, int32_t mode) {
  if (mode < RenderNormal || mode > RenderInnerDistance || mode == style->renderMode) return NoAction;
  style->renderMode = uint8_t(mode);
  return RenderAll;
}

DialogAction SetViewFlag(StyleRecord* style, uint8_t flag, bool on) {
  if (flag != ShowPathFlag && flag != ShowMappingFlag && flag != AntiAliasingFlag) return NoAction;
  const uint8_t flags = uint8_t(on ? style->viewFlags | flag : style->viewFlags & ~flag);
  if (flags == style->viewFlags) return NoAction;
  style->viewFlags = flags;
  if (flag == AntiAliasingFlag) return RenderAll;
  return DialogAction{BevelRebuild::None, 0, 0, true};
}

DialogAction ChooseReflection(StyleRecord* style, MapImage* image) {
  if (image == nullptr || image == style->reflectionImage) return NoAction;
  style->reflectionImage = image;
  return RenderAll;
}
