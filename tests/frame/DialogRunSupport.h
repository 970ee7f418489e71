// What the dialog run tests share: the run's render buffer captured, two
// captures compared, a dialog request that must succeed.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "frame/DialogRun.h"
#include "frame/RunGlobals.h"

struct Rendered {
  int32_t top = 0, left = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;
};
// The render buffer of the run in progress, or of `g` between calls.
inline Rendered Capture(const RunGlobals* g = gRunGlobals) {
  Rendered r{g->effectTop, g->effectLeft, uint16_t(g->effectWidth), uint16_t(g->effectHeight), {}};
  const size_t bytes = size_t(r.width) * size_t(r.height) * size_t(g->channelCount + 1);
  if (g->renderBuffer != nullptr) r.pixels.assign(g->renderBuffer, g->renderBuffer + bytes);
  return r;
}

inline void ExpectSame(const Rendered& a, const Rendered& b) {
  EXPECT_EQ(a.top, b.top);
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  EXPECT_FALSE(a.pixels.empty());
  EXPECT_TRUE(a.pixels == b.pixels);
}

inline void Request(const DialogAction& action) { EXPECT_EQ(RunDialogRequest(action), 1); }
