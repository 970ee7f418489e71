#include "cli/StyleOptions.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "style/StyleRecord.h"

namespace {

enum class ValueKind {
  Pixels,     // integer in [low, high], stored as is
  Percent,    // integer percent in [low, high]: depths as they are, material bytes converted
  Join,       // round | bevel | miter
  Flip,       // none | h | v | hv
  Color,      // RRGGBB, #RRGGBB or R,G,B
  LightColor, // a colour or "off"
  Direction,  // X,Y,Z, not all zero; normalised
  Link,       // own | main | inner | outer
  RenderName, // a render mode's name or its number
  Flag        // no value
};

enum class Field {
  Size, Depth, Join, MiterLimit, Contour, Flip,              // of a bevel (index 0 Inner, 1 Outer)
  MaterialColor, Opacity, Shininess, Strength, Reflectivity, Link,  // of an element's material
  LightColor, LightDirection,                                 // of a light
  Ambient, RenderMode, NoAntialias
};

struct StyleOption {
  const char* name;
  ValueKind kind;
  Field field;
  int index;  // bevel, element or light
  long low, high;
  const char* help;
};

// One row per option; the help text is built from the rows.
const StyleOption Options[] = {
    {"--inner-size", ValueKind::Pixels, Field::Size, 0, 0, MaxBevelSize, "Inner Bevel width, pixels (0: none)"},
    {"--outer-size", ValueKind::Pixels, Field::Size, 1, 0, MaxBevelSize, "Outer Bevel width, pixels (0: none)"},
    {"--inner-depth", ValueKind::Percent, Field::Depth, 0, 0, MaxBevelDepth, "Inner Bevel depth, percent"},
    {"--outer-depth", ValueKind::Percent, Field::Depth, 1, 0, MaxBevelDepth, "Outer Bevel depth, percent"},
    {"--inner-join", ValueKind::Join, Field::Join, 0, 0, 0, "Inner Bevel corners: round, bevel or miter"},
    {"--outer-join", ValueKind::Join, Field::Join, 1, 0, 0, "Outer Bevel corners: round, bevel or miter"},
    {"--inner-miter-limit", ValueKind::Pixels, Field::MiterLimit, 0, 0, MaxMiterLimit, "Inner Bevel miter limit, pixels"},
    {"--outer-miter-limit", ValueKind::Pixels, Field::MiterLimit, 1, 0, MaxMiterLimit, "Outer Bevel miter limit, pixels"},
    {"--inner-contour", ValueKind::Pixels, Field::Contour, 0, 0, 48, "Inner Bevel contour profile number"},
    {"--outer-contour", ValueKind::Pixels, Field::Contour, 1, 0, 48, "Outer Bevel contour profile number"},
    {"--inner-flip", ValueKind::Flip, Field::Flip, 0, 0, 0, "Inner Bevel contour flips: none, h, v or hv"},
    {"--outer-flip", ValueKind::Flip, Field::Flip, 1, 0, 0, "Outer Bevel contour flips: none, h, v or hv"},
    {"--main-color", ValueKind::Color, Field::MaterialColor, 0, 0, 0, "Main material colour"},
    {"--inner-color", ValueKind::Color, Field::MaterialColor, 1, 0, 0, "Inner Bevel material colour"},
    {"--outer-color", ValueKind::Color, Field::MaterialColor, 2, 0, 0, "Outer Bevel material colour"},
    {"--main-opacity", ValueKind::Percent, Field::Opacity, 0, 0, 100, "Main opacity, percent"},
    {"--inner-opacity", ValueKind::Percent, Field::Opacity, 1, 0, 100, "Inner Bevel opacity, percent"},
    {"--outer-opacity", ValueKind::Percent, Field::Opacity, 2, 0, 100, "Outer Bevel opacity, percent"},
    {"--main-shininess", ValueKind::Percent, Field::Shininess, 0, 0, 100, "Main shininess, percent"},
    {"--inner-shininess", ValueKind::Percent, Field::Shininess, 1, 0, 100, "Inner Bevel shininess, percent"},
    {"--outer-shininess", ValueKind::Percent, Field::Shininess, 2, 0, 100, "Outer Bevel shininess, percent"},
    {"--main-strength", ValueKind::Percent, Field::Strength, 0, 0, 100, "Main shininess strength, percent"},
    {"--inner-strength", ValueKind::Percent, Field::Strength, 1, 0, 100, "Inner Bevel shininess strength, percent"},
    {"--outer-strength", ValueKind::Percent, Field::Strength, 2, 0, 100, "Outer Bevel shininess strength, percent"},
    {"--main-reflectivity", ValueKind::Percent, Field::Reflectivity, 0, 0, 100, "Main reflectivity, percent"},
    {"--inner-reflectivity", ValueKind::Percent, Field::Reflectivity, 1, 0, 100, "Inner Bevel reflectivity, percent"},
    {"--outer-reflectivity", ValueKind::Percent, Field::Reflectivity, 2, 0, 100, "Outer Bevel reflectivity, percent"},
    {"--main-link", ValueKind::Link, Field::Link, 0, 0, 0, "Main material: own, or that of inner or outer"},
    {"--inner-link", ValueKind::Link, Field::Link, 1, 0, 0, "Inner Bevel material: own, main or outer"},
    {"--outer-link", ValueKind::Link, Field::Link, 2, 0, 0, "Outer Bevel material: own, main or inner"},
    {"--light1-color", ValueKind::LightColor, Field::LightColor, 0, 0, 0, "light 1 colour, or off"},
    {"--light2-color", ValueKind::LightColor, Field::LightColor, 1, 0, 0, "light 2 colour, or off"},
    {"--light3-color", ValueKind::LightColor, Field::LightColor, 2, 0, 0, "light 3 colour, or off"},
    {"--light1-direction", ValueKind::Direction, Field::LightDirection, 0, 0, 0,
     "towards light 1: X,Y,Z (x right, y down, z to the viewer)"},
    {"--light2-direction", ValueKind::Direction, Field::LightDirection, 1, 0, 0, "towards light 2: X,Y,Z"},
    {"--light3-direction", ValueKind::Direction, Field::LightDirection, 2, 0, 0, "towards light 3: X,Y,Z"},
    {"--ambient", ValueKind::Color, Field::Ambient, 0, 0, 0, "ambient light colour"},
    {"--render-mode", ValueKind::RenderName, Field::RenderMode, 0, 0, LastRenderMode,
     "what is drawn: normal, color, reflection, opacity,\n"
     "                        shininess, shin-strength, reflectivity, reflection+color,\n"
     "                        outer-distance, inner-distance (or a number 0..12)"},
    {"--no-antialias", ValueKind::Flag, Field::NoAntialias, 0, 0, 0, "hard element edges"},
};

const char* const RenderModeNames[] = {"normal",       "color",         "reflection",    "opacity",
                                       "shininess",    "shin-strength", "reflectivity",  "reflection+color",
                                       "outer-distance", "inner-distance"};
const char* const JoinNames[] = {"round", "bevel", "miter"};
const char* const LinkNames[] = {"main", "inner", "outer"};

const StyleOption* Find(const std::string& name) {
  for (const StyleOption& option : Options)
    if (name == option.name) return &option;
  return nullptr;
}

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Integer(const std::string& text, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtol(text.c_str(), &end, 10);
  return *end == 0;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

// RRGGBB, #RRGGBB or R,G,B into 0xRRGGBB.
bool ParseColor(const std::string& text, uint32_t* rgb) {
  std::string hex = text[0] == '#' ? text.substr(1) : text;
  if (hex.size() == 6 && hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
    *rgb = uint32_t(std::strtoul(hex.c_str(), nullptr, 16));
    return true;
  }
  const std::vector<std::string> parts = Split(text, ',');
  if (parts.size() != 3) return false;
  *rgb = 0;
  for (const std::string& part : parts) {
    long v = 0;
    if (!Integer(part, &v) || v < 0 || v > 255) return false;
    *rgb = (*rgb << 8) | uint32_t(v);
  }
  return true;
}

int IndexOf(const char* const* names, int count, const std::string& text) {
  for (int i = 0; i < count; ++i)
    if (text == names[i]) return i;
  return -1;
}

// The value as a render mode: a name (letter case, blanks, dots and
// underscores ignored) or a number.
int RenderModeOf(const std::string& text) {
  std::string key;
  for (char c : Lower(text))
    if (c != ' ' && c != '.' && c != '_') key += c;
  for (size_t i = 0; i < std::size(RenderModeNames); ++i) {
    std::string name;
    for (char c : std::string(RenderModeNames[i]))
      if (c != '-') name += c;
    std::string plain;
    for (char c : key)
      if (c != '-') plain += c;
    if (plain == name) return int(i);
  }
  long number = 0;
  if (Integer(text, &number) && number >= 0 && number <= LastRenderMode) return int(number);
  return -1;
}

std::string Hex(uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", rgb & 0xFFFFFF);
  return text;
}

}  // namespace

bool IsStyleOption(const std::string& name, bool* takesValue) {
  const StyleOption* option = Find(name);
  if (option != nullptr) *takesValue = option->kind != ValueKind::Flag;
  return option != nullptr;
}

bool ApplyStyleOption(const std::string& name, const std::string& raw, StyleRecord* style, std::string* error) {
  const StyleOption* option = Find(name);
  if (option == nullptr) {
    *error = "unknown style option " + name;
    return false;
  }
  const std::string value = Lower(raw);
  auto bad = [&](const std::string& expected) {
    *error = name + ": '" + raw + "' is not " + expected;
    return false;
  };
  long number = 0;
  uint32_t rgb = 0;
  const int i = option->index;
  switch (option->kind) {
    case ValueKind::Pixels:
    case ValueKind::Percent:
      if (!Integer(value, &number) || number < option->low || number > option->high)
        return bad("a whole number from " + std::to_string(option->low) + " to " + std::to_string(option->high));
      break;
    case ValueKind::Color:
      if (value.empty() || !ParseColor(value, &rgb)) return bad("a colour RRGGBB or R,G,B (0..255 each)");
      break;
    case ValueKind::LightColor:
      if (value != "off" && (value.empty() || !ParseColor(value, &rgb)))
        return bad("a colour RRGGBB or R,G,B (0..255 each), or off");
      break;
    default:
      break;
  }
  BevelSetting* bevel = &style->bevels[i < 2 ? i : 0];
  MaterialSetting* material = &style->materials[i < ElementCount ? i : 0];
  switch (option->field) {
    case Field::Size: bevel->size = uint16_t(number); break;
    case Field::Depth: bevel->depth = uint16_t(number); break;
    case Field::MiterLimit: bevel->miterLimit = uint16_t(number); break;
    case Field::Contour: bevel->bevelFlags = uint16_t((bevel->bevelFlags & ~ContourIndexMask) | number); break;
    case Field::Join: {
      const int join = IndexOf(JoinNames, 3, value);
      if (join < 0) return bad("round, bevel or miter");
      bevel->bevelFlags = uint16_t((bevel->bevelFlags & ~JoinTypeMask) | (join << JoinTypeShift));
      break;
    }
    case Field::Flip: {
      const char* const flips[] = {"none", "h", "v", "hv"};
      int flip = IndexOf(flips, 4, value);
      if (value == "vh") flip = 3;
      if (flip < 0) return bad("none, h, v or hv");
      bevel->bevelFlags = uint16_t((bevel->bevelFlags & ~(FlipHorizontalFlag | FlipVerticalFlag)) |
                                   ((flip & 1) ? FlipHorizontalFlag : 0) | ((flip & 2) ? FlipVerticalFlag : 0));
      break;
    }
    case Field::MaterialColor:
      material->color[0] = uint8_t(rgb);
      material->color[1] = uint8_t(rgb >> 8);
      material->color[2] = uint8_t(rgb >> 16);
      break;
    case Field::Opacity: material->opacity = uint8_t(PercentToByte(int32_t(number))); break;
    case Field::Shininess: material->shininess = uint8_t(PercentToByte(int32_t(number))); break;
    case Field::Strength: material->shinStrength = uint8_t(PercentToByte(int32_t(number))); break;
    case Field::Reflectivity: material->reflectivity = uint8_t(PercentToByte(int32_t(number))); break;
    case Field::Link: {
      const int target = value == "own" ? -1 : IndexOf(LinkNames, 3, value);
      if (value != "own" && (target < 0 || target == i))
        return bad(std::string("own or the name of another element (main, inner, outer)"));
      style->materialLinks[i] = target;
      break;
    }
    case Field::LightColor:
      // A colour chosen by the user carries 0 in the top byte; a light of colour 0 is off.
      SetLightColor(&style->lights[i], value == "off" ? 0 : rgb);
      break;
    case Field::LightDirection: {
      const std::vector<std::string> parts = Split(value, ',');
      double v[3] = {0, 0, 0};
      bool ok = parts.size() == 3;
      for (size_t k = 0; ok && k < 3; ++k) {
        char* end = nullptr;
        v[k] = std::strtod(parts[k].c_str(), &end);
        ok = !parts[k].empty() && *end == 0 && std::isfinite(v[k]);
      }
      const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
      if (!ok || !(length > 0)) return bad("a direction X,Y,Z of numbers, not all zero");
      SetLightDirection(&style->lights[i], float(v[0] / length), float(v[1] / length), float(v[2] / length));
      break;
    }
    case Field::Ambient:
      style->ambientColor[0] = uint8_t(rgb >> 16);
      style->ambientColor[1] = uint8_t(rgb >> 8);
      style->ambientColor[2] = uint8_t(rgb);
      break;
    case Field::RenderMode: {
      const int mode = RenderModeOf(raw);
      if (mode < 0) return bad("a render mode (see --help)");
      style->renderMode = uint8_t(mode);
      break;
    }
    case Field::NoAntialias: style->viewFlags = uint8_t(style->viewFlags & ~AntiAliasingFlag); break;
  }
  return true;
}

bool ApplyStyleOptions(const std::vector<std::pair<std::string, std::string>>& options, StyleRecord* style,
                       std::string* error) {
  bool materialGiven[ElementCount] = {false, false, false}, linkGiven[ElementCount] = {false, false, false};
  for (const auto& [name, value] : options) {
    if (!ApplyStyleOption(name, value, style, error)) return false;
    const StyleOption* option = Find(name);
    if (option->field == Field::Link) linkGiven[option->index] = true;
    if (option->field >= Field::MaterialColor && option->field < Field::Link) materialGiven[option->index] = true;
  }
  for (int e = 0; e < ElementCount; ++e)
    if (materialGiven[e] && !linkGiven[e]) style->materialLinks[e] = -1;
  SanitiseMaterialLinks(style->materialLinks);
  // Linked elements carry a copy of the material they resolve to, as the dialog keeps them.
  for (int e = 0; e < ElementCount; ++e) {
    int j = e;
    for (int step = 0; step < ElementCount && style->materialLinks[j] >= 0; ++step) j = style->materialLinks[j];
    style->materials[e] = style->materials[j];
  }
  return true;
}

std::string StyleOptionsHelp() {
  std::string text;
  for (const StyleOption& option : Options) {
    std::string line = "  " + std::string(option.name);
    switch (option.kind) {
      case ValueKind::Pixels: line += " N"; break;
      case ValueKind::Percent: line += " PCT"; break;
      case ValueKind::Flag: break;
      case ValueKind::Direction: line += " X,Y,Z"; break;
      case ValueKind::Color: line += " RRGGBB"; break;
      case ValueKind::LightColor: line += " RRGGBB|off"; break;
      default: line += " NAME"; break;
    }
    if (line.size() < 23) line.resize(24, ' ');
    else line += "\n" + std::string(24, ' ');
    line += option.help;
    if (option.kind == ValueKind::Pixels || option.kind == ValueKind::Percent)
      line += " (" + std::to_string(option.low) + ".." + std::to_string(option.high) + ")";
    text += line + "\n";
  }
  return text;
}

std::string DescribeStyle(const StyleRecord& s) {
  std::string text;
  char line[512];
  const char* const bevelNames[2] = {"inner", "outer"};
  for (int b = 0; b < 2; ++b) {
    const BevelSetting& bevel = s.bevels[b];
    const uint16_t flags = bevel.bevelFlags;
    const char* flip = (flags & FlipHorizontalFlag) ? ((flags & FlipVerticalFlag) ? "hv" : "h")
                                                    : ((flags & FlipVerticalFlag) ? "v" : "none");
    const uint16_t join = JoinTypeOf(flags);
    std::snprintf(line, sizeof line,
                  "%s bevel: size %u px, depth %u %%, join %s, miter limit %u px, contour %u, flip %s%s\n",
                  bevelNames[b], bevel.size, bevel.depth, join < 3 ? JoinNames[join] : "(3)", bevel.miterLimit,
                  ContourIndexOf(flags), flip, (flags & 0xF000) ? " (unused flag bits set)" : "");
    text += line;
  }
  const char* const elementNames[3] = {"main", "inner", "outer"};
  for (int e = 0; e < ElementCount; ++e) {
    const MaterialSetting& m = s.materials[e];
    const int32_t link = s.materialLinks[e];
    std::snprintf(line, sizeof line,
                  "%s material: color %s, opacity %d %%, shininess %d %%, strength %d %%, reflectivity %d %%, "
                  "link %s\n",
                  elementNames[e], Hex(MaterialColorWord(m) & 0xFFFFFF).c_str(),
                  ByteToPercent(m.opacity), ByteToPercent(m.shininess), ByteToPercent(m.shinStrength),
                  ByteToPercent(m.reflectivity), link >= 0 && link < 3 ? LinkNames[link] : "own");
    text += line;
  }
  for (int i = 0; i < 3; ++i) {
    const LightSetting& l = s.lights[i];
    std::snprintf(line, sizeof line, "light %d: color %s, direction %.4f,%.4f,%.4f\n", i + 1,
                  l.color == 0 ? "off" : Hex(l.color).c_str(), double(l.direction[0]), double(l.direction[1]),
                  double(l.direction[2]));
    text += line;
  }
  std::snprintf(line, sizeof line, "ambient: %s\n",
                Hex((uint32_t(s.ambientColor[0]) << 16) | (uint32_t(s.ambientColor[1]) << 8) | s.ambientColor[2]).c_str());
  text += line;
  text += std::string("reflection image: ") + (s.reflectionImage ? s.reflectionImage->name : "none") + "\n";
  int count = 0;
  for (const MapLayer* layer = s.mapLayers; layer != nullptr; layer = layer->next) ++count;
  text += "map layers: " + std::to_string(count) + "\n";
  const char* const kinds[] = {"color", "opacity", "shininess", "shin-strength", "reflectivity", "bump"};
  int position = 0;
  for (const MapLayer* layer = s.mapLayers; layer != nullptr; layer = layer->next, ++position) {
    const char* kind = "?";
    for (int k = 0; k < 6; ++k)
      if (LayerKind(*layer) == (1u << k)) kind = kinds[k];
    std::snprintf(line, sizeof line,
                  "  layer %d: %s map%s, amount %u, applies to%s%s%s, mapping %s, centre %.1f,%.1f, size %.1f x %.1f, "
                  "angle %.4f, image %s\n",
                  position + 1, kind, (layer->layerFlags & BackgroundLayer) ? " (Background)" : "", layer->amount,
                  (layer->layerFlags & ApplyToMain) ? " main" : "", (layer->layerFlags & ApplyToInnerBevel) ? " inner" : "",
                  (layer->layerFlags & ApplyToOuterBevel) ? " outer" : "",
                  layer->mappingLink == MappingCustom ? "custom"
                  : layer->mappingLink == MappingFit  ? "fit"
                  : layer->mappingLink == MappingTile ? "tile"
                                                      : ("as layer " + std::to_string(layer->mappingLink - 2)).c_str(),
                  double(layer->centerX), double(layer->centerY), double(layer->placedWidth),
                  double(layer->placedHeight), double(layer->angle), layer->image ? layer->image->name : "none");
    text += line;
  }
  return text;
}

void ReleaseStyleLayers(StyleRecord* style) {
  FreeMapLayers(style->mapLayers);
  style->mapLayers = nullptr;
}
