#include "cli/PathModel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

namespace {

// An independent reading of the record format, for checking the encoder.
struct DecodedKnot {
  int selector;
  int32_t values[6];  // in v, in h, anchor v, anchor h, out v, out h
};
struct DecodedSubpath {
  int lengthSelector;
  std::vector<DecodedKnot> knots;
};
struct Decoded {
  std::vector<int> leadingSelectors;
  std::vector<DecodedSubpath> subpaths;
};

int32_t Read32(const uint8_t* p) {
  return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]);
}
int Read16(const uint8_t* p) { return static_cast<int16_t>((p[0] << 8) | p[1]); }

Decoded Decode(const std::vector<uint8_t>& bytes) {
  EXPECT_EQ(bytes.size() % 26, 0u);
  Decoded out;
  size_t i = 0;
  while (i + 26 <= bytes.size()) {
    const uint8_t* r = &bytes[i];
    const int selector = Read16(r);
    i += 26;
    if (selector == 0 || selector == 3) {
      DecodedSubpath subpath;
      subpath.lengthSelector = selector;
      const int count = Read16(r + 2);
      for (int k = 0; k < 22; ++k) EXPECT_EQ(r[4 + k], 0);
      for (int k = 0; k < count; ++k, i += 26) {
        EXPECT_LE(i + 26, bytes.size());
        if (i + 26 > bytes.size()) return out;
        DecodedKnot knot;
        knot.selector = Read16(&bytes[i]);
        for (int v = 0; v < 6; ++v) knot.values[v] = Read32(&bytes[i + 2 + 4 * v]);
        subpath.knots.push_back(knot);
      }
      out.subpaths.push_back(subpath);
    } else {
      EXPECT_TRUE(out.subpaths.empty()) << "other records only in front";
      out.leadingSelectors.push_back(selector);
    }
  }
  return out;
}

// round(numerator / denominator) with halves away from zero, exactly.
int64_t RoundedQuotient(int64_t numerator, int64_t denominator) {
  const bool negative = (numerator < 0) != (denominator < 0);
  const int64_t n = numerator < 0 ? -numerator : numerator, d = denominator < 0 ? -denominator : denominator;
  const int64_t q = (2 * n + d) / (2 * d);
  return negative ? -q : q;
}

PathKnot Corner(double x, double y) {
  PathKnot k;
  k.anchorX = k.inX = k.outX = x;
  k.anchorY = k.inY = k.outY = y;
  return k;
}

}  // namespace

TEST(PathFraction, MatchesExactRoundingForQuarterPixelCoordinates) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 20000; ++trial) {
    const int32_t size = 1 + static_cast<int32_t>(random() % 40000);
    // Pixels * 4, within a hundred document sizes either side.
    const int64_t quarters = static_cast<int64_t>(random() % (800 * static_cast<uint64_t>(size))) - 400 * int64_t{size};
    int32_t value = 0;
    ASSERT_TRUE(PixelsToPathFraction(quarters / 4.0, size, &value));
    EXPECT_EQ(value, RoundedQuotient(quarters << 24, int64_t{size} * 4)) << quarters << "/4 of " << size;
  }
}

TEST(PathFraction, RoundingEdges) {
  int32_t value = 0;
  ASSERT_TRUE(PixelsToPathFraction(1, 3, &value));
  EXPECT_EQ(value, 5592405);  // 5592405.33
  ASSERT_TRUE(PixelsToPathFraction(2, 3, &value));
  EXPECT_EQ(value, 11184811);  // 11184810.67
  // Exactly half a unit rounds away from zero.
  ASSERT_TRUE(PixelsToPathFraction(1, 1 << 25, &value));
  EXPECT_EQ(value, 1);
  ASSERT_TRUE(PixelsToPathFraction(-1, 1 << 25, &value));
  EXPECT_EQ(value, -1);
  ASSERT_TRUE(PixelsToPathFraction(100, 100, &value));
  EXPECT_EQ(value, 1 << 24);
  // 127 document sizes still fit; 128 do not.
  ASSERT_TRUE(PixelsToPathFraction(127 * 10.0, 10, &value));
  EXPECT_EQ(value, 127 << 24);
  value = 42;
  EXPECT_FALSE(PixelsToPathFraction(128 * 10.0, 10, &value));
  EXPECT_FALSE(PixelsToPathFraction(-128 * 10.0 - 1, 10, &value));
  EXPECT_FALSE(PixelsToPathFraction(std::numeric_limits<double>::infinity(), 10, &value));
  EXPECT_FALSE(PixelsToPathFraction(5, 0, &value));
  EXPECT_EQ(value, 42);
}

TEST(PathRecords, EncodesSubpathsKnotsAndFractions) {
  PathModel path;
  Subpath open;
  open.knots = {Corner(10, 20), Corner(30, 40)};
  PathKnot smooth;
  smooth.anchorX = 50;
  smooth.anchorY = 25;
  smooth.inX = 40;
  smooth.inY = 25;
  smooth.outX = 60;
  smooth.outY = 25;
  smooth.linked = true;
  Subpath closed;
  closed.closed = true;
  closed.knots = {Corner(0, 0), smooth, Corner(100, 0)};
  path.subpaths = {open, Subpath(), closed};  // the empty one is left out

  std::vector<uint8_t> records = {0xAA};  // appended to
  std::string error;
  ASSERT_TRUE(EncodePathRecords(path, 200, 100, PathEncodeOptions(), records, error)) << error;
  ASSERT_EQ(records[0], 0xAA);
  records.erase(records.begin());
  const Decoded decoded = Decode(records);
  EXPECT_EQ(decoded.leadingSelectors, (std::vector<int>{FillRuleRecord, InitialFillRuleRecord}));
  ASSERT_EQ(decoded.subpaths.size(), 2u);
  EXPECT_EQ(decoded.subpaths[0].lengthSelector, OpenLengthRecord);
  ASSERT_EQ(decoded.subpaths[0].knots.size(), 2u);
  EXPECT_EQ(decoded.subpaths[0].knots[0].selector, OpenKnotUnlinked);
  // (10, 20) in 200 x 100: v = 20/100, h = 10/200.
  const int32_t* v = decoded.subpaths[0].knots[0].values;
  EXPECT_EQ(v[2], RoundedQuotient(int64_t{20} << 24, 100));
  EXPECT_EQ(v[3], RoundedQuotient(int64_t{10} << 24, 200));
  EXPECT_EQ(v[0], v[2]);
  EXPECT_EQ(v[5], v[3]);

  EXPECT_EQ(decoded.subpaths[1].lengthSelector, ClosedLengthRecord);
  ASSERT_EQ(decoded.subpaths[1].knots.size(), 3u);
  EXPECT_EQ(decoded.subpaths[1].knots[0].selector, ClosedKnotUnlinked);
  EXPECT_EQ(decoded.subpaths[1].knots[1].selector, ClosedKnotLinked);
  const int32_t* s = decoded.subpaths[1].knots[1].values;
  EXPECT_EQ(s[0], RoundedQuotient(int64_t{25} << 24, 100));
  EXPECT_EQ(s[1], RoundedQuotient(int64_t{40} << 24, 200));
  EXPECT_EQ(s[3], RoundedQuotient(int64_t{50} << 24, 200));
  EXPECT_EQ(s[5], RoundedQuotient(int64_t{60} << 24, 200));
  EXPECT_EQ(decoded.subpaths[1].knots[2].values[3], 1 << 23);

  std::vector<uint8_t> bare;
  PathEncodeOptions noLeading;
  noLeading.leadingFillRuleRecords = false;
  ASSERT_TRUE(EncodePathRecords(path, 200, 100, noLeading, bare, error));
  EXPECT_EQ(bare.size(), records.size() - 2 * 26);
  EXPECT_TRUE(Decode(bare).leadingSelectors.empty());
}

TEST(PathRecords, RefusesWhatCannotBeEncodedAndLeavesOutputAlone) {
  PathModel path;
  Subpath far;
  far.knots = {Corner(0, 0), Corner(1e9, 0)};
  path.subpaths = {far};
  std::vector<uint8_t> records(3, 7);
  std::string error;
  EXPECT_FALSE(EncodePathRecords(path, 100, 100, PathEncodeOptions(), records, error));
  EXPECT_NE(error.find("too far"), std::string::npos) << error;
  EXPECT_EQ(records, std::vector<uint8_t>(3, 7));

  error.clear();
  EXPECT_FALSE(EncodePathRecords(path, 0, 100, PathEncodeOptions(), records, error));
  EXPECT_FALSE(error.empty());

  Subpath huge;
  huge.knots.assign(32768, Corner(1, 1));
  path.subpaths = {huge};
  EXPECT_FALSE(EncodePathRecords(path, 100, 100, PathEncodeOptions(), records, error));
  EXPECT_NE(error.find("32767"), std::string::npos) << error;
  huge.knots.pop_back();
  path.subpaths = {huge};
  records.clear();
  EXPECT_TRUE(EncodePathRecords(path, 100, 100, PathEncodeOptions(), records, error));
  EXPECT_EQ(records.size(), (2 + 1 + 32767) * 26u);
}

TEST(PathBuilder, ClosingMergesTheReturnKnotAndRestartsAtTheSubpathStart) {
  PathBuilder b;
  b.MoveTo(0, 0);
  b.LineTo(10, 0);
  b.CubicTo(12, 2, 12, 8, 10, 10);
  b.CubicTo(5, 12, -2, 5, 0, 0);  // back at the start
  b.Close();
  EXPECT_EQ(b.CurrentX(), 0);
  b.LineTo(0, 20);  // a new subpath from the last start
  b.LineTo(5, 20);
  b.MoveTo(50, 50);  // a lone move draws nothing
  const PathModel model = b.Take();
  ASSERT_EQ(model.subpaths.size(), 2u);
  const Subpath& first = model.subpaths[0];
  EXPECT_TRUE(first.closed);
  ASSERT_EQ(first.knots.size(), 3u);
  EXPECT_EQ(first.knots[0].inX, -2);  // the merged knot keeps the arriving control
  EXPECT_EQ(first.knots[0].inY, 5);
  EXPECT_EQ(first.knots[1].outX, 12);
  EXPECT_EQ(first.knots[2].inX, 12);
  EXPECT_EQ(first.knots[2].outX, 5);
  const Subpath& second = model.subpaths[1];
  EXPECT_FALSE(second.closed);
  ASSERT_EQ(second.knots.size(), 3u);
  EXPECT_EQ(second.knots[0].anchorX, 0);
  EXPECT_EQ(second.knots[0].anchorY, 0);
  EXPECT_TRUE(b.Take().subpaths.empty());
}

TEST(PathBuilder, QuadraticBecomesTheSameCurve) {
  PathBuilder b;
  b.MoveTo(0, 0);
  b.QuadTo(30, 60, 90, 0);
  const PathModel model = b.Take();
  ASSERT_EQ(model.subpaths.size(), 1u);
  const PathKnot& k0 = model.subpaths[0].knots[0];
  const PathKnot& k1 = model.subpaths[0].knots[1];
  for (double t = 0; t <= 1; t += 0.125) {
    const double u = 1 - t;
    const double qx = 2 * u * t * 30 + t * t * 90, qy = 2 * u * t * 60;
    const double cx = 3 * u * u * t * k0.outX + 3 * u * t * t * k1.inX + t * t * t * 90;
    const double cy = 3 * u * u * t * k0.outY + 3 * u * t * t * k1.inY;
    EXPECT_NEAR(cx, qx, 1e-12);
    EXPECT_NEAR(cy, qy, 1e-12);
  }
}

TEST(PathModel, SmoothKnotsAreThoseWithOpposedCollinearControls) {
  PathModel path;
  Subpath s;
  PathKnot straightThrough = Corner(10, 10);
  straightThrough.inX = 5;
  straightThrough.inY = 5;
  straightThrough.outX = 20;
  straightThrough.outY = 20;  // collinear, different lengths
  PathKnot cusp = straightThrough;
  cusp.outX = 0;
  cusp.outY = 0;  // both controls on the same side
  PathKnot bent = straightThrough;
  bent.outY = 21;
  PathKnot retracted = straightThrough;
  retracted.outX = 10;
  retracted.outY = 10;
  s.knots = {straightThrough, cusp, bent, retracted, Corner(1, 1)};
  path.subpaths = {s};
  MarkSmoothKnots(path);
  const auto& k = path.subpaths[0].knots;
  EXPECT_TRUE(k[0].linked);
  EXPECT_FALSE(k[1].linked);
  EXPECT_FALSE(k[2].linked);
  EXPECT_FALSE(k[3].linked);
  EXPECT_FALSE(k[4].linked);

  double x0, y0, x1, y1;
  ASSERT_TRUE(PathControlBounds(path, &x0, &y0, &x1, &y1));
  EXPECT_EQ(x0, 0);
  EXPECT_EQ(y1, 21);
  EXPECT_FALSE(PathControlBounds(PathModel(), &x0, &y0, &x1, &y1));
}
