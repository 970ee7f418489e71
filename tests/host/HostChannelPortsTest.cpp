// Channel ports over a small patterned document: unscaled reads (clipped to
// the channel), writes read back, scaled reads against an independent
// resampling, and the errors for unusable ports or pixel descriptions.
#include <gtest/gtest.h>

#include <vector>

#include "ScriptedHost.h"

namespace {

constexpr int32_t W = 8, H = 6;

PixelMemoryDesc Memory(std::vector<uint8_t>& bytes, int32_t width) {
  return PixelMemoryDesc{bytes.data(), width * 8, 8, 0, 8};
}

}  // namespace

TEST(HostChannelPorts, ReadClipsWriteStoresAndReadsBack) {
  std::vector<uint8_t> read(4 * 4, 0xCC);
  VRect readBounds{};
  SPErr writeThroughReadPort = 0;
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    const PSChannelPortsSuite1* ports = Acquire<PSChannelPortsSuite1>(r, kPSChannelPortsSuite, 2);
    ASSERT_NE(ports, nullptr);
    const ReadChannelDesc* green = r->documentInfo->targetCompositeChannels->next;
    Boolean can = 0;
    EXPECT_EQ(ports->CanRead(green->port, &can), 0);
    EXPECT_TRUE(can);
    EXPECT_EQ(ports->CanWrite(green->port, &can), 0);
    EXPECT_FALSE(can);
    EXPECT_EQ(ports->CanWrite(green->writePort, &can), 0);
    EXPECT_TRUE(can);
    // A 4 x 4 read at (6, 4) reaches 2 pixels past the right and bottom edges.
    readBounds = VRect{4, 6, 8, 10};
    PixelMemoryDesc m = Memory(read, 4);
    EXPECT_EQ(ports->ReadPixelsFromLevel(green->port, 0, &readBounds, &m), 0);
    // Write a 2 x 2 block of 200 at (1, 1) and a column outside the channel.
    std::vector<uint8_t> block(4, 200);
    PixelMemoryDesc b = Memory(block, 2);
    VRect target{1, 1, 3, 3};
    EXPECT_EQ(ports->WritePixelsToBaseLevel(green->writePort, &target, &b), 0);
    VRect outside{0, W, 2, W + 2};
    EXPECT_EQ(ports->WritePixelsToBaseLevel(green->writePort, &outside, &b), 0);
    writeThroughReadPort = ports->WritePixelsToBaseLevel(green->port, &target, &b);
    r->sSPBasic->ReleaseSuite(kPSChannelPortsSuite, 2);
  });
  SetHostDocument(s.host, PatternDocument(W, H, LayerKind::Flat));
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(readBounds.bottom, H);
  EXPECT_EQ(readBounds.right, W);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      const bool inside = 6 + x < W && 4 + y < H;
      EXPECT_EQ(read[size_t(y * 4 + x)], inside ? PatternValue(1, 6 + x, 4 + y) : 0xCC) << x << "," << y;
    }
  const HostDocument& d = HostDocumentOf(s.host);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const bool written = x >= 1 && x < 3 && y >= 1 && y < 3;
      EXPECT_EQ(ChannelPixel(d.colorChannels[1], x, y), written ? 200 : PatternValue(1, x, y));
      EXPECT_EQ(ChannelPixel(d.colorChannels[0], x, y), PatternValue(0, x, y));
    }
  EXPECT_NE(writeThroughReadPort, 0);
  EXPECT_EQ(r.misuse, 1);
  EXPECT_EQ(r.channelWrites, 2);
}

TEST(HostChannelPorts, ScaledReadsMatchIndependentResampling) {
  for (ScaledReadFilter filter : {ScaledReadFilter::Nearest, ScaledReadFilter::Box}) {
    std::vector<uint8_t> half(4 * 3), twice(16 * 12);
    ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
      FilterRecord* r = AsFilter(record);
      const PSChannelPortsSuite1* ports = Acquire<PSChannelPortsSuite1>(r, kPSChannelPortsSuite, 2);
      const ReadChannelDesc* red = r->documentInfo->targetCompositeChannels;
      PSScaling down{VRect{0, 0, H, W}, VRect{0, 0, 3, 4}};
      PixelMemoryDesc m = Memory(half, 4);
      VRect readRect = down.destinationRect;
      EXPECT_EQ(ports->ReadScaledPixels(red->port, &readRect, &down, &m), 0);
      PSScaling up{VRect{0, 0, H, W}, VRect{0, 0, 12, 16}};
      PixelMemoryDesc u = Memory(twice, 16);
      readRect = up.destinationRect;
      EXPECT_EQ(ports->ReadScaledPixels(red->port, &readRect, &up, &u), 0);
      r->sSPBasic->ReleaseSuite(kPSChannelPortsSuite, 2);
    });
    SetHostDocument(s.host, PatternDocument(W, H, LayerKind::Flat));
    HostOptionsOf(s.host).scaledRead = filter;
    CallSelector(s.host, FilterSelectorStart);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 4; ++x) {
        // Halving: nearest takes the lower-right pixel of each 2 x 2 block (its
        // centre rounds up); box averages the block, rounded.
        const int sum = PatternValue(0, 2 * x, 2 * y) + PatternValue(0, 2 * x + 1, 2 * y) +
                        PatternValue(0, 2 * x, 2 * y + 1) + PatternValue(0, 2 * x + 1, 2 * y + 1);
        const uint8_t expected =
            filter == ScaledReadFilter::Box ? uint8_t((sum + 2) / 4) : PatternValue(0, 2 * x + 1, 2 * y + 1);
        EXPECT_EQ(half[size_t(y * 4 + x)], expected) << x << "," << y;
      }
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(twice[size_t(y * 16 + x)], PatternValue(0, x / 2, y / 2));
  }
}

TEST(HostChannelPorts, RecordProcsReadWriteAndPairPorts) {
  std::vector<uint8_t> row(W, 0);
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    ChannelPortProcs* procs = r->channelPortProcs;
    ASSERT_NE(procs, nullptr);
    EXPECT_EQ(procs->numChannelPortProcs, 3);
    const ReadChannelDesc* transparency = r->documentInfo->targetTransparency;
    ASSERT_NE(transparency, nullptr);
    ChannelReadPort paired = nullptr;
    EXPECT_EQ(procs->readPortForWritePortProc(&paired, transparency->writePort), 0);
    EXPECT_EQ(paired, transparency->port);
    std::vector<uint8_t> zeros(W, 0);
    PixelMemoryDesc z = Memory(zeros, W);
    VRect line{2, 0, 3, W};
    EXPECT_EQ(procs->writeBasePixelsProc(transparency->writePort, &line, &z), 0);
    PixelMemoryDesc m = Memory(row, W);
    VRect wrote{};
    EXPECT_EQ(procs->readPixelsProc(transparency->port, nullptr, &line, &m, &wrote), 0);
    EXPECT_EQ(wrote.right, W);
  });
  SetHostDocument(s.host, PatternDocument(W, H, LayerKind::EditableTransparency));
  CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(row, std::vector<uint8_t>(W, 0));
  const HostDocument& d = HostDocumentOf(s.host);
  EXPECT_EQ(ChannelPixel(d.transparency, 0, 1), 255);
  EXPECT_EQ(ChannelPixel(d.transparency, 0, 2), 0);
}

TEST(HostChannelPorts, UnusablePortsAndDescriptionsFailCleanly) {
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    const PSChannelPortsSuite1* ports = Acquire<PSChannelPortsSuite1>(r, kPSChannelPortsSuite, 2);
    const ReadChannelDesc* red = r->documentInfo->targetCompositeChannels;
    std::vector<uint8_t> bytes(16);
    VRect rect{0, 0, 2, 2};
    PixelMemoryDesc sixteenBit{bytes.data(), 32, 16, 0, 16};
    EXPECT_NE(ports->ReadPixelsFromLevel(red->port, 0, &rect, &sixteenBit), 0);
    PixelMemoryDesc noData{nullptr, 16, 8, 0, 8};
    EXPECT_NE(ports->ReadPixelsFromLevel(red->port, 0, &rect, &noData), 0);
    PixelMemoryDesc fine{bytes.data(), 16, 8, 0, 8};
    EXPECT_NE(ports->ReadPixelsFromLevel(red->port, 1, &rect, &fine), 0);  // one level only
    int fake = 0;
    Boolean can = 1;
    EXPECT_NE(ports->CanRead(reinterpret_cast<PIChannelPort>(&fake), &can), 0);
    // A read port whose channel cannot be read says so and refuses reads.
    const ReadChannelDesc* blue = red->next->next;
    EXPECT_EQ(ports->CanRead(blue->port, &can), 0);
    EXPECT_FALSE(can);
    EXPECT_NE(ports->ReadPixelsFromLevel(blue->port, 0, &rect, &fine), 0);
    // Scratch ports made by the suite are counted until disposed.
    PIChannelPort scratch = nullptr;
    VRect area{0, 0, 4, 4};
    EXPECT_EQ(ports->New(&scratch, &area, 8), 0);
    r->sSPBasic->ReleaseSuite(kPSChannelPortsSuite, 2);
  });
  HostDocument d = PatternDocument(W, H, LayerKind::Flat);
  d.colorChannels[2].readable = false;
  SetHostDocument(s.host, d);
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(r.misuse, 3);
  EXPECT_EQ(r.livePorts, 1);
}

TEST(HostChannelPorts, MismatchedPlanesAreFittedToTheirBounds) {
  std::vector<uint8_t> read(4 * 4, 0xCC);
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    const PSChannelPortsSuite1* ports = Acquire<PSChannelPortsSuite1>(r, kPSChannelPortsSuite, 2);
    VRect rect{0, 0, 4, 4};
    PixelMemoryDesc m = Memory(read, 4);
    EXPECT_EQ(ports->ReadPixelsFromLevel(r->documentInfo->alphaChannels->port, 0, &rect, &m), 0);
    r->sSPBasic->ReleaseSuite(kPSChannelPortsSuite, 2);
  });
  HostDocument d = PatternDocument(4, 4, LayerKind::Flat);
  HostChannel alpha = MakeChannel(d, "Alpha 1", 9);
  alpha.pixels.resize(3);  // far too few for 4 x 4
  d.alphaChannels.push_back(alpha);
  SetHostDocument(s.host, d);
  CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(read[0], 9);
  EXPECT_EQ(read[3], 0);
  EXPECT_EQ(read[15], 0);
  EXPECT_EQ(HostDocumentOf(s.host).alphaChannels[0].pixels.size(), 16u);
}
