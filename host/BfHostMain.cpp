// bfhost: runs a fixed list of named scenarios against a filter module and
// prints one deterministic line per scenario, so that the native module and
// the Windows module (under wine) can be compared line by line.
//
//   bfhost [--stage DIR] [--dump DIR] [--scenario NAME]... [--list] MODULE
//   bfhost [--stage DIR] --fault-sweep [--repeat] MODULE
//   bfhost [--stage DIR] [--dialog-script FILE] [--shots DIR] [--about] [--dialog-faults N]
//          [--save-descriptor FILE] --dialog MODULE
//   bfhost [--stage DIR] --play-descriptor FILE MODULE
//   bfhost --map-files DIR        (writes DIR/Maps/*.tif, the map scenarios' pictures)
//
// --stage DIR copies the module into DIR first and runs the copy, removing the
// last-used settings file next to it before every scenario, so that every
// scenario starts from the same state. --dump DIR writes the document as each
// scenario left it to DIR/<scenario>.planes (every plane in checksum order,
// raw bytes), so that two builds' pixels can be compared where their
// checksums differ.
//
// --dialog lets the module show its dialogs for real and plays the dialog
// script on them (see host/DialogScript.h and host/BfHostDialogRuns.h): a menu
// run on the render document, or with --about the About box; --shots is where
// the script's pictures go; --dialog-faults N then makes N more runs, each
// failing one allocation of the dialog's opening; --save-descriptor keeps the
// style the dialog run recorded, which --play-descriptor plays back on the
// same document without a dialog. Exit status: 0 when every scenario ran
// (whatever its results), 1 when the module could not be loaded, 2 on usage errors.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host/BfHostDialogRuns.h"
#include "host/FilterHost.h"
#include "host/MapFixtures.h"

namespace {

constexpr int32_t SceneWidth = 64;   // pixels
constexpr int32_t SceneHeight = 48;  // pixels
constexpr uint8_t SceneFill = 128;
constexpr const char* SettingsFileName = "default.dfs";

struct Context {
  std::string modulePath;
  std::string stageFolder;  // empty: run the module in place
};

std::string gDumpFolder;  // empty: no dumps

// The render scenes: a larger document, so that the relief has room for its
// anti-aliased rims, curves and joins inside the document.
constexpr int32_t RenderWidth = 160;  // pixels
constexpr int32_t RenderHeight = 120;
constexpr double CircleHandle = 0.5522847498;  // cubic control distance of a quarter circle, in radii

// A closed circle of four smooth cubic knots (pixels).
void AppendCircleSubpath(std::vector<uint8_t>& path, double cx, double cy, double r) {
  AppendPathLengthRecord(path, PathClosedLength, 4);
  const double k = CircleHandle * r;
  const double anchors[4][2] = {{cx + r, cy}, {cx, cy + r}, {cx - r, cy}, {cx, cy - r}};
  const double tangents[4][2] = {{0, 1}, {-1, 0}, {0, -1}, {1, 0}};  // direction of travel
  for (int i = 0; i < 4; ++i) {
    const double x = anchors[i][0], y = anchors[i][1], tx = tangents[i][0] * k, ty = tangents[i][1] * k;
    AppendPathKnot(path, PathClosedKnotLinked, PathPointFromPixels(x - tx, y - ty, RenderWidth, RenderHeight),
                   PathPointFromPixels(x, y, RenderWidth, RenderHeight),
                   PathPointFromPixels(x + tx, y + ty, RenderWidth, RenderHeight));
  }
}

// A transparent layer (or a flat document) with a path of curves, corners and
// a hole: a ring crossed by a triangle.
HostDocument RenderDocument(int16_t mode, LayerKind layer) {
  HostDocument document = MakeDocument(RenderWidth, RenderHeight, mode, layer, SceneFill);
  if (document.hasTransparency)
    std::fill(document.transparency.pixels.begin(), document.transparency.pixels.end(), uint8_t(0));
  std::vector<uint8_t> path;
  AppendPathRecord(path, PathFillRule);
  AppendCircleSubpath(path, 62, 58, 36);
  AppendCircleSubpath(path, 62, 58, 14);
  AppendPolygonSubpath(path, {{96, 18}, {142, 96}, {78, 88}}, RenderWidth, RenderHeight);
  document.paths.push_back(path);
  document.targetPath = 0;
  return document;
}

// Writes every plane of the document, in checksum order, to the dump folder.
void Dump(const char* name, const HostDocument& document) {
  if (gDumpFolder.empty()) return;
  const std::string file = (std::filesystem::path(gDumpFolder) / (std::string(name) + ".planes")).string();
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "bfhost: cannot write %s\n", file.c_str());
    return;
  }
  auto write = [out](const HostChannel& c) { std::fwrite(c.pixels.data(), 1, c.pixels.size(), out); };
  for (const HostChannel& c : document.colorChannels) write(c);
  if (document.hasTransparency) write(document.transparency);
  if (document.hasLayerMask) write(document.layerMask);
  for (const HostChannel& c : document.alphaChannels) write(c);
  if (document.hasSelection) write(document.selection);
  std::fclose(out);
}

// An RGB background layer with a rectangle path as the target path.
HostDocument PathDocument(LayerKind layer) {
  HostDocument document = MakeDocument(SceneWidth, SceneHeight, ModeRGBColor, layer, SceneFill);
  std::vector<uint8_t> path;
  AppendPathRecord(path, PathFillRule);
  AppendPolygonSubpath(path, {{12, 10}, {52, 10}, {52, 38}, {12, 38}}, SceneWidth, SceneHeight);
  document.paths.push_back(path);
  document.targetPath = 0;
  return document;
}

HostDocument NoPathDocument() {
  return MakeDocument(SceneWidth, SceneHeight, ModeRGBColor, LayerKind::Flat, SceneFill);
}

// Removes the settings the module keeps next to its staged copy.
void ForgetSettings(const Context& context) {
  if (context.stageFolder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(context.stageFolder) / SettingsFileName, ignored);
}

// A fresh session over the document; null (and a printed reason) when the module cannot be loaded.
FilterHost* Open(const Context& context, const HostDocument& document) {
  ForgetSettings(context);
  std::string error;
  FilterHost* host = OpenFilterHost(context.modulePath.c_str(), &error);
  if (!host) {
    std::fprintf(stderr, "bfhost: %s\n", error.c_str());
    return nullptr;
  }
  SetHostDocument(host, document);
  return host;
}

void Print(const char* name, const RunReport& report) {
  std::printf("%s %s\n", name, SummarizeReport(report).c_str());
}

typedef std::function<bool(const Context&)> Scenario;

struct NamedScenario {
  const char* name;
  Scenario run;
};

// Runs `body` on a fresh session and prints the report it returns under `name`.
bool Simple(const Context& c, const char* name, const HostDocument& document,
            const std::function<RunReport(FilterHost*)>& body) {
  FilterHost* host = Open(c, document);
  if (!host) return false;
  Print(name, body(host));
  Dump(name, HostDocumentOf(host));
  CloseFilterHost(host);
  return true;
}

// ---- Styles that travel: recorded actions, played back; the last-used settings file ----

DescriptorKeyID KeyOf(const char* text) {
  return (DescriptorKeyID(uint8_t(text[0])) << 24) | (DescriptorKeyID(uint8_t(text[1])) << 16) |
         (DescriptorKeyID(uint8_t(text[2])) << 8) | DescriptorKeyID(uint8_t(text[3]));
}

DescriptorItem IntegerItem(const char* key, int32_t value) {
  DescriptorItem item;
  item.key = KeyOf(key);
  item.type = TypeInteger;
  item.integer = value;
  return item;
}

DescriptorItem FloatItem(const char* key, double value) {
  DescriptorItem item;
  item.key = KeyOf(key);
  item.type = TypeFloat;
  item.number = value;
  return item;
}

// A whole style as a host records it, every key of the filter's table with a
// value of its own (mitered Inner and bevelled Outer Bevel, three coloured
// lights, a tinted Main material that the Inner Bevel shares, an own Outer
// Bevel material), written here from the table rather than by the module.
DescriptorStore RecordedStyle() {
  DescriptorStore s;
  const std::pair<const char*, int32_t> integers[] = {
      {"ieSZ", 6}, {"ieDP", 150}, {"ieML", 40}, {"ieFL", 0x0203}, {"oeSZ", 12}, {"oeDP", 250}, {"oeML", 30},
      {"oeFL", 0x0100}};
  for (const auto& [key, value] : integers) s.items.push_back(IntegerItem(key, value));
  const int32_t colors[3] = {0x00FFE0C0, 0x004080FF, 0x0000FF40};
  const double directions[3][3] = {{0.6, -0.48, 0.64}, {-0.8, 0.0, 0.6}, {0.0, 0.6, 0.8}};
  const char* const lightKeys[3][4] = {{"l1CL", "l1PX", "l1PY", "l1PZ"}, {"l2CL", "l2PX", "l2PY", "l2PZ"},
                                       {"l3CL", "l3PX", "l3PY", "l3PZ"}};
  for (int i = 0; i < 3; ++i) {
    s.items.push_back(IntegerItem(lightKeys[i][0], colors[i]));
    for (int axis = 0; axis < 3; ++axis)
      s.items.push_back(FloatItem(lightKeys[i][1 + axis], directions[i][axis]));
  }
  s.items.push_back(IntegerItem("amCL", 0x302820));
  s.items.push_back(IntegerItem("m1CL", int32_t(0xFFC08040u)));
  s.items.push_back(IntegerItem("m1Dt", 0x0B6020));
  s.items.push_back(IntegerItem("m1LK", -1));
  s.items.push_back(IntegerItem("m2CL", int32_t(0xFFC08040u)));
  s.items.push_back(IntegerItem("m2Dt", 0x0B6020));
  s.items.push_back(IntegerItem("m2LK", 0));
  s.items.push_back(IntegerItem("m3CL", int32_t(0xC04060E0u)));
  s.items.push_back(IntegerItem("m3Dt", 0x004010));
  s.items.push_back(IntegerItem("m3LK", -1));
  s.items.push_back(IntegerItem("flgS", 0xA0));
  s.items.push_back(IntegerItem("rndR", 0));
  DescriptorItem layers;
  layers.key = KeyOf("maPS");
  layers.type = TypeText;
  layers.bytes = {0, 0};  // no map layers
  s.items.push_back(layers);
  return s;
}

// The last-used settings file next to the staged module; empty without --stage or file.
std::vector<uint8_t> SettingsFileBytes(const Context& context) {
  std::vector<uint8_t> bytes;
  if (context.stageFolder.empty()) return bytes;
  FILE* file = std::fopen((std::filesystem::path(context.stageFolder) / SettingsFileName).string().c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return bytes;
}

// Runs `document` with `playback` offered (or none) in an open session and prints the report.
RunReport PlayBack(FilterHost* h, const char* name, const DescriptorStore* playback, int16_t playInfo,
                   const HostDocument& document) {
  SetHostDocument(h, document);
  HostOptions& o = HostOptionsOf(h);
  o.hasPlayback = playback != nullptr;
  o.playback = playback != nullptr ? *playback : DescriptorStore{};
  o.playInfo = playInfo;
  const RunReport report = RunMenu(h);
  Print(name, report);
  return report;
}

void PrintSame(const char* name, const RunReport& a, const RunReport& b) {
  std::printf("%s same-pixels=%d\n", name, a.documentChecksum == b.documentChecksum ? 1 : 0);
}

void AddStyleScenarios(std::vector<NamedScenario>& list) {
  // A recorded style played back with and without the dialog, and by repeating the filter:
  // the same pixels as the run that delivered the style.
  list.push_back({"style-playback", [](const Context& c) {
                    const HostDocument d = RenderDocument(ModeRGBColor, LayerKind::EditableTransparency);
                    FilterHost* h = Open(c, d);
                    if (!h) return false;
                    const DescriptorStore style = RecordedStyle();
                    const RunReport first = PlayBack(h, "style-recorded", &style, PlayDontDisplay, d);
                    const std::vector<uint8_t> preset = SettingsFileBytes(c);
                    std::printf("style-preset-file bytes=%zu fnv=%016llx\n", preset.size(),
                                static_cast<unsigned long long>(BytesChecksum(preset)));
                    const DescriptorStore recorded = LastRecordedDescriptor(h);
                    CloseFilterHost(h);
                    h = Open(c, d);  // a new host launch: no parameter block, no last-used file
                    if (!h) return false;
                    const RunReport shown = PlayBack(h, "style-played-dialog", &recorded, PlayDisplay, d);
                    PrintSame("style-played-dialog", first, shown);
                    const RunReport silent = PlayBack(h, "style-played-silent", &recorded, PlayDontDisplay, d);
                    PrintSame("style-played-silent", first, silent);
                    SetHostDocument(h, d);
                    const RunReport repeat = RunRepeat(h);
                    Print("style-repeat", repeat);
                    PrintSame("style-repeat", first, repeat);
                    CloseFilterHost(h);
                    return true;
                  }});
  // A descriptor lacking keys: the run falls back to the last-used file, which holds the
  // style of the run before; one with wrong types or values out of range keeps or pins them.
  list.push_back({"style-incomplete", [](const Context& c) {
                    const HostDocument d = RenderDocument(ModeRGBColor, LayerKind::EditableTransparency);
                    FilterHost* h = Open(c, d);
                    if (!h) return false;
                    const DescriptorStore style = RecordedStyle();
                    const RunReport first = PlayBack(h, "style-before-incomplete", &style, PlayDontDisplay, d);
                    ForgetParameters(h);
                    DescriptorStore partial = RecordedStyle();
                    partial.items.erase(partial.items.begin());                  // no ieSZ
                    partial.items[3] = IntegerItem("oeSZ", 2);                   // read, then replaced by the file
                    const RunReport fallback = PlayBack(h, "style-incomplete", &partial, PlayDontDisplay, d);
                    PrintSame("style-incomplete", first, fallback);
                    CloseFilterHost(h);
                    return true;
                  }});
  list.push_back({"style-wrong-values", [](const Context& c) {
                    const HostDocument d = RenderDocument(ModeRGBColor, LayerKind::EditableTransparency);
                    FilterHost* h = Open(c, d);
                    if (!h) return false;
                    const RunReport plain = PlayBack(h, "style-default", nullptr, PlayDisplay, d);
                    ForgetParameters(h);
                    DescriptorStore wrong = RecordedStyle();
                    for (DescriptorItem& item : wrong.items) {
                      item.type = item.type == TypeInteger ? TypeFloat : TypeInteger;
                      item.integer = 77;
                      item.number = 1e9;
                    }
                    const RunReport typed = PlayBack(h, "style-wrong-types", &wrong, PlayDontDisplay, d);
                    PrintSame("style-wrong-types", plain, typed);  // nothing taken: the defaults
                    ForgetParameters(h);
                    DescriptorStore range = RecordedStyle();
                    range.items[4] = IntegerItem("oeSZ", 400);
                    range.items[5] = IntegerItem("oeDP", 5000);
                    range.items[6] = IntegerItem("oeML", -7);
                    range.items[23] = IntegerItem("m1LK", 9);
                    PlayBack(h, "style-out-of-range", &range, PlayDontDisplay, d);
                    CloseFilterHost(h);
                    return true;
                  }});
}

std::vector<NamedScenario> Scenarios() {
  std::vector<NamedScenario> list;
  list.push_back({"about-invalid-record", [](const Context& c) {
                    return Simple(c, "about-invalid-record", NoPathDocument(), [](FilterHost* h) {
                      HostOptions& o = HostOptionsOf(h);
                      o.omitDisplayPixels = o.omitDocumentInfo = o.omitHandleProcs = o.omitPropertyProcs = true;
                      return RunAbout(h);
                    });
                  }});
  list.push_back({"missing-displayPixels", [](const Context& c) {
                    return Simple(c, "missing-displayPixels", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptionsOf(h).omitDisplayPixels = true;
                      return CallSelectors(h, {1, 2, 3, 4, 5}, false);
                    });
                  }});
  list.push_back({"missing-documentInfo", [](const Context& c) {
                    return Simple(c, "missing-documentInfo", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptionsOf(h).omitDocumentInfo = true;
                      return CallSelectors(h, {1, 2, 3, 4, 5}, false);
                    });
                  }});
  list.push_back({"missing-mergedChannels", [](const Context& c) {
                    return Simple(c, "missing-mergedChannels", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptionsOf(h).omitMergedChannels = true;
                      return CallSelectors(h, {1, 2, 3, 4, 5}, false);
                    });
                  }});
  list.push_back({"few-handleProcs", [](const Context& c) {
                    return Simple(c, "few-handleProcs", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptionsOf(h).handleProcsCount = 5;
                      return CallSelectors(h, {1, 2, 3, 4, 5}, false);
                    });
                  }});
  list.push_back({"selector-6", [](const Context& c) {
                    return Simple(c, "selector-6", PathDocument(LayerKind::Flat),
                                  [](FilterHost* h) { return CallSelector(h, 6); });
                  }});
  list.push_back({"selector-4", [](const Context& c) {
                    return Simple(c, "selector-4", PathDocument(LayerKind::Flat),
                                  [](FilterHost* h) { return CallSelector(h, FilterSelectorContinue); });
                  }});
  list.push_back({"no-paths", [](const Context& c) {
                    return Simple(c, "no-paths", NoPathDocument(), [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"no-paths-query-fails", [](const Context& c) {
                    return Simple(c, "no-paths-query-fails", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptionsOf(h).failedProperties.push_back({PropNumberOfPaths, HostErrPlugInPropertyUndefined});
                      return RunMenu(h);
                    });
                  }});
  list.push_back({"no-target", [](const Context& c) {
                    HostDocument d = PathDocument(LayerKind::Flat);
                    d.targetPath = -1;
                    return Simple(c, "no-target", d, [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"locked-transparency", [](const Context& c) {
                    return Simple(c, "locked-transparency", PathDocument(LayerKind::LockedTransparency),
                                  [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"invalid-path", [](const Context& c) {
                    HostDocument d = NoPathDocument();
                    std::vector<uint8_t> path;
                    AppendPolygonSubpath(path, {{10, 10}}, SceneWidth, SceneHeight);
                    d.paths.push_back(path);
                    d.targetPath = 0;
                    return Simple(c, "invalid-path", d, [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"short-path-handle", [](const Context& c) {
                    HostDocument d = NoPathDocument();
                    d.paths.push_back(std::vector<uint8_t>(20, 0));
                    d.targetPath = 0;
                    return Simple(c, "short-path-handle", d, [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"globals-alloc-fail", [](const Context& c) {
                    return Simple(c, "globals-alloc-fail", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptions& o = HostOptionsOf(h);
                      o.failKinds = AllocHandle;
                      o.failAllocationAt = 1;
                      return RunMenu(h);
                    });
                  }});
  list.push_back({"param-block-alloc-fail", [](const Context& c) {
                    return Simple(c, "param-block-alloc-fail", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      CallSelector(h, FilterSelectorContinue);  // makes the run globals
                      HostOptions& o = HostOptionsOf(h);
                      o.failKinds = AllocHandle;
                      o.failAllocationAt = 1;  // the next handle is the parameter block
                      return RunMenu(h);
                    });
                  }});
  list.push_back({"refused-suite", [](const Context& c) {
                    FilterHost* h = Open(c, PathDocument(LayerKind::Flat));
                    if (!h) return false;
                    HostOptionsOf(h).refusedSuites.push_back("Photoshop ChannelPorts Suite for Plug-ins");
                    Print("refused-suite", CallSelector(h, FilterSelectorParameters));
                    HostOptionsOf(h).refusedSuites.clear();
                    Print("after-refused-suite", RunMenu(h));
                    CloseFilterHost(h);
                    return true;
                  }});
  list.push_back({"refused-first-suite", [](const Context& c) {
                    return Simple(c, "refused-first-suite", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptionsOf(h).refusedSuites.push_back("ADM Basic Suite");
                      return CallSelector(h, FilterSelectorParameters);
                    });
                  }});
  list.push_back({"path-run", [](const Context& c) {
                    FilterHost* h = Open(c, PathDocument(LayerKind::Flat));
                    if (!h) return false;
                    Print("path-run", RunMenu(h));
                    Dump("path-run", HostDocumentOf(h));
                    Print("repeat-run", RunRepeat(h));
                    Dump("repeat-run", HostDocumentOf(h));
                    CloseFilterHost(h);
                    return true;
                  }});
  list.push_back({"path-run-layer", [](const Context& c) {
                    return Simple(c, "path-run-layer", PathDocument(LayerKind::EditableTransparency),
                                  [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"path-run-short-record", [](const Context& c) {
                    return Simple(c, "path-run-short-record", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptionsOf(h).shortRecord = true;
                      return RunMenu(h);
                    });
                  }});
  list.push_back({"dialog-cancel", [](const Context& c) {
                    return Simple(c, "dialog-cancel", PathDocument(LayerKind::Flat), [](FilterHost* h) {
                      HostOptionsOf(h).dialogAnswer = 2;
                      return RunMenu(h);
                    });
                  }});
  list.push_back({"render-layer", [](const Context& c) {
                    return Simple(c, "render-layer", RenderDocument(ModeRGBColor, LayerKind::EditableTransparency),
                                  [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"render-flat", [](const Context& c) {
                    return Simple(c, "render-flat", RenderDocument(ModeRGBColor, LayerKind::Flat),
                                  [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"render-gray-channels", [](const Context& c) {
                    // A soft-edged selection, a targeted alpha channel and a layer mask.
                    HostDocument d = RenderDocument(ModeGrayScale, LayerKind::EditableTransparency);
                    d.hasSelection = true;
                    d.selection = MakeChannel(d, "Selection", 0);
                    for (int32_t y = 0; y < RenderHeight; ++y)
                      for (int32_t x = 0; x < RenderWidth; ++x)
                        d.selection.pixels[size_t(y) * RenderWidth + size_t(x)] = uint8_t(x * 255 / (RenderWidth - 1));
                    d.alphaChannels.push_back(MakeChannel(d, "Alpha 1", 0));
                    d.hasLayerMask = true;
                    d.layerMask = MakeChannel(d, "Layer Mask", 100);
                    return Simple(c, "render-gray-channels", d, [](FilterHost* h) { return RunMenu(h); });
                  }});
  list.push_back({"render-duotone", [](const Context& c) {
                    return Simple(c, "render-duotone", RenderDocument(ModeDuotone, LayerKind::EditableTransparency),
                                  [](FilterHost* h) { return RunMenu(h); });
                  }});
  AddStyleScenarios(list);
  // A preset's style with a reflection image and map layers of every kind
  // (Tile, Fit, Custom turned, a linked layer, the document as a map),
  // written next to the staged module as its last-used settings.
  for (const char* name : {"render-maps", "render-maps-gray"}) {
    list.push_back({name, [name](const Context& c) {
                      const bool gray = std::strcmp(name, "render-maps-gray") == 0;
                      HostDocument d = RenderDocument(gray ? ModeGrayScale : ModeRGBColor, LayerKind::EditableTransparency);
                      // Document pixels for the Background map: a diagonal ramp, half transparent on the left.
                      for (HostChannel& channel : d.colorChannels)
                        for (int32_t y = 0; y < RenderHeight; ++y)
                          for (int32_t x = 0; x < RenderWidth; ++x)
                            channel.pixels[size_t(y) * RenderWidth + size_t(x)] = uint8_t((x + 2 * y) % 256);
                      for (int32_t y = 0; y < RenderHeight; ++y)
                        for (int32_t x = 0; x < RenderWidth; ++x)
                          d.transparency.pixels[size_t(y) * RenderWidth + size_t(x)] = x < RenderWidth / 2 ? 128 : 255;
                      if (c.stageFolder.empty()) {
                        std::printf("%s needs --stage\n", name);
                        return true;
                      }
                      FilterHost* h = Open(c, d);
                      if (!h) return false;
                      std::string error;
                      if (!WriteMapScenarioFiles(c.stageFolder, &error)) {
                        std::fprintf(stderr, "bfhost: %s\n", error.c_str());
                        CloseFilterHost(h);
                        return false;
                      }
                      RunReport report = RunMenu(h);
                      // The Windows modules also take libtiff's working memory from the host
                      // (the native module leaves it to Debian's shared libtiff), so only the
                      // number of allocations may differ; everything else must match.
                      report.countedAllocations = 0;
                      Print(name, report);
                      Dump(name, HostDocumentOf(h));
                      CloseFilterHost(h);
                      return true;
                    }});
  }
  return list;
}

int FaultSweep(const Context& context, bool repeat) {
  std::vector<FaultSweepStep> steps;
  std::string error;
  HostOptions options;
  if (!RunFaultSweep(context.modulePath.c_str(), PathDocument(LayerKind::Flat), options, repeat, &steps, &error,
                     [&context] { ForgetSettings(context); })) {
    std::fprintf(stderr, "bfhost: %s\n", error.c_str());
    return 1;
  }
  for (const FaultSweepStep& step : steps)
    std::printf("fail=%lld %s\n", static_cast<long long>(step.failAt), SummarizeReport(step.report).c_str());
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bfhost [--stage DIR] [--dump DIR] [--scenario NAME]... [--list] MODULE\n"
               "       bfhost [--stage DIR] --fault-sweep [--repeat] MODULE\n"
               "       bfhost [--stage DIR] [--dialog-script FILE] [--shots DIR] [--about] [--dialog-faults N]\n"
               "              [--save-descriptor FILE] --dialog MODULE\n"
               "       bfhost [--stage DIR] --play-descriptor FILE MODULE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Context context;
  std::vector<std::string> chosen;
  bool sweep = false, repeat = false, list = false, dialog = false;
  DialogRunOptions dialogOptions;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--stage" && i + 1 < argc) {
      context.stageFolder = argv[++i];
    } else if (arg == "--dump" && i + 1 < argc) {
      gDumpFolder = argv[++i];
    } else if (arg == "--scenario" && i + 1 < argc) {
      chosen.push_back(argv[++i]);
    } else if (arg == "--fault-sweep") {
      sweep = true;
    } else if (arg == "--repeat") {
      repeat = true;
    } else if (arg == "--dialog") {
      dialog = true;
    } else if (arg == "--about") {
      dialogOptions.about = true;
    } else if (arg == "--dialog-script" && i + 1 < argc) {
      dialogOptions.scriptFile = argv[++i];
    } else if (arg == "--shots" && i + 1 < argc) {
      dialogOptions.shotFolder = argv[++i];
    } else if (arg == "--dialog-faults" && i + 1 < argc) {
      dialogOptions.faultRuns = std::atoi(argv[++i]);
    } else if (arg == "--save-descriptor" && i + 1 < argc) {
      dialogOptions.saveDescriptor = argv[++i];
    } else if (arg == "--play-descriptor" && i + 1 < argc) {
      dialogOptions.playDescriptor = argv[++i];
      dialog = true;
    } else if (arg == "--map-files" && i + 1 < argc) {
      // The map scenarios' pictures, for dialog scripts that open them.
      std::string error;
      if (!WriteMapScenarioFiles(argv[++i], &error)) {
        std::fprintf(stderr, "bfhost: %s\n", error.c_str());
        return 1;
      }
      return 0;
    } else if (arg == "--list") {
      list = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else if (context.modulePath.empty()) {
      context.modulePath = arg;
    } else {
      return Usage();
    }
  }
  const std::vector<NamedScenario> scenarios = Scenarios();
  if (list) {
    for (const NamedScenario& s : scenarios) std::printf("%s\n", s.name);
    return 0;
  }
  if (context.modulePath.empty()) return Usage();
  if (!context.stageFolder.empty()) {
    std::string error;
    context.modulePath = StageModuleCopy(context.modulePath.c_str(), context.stageFolder.c_str(), &error);
    if (context.modulePath.empty()) {
      std::fprintf(stderr, "bfhost: %s\n", error.c_str());
      return 1;
    }
  }
  if (sweep) return FaultSweep(context, repeat);
  if (dialog)
    return RunDialogMode(dialogOptions, context.modulePath, context.stageFolder,
                         RenderDocument(ModeRGBColor, LayerKind::EditableTransparency));
  for (const std::string& name : chosen) {
    bool known = false;
    for (const NamedScenario& s : scenarios) known = known || name == s.name;
    if (!known) {
      std::fprintf(stderr, "bfhost: unknown scenario %s\n", name.c_str());
      return 2;
    }
  }
  for (const NamedScenario& s : scenarios) {
    if (!chosen.empty()) {
      bool wanted = false;
      for (const std::string& name : chosen) wanted = wanted || name == s.name;
      if (!wanted) continue;
    }
    if (!s.run(context)) return 1;
    std::fflush(stdout);
  }
  return 0;
}
