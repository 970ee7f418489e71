// Winner runs: a user that takes whole runs of columns must see exactly the
// sub-samples, winners, band coordinates and directions that a user taking
// one column at a time sees, and the runs must be long where one band is
// open (the point of handing them over).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "BandTestSupport.h"
#include "bevel/BandSweep.h"
#include "bevel/DirectionTable.h"
#include "tests/support/CountingMemory.h"

using namespace band_test;

namespace {

struct Sample {
  int32_t row, column;
  const OffsetNode* winner;
  int32_t value;
  uint32_t dxBits, dyBits;
  bool operator==(const Sample&) const = default;
};

uint32_t Bits(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

struct ColumnUser {
  static constexpr bool WantsWinner = true;
  static constexpr bool WantsGaps = false;
  std::vector<Sample> samples;
  void Store(int32_t row, int32_t column, const OffsetNode* w, int32_t v, float dx, float dy) {
    samples.push_back({row, column, w, v, Bits(dx), Bits(dy)});
  }
  int RowEnd(int32_t) { return 1; }
};

// Expands every run by its own stepping rule.
struct RunUser {
  static constexpr bool WantsWinner = true;
  static constexpr bool WantsGaps = false;
  std::vector<Sample> samples;
  int32_t runs = 0;
  int32_t columnLimit = 0;
  bool badRun = false;
  void StoreWinnerRun(int32_t row, int32_t begin, int32_t end, const WinnerRun& run) {
    ++runs;
    if (begin >= end || begin < 0 || end > columnLimit) badRun = true;
    for (int32_t k = 0; k < end - begin; ++k) {
      const int32_t value = int32_t(uint32_t(run.value) + uint32_t(k) * uint32_t(run.valueStep));
      float dx = run.dx, dy = run.dy;
      if (run.directions != nullptr) {
        const int32_t angle = int32_t(uint32_t(run.angle) + uint32_t(k) * uint32_t(run.angleStep));
        dx = DirectionFor(*run.directions, angle).cos;
        dy = DirectionFor(*run.directions, angle).sin;
      }
      samples.push_back({row, begin + k, run.piece, value, Bits(dx), Bits(dy)});
    }
  }
  int RowEnd(int32_t) { return 1; }
};

struct Case {
  std::vector<Polygon> rings;
  double size;
  int32_t width, height;
  int32_t left, top;  // frame origin: a shifted frame cuts the bands at the buffer's sides
};

void Compare(const Case& c, bool inner, const DirectionTable* table, int32_t* runs, size_t* samples) {
  ScopedCountingMemory memory;
  Outline outline;
  for (const Polygon& ring : c.rings) ASSERT_TRUE(outline.AddRing(inner ? Reversed(ring) : ring));
  SetNormals(outline.list);
  ASSERT_TRUE(HandOffset(outline.list, c.size));
  const BandForm form = inner ? BandForm::Inner : BandForm::Outer;
  const SweepVariant variant = inner ? SweepVariant::Inner : SweepVariant::Outer;
  auto edges = [&] {
    EmptyPool(&gBandEdgePool);
    BandEdgeList list = {nullptr, 0};
    FixedBounds bounds = {0, 0, 0, 0};
    EXPECT_EQ(1, BuildBands(outline.list, &list, &bounds, c.size, form));
    ShiftBandEdges(list.head, c.left, c.top);
    return list.head;
  };
  ColumnUser columns;
  ASSERT_EQ(1, SweepBands(edges(), c.width, c.height, variant, table, columns));
  RunUser runUser;
  runUser.columnLimit = c.width * SampleColumns;
  ASSERT_EQ(1, SweepBands(edges(), c.width, c.height, variant, table, runUser));
  EmptyPool(&gBandEdgePool);
  EmptyPool(&gOutlinePool);
  outline.Free();
  EXPECT_FALSE(runUser.badRun);
  ASSERT_EQ(columns.samples.size(), runUser.samples.size());
  for (size_t i = 0; i < columns.samples.size(); ++i)
    ASSERT_TRUE(columns.samples[i] == runUser.samples[i])
        << "row " << columns.samples[i].row << " column " << columns.samples[i].column;
  *runs += runUser.runs;
  *samples += runUser.samples.size();
}

}  // namespace

TEST(BandSweepRuns, RunsHandOverWhatColumnsDo) {
  static DirectionTable table;
  MakeDirectionTable(&table);
  const Polygon curved = Regular(32, 30, 20, 16, 0.1, SmoothPoint | CurveEdge);
  const Polygon h = {{5, 5},   {25, 5},  {25, 27}, {45, 27}, {45, 5},  {65, 5},
                     {65, 55}, {45, 55}, {45, 33}, {25, 33}, {25, 55}, {5, 55}};
  const std::vector<Case> cases = {
      {{Rect(8, 10, 28, 40), Rect(34, 10, 54, 40)}, 8, 62, 50, 0, 0},  // overlapping bands between two squares
      {{h}, 5, 70, 60, 0, 0},                                          // a narrow bridge
      {{curved}, 8, 64, 60, 0, 0},                                     // curve pieces
      {{curved}, 8, 24, 40, 20, 12},                                   // cut on every side
      {{Rect(10, 10, 54, 50), Reversed(Rect(22, 22, 42, 38))}, 6, 64, 60, 0, 0},  // a frame with a hole
  };
  int32_t runs = 0;
  size_t samples = 0;
  for (const Case& c : cases)
    for (bool inner : {false, true})
      for (const DirectionTable* directions : {static_cast<const DirectionTable*>(&table),
                                               static_cast<const DirectionTable*>(nullptr)}) {
        Compare(c, inner, directions, &runs, &samples);
        ASSERT_FALSE(HasFatalFailure());
      }
  EXPECT_GT(samples, 200000u);
  // Most columns arrive in runs: far fewer calls than sub-samples.
  EXPECT_LT(size_t(runs) * 8, samples);
}
