// Every glyph of several real fonts, read as path records and traced: no
// glyph may be reported invalid, and the traced outlines must cover exactly
// the even-odd area of the contours that were read.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>

#include "tests/geometry/PathTestSupport.h"

using namespace pathtest;

namespace {
constexpr int32_t DocSize = 1000;
constexpr double EmPixels = 700;

struct GlyphCheck {
  long glyphs = 0;
  long empty = 0;
  long failures = 0;
  std::string firstFailures;
};

void CheckGlyph(FontPaths& font, unsigned glyph, GlyphCheck& check, const std::string& name, int32_t docSize = DocSize,
                double emPixels = EmPixels) {
  RecordWriter w(docSize, docSize);
  font.AppendGlyph(w, glyph, emPixels, 0.15 * docSize, 0.8 * docSize);
  ++check.glyphs;
  if (w.bytes().empty()) {
    ++check.empty;
    return;
  }
  const TraceOutcome t = TraceRecords(w.bytes(), docSize, docSize);
  std::string problem;
  if (!t.read || !t.built) {
    problem = "not traced, code " + std::to_string(t.result);
  } else {
    const double oracle = EvenOddAreaPixels(t.input, docSize, docSize);
    const double scale = PixelsPerSquareUnit(docSize, docSize);
    const double outer = SignedArea(t.outer) * scale;
    const double inner = -SignedArea(t.inner) * scale;
    const double tolerance = oracle * 1e-3 + 1;
    if (std::fabs(outer - oracle) > tolerance || std::fabs(inner - oracle) > tolerance)
      problem = "area outer " + std::to_string(outer) + " inner " + std::to_string(inner) + " oracle " + std::to_string(oracle);
  }
  if (!problem.empty()) {
    ++check.failures;
    if (check.failures <= 10) check.firstFailures += name + " glyph " + std::to_string(glyph) + ": " + problem + "\n";
  }
}
}  // namespace

class GlyphOutlines : public ::testing::TestWithParam<std::string> {};

TEST_P(GlyphOutlines, EveryGlyphTracesWithTheEvenOddArea) {
  const std::string& file = GetParam();
  FontPaths font(file);
  ASSERT_TRUE(font.ok()) << file;
  GlyphCheck check;
  for (long g = 0; g < font.glyphCount(); ++g) CheckGlyph(font, unsigned(g), check, file);
  std::printf("%s: %ld glyphs, %ld empty, %ld failed\n", file.c_str(), check.glyphs, check.empty, check.failures);
  EXPECT_GT(check.glyphs - check.empty, 500);
  EXPECT_EQ(check.failures, 0) << check.firstFailures;
}

INSTANTIATE_TEST_SUITE_P(Fonts, GlyphOutlines, ::testing::ValuesIn(TestFontFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param.substr(info.param.rfind('/') + 1);
                           name = name.substr(0, name.find('.'));
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Glyphs a few pixels tall on a large document: few vertices, many of them
// close together, crossings of nearly parallel chords.
TEST(GlyphFonts, SmallGlyphsOnALargeDocument) {
  const std::vector<std::string> files = TestFontFiles();
  ASSERT_FALSE(files.empty());
  FontPaths font(files.back());
  GlyphCheck check;
  for (long g = 0; g < font.glyphCount(); ++g) CheckGlyph(font, unsigned(g), check, files.back(), 5000, 7);
  EXPECT_EQ(check.failures, 0) << check.firstFailures;
}

TEST(GlyphFonts, TestFontsAreInstalled) {
  EXPECT_GE(TestFontFiles().size(), 2u) << "install fonts-dejavu-core and fonts-liberation";
}
