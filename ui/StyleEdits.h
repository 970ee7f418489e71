// The element side of the style dialog: what the element tabs, the bevel
// controls, the material controls, the lights' ambient colour and the view
// options show and what each of them changes. Every handler writes its
// change into the style record and returns what the run must do
// (ui/DialogAction.h); a handler whose value does not change asks for nothing.
#pragma once
#include <cstdint>

#include "style/StyleRecord.h"
#include "ui/DialogAction.h"

// An entry of the material link list: the text shown and the link it stores
// (-1 own material, else the element whose material is used).
struct MaterialLinkItem {
  const char* text;
  int32_t link;
};

// "Custom", then "Linked to ..." for every other element whose material
// chain does not lead back to `element`. Returns the count (1..3) and the
// index of the item that matches the element's link in *selected (0 when the
// stored link is not offered).
int32_t MaterialLinkItems(const StyleRecord* style, int32_t element, MaterialLinkItem items[ElementCount],
                          int32_t* selected);

// What the element controls show for an element.
struct ElementControls {
  bool bevelControls;  // join, miter limit, contour, flips, depth and size are shown (a bevel)
  int32_t join;        // JoinType
  bool miterEnabled;   // the miter limit field takes input (Miter join)
  int32_t miterLimit;  // pixels
  int32_t contour;     // contour index 0..48
  uint16_t bevelFlags; // for the contour button's picture (index and flips)
  bool flipHorizontal, flipVertical;
  int32_t size, depth;  // pixels, percent
  MaterialLinkItem links[ElementCount];
  int32_t linkCount, linkSelected;
  // The material that the element shows (its resolved material), in percent.
  int32_t opacity, shininess, shinStrength, reflectivity;
  uint8_t swatch[3];  // red, green, blue of that material
};
ElementControls ElementControlsOf(const StyleRecord* style, int32_t element);

// The element the dialog shows (0..2, kept in the view flags).
int32_t SelectedElement(const StyleRecord* style);
// Stores `element`; returns 1 when it differs from the one shown before.
int32_t SelectElement(StyleRecord* style, int32_t element);
// The material the controls edit: the selected element's resolved material.
MaterialSetting* EditedMaterial(StyleRecord* style);

// Bevel controls: they act on the selected element's bevel, and on nothing
// while Main is selected.
DialogAction ChooseJoin(StyleRecord* style, int32_t join);
// The miter limit field lost the focus with `text`: an unsigned number is
// clamped to 2500 and stored; anything else leaves the limit. `shown`
// (capacity bytes) receives the text the field shows afterwards.
DialogAction EnterMiterLimit(StyleRecord* style, const char* text, char* shown, uint32_t capacity);
DialogAction SetBevelSize(StyleRecord* style, int32_t size);
DialogAction SetBevelDepth(StyleRecord* style, int32_t depth);
DialogAction ChooseContour(StyleRecord* style, int32_t contour);
DialogAction SetBevelFlips(StyleRecord* style, bool horizontal, bool vertical);

// Material controls, on the edited material; changes reach every element
// whose material chain ends at it.
DialogAction ChooseMaterialLink(StyleRecord* style, int32_t link);
// `channel`: ChannelOpacity, ChannelShininess, ChannelShinStrength or ChannelReflectivity.
DialogAction SetMaterialPercent(StyleRecord* style, uint32_t channel, int32_t percent);
DialogAction SetMaterialColor(StyleRecord* style, const uint8_t rgb[3]);

DialogAction SetAmbientColor(StyleRecord* style, const uint8_t rgb[3]);
DialogAction ChooseRenderMode(StyleRecord* style, int32_t mode);
// ShowPathFlag, ShowMappingFlag or AntiAliasingFlag.
DialogAction SetViewFlag(StyleRecord* style, uint8_t flag, bool on);
// A reflection image newly loaded by the user (not null).
DialogAction ChooseReflection(StyleRecord* style, MapImage* image);
