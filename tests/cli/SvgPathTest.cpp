#include "cli/SvgPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

SvgReadResult Read(const std::string& svg, int32_t width = 0, int32_t height = 0, bool fit = true) {
  SvgReadOptions options;
  options.documentWidth = width;
  options.documentHeight = height;
  options.fitToDocument = fit;
  SvgReadResult result;
  std::string error;
  EXPECT_TRUE(ReadSvgText(svg, options, result, error)) << error << "\n" << svg;
  return result;
}

std::string ReadError(const std::string& svg) {
  SvgReadResult result;
  std::string error;
  EXPECT_FALSE(ReadSvgText(svg, SvgReadOptions(), result, error)) << svg;
  EXPECT_FALSE(error.empty());
  return error;
}

std::vector<std::pair<double, double>> Anchors(const SvgReadResult& r) {
  std::vector<std::pair<double, double>> points;
  for (const Subpath& s : r.path.subpaths)
    for (const PathKnot& k : s.knots) points.emplace_back(k.anchorX, k.anchorY);
  return points;
}

}  // namespace

TEST(SvgDocument, SizeComesFromWidthHeightOrViewBox) {
  SvgReadResult r = Read(R"~(<svg xmlns="http://www.w3.org/2000/svg" width="120" height="80"><path d="M0 0 L10 0 L10 10 Z"/></svg>)~");
  EXPECT_EQ(r.documentWidth, 120);
  EXPECT_EQ(r.documentHeight, 80);
  ASSERT_EQ(r.path.subpaths.size(), 1u);
  EXPECT_EQ(r.path.subpaths[0].knots.size(), 3u);

  r = Read(R"~(<svg viewBox="0 0 300 150"><rect width="300" height="150"/></svg>)~");
  EXPECT_EQ(r.documentWidth, 300);
  EXPECT_EQ(r.documentHeight, 150);

  // Units: one inch is 96 pixels; the viewBox maps onto that size.
  r = Read(R"~(<svg width="1in" height="0.5in" viewBox="0 0 10 5"><rect x="5" y="0" width="5" height="5"/></svg>)~");
  EXPECT_EQ(r.documentWidth, 96);
  EXPECT_EQ(r.documentHeight, 48);
  EXPECT_EQ(Anchors(r)[0].first, 48);

  // Only a width: the height follows the viewBox's proportions.
  r = Read(R"~(<svg width="200" viewBox="0 0 100 50"/>)~");
  EXPECT_EQ(r.documentHeight, 100);
  EXPECT_TRUE(r.path.subpaths.empty());

  EXPECT_NE(ReadError(R"~(<svg><path d="M0 0 L1 1"/></svg>)~").find("no size"), std::string::npos);
  EXPECT_NE(ReadError(R"~(<svg width="100%" height="100%"/>)~").find("no size"), std::string::npos);
  // Given a document size, no declared size is needed.
  r = Read(R"~(<svg><path d="M0 0 L1 1"/></svg>)~", 50, 40);
  EXPECT_EQ(r.documentWidth, 50);
  EXPECT_EQ(Anchors(r)[1].first, 1);
}

TEST(SvgDocument, ViewportFitsTheGivenDocumentAsAspectRatioAsks) {
  const char* shape = R"~(<rect x="0" y="0" width="100" height="50"/>)~";
  auto corners = [&](const std::string& root, int32_t w, int32_t h, bool fit = true) {
    return Anchors(Read(root + shape + "</svg>", w, h, fit));
  };
  // Meet, centred: 100 x 50 into 400 x 400 scales by 4, 100 pixels of margin above and below.
  auto p = corners(R"~(<svg viewBox="0 0 100 50">)~", 400, 400);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0], (std::pair<double, double>{0, 100}));
  EXPECT_EQ(p[2], (std::pair<double, double>{400, 300}));
  p = corners(R"~(<svg viewBox="0 0 100 50" preserveAspectRatio="none">)~", 400, 400);
  EXPECT_EQ(p[2], (std::pair<double, double>{400, 400}));
  p = corners(R"~(<svg viewBox="0 0 100 50" preserveAspectRatio="xMaxYMax slice">)~", 400, 400);
  EXPECT_EQ(p[0], (std::pair<double, double>{-400, 0}));
  p = corners(R"~(<svg viewBox="50 0 100 50" preserveAspectRatio="xMinYMin meet">)~", 200, 200);
  EXPECT_EQ(p[0], (std::pair<double, double>{-100, 0}));
  // Without a viewBox the declared size is what is fitted.
  p = corners(R"~(<svg width="100" height="50">)~", 200, 100);
  EXPECT_EQ(p[2], (std::pair<double, double>{200, 100}));
  // Not fitted: CSS pixels are document pixels.
  p = corners(R"~(<svg width="100" height="50">)~", 200, 100, false);
  EXPECT_EQ(p[2], (std::pair<double, double>{100, 50}));
  EXPECT_NE(ReadError(R"~(<svg viewBox="0 0 1 1" preserveAspectRatio="middle"/>)~").find("preserveAspectRatio"),
            std::string::npos);
}

TEST(SvgDocument, GroupTransformsComposeWithTheElementsOwn) {
  const SvgReadResult r = Read(R"~(<svg width="100" height="100">
      <g transform="translate(10 0)">
        <g transform="scale(2)">
          <line x1="1" y1="1" x2="3" y2="1" transform="rotate(90 1 1)"/>
        </g>
        <line x1="0" y1="0" x2="1" y2="0"/>
      </g>
      <line x1="0" y1="0" x2="1" y2="0"/>
    </svg>)~");
  const auto p = Anchors(r);
  ASSERT_EQ(p.size(), 6u);
  // rotate about (1,1) turns (3,1) into (1,3); then scale 2, then shift 10.
  EXPECT_NEAR(p[0].first, 12, 1e-12);
  EXPECT_NEAR(p[0].second, 2, 1e-12);
  EXPECT_NEAR(p[1].first, 12, 1e-12);
  EXPECT_NEAR(p[1].second, 6, 1e-12);
  EXPECT_EQ(p[2].first, 10);  // the sibling sees only the outer group's shift
  EXPECT_EQ(p[4].first, 0);   // and outside the group nothing applies
  EXPECT_FALSE(r.path.subpaths[0].closed);
}

TEST(SvgDocument, ShapesBecomeTheirOutlines) {
  const SvgReadResult r = Read(R"~(<svg width="200" height="200">
      <rect x="10" y="20" width="100" height="50" rx="10"/>
      <circle cx="100" cy="100" r="30"/>
      <ellipse cx="50" cy="150" rx="40" ry="20"/>
      <polygon points="0,0 10,0 10,10"/>
      <polyline points="0 0, 5 5 , 10 0"/>
      <rect width="0" height="10"/><circle r="0"/>
    </svg>)~");
  ASSERT_EQ(r.path.subpaths.size(), 5u);
  const Subpath& rounded = r.path.subpaths[0];
  EXPECT_TRUE(rounded.closed);
  EXPECT_EQ(rounded.knots.size(), 8u);  // two knots per side
  // ry follows rx; the corner curves leave the straight sides smoothly.
  EXPECT_EQ(rounded.knots[0].anchorX, 20);
  EXPECT_EQ(rounded.knots[0].anchorY, 20);
  EXPECT_EQ(rounded.knots[2].anchorY, 30);
  int linked = 0;
  for (const PathKnot& k : rounded.knots) linked += k.linked;
  EXPECT_EQ(linked, 0);  // one control of each knot sits on its anchor

  const Subpath& circle = r.path.subpaths[1];
  EXPECT_TRUE(circle.closed);
  ASSERT_EQ(circle.knots.size(), 4u);
  for (const PathKnot& k : circle.knots) {
    EXPECT_TRUE(k.linked);
    EXPECT_NEAR(std::hypot(k.anchorX - 100, k.anchorY - 100), 30, 1e-12);
  }
  // Starts at the rightmost point and turns towards +y.
  EXPECT_EQ(circle.knots[0].anchorX, 130);
  EXPECT_NEAR(circle.knots[1].anchorY, 130, 1e-12);
  EXPECT_NEAR(r.path.subpaths[2].knots[1].anchorY, 170, 1e-12);
  EXPECT_TRUE(r.path.subpaths[3].closed);
  EXPECT_EQ(r.path.subpaths[3].knots.size(), 3u);
  EXPECT_FALSE(r.path.subpaths[4].closed);
  EXPECT_EQ(r.path.subpaths[4].knots.size(), 3u);

  // Rounded corners are limited to half the side; one radius serves both.
  const SvgReadResult pill = Read(R"~(<svg width="100" height="100"><rect width="100" height="20" rx="5" ry="50"/></svg>)~");
  ASSERT_EQ(pill.path.subpaths.size(), 1u);
  for (const PathKnot& k : pill.path.subpaths[0].knots) {
    EXPECT_GE(k.anchorY, 0);
    EXPECT_LE(k.anchorY, 20);
  }
  EXPECT_EQ(pill.path.subpaths[0].knots.size(), 6u);  // the short sides vanish, the long ones remain
  const SvgReadResult oval = Read(R"~(<svg width="100" height="100"><rect width="100" height="20" ry="50"/></svg>)~");
  EXPECT_EQ(oval.path.subpaths[0].knots.size(), 4u);  // rx follows ry: every side vanishes
}

TEST(SvgDocument, SkipsDefinitionsHiddenAndUnsupportedContent) {
  const SvgReadResult r = Read(R"~(<?xml version="1.0" encoding="UTF-8"?>
    <!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" "http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd" [
      <!ENTITY thing "<not an element>">
    ]>
    <!-- a comment with <path d="M0 0 L 1 1"/> inside -->
    <svg:svg xmlns:svg="http://www.w3.org/2000/svg" width="10" height="10">
      <svg:defs><svg:path id="p" d="M0 0 L5 5"/></svg:defs>
      <svg:clipPath><svg:rect width="1" height="1"/></svg:clipPath>
      <svg:g display="none"><svg:path d="M0 0 L5 5"/></svg:g>
      <svg:path style="fill:red; display : none" d="M0 0 L5 5"/>
      <svg:use href="#p"/>
      <svg:text x="1" y="1">Hello<![CDATA[ <path d="M0 0 L1 1"/> ]]></svg:text>
      <svg:path d="M1&#x20;1&#32;L2&#9;2 L 3 3"><svg:title>the one shape</svg:title></svg:path>
    </svg:svg>)~");
  ASSERT_EQ(r.path.subpaths.size(), 1u);
  EXPECT_EQ(r.path.subpaths[0].knots.size(), 3u);
  ASSERT_EQ(r.warnings.size(), 2u);
  EXPECT_NE(r.warnings[0].find("<svg:use>"), std::string::npos) << r.warnings[0];
  EXPECT_NE(r.warnings[0].find("line 11"), std::string::npos) << r.warnings[0];
}

TEST(SvgDocument, NestedSvgEstablishesAViewport) {
  const SvgReadResult r = Read(R"~(<svg width="200" height="200">
      <svg x="100" y="50" width="50" height="50" viewBox="0 0 10 10"><rect width="10" height="10"/></svg>
    </svg>)~");
  const auto p = Anchors(r);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0], (std::pair<double, double>{100, 50}));
  EXPECT_EQ(p[2], (std::pair<double, double>{150, 100}));
}

TEST(SvgDocument, PercentagesReferToTheViewport) {
  const SvgReadResult r = Read(R"~(<svg width="200" height="100"><rect x="10%" y="50%" width="50%" height="25%"/>
      <circle cx="0" cy="0" r="10%"/></svg>)~");
  const auto p = Anchors(r);
  EXPECT_EQ(p[0], (std::pair<double, double>{20, 50}));
  EXPECT_EQ(p[2], (std::pair<double, double>{120, 75}));
  EXPECT_NEAR(p[4].first, 0.1 * std::sqrt((200.0 * 200 + 100 * 100) / 2), 1e-9);
}

TEST(SvgDocument, MalformedInputNamesTheLineAndElement) {
  struct Case {
    const char* svg;
    const char* expected;
  } cases[] = {
      {"", "no element"},
      {"<svg width='1' height='1'>", "ends inside <svg>"},
      {"<svg width='1' height='1'><g></svg>", "</svg> does not match <g>"},
      {"<html/>", "root element is <html>"},
      {"<svg width='1' height='1'/><svg/>", "follows the end of the root"},
      {"<svg width='1' height='1'>\n\n<path d='M 0 0 L'/></svg>", "line 3: <path>: d: expected a number"},
      {"<svg width='1' height='1'><path d='M0 0' d='M1 1'/></svg>", "given twice"},
      {"<svg width='1' height='1'><path d='M0 0 &bogus; L1 1'/></svg>", "&bogus;"},
      {"<svg width='1' height='1'><path d='M0 0 & L1 1'/></svg>", "'&'"},
      {"<svg width='1' height='1'><path d=M0/></svg>", "not quoted"},
      {"<svg width='1' height='1'><rect width='-1' height='1'/></svg>", "<rect>: width must not be negative"},
      {"<svg width='1' height='1'><rect width='1px2' height='1'/></svg>", "not a length"},
      {"<svg width='1' height='1'><circle r='-2'/></svg>", "<circle>: r must not be negative"},
      {"<svg width='1' height='1'><polygon points='1 2 3'/></svg>", "odd number"},
      {"<svg width='1' height='1'><g transform='rotate(1 2)'/></svg>", "<g>: transform"},
      {"<svg width='1' height='1' viewBox='0 0 0 1'/>", "viewBox width and height must be positive"},
      {"<svg width='1' height='1' viewBox='0 0 1'/>", "four numbers"},
      {"<svg width='0' height='1'/>", "width must be positive"},
      {"<svg width='40000' height='1'/>", "exceeds"},
      {"<svg width='1' height='1'><!-- open comment </svg>", "comment is not closed"},
      {"<svg width='1' height='1'><path d='M0 0\"/></svg>", "'<' inside an attribute value"},
      {"<svg width='1' height='1'><path d='M0 0", "attribute value is not closed"},
      {"<svg width='1' height='1'></g></svg>", "</g> does not match"},
  };
  for (const Case& c : cases) {
    const std::string error = ReadError(c.svg);
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.svg << "\n -> " << error;
  }
  SvgReadOptions options;
  options.documentWidth = 0;
  options.documentHeight = 5;
  SvgReadResult result;
  std::string error;
  EXPECT_FALSE(ReadSvgText("<svg width='1' height='1'/>", options, result, error));
  EXPECT_FALSE(ReadSvgFile("/nonexistent/file.svg", SvgReadOptions(), result, error));
  EXPECT_NE(error.find("/nonexistent/file.svg"), std::string::npos);
}

// Random bytes and random damage to a valid file must end in a result or a
// message, never a crash, hang or out-of-bounds read (the sanitizers watch).
TEST(SvgDocument, DamagedInputNeverCrashes) {
  const std::string valid = R"~(<?xml version="1.0"?><!DOCTYPE svg><svg width="64" height="64" viewBox="0 0 64 64">
    <g transform="translate(2,3) rotate(10 5 5) skewX(3)"><path d="M1 1 h10 v10 a5 4 10 1 0 -3 -3 q1 2 3 4 t5 5 s1 2 3 4 z"/>
    <rect x="1" y="2" width="20" height="10" rx="3"/><circle cx="5" cy="5" r="4"/><polyline points="1,2 3,4 5,6"/>
    <!-- c --><![CDATA[x]]><ellipse cx="3" cy="3" rx="2" ry="1"/></g></svg>)~";
  ASSERT_FALSE(Read(valid).path.subpaths.empty());
  std::mt19937 random(1234);
  const std::string alphabet = "<>/=\"' &#;x0123456789.eE-+MmLlHhVvCcSsQqTtAaZz,()svgpathd!-[]?";
  int accepted = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    std::string text;
    if (trial % 4 == 0) {
      const size_t length = random() % 200;
      for (size_t i = 0; i < length; ++i)
        text.push_back(trial % 8 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()]);
    } else {
      text = valid;
      const int edits = 1 + static_cast<int>(random() % 6);
      for (int e = 0; e < edits; ++e) {
        const size_t at = random() % text.size();
        switch (random() % 4) {
          case 0: text[at] = alphabet[random() % alphabet.size()]; break;
          case 1: text.erase(at, 1 + random() % 8); break;
          case 2: text.insert(at, 1, alphabet[random() % alphabet.size()]); break;
          default: text.resize(at); break;
        }
        if (text.empty()) text = "<";
      }
    }
    SvgReadResult result;
    std::string error;
    if (ReadSvgText(text, SvgReadOptions(), result, error)) {
      ++accepted;
      for (const Subpath& s : result.path.subpaths)
        for (const PathKnot& k : s.knots) ASSERT_TRUE(std::isfinite(k.anchorX) && std::isfinite(k.outY));
    } else {
      ASSERT_FALSE(error.empty());
    }
  }
  EXPECT_GT(accepted, 100);
}
