// Whole runs of the real filter module in our host that render into the
// document: what changes (the shape, its bands, the layer's transparency,
// alpha channels and mask) and what must not (pixels beyond the outer band,
// outside the selection, after a cancelled dialog or a failed allocation),
// in every image mode and render mode.
//
// The path is a rectangle; the default style gives it an Inner Bevel of
// 10 pixels and a rounded Outer Bevel of 20 pixels, so the reach of every
// element is known from the geometry alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>

#include "host/FilterHost.h"
#include "host/HostState.h"
#include "style/StyleRecord.h"

#if defined(BF_MODULE_PATH)

namespace {

constexpr int32_t DocW = 160, DocH = 120;          // pixels
constexpr double RectLeft = 40, RectTop = 30;      // the path, pixels
constexpr double RectRight = 120, RectBottom = 90;
constexpr double OuterSize = 20, InnerSize = 10;   // default bevel sizes, pixels
constexpr int32_t FaceX = 80, FaceY = 60;          // a pixel well inside the Main face
constexpr int32_t OuterBandX = 80, OuterBandY = 20;  // a pixel halfway across the top of the Outer Bevel
constexpr uint8_t Fill = 90;
constexpr int16_t LockedTransparencyMessage = 5;  // the module's message code

std::string StageFolder(const std::string& suffix = "") {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return (std::filesystem::path(testing::TempDir()) / "bfhost-render" /
          (std::string(info->test_suite_name()) + "." + info->name() + suffix))
      .string();
}

std::string StagedModule(const std::string& suffix = "") {
  const std::string folder = StageFolder(suffix);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::string error;
  std::string path = StageModuleCopy(BF_MODULE_PATH, folder.c_str(), &error);
  EXPECT_FALSE(path.empty()) << error;
  return path;
}

void AddRectanglePath(HostDocument* d) {
  std::vector<uint8_t> path;
  AppendPathRecord(path, PathFillRule);
  AppendPolygonSubpath(path, {{RectLeft, RectTop}, {RectRight, RectTop}, {RectRight, RectBottom}, {RectLeft, RectBottom}},
                       d->width, d->height);
  d->paths.push_back(path);
  d->targetPath = 0;
}

// A document with the rectangle path; layers start fully transparent, so
// that their transparency afterwards is the relief's own alpha.
HostDocument Document(int16_t mode, LayerKind layer) {
  HostDocument d = MakeDocument(DocW, DocH, mode, layer, Fill);
  if (d.hasTransparency) std::fill(d.transparency.pixels.begin(), d.transparency.pixels.end(), uint8_t(0));
  AddRectanglePath(&d);
  return d;
}

// Distance of the pixel's centre from the rectangle (0 inside it).
double DistanceFromPath(int32_t x, int32_t y) {
  const double px = x + 0.5, py = y + 0.5;
  const double dx = std::max({RectLeft - px, 0.0, px - RectRight});
  const double dy = std::max({RectTop - py, 0.0, py - RectBottom});
  return std::hypot(dx, dy);
}

// Distance of the pixel's centre from the rectangle's edge, inside it (0 outside).
double DepthInside(int32_t x, int32_t y) {
  const double px = x + 0.5, py = y + 0.5;
  return std::max(0.0, std::min({px - RectLeft, RectRight - px, py - RectTop, RectBottom - py}));
}

// The style record in the session's parameter block (null before selector 1).
StyleRecord* SessionStyle(FilterHost* host) {
  return host->parameters != nullptr ? reinterpret_cast<StyleRecord*>(*host->parameters) : nullptr;
}

struct Session {
  FilterHost* host = nullptr;
  explicit Session(const HostDocument& document, const std::string& suffix = "") {
    std::string error;
    host = OpenFilterHost(StagedModule(suffix).c_str(), &error);
    EXPECT_NE(host, nullptr) << error;
    if (host) SetHostDocument(host, document);
  }
  ~Session() { CloseFilterHost(host); }
  // The parameters selector makes the default style; `edit` changes it before the run.
  template <class Edit>
  RunReport RunWithStyle(Edit edit) {
    CallSelector(host, FilterSelectorParameters);
    StyleRecord* style = SessionStyle(host);
    EXPECT_NE(style, nullptr);
    if (style != nullptr) edit(style);
    return RunMenu(host);
  }
  const HostDocument& Doc() const { return HostDocumentOf(host); }
};

void ExpectClean(const RunReport& r) {
  EXPECT_EQ(r.strayHandles, 0);
  EXPECT_EQ(r.liveBuffers, 0);
  EXPECT_EQ(r.liveSuiteBuffers, 0);
  EXPECT_EQ(r.liveBasicBlocks, 0);
  EXPECT_EQ(r.livePorts, 0);
  EXPECT_TRUE(r.suitesBalanced);
  EXPECT_EQ(r.misuse, 0) << (r.misuseNotes.empty() ? "" : r.misuseNotes[0]);
}

uint8_t At(const HostChannel& c, int32_t x, int32_t y) { return ChannelPixel(c, x, y); }

// The flat Main face lit by the style's lights (normal towards the viewer),
// computed from the lighting model in single precision: an independent
// account of what the module should write for a fully covered face pixel.
std::array<uint8_t, 3> FlatFaceColor(const StyleRecord& style, const MaterialSetting& m) {
  const float inv255 = 1.0f / 255.0f, inv65025 = 1.0f / 65025.0f;
  const float material[3] = {float(m.color[2]), float(m.color[1]), float(m.color[0])};
  float sum[3];
  for (int c = 0; c < 3; ++c) sum[c] = material[c] * (float(style.ambientColor[c]) * inv65025);
  const double exponent = double(m.shininess) + 1.0;
  const float strength = float(m.shinStrength) * inv255;
  for (const LightSetting& light : style.lights) {
    if (light.color == 0) continue;
    const float d = light.direction[2], h = light.halfVector[2];
    const float color[3] = {light.colorRed, light.colorGreen, light.colorBlue};
    const float t = h > 0 ? float(std::pow(double(h), exponent)) * strength : 0.0f;
    const float q = d > 0 ? d * inv255 : 0.0f;
    for (int c = 0; c < 3; ++c) sum[c] += (q * material[c] + t) * color[c];
  }
  std::array<uint8_t, 3> out;
  for (int c = 0; c < 3; ++c) out[size_t(c)] = uint8_t(std::min(sum[c], 1.0f) * 255.0f);
  return out;
}

StyleRecord DefaultStyle() {
  StyleRecord style{};
  SetDefaultStyle(&style);
  return style;
}

// Gray of a color as the renderer forms it (0.30, 0.59, 0.11 in 8.24).
uint8_t GrayOf(uint32_t r, uint32_t g, uint32_t b) { return uint8_t((r * 5033165 + g * 9898557 + b * 1845494) >> 24); }

// ---- Where the relief lands ----------------------------------------------------------

TEST(RenderRun, RgbLayerGetsTheShapeAndItsBandsAndNothingBeyond) {
  const HostDocument before = Document(ModeRGBColor, LayerKind::EditableTransparency);
  Session s(before);
  ASSERT_NE(s.host, nullptr);
  const RunReport r = RunMenu(s.host);
  ASSERT_EQ(r.finalResult, 0);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.channelWrites, 4);  // three colors and the transparency
  EXPECT_GT(r.progressCalls, 0);
  ExpectClean(r);

  const HostDocument& after = s.Doc();
  int32_t changedInShape = 0, shapePixels = 0;
  for (int32_t y = 0; y < DocH; ++y) {
    for (int32_t x = 0; x < DocW; ++x) {
      const double outside = DistanceFromPath(x, y);
      const uint8_t alpha = At(after.transparency, x, y);
      if (outside > OuterSize + 1) {
        ASSERT_EQ(alpha, 0) << x << "," << y;
        for (size_t c = 0; c < 3; ++c) ASSERT_EQ(At(after.colorChannels[c], x, y), Fill) << x << "," << y;
      } else if (outside > 0 ? outside < OuterSize - 1 : DepthInside(x, y) > 1) {
        // Fully covered by the Outer Bevel, the Inner Bevel or Main, at opacity 255.
        ASSERT_EQ(alpha, 255) << x << "," << y;
      }
      if (outside == 0) {
        ++shapePixels;
        bool changed = false;
        for (size_t c = 0; c < 3; ++c) changed = changed || At(after.colorChannels[c], x, y) != Fill;
        changedInShape += changed ? 1 : 0;
      }
    }
  }
  EXPECT_EQ(changedInShape, shapePixels);

  // The flat face as the lighting model gives it.
  const StyleRecord style = DefaultStyle();
  const std::array<uint8_t, 3> face = FlatFaceColor(style, style.materials[MainElement]);
  for (size_t c = 0; c < 3; ++c) EXPECT_NEAR(At(after.colorChannels[c], FaceX, FaceY), face[c], 1) << c;
  // The top side of the Outer Bevel faces up, away from all three default
  // lights (they shine from below, positive y): darker than the face.
  EXPECT_LT(At(after.colorChannels[0], OuterBandX, OuterBandY), face[0]);
  // Bevel sides facing the red light (right) are redder than those facing the blue one (left).
  const int32_t leftX = int32_t(RectLeft - OuterSize / 2), rightX = int32_t(RectRight + OuterSize / 2);
  EXPECT_GT(At(after.colorChannels[2], leftX, FaceY), At(after.colorChannels[0], leftX, FaceY));
  EXPECT_GT(At(after.colorChannels[0], rightX, FaceY), At(after.colorChannels[2], rightX, FaceY));
}

TEST(RenderRun, FlatImageTakesTheSameColorsWhereTheReliefIsOpaque) {
  Session layer(Document(ModeRGBColor, LayerKind::EditableTransparency), "-layer");
  Session flat(Document(ModeRGBColor, LayerKind::Flat), "-flat");
  ASSERT_NE(layer.host, nullptr);
  ASSERT_NE(flat.host, nullptr);
  ASSERT_EQ(RunMenu(layer.host).finalResult, 0);
  const RunReport r = RunMenu(flat.host);
  ASSERT_EQ(r.finalResult, 0);
  EXPECT_EQ(r.channelWrites, 3);
  ExpectClean(r);
  int32_t partial = 0;
  for (int32_t y = 0; y < DocH; ++y) {
    for (int32_t x = 0; x < DocW; ++x) {
      const uint8_t alpha = At(layer.Doc().transparency, x, y);
      for (size_t c = 0; c < 3; ++c) {
        const uint8_t got = At(flat.Doc().colorChannels[c], x, y);
        if (alpha == 255) {
          ASSERT_EQ(got, At(layer.Doc().colorChannels[c], x, y)) << x << "," << y;
        } else if (alpha == 0) {
          ASSERT_EQ(got, Fill) << x << "," << y;
        } else {
          ++partial;
        }
      }
    }
  }
  EXPECT_GT(partial, 0) << "the outer rim is anti-aliased";
}

TEST(RenderRun, GrayAndDuotoneTakeTheGrayOfTheColorRelief) {
  Session rgb(Document(ModeRGBColor, LayerKind::EditableTransparency), "-rgb");
  Session gray(Document(ModeGrayScale, LayerKind::EditableTransparency), "-gray");
  Session duotone(Document(ModeDuotone, LayerKind::EditableTransparency), "-duotone");
  ASSERT_TRUE(rgb.host && gray.host && duotone.host);
  ASSERT_EQ(RunMenu(rgb.host).finalResult, 0);
  const RunReport g = RunMenu(gray.host);
  ASSERT_EQ(g.finalResult, 0);
  EXPECT_EQ(g.channelWrites, 2);
  ExpectClean(g);
  const RunReport d = RunMenu(duotone.host);
  ASSERT_EQ(d.finalResult, 0);
  ExpectClean(d);

  EXPECT_EQ(ChannelChecksum(gray.Doc().transparency), ChannelChecksum(rgb.Doc().transparency));
  EXPECT_EQ(ChannelChecksum(duotone.Doc().colorChannels[0]), ChannelChecksum(gray.Doc().colorChannels[0]));
  EXPECT_EQ(ChannelChecksum(duotone.Doc().transparency), ChannelChecksum(gray.Doc().transparency));
  int32_t compared = 0;
  for (int32_t y = 0; y < DocH; ++y) {
    for (int32_t x = 0; x < DocW; ++x) {
      if (At(rgb.Doc().transparency, x, y) != 255) continue;
      // Each element's gray is truncated on its own: up to one level per element that meets here.
      const uint8_t expected = GrayOf(At(rgb.Doc().colorChannels[0], x, y), At(rgb.Doc().colorChannels[1], x, y),
                                      At(rgb.Doc().colorChannels[2], x, y));
      ASSERT_NEAR(At(gray.Doc().colorChannels[0], x, y), expected, 2) << x << "," << y;
      ++compared;
    }
  }
  EXPECT_GT(compared, 80 * 60);
}

TEST(RenderRun, AlphaChannelsAndLayerMaskTakeTheReliefAlphaWhenTargeted) {
  HostDocument d = Document(ModeRGBColor, LayerKind::EditableTransparency);
  constexpr uint8_t MaskFill = 200, UntargetedFill = 77;
  d.alphaChannels.push_back(MakeChannel(d, "Alpha 1", 0));
  d.alphaChannels.push_back(MakeChannel(d, "Alpha 2", UntargetedFill));
  d.alphaChannels[1].targeted = false;
  d.hasLayerMask = true;
  d.layerMask = MakeChannel(d, "Layer Mask", MaskFill);
  Session s(d);
  ASSERT_NE(s.host, nullptr);
  const RunReport r = RunMenu(s.host);
  ASSERT_EQ(r.finalResult, 0);
  EXPECT_EQ(r.channelWrites, 6);
  ExpectClean(r);
  const HostDocument& after = s.Doc();
  EXPECT_EQ(ChannelChecksum(after.alphaChannels[0]), ChannelChecksum(after.transparency));
  EXPECT_EQ(ChannelChecksum(after.alphaChannels[1]), ChannelChecksum(d.alphaChannels[1]));
  for (int32_t y = 0; y < DocH; ++y) {
    for (int32_t x = 0; x < DocW; ++x) {
      const uint32_t alpha = At(after.transparency, x, y);
      ASSERT_EQ(At(after.layerMask, x, y), uint8_t(alpha + MaskFill * (255 - alpha) / 255)) << x << "," << y;
    }
  }
}

TEST(RenderRun, UntargetedChannelsKeepTheirPixelsAndTheOthersTheirColors) {
  const HostDocument all = Document(ModeRGBColor, LayerKind::EditableTransparency);
  HostDocument some = all;
  some.colorChannels[1].targeted = false;  // green
  some.alphaChannels.push_back(MakeChannel(some, "Alpha 1", 0));
  some.alphaChannels[0].targeted = false;
  Session a(all, "-all"), b(some, "-some");
  ASSERT_TRUE(a.host && b.host);
  ASSERT_EQ(RunMenu(a.host).finalResult, 0);
  const RunReport r = RunMenu(b.host);
  ASSERT_EQ(r.finalResult, 0);
  EXPECT_EQ(r.channelWrites, 3);  // red, blue and the transparency
  ExpectClean(r);
  EXPECT_EQ(ChannelChecksum(b.Doc().colorChannels[1]), ChannelChecksum(some.colorChannels[1]));
  EXPECT_EQ(ChannelChecksum(b.Doc().alphaChannels[0]), ChannelChecksum(some.alphaChannels[0]));
  // Red and blue get their own planes of the color relief, as when every channel is targeted.
  EXPECT_EQ(ChannelChecksum(b.Doc().colorChannels[0]), ChannelChecksum(a.Doc().colorChannels[0]));
  EXPECT_EQ(ChannelChecksum(b.Doc().colorChannels[2]), ChannelChecksum(a.Doc().colorChannels[2]));
  EXPECT_EQ(ChannelChecksum(b.Doc().transparency), ChannelChecksum(a.Doc().transparency));
}

TEST(RenderRun, SelectionLimitsTheResult) {
  HostDocument whole = Document(ModeRGBColor, LayerKind::EditableTransparency);
  HostDocument half = whole;
  constexpr int32_t SelectedWidth = 70;  // columns 0..69 fully selected, 70..79 half, the rest not
  half.hasSelection = true;
  half.selection = MakeChannel(half, "Selection", 0);
  for (int32_t y = 0; y < DocH; ++y)
    for (int32_t x = 0; x < SelectedWidth + 10; ++x)
      half.selection.pixels[size_t(y) * DocW + size_t(x)] = x < SelectedWidth ? 255 : 128;
  Session a(whole, "-whole"), b(half, "-half");
  ASSERT_TRUE(a.host && b.host);
  ASSERT_EQ(RunMenu(a.host).finalResult, 0);
  const RunReport r = RunMenu(b.host);
  ASSERT_EQ(r.finalResult, 0);
  ExpectClean(r);
  for (int32_t y = 0; y < DocH; ++y) {
    for (int32_t x = 0; x < DocW; ++x) {
      const uint32_t full = At(a.Doc().transparency, x, y), got = At(b.Doc().transparency, x, y);
      if (x < SelectedWidth) {
        ASSERT_EQ(got, full) << x << "," << y;
        for (size_t c = 0; c < 3; ++c)
          ASSERT_EQ(At(b.Doc().colorChannels[c], x, y), At(a.Doc().colorChannels[c], x, y)) << x << "," << y;
      } else if (x < SelectedWidth + 10) {
        ASSERT_EQ(got, full * 128 / 255) << x << "," << y;
      } else {
        ASSERT_EQ(got, 0) << x << "," << y;
        for (size_t c = 0; c < 3; ++c) ASSERT_EQ(At(b.Doc().colorChannels[c], x, y), Fill) << x << "," << y;
      }
    }
  }
}

TEST(RenderRun, SelectionMissingTheReliefChangesNothing) {
  HostDocument d = Document(ModeRGBColor, LayerKind::EditableTransparency);
  d.hasSelection = true;
  d.selection = MakeChannel(d, "Selection", 0);
  d.selection.bounds = VRect{0, 0, 5, 5};  // a corner far from the relief
  d.selection.pixels.assign(25, 255);
  Session s(d);
  ASSERT_NE(s.host, nullptr);
  const RunReport r = RunMenu(s.host);
  ASSERT_EQ(r.finalResult, 0);
  ExpectClean(r);
  EXPECT_EQ(r.documentChecksum, DocumentChecksum(d));
}

TEST(RenderRun, LockedTransparencyChangesNothing) {
  const HostDocument d = Document(ModeRGBColor, LayerKind::LockedTransparency);
  Session s(d);
  ASSERT_NE(s.host, nullptr);
  const RunReport r = RunMenu(s.host);
  EXPECT_EQ(r.finalResult, LockedTransparencyMessage);
  EXPECT_EQ(r.channelWrites, 0);
  EXPECT_EQ(r.documentChecksum, DocumentChecksum(d));
  ExpectClean(r);
}

TEST(RenderRun, CancelledDialogChangesNothing) {
  const HostDocument d = Document(ModeRGBColor, LayerKind::EditableTransparency);
  Session s(d);
  ASSERT_NE(s.host, nullptr);
  HostOptionsOf(s.host).dialogAnswer = 2;
  const RunReport r = RunMenu(s.host);
  EXPECT_EQ(r.finalResult, HostUserCanceledErr);
  EXPECT_EQ(r.dialogRequests, 1);
  EXPECT_EQ(r.channelWrites, 0);
  EXPECT_EQ(r.documentChecksum, DocumentChecksum(d));
  ExpectClean(r);
}

TEST(RenderRun, RepeatRunCompositesAgainOverTheFirst) {
  const HostDocument d = Document(ModeRGBColor, LayerKind::EditableTransparency);
  Session s(d);
  ASSERT_NE(s.host, nullptr);
  ASSERT_EQ(RunMenu(s.host).finalResult, 0);
  const HostDocument once = s.Doc();
  const RunReport r = RunRepeat(s.host);
  ASSERT_EQ(r.finalResult, 0);
  EXPECT_EQ(r.dialogRequests, 0);
  ExpectClean(r);
  // Opaque pixels are replaced by the same relief; the anti-aliased rim builds up.
  for (int32_t y = 0; y < DocH; ++y) {
    for (int32_t x = 0; x < DocW; ++x) {
      const uint32_t a = At(once.transparency, x, y);
      const uint32_t expected = a + a * (255 - a) / 255;
      ASSERT_EQ(At(s.Doc().transparency, x, y), expected) << x << "," << y;
      if (a != 255) continue;
      for (size_t c = 0; c < 3; ++c)
        ASSERT_EQ(At(s.Doc().colorChannels[c], x, y), At(once.colorChannels[c], x, y)) << x << "," << y;
    }
  }
}

// ---- Style switches -------------------------------------------------------------------

TEST(RenderRun, AntiAliasingOffGivesHardEdges) {
  Session smooth(Document(ModeRGBColor, LayerKind::EditableTransparency), "-on");
  Session hard(Document(ModeRGBColor, LayerKind::EditableTransparency), "-off");
  ASSERT_TRUE(smooth.host && hard.host);
  ASSERT_EQ(RunMenu(smooth.host).finalResult, 0);
  const RunReport r = hard.RunWithStyle([](StyleRecord* style) { style->viewFlags &= uint8_t(~AntiAliasingFlag); });
  ASSERT_EQ(r.finalResult, 0);
  ExpectClean(r);
  int32_t softPixels = 0, hardDrawn = 0;
  for (int32_t y = 0; y < DocH; ++y) {
    for (int32_t x = 0; x < DocW; ++x) {
      const uint8_t soft = At(smooth.Doc().transparency, x, y), alpha = At(hard.Doc().transparency, x, y);
      softPixels += soft != 0 && soft != 255 ? 1 : 0;
      // Rescaling a half-covered pixel to full coverage truncates to 254 at worst.
      ASSERT_TRUE(alpha == 0 || alpha >= 254) << x << "," << y << ": " << int(alpha);
      if (alpha == 0) {
        for (size_t c = 0; c < 3; ++c) ASSERT_EQ(At(hard.Doc().colorChannels[c], x, y), Fill) << x << "," << y;
      } else {
        ++hardDrawn;
      }
      if (soft == 255) {
        ASSERT_GE(alpha, 254) << x << "," << y;
      }
    }
  }
  EXPECT_GT(softPixels, 0);
  EXPECT_GT(hardDrawn, 0);
}

struct ModeResult {
  RunReport report;
  HostDocument document;
};

ModeResult RunMode(uint8_t mode, uint8_t mainOpacity = 255) {
  Session s(Document(ModeRGBColor, LayerKind::EditableTransparency), "-mode" + std::to_string(mode));
  ModeResult result;
  if (s.host == nullptr) return result;
  result.report = s.RunWithStyle([&](StyleRecord* style) {
    style->renderMode = mode;
    style->materials[MainElement].opacity = mainOpacity;  // the bevels' materials link to Main's
  });
  result.document = s.Doc();
  return result;
}

// Color and transparency of one pixel.
std::array<uint8_t, 4> Pixel(const HostDocument& d, int32_t x, int32_t y) {
  return {At(d.colorChannels[0], x, y), At(d.colorChannels[1], x, y), At(d.colorChannels[2], x, y),
          At(d.transparency, x, y)};
}

TEST(RenderRun, EveryRenderModeShowsWhatItNames) {
  const StyleRecord style = DefaultStyle();
  const MaterialSetting& m = style.materials[MainElement];
  uint64_t checksums[LastRenderMode + 1] = {};
  for (uint8_t mode = 0; mode <= LastRenderMode; ++mode) {
    SCOPED_TRACE("render mode " + std::to_string(mode));
    const ModeResult r = RunMode(mode);
    ASSERT_EQ(r.report.finalResult, 0);
    ExpectClean(r.report);
    checksums[mode] = r.report.documentChecksum;
    const std::array<uint8_t, 4> face = Pixel(r.document, FaceX, FaceY);
    const std::array<uint8_t, 4> band = Pixel(r.document, OuterBandX, OuterBandY);
    const std::array<uint8_t, 4> white{255, 255, 255, 255};
    switch (mode) {
      case RenderNormal: {
        const std::array<uint8_t, 3> lit = FlatFaceColor(style, m);
        for (size_t c = 0; c < 3; ++c) EXPECT_NEAR(face[c], lit[c], 1);
        break;
      }
      case RenderColor:
      case RenderReflectionColor:
        EXPECT_EQ(face, white);  // the white material, no reflection image
        EXPECT_EQ(band, white);
        break;
      case RenderReflection:
        EXPECT_EQ(face, (std::array<uint8_t, 4>{0, 0, 0, 255}));  // no reflection image: black
        break;
      case RenderOpacity:
      case RenderShininess:
      case RenderShinStrength:
      case RenderReflectivity: {
        const uint8_t bytes[4] = {m.opacity, m.shininess, m.shinStrength, m.reflectivity};
        const uint8_t v = bytes[mode - RenderOpacity];
        EXPECT_EQ(face, (std::array<uint8_t, 4>{v, v, v, 255}));
        EXPECT_EQ(band, face);
        break;
      }
      case RenderOuterDistance:
        EXPECT_EQ(face, white);
        // The band's distance as alpha: high next to the outline, low at its outer rim.
        EXPECT_GT(At(r.document.transparency, OuterBandX, int32_t(RectTop) - 2), 200);
        EXPECT_LT(At(r.document.transparency, OuterBandX, int32_t(RectTop - OuterSize) + 1), 40);
        EXPECT_NEAR(band[3], 128, 20);
        break;
      case RenderInnerDistance:
        EXPECT_EQ(face, white);
        EXPECT_EQ(band[3], 0);  // the Outer Bevel is left out
        EXPECT_EQ(band[0], Fill);
        EXPECT_GT(At(r.document.transparency, FaceX, int32_t(RectTop) + 1), 200);
        EXPECT_LT(At(r.document.transparency, FaceX, int32_t(RectTop + InnerSize) - 1), 60);
        break;
      default:
        break;
    }
  }
  // With an opaque material the opacity-using variants match their plain ones.
  EXPECT_EQ(checksums[10], checksums[RenderReflectionColor]);
  EXPECT_EQ(checksums[11], checksums[RenderReflection]);
  EXPECT_EQ(checksums[12], checksums[RenderColor]);
  // Modes above the last one draw as Normal.
  const ModeResult beyond = RunMode(200);
  ASSERT_EQ(beyond.report.finalResult, 0);
  EXPECT_EQ(beyond.report.documentChecksum, checksums[RenderNormal]);
}

TEST(RenderRun, OpacityVariantsOfTheColorDisplayUseTheMaterialOpacity) {
  constexpr uint8_t HalfOpacity = 128;
  const ModeResult plain = RunMode(RenderColor, HalfOpacity);
  const ModeResult withOpacity = RunMode(12, HalfOpacity);
  ASSERT_EQ(plain.report.finalResult, 0);
  ASSERT_EQ(withOpacity.report.finalResult, 0);
  EXPECT_EQ(Pixel(plain.document, FaceX, FaceY), (std::array<uint8_t, 4>{255, 255, 255, 255}));
  EXPECT_EQ(Pixel(withOpacity.document, FaceX, FaceY), (std::array<uint8_t, 4>{255, 255, 255, HalfOpacity}));
}

// ---- Allocation failures ---------------------------------------------------------------

// Fails every allocation of a menu run in turn, each in a fresh session: a run
// either fails with -108 and leaves the document exactly as it was (or, when
// only recording the style at the finish failed, as written), or does without
// the allocation and leaves exactly what a run without failures leaves.
void SweepDocument(const HostDocument& document) {
  const std::string folder = StageFolder();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::string error;
  const std::string module = StageModuleCopy(BF_MODULE_PATH, folder.c_str(), &error);
  ASSERT_FALSE(module.empty()) << error;
  std::vector<FaultSweepStep> steps;
  ASSERT_TRUE(RunFaultSweep(module.c_str(), document, HostOptions{}, false, &steps, &error, [&] {
    std::filesystem::remove(std::filesystem::path(folder) / "default.dfs", ignored);
  })) << error;
  ASSERT_FALSE(steps.empty());
  const RunReport& clean = steps[0].report;
  ASSERT_EQ(clean.finalResult, 0);
  ASSERT_NE(clean.documentChecksum, DocumentChecksum(document));
  ExpectClean(clean);
  const uint64_t untouched = DocumentChecksum(document);
  int32_t failedRuns = 0;
  for (size_t i = 1; i < steps.size(); ++i) {
    const RunReport& r = steps[i].report;
    SCOPED_TRACE("allocation " + std::to_string(steps[i].failAt) + ": " + SummarizeReport(r));
    EXPECT_EQ(r.failedAllocations, 1);
    if (r.finalResult != 0) {
      ++failedRuns;
      EXPECT_EQ(r.finalResult, HostMemFullErr);
      EXPECT_TRUE(r.messages.empty());
      // Recording the style at the finish comes after the result is written:
      // a failure there leaves the written document.
      const bool failedAtFinish = !r.calls.empty() && r.calls.back().selector == FilterSelectorFinish;
      EXPECT_EQ(r.documentChecksum, failedAtFinish ? clean.documentChecksum : untouched);
    } else {
      EXPECT_EQ(r.documentChecksum, clean.documentChecksum);
    }
    ExpectClean(r);
  }
  EXPECT_GT(failedRuns, 0);
}

TEST(RenderRunFaults, EveryAllocationOfARunOnALayer) {
  SweepDocument(Document(ModeRGBColor, LayerKind::EditableTransparency));
}

TEST(RenderRunFaults, EveryAllocationOfARunWithSelectionAlphaAndMask) {
  HostDocument d = Document(ModeGrayScale, LayerKind::EditableTransparency);
  d.hasSelection = true;
  d.selection = MakeChannel(d, "Selection", 255);
  d.alphaChannels.push_back(MakeChannel(d, "Alpha 1", 0));
  d.hasLayerMask = true;
  d.layerMask = MakeChannel(d, "Layer Mask", 0);
  SweepDocument(d);
}

}  // namespace

#endif
