// Every allocation of the whole geometry stage fails in turn: the stage must
// report MemFullErr, leave nothing allocated and never crash.
#include <gtest/gtest.h>

#include <cmath>

#include "core/NodePool.h"
#include "geometry/Contour.h"
#include "geometry/ElementOutlines.h"
#include "geometry/OffsetNode.h"
#include "geometry/PathRecords.h"
#include "tests/geometry/PathTestSupport.h"
#include "tests/support/CountingMemory.h"

using namespace pathtest;

namespace {
constexpr int32_t DocSize = 1000;

// Curves, crossings that need rounding, shared edges, a spike and a line:
// every allocating step of the stage takes part.
std::vector<uint8_t> ComplexPath() {
  RecordWriter w(DocSize, DocSize);
  std::vector<Point> star;
  for (int i = 0; i < 7; ++i) {
    const double a = i * 6 * M_PI / 7;
    star.push_back({500 + 300 * std::cos(a), 500 + 300 * std::sin(a)});
  }
  w.Polygon(star);
  w.Length(true, 4);
  w.Knot(true, true, {300, 150}, {300, 100}, {300, 50});
  w.Knot(true, true, {450, 50}, {500, 100}, {550, 150});
  w.Knot(true, true, {700, 150}, {700, 800}, {700, 850});
  w.Knot(true, false, {300, 850}, {300, 800}, {300, 800});
  w.Polygon({{100, 100}, {400, 100}, {400, 400}, {100, 400}});
  w.Polygon({{400, 100}, {400, 400}, {600, 400}, {600, 100}});
  w.Polygon({{50, 900}, {950, 900}, {500, 880}, {950, 900}});
  w.Polygon({{20, 20}, {980, 970}}, false);
  return w.bytes();
}

struct RunResult {
  bool built = false;
  int16_t result = 0;
  long allocations = 0;
  long live = 0;
};

RunResult RunStage(const std::vector<uint8_t>& bytes, long failAt) {
  RunResult r;
  ScopedCountingMemory scoped;
  scoped.memory.failAt = failAt;
  Contour* list = ReadPathRecords(bytes.data(), uint32_t(bytes.size()), DocSize, DocSize);
  if (list != nullptr) {
    OffsetRingList* outer = nullptr;
    OffsetRingList* inner = nullptr;
    r.built = BuildElementOutlines(list, &outer, &inner) == 1;
    if (!r.built) {
      EXPECT_EQ(outer, nullptr);
      EXPECT_EQ(inner, nullptr);
      EXPECT_EQ(gOutlinePool.firstBlock, nullptr);
    }
    EXPECT_EQ(gVertexPool.firstBlock, nullptr);
    ReleaseElementOutlines(&outer, &inner);
  }
  r.result = scoped.memory.result;
  r.allocations = scoped.memory.allocations;
  r.live = scoped.memory.liveBlocks;
  return r;
}
}  // namespace

TEST(FaultInjection, EveryFailedAllocationIsReportedAndCleanedUp) {
  const std::vector<uint8_t> bytes = ComplexPath();
  const RunResult clean = RunStage(bytes, 0);
  ASSERT_TRUE(clean.built) << clean.result;
  ASSERT_EQ(clean.live, 0);
  ASSERT_GT(clean.allocations, 50);
  for (long failAt = 1; failAt <= clean.allocations; ++failAt) {
    const RunResult r = RunStage(bytes, failAt);
    EXPECT_FALSE(r.built) << "allocation " << failAt;
    EXPECT_EQ(r.result, MemFullErr) << "allocation " << failAt;
    EXPECT_EQ(r.live, 0) << "allocation " << failAt;
  }
}

TEST(FaultInjection, TheComplexPathCoversItsEvenOddArea) {
  const TraceOutcome t = TraceRecords(ComplexPath(), DocSize, DocSize);
  ASSERT_TRUE(t.built) << t.result;
  const double oracle = EvenOddAreaPixels(t.input, DocSize, DocSize);
  const double scale = PixelsPerSquareUnit(DocSize, DocSize);
  EXPECT_NEAR(SignedArea(t.outer) * scale, oracle, oracle * 1e-3 + 1);
  EXPECT_NEAR(-SignedArea(t.inner) * scale, oracle, oracle * 1e-3 + 1);
}
