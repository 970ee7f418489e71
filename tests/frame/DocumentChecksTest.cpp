// The start selector's document checks and their messages, and the reading of
// the target path through the host.
#include <gtest/gtest.h>

#include <string>

#include "frame/RunGlobals.h"
#include "tests/frame/FakeHost.h"

namespace {
constexpr uint32_t StopStyle = 0x10;         // MB_OK | MB_ICONHAND
constexpr uint32_t ExclamationStyle = 0x30;  // MB_OK | MB_ICONEXCLAMATION

void ExpectOneMessage(const FakeHost& host, const char* text, uint32_t style) {
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, text);
  EXPECT_FALSE(host.messages[0].hasCaption) << "the system's default caption";
  EXPECT_EQ(host.messages[0].style, style);
}

TEST(DocumentChecks, LockedTransparencyReadsNoPath) {
  for (int16_t filterCase : {FilterCaseProtectedTransparencyNoSelection, FilterCaseProtectedTransparencyWithSelection}) {
    FakeHost host;
    host.record.filterCase = filterCase;
    EXPECT_EQ(host.Call(FilterSelectorStart), 5);
    ExpectOneMessage(host,
                     "Bevel Forge requires editable transparency. Please unlock transparent pixels in the Layer palette",
                     StopStyle);
    EXPECT_EQ(host.propertyQueries, 0);
    EXPECT_NE(host.Style(), nullptr) << "the style record is made before the checks";
    EXPECT_TRUE(host.SuitesBalanced());
  }
}

TEST(DocumentChecks, OtherFilterCasesPassTheTransparencyCheck) {
  for (int16_t filterCase : {int16_t(-1), int16_t(0), int16_t(1), int16_t(2), int16_t(3), int16_t(4), int16_t(5), int16_t(8)}) {
    FakeHost host;
    host.record.filterCase = filterCase;
    host.pathCount = 0;
    EXPECT_EQ(host.Call(FilterSelectorStart), 3) << filterCase;
  }
}

TEST(DocumentChecks, NoPathsEvenWhenTheQueryFails) {
  struct Case {
    int32_t count;
    OSErr error;
  };
  for (Case c : {Case{0, 0}, Case{-3, 0}, Case{4, HostErrPlugInPropertyUndefined}, Case{1, -1}}) {
    FakeHost host;
    host.pathCount = c.count;
    host.pathCountError = c.error;
    EXPECT_EQ(host.Call(FilterSelectorStart), 3) << c.count << " " << c.error;
    ExpectOneMessage(host, "No paths available. Please create a path", ExclamationStyle);
    EXPECT_EQ(host.pathQueries, 0);
    EXPECT_EQ(host.propertyQueries, 1) << "the target is not asked for";
  }
}

TEST(DocumentChecks, NoTargetPath) {
  struct Case {
    intptr_t index;
    OSErr error;
  };
  // A 64-bit host may hand -1 over as a 32-bit value without sign extension.
  const intptr_t unextendedMinusOne = intptr_t(uintptr_t(0xFFFFFFFFu));
  for (Case c : {Case{-1, 0}, Case{-7, 0}, Case{0, HostErrPlugInPropertyUndefined}, Case{unextendedMinusOne, 0}}) {
    FakeHost host;
    host.targetIndex = c.index;
    host.targetIndexError = c.error;
    EXPECT_EQ(host.Call(FilterSelectorStart), 4) << c.index << " " << c.error;
    ExpectOneMessage(host, "No target path available. Please select a path", ExclamationStyle);
    EXPECT_EQ(host.pathQueries, 0);
  }
}

TEST(DocumentChecks, AbortEndsTheRunQuietly) {
  FakeHost host;
  host.aborts = true;
  EXPECT_EQ(host.Call(FilterSelectorStart), 0);
  EXPECT_EQ(host.abortQueries, 1);
  EXPECT_EQ(host.propertyQueries, 0);
  EXPECT_EQ(host.Parameters(), nullptr);
  EXPECT_TRUE(host.messages.empty());
}

TEST(DocumentChecks, HostWithoutAbortProcedureRuns) {
  FakeHost host;
  host.record.abortProc = nullptr;
  host.pathCount = 0;
  EXPECT_EQ(host.Call(FilterSelectorStart), 3);
}

TEST(DocumentChecks, DocumentSizeComesFromTheFirstMergedChannel) {
  FakeHost host;
  host.mergedChannels[0].bounds = VRect{0, 0, 123, 456};
  host.mergedChannels[1].bounds = VRect{0, 0, 999, 999};
  host.pathData.assign(10, 0);  // too short for one record
  host.Call(FilterSelectorStart);
  EXPECT_EQ(host.Globals()->documentHeight, 123);
  EXPECT_EQ(host.Globals()->documentWidth, 456);
}

TEST(DocumentChecks, DocumentTooLargeForSixteenBitSizesIsRefused) {
  FakeHost host;
  host.mergedChannels[0].bounds = VRect{0, 0, 300, 40000};
  EXPECT_EQ(host.Call(FilterSelectorStart), HostFilterBadParameters);
  EXPECT_EQ(host.pathQueries, 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST(DocumentChecks, UnusablePathDataIsAnInvalidPath) {
  for (size_t size : {size_t(0), size_t(10), size_t(25)}) {
    FakeHost host;
    host.pathData.assign(size, 0);
    EXPECT_EQ(host.Call(FilterSelectorStart), 2) << size;
    ExpectOneMessage(host, "This path is invalid.", StopStyle);
    EXPECT_EQ(host.pathQueries, 1);
    EXPECT_EQ(host.pathLocksMovingHigh, 0) << "path data are locked without moving high";
    EXPECT_EQ(host.StrayHandles(), 0u) << "the path handle is disposed of";
    EXPECT_TRUE(host.liveBuffers.empty());
    EXPECT_EQ(host.misuse, 0);
  }
}

TEST(DocumentChecks, PathQueryErrorStaysInTheResult) {
  for (bool withHandle : {false, true}) {
    FakeHost host;
    host.pathError = HostErrPlugInPropertyUndefined;
    host.pathHandleOnError = withHandle;
    EXPECT_EQ(host.Call(FilterSelectorStart), HostErrPlugInPropertyUndefined);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.StrayHandles(), 0u);
    EXPECT_EQ(host.misuse, 0);
  }
}

TEST(DocumentChecks, CodesOutsideTwoToFiveShowNothing) {
  FakeHost host;
  host.Call(6);
  host.Call(FilterSelectorContinue);
  EXPECT_TRUE(host.messages.empty());
}
}  // namespace
