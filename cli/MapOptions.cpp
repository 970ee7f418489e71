#include "cli/MapOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "cli/ImageFile.h"
#include "core/WorkMemory.h"
#include "maps/ImageCache.h"
#include "maps/MapImage.h"
#include "maps/MapLayer.h"
#include "style/NameOnlyImages.h"
#include "style/SettingsFile.h"

namespace {
struct Named {
  const char* name;
  uint32_t value;
};
constexpr Named Kinds[] = {{"color", ColorMapLayer},        {"opacity", OpacityMapLayer},
                           {"shininess", ShininessMapLayer}, {"strength", ShinStrengthMapLayer},
                           {"reflectivity", ReflectivityMapLayer}, {"bump", BumpMapLayer}};
constexpr Named Elements[] = {{"main", ApplyToMain}, {"inner", ApplyToInnerBevel}, {"outer", ApplyToOuterBevel}};
constexpr Named Mappings[] = {{"custom", MappingCustom}, {"fit", MappingFit}, {"tile", MappingTile}};
constexpr Named AlphaOutputs[] = {
    {"image", AlphaOutputImageAlpha}, {"intensity", AlphaOutputRgbIntensity}, {"opaque", AlphaOutputOpaque}};

template <size_t N>
bool Lookup(const Named (&table)[N], const std::string& name, uint32_t* value) {
  for (const Named& entry : table)
    if (name == entry.name) {
      *value = entry.value;
      return true;
    }
  return false;
}

bool Number(const std::string& text, double low, double high, double* value) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != 0 || !std::isfinite(v) || v < low || v > high) return false;
  *value = v;
  return true;
}

bool Pair(const std::string& text, char separator, double* a, double* b) {
  const size_t at = text.find(separator);
  return at != std::string::npos && Number(text.substr(0, at), -1e6, 1e6, a) && Number(text.substr(at + 1), -1e6, 1e6, b);
}

bool Option(const std::string& option, MapRequest* r, std::string* error) {
  const size_t equals = option.find('=');
  const std::string key = option.substr(0, equals), value = equals == std::string::npos ? "" : option.substr(equals + 1);
  uint32_t named = 0;
  double a = 0, b = 0;
  if (equals == std::string::npos && Lookup(Mappings, key, &named)) {
    r->mapping = named;
  } else if (key == "invert" && equals == std::string::npos) {
    r->layerFlags |= InvertMap;
  } else if (key == "alpha-as-rgb" && equals == std::string::npos) {
    r->layerFlags |= ImageAlphaAsRgb;
  } else if (key == "amount" && Number(value, 0, 100, &a)) {
    r->amount = uint32_t(PercentToByte(int32_t(std::lround(a))));
  } else if (key == "apply") {
    uint32_t elements = 0;
    for (size_t start = 0; start <= value.size();) {
      size_t end = value.find('+', start);
      if (end == std::string::npos) end = value.size();
      if (!Lookup(Elements, value.substr(start, end - start), &named)) {
        *error = "apply=" + value + ": elements are main, inner and outer joined by +";
        return false;
      }
      elements |= named;
      start = end + 1;
    }
    r->layerFlags = (r->layerFlags & ~ApplyToMask) | elements;
  } else if (key == "alpha" && Lookup(AlphaOutputs, value, &named)) {
    r->layerFlags = (r->layerFlags & ~AlphaOutputMask) | (named << AlphaOutputShift);
  } else if (key == "size" && Pair(value, 'x', &a, &b) && a > 0 && b > 0) {
    r->haveSize = true, r->width = float(a), r->height = float(b), r->mapping = MappingCustom;
  } else if (key == "center" && Pair(value, ',', &a, &b)) {
    r->haveCenter = true, r->centerX = float(a), r->centerY = float(b), r->mapping = MappingCustom;
  } else if (key == "angle" && Number(value, -3600, 3600, &a)) {
    r->angle = float(a * std::numbers::pi / 180.0), r->mapping = MappingCustom;
  } else {
    *error = "unknown or malformed map option '" + option + "'";
    return false;
  }
  return true;
}

// The path the module is given for `picture`: PNGs become TIFF files in the
// folder; anything else is named as it is (absolute), for the module to read
// or to report.
bool ModulePicture(const std::string& picture, const std::string& folder, int32_t index, std::string* path,
                   std::string* error) {
  std::error_code code;
  const std::filesystem::path absolute = std::filesystem::absolute(picture, code);
  *path = code ? picture : absolute.string();
  if (ImageFileKindOf(picture) != ImageFileKind::Png) return true;
  RasterImage image;
  if (!ReadPngFile(picture, image, *error)) return false;
  *path = (std::filesystem::path(folder) /
           ("picture" + std::to_string(index) + "-" + std::filesystem::path(picture).stem().string() + ".tif"))
              .string();
  if (WriteTiffFile(*path, image, *error)) return true;
  *error = *path + ": cannot write the TIFF copy";
  return false;
}

}  // namespace

bool ParseMapRequest(const std::string& argument, MapRequest* request, std::string* error) {
  MapRequest r;
  r.layerFlags = ApplyToMask | (AlphaOutputRgbIntensity << AlphaOutputShift);
  const size_t first = argument.find(':');
  uint32_t kind = 0;
  if (first == std::string::npos || !Lookup(Kinds, argument.substr(0, first), &kind)) {
    *error = "--map " + argument + ": KIND is one of color, opacity, shininess, strength, reflectivity, bump";
    return false;
  }
  r.layerFlags |= kind;
  // The image runs to the last ':' that is followed by options (a Windows
  // drive letter or a ':' in a file name stays in the name).
  std::string rest = argument.substr(first + 1), options;
  const size_t last = rest.rfind(':');
  if (last != std::string::npos && last + 1 < rest.size()) {
    std::string tail = rest.substr(last + 1), ignored;
    MapRequest probe = r;
    bool allOptions = true;
    for (size_t start = 0; start <= tail.size() && allOptions;) {
      size_t end = tail.find(',', start);
      if (end == std::string::npos) end = tail.size();
      allOptions = Option(tail.substr(start, end - start), &probe, &ignored);
      start = end + 1;
    }
    if (allOptions) {
      options = tail;
      rest = rest.substr(0, last);
    }
  }
  if (rest.empty()) {
    *error = "--map " + argument + ": no IMAGE (a TIFF or PNG file, or background)";
    return false;
  }
  if (rest == "background") {
    r.layerFlags |= BackgroundLayer;
    r.mapping = MappingCustom;
  } else {
    r.image = rest;
  }
  for (size_t start = 0; !options.empty() && start <= options.size();) {
    size_t end = options.find(',', start);
    if (end == std::string::npos) end = options.size();
    if (!Option(options.substr(start, end - start), &r, error)) {
      *error = "--map " + argument + ": " + *error;
      return false;
    }
    start = end + 1;
  }
  *request = r;
  return true;
}

const char* MapOptionsHelp() {
  return R"~(  --reflection IMAGE    mirror IMAGE (TIFF or PNG) on the surface
  --map KIND:IMAGE[:OPTIONS]
                        add a map layer (repeatable, in order). KIND: color,
                        opacity, shininess, strength, reflectivity or bump;
                        IMAGE: a TIFF or PNG file, or "background" (the
                        document's own pixels). OPTIONS, comma-separated:
                        tile (default), fit or custom; amount=PERCENT
                        (default 100); apply=main+inner+outer (default all);
                        invert; alpha=image|intensity|opaque (what masks the
                        map; default intensity); alpha-as-rgb; and for custom
                        placement size=WxH, center=X,Y (document pixels),
                        angle=DEGREES. PNG images are handed to the module as
                        TIFF copies. An image the module cannot use is
                        reported with the module's message and exit status 3.
)~";
}

bool WriteMapStyle(const std::string& settingsPath, const std::string& folder, const std::string& reflection,
                   const std::vector<MapRequest>& maps, int32_t documentWidth, int32_t documentHeight,
                   std::string* error) {
  int16_t result = 0;
  BindWorkMemory(HeapWorkMemory(&result));
  MapImage* names = nullptr;
  const std::string mapsFolder = (std::filesystem::path(folder) / "Maps").string() + "/";
  const StyleIo io{LoadNameOnlyImage, nullptr, &names, mapsFolder.c_str(), 0, 0};
  StyleRecord style{};
  SetDefaultStyle(&style);
  std::error_code code;
  if (std::filesystem::exists(settingsPath, code) && !ReadSettingsFile(settingsPath.c_str(), &style, io)) {
    *error = "cannot read back the preset";
    return false;
  }
  bool ok = true;
  std::string path;
  int32_t index = 0;
  if (!reflection.empty()) {
    ok = ModulePicture(reflection, folder, index++, &path, error);
    if (ok) style.reflectionImage = LoadNameOnlyImage(&names, path.c_str(), 0);
  }
  for (const MapRequest& request : maps) {
    if (!ok) break;
    MapLayer* layer = AppendMapLayer(&style.mapLayers);
    if (layer == nullptr) break;
    layer->layerFlags = request.layerFlags;
    layer->amount = request.amount;
    layer->mappingLink = request.mapping;
    layer->angle = request.angle;
    layer->centerX = request.haveCenter ? request.centerX : float(documentWidth) / 2;
    layer->centerY = request.haveCenter ? request.centerY : float(documentHeight) / 2;
    if (request.image.empty()) continue;
    ok = ModulePicture(request.image, folder, index++, &path, error);
    if (!ok) break;
    layer->image = LoadNameOnlyImage(&names, path.c_str(), 0);
    // Custom without a size: the picture's own size, when it can be told here.
    RasterImage picture;
    std::string ignored;
    if (request.haveSize) {
      layer->placedWidth = request.width, layer->placedHeight = request.height;
    } else if (ReadImageFile(path, picture, ignored)) {
      layer->placedWidth = float(picture.width), layer->placedHeight = float(picture.height);
    }
  }
  if (ok && result == 0 && !WriteSettingsFile(settingsPath.c_str(), style, io)) {
    *error = settingsPath + ": cannot write the style";
    ok = false;
  }
  if (result != 0 && ok) {
    *error = "out of memory";
    ok = false;
  }
  FreeMapLayers(style.mapLayers);
  FreeImages(names);
  BindWorkMemory(WorkMemory{nullptr, nullptr, nullptr, nullptr});
  return ok;
}

bool IsImageProblemMessage(const std::string& text) {
  return text.rfind("Could not read ", 0) == 0 || text.rfind("Couldn't find ", 0) == 0;
}
