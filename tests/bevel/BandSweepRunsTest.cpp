// Winner runs: a user that takes whole runs of columns must see exactly the
// sub-samples, winners, band coordinates and directions that a user taking
// one column at a time sees, and the runs must be long where one band is
// open (the point of handing them over).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "BandTestSupport.h"
#include "bevel/BandEdgeCopy.h"
#include "bevel/BandSweep.h"
#include "bevel/SweepSplit.h"
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

std::vector<Case> Cases() {
  const Polygon curved = Regular(32, 30, 20, 16, 0.1, SmoothPoint | CurveEdge);
  const Polygon h = {{5, 5},   {25, 5},  {25, 27}, {45, 27}, {45, 5},  {65, 5},
                     {65, 55}, {45, 55}, {45, 33}, {25, 33}, {25, 55}, {5, 55}};
  return {
      {{Rect(8, 10, 28, 40), Rect(34, 10, 54, 40)}, 8, 62, 50, 0, 0},  // overlapping bands between two squares
      {{h}, 5, 70, 60, 0, 0},                                          // a narrow bridge
      {{curved}, 8, 64, 60, 0, 0},                                     // curve pieces
      {{curved}, 8, 24, 40, 20, 12},                                   // cut on every side
      {{Rect(10, 10, 54, 50), Reversed(Rect(22, 22, 42, 38))}, 6, 64, 60, 0, 0},  // a frame with a hole
  };
}

// The samples of a sweep over a copy of the bands, winners by their place in the copy.
std::vector<Sample> Placed(std::vector<Sample> samples, const BandEdgeCopy& copy) {
  for (Sample& s : samples)
    s.winner = reinterpret_cast<const OffsetNode*>(uintptr_t(s.winner - copy.pieces));
  return samples;
}

// The samples of a sweep over the partial copy a split makes for its lower
// part, winners as the pieces of the bands it copied.
std::vector<Sample> AsOriginals(std::vector<Sample> samples, const BandEdgeCopy& copy) {
  std::map<const OffsetNode*, const OffsetNode*> original;
  for (uint32_t k = 0; k < copy.edgeCount; ++k) {
    original[copy.edges[k].firstOwner] = copy.originals[k]->firstOwner;
    original[copy.edges[k].secondOwner] = copy.originals[k]->secondOwner;
  }
  for (Sample& s : samples) s.winner = original.at(s.winner);
  return samples;
}

// Splits the sweep of one case at every third sample row. The upper part
// stopped at the split and the sweep resumed from there hand over the
// sub-samples of one sweep; where the parts' row states agree, so does the
// lower part over its copy. Returns the splits whose parts agreed.
int32_t CompareSplits(const Case& c, bool inner, const DirectionTable* table, int32_t* splits) {
  ScopedCountingMemory memory;
  Outline outline;
  for (const Polygon& ring : c.rings) EXPECT_TRUE(outline.AddRing(inner ? Reversed(ring) : ring));
  SetNormals(outline.list);
  EXPECT_TRUE(HandOffset(outline.list, c.size));
  EmptyPool(&gBandEdgePool);
  BandEdgeList list = {nullptr, 0};
  FixedBounds bounds = {0, 0, 0, 0};
  EXPECT_EQ(1, BuildBands(outline.list, &list, &bounds, c.size, inner ? BandForm::Inner : BandForm::Outer));
  ShiftBandEdges(list.head, c.left, c.top);
  const SweepVariant variant = inner ? SweepVariant::Inner : SweepVariant::Outer;
  BandEdgeCopy whole;
  EXPECT_EQ(1, CopyBandEdges(list.head, &whole));
  ColumnUser one;
  SweepBands(whole.head, c.width, c.height, variant, table, one);
  const std::vector<Sample> expected = Placed(one.samples, whole);
  int32_t agreed = 0;
  for (int32_t row = 1; row < c.height * SampleRows; row += 3) {
    BandEdgeCopy bands;  // pieces numbered as in `whole`
    EXPECT_EQ(1, CopyBandEdges(list.head, &bands));
    SweepSplit parts;
    EXPECT_EQ(1, PrepareSweepSplit(bands.head, row, &parts));
    EXPECT_LE(parts.lower.edgeCount, bands.edgeCount);
    ColumnUser upper, lower, resumed;
    SweepBands(bands.head, c.width, c.height, variant, table, upper, UpperSweepRange(&parts, row));
    SweepBands(parts.lower.head, c.width, c.height, variant, table, lower, LowerSweepRange(&parts, row));
    const bool agrees = SweepSplitAgrees(parts);
    SweepBands(bands.head, c.width, c.height, variant, table, resumed, ResumedSweepRange(parts));
    ++*splits;
    std::vector<Sample> joined = Placed(upper.samples, bands);
    const std::vector<Sample> rest = Placed(resumed.samples, bands);
    joined.insert(joined.end(), rest.begin(), rest.end());
    EXPECT_TRUE(joined == expected) << "resumed at row " << row;
    if (agrees) {
      ++agreed;
      EXPECT_TRUE(Placed(AsOriginals(lower.samples, parts.lower), bands) == rest) << "split at row " << row;
    }
    ReleaseSweepSplit(&parts);
    FreeBandEdgeCopy(&bands);
  }
  FreeBandEdgeCopy(&whole);
  EmptyPool(&gBandEdgePool);
  EmptyPool(&gOutlinePool);
  outline.Free();
  return agreed;
}

}  // namespace

TEST(BandSweepRuns, RunsHandOverWhatColumnsDo) {
  static DirectionTable table;
  MakeDirectionTable(&table);
  const std::vector<Case> cases = Cases();
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

TEST(BandSweepRuns, SplitSweepsHandOverWhatOneSweepDoes) {
  static DirectionTable table;
  MakeDirectionTable(&table);
  std::vector<Case> cases = Cases();
  const Polygon curved = Regular(32, 30, 20, 16, 0.1, SmoothPoint | CurveEdge);
  cases.push_back({{curved, curved}, 8, 64, 60, 0, 0});  // one ring twice: coincident bands
  int32_t splits = 0, agreed = 0;
  for (const Case& c : cases)
    for (bool inner : {false, true}) {
      agreed += CompareSplits(c, inner, &table, &splits);
      ASSERT_FALSE(HasFatalFailure());
    }
  // Parts disagree only where the outline counter is not 0 between rows or
  // tied edges are ordered otherwise.
  EXPECT_GE(agreed * 10, splits * 9) << agreed << " of " << splits;
}

// Where several intervals are open, a winner run lasts exactly as long as
// the column-by-column search keeps choosing its interval: against that
// search over random coordinates and slopes (wrapping as the sweep wraps,
// ties going to the interval first in the row).
TEST(BandSweepRuns, WinnerRunsEndWhereAnotherIntervalTakesOver) {
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int32_t> count(2, 5), step(-3000, 3000), near(-20000, 20000), span(0, 300);
  std::uniform_int_distribution<int64_t> anyValue(INT32_MIN, INT32_MAX);
  int32_t overtaken = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    const int32_t n = count(random);
    OffsetNode pieces[5] = {};
    BandEdge edges[5] = {};
    const int32_t base = trial % 4 == 0 ? int32_t(anyValue(random)) : 0;
    for (int32_t i = 0; i < n; ++i) {
      pieces[i].distanceStep = trial % 3 == 0 ? step(random) * 1000 : step(random);
      edges[i].segment = &pieces[i];
      edges[i].value = sweep_detail::WrapAdd(base, near(random));
      edges[i].flags = IntervalStarted;
      edges[i].nextOpening = i + 1 < n ? &edges[i + 1] : nullptr;
    }
    if (trial % 5 == 0) edges[1].value = edges[0].value;  // a tie
    auto winnerAfter = [&](int64_t k) {
      const BandEdge* winner = nullptr;
      int32_t best = 0;
      for (int32_t i = 0; i < n; ++i) {
        const int32_t v = sweep_detail::WrapAdd(edges[i].value, k * pieces[i].distanceStep);
        if (winner == nullptr || v > best) winner = &edges[i], best = v;
      }
      return winner;
    };
    const BandEdge* best = winnerAfter(0);
    const int32_t t = 7, limit = t + 1 + span(random);
    const int32_t end = sweep_detail::WinnerRunEnd(edges, best, t, limit);
    ASSERT_GT(end, t);
    ASSERT_LE(end, limit);
    for (int32_t column = t + 1; column < end; ++column) ASSERT_EQ(best, winnerAfter(column - t)) << "trial " << trial;
    if (end < limit && end > t + 1) {
      ASSERT_NE(best, winnerAfter(end - t)) << "trial " << trial;
      ++overtaken;
    }
  }
  EXPECT_GT(overtaken, 2000);
}
