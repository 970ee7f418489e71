// The host suites the module holds during a call, acquired through the
// suite broker at the start of each call and released at its end.
//
// Acquisition and release are counted so that only the outermost call
// acquires (count 0) and only the outermost call releases (count 1); calls
// never overlap, the count guards re-entry through host callbacks.
#pragma once
#include <cstdint>

#include "interface/PluginInterface.h"

extern const ADMBasicSuite4* gADMBasicSuite;
extern const PSBufferSuite1* gBufferSuite;             // all working memory
extern const PSChannelPortsSuite1* gChannelPortsSuite;  // document pixels in and out
extern int32_t gSuiteUseCount;

// Acquires every suite in order when the use count is 0, stopping at the
// first refusal; raises the count. Returns 1, or 0 when a suite was refused:
// then everything acquired here is released again and the count is left as
// it was. A refusal after the ADM Basic suite was acquired is also reported
// through that suite's alert.
int32_t AcquireHostSuites(SPBasicSuite* broker);

// Releases the suites in acquisition order when the use count is 1 (stopping
// at the first release error) and clears the released pointers; lowers the
// count.
void ReleaseHostSuites(SPBasicSuite* broker);
