// The preview's portable rules: zoom labels, the source rectangle under zoom
// and hand scrolling, and the tool cursors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "resources/ResourceIds.h"
#include "ui/PlacementFrame.h"
#include "ui/PreviewGeometry.h"
#include "ui/PreviewTools.h"
#include "ui/PreviewZoom.h"

namespace {
bool InsideDocument(const VRect& s, int32_t width, int32_t height) {
  return s.left >= 0 && s.top >= 0 && s.right <= width && s.bottom <= height && s.left < s.right && s.top < s.bottom;
}
}  // namespace

// Every label reads back as its factor in percent to two decimals, with no
// trailing zero or separator left.
TEST(PreviewZoom, LabelsReadBackAsTheirFactor) {
  char label[16];
  for (int32_t step = FirstZoomStep; step <= LastZoomStep; ++step) {
    FormatZoomLabel(step, label, sizeof label);
    const std::string text = label;
    ASSERT_EQ(text.back(), '%');
    const std::string number = text.substr(0, text.size() - 1);
    EXPECT_NE(number.back(), '.');
    if (number.find('.') != std::string::npos) {
      EXPECT_NE(number.back(), '0') << text;
    }
    EXPECT_NEAR(std::strtod(number.c_str(), nullptr), ZoomFactor(step) * 100.0, 0.005) << text;
  }
  FormatZoomLabel(1, label, sizeof label);
  EXPECT_STREQ(label, "8.33%");
  FormatZoomLabel(DefaultZoomStep, label, sizeof label);
  EXPECT_STREQ(label, "100%");
  FormatZoomLabel(15, label, sizeof label);
  EXPECT_STREQ(label, "1200%");
  EXPECT_EQ(ZoomFactor(-3), ZoomFactor(FirstZoomStep));
}

// Zooming from any step to any other keeps the source inside the document,
// fills the preview area, and keeps the centre document point in place
// unless the document's edge stops it.
TEST(PreviewGeometry, ZoomKeepsTheCentrePointAndTheDocument) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 2000; ++trial) {
    const int32_t docWidth = 1 + int32_t(random() % 3000), docHeight = 1 + int32_t(random() % 3000);
    const int32_t clientWidth = 50 + int32_t(random() % 600), clientHeight = 50 + int32_t(random() % 600);
    const float from = ZoomFactor(int32_t(random() % ZoomStepCount)), to = ZoomFactor(int32_t(random() % ZoomStepCount));
    const int32_t cx = int32_t(random() % uint32_t(docWidth)), cy = int32_t(random() % uint32_t(docHeight));
    const PreviewGeometry before = FitPreview(from, clientWidth, clientHeight, docWidth, docHeight, VRect{cy, cx, cy, cx});
    const PreviewGeometry after = FitPreview(to, clientWidth, clientHeight, docWidth, docHeight, before.source);
    for (const PreviewGeometry& g : {before, after}) ASSERT_TRUE(InsideDocument(g.source, docWidth, docHeight));
    EXPECT_LE(after.width, clientWidth);
    EXPECT_GE((after.source.right - after.source.left + 1) * double(to), after.width - 1.0);
    const auto keeps = [](int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t extent) {
      return b0 == 0 || b1 == extent || std::abs((a0 + a1) - (b0 + b1)) <= 2;
    };
    EXPECT_TRUE(keeps(before.source.left, before.source.right, after.source.left, after.source.right, docWidth));
    EXPECT_TRUE(keeps(before.source.top, before.source.bottom, after.source.top, after.source.bottom, docHeight));
  }
}

// Random hand drags never take the source out of the document nor change its
// size, a long drag reaches each edge exactly, and a document that fits the
// view does not scroll.
TEST(PreviewGeometry, HandScrollingStaysInTheDocumentAndReachesItsEdges) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 200; ++trial) {
    const int32_t docWidth = 100 + int32_t(random() % 2000), docHeight = 100 + int32_t(random() % 2000);
    const float zoom = ZoomFactor(int32_t(random() % ZoomStepCount));
    PreviewGeometry g = FitPreview(zoom, 400, 300, docWidth, docHeight, VRect{0, 0, docHeight, docWidth});
    const int32_t width = g.source.right - g.source.left, height = g.source.bottom - g.source.top;
    const bool scrollsX = zoom * docWidth > g.width, scrollsY = zoom * docHeight > g.height;
    for (int drag = 0; drag < 50; ++drag) {
      const VRect old = g.source;
      const int32_t moved = ScrollPreview(&g, zoom, int32_t(random() % 801) - 400, int32_t(random() % 801) - 400,
                                          docWidth, docHeight);
      ASSERT_TRUE(InsideDocument(g.source, docWidth, docHeight));
      EXPECT_EQ(g.source.right - g.source.left, width);
      EXPECT_EQ(g.source.bottom - g.source.top, height);
      EXPECT_EQ(moved != 0, old.left != g.source.left || old.top != g.source.top);
      if (!scrollsX) {
        EXPECT_EQ(g.source.left, old.left);
      }
      if (!scrollsY) {
        EXPECT_EQ(g.source.top, old.top);
      }
    }
    ScrollPreview(&g, zoom, 1 << 20, 1 << 20, docWidth, docHeight);
    if (scrollsX) {
      EXPECT_EQ(g.source.left, 0);
    }
    if (scrollsY) {
      EXPECT_EQ(g.source.top, 0);
    }
    ScrollPreview(&g, zoom, -(1 << 20), -(1 << 20), docWidth, docHeight);
    if (scrollsX) {
      EXPECT_EQ(g.source.right, docWidth);
    }
    if (scrollsY) {
      EXPECT_EQ(g.source.bottom, docHeight);
    }
  }
}

TEST(PreviewTools, SpaceBarAndHitCodesChooseTheCursor) {
  EXPECT_EQ(ActivePreviewTool(MapEditTool, true), HandTool);
  EXPECT_EQ(ActivePreviewTool(MapEditTool, false), MapEditTool);
  EXPECT_EQ(PreviewCursor(HandTool, false, HitInside), BF_CURSOR_HAND);
  EXPECT_EQ(PreviewCursor(MapEditTool, false, HitInside), 0);
  EXPECT_EQ(PreviewCursor(MapEditTool, true, HitInside), BF_CURSOR_MOVE);
  EXPECT_EQ(PreviewCursor(MapEditTool, true, HitOutside), BF_CURSOR_ROTATE);
  for (uint32_t code : HandleCodes) EXPECT_EQ(PreviewCursor(MapEditTool, true, code), BF_CURSOR_RESIZE);
}
