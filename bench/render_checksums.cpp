// Checksums of everything the renderer writes, to show that a change meant
// only to make rendering faster leaves every pixel as it was: run it before
// and after and compare the output line by line.
//
// For the bench shapes (square, circle, star, as in bench_render) and two
// text samples, each built through the whole geometry stage from path
// records, it prints the checksum of the render buffer for every render mode
// 0..12 in three setups:
//   plain      the default style
//   mapped     a varied style: three colored lights, a contour profile and
//              Miter joins, per-pixel materials in small blocks, a
//              reflection image and a bump sampler on every element
//   gray       the default style composed into one gray plane
// plus the default style with anti-aliasing off. Then it runs the built
// module through our own host on the 4000 x 2000 text document of
// bench_full_run (flat and layer) and prints the document checksums. Every
// render is repeated on two threads keeping its facets and then from the
// kept facets; a line says so where they differ.
//
//   bench_render_checksums [font file]
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "bench/ElementSetup.h"
#include "bevel/CornerClassification.h"
#include "bevel/DirectionTable.h"
#include "bevel/ElementBuilders.h"
#include "bevel/MainRasteriser.h"
#include "bevel/NodeNumbering.h"
#include "bevel/OffsetOutlines.h"
#include "bevel/OffsetUndo.h"
#include "bevel/PixelConversion.h"
#include "cli/PathModel.h"
#include "cli/TextPath.h"
#include "core/NodePool.h"
#include "core/WorkMemory.h"
#include "geometry/ElementOutlines.h"
#include "host/FilterHost.h"
#include "maps/ElementMaterials.h"
#include "platform/WorkerThreads.h"
#include "render/RenderDriver.h"
#include "style/StyleRecord.h"

// From geometry/PathRecords.h, whose record names clash with the tool's path model.
struct Contour;
Contour* ReadPathRecords(const uint8_t* data, uint32_t size, int32_t documentWidth, int32_t documentHeight);

namespace {
constexpr const char* DefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int32_t ShapeDocument = 2048;  // pixels, square
constexpr int32_t TextWidth = 4000, TextHeight = 2000;

int16_t gResult = 0;
void* MallocNew(void*, uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void MallocDispose(void*, void* block) { std::free(block); }

uint64_t Fnv(const uint8_t* bytes, size_t count, uint64_t h = 1469598103934665603ull) {
  for (size_t i = 0; i < count; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
  return h;
}

struct Input {
  std::string name;
  int32_t width, height;  // document, pixels
  PathModel path;
};

PathModel Polygon(const std::vector<std::pair<double, double>>& points) {
  PathBuilder b;
  b.MoveTo(points[0].first, points[0].second);
  for (size_t i = 1; i < points.size(); ++i) b.LineTo(points[i].first, points[i].second);
  b.Close();
  return b.Take();
}

std::vector<Input> Inputs(const char* font) {
  std::vector<Input> inputs;
  inputs.push_back({"square", ShapeDocument, ShapeDocument, Polygon({{74, 74}, {1974, 74}, {1974, 1974}, {74, 1974}})});
  std::vector<std::pair<double, double>> circle, star;
  for (int i = 0; i < 720; ++i) {
    const double a = 2 * std::numbers::pi * i / 720;
    circle.push_back({1024 + 950 * std::cos(a), 1024 + 950 * std::sin(a)});
  }
  for (int i = 0; i < 20; ++i) {
    const double a = 2 * std::numbers::pi * i / 20 - std::numbers::pi / 2, r = i % 2 == 0 ? 950 : 450;
    star.push_back({1024 + r * std::cos(a), 1024 + r * std::sin(a)});
  }
  inputs.push_back({"circle", ShapeDocument, ShapeDocument, Polygon(circle)});
  inputs.push_back({"star", ShapeDocument, ShapeDocument, Polygon(star)});
  const struct {
    const char* name;
    const char* text;
    double size, x, y;
  } texts[] = {{"text-large", "Bevel Forge 1234", 300, 150, 1200},
               {"text-lines", "Relief@&%\nwithout gaps?\nQjy8 {[(|)]}", 180, 60, 300}};
  for (const auto& t : texts) {
    TextPathOptions options;
    options.fontFile = font;
    options.pixelSize = t.size;
    options.originX = t.x;
    options.originY = t.y;
    TextPathResult result;
    std::string error;
    if (!SetTextPath(t.text, options, result, error)) {
      std::fprintf(stderr, "bench_render_checksums: %s\n", error.c_str());
      continue;
    }
    inputs.push_back({t.name, TextWidth, TextHeight, result.path});
  }
  return inputs;
}

// A deterministic pattern of material bytes in blocks of 8 x 4 pixels, so
// that neighbouring pixels often share a material and often do not.
void VaryMaterials(ElementBuffer* buffer, int32_t element) {
  if (buffer == nullptr || buffer->rows == nullptr) return;
  for (uint32_t row = 0; row < buffer->height; ++row)
    for (Span* span = buffer->rows[row]; span != nullptr; span = span->next)
      for (uint32_t x = span->xStart; x < span->xEnd; ++x) {
        const uint32_t block = ((x + uint32_t(buffer->x0)) >> 3) * 7919u + ((row + uint32_t(buffer->y0)) >> 2) * 104729u +
                               uint32_t(element) * 31u;
        const uint32_t h = (block * 2654435761u) >> 8;
        PixelMaterial& m = span->material[x - span->xStart];
        if ((h & 3) == 0) continue;  // a quarter keep the element's material
        m.red = uint8_t(h);
        m.green = uint8_t(h >> 5);
        m.blue = uint8_t(h >> 11);
        m.opacity = uint8_t(128 + ((h >> 3) & 127));
        m.shininess = uint8_t(h >> 7);
        m.shinStrength = uint8_t(h >> 13);
        m.reflectivity = uint8_t((h >> 2) & 0xF0);
      }
}

struct Maps {
  std::vector<uint8_t> reflectionPlanes, bumpValues, bumpOpacity;
  ReflectionSampler reflection;
  Maps() {
    const int32_t w = 97, h = 61;
    reflectionPlanes.resize(size_t(w) * h * 3);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c)
          reflectionPlanes[size_t(c) * w * h + size_t(y) * w + x] = uint8_t(x * 2 + y * (c + 1) + c * 40);
    MakeReflectionSampler(&reflection, reflectionPlanes.data(), w, h, 1);
    bumpValues.resize(64 * 64);
    bumpOpacity.resize(64 * 64);
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 64; ++x) {
        bumpValues[size_t(y) * 64 + x] = uint8_t((x * x + 3 * y * y + x * y) & 0xFF);
        bumpOpacity[size_t(y) * 64 + x] = uint8_t(255 - x * 2);
      }
  }
};

// One bump sampler, rotated and scaled, origin at the buffer's corner.
int32_t GatherBumps(void* context, uint32_t elementBit, const ElementBuffer* buffer, BumpSampler** samplers) {
  const Maps* maps = static_cast<const Maps*>(context);
  auto* b = static_cast<BumpSampler*>(NewBlock(sizeof(BumpSampler)));
  *samplers = b;
  if (b == nullptr) return 0;
  *b = BumpSampler{};
  b->invert = elementBit == SelectInnerBevel;
  b->cosAngle = 0.8f;
  b->sinAngle = 0.6f;
  b->colStepX = 0xC000;
  b->rowStepX = 0x2000;
  b->colStepY = -0x2000;
  b->rowStepY = 0xC000;
  b->colOrigin = int32_t(buffer->x0) * 0xC000;
  b->rowOrigin = int32_t(buffer->y0) * 0xC000;
  b->amount = 40.0f * OneOver65025;
  b->width = b->height = 64;
  b->valuePlane = maps->bumpValues.data();
  b->opacityPlane = maps->bumpOpacity.data();
  return 1;
}

enum class Setup { Plain, Mapped, Gray };

void VariedStyle(StyleRecord* style) {
  SetLightColor(&style->lights[0], 0x00FFE0C0);
  SetLightColor(&style->lights[1], 0x004060FF);
  SetLightDirection(&style->lights[1], 0.5f, 0.3f, 0.81f);
  SetLightColor(&style->lights[2], 0x00208020);
  SetLightDirection(&style->lights[2], -0.2f, 0.9f, 0.39f);
  style->bevels[InnerBevelSetting] = BevelSetting{23, 180, uint16_t(0x200 | 7), 40};
  style->bevels[OuterBevelSetting] = BevelSetting{41, 70, uint16_t(0x100 | 3), 0};
  for (MaterialSetting& m : style->materials) m.reflectivity = 140;
}

// Builds the elements of `input` with `style` and prints one line per render mode.
void Checksums(const Input& input, Setup setup, const Maps& maps, const DirectionTable* directions) {
  StyleRecord style{};
  SetDefaultStyle(&style);
  if (setup == Setup::Mapped) VariedStyle(&style);
  std::vector<uint8_t> records;
  std::string error;
  if (!EncodePathRecords(input.path, input.width, input.height, PathEncodeOptions(), records, error)) {
    std::printf("%s: %s\n", input.name.c_str(), error.c_str());
    return;
  }
  Contour* contours = ReadPathRecords(records.data(), uint32_t(records.size()), input.width, input.height);
  OffsetRingList *outer = nullptr, *inner = nullptr;
  if (contours == nullptr || !BuildElementOutlines(contours, &outer, &inner)) {
    std::printf("%s: no outlines (result %d)\n", input.name.c_str(), gResult);
    gResult = 0;
    return;
  }
  ElementBuffer* buffers[ElementCount];
  PixelRect effect;
  BuildBenchElements(outer, inner, uint16_t(input.width), uint16_t(input.height), style, buffers, &effect);
  if (setup == Setup::Mapped)
    for (int e = 0; e < ElementCount; ++e) VaryMaterials(buffers[e], e);

  RenderContext context{};
  context.style = &style;
  for (int e = 0; e < ElementCount; ++e) context.buffers[e] = buffers[e];
  context.innerOutlines = inner;
  context.outerOutlines = outer;
  context.directions = directions;
  context.effectWidth = effect.right - effect.left;
  context.effectHeight = effect.bottom - effect.top;
  context.channelCount = setup == Setup::Gray ? 1 : 3;
  std::vector<uint8_t> render(size_t(context.effectWidth) * context.effectHeight * (context.channelCount + 1));
  uint8_t* mask = nullptr;
  context.renderBuffer = render.data();
  context.maskBuffer = &mask;
  if (setup == Setup::Mapped) {
    context.reflection = &maps.reflection;
    context.gatherBumps = GatherBumps;
    context.bumpContext = const_cast<Maps*>(&maps);
  }
  const char* setupName = setup == Setup::Plain ? "plain" : setup == Setup::Mapped ? "mapped" : "gray";
  for (int mode = 0; mode <= LastRenderMode + (setup == Setup::Plain ? 1 : 0); ++mode) {
    // One more pass in the plain setup: mode 0 with anti-aliasing off.
    const bool hardEdges = mode > LastRenderMode;
    style.renderMode = uint8_t(hardEdges ? 0 : mode);
    style.viewFlags = hardEdges ? uint8_t(DefaultViewFlags & ~AntiAliasingFlag) : DefaultViewFlags;
    std::fill(render.begin(), render.end(), uint8_t(0x5A));
    const int rendered = RenderElements(context, SelectAllElements);
    const uint64_t checksum = Fnv(render.data(), render.size());
    // The same render on two threads, keeping facets, then from the kept facets.
    context.tasks = WorkerThreads();
    context.keepFacets = 1;
    bool same = true;
    for (int pass = 0; pass < 2; ++pass) {
      std::fill(render.begin(), render.end(), uint8_t(0x5A));
      same = RenderElements(context, SelectAllElements) == rendered && same &&
             Fnv(render.data(), render.size()) == checksum;
    }
    context.tasks = nullptr;
    context.keepFacets = 0;
    std::printf("%-10s %-6s %-9s %dx%d %016llx%s%s\n", input.name.c_str(), setupName,
                hardEdges ? "hard" : ("mode " + std::to_string(mode)).c_str(), context.effectWidth,
                context.effectHeight, static_cast<unsigned long long>(checksum), rendered ? "" : " (failed)",
                same ? "" : " (differs on two threads or from kept facets)");
  }
  for (ElementBuffer*& buffer : buffers) DisposeElementBuffer(&buffer);
  FreeBlockOf(mask);
  for (NodePool* pool : {&gMainSpanPool, &gInnerSpanPool, &gOuterSpanPool, &gBandEdgePool, &gPolygonEdgePool})
    EmptyPool(pool);
  ReleaseElementOutlines(&outer, &inner);
  gResult = 0;
}

// The document's planes with their bounds, hashed here rather than by the
// host, so that the figures do not depend on how the host sums documents.
uint64_t DocumentHash(const HostDocument& document) {
  uint64_t h = Fnv(nullptr, 0);
  auto channel = [&](const HostChannel& c) {
    const int32_t bounds[4] = {c.bounds.top, c.bounds.left, c.bounds.bottom, c.bounds.right};
    for (int32_t v : bounds) {
      const uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
      h = Fnv(bytes, 4, h);
    }
    h = Fnv(c.pixels.data(), c.pixels.size(), h);
  };
  for (const HostChannel& c : document.colorChannels) channel(c);
  if (document.hasTransparency) channel(document.transparency);
  if (document.hasLayerMask) channel(document.layerMask);
  for (const HostChannel& c : document.alphaChannels) channel(c);
  if (document.hasSelection) channel(document.selection);
  return h;
}

// The menu run of bench_full_run's document: the module's whole output.
int FullRunChecksums(const char* font) {
  TextPathOptions options;
  options.fontFile = font;
  options.pixelSize = 560;
  options.originX = 200;
  options.originY = 1350;
  TextPathResult text;
  std::string error;
  std::vector<uint8_t> records;
  if (!SetTextPath("Bevel Forge 1234", options, text, error) ||
      !EncodePathRecords(text.path, TextWidth, TextHeight, PathEncodeOptions(), records, error)) {
    std::fprintf(stderr, "bench_render_checksums: %s\n", error.c_str());
    return 1;
  }
  const std::string folder = "/tmp/bench_render_checksums-" + std::to_string(getpid());
  const std::string module = StageModuleCopy(BF_MODULE_PATH, folder.c_str(), &error);
  FilterHost* host = module.empty() ? nullptr : OpenFilterHost(module.c_str(), &error);
  if (host == nullptr) {
    std::fprintf(stderr, "bench_render_checksums: %s\n", error.c_str());
    return 1;
  }
  for (const LayerKind layer : {LayerKind::Flat, LayerKind::EditableTransparency}) {
    HostDocument document = MakeDocument(TextWidth, TextHeight, ModeRGBColor, layer, 128);
    document.paths.push_back(records);
    document.targetPath = 0;
    SetHostDocument(host, document);
    const RunReport report = RunMenu(host);
    std::printf("full-run   %-6s result %d document %016llx\n", layer == LayerKind::Flat ? "flat" : "layer",
                report.finalResult, static_cast<unsigned long long>(DocumentHash(HostDocumentOf(host))));
  }
  CloseFilterHost(host);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  const char* font = argc > 1 ? argv[1] : DefaultFont;
  BindWorkMemory(WorkMemory{MallocNew, MallocDispose, nullptr, &gResult});
  DirectionTable directions;
  MakeDirectionTable(&directions);
  const Maps maps;
  for (const Input& input : Inputs(font))
    for (Setup setup : {Setup::Plain, Setup::Mapped, Setup::Gray}) Checksums(input, setup, maps, &directions);
  return FullRunChecksums(font);
}
