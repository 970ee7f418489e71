// Node pools and the wide arithmetic helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>

#include "core/NodePool.h"
#include "geometry/Contour.h"
#include "geometry/OffsetNode.h"
#include "geometry/WideArithmetic.h"
#include "tests/support/CountingMemory.h"

TEST(NodePool, HandsOutDistinctAlignedRecordsOneBlockPerThirty) {
  ScopedCountingMemory scoped;
  NodePool pool{};
  InitPool(&pool, sizeof(OffsetNode), NodeRecordsPerBlock);
  std::set<uintptr_t> seen;
  for (int i = 0; i < 95; ++i) {
    auto* node = TakeRecordOf<OffsetNode>(&pool);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(node) % 8, 0u);
    *node = OffsetNode{};  // the whole record is writable
    EXPECT_TRUE(seen.insert(reinterpret_cast<uintptr_t>(node)).second);
  }
  EXPECT_EQ(scoped.memory.liveBlocks, 4);  // 30 + 30 + 30 + 5
  EmptyPool(&pool);
  EXPECT_EQ(scoped.memory.liveBlocks, 0);
  EXPECT_EQ(pool.firstBlock, nullptr);
  EXPECT_EQ(pool.currentBlock, nullptr);
  EXPECT_NE(TakeRecord(&pool), nullptr) << "an emptied pool starts again";
  EmptyPool(&pool);
}

TEST(NodePool, FailedBlockReportsOutOfMemory) {
  ScopedCountingMemory scoped;
  NodePool pool{};
  InitPool(&pool, 24, 2);
  ASSERT_NE(TakeRecord(&pool), nullptr);
  ASSERT_NE(TakeRecord(&pool), nullptr);
  scoped.memory.failAt = scoped.memory.allocations + 1;
  EXPECT_EQ(TakeRecord(&pool), nullptr);
  EXPECT_EQ(scoped.memory.result, MemFullErr);
  EmptyPool(&pool);
  EXPECT_EQ(scoped.memory.liveBlocks, 0);
}

TEST(NodePool, ModulePoolsAreReadyAtLoad) {
  for (const NodePool* pool : {&gVertexPool, &gOutlinePool, &gInnerOffsetPool, &gOuterOffsetPool}) {
    EXPECT_GT(pool->recordSize, 0u);
    EXPECT_EQ(pool->recordsPerBlock, NodeRecordsPerBlock);
  }
  EXPECT_EQ(gOutlinePool.recordSize, sizeof(OffsetNode));
  SelectPool(&gInnerOffsetPool);
  EXPECT_EQ(CurrentPool(), &gInnerOffsetPool);
  SelectPool(&gOutlinePool);
}

#ifdef __SIZEOF_INT128__
TEST(WideArithmetic, AgreesWithNativeWideIntegers) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const uint64_t a = rng() >> (rng() % 64), b = rng() >> (rng() % 64);
    const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
    const Unsigned128 q = Multiply64(a, b);
    ASSERT_EQ(q.hi, uint64_t(p >> 64));
    ASSERT_EQ(q.lo, uint64_t(p));
    // Fractions as the crossing search makes them: numerators and positive
    // denominators below 2^60.
    const int64_t den1 = int64_t(rng() >> 4) | 1, den2 = int64_t(rng() >> 4) | 1;
    const int64_t num1 = int64_t(rng() >> 4) - (int64_t(1) << 59), num2 = int64_t(rng() >> 4) - (int64_t(1) << 59);
    const __int128 l = static_cast<__int128>(num1) * den2, r = static_cast<__int128>(num2) * den1;
    ASSERT_EQ(CompareFractions(num1, den1, num2, den2), l < r ? -1 : (l > r ? 1 : 0));
    // Rounded scaling: delta below 2^30, 0 <= n <= d < 2^60.
    const int64_t delta = int64_t(rng() % (uint64_t(1) << 31)) - (int64_t(1) << 30);
    const int64_t d = int64_t(rng() >> 4) | 1;
    const int64_t n = int64_t(uint64_t(rng()) % uint64_t(d + 1));
    const __int128 twice = 2 * static_cast<__int128>(delta < 0 ? -delta : delta) * n;
    __int128 expect = (twice + d) / (2 * static_cast<__int128>(d));
    if (delta < 0) expect = -expect;
    ASSERT_EQ(ScaleRounded(delta, n, d), int64_t(expect)) << delta << " " << n << " " << d;
  }
}
#endif

TEST(WideArithmetic, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(ScaleRounded(3, 1, 2), 2);
  EXPECT_EQ(ScaleRounded(-3, 1, 2), -2);
  EXPECT_EQ(ScaleRounded(5, 1, 2), 3);
  EXPECT_EQ(ScaleRounded(-5, 1, 2), -3);
  EXPECT_EQ(ScaleRounded(10, 1, 3), 3);
  EXPECT_EQ(ScaleRounded(10, 2, 3), 7);
  EXPECT_EQ(ScaleRounded(-10, 2, 3), -7);
  EXPECT_EQ(ScaleRounded(7, 0, 5), 0);
  EXPECT_EQ(ScaleRounded(7, 5, 5), 7);
  // A 96-bit product: 2^29 * (2^59 - 1) / 2^59 rounds to 2^29.
  const int64_t d = int64_t(1) << 59;
  EXPECT_EQ(ScaleRounded(int64_t(1) << 29, d - 1, d), int64_t(1) << 29);
  EXPECT_EQ(CompareFractions(1, 3, 2, 6), 0);
  EXPECT_EQ(CompareFractions((int64_t(1) << 58) + 1, (int64_t(1) << 59), 1, 2), 1);
  EXPECT_EQ(CompareFractions(0, 5, 0, 7), 0);
}
