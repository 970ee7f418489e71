// The dialog's rules against an independent account of what an element's
// pixels depend on: every handler, on random styles and layers, must change
// only its own fields and render exactly the elements whose inputs changed.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "maps/ElementMaterials.h"
#include "maps/ImageCache.h"
#include "maps/MapFrame.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "style/NameOnlyImages.h"
#include "tests/support/CountingMemory.h"
#include "tests/support/StyleSupport.h"
#include "ui/MapLayerEdits.h"
#include "ui/SliderMaps.h"
#include "ui/StyleEdits.h"

namespace {
// Everything element e's pixels are made of, apart from the outlines: its
// shape (Main shrinks with the Inner Bevel), its relief, its resolved
// material, the lighting, the render settings and every map layer on it.
std::string PixelInputs(const StyleRecord& s, int32_t e) {
  std::ostringstream out;
  auto shape = [&](const BevelSetting& b) {
    out << b.size << '/' << (b.bevelFlags & JoinTypeMask) << '/' << b.miterLimit << ';';
  };
  if (e != MainElement) {
    const BevelSetting& b = s.bevels[e - 1];
    shape(b);
    out << b.depth << '/' << (b.bevelFlags & ~JoinTypeMask) << ';';
  } else {
    shape(s.bevels[InnerBevelSetting]);
  }
  int32_t r = e;
  for (int step = 0; step < ElementCount && s.materialLinks[r] >= 0; ++step) r = s.materialLinks[r];
  const MaterialSetting& m = s.materials[r];
  out << MaterialColorWord(m) << ',' << int(m.shininess) << ',' << int(m.shinStrength) << ',' << int(m.reflectivity);
  out << ';' << int(s.ambientColor[0]) << int(s.ambientColor[1]) << int(s.ambientColor[2]) << ';' << int(s.renderMode)
      << ';' << (s.viewFlags & AntiAliasingFlag) << ';' << s.reflectionImage;
  for (const MapLayer* l = s.mapLayers; l != nullptr; l = l->next) {
    if (!(l->layerFlags & ElementSelectorBit(e)) || l->image == nullptr) continue;
    out << '|' << l->image << ',' << (l->layerFlags & ~ApplyToMask) << ',' << l->amount << ',' << l->rowDx << ','
        << l->colDx << ',' << l->rowDy << ',' << l->colDy << ',' << l->row0 << ',' << l->col0;
  }
  return out.str();
}
uint32_t ChangedElements(const std::string before[3], const StyleRecord& after) {
  uint32_t mask = 0;
  for (int32_t e = 0; e < ElementCount; ++e)
    if (before[e] != PixelInputs(after, e)) mask |= ElementSelectorBit(e);
  return mask;
}

// A flat copy of the style and its layers, compared field group by group.
struct Snapshot {
  StyleRecord style;
  std::vector<MapLayer> layers;
};
Snapshot Take(const StyleRecord& s) {
  Snapshot snap{s, {}};
  for (const MapLayer* l = s.mapLayers; l != nullptr; l = l->next) snap.layers.push_back(*l);
  return snap;
}
// Names of the field groups that differ.
std::set<std::string> Differences(const Snapshot& a, const Snapshot& b) {
  std::set<std::string> names;
  auto check = [&](bool same, const std::string& name) {
    if (!same) names.insert(name);
  };
  check(a.style.viewFlags == b.style.viewFlags, "viewFlags");
  check(a.style.renderMode == b.style.renderMode, "renderMode");
  check(!std::memcmp(a.style.ambientColor, b.style.ambientColor, 3), "ambient");
  check(!std::memcmp(a.style.lights, b.style.lights, sizeof a.style.lights), "lights");
  check(a.style.reflectionImage == b.style.reflectionImage, "reflection");
  for (int e = 0; e < ElementCount; ++e) {
    check(!std::memcmp(&a.style.materials[e], &b.style.materials[e], sizeof(MaterialSetting)), "material");
    check(a.style.materialLinks[e] == b.style.materialLinks[e], "link" + std::to_string(e));
  }
  for (int i = 0; i < 2; ++i) {
    const BevelSetting &x = a.style.bevels[i], &y = b.style.bevels[i];
    const std::string n = "bevel" + std::to_string(i);
    check(x.size == y.size, n + ".size");
    check(x.depth == y.depth, n + ".depth");
    check(x.miterLimit == y.miterLimit, n + ".miter");
    check(x.bevelFlags == y.bevelFlags, n + ".flags");
  }
  check(a.layers.size() == b.layers.size(), "layerCount");
  for (size_t i = 0; i < a.layers.size() && i < b.layers.size(); ++i) {
    const MapLayer &x = a.layers[i], &y = b.layers[i];
    check(x.layerFlags == y.layerFlags && x.amount == y.amount && x.image == y.image, "layer");
    check(x.mappingLink == y.mappingLink && x.centerX == y.centerX && x.centerY == y.centerY &&
              x.placedWidth == y.placedWidth && x.placedHeight == y.placedHeight && x.angle == y.angle,
          "placement");
  }
  return names;
}

MapLayer* LayerAt(MapLayer* list, int index) {
  while (index-- > 0 && list != nullptr) list = list->next;
  return list;
}

struct Handler {
  const char* name;
  std::set<std::string> fields;  // the field groups it may change
  std::function<DialogAction(StyleRecord*, std::mt19937&)> apply;
};
int Pick(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
MapLayer* RandomLayer(StyleRecord* s, std::mt19937& rng) {
  int n = 0;
  for (MapLayer* l = s->mapLayers; l != nullptr; l = l->next) ++n;
  return LayerAt(s->mapLayers, Pick(rng, 0, n - 1));
}

// Every handler of the style and layer controls with a random input.
std::vector<Handler> Handlers() {
  const std::string b = "bevel", any = "bevel";
  return {
      {"join", {"bevel0.flags", "bevel1.flags"}, [](StyleRecord* s, std::mt19937& r) { return ChooseJoin(s, Pick(r, 0, 2)); }},
      {"miter", {"bevel0.miter", "bevel1.miter"},
       [](StyleRecord* s, std::mt19937& r) {
         char text[16], shown[16];
         std::snprintf(text, sizeof text, Pick(r, 0, 4) ? "%d" : "x%d", Pick(r, 0, 3000));
         return EnterMiterLimit(s, text, shown, sizeof shown);
       }},
      {"size", {"bevel0.size", "bevel1.size"}, [](StyleRecord* s, std::mt19937& r) { return SetBevelSize(s, Pick(r, 0, 250)); }},
      {"depth", {"bevel0.depth", "bevel1.depth"}, [](StyleRecord* s, std::mt19937& r) { return SetBevelDepth(s, Pick(r, 0, 1000)); }},
      {"contour", {"bevel0.flags", "bevel1.flags"}, [](StyleRecord* s, std::mt19937& r) { return ChooseContour(s, Pick(r, 0, 48)); }},
      {"flips", {"bevel0.flags", "bevel1.flags"},
       [](StyleRecord* s, std::mt19937& r) { return SetBevelFlips(s, Pick(r, 0, 1), Pick(r, 0, 1)); }},
      {"link", {"link0", "link1", "link2", "material"},
       [](StyleRecord* s, std::mt19937& r) { return ChooseMaterialLink(s, Pick(r, -1, 2)); }},
      {"percent", {"material"},
       [](StyleRecord* s, std::mt19937& r) {
         const uint32_t channels[4] = {ChannelOpacity, ChannelShininess, ChannelShinStrength, ChannelReflectivity};
         return SetMaterialPercent(s, channels[Pick(r, 0, 3)], Pick(r, 0, 100));
       }},
      {"color", {"material"},
       [](StyleRecord* s, std::mt19937& r) {
         const uint8_t rgb[3] = {uint8_t(Pick(r, 0, 255)), uint8_t(Pick(r, 0, 1)), uint8_t(Pick(r, 0, 255))};
         return SetMaterialColor(s, rgb);
       }},
      {"ambient", {"ambient"},
       [](StyleRecord* s, std::mt19937& r) {
         const uint8_t rgb[3] = {s->ambientColor[0], uint8_t(Pick(r, 0, 255)), s->ambientColor[2]};
         return SetAmbientColor(s, rgb);
       }},
      {"renderMode", {"renderMode"}, [](StyleRecord* s, std::mt19937& r) { return ChooseRenderMode(s, Pick(r, 0, 9)); }},
      {"viewFlag", {"viewFlags"},
       [](StyleRecord* s, std::mt19937& r) {
         const uint8_t flags[3] = {ShowPathFlag, ShowMappingFlag, AntiAliasingFlag};
         return SetViewFlag(s, flags[Pick(r, 0, 2)], Pick(r, 0, 1));
       }},
      {"applyTo", {"layer", "placement"},
       [](StyleRecord* s, std::mt19937& r) { return SetLayerApplyTo(s, RandomLayer(s, r), Pick(r, 0, 2), Pick(r, 0, 1)); }},
      {"layerFlag", {"layer"},
       [](StyleRecord* s, std::mt19937& r) {
         return SetLayerFlag(RandomLayer(s, r), Pick(r, 0, 1) ? InvertMap : ImageAlphaAsRgb, Pick(r, 0, 1));
       }},
      {"amount", {"layer"}, [](StyleRecord* s, std::mt19937& r) { return SetLayerAmount(RandomLayer(s, r), Pick(r, 0, 100)); }},
      {"alphaOutput", {"layer"}, [](StyleRecord* s, std::mt19937& r) { return ChooseAlphaOutput(RandomLayer(s, r), Pick(r, 0, 2)); }},
      {"placement", {"placement"},
       [](StyleRecord* s, std::mt19937& r) {
         MapLayer* layer = RandomLayer(s, r);
         MapLayer* target = Pick(r, 0, 1) ? NextPlacementTarget(s->mapLayers, layer, nullptr) : nullptr;
         return ChoosePlacement(s, layer, Pick(r, 0, 2), target);
       }},
  };
}

struct DialogRules : testing::Test {
  ScopedCountingMemory memory;
  MapImage* cache = nullptr;
  void SetUp() override {
    MapFrame frame{};
    frame.cache = &cache;
    BindMapFrame(frame);
  }
  void TearDown() override {
    FreeImages(cache);
    EXPECT_EQ(memory.memory.liveBlocks, 0);
  }
};
}  // namespace

TEST_F(DialogRules, EveryHandlerChangesItsFieldsAndRendersWhatChanged) {
  std::mt19937 rng(107);
  const std::vector<Handler> handlers = Handlers();
  for (int round = 0; round < 400; ++round) {
    StyleRecord style = RandomStyle(rng);
    AddRandomLayers(&style, rng, 4, {"a.tif", "b.tif", "c.tif"}, &cache);
    for (MapLayer* l = style.mapLayers; l != nullptr; l = l->next) l->layerFlags &= ~BackgroundLayer;
    for (const Handler& handler : handlers) {
      SCOPED_TRACE(handler.name);
      const Snapshot before = Take(style);
      std::string inputs[3];
      for (int e = 0; e < ElementCount; ++e) inputs[e] = PixelInputs(style, e);
      const DialogAction action = handler.apply(&style, rng);
      const std::set<std::string> changed = Differences(before, Take(style));
      for (const std::string& field : changed) EXPECT_TRUE(handler.fields.count(field)) << field;
      const uint32_t pixels = ChangedElements(inputs, style);
      const uint32_t rendered = action.renderMask & ApplyToMask;
      EXPECT_EQ(rendered & pixels, pixels) << "stale elements";
      const bool layerHandler = handler.fields.count("layer") || handler.fields.count("placement");
      if (!layerHandler) {
        EXPECT_EQ(rendered, pixels) << "elements rendered for nothing";
      }
      // A new rebuild is asked for exactly when a shape changed.
      const bool shape = changed.count("bevel0.size") || changed.count("bevel0.miter") ||
                         changed.count("bevel1.size") || changed.count("bevel1.miter") ||
                         ((changed.count("bevel0.flags") || changed.count("bevel1.flags")) && !strcmp(handler.name, "join"));
      EXPECT_EQ(action.rebuild != BevelRebuild::None, shape);
      EXPECT_EQ(action.redrawPreview, !strcmp(handler.name, "viewFlag") && !changed.empty() && pixels == 0);
    }
    ReleaseLayers(&style);
  }
}

// The link list offers exactly the targets that keep the links free of
// cycles, and after a link the element shows the material at the end of it.
TEST_F(DialogRules, MaterialLinksOfferOnlyTargetsThatDoNotLeadBack) {
  std::mt19937 rng(33);
  for (int round = 0; round < 300; ++round) {
    StyleRecord style = RandomStyle(rng);
    const int32_t element = Pick(rng, 0, 2);
    MaterialLinkItem items[ElementCount];
    int32_t selected = -1;
    const int32_t count = MaterialLinkItems(&style, element, items, &selected);
    std::set<int32_t> offered;
    for (int32_t i = 1; i < count; ++i) offered.insert(items[i].link);
    EXPECT_EQ(items[0].link, -1);
    EXPECT_EQ(items[selected].link, style.materialLinks[element] >= 0 && offered.count(style.materialLinks[element])
                                        ? style.materialLinks[element]
                                        : -1);
    for (int32_t target = 0; target < ElementCount; ++target) {
      if (target == element) continue;
      int32_t links[ElementCount];
      std::memcpy(links, style.materialLinks, sizeof links);
      links[element] = target;
      int32_t sanitised[ElementCount];
      std::memcpy(sanitised, links, sizeof links);
      SanitiseMaterialLinks(sanitised);
      EXPECT_EQ(offered.count(target) == 1, !std::memcmp(links, sanitised, sizeof links)) << target;
    }
  }
  // Outer linked to Inner while Inner links to Main shows the Main material.
  StyleRecord style{};
  SetDefaultStyle(&style);
  style.materialLinks[0] = -1, style.materialLinks[1] = 0, style.materialLinks[2] = -1;
  style.materials[0].shininess = 77;
  SelectElement(&style, OuterBevelElement);
  ChooseMaterialLink(&style, InnerBevelElement);
  EXPECT_EQ(ElementControlsOf(&style, OuterBevelElement).shininess, PercentOfByte(77));
  MaterialLinkItem items[ElementCount];
  int32_t selected;
  EXPECT_EQ(MaterialLinkItems(&style, MainElement, items, &selected), 1);
}

// Placement targets never lead back to the layer; removing a layer leaves no
// layer pointing at it and moves no layer; selection falls to the one before.
TEST_F(DialogRules, PlacementLinksAndRemovalKeepTheListSound) {
  std::mt19937 rng(305);
  for (int round = 0; round < 200; ++round) {
    StyleRecord style{};
    SetDefaultStyle(&style);
    AddRandomLayers(&style, rng, Pick(rng, 1, 6), {"a.tif", "b.tif"}, &cache);
    for (MapLayer* l = style.mapLayers; l != nullptr; l = l->next) {
      for (MapLayer* t = NextPlacementTarget(style.mapLayers, l, nullptr); t != nullptr;
           t = NextPlacementTarget(style.mapLayers, l, t)) {
        EXPECT_NE(t, l);
        for (const MapLayer* c = t; c != nullptr; c = LinkedLayer(*c)) ASSERT_NE(c, l);
      }
      EXPECT_LT(PlacementItemOf(style.mapLayers, *l), 3 + 6);
    }
    const int index = Pick(rng, 0, 5);
    MapLayer* victim = LayerAt(style.mapLayers, index);
    if (victim == nullptr) victim = style.mapLayers;
    const int position = MapLayerPosition(style.mapLayers, victim);
    MapLayer* before = position > 0 ? LayerAt(style.mapLayers, position - 1) : nullptr;
    Snapshot kept = Take(style);
    kept.layers.erase(kept.layers.begin() + position);
    DialogAction action;
    const uint32_t flags = victim->layerFlags;
    MapLayer* next = RemoveMapLayer(&style, victim, &action);
    EXPECT_EQ(next, before != nullptr ? before : style.mapLayers);
    EXPECT_EQ(action.renderMask, flags & ApplyToMask);
    const Snapshot after = Take(style);
    ASSERT_EQ(after.layers.size(), kept.layers.size());
    for (size_t i = 0; i < kept.layers.size(); ++i) {
      EXPECT_EQ(after.layers[i].centerX, kept.layers[i].centerX);
      EXPECT_EQ(after.layers[i].placedWidth, kept.layers[i].placedWidth);
    }
    for (MapLayer* l = style.mapLayers; l != nullptr; l = l->next)
      if (LinkedLayer(*l) != nullptr) {
        EXPECT_GE(MapLayerPosition(style.mapLayers, LinkedLayer(*l)), 0);
      }
    ReleaseLayers(&style);
  }
}

// A new layer is made only with an image, shows its line and controls, and a
// layer that cannot be had leaves nothing behind.
TEST_F(DialogRules, AddedLayersShowTheirImageAndSurviveMemoryFailure) {
  StyleRecord style{};
  SetDefaultStyle(&style);
  MapImage* image = LoadNameOnlyImage(&cache, "/maps/Wood.Grain.tif", 1);
  DialogAction action;
  EXPECT_EQ(AddMapLayer(&style, BumpMapLayer, nullptr, &action), nullptr);
  EXPECT_EQ(style.mapLayers, nullptr);
  MapLayer* layer = AddMapLayer(&style, BumpMapLayer, image, &action);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(action.renderMask, SelectAllElements & ApplyToMask);
  char line[MapLineCapacity];
  MapLayerLine(*layer, line, sizeof line);
  EXPECT_STREQ(line, "Bump Map - Wood");
  const LayerControls controls = LayerControlsOf(style.mapLayers, layer);
  EXPECT_STREQ(controls.imageText, "Wood");
  EXPECT_EQ(controls.alphaOutput, int32_t(AlphaOutputOpaque));  // the image has no alpha
  EXPECT_FALSE(controls.imageAlphaEnabled);
  EXPECT_TRUE(controls.placementEnabled);
  EXPECT_EQ(controls.amount, 100);
  ReplaceLayerImage(&style, layer, nullptr);
  EXPECT_STREQ(LayerControlsOf(style.mapLayers, layer).imageText, "Invalid Image");
  EXPECT_FALSE(LayerControlsOf(style.mapLayers, layer).placementEnabled);
  MapLayerLine(*layer, line, sizeof line);
  EXPECT_STREQ(line, "Bump Map");
  EXPECT_EQ(RemoveMapLayer(&style, layer, &action), nullptr);

  memory.memory.failAt = memory.memory.allocations + 1;
  EXPECT_EQ(AddMapLayer(&style, ColorMapLayer, image, &action), nullptr);
  EXPECT_EQ(memory.memory.result, MemFullErr);
  EXPECT_EQ(style.mapLayers, nullptr);
  EXPECT_EQ(action.renderMask, 0u);
}

TEST_F(DialogRules, MiterLimitFieldClampsAndKeepsWhatIsNoNumber) {
  StyleRecord style{};
  SetDefaultStyle(&style);
  SelectElement(&style, OuterBevelElement);
  char shown[16];
  EnterMiterLimit(&style, "9999", shown, sizeof shown);
  EXPECT_STREQ(shown, "2500");
  EXPECT_EQ(EnterMiterLimit(&style, "12a", shown, sizeof shown).rebuild, BevelRebuild::None);
  EXPECT_STREQ(shown, "2500");
  EXPECT_EQ(EnterMiterLimit(&style, "99999999999999999999", shown, sizeof shown).rebuild, BevelRebuild::None);
  SelectElement(&style, MainElement);
  EXPECT_FALSE(ElementControlsOf(&style, MainElement).bevelControls);
  EXPECT_TRUE(ElementControlsOf(&style, InnerBevelElement).bevelControls);
}
