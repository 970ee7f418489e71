#include "cli/TextPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <unistd.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BBOX_H

namespace {

const char* FontFile() {
  static const char* candidates[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                     "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"};
  for (const char* path : candidates)
    if (access(path, R_OK) == 0) return path;
  return nullptr;
}

#define REQUIRE_FONT()                                             \
  const char* font = FontFile();                                   \
  if (font == nullptr) GTEST_SKIP() << "no outline font installed"

struct Box {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  void Add(double x, double y) {
    x0 = std::fmin(x0, x);
    x1 = std::fmax(x1, x);
    y0 = std::fmin(y0, y);
    y1 = std::fmax(y1, y);
  }
};

// Exact extent of a cubic in one coordinate: the end points and the roots of
// the derivative inside (0, 1).
void CubicExtent(double p0, double p1, double p2, double p3, double* low, double* high) {
  auto at = [&](double t) {
    const double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
  };
  *low = std::fmin(p0, p3);
  *high = std::fmax(p0, p3);
  const double a = -p0 + 3 * p1 - 3 * p2 + p3, b = 2 * (p0 - 2 * p1 + p2), c = p1 - p0;  // derivative / 3
  double roots[2];
  int count = 0;
  if (std::fabs(a) < 1e-12) {
    if (std::fabs(b) > 1e-12) roots[count++] = -c / b;
  } else {
    const double d = b * b - 4 * a * c;
    if (d >= 0) {
      roots[count++] = (-b + std::sqrt(d)) / (2 * a);
      roots[count++] = (-b - std::sqrt(d)) / (2 * a);
    }
  }
  for (int i = 0; i < count; ++i) {
    if (roots[i] > 0 && roots[i] < 1) {
      *low = std::fmin(*low, at(roots[i]));
      *high = std::fmax(*high, at(roots[i]));
    }
  }
}

Box CurveBox(const PathModel& path) {
  Box box;
  for (const Subpath& s : path.subpaths) {
    const size_t n = s.knots.size();
    for (size_t i = 0; i < n; ++i) {
      const PathKnot& a = s.knots[i];
      const PathKnot& b = s.knots[(i + 1) % n];
      double x0, x1, y0, y1;
      CubicExtent(a.anchorX, a.outX, b.inX, b.anchorX, &x0, &x1);
      CubicExtent(a.anchorY, a.outY, b.inY, b.anchorY, &y0, &y1);
      box.Add(x0, y0);
      box.Add(x1, y1);
    }
  }
  return box;
}

// FreeType's own view of one glyph at a size: exact outline box, contour
// count and advance, in pixels (y up).
struct GlyphFacts {
  FT_BBox box;
  int contours;
  double advance;
};

GlyphFacts LoadFacts(const char* font, uint32_t character, double pixelSize) {
  FT_Library library;
  FT_Face face;
  GlyphFacts facts{};
  EXPECT_EQ(FT_Init_FreeType(&library), 0);
  EXPECT_EQ(FT_New_Face(library, font, 0, &face), 0);
  EXPECT_EQ(FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(pixelSize * 64), 72, 72), 0);
  EXPECT_EQ(FT_Load_Glyph(face, FT_Get_Char_Index(face, character), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP), 0);
  FT_Outline_Get_BBox(&face->glyph->outline, &facts.box);
  facts.contours = face->glyph->outline.n_contours;
  facts.advance = face->glyph->advance.x / 64.0;
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return facts;
}

TextPathResult Set(const std::string& text, const char* font, double size, double x, double y, bool kerning = true) {
  TextPathOptions options;
  options.fontFile = font;
  options.pixelSize = size;
  options.originX = x;
  options.originY = y;
  options.kerning = kerning;
  TextPathResult result;
  std::string error;
  EXPECT_TRUE(SetTextPath(text, options, result, error)) << error;
  return result;
}

// FreeType's box is exact up to its 26.6 rounding.
constexpr double BoxTolerance = 1.0 / 64;

}  // namespace

TEST(TextPath, GlyphOutlineMatchesFreeTypesBoxAndContours) {
  REQUIRE_FONT();
  for (const uint32_t character : {'O', 'g', 'S', '8', 'x'}) {
    const GlyphFacts facts = LoadFacts(font, character, 100);
    const TextPathResult r = Set(std::string(1, static_cast<char>(character)), font, 100, 10, 200);
    ASSERT_EQ(static_cast<int>(r.path.subpaths.size()), facts.contours) << static_cast<char>(character);
    for (const Subpath& s : r.path.subpaths) EXPECT_TRUE(s.closed);
    const Box box = CurveBox(r.path);
    EXPECT_NEAR(box.x0, 10 + facts.box.xMin / 64.0, BoxTolerance) << static_cast<char>(character);
    EXPECT_NEAR(box.x1, 10 + facts.box.xMax / 64.0, BoxTolerance);
    EXPECT_NEAR(box.y0, 200 - facts.box.yMax / 64.0, BoxTolerance);  // y runs downwards in the document
    EXPECT_NEAR(box.y1, 200 - facts.box.yMin / 64.0, BoxTolerance);
    EXPECT_NEAR(r.endX, 10 + facts.advance, 1e-9);
  }
}

TEST(TextPath, RoundShapesHaveLinkedSmoothNodesAndNoDuplicateClosingKnot) {
  REQUIRE_FONT();
  const TextPathResult r = Set("o", font, 64, 0, 64);
  int linked = 0, knots = 0;
  for (const Subpath& s : r.path.subpaths) {
    for (size_t i = 0; i < s.knots.size(); ++i) {
      const PathKnot& a = s.knots[i];
      const PathKnot& b = s.knots[(i + 1) % s.knots.size()];
      EXPECT_FALSE(a.anchorX == b.anchorX && a.anchorY == b.anchorY) << "zero-length segment";
      linked += a.linked;
      ++knots;
    }
  }
  EXPECT_GT(linked, knots / 2);
}

TEST(TextPath, KerningAndLinesMoveGlyphsByFreeTypesAmounts) {
  REQUIRE_FONT();
  FT_Library library;
  FT_Face face;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  ASSERT_EQ(FT_New_Face(library, font, 0, &face), 0);
  ASSERT_EQ(FT_Set_Char_Size(face, 0, 80 * 64, 72, 72), 0);
  FT_Vector kern{0, 0};
  if (FT_HAS_KERNING(face))
    FT_Get_Kerning(face, FT_Get_Char_Index(face, 'A'), FT_Get_Char_Index(face, 'V'), FT_KERNING_UNFITTED, &kern);
  const double lineHeight = face->size->metrics.height / 64.0;
  FT_Done_Face(face);
  FT_Done_FreeType(library);

  const TextPathResult kerned = Set("AV", font, 80, 0, 100, true);
  const TextPathResult plain = Set("AV", font, 80, 0, 100, false);
  ASSERT_EQ(kerned.path.subpaths.size(), plain.path.subpaths.size());
  const Subpath& lastKerned = kerned.path.subpaths.back();
  const Subpath& lastPlain = plain.path.subpaths.back();
  EXPECT_NEAR(lastKerned.knots[0].anchorX - lastPlain.knots[0].anchorX, kern.x / 64.0, 1e-9);
  EXPECT_NEAR(kerned.endX - plain.endX, kern.x / 64.0, 1e-9);

  const TextPathResult lines = Set("A\nA", font, 80, 5, 100);
  const size_t half = lines.path.subpaths.size() / 2;
  ASSERT_EQ(half * 2, lines.path.subpaths.size());
  for (size_t k = 0; k < lines.path.subpaths[0].knots.size(); ++k) {
    const PathKnot& top = lines.path.subpaths[0].knots[k];
    const PathKnot& bottom = lines.path.subpaths[half].knots[k];
    EXPECT_DOUBLE_EQ(bottom.anchorX, top.anchorX);
    EXPECT_NEAR(bottom.anchorY - top.anchorY, lineHeight, 1e-9);
  }
}

TEST(TextPath, SpacesAndMissingGlyphs) {
  REQUIRE_FONT();
  const TextPathResult space = Set(" ", font, 50, 0, 50);
  EXPECT_TRUE(space.path.subpaths.empty());
  EXPECT_GT(space.endX, 0);
  const TextPathResult missing = Set("\xEE\x80\x80", font, 50, 0, 50);  // U+E000, private use
  ASSERT_EQ(missing.warnings.size(), 1u);
  EXPECT_NE(missing.warnings[0].find("U+E000"), std::string::npos);
}

TEST(TextPath, BadInputIsRefusedWithAMessage) {
  REQUIRE_FONT();
  TextPathOptions options;
  options.fontFile = font;
  TextPathResult result;
  std::string error;
  for (const double size : {0.0, -5.0, std::nan(""), 1e6}) {
    options.pixelSize = size;
    EXPECT_FALSE(SetTextPath("A", options, result, error)) << size;
    EXPECT_NE(error.find("font size"), std::string::npos);
  }
  options.pixelSize = 20;
  EXPECT_FALSE(SetTextPath("A\xC3", options, result, error));
  EXPECT_NE(error.find("UTF-8"), std::string::npos);

  options.fontFile = "/nonexistent/font.ttf";
  EXPECT_FALSE(SetTextPath("A", options, result, error));
  EXPECT_NE(error.find("/nonexistent/font.ttf"), std::string::npos);

  char name[] = "/tmp/bf_cli_fontXXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  const char junk[] = "this is not a font at all, just some text in a file";
  ASSERT_EQ(write(fd, junk, sizeof junk), static_cast<ssize_t>(sizeof junk));
  close(fd);
  options.fontFile = name;
  EXPECT_FALSE(SetTextPath("A", options, result, error));
  EXPECT_NE(error.find("not a font format"), std::string::npos) << error;
  unlink(name);
}

TEST(Utf8, DecodesValidAndRejectsMalformedSequences) {
  std::vector<uint32_t> code;
  size_t bad = 0;
  ASSERT_TRUE(DecodeUtf8("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", &code, &bad));
  EXPECT_EQ(code, (std::vector<uint32_t>{'A', 0xE9, 0x20AC, 0x1F600}));
  struct Case {
    const char* text;
    size_t offset;
  } cases[] = {{"ab\x80", 2}, {"\xC0\x80", 0}, {"x\xED\xA0\x80", 1}, {"\xF4\x90\x80\x80", 0},
               {"\xE2\x82", 0}, {"\xF8\x88\x80\x80\x80", 0}, {"\xC3\x28", 0}};
  for (const Case& c : cases) {
    code.clear();
    EXPECT_FALSE(DecodeUtf8(c.text, &code, &bad)) << c.text;
    EXPECT_EQ(bad, c.offset) << c.text;
  }
}
