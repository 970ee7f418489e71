// Reading path records: record sequence rules, validity limits, big-endian
// values, segment flags, failure clean-up.
#include <gtest/gtest.h>

#include <vector>

#include "core/NodePool.h"
#include "geometry/Contour.h"
#include "geometry/PathRecords.h"
#include "tests/geometry/PathTestSupport.h"
#include "tests/support/CountingMemory.h"

using namespace pathtest;

namespace {
constexpr int32_t W = 1000, H = 500;

struct ReadResult {
  int16_t result = 0;
  std::vector<Polygon> contours;
  std::vector<std::vector<uint32_t>> flags;
};

ReadResult Read(const std::vector<uint8_t>& bytes, int32_t w = W, int32_t h = H) {
  ReadResult r;
  ScopedCountingMemory scoped;
  Contour* list = ReadPathRecords(bytes.data(), uint32_t(bytes.size()), w, h);
  r.contours = ContourPolygons(list);
  for (const Contour* c = list; c != nullptr; c = c->next) {
    std::vector<uint32_t> f;
    const PathVertex* v = c->firstVertex;
    do {
      f.push_back(v->flags & (SmoothPoint | CurveEdge));
      v = v->next;
    } while (v != c->firstVertex);
    r.flags.push_back(f);
  }
  EXPECT_EQ(list == nullptr, scoped.memory.result != 0);
  FreeContourList(&list);
  EmptyPool(&gVertexPool);
  EXPECT_EQ(scoped.memory.liveBlocks, 0);
  r.result = scoped.memory.result;
  return r;
}

RecordWriter Square(bool closed = true) {
  RecordWriter w(W, H);
  w.Polygon({{100, 100}, {200, 100}, {200, 200}, {100, 200}}, closed);
  return w;
}
}  // namespace

TEST(PathRecords, OpenRectangleBecomesAClosedCornerContour) {
  const ReadResult r = Read(Square(false).bytes());
  ASSERT_EQ(r.result, 0);
  ASSERT_EQ(r.contours.size(), 1u);
  ASSERT_EQ(r.contours[0].size(), 4u);
  EXPECT_EQ(r.contours[0][0].x, 1677722);  // 100 / 1000 of 2^24, rounded by the writer
  EXPECT_EQ(r.contours[0][0].y, 3355443);  // 100 / 500
  for (uint32_t f : r.flags[0]) EXPECT_EQ(f, 0u);
}

TEST(PathRecords, ShortOrEmptyDataIsInvalid) {
  EXPECT_EQ(Read({}).result, PathInvalidCode);
  EXPECT_EQ(Read(std::vector<uint8_t>(25, 0)).result, PathInvalidCode);
  ScopedCountingMemory scoped;
  EXPECT_EQ(ReadPathRecords(nullptr, 52, W, H), nullptr);
  EXPECT_EQ(scoped.memory.result, PathInvalidCode);
}

TEST(PathRecords, OtherRecordsBeforeTheFirstSubpathAreSkipped) {
  RecordWriter w(W, H);
  w.Other(6);
  w.Other(8);
  w.Other(7);
  const RecordWriter s = Square();
  std::vector<uint8_t> bytes = w.bytes();
  bytes.insert(bytes.end(), s.bytes().begin(), s.bytes().end());
  EXPECT_EQ(Read(bytes).result, 0);
  bytes.resize(bytes.size() + 13, 0);  // a partial record at the end is ignored
  EXPECT_EQ(Read(bytes).result, 0);
}

TEST(PathRecords, OtherRecordsAfterTheLastSubpathMakeThePathInvalid) {
  RecordWriter w = Square();
  w.Other(6);
  EXPECT_EQ(Read(w.bytes()).result, PathInvalidCode);
}

TEST(PathRecords, OneKnotSubpathsAreSkipped) {
  RecordWriter w(W, H);
  w.Length(true, 1);
  w.Corner(true, {300, 300});
  EXPECT_EQ(Read(w.bytes()).result, PathInvalidCode) << "nothing else: invalid";
  w.Length(false, 0);
  const RecordWriter s = Square();
  std::vector<uint8_t> bytes = w.bytes();
  bytes.insert(bytes.end(), s.bytes().begin(), s.bytes().end());
  const ReadResult r = Read(bytes);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.contours.size(), 1u);
}

TEST(PathRecords, SubpathsComeInReverseOrder) {
  RecordWriter w(W, H);
  w.Polygon({{10, 10}, {20, 10}, {20, 20}});
  w.Polygon({{500, 400}, {600, 400}, {600, 450}});
  const ReadResult r = Read(w.bytes());
  ASSERT_EQ(r.contours.size(), 2u);
  EXPECT_EQ(r.contours[0][0].x, w.ToUnits({500, 0}).x);
  EXPECT_EQ(r.contours[1][0].x, w.ToUnits({10, 0}).x);
}

TEST(PathRecords, MalformedSequencesAreInvalid) {
  {  // knot count beyond the end
    RecordWriter w(W, H);
    w.Length(true, 5);
    for (int i = 0; i < 4; ++i) w.Corner(true, {100.0 + i, 100.0 * i});
    EXPECT_EQ(Read(w.bytes()).result, PathInvalidCode);
  }
  {  // negative knot count
    RecordWriter w(W, H);
    w.Length(true, -3);
    for (int i = 0; i < 3; ++i) w.Corner(true, {100.0 + i, 100.0 * i});
    EXPECT_EQ(Read(w.bytes()).result, PathInvalidCode);
  }
  {  // an open subpath's knot in a closed subpath
    RecordWriter w(W, H);
    w.Length(true, 3);
    w.Corner(true, {1, 1});
    w.Corner(false, {100, 1});
    w.Corner(true, {100, 100});
    EXPECT_EQ(Read(w.bytes()).result, PathInvalidCode);
  }
  {  // a knot where a length record belongs
    RecordWriter w(W, H);
    w.Corner(true, {1, 1});
    EXPECT_EQ(Read(w.bytes()).result, PathInvalidCode);
  }
  {  // a failure in a later subpath drops the earlier ones too
    RecordWriter w = Square();
    w.Length(true, 2);
    w.Corner(true, {1, 1});
    w.Corner(true, {1, 1});
    w.Length(true, 9);
    EXPECT_EQ(Read(w.bytes()).result, PathInvalidCode);
  }
}

TEST(PathRecords, KnotValuesOutsideTheLimitsAreInvalid) {
  auto withX = [](int32_t x, int32_t w = W) {
    RecordWriter r(w, H);
    r.Length(true, 3);
    r.RawKnot(2, {x, 0}, {x, 0}, {x, 0});
    r.RawKnot(2, {0, 0}, {0, 0}, {0, 0});
    r.RawKnot(2, {0, 100000}, {0, 100000}, {0, 100000});
    return r.bytes();
  };
  EXPECT_EQ(Read(withX(0x11000000)).result, PathInvalidCode) << "17 times the width";
  EXPECT_EQ(Read(withX(0x0FFFFFFF)).result, 0);
  EXPECT_EQ(Read(withX(0x10000000)).result, PathInvalidCode);
  EXPECT_EQ(Read(withX(-0x10000000)).result, 0);
  EXPECT_EQ(Read(withX(-0x10000001)).result, PathInvalidCode);
  // 30000 pixels is the furthest: (v * width) >> 24.
  const int32_t width = 2000;
  const int32_t at30000 = int32_t((int64_t(30000) << 24) / width);
  EXPECT_EQ(Read(withX(at30000, width), width).result, 0);
  EXPECT_EQ(Read(withX(at30000 + 8389, width), width).result, PathInvalidCode);  // 30001 px
  EXPECT_EQ(Read(withX(-at30000, width), width).result, 0);
  EXPECT_EQ(Read(withX(-at30000 - 1, width), width).result, PathInvalidCode) << "the shift rounds down";
}

TEST(PathRecords, CurveFlagsFollowTheKnots) {
  // Two curved segments and two straight ones; the first knot is linked with
  // handles on both sides, the third is linked but its handles sit on it.
  RecordWriter w(W, H);
  w.Length(true, 4);
  w.Knot(true, true, {100, 150}, {100, 100}, {100, 50});
  w.Knot(true, false, {200, 50}, {300, 100}, {300, 100});
  w.Knot(true, true, {300, 200}, {300, 200}, {300, 200});
  w.Knot(true, false, {100, 200}, {100, 200}, {100, 200});
  const ReadResult r = Read(w.bytes());
  ASSERT_EQ(r.result, 0);
  const Polygon& p = r.contours[0];
  const std::vector<uint32_t>& f = r.flags[0];
  ASSERT_GT(p.size(), 4u);
  EXPECT_EQ(f[0], SmoothPoint | CurveEdge) << "smooth linked knot";
  size_t corner = 0;
  while (corner < p.size() && p[corner].x != w.ToUnits({300, 0}).x) ++corner;
  ASSERT_LT(corner + 2, p.size());
  for (size_t i = 1; i < corner; ++i) EXPECT_EQ(f[i], SmoothPoint | CurveEdge);
  EXPECT_EQ(f[corner], 0u) << "(300,100): straight segment follows";
  EXPECT_EQ(f[corner + 1], 0u) << "(300,200): linked, but the handles sit on it";
  EXPECT_EQ(f[corner + 2], CurveEdge) << "(100,200): unlinked start of the closing curve";
}

TEST(PathRecords, MemoryFailuresLeaveNothingBehind) {
  RecordWriter w(W, H);
  for (int i = 0; i < 5; ++i) {
    w.Length(true, 3);
    w.Knot(true, true, {100.0 + i, 300}, {100.0 + i * 50, 100}, {300, 50});
    w.Knot(true, false, {400, 50}, {500, 200}, {500, 200});
    w.Corner(true, {300, 400});
  }
  long total = 0;
  {
    ScopedCountingMemory scoped;
    Contour* list = ReadPathRecords(w.bytes().data(), uint32_t(w.bytes().size()), W, H);
    ASSERT_NE(list, nullptr);
    total = scoped.memory.allocations;
    FreeContourList(&list);
    EmptyPool(&gVertexPool);
  }
  for (long failAt = 1; failAt <= total; ++failAt) {
    ScopedCountingMemory scoped;
    scoped.memory.failAt = failAt;
    EXPECT_EQ(ReadPathRecords(w.bytes().data(), uint32_t(w.bytes().size()), W, H), nullptr);
    EXPECT_EQ(scoped.memory.result, MemFullErr);
    EXPECT_EQ(scoped.memory.liveBlocks, 0);
  }
}
